#pragma once

#include <QDialog>
#include <string>
#include <vector>

#include "accounts/AccountList.h"

class QCheckBox;
class QLineEdit;
class QListWidget;
class QPushButton;

namespace tarnwell {

class TQtMessageDialogs;

// "Rescue message": where copies of killed messages go, the addresses of accounts ticked in
// `clbAccounts` and one more address, `edCopyTo`, and whether their text starts with their
// headers.
class TRescueMsgDlg : public QDialog {
  Q_OBJECT

 public:
  // `accounts` are the account names in list order; the one at `viewed` (-1: none) starts ticked
  // and selected. Only the first kMaxSelectable accounts can receive copies, so no more are
  // listed.
  TRescueMsgDlg(const std::vector<std::string>& accounts, int viewed, TQtMessageDialogs& dialogs,
                QWidget* owner = nullptr);

  // The positions of the ticked accounts.
  [[nodiscard]] TAccountSet Targets() const;
  // The further address, blanks trimmed; empty when there is none.
  [[nodiscard]] std::string CopyTo() const;
  [[nodiscard]] bool IncludeHeaders() const;

  // Refuses an address that is not one, and the dialog stays open.
  void accept() override;

 private:
  void UpdateOK();

  TQtMessageDialogs& dialogs_;
  QListWidget* accounts_;
  QLineEdit* copyTo_;
  QCheckBox* includeHeaders_;
  QPushButton* ok_;
};

}  // namespace tarnwell
