#pragma once

#include <QWidget>
#include <vector>

#include "accounts/AccountList.h"

class QLabel;
class QProgressBar;
class QTreeWidget;

namespace tarnwell {

class TEmail;
class TQtMessageDialogs;

// "Rescuing messages": how the account list's sending of rescued copies goes, one ticked row
// per message sent. The rows are the window's alone. A window of its own, kept above its owner,
// so that it stays usable while the owner is disabled.
class TRescueDlg : public QWidget {
  Q_OBJECT

 public:
  explicit TRescueDlg(QWidget* owner = nullptr);
  ~TRescueDlg() override;

  // Takes over the account list's notifications of forwarding and sending until `Detach`; the
  // ones installed before come back then.
  void Attach(TAccountList& accounts);
  void Detach();

  // What the list reports, in its order.
  void Preparing(int count);
  void LoggingIn();
  void Sending(const TEmail& message);
  void Sent();
  void LoggingOut();
  // Says so and closes the window.
  void Failed();

 private:
  void Show(const char* text);

  QLabel* progress_;
  QTreeWidget* messages_;
  QProgressBar* bar_;
  bool prepared_ = false;

  TAccountList* accounts_ = nullptr;
  TForwardNotify savedForwarding_;
  TAccountNotify savedLoginOutgoing_;
  TSendNotify savedSending_;
  TSendNotify savedSent_;
  TAccountNotify savedLogoutOutgoing_;
};

// An account whose killed messages go back into its own store rather than being sent (a MAPI
// profile).
[[nodiscard]] bool RestoresInPlace(const TAccount& account);

// Rescues the killed messages `selected` of `viewed`: an account that restores in place puts them
// back under the wait window; for any other the "Rescue message" dialog asks where copies go,
// and the account list sends them with the "Rescuing messages" window up and the window of
// `owner` disabled. A failure is shown in a message box.
void RescueMessages(TAccountList& accounts, TAccount& viewed, const std::vector<TEmail*>& selected,
                    TQtMessageDialogs& dialogs, QWidget* owner);

}  // namespace tarnwell
