#include "mainwindow/ui/PgInbox.h"

#include <QAction>
#include <QMenu>

#include "accounts/Account.h"
#include "mainwindow/ui/MessageListModel.h"

namespace tarnwell {

TPgInbox::TPgInbox(TAccountList& accounts, QWidget* parent)
    : TPgMessages(true, QStringLiteral("Live Mail"), accounts, parent) {
  retrieve_ = previewMenu_->addAction(QStringLiteral("&Retrieve"));
  retrieve_->setObjectName(QStringLiteral("miRetrieve"));
  connect(retrieve_, &QAction::triggered, this, &TPgInbox::Retrieve);
  Reload();
}

TEmailList& TPgInbox::ListOf(TAccount& account) const { return account.Inbox; }

void TPgInbox::DeleteMessages(const std::vector<int>& positions) {
  Account()->DeleteMessages(positions);
}

void TPgInbox::SelectSpam() {
  SelectRows([this](int row) {
    const TEmail* message = Model()->Message(row);
    return message && message->Status == msSpam;
  });
}

void TPgInbox::Retrieve() {
  if (!retrieve_->isEnabled()) return;
  RunCommand([this] {
    const std::vector<int> positions = SelectedIndexes();
    std::string error;
    try {
      UnderWaitWindow([&] { Account()->RetrieveMessages(positions); });
    } catch (const std::exception& failure) {
      error = failure.what();
    }
    // The texts are in their files now; the preview reads them from there.
    for (const int position : positions) {
      TEmail& message = *Account()->Inbox[position];
      if (message.BodyState == TEmail::bsStored) message.ClearBody();
    }
    Redraw();
    ShowCurrent();
    if (!error.empty()) ShowError(error);
  });
}

void TPgInbox::UpdatePageCommands() {
  retrieve_->setEnabled(CurrentMessage() && !CurrentRetrieved());
}

}  // namespace tarnwell
