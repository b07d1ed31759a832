#include "app/ui/DesktopUi.h"

#include <QApplication>
#include <QTimer>

#include "app/AppWindow.h"
#include "app/ui/PasswordDlg.h"
#include "platform/ui/QtEventLoop.h"
#include "shell/ui/DlgMessage.h"
#include "shell/ui/DlgPopUp.h"
#include "shell/ui/TrayIcon.h"

namespace tarnwell {

const char* const kNoTrayWarning =
    "There is no system tray on this desktop, so Halvora Tarnwell cannot show its icon.\r\r"
    "It goes on checking your e-mail all the same; \"pkill -x tarnwell\" ends it, and "
    "\"tarnwell --headless\" runs it without any window.";

const char* const kNoAccountsYet =
    "There is no e-mail account to check yet.\r\rAdd one from a terminal with "
    "\"tarnwell accounts add pop3\" (\"tarnwell accounts add --help\" says what it needs), "
    "then start Halvora Tarnwell again.";

TWizardResult TDesktopWizards::RunAddressBookWizard(TFilterList&) {
  dialogs_.ShowInfo(kNoAccountsYet);
  return TWizardResult::Unavailable;
}

bool TDesktopMainWindow::AskPassword(const std::string& password) {
  return TPasswordDlg::Ask(password, dialogs_);
}

TDesktopSession::TDesktopSession() {
  static char name[] = "tarnwell";
  argv_[0] = name;
  argv_[1] = nullptr;
  if (!QApplication::instance()) application_ = std::make_unique<QApplication>(argc_, argv_);
  // Dialogs come and go while the program lives in the tray.
  QApplication::setQuitOnLastWindowClosed(false);
  loop_ = std::make_unique<TQtEventLoop>();
  TEventLoop::Install(loop_.get());
  dialogs_ = std::make_unique<TQtMessageDialogs>();
  tray_ = std::make_unique<TQtTrayIcon>();
  dialogs_->ProgramIcon = TQtTrayIcon::TrayImageIcon(TTrayImage::Normal);
  popUp_ = std::make_unique<TQtPopUpNotice>();
  mainWindow_ = std::make_unique<TDesktopMainWindow>(*dialogs_);
  wizards_ = std::make_unique<TDesktopWizards>(*dialogs_);
  TUserInterface parts;
  parts.Dialogs = dialogs_.get();
  parts.Tray = tray_.get();
  parts.MainWindow = mainWindow_.get();
  parts.PopUp = popUp_.get();
  parts.Wizards = wizards_.get();
  parts.HasWindows = true;
  InstallUserInterface(parts);
}

TDesktopSession::~TDesktopSession() {
  InstallUserInterface({});
  wizards_.reset();
  mainWindow_.reset();
  popUp_.reset();
  tray_.reset();
  dialogs_.reset();
  TEventLoop::Install(nullptr);
  loop_.reset();
  application_.reset();
}

int TDesktopSession::Run(const std::vector<std::string>& switches) {
  TAppWindow app(switches);
  Attach(app);
  if (!TQtTrayIcon::TrayAvailable())
    QTimer::singleShot(0, [this] { dialogs_->ShowWarning(kNoTrayWarning); });
  const int status = app.Run();
  Detach();
  return status;
}

void TDesktopSession::Attach(TAppWindow& app) {
  TTrayHandlers handlers;
  handlers.LeftButtonDown = [&app] { app.TrayLeftButtonDown(); };
  handlers.DoubleClick = [&app] { app.TrayDoubleClick(); };
  handlers.RightButtonDown = [&app] { app.TrayRightButtonDown(); };
  handlers.Open = [&app] { app.miOpenClick(); };
  handlers.CheckNow = [&app](int n) { app.miCheckNowClick(n); };
  handlers.CheckAll = [&app] { app.miCheckAllClick(); };
  handlers.Suspend = [&app] { app.miSuspendClick(); };
  handlers.EmailProgram = [&app] { app.miEmailProgramClick(); };
  handlers.About = [&app] { app.miAboutClick(true); };
  handlers.Exit = [&app] { app.miExitClick(); };
  tray_->SetHandlers(std::move(handlers));
  popUp_->OpenMainWindow = [&app] { app.miOpenClick(); };
  popUp_->IsMainWindowVisible = [&app] { return app.IsMainWindowVisible(); };
}

void TDesktopSession::Detach() {
  tray_->SetHandlers({});
  popUp_->OpenMainWindow = nullptr;
  popUp_->IsMainWindowVisible = nullptr;
}

}  // namespace tarnwell
