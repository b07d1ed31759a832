#pragma once

#include <memory>
#include <string>
#include <vector>

#include "app/MainWindowHost.h"
#include "app/UserInterface.h"
#include "app/Wizards.h"

class QApplication;

namespace tarnwell {

class TAppWindow;
class TQtEventLoop;
class TQtMessageDialogs;
class TQtPopUpNotice;
class TQtTrayIcon;

// The main window as far as the desktop front end has it: the password that guards it.
class TDesktopMainWindow : public TNoMainWindow {
 public:
  explicit TDesktopMainWindow(TQtMessageDialogs& dialogs) : dialogs_(dialogs) {}
  bool AskPassword(const std::string& password) override;

 private:
  TQtMessageDialogs& dialogs_;
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
  TDesktopSession();
  ~TDesktopSession();
  TDesktopSession(const TDesktopSession&) = delete;
  TDesktopSession& operator=(const TDesktopSession&) = delete;

  // The program with these switches until it ends; its exit status.
  int Run(const std::vector<std::string>& switches);

  [[nodiscard]] TQtTrayIcon& Tray() { return *tray_; }

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
};

// What a desktop without a system tray is told once: the program runs on without its icon.
extern const char* const kNoTrayWarning;
// What a first start is told while there is no account.
extern const char* const kNoAccountsYet;

}  // namespace tarnwell
