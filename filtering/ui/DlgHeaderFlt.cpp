#include "filtering/ui/DlgHeaderFlt.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QVBoxLayout>

#include "filtering/Filters.h"
#include "shell/ui/DisplayText.h"

namespace tarnwell {

THeaderFltDlg::THeaderFltDlg(TFilter& filter, QWidget* parent)
    : TFilterDlg(filter, QStringLiteral("Header filter"), parent),
      header_(new QComboBox(this)),
      condition_(AddConditionList(kHeaderConditions, filter.Condition1, "cbCondition")),
      pattern_(AddPatternEdit(filter.Text2(), "edCondition")),
      onAddress_(new QCheckBox(QStringLiteral("Filter on &address part only"), this)) {
  header_->setObjectName(QStringLiteral("cbHeader"));
  header_->setEditable(true);
  header_->setInsertPolicy(QComboBox::NoInsert);
  header_->lineEdit()->setMaxLength(static_cast<int>(kShortStringCapacity));
  for (const std::string& name : kHeaderFilterNames) header_->addItem(QString::fromStdString(name));
  const QString name = DisplayString(filter.Text1());
  const int listed = name.isEmpty() ? 0 : header_->findText(name, Qt::MatchExactly);
  if (listed >= 0)
    header_->setCurrentIndex(listed);
  else
    header_->setEditText(name);
  onAddress_->setObjectName(QStringLiteral("chkOnAddress"));
  onAddress_->setChecked(filter.HasOption(foAddressOnly));

  auto* box = new QGroupBox(QStringLiteral("If header..."), this);
  box->setObjectName(QStringLiteral("gbHeader"));
  auto* row = new QHBoxLayout;
  row->addWidget(condition_);
  row->addWidget(pattern_, 1);
  auto* layout = new QVBoxLayout(box);
  layout->addWidget(header_);
  layout->addLayout(row);
  layout->addWidget(onAddress_);
  groups_->addWidget(box);
  SetFocusFor(TFilterField::HeaderName, header_);
  SetFocusFor(TFilterField::Pattern, pattern_);
  connect(header_, &QComboBox::editTextChanged, this, &THeaderFltDlg::Follow);
  connect(condition_, &QComboBox::currentIndexChanged, this, &THeaderFltDlg::Follow);
  Follow();
}

void THeaderFltDlg::Follow() {
  const uint8_t condition = ConditionOf(condition_);
  pattern_->setEnabled(IsTextCondition(condition));
  onAddress_->setEnabled(IsTextCondition(condition) &&
                         IsAddressHeader(EditedText(header_->currentText(), filter_.Text1())));
  FollowConditions(condition, cnNone, false);
}

bool THeaderFltDlg::WriteBack() {
  THeaderEntry entry;
  entry.Name = EditedText(header_->currentText(), filter_.Text1());
  entry.Condition = ConditionOf(condition_);
  entry.Pattern = EditedText(pattern_->text(), filter_.Text2());
  entry.AddressOnly = onAddress_->isChecked();
  entry.CaseTicked = CaseTicked();
  if (Refused(CheckHeader(entry))) return false;
  WriteHeader(entry, filter_);
  return true;
}

}  // namespace tarnwell
