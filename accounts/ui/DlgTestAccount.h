#pragma once

#include <QWidget>
#include <functional>
#include <string>

class QEventLoop;
class QLabel;
class QProgressBar;
class QPushButton;

namespace tarnwell {

class TPOP3Account;

// "Testing account": the steps of an account's test as they happen, over a bar that runs while
// the test does. A window of its own, kept above its owner, so that it stays usable while the
// owner is disabled. "Close" during the test stops it (`OnStop`) and closes the window once the
// test has ended; after the test it closes the window.
class TTestAccountDlg : public QWidget {
  Q_OBJECT

 public:
  explicit TTestAccountDlg(QWidget* owner = nullptr);

  // Sets the progress label ("\r" breaks lines) and repaints it at once.
  void ShowProgress(const std::string& text);
  // The bar runs from `Started` to `Finished`, and then shows it full when the test passed.
  void Started();
  void Finished(bool passed);
  // Lets events run until the window is closed.
  void WaitForClose();
  [[nodiscard]] bool StopRequested() const { return stopRequested_; }
  [[nodiscard]] bool Running() const { return running_; }

  // Asked to stop the running test.
  std::function<void()> OnStop;

 protected:
  void closeEvent(QCloseEvent* event) override;

 private:
  void CloseClicked();

  QLabel* progress_;
  QProgressBar* animation_;
  QPushButton* close_;
  bool running_ = false;
  bool stopRequested_ = false;
  bool closed_ = false;
  QEventLoop* waiting_ = nullptr;
};

// Tests `account` in the test window over `owner`, whose window is disabled meanwhile. When a
// server refused its certificate, offers to trust it, over the test window; on "&Yes" the
// certificate is pinned in `account` and the test runs again. Then waits for "Close" unless
// the user stopped the test with it. True when the last test succeeded.
bool RunAccountTest(TPOP3Account& account, QWidget* owner);

}  // namespace tarnwell
