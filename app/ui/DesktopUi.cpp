#include "app/ui/DesktopUi.h"

#include <QApplication>
#include <QTimer>

#include "accounts/ui/AccountDialogs.h"
#include "accounts/ui/DlgCheckMail.h"
#include "accounts/ui/DlgNewAccount.h"
#include "accounts/ui/DlgTrustCertificate.h"
#include "accounts/ui/PgAccounts.h"
#include "app/AppWindow.h"
#include "app/ui/PasswordDlg.h"
#include "filtering/ui/FilterDialogs.h"
#include "filtering/ui/FilterWizard.h"
#include "filtering/ui/PgFilters.h"
#include "filtering/ui/PgFriends.h"
#include "mainwindow/ui/DlgRescue.h"
#include "mainwindow/ui/FmMain.h"
#include "mainwindow/ui/MessagePages.h"
#include "mainwindow/ui/PgKilled.h"
#include "mainwindow/ui/PrintOuts.h"
#include "platform/ui/QtEventLoop.h"
#include "shell/ui/DlgMessage.h"
#include "shell/ui/DlgPopUp.h"
#include "shell/ui/TrayIcon.h"

namespace tarnwell {

const char* const kNoTrayWarning =
    "There is no system tray on this desktop, so Halvora Tarnwell cannot show its icon.\r\r"
    "It shows its main window instead: minimise the window to keep Tarnwell checking your "
    "e-mail, and close it to end Tarnwell.";

const char* const kNoAccountsYet =
    "There is no e-mail account to check yet.\r\rAdd one from a terminal with "
    "\"tarnwell accounts add pop3\" (\"tarnwell accounts add --help\" says what it needs), "
    "then start Halvora Tarnwell again.";

TWizardResult TDesktopWizards::RunAddressBookWizard(TFilterList&) {
  dialogs_.ShowInfo(kNoAccountsYet);
  return TWizardResult::Unavailable;
}

TDesktopMainWindow::TDesktopMainWindow(TQtMessageDialogs& dialogs, TMessagePageFactory pages)
    : dialogs_(dialogs), pages_(std::move(pages)) {
  dialogs_.MainWindow = [this]() -> QWidget* { return window_.data(); };
}

TDesktopMainWindow::~TDesktopMainWindow() {
  dialogs_.MainWindow = nullptr;
  delete window_.data();
}

bool TDesktopMainWindow::AskPassword(const std::string& password) {
  return TPasswordDlg::Ask(password, dialogs_);
}

void TDesktopMainWindow::Open(bool maximised) {
  TAppWindow* app = AppWindow();
  if (!app || !app->Accounts()) return;
  if (window_) {
    BringToForeground();
    return;
  }
  TMainWindowLinks links;
  links.Accounts = app->Accounts();
  links.Filters = app->Filters();
  links.Gate = &app->Gate();
  links.Dialogs = &dialogs_;
  links.ToggleSuspend = [app] { app->miSuspendClick(true); };
  links.ShowAbout = [app] { app->miAboutClick(false); };
  links.RunEmailProgram = [app] { app->miEmailProgramClick(); };
  TWindowPageFactory otherPages;
  if (app->Filters()) otherPages = WindowPageFactory(*app->Filters(), *app->Accounts(), dialogs_);
  auto* window = new TFmMain(std::move(links), pages_, otherPages);
  window_ = window;
  window->TrayPresent = TrayPresent;
  QObject::connect(window, &TFmMain::Closed, window,
                   [this, window](bool endProgram) { Closed(window, endProgram); });
  if (maximised)
    window->showMaximized();
  else
    window->show();
  BringToForeground();
}

void TDesktopMainWindow::Closed(TFmMain* window, bool endProgram) {
  window_.clear();
  window->deleteLater();
  TAppWindow* app = AppWindow();
  if (!app) return;
  app->MainWindowClosed();
  if (endProgram) app->miExitClick();
}

TFmMain* TDesktopMainWindow::Window() const { return window_.data(); }

bool TDesktopMainWindow::IsVisible() const { return window_ && window_->isVisible(); }

void TDesktopMainWindow::Close() {
  if (window_) window_->CloseForExit();
}

void TDesktopMainWindow::Enable(bool enabled) {
  if (window_) window_->setEnabled(enabled);
}

void TDesktopMainWindow::RefreshPages() {
  if (window_) window_->RefreshPages();
}

void TDesktopMainWindow::UpdateSuspendButton() {
  if (window_) window_->UpdateSuspendButton();
}

void TDesktopMainWindow::BringToForeground() {
  if (!window_) return;
  if (window_->isMinimized()) window_->showNormal();
  window_->raise();
  window_->activateWindow();
}

namespace {

// The window a page lives in, when it is the main window.
TFmMain* MainWindowOf(const QWidget& page) { return qobject_cast<TFmMain*>(page.window()); }

// The main window's Help, for the "&Help" buttons of the dialogs a page opens.
std::function<void()> HelpOf(const QWidget& page) {
  return [&page] {
    if (TFmMain* window = MainWindowOf(page)) window->Help();
  };
}

}  // namespace

TWindowPageFactory WindowPageFactory(TFilterList& filters, TAccountList& accounts,
                                     TQtMessageDialogs& dialogs) {
  return [&filters, &accounts, &dialogs](int index,
                                         QWidget* parent) -> std::unique_ptr<TWindowPage> {
    if (index == piFilters)
      return std::make_unique<TFiltersPg>(filters, dialogs,
                                          TFilterEditors{&EditFilter, &EditActionOf}, parent);
    if (index == piAccounts) {
      auto page = std::make_unique<TAccountsPg>(accounts, parent);
      TAccountsPg* raw = page.get();
      raw->SetNewAccountWizard(
          [&accounts, raw] { return RunNewAccountWizard(accounts, false, raw->window()); });
      raw->SetEditAccount([raw](TAccount& account) { return EditAccount(account, raw->window()); });
      return page;
    }
    if (index == piFriends) {
      auto page = std::make_unique<TFriendsPg>(filters, accounts, dialogs, parent);
      page->Help = HelpOf(*page);
      return page;
    }
    return nullptr;
  };
}

TMessagePageActions DesktopPageActions(TQtMessageDialogs& dialogs) {
  TMessagePageActions actions;
  actions.AddFilter = [](TPgMessages& page) {
    TFilterList* filters = page.Accounts().FilterList;
    if (!filters) return;
    const TFilterFromMessage made = AddFilterFromPage(
        page, *filters,
        [&page](TFilter& filter, bool isNew) { return EditFilter(filter, isNew, page.window()); },
        HelpOf(page));
    TFmMain* window = MainWindowOf(page);
    if (!window) return;
    if (made.Added || made.CountriesBlocked) window->RefreshPage(piFilters);
    if (made.Added) window->ApplyFilter(made.Added);
  };
  actions.AddFriend = [&dialogs](TPgMessages& page) {
    TFilterList* filters = page.Accounts().FilterList;
    TEmail* message = page.CurrentMessage();
    if (!filters || !message) return;
    const bool killed = qobject_cast<TPgKilled*>(&page) != nullptr;
    const TFriendFromMessage made = AddFriendFromMessage(
        *filters, {message, killed, page.Account() && RestoresInPlace(*page.Account())},
        OwnAddresses(page.Accounts()), dialogs, &page, HelpOf(page));
    if (made.Rescue && page.Account())
      RescueMessages(page.Accounts(), *page.Account(), {message}, dialogs, &page);
    TFmMain* window = MainWindowOf(page);
    if (!window || !made.Added) return;
    window->RefreshPage(piFriends);
    window->ApplyFilter(made.Added);
  };
  actions.Rescue = [&dialogs](TPgMessages& page) {
    if (TAccount* viewed = page.Account())
      RescueMessages(page.Accounts(), *viewed, page.SelectedMessages(), dialogs, &page);
  };
  actions.Print = [](TPgMessages& page, QPrinter& printer) {
    TPrintOut(page.Details()).Print(printer, page.SelectedMessages());
  };
  actions.Delete = [](TPgMessages& page) {
    if (TFmMain* window = MainWindowOf(page)) window->Delete();
  };
  return actions;
}

TDesktopSession::TDesktopSession(TMessagePageFactory pages) {
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
  if (!pages) pages = MessagePageFactory(DesktopPageActions(*dialogs_));
  InstallSpadeClipboard();
  mainWindow_ = std::make_unique<TDesktopMainWindow>(*dialogs_, std::move(pages));
  mainWindow_->TrayPresent = [] { return TQtTrayIcon::TrayAvailable(); };
  wizards_ = std::make_unique<TDesktopWizards>(*dialogs_);
  progress_ = std::make_unique<TCheckMailDlg>();
  progress_->MainWindow = [this]() -> QWidget* { return mainWindow_->Window(); };
  progress_->OfferToTrust = [](TAccount& account, const TBatchError& refusal, QWidget* parent) {
    return tarnwell::OfferToTrust(account, refusal, parent);
  };
  TUserInterface parts;
  parts.Dialogs = dialogs_.get();
  parts.Tray = tray_.get();
  parts.MainWindow = mainWindow_.get();
  parts.PopUp = popUp_.get();
  parts.Wizards = wizards_.get();
  parts.Progress = progress_.get();
  parts.HasWindows = true;
  InstallUserInterface(parts);
}

TDesktopSession::~TDesktopSession() {
  InstallUserInterface({});
  progress_.reset();
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
  // Without a tray the program would run unseen: it says so, then shows its main window once
  // the start-up has ended, and ends when the window does not open.
  const QObject whileRunning;
  bool warned = false;
  bool started = false;
  const auto openWindow = [this, &app] {
    if (app.Closing || TEventLoop::Current().Terminated()) return;
    if (!mainWindow_->IsVisible()) app.miOpenClick();
    if (!mainWindow_->IsVisible()) app.miExitClick();
  };
  if (!TQtTrayIcon::TrayAvailable()) {
    QTimer::singleShot(0, &whileRunning, [&] {
      dialogs_->ShowWarning(kNoTrayWarning);
      warned = true;
      if (started) openWindow();
    });
    app.OnStarted = [&] {
      started = true;
      if (warned) openWindow();
    };
  }
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
