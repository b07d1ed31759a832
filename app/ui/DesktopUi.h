#pragma once

#include <QPointer>
#include <memory>
#include <string>
#include <vector>

#include "app/MainWindowHost.h"
#include "app/UserInterface.h"
#include "app/Wizards.h"
#include "mainwindow/ui/MessagePage.h"
#include "mainwindow/ui/PgMessages.h"
#include "mainwindow/ui/WindowPage.h"

class QApplication;

namespace tarnwell {

class TAccountList;
class TAppWindow;
class TCheckMailDlg;
class TFilterList;
class TFmMain;
class TQtEventLoop;
class TQtMessageDialogs;
class TQtPopUpNotice;
class TQtTrayIcon;

// The desktop's main window: the password that guards it, and the window itself, made on the
// running application's objects when it opens and freed when it closes.
class TDesktopMainWindow : public TMainWindowHost {
 public:
  // The window's message pages come from `pages`; without it they stay empty.
  TDesktopMainWindow(TQtMessageDialogs& dialogs, TMessagePageFactory pages);
  ~TDesktopMainWindow() override;
  TDesktopMainWindow(const TDesktopMainWindow&) = delete;
  TDesktopMainWindow& operator=(const TDesktopMainWindow&) = delete;

  [[nodiscard]] bool Available() const override { return true; }
  bool AskPassword(const std::string& password) override;
  void Open(bool maximised) override;
  [[nodiscard]] bool IsVisible() const override;
  void Close() override;
  void Enable(bool enabled) override;
  // The settings dialog is still to come: the Settings button is disabled and pressing it
  // does nothing.
  void PressSettingsButton() override {}
  [[nodiscard]] bool IsSettingsDialogOpen() const override { return false; }
  void RefreshPages() override;
  void UpdateSuspendButton() override;
  void BringToForeground() override;

  // The open window; null while it is closed.
  [[nodiscard]] TFmMain* Window() const;
  // The desktop has a tray to keep the program in while the window is closed; unset, it has.
  std::function<bool()> TrayPresent;

 private:
  void Closed(TFmMain* window, bool endProgram);

  TQtMessageDialogs& dialogs_;
  TMessagePageFactory pages_;
  QPointer<TFmMain> window_;
};

// The first start without the set-up wizards: it says how to add an account from a terminal.
class TDesktopWizards : public TNoWizards {
 public:
  explicit TDesktopWizards(TQtMessageDialogs& dialogs) : dialogs_(dialogs) {}
  TWizardResult RunAddressBookWizard(TFilterList& filters) override;

 private:
  TQtMessageDialogs& dialogs_;
};

// The desktop front end while it lives: the Qt application (unless there is one), the program's
// event loop on Qt's, and the windowed parts of the user interface, installed for the program.
class TDesktopSession {
 public:
  // The main window's message pages come from `pages`; without it they stay empty.
  // Without a factory the window gets the Live Mail and Killed Mail pages with the desktop's
  // commands (DesktopPageActions).
  explicit TDesktopSession(TMessagePageFactory pages = {});
  ~TDesktopSession();
  TDesktopSession(const TDesktopSession&) = delete;
  TDesktopSession& operator=(const TDesktopSession&) = delete;

  // The program with these switches until it ends; its exit status.
  int Run(const std::vector<std::string>& switches);

  [[nodiscard]] TQtTrayIcon& Tray() { return *tray_; }
  [[nodiscard]] TDesktopMainWindow& MainWindow() { return *mainWindow_; }

 private:
  // Ties the tray icon's clicks and menu and the notice to the application.
  void Attach(TAppWindow& app);
  void Detach();

  int argc_ = 1;
  char* argv_[2];
  std::unique_ptr<QApplication> application_;
  std::unique_ptr<TQtEventLoop> loop_;
  std::unique_ptr<TQtMessageDialogs> dialogs_;
  std::unique_ptr<TQtTrayIcon> tray_;
  std::unique_ptr<TQtPopUpNotice> popUp_;
  std::unique_ptr<TDesktopMainWindow> mainWindow_;
  std::unique_ptr<TDesktopWizards> wizards_;
  std::unique_ptr<TCheckMailDlg> progress_;
};

// The commands of the message pages on the desktop: a filter or a friend from the message, rescue,
// print and the window's Delete.
[[nodiscard]] TMessagePageActions DesktopPageActions(TQtMessageDialogs& dialogs);

// The main window's pages other than the message pages, over the program's filters and accounts.
[[nodiscard]] TWindowPageFactory WindowPageFactory(TFilterList& filters, TAccountList& accounts,
                                                   TQtMessageDialogs& dialogs);

// What a desktop without a system tray is told once: the program shows its main window instead
// of an icon.
extern const char* const kNoTrayWarning;
// What a first start is told while there is no account.
extern const char* const kNoAccountsYet;

}  // namespace tarnwell
