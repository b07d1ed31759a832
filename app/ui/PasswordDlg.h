#pragma once

#include <QDialog>
#include <string>

class QLineEdit;
class QPushButton;

namespace tarnwell {

class TQtMessageDialogs;

// Asks for the password that guards the main window. OK is enabled while the entry holds
// something; a wrong password is said so, the entry emptied, and the dialog stays.
class TPasswordDlg : public QDialog {
  Q_OBJECT

 public:
  // `password` is the stored, scrambled one.
  TPasswordDlg(std::string password, TQtMessageDialogs& dialogs, QWidget* owner = nullptr);
  ~TPasswordDlg() override;

  // Asks until the right password is entered (true) or the dialog is cancelled (false). While
  // one dialog is open another call does nothing and gives false.
  static bool Ask(const std::string& password, TQtMessageDialogs& dialogs,
                  QWidget* owner = nullptr);
  [[nodiscard]] static bool IsOpen();

  void accept() override;

 private:
  std::string password_;
  TQtMessageDialogs& dialogs_;
  QLineEdit* entry_;
  QPushButton* ok_;
};

}  // namespace tarnwell
