#include "accounts/ui/AccountDialogs.h"

#include "accounts/ui/DlgAccount.h"
#include "shell/ui/DlgMessage.h"

namespace tarnwell {

bool EditAccount(TAccount& account, QWidget* parent) {
  TQtMessageDialogs dialogs;
  TAccountDlg dialog(account, dialogs, parent);
  return dialog.exec() == QDialog::Accepted;
}

}  // namespace tarnwell
