#pragma once

#include <cstdint>

#include "filtering/ui/FilterDlg.h"

class QGroupBox;
class QListWidget;
class QListWidgetItem;

namespace tarnwell {

// "Sender filter": conditions on the user name (`cbUser`, `edUser`) and the domain (`cbDomain`,
// `edDomain`) of the sender's address, and the headers to look in (`clbHeaders`, in the group
// "Look in..." that "&More >>" shows). A condition on the user name rules out the headers
// whose address has no user part.
class TSenderFltDlg : public TFilterDlg {
  Q_OBJECT

 public:
  // A new filter's headers come from StdSenderHeaders.dat.
  TSenderFltDlg(TFilter& filter, bool isNew, QWidget* parent = nullptr);

 protected:
  bool WriteBack() override;

 private:
  void ConditionChosen(bool uppercaseChosen);
  void ShowTicks();
  void HeaderTicked(QListWidgetItem* item);
  void ToggleLookIn();
  [[nodiscard]] uint32_t Ticked() const;

  QComboBox* user_;
  QLineEdit* userText_;
  QComboBox* domain_;
  QLineEdit* domainText_;
  QGroupBox* lookIn_;
  QListWidget* headers_;
  QPushButton* more_;
  // The headers ticked, also those the user condition hides.
  uint32_t ticks_;
};

}  // namespace tarnwell
