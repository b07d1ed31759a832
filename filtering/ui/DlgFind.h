#pragma once

#include <QDialog>

class QCheckBox;
class QLineEdit;
class QPushButton;

namespace tarnwell {

class TFiltersPg;
class TQtMessageDialogs;

// The Find dialog of the Filters page: a small tool window above the others that finds, one
// after the other, the filters of the page's current tab whose search text holds a text.
class TFindDlg : public QDialog {
  Q_OBJECT

 public:
  TFindDlg(TFiltersPg& page, TQtMessageDialogs& dialogs);

  // "Find next": the next filter from where the last search stopped, or from the top.
  void FindNext();
  // The next search starts from the top.
  void Restart();

  [[nodiscard]] QLineEdit* FindEdit() const { return edFind_; }
  [[nodiscard]] QCheckBox* FromTop() const { return chkFromTop_; }

 private:
  void UpdateButton();

  TFiltersPg& page_;
  TQtMessageDialogs& dialogs_;
  QLineEdit* edFind_ = nullptr;
  QPushButton* btnFind_ = nullptr;
  QCheckBox* chkFromTop_ = nullptr;
  QPushButton* btnClose_ = nullptr;
  // The row of the last filter found; -1 after a restart.
  int last_ = -1;
};

}  // namespace tarnwell
