#include "accounts/ui/DlgAuthSMTP.h"

#include <QCheckBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QVBoxLayout>

#include "accounts/ui/DialogButtons.h"
#include "message/QStrings.h"
#include "shell/ui/DisplayText.h"
#include "transport/SMTPInfo.h"

namespace tarnwell {

TAuthSTMPDlg::TAuthSTMPDlg(TSMTPInfo& info, QWidget* parent)
    : QDialog(parent),
      info_(info),
      chkAuth_(new QCheckBox(QStringLiteral("The &server requires authentication"))),
      lblUser_(new QLabel(QStringLiteral("&User name:"))),
      edUser_(new QLineEdit),
      lblPassword_(new QLabel(QStringLiteral("&Password:"))),
      edPassword_(new QLineEdit),
      chkSPA_(new QCheckBox(QStringLiteral("Use S&ecure Password Authentication"))) {
  setWindowTitle(QStringLiteral("Advanced options"));
  setModal(true);
  chkAuth_->setObjectName(QStringLiteral("chkSMTPAuth"));
  edUser_->setObjectName(QStringLiteral("edSMTPAuthUser"));
  edPassword_->setObjectName(QStringLiteral("edSMTPAuthPass"));
  edPassword_->setEchoMode(QLineEdit::Password);
  chkSPA_->setObjectName(QStringLiteral("chkSMTPSPA"));
  lblUser_->setBuddy(edUser_);
  lblPassword_->setBuddy(edPassword_);

  chkAuth_->setChecked(info.SMTPAuth);
  edUser_->setText(DisplayString(info.SMTPAuthUser));
  edPassword_->setText(DisplayString(info.SMTPAuthPass));
  chkSPA_->setChecked(info.SMTPSPA);
  // Showing enables the login fields by the box; its clicks also take the secure-password box
  // along.
  for (QWidget* widget : {static_cast<QWidget*>(lblUser_), static_cast<QWidget*>(edUser_),
                          static_cast<QWidget*>(lblPassword_), static_cast<QWidget*>(edPassword_)})
    widget->setEnabled(info.SMTPAuth);
  connect(chkAuth_, &QCheckBox::clicked, this, &TAuthSTMPDlg::AuthClicked);

  auto* group = new QGroupBox(QStringLiteral("Authentication"));
  group->setObjectName(QStringLiteral("gbAuthentication"));
  auto* fields = new QFormLayout;
  fields->setContentsMargins(20, 0, 0, 0);
  fields->addRow(lblUser_, edUser_);
  fields->addRow(lblPassword_, edPassword_);
  auto* groupLayout = new QVBoxLayout(group);
  groupLayout->addWidget(chkAuth_);
  groupLayout->addLayout(fields);
  groupLayout->addWidget(chkSPA_);

  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(12, 12, 12, 12);
  layout->addWidget(group);
  layout->addSpacing(4);
  layout->addLayout(DialogButtons(*this));
  edUser_->setMinimumWidth(220);
  layout->setSizeConstraint(QLayout::SetFixedSize);
}

void TAuthSTMPDlg::AuthClicked(bool on) {
  for (QWidget* widget : {static_cast<QWidget*>(lblUser_), static_cast<QWidget*>(edUser_),
                          static_cast<QWidget*>(lblPassword_), static_cast<QWidget*>(edPassword_),
                          static_cast<QWidget*>(chkSPA_)})
    widget->setEnabled(on);
}

void TAuthSTMPDlg::accept() {
  info_.SMTPAuth = chkAuth_->isChecked();
  info_.SMTPAuthUser = Trim(edUser_->text().toStdString());
  info_.SMTPAuthPass = Trim(edPassword_->text().toStdString());
  info_.SMTPSPA = chkSPA_->isChecked();
  QDialog::accept();
}

}  // namespace tarnwell
