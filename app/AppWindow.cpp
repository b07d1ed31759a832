#include "app/AppWindow.h"

#include <charconv>
#include <optional>

#include "accounts/Account.h"
#include "accounts/AccountEvents.h"
#include "accounts/AccountKinds.h"
#include "accounts/AccountList.h"
#include "app/CheckProgress.h"
#include "app/FilterUpdates.h"
#include "app/MainWindowHost.h"
#include "app/MessageDialogs.h"
#include "app/PopUpNotice.h"
#include "app/TrayIcon.h"
#include "app/UserInterface.h"
#include "app/Wizards.h"
#include "complaints/ComplaintHooks.h"
#include "complaints/RecentComplaints.h"
#include "complaints/Templates.h"
#include "filtering/DataFiles.h"
#include "filtering/FilterList.h"
#include "message/DomainLists.h"
#include "message/QStrings.h"
#include "platform/DateTime.h"
#include "platform/Error.h"
#include "platform/Files.h"
#include "platform/Registry.h"
#include "platform/SingleInstance.h"
#include "platform/TerminationSignals.h"
#include "shell/ErrorReport.h"
#include "shell/LogFile.h"
#include "shell/ProgramFolders.h"
#include "shell/Settings.h"
#include "transport/POP3Account.h"

namespace tarnwell {

namespace {

TAppWindow* currentWindow = nullptr;

constexpr uint32_t kStartupDelayMs = 1000;
constexpr uint32_t kCheckIntervalMs = 7000;
const char* const kStartupPrefix = "An error occurred during startup: ";
const char* const kTerminate = "The program will terminate.";
const char* const kRunningNothingChecked =
    "Halvora Tarnwell is running already on this program folder, so nothing was checked: it "
    "checks the accounts on their schedules. End it to check them from here.";

void Log(const std::string& text) { ProgramLog().Add(text); }

std::optional<int32_t> Number(std::string_view text) {
  if (!text.empty() && text.front() == '+') text.remove_prefix(1);
  int32_t value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc() || end != text.data() + text.size()) return std::nullopt;
  return value;
}

// Runs the action at the end of the scope, however the scope is left.
template <typename F>
class TAtExit {
 public:
  explicit TAtExit(F action) : action_(std::move(action)) {}
  ~TAtExit() { action_(); }
  TAtExit(const TAtExit&) = delete;
  TAtExit& operator=(const TAtExit&) = delete;

 private:
  F action_;
};

template <typename F>
void Swallow(F action) {
  try {
    action();
  } catch (...) {
  }
}

}  // namespace

TSwitches ParseSwitches(const std::vector<std::string>& args) {
  TSwitches s;
  // The position of the number that "/APPDELAY" took.
  size_t delayValue = args.size();
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string arg = UpperCase(args[i]);
    if (arg == "/OPEN" || arg == "OPEN" || arg == "--OPEN") {
      s.OpenOnStart = true;
    } else if (arg == "/ONCE" || arg == "--ONCE") {
      s.CheckOnce = true;
    } else if (arg == "/SUSPENDED" || arg == "SUSPEND" || arg == "--SUSPENDED") {
      s.StartSuspended = true;
    } else if (arg == "/APPDELAY") {
      // The value is still looked at as a switch of its own.
      const std::optional<int32_t> delay = i + 1 < args.size() ? Number(args[i + 1]) : std::nullopt;
      s.AppDelay = delay.value_or(0);
      if (delay) delayValue = i + 1;
    } else if (arg == "RESUME") {
      s.ResumeRequested = true;
    } else if (arg == "ABOUT") {
      s.ShowAboutOnStart = true;
    } else if (arg == "SETTINGS") {
      s.ShowSettingsOnStart = true;
    } else if (i != delayValue) {
      s.Unknown.push_back(args[i]);
    }
  }
  return s;
}

int32_t InvokeCodeOf(const TSwitches& s) {
  return ChooseInvokeCode(s.StartSuspended, s.ResumeRequested, s.ShowAboutOnStart,
                          s.ShowSettingsOnStart);
}

TAppWindow* AppWindow() { return currentWindow; }

TAppWindow::TAppWindow(std::vector<std::string> args, TEventLoop& loop)
    : args_(std::move(args)), loop_(loop), timer_(loop) {
  currentWindow = this;
}

TAppWindow::~TAppWindow() {
  if (!destroyed_ && settings_) FormDestroy();
  if (currentWindow == this) currentWindow = nullptr;
}

bool TAppWindow::FormCreate() {
  switches_ = ParseSwitches(args_);
  OpenOnStart = switches_.OpenOnStart;
  CheckOnce = switches_.CheckOnce;
  StartSuspended = switches_.StartSuspended;
  AppDelay = switches_.AppDelay;
  SetAppDelay(AppDelay);
  SetSettleAfterCheck(FrontEndHasWindows());

  const std::string& folder = TProgramFolders::ProgramFolder();
  instance_ = std::make_unique<TSingleInstance>(InstanceLockPath(folder),
                                                InstanceSocketPath(folder), loop_);
  if (!instance_->Acquire([this](int32_t code) { InvokeTarnwell(code); })) {
    if (CheckOnce && !FrontEndHasWindows()) {
      // No code asks for a check, and the running instance could not say how it went.
      MessageDialogs().ShowError(kRunningNothingChecked);
      exitStatus_ = esFailed;
    } else {
      forwarded_ = true;
      if (!instance_->Send(InvokeCodeOf(switches_))) {
        MessageDialogs().ShowError("Halvora Tarnwell is running already, but it does not answer.");
        exitStatus_ = esFailed;
      }
    }
    instance_.reset();
    return false;
  }
  signals_ = std::make_unique<TTerminationSignals>([this] { Close(); }, loop_);

  timer_.SetOnTimer([this] { Startup(); });
  // The second lets the windows of a desktop finish their creation.
  timer_.SetInterval(FrontEndHasWindows() ? kStartupDelayMs : 0);
  timer_.SetEnabled(true);
  return true;
}

int TAppWindow::Run() {
  if (!FormCreate()) return exitStatus_;
  while (!loop_.Terminated()) PumpOnce(1000);
  FormDestroy();
  Swallow([] { ProgramLog().Save(); });
  return exitStatus_;
}

void TAppWindow::PumpOnce(int ms) {
  try {
    loop_.Pump(ms);
  } catch (...) {
    HandleException(std::current_exception());
  }
}

void TAppWindow::HandleException(std::exception_ptr error) {
  Swallow([&] {
    std::string text = "An unknown error occurred.";
    try {
      std::rethrow_exception(error);
    } catch (const std::exception& e) {
      text = e.what();
    } catch (...) {
    }
    MessageDialogs().ShowError(text);
  });
  WriteErrorReport(TProgramFolders::ProgramFolder() + "Tarnwell.err",
                   DescribeExceptionChain(error));
}

void TAppWindow::Terminate(int status) {
  exitStatus_ = status;
  loop_.Terminate();
}

void TAppWindow::Startup() {
  timer_.SetEnabled(false);
  try {
    RunStartup();
  } catch (const std::exception& error) {
    MessageDialogs().ShowError(std::string(error.what()) + "\r\r" + kTerminate);
    Terminate(esFailed);
  } catch (...) {
    MessageDialogs().ShowError(std::string("An unknown error occurred.") + "\r\r" + kTerminate);
    Terminate(esFailed);
  }
  Initialized = true;
  Log("Init: Done");
  if (OnStarted && !loop_.Terminated()) OnStarted();
}

void TAppWindow::RunStartup() {
  const std::string folder = TProgramFolders::ProgramFolder();
  try {
    store_ = std::make_unique<TRegistryStore>(folder + "Registry.db");
  } catch (const std::exception& error) {
    throw TError(kStartupPrefix + std::string(error.what()));
  }
  TRegistryStore::Install(store_.get());
  settings_ = std::make_unique<TSettings>(store_.get());
  InstallSettings(settings_.get());
  try {
    settings_->Load();
  } catch (const TError&) {
    // A key from an older version, or none at all: the defaults fill the gaps.
    settings_->SaveAll();
    settings_->Load();
  }
  ProgramLog().SetEnabled(settings_->Logging);
  ProgramLog().SetFileName(folder + "Tarnwell.log");
  Log("Init: Configuration");

  Log("Init: Folders");
  CreateDir(TProgramFolders::ComplaintsFolder());
  CreateDir(TProgramFolders::SoundsFolder());
  CreateDir(TProgramFolders::UpdatesFolder());
  InstallDataFiles();
  LoadDomainLists(folder);

  CreateObjects();
  if (!WarnAboutPasswords()) return;
  Log("Init: Old messages");
  DailyPurge();
  ApplyUpdates();

  Log("Init: Tray icon");
  TrayIcon().SetBase(TTrayImage::Normal);
  TrayIcon().Refresh();
  UpdateTip();
  ChooseHowToGoOn();
}

void TAppWindow::CreateObjects() {
  const TSettings& settings = *settings_;
  Log("Init: Objects");
  Log("Init:   Filters");
  filters_ = std::make_unique<TFilterList>(TProgramFolders::ProgramFolder() + "Filters.dat");
  filters_->Load(true);
  if (!filters_->LoadWarning().empty()) {
    RecordWarning(filters_->LoadWarning());
    MessageDialogs().ShowWarning(filters_->LoadWarning());
  }

  Log("Init:   EmailAccounts");
  if (!IsAccountKindRegistered(akPOP3)) RegisterPOP3Account();
  accounts_ = std::make_unique<TAccountList>();
  try {
    accounts_->Init(filters_.get());
  } catch (const std::exception& error) {
    throw TError(kStartupPrefix + std::string(error.what()));
  }
  accounts_->SetLogging(settings.Logging);
  filters_->SetLogging(settings.Logging);
  accounts_->OnCheckStart = [this](TAccountList&) { CheckStarted(); };
  accounts_->OnCheckFinished = [this](TAccountList&) { CheckFinished(); };
  accounts_->ConfirmPurge = [](const std::string& text) {
    return MessageDialogs().ConfirmTimed(text);
  };

  Log("Init:   Templates");
  templates_ = std::make_unique<TTemplates>();
  templates_->Reload();
  InstallTemplates(templates_.get());
  InstallComplaintHooks();
  recent_ = std::make_unique<TRecentComplaints>();
  recent_->MaxCount = settings.NumRecentComplaints;
  // Loaded now, so that a complaint added later cannot replace the entries kept before.
  Swallow([this] { recent_->Load(); });

  // Printing comes with the main window; there is nothing to create without it.
  Log("Init:   Printer");
  Log("Init:   Dialogs");
  CheckProgress().Create(*accounts_);
  PopUpNotice().Create(*accounts_);
}

bool TAppWindow::WarnAboutPasswords() {
  Log("Init: Passwords");
  std::vector<std::string> descriptions;
  for (int i = 0; i < accounts_->Count(); ++i) {
    const TAccount& account = *accounts_->Items(i);
    if (account.Type == akPOP3 && account.Password.empty())
      descriptions.push_back(account.Description);
  }
  if (descriptions.empty()) return true;
  MessageDialogs().ShowWarning(MainWindow().NoPasswordWarning(descriptions));
  if (CheckOnce && !MainWindow().Available()) {
    // The password cannot be entered here, and the check would fail without it.
    Terminate(esNeedsSetup);
    return false;
  }
  OpenOnStart = true;
  CheckOnce = false;
  return true;
}

void TAppWindow::ApplyUpdates() {
  Log("Init: Updates");
  updates_ = updatesFactory_ ? updatesFactory_() : std::make_unique<TNoFilterUpdates>();
  updates_->ApplyDownloaded(*filters_);
  if (updates_->HighestNumber() > settings_->LastUpdate) {
    settings_->LastUpdate = updates_->HighestNumber();
    settings_->SaveAll();
  }
}

void TAppWindow::ChooseHowToGoOn() {
  if (accounts_->Count() == 0) {
    FirstStart();
    return;
  }
  if (CheckOnce) {
    TAccountSet all;
    for (int i = 0; i < accounts_->Count() && i < kMaxSelectable; ++i)
      all.set(static_cast<size_t>(i));
    accounts_->CheckSelected(all, TriggerBit(ctOnDemand));
    const bool failed = !accounts_->Errors.empty();
    loop_.Pump(0);
    SaveFiltersIfModified();
    Terminate(failed ? esFailed : esOk);
    return;
  }
  Log("Init: On startup");
  accounts_->CheckSelected(TAccountSet(), TriggerBit(ctStartup));
  StartCheckTimer();
  if (OpenOnStart || switches_.ShowSettingsOnStart) {
    miOpenClick();
    if (switches_.ShowSettingsOnStart && MainWindow().IsVisible())
      MainWindow().PressSettingsButton();
  } else if (StartSuspended) {
    miSuspendClick();
  } else if (switches_.ShowAboutOnStart) {
    miAboutClick(false);
    miExitClick();
  }
}

void TAppWindow::FirstStart() {
  const TWizardResult addressBook = Wizards().RunAddressBookWizard(*filters_);
  if (addressBook == TWizardResult::Unavailable) {
    Terminate(esNeedsSetup);
    return;
  }
  if (addressBook == TWizardResult::Ok) {
    std::unique_ptr<TAccount> account;
    if (Wizards().RunNewAccountWizard(account) == TWizardResult::Ok && account)
      accounts_->Add(std::move(account));
  }
  miOpenClick();
  StartCheckTimer();
}

void TAppWindow::StartCheckTimer() {
  timer_.SetOnTimer([this] { Tick(); });
  timer_.SetInterval(kCheckIntervalMs);
  timer_.SetEnabled(true);
}

void TAppWindow::Tick() {
  timer_.SetEnabled(false);
  // Re-armed even when the work raised, or the checks would stop for good.
  TAtExit rearm([this] {
    if (!Closing) timer_.SetEnabled(true);
  });
  if (!TrayIcon().Registered()) TrayIcon().Refresh();
  if (PowerSuspended || !gate_.IsFree()) return;
  gate_.Enter(TSynchronization::skCheck);
  TAtExit release([this] { gate_.Reset(); });
  accounts_->ScheduledCheck();
  if (!MainWindow().IsVisible() && !Closing) {
    AutomaticUpdate();
    DailyPurge();
  }
}

void TAppWindow::DailyPurge() {
  Swallow([this] {
    const int64_t today = DateOf(TClock::Current().Now());
    if (today <= LastPurgeDate) return;
    if (accounts_->PurgeOld() != caUnanswered) LastPurgeDate = today;
  });
}

void TAppWindow::AutomaticUpdate() {
  TSettings& settings = *settings_;
  if (!settings.AutoCheckUpdates || !updates_->IsDue(settings.LastUpdateCheck) ||
      MainWindow().IsVisible() || PopUpNotice().IsVisible() || accounts_->Suspended ||
      SessionDisconnected)
    return;
  updates_->EnterBusy();
  TAtExit leave([this] { updates_->LeaveBusy(); });
  if (!updates_->Connected()) return;
  TrayIcon().CancelMenuMode();
  // The tick keeps the timer disabled while this runs.
  TrayIcon().Push(TTrayImage::Checking);
  TAtExit pop([] { TrayIcon().Pop(); });
  Swallow([&] {
    if (!updates_->Download() || updates_->Cancelled()) return;
    if (updates_->Downloaded() > 0) {
      updates_->ApplyDownloaded(*filters_);
      settings.LastUpdate = updates_->HighestNumber();
    }
    settings.LastUpdateCheck = static_cast<TDateTime>(DateOf(TClock::Current().Now()));
    settings.SaveAll();
  });
}

void TAppWindow::SaveFiltersIfModified() {
  if (filters_ && filters_->IsModified()) filters_->Save();
}

TTrayMenuState TAppWindow::MenuState() const {
  TTrayMenuState state;
  const bool checking = accounts_ && accounts_->Busy;
  const bool updating = updates_ && updates_->IsBusy();
  state.OpenEnabled = !MainWindow().IsVisible();
  if (accounts_) {
    for (int i = 0; i < accounts_->Count(); ++i)
      if (accounts_->Items(i)->Active)
        state.CheckNowItems.push_back(accounts_->Items(i)->Description);
  }
  state.CheckNowEnabled =
      !checking && !updating && !PopUpNotice().IsVisible() && !state.CheckNowItems.empty();
  state.CheckAllEnabled = state.CheckNowEnabled;
  state.SuspendChecked = accounts_ && accounts_->Suspended;
  state.SuspendEnabled = !checking;
  state.EmailProgramEnabled = !Settings().EmailClient.empty();
  state.AboutEnabled = !MessageDialogs().IsAboutShowing();
  state.ExitEnabled = !MainWindow().IsVisible() && !checking && !updating;
  return state;
}

void TAppWindow::miOpenClick() {
  Swallow([this] {
    if (MainWindow().Available() && Settings().UsePassword &&
        !MainWindow().AskPassword(Settings().Password))
      return;
    IconAcknowledged = false;
    gate_.Enter(TSynchronization::skUserInterface);
    TAtExit leave([this] { gate_.Leave(); });
    MainWindow().Open(Settings().WindowState == 2);
  });
}

void TAppWindow::miCheckNowClick(int n) {
  IconAcknowledged = false;
  if (!accounts_) return;
  const int32_t position = accounts_->ActiveIndex(n);
  if (position < 0 || position >= kMaxSelectable || !gate_.IsFree()) return;
  gate_.Enter(TSynchronization::skCheck);
  TAtExit release([this] { gate_.Reset(); });
  TAccountSet selection;
  selection.set(static_cast<size_t>(position));
  accounts_->CheckSelected(selection, TriggerBit(ctOnDemand));
  SaveFiltersIfModified();
}

void TAppWindow::miCheckAllClick() {
  IconAcknowledged = false;
  if (!accounts_ || !gate_.IsFree()) return;
  gate_.Enter(TSynchronization::skCheck);
  TAtExit release([this] { gate_.Reset(); });
  accounts_->CheckSelected(TAccountSet(), TriggerBit(ctOnDemand));
  SaveFiltersIfModified();
}

void TAppWindow::miSuspendClick(bool fromMainWindow) {
  if (!accounts_) return;
  accounts_->Suspended = !accounts_->Suspended;
  if (MainWindow().IsVisible() && !fromMainWindow) MainWindow().UpdateSuspendButton();
  if (accounts_->Suspended) {
    TrayIcon().Push(TTrayImage::Suspend);
  } else if (TrayIcon().Top() == TTrayImage::Suspend) {
    // Not so while a check that began suspended runs: it took the suspend image off for its own.
    TrayIcon().Pop();
  }
  UpdateTip();
  Log(accounts_->Suspended ? "Checking suspended" : "Checking resumed");
}

void TAppWindow::miEmailProgramClick() {
  Swallow([] {
    TDirectLauncher launcher;
    launcher.Launch(Settings().EmailClient);
  });
}

void TAppWindow::miAboutClick(bool fromTray) {
  Swallow([fromTray] { MessageDialogs().ShowAbout("Version " + ProgramVersionFull(), fromTray); });
}

void TAppWindow::Close() {
  if (CloseQuery()) loop_.Terminate();
}

bool TAppWindow::CloseQuery() {
  Log("CloseQuery");
  Closing = true;
  Swallow([this] {
    if (accounts_ && accounts_->Busy) accounts_->Stop();
  });
  Swallow([this] {
    if (!gate_.IsFree()) gate_.Reset();
  });
  Swallow([] {
    if (MainWindow().IsVisible()) MainWindow().Close();
  });
  Swallow([] {
    if (PopUpNotice().IsVisible()) PopUpNotice().Close();
  });
  Log("CloseQuery OK");
  return true;
}

void TAppWindow::FormDestroy() {
  if (destroyed_) return;
  destroyed_ = true;
  Log("FormDestroy");
  timer_.SetEnabled(false);
  if (accounts_) Swallow([this] { accounts_->Stop(); });
  // Hit counts and the actions that bounces changed live only in memory until this save.
  Swallow([this] { SaveFiltersIfModified(); });
  Swallow([this] {
    if (settings_) settings_->SaveAll();
    gate_.Reset();
    TrayIcon().Remove();
    updates_.reset();
    recent_.reset();
    InstallTemplates(nullptr);
    RemoveComplaintHooks();
    templates_.reset();
    accounts_.reset();
    filters_.reset();
  });
  InstallSettings(nullptr);
  settings_.reset();
  if (store_) TRegistryStore::Install(nullptr);
  store_.reset();
  signals_.reset();
  instance_.reset();
  Log("FormDestroy OK");
}

void TAppWindow::InvokeTarnwell(int32_t code) {
  if (!Initialized || !accounts_) return;
  Log("InvokeTarnwell " + std::to_string(code));
  switch (code) {
    case icSuspend:
      if (!accounts_->Suspended) miSuspendClick();
      break;
    case icResume:
      if (accounts_->Suspended) miSuspendClick();
      break;
    case icAbout:
      if (!MessageDialogs().IsAboutShowing()) miAboutClick(false);
      break;
    case icSettings:
      if (!MainWindow().IsVisible()) miOpenClick();
      if (MainWindow().IsVisible() && !MainWindow().IsSettingsDialogOpen())
        MainWindow().PressSettingsButton();
      break;
    default:
      if (!MainWindow().IsVisible()) miOpenClick();
      break;
  }
}

void TAppWindow::ShellRestarted() {
  TrayIcon().MarkUnregistered();
  TrayIcon().Refresh();
}

void TAppWindow::TrayLeftButtonDown() {
  if (!accounts_ || (updates_ && updates_->IsBusy())) return;
  if (accounts_->Suspended || accounts_->Busy) return;
  // Only an image over a second one comes off; the new-mail image alone stays, but stops
  // blinking.
  if (TrayIcon().Depth() > 2) TrayIcon().Pop();
  TrayIcon().SetBlink(false);
  IconAcknowledged = true;
}

void TAppWindow::TrayDoubleClick() {
  if (updates_ && updates_->IsBusy()) return;
  IconAcknowledged = false;
  if (PopUpNotice().IsVisible())
    PopUpNotice().BringToFront();
  else if (MainWindow().IsVisible())
    MainWindow().BringToForeground();
  else
    miOpenClick();
}

void TAppWindow::TrayRightButtonDown() {
  if (updates_ && updates_->IsBusy()) return;
  if (!PopUpNotice().IsVisible()) TrayIcon().ShowMenu(MenuState());
}

bool TAppWindow::IsMainWindowVisible() const { return MainWindow().IsVisible(); }

bool TAppWindow::IsPopUpVisible() const { return PopUpNotice().IsVisible(); }

void TAppWindow::CheckStarted() {
  Swallow([this] {
    TrayIcon().CancelMenuMode();
    ShowCheckingIcon();
    CheckProgress().PrepareForCheck(*accounts_);
    loop_.Pump(0);
    if (MainWindow().IsVisible()) {
      MainWindow().Enable(false);
      CheckProgress().Show();
      loop_.Pump(0);
    }
  });
}

void TAppWindow::CheckFinished() {
  if (MainWindow().IsVisible()) {
    MainWindow().Enable(true);
    MainWindow().RefreshPages();
  }
  CheckProgress().FinishCheck(*accounts_);
  if (accounts_->ChangeTotal > 0) IconAcknowledged = false;
  UpdateIconAfterCheck();
}

void TAppWindow::MainWindowClosed() {
  Swallow([this] {
    if (!accounts_) return;
    accounts_->ResetCounters();
    if (accounts_->OnCountersReset) accounts_->OnCountersReset();
  });
  Swallow([this] { ResetIcon(); });
}

void TAppWindow::ShowCheckingIcon() {
  if (accounts_ && accounts_->Suspended) TrayIcon().Pop();
  TrayIcon().Push(TTrayImage::Checking);
  UpdateTip();
}

void TAppWindow::PopToBase() {
  while (TrayIcon().Depth() > 1) TrayIcon().Pop();
}

void TAppWindow::UpdateIconAfterCheck() {
  TTrayIcon& tray = TrayIcon();
  const TAccountList& list = *accounts_;
  // A suspension during the check put its image over the checking image; it goes back on top
  // at the end.
  if (tray.Top() == TTrayImage::Suspend) tray.Pop();
  tray.Pop();
  if (!IconAcknowledged) {
    const uint8_t mode = Settings().IconMode;
    bool spam = false;
    if (tray.Top() == TTrayImage::NewSpam) {
      tray.Pop();
      spam = true;
    } else {
      spam = list.NewSpamTotal() > 0;
    }
    if (list.NewPossibleTotal() > 0 || list.NewTotal() > 0) {
      PopToBase();
      if (mode == 0) {
        if (list.NewPossibleTotal() <= 0) {
          tray.Push(TTrayImage::NewMail);
        } else {
          if (list.NewTotal() > 0 && !spam) tray.Push(TTrayImage::NewMail);
          tray.Push(TTrayImage::NewPossible);
        }
      } else if (mode == 1) {
        if (list.NewPossibleTotal() + list.NewSpamTotal() < list.NewTotal())
          tray.Push(TTrayImage::NewMail);
      }
      tray.SetBlink(mode != 2);
    } else if (list.PossibleTotal() == 0 && list.InboxTotal() == 0) {
      PopToBase();
    }
    if (spam && mode == 0) {
      tray.Push(TTrayImage::NewSpam);
      tray.SetBlink(true);
    }
  }
  if (list.Suspended) tray.Push(TTrayImage::Suspend);
  UpdateTip();
}

void TAppWindow::ResetIcon() {
  TTrayIcon& tray = TrayIcon();
  PopToBase();
  if (!accounts_) return;
  if (!Settings().ResetCountOnClose) {
    const uint8_t mode = Settings().IconMode;
    if (mode == 0 && accounts_->PossibleTotal() > 0)
      tray.Push(TTrayImage::NewPossible);
    else if (mode <= 1 && accounts_->InboxTotal() > 0)
      tray.Push(TTrayImage::NewMail);
  }
  if (accounts_->Suspended) tray.Push(TTrayImage::Suspend);
  UpdateTip();
}

void TAppWindow::UpdateTip() {
  TTrayIcon& tray = TrayIcon();
  switch (tray.Top()) {
    case TTrayImage::Suspend: tray.SetTip("Halvora Tarnwell is suspended."); break;
    case TTrayImage::Checking: tray.SetTip("Halvora Tarnwell is checking e-mail."); break;
    default:
      if (accounts_) tray.SetTip(accounts_->Summary());
      break;
  }
}

}  // namespace tarnwell
