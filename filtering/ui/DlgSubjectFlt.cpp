#include "filtering/ui/DlgSubjectFlt.h"

#include <QComboBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLineEdit>

#include "filtering/Filters.h"

namespace tarnwell {

TSubjectFltDlg::TSubjectFltDlg(TFilter& filter, QWidget* parent)
    : TSubjectFltDlg(filter, QStringLiteral("Subject filter"), QStringLiteral("If subject..."),
                     kSubjectConditions, parent) {}

TSubjectFltDlg::TSubjectFltDlg(TFilter& filter, const QString& caption, const QString& group,
                               const std::vector<uint8_t>& conditions, QWidget* parent)
    : TFilterDlg(filter, caption, parent),
      condition_(AddConditionList(conditions, filter.Condition1, "cbCondition")),
      pattern_(AddPatternEdit(filter.Text1(), "edCondition")) {
  auto* box = new QGroupBox(group, this);
  box->setObjectName(QStringLiteral("gbCondition"));
  auto* layout = new QHBoxLayout(box);
  layout->addWidget(condition_);
  layout->addWidget(pattern_, 1);
  groups_->addWidget(box);
  SetFocusFor(TFilterField::Pattern, pattern_);
  connect(condition_, &QComboBox::currentIndexChanged, this, &TSubjectFltDlg::ConditionChosen);
  ConditionChosen();
}

void TSubjectFltDlg::ConditionChosen() {
  const uint8_t condition = ConditionOf(condition_);
  pattern_->setEnabled(IsTextCondition(condition));
  FollowConditions(condition, cnNone, false);
}

bool TSubjectFltDlg::WriteBack() {
  TPatternEntry entry;
  entry.Condition = ConditionOf(condition_);
  entry.Pattern = EditedText(pattern_->text(), filter_.Text1());
  entry.CaseTicked = CaseTicked();
  if (Refused(CheckPattern(entry))) return false;
  WritePattern(entry, filter_);
  return true;
}

}  // namespace tarnwell
