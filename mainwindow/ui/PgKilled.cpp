#include "mainwindow/ui/PgKilled.h"

#include <QPushButton>

#include "accounts/Account.h"

namespace tarnwell {

TPgKilled::TPgKilled(TAccountList& accounts, QWidget* parent)
    : TPgMessages(false, QStringLiteral("Killed Mail"), accounts, parent) {
  rescue_ = AddButton("sbRescue", QStringLiteral("Rescue message"),
                      QStringLiteral("Rescue a message by sending a copy back to yourself"));
  connect(rescue_, &QPushButton::clicked, this, &TPgKilled::Rescue);
  Reload();
}

TEmailList& TPgKilled::ListOf(TAccount& account) const { return account.Killed; }

void TPgKilled::DeleteMessages(const std::vector<int>& positions) {
  // With the copies of the originals that some kinds of account keep beside the message.
  Account()->Killed.DeleteMany(positions, true);
}

void TPgKilled::Rescue() {
  if (!rescue_->isEnabled()) return;
  RunCommand([this] { Actions().Rescue(*this); });
  Redraw();
}

void TPgKilled::UpdatePageCommands() { rescue_->setEnabled(Actions().Rescue && CurrentMessage()); }

}  // namespace tarnwell
