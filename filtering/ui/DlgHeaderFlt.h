#pragma once

#include "filtering/ui/FilterDlg.h"

namespace tarnwell {

// "Header filter": the header's name (`cbHeader`, any text or one of the names offered), a
// condition (`cbCondition`) with its pattern (`edCondition`), and `chkOnAddress` "Filter on
// &address part only", which serves address headers with a condition that takes a pattern.
class THeaderFltDlg : public TFilterDlg {
  Q_OBJECT

 public:
  explicit THeaderFltDlg(TFilter& filter, QWidget* parent = nullptr);

 protected:
  bool WriteBack() override;

 private:
  void Follow();

  QComboBox* header_;
  QComboBox* condition_;
  QLineEdit* pattern_;
  QCheckBox* onAddress_;
};

}  // namespace tarnwell
