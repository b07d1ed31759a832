#pragma once

#include <QDialog>
#include <functional>
#include <set>
#include <string>
#include <tuple>
#include <vector>

#include "accounts/AccountList.h"
#include "app/CheckProgress.h"

class QLabel;
class QPlainTextEdit;
class QProgressBar;
class QPushButton;
class QTreeWidget;

namespace tarnwell {

// Asks the user whether to trust the certificate a server sent in `refusal` (its host, the
// reason and the SHA-256 fingerprint are in its `Server`), modal over `parent`; on yes it pins
// the certificate in `account` and answers true.
using TTrustOffer =
    std::function<bool(TAccount& account, const TBatchError& refusal, QWidget* parent)>;

// "Checking e-mail": follows a batch of checks through the account list's notifications, one
// row per account, ticked when its check went through, with the progress of the current step,
// Stop, and the errors of the batch, which keep it open at the end. Made once for the program's
// life; closing it only hides it. After a batch in which a server's certificate was refused, it
// offers to trust that certificate.
class TCheckMailDlg : public QDialog, public TCheckProgress {
  Q_OBJECT

 public:
  TCheckMailDlg();
  ~TCheckMailDlg() override;

  // TCheckProgress.
  void Create(TAccountList& accounts) override;
  void PrepareForCheck(TAccountList& accounts) override;
  void Show() override;
  void FinishCheck(TAccountList& accounts) override;

  // The account list's notifications, as `Create` installs them.
  void LoginIncoming(TAccount& account);
  void ReadingList(TAccount& account);
  void ReadingBodies(TAccount& account);
  void Filtering(TAccount& account);
  void Progress();
  void LogoutIncoming();
  void Error();

  // "&Stop" and "&Close".
  void StopClick();
  // "Show &errors" and "Hide &errors".
  void ErrorsClick();

  // The open main window, which the dialog shows over; null while it is closed. Unset: none.
  std::function<QWidget*()> MainWindow;
  // Without it a refused certificate is only reported.
  TTrustOffer OfferToTrust;

  [[nodiscard]] TAccount* CurrentAccount() const { return currentAccount_; }
  [[nodiscard]] bool AccountFailed() const { return accountFailed_; }
  [[nodiscard]] bool BatchFailed() const { return batchFailed_; }
  [[nodiscard]] bool Closable() const { return closable_; }
  [[nodiscard]] bool ErrorsShown() const { return errorsShown_; }
  // The number of steps the bar counts to; 0 when it cannot count them.
  [[nodiscard]] int ProgressMaximum() const { return maximum_; }

  void reject() override;

 protected:
  void closeEvent(QCloseEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  // The state of a batch about to start.
  void Prepare();
  void ShowOutcome();
  void ShowErrors();
  void SetErrorsShown(bool shown);
  void StepStarted(const char* text, const TAccount& account);
  void ShowProgress(const char* text);
  // Empties the bar and counts its steps up to `maximum` (none when it is not above 0).
  void SetMaximum(int maximum);
  // The certificate refusals of the batch that the user was not asked about yet.
  void NoteRefusals(const TAccountList& accounts);
  // Asks about each noted refusal once no check is running.
  void OfferNoted();

  TAccountList* accounts_ = nullptr;
  TAccount* currentAccount_ = nullptr;
  bool accountFailed_ = false;
  bool batchFailed_ = false;
  bool closable_ = false;
  bool errorsShown_ = false;
  bool offering_ = false;
  int maximum_ = 0;
  std::vector<TBatchError> refusals_;
  // Account ID, role and fingerprint of each certificate the user declined to trust: not asked
  // again while the program runs.
  std::set<std::tuple<int32_t, std::string, std::string>> declined_;

  QLabel* lblProgress_;
  QProgressBar* pbProgress_;
  QTreeWidget* lvAccounts_;
  QWidget* gbErrors_;
  QPlainTextEdit* memErrors_;
  QPushButton* btnStop_;
  QPushButton* btnErrors_;
};

}  // namespace tarnwell
