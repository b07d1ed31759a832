#include "filtering/ui/DlgFind.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "filtering/ui/PgFilters.h"
#include "message/QStrings.h"
#include "shell/ui/DlgMessage.h"

namespace tarnwell {

namespace {

constexpr int kMaxText = 50;

}  // namespace

TFindDlg::TFindDlg(TFiltersPg& page, TQtMessageDialogs& dialogs)
    : QDialog(&page, Qt::Tool | Qt::WindowStaysOnTopHint), page_(page), dialogs_(dialogs) {
  setObjectName(QStringLiteral("DlgFind"));
  setWindowTitle(QStringLiteral(" Find filter"));
  auto* grid = new QGridLayout(this);
  edFind_ = new QLineEdit(this);
  edFind_->setObjectName(QStringLiteral("edFind"));
  edFind_->setMaxLength(kMaxText);
  edFind_->setMinimumWidth(edFind_->fontMetrics().averageCharWidth() * 28);
  chkFromTop_ = new QCheckBox(QStringLiteral("&Search from top of list"), this);
  chkFromTop_->setObjectName(QStringLiteral("chkFromTop"));
  chkFromTop_->setChecked(true);
  btnFind_ = new QPushButton(QStringLiteral("&Find next"), this);
  btnFind_->setObjectName(QStringLiteral("btnFind"));
  btnFind_->setDefault(true);
  btnClose_ = new QPushButton(QStringLiteral("&Close"), this);
  btnClose_->setObjectName(QStringLiteral("btnClose"));
  grid->addWidget(edFind_, 0, 0);
  grid->addWidget(btnFind_, 0, 1);
  grid->addWidget(chkFromTop_, 1, 0);
  grid->addWidget(btnClose_, 1, 1);
  grid->setColumnStretch(0, 1);
  grid->setSizeConstraint(QLayout::SetFixedSize);

  connect(edFind_, &QLineEdit::textChanged, this, [this] {
    chkFromTop_->setChecked(true);
    Restart();
    UpdateButton();
  });
  connect(chkFromTop_, &QCheckBox::toggled, this, [this](bool fromTop) {
    if (fromTop) Restart();
  });
  connect(btnFind_, &QPushButton::clicked, this, &TFindDlg::FindNext);
  connect(btnClose_, &QPushButton::clicked, this, &QDialog::reject);
  UpdateButton();
}

void TFindDlg::UpdateButton() {
  btnFind_->setEnabled(!Trim(edFind_->text().toStdString()).empty());
}

void TFindDlg::Restart() { last_ = -1; }

void TFindDlg::FindNext() {
  const std::string text = Trim(edFind_->text().toStdString());
  if (text.empty()) return;
  const int row = page_.FindFilter(text, chkFromTop_->isChecked() ? 0 : last_ + 1);
  if (row < 0) {
    dialogs_.ShowInfo("Could not find '" + text + "'.", this);
    chkFromTop_->setChecked(true);
    Restart();
    return;
  }
  page_.ShowRow(row);
  last_ = row;
  chkFromTop_->setChecked(false);
}

}  // namespace tarnwell
