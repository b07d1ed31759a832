#include "app/ui/PasswordDlg.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QVBoxLayout>

#include "message/SvcString.h"
#include "shell/ui/DlgMessage.h"
#include "shell/ui/WindowPlacement.h"

namespace tarnwell {

namespace {

bool dialogOpen = false;

}  // namespace

TPasswordDlg::TPasswordDlg(std::string password, TQtMessageDialogs& dialogs, QWidget* owner)
    : QDialog(owner),
      password_(std::move(password)),
      dialogs_(dialogs),
      entry_(new QLineEdit(this)),
      ok_(new QPushButton(QStringLiteral("OK"), this)) {
  setWindowTitle(QStringLiteral("Halvora Tarnwell"));
  setModal(true);
  auto* label = new QLabel(QStringLiteral("&Password:"), this);
  label->setObjectName(QStringLiteral("lblPassword"));
  label->setBuddy(entry_);
  entry_->setObjectName(QStringLiteral("edPassword"));
  entry_->setEchoMode(QLineEdit::Password);
  entry_->setMinimumWidth(200);
  ok_->setObjectName(QStringLiteral("btnOK"));
  ok_->setDefault(true);
  ok_->setEnabled(false);
  auto* cancel = new QPushButton(QStringLiteral("Cancel"), this);
  cancel->setObjectName(QStringLiteral("btnCancel"));
  connect(entry_, &QLineEdit::textChanged, this,
          [this](const QString& text) { ok_->setEnabled(!text.isEmpty()); });
  connect(ok_, &QPushButton::clicked, this, &TPasswordDlg::accept);
  connect(cancel, &QPushButton::clicked, this, &TPasswordDlg::reject);

  auto* row = new QHBoxLayout;
  row->addWidget(label);
  row->addWidget(entry_, 1);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch();
  buttons->addWidget(ok_);
  buttons->addWidget(cancel);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(12, 12, 12, 12);
  layout->setSpacing(12);
  layout->addLayout(row);
  layout->addLayout(buttons);
  layout->setSizeConstraint(QLayout::SetFixedSize);
  adjustSize();
}

TPasswordDlg::~TPasswordDlg() = default;

bool TPasswordDlg::Ask(const std::string& password, TQtMessageDialogs& dialogs, QWidget* owner) {
  if (dialogOpen) return false;
  dialogOpen = true;
  struct TOpen {
    ~TOpen() { dialogOpen = false; }
  } openUntilReturn;
  auto* dialog = new TPasswordDlg(password, dialogs, owner);
  CentreOn(*dialog, owner);
  const QPointer<TPasswordDlg> alive(dialog);
  const bool right = dialog->exec() == QDialog::Accepted && alive;
  delete alive.data();
  return right;
}

bool TPasswordDlg::IsOpen() { return dialogOpen; }

void TPasswordDlg::accept() {
  if (entry_->text().isEmpty()) return;
  const QByteArray entered = entry_->text().toUtf8();
  if (std::string(entered.constData(), static_cast<size_t>(entered.size())) ==
      UnscramblePassword(password_)) {
    QDialog::accept();
    return;
  }
  dialogs_.ShowInfo("The password is incorrect.\rPlease try again.", this);
  entry_->clear();
  entry_->setFocus();
}

}  // namespace tarnwell
