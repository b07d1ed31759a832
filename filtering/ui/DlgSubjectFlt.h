#pragma once

#include <cstdint>
#include <vector>

#include "filtering/ui/FilterDlg.h"

namespace tarnwell {

// "Subject filter": one condition (`cbCondition`) and its pattern (`edCondition`), kept as
// typed.
class TSubjectFltDlg : public TFilterDlg {
  Q_OBJECT

 public:
  explicit TSubjectFltDlg(TFilter& filter, QWidget* parent = nullptr);

 protected:
  // The dialogs of other parts of the message that work the same way.
  TSubjectFltDlg(TFilter& filter, const QString& caption, const QString& group,
                 const std::vector<uint8_t>& conditions, QWidget* parent);
  bool WriteBack() override;

 private:
  void ConditionChosen();

  QComboBox* condition_;
  QLineEdit* pattern_;
};

}  // namespace tarnwell
