#include "mainwindow/ui/DlgRescueMsg.h"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>
#include <algorithm>

#include "message/QStrings.h"
#include "message/SvcString.h"
#include "shell/ui/DisplayText.h"
#include "shell/ui/DlgMessage.h"

namespace tarnwell {

namespace {

constexpr int kCopyToLength = 50;

}  // namespace

TRescueMsgDlg::TRescueMsgDlg(const std::vector<std::string>& accounts, int viewed,
                             TQtMessageDialogs& dialogs, QWidget* owner)
    : QDialog(owner),
      dialogs_(dialogs),
      accounts_(new QListWidget(this)),
      copyTo_(new QLineEdit(this)),
      includeHeaders_(new QCheckBox(QStringLiteral("&Include message headers"), this)),
      ok_(new QPushButton(QStringLiteral("OK"), this)) {
  setWindowTitle(QStringLiteral("Rescue message"));
  setModal(true);

  auto* accountsLabel = new QLabel(QStringLiteral("Send a copy to these &accounts:"), this);
  accountsLabel->setBuddy(accounts_);
  accounts_->setObjectName(QStringLiteral("clbAccounts"));
  const int listed = std::min(static_cast<int>(accounts.size()), kMaxSelectable);
  for (int i = 0; i < listed; ++i) {
    auto* item = new QListWidgetItem(OneLine(DisplayString(accounts[static_cast<size_t>(i)])));
    item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsUserCheckable);
    item->setCheckState(i == viewed ? Qt::Checked : Qt::Unchecked);
    accounts_->addItem(item);
  }
  if (viewed >= 0 && viewed < listed) accounts_->setCurrentRow(viewed);

  auto* copyToLabel = new QLabel(QStringLiteral("And to this a&ddress:"), this);
  copyToLabel->setBuddy(copyTo_);
  copyTo_->setObjectName(QStringLiteral("edCopyTo"));
  copyTo_->setMaxLength(kCopyToLength);
  includeHeaders_->setObjectName(QStringLiteral("chkInclHeaders"));

  ok_->setObjectName(QStringLiteral("btnOK"));
  ok_->setDefault(true);
  auto* cancel = new QPushButton(QStringLiteral("Cancel"), this);
  cancel->setObjectName(QStringLiteral("btnCancel"));
  connect(ok_, &QPushButton::clicked, this, &TRescueMsgDlg::accept);
  connect(cancel, &QPushButton::clicked, this, &TRescueMsgDlg::reject);
  connect(accounts_, &QListWidget::itemChanged, this, &TRescueMsgDlg::UpdateOK);
  connect(copyTo_, &QLineEdit::textChanged, this, &TRescueMsgDlg::UpdateOK);

  auto* buttons = new QHBoxLayout;
  buttons->addStretch();
  buttons->addWidget(ok_);
  buttons->addWidget(cancel);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(12, 12, 12, 12);
  layout->setSpacing(6);
  layout->addWidget(accountsLabel);
  layout->addWidget(accounts_, 1);
  layout->addSpacing(6);
  layout->addWidget(copyToLabel);
  layout->addWidget(copyTo_);
  layout->addSpacing(6);
  layout->addWidget(includeHeaders_);
  layout->addSpacing(6);
  layout->addLayout(buttons);
  resize(340, 290);
  UpdateOK();
}

TAccountSet TRescueMsgDlg::Targets() const {
  TAccountSet targets;
  for (int i = 0; i < accounts_->count(); ++i)
    if (accounts_->item(i)->checkState() == Qt::Checked) targets.set(static_cast<size_t>(i));
  return targets;
}

std::string TRescueMsgDlg::CopyTo() const { return Trim(copyTo_->text().toStdString()); }

bool TRescueMsgDlg::IncludeHeaders() const { return includeHeaders_->isChecked(); }

void TRescueMsgDlg::accept() {
  if (!ok_->isEnabled()) return;
  const std::string address = CopyTo();
  if (!address.empty() && !IsValidAddress(address)) {
    dialogs_.ShowInfo("This is not a valid e-mail address.", this);
    copyTo_->setFocus();
    copyTo_->selectAll();
    return;
  }
  QDialog::accept();
}

void TRescueMsgDlg::UpdateOK() { ok_->setEnabled(Targets().any() || !CopyTo().empty()); }

}  // namespace tarnwell
