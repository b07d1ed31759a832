#pragma once

#include <QDialog>
#include <QIcon>
#include <QPointer>
#include <array>
#include <functional>
#include <memory>

#include "app/PopUpNotice.h"
#include "shell/ui/StatusImages.h"

class QPushButton;
class QTimer;
class QTreeWidget;
class QTreeWidgetItem;

namespace tarnwell {

class TAccount;
class TAccountList;

// The pop-up notice: what the checks since it was last read brought, one root node per account
// (its data the account's `Description`) with a child per message. Shown next to the task bar
// after a batch while the main window is closed; closing it empties it.
class TPopUpDlg : public QDialog {
  Q_OBJECT

 public:
  // `accounts` gives the positions of the accounts for the main window; it may be null.
  explicit TPopUpDlg(TAccountList* accounts = nullptr);
  ~TPopUpDlg() override;

  // The account list's notifications. Errors are swallowed: the notice is no reason to fail.
  void CountersReset();
  void AccountChecked(const TAccount& account);
  void BatchDone();
  // Adds what the last check of `account` brought, whatever the settings say.
  void AddAccount(const TAccount& account);

  // Closes the notice and opens the main window on the selected node's account.
  void Open();
  // Closes the notice (the timer, "Close" and Escape).
  void reject() override;

  [[nodiscard]] QTreeWidget* Tree() const { return tree_; }
  [[nodiscard]] QTimer* CloseTimer() const { return timer_; }

  // The main window is open (unset: it is not).
  std::function<bool()> IsMainWindowVisible;
  // Opens the main window.
  std::function<void()> OpenMainWindow;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  [[nodiscard]] QTreeWidgetItem* FindRoot(const std::string& description) const;
  [[nodiscard]] QTreeWidgetItem* NewChild(const QString& text, int image) const;
  [[nodiscard]] bool MainWindowVisible() const;

  TAccountList* accounts_;
  QTreeWidget* tree_;
  QPushButton* open_;
  QPushButton* close_;
  QTimer* timer_;
  std::array<QIcon, kStatusImageCount> images_;
};

// The notice as the application sees it; `Create` builds it and adds its handlers to the account
// list's notifications, after those installed before.
class TQtPopUpNotice : public TPopUpNotice {
 public:
  TQtPopUpNotice();
  ~TQtPopUpNotice() override;
  TQtPopUpNotice(const TQtPopUpNotice&) = delete;
  TQtPopUpNotice& operator=(const TQtPopUpNotice&) = delete;

  void Create(TAccountList& accounts) override;
  [[nodiscard]] bool IsVisible() const override;
  void BringToFront() override;
  void Close() override;

  // Null before `Create`.
  [[nodiscard]] TPopUpDlg* Dialog() const { return dialog_.get(); }

  // As those of TPopUpDlg; they may be set before or after `Create`.
  std::function<bool()> IsMainWindowVisible;
  std::function<void()> OpenMainWindow;

 private:
  std::unique_ptr<TPopUpDlg> dialog_;
};

}  // namespace tarnwell
