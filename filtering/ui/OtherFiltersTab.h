#pragma once

#include <QWidget>
#include <array>
#include <cstdint>

class QComboBox;

namespace tarnwell {

class TFilterList;
class TQtMessageDialogs;
class TSpeedPopUp;

// The Other tab of the Filters page: the actions and recipients of the four built-in header
// filters (system filters 3 to 6), each on a combo and a recipients button.
class TOtherFiltersTab : public QWidget {
  Q_OBJECT

 public:
  TOtherFiltersTab(TFilterList& filters, TQtMessageDialogs& dialogs, QWidget* parent = nullptr);

  // Reads the filters' actions and recipients again.
  void Reread();

 private:
  // One row: the system filter it edits by its position among them, and its controls.
  struct TRow {
    int systemFilter = 0;
    QComboBox* action = nullptr;
    TSpeedPopUp* recipients = nullptr;
  };

  void ActionChosen(const TRow& row, int item);
  void RecipientClicked(const TRow& row, int item, bool checked);
  // Tells the filter list that system filter `n` changed, which writes the file.
  void Changed(int n);

  TFilterList& filters_;
  TQtMessageDialogs& dialogs_;
  std::array<TRow, 4> rows_;
};

}  // namespace tarnwell
