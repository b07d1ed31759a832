#pragma once

#include <cstdint>
#include <exception>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/TrayIcon.h"
#include "platform/EventLoop.h"
#include "shell/Synchronization.h"

namespace tarnwell {

class TAccountList;
class TFilterList;
class TFilterUpdates;
class TRecentComplaints;
class TRegistryStore;
class TSettings;
class TSingleInstance;
class TTemplates;
class TTerminationSignals;

// The program's switches. Each argument is upper-cased and compared whole; unknown ones have no
// effect. "--open", "--once" and "--suspended" are the same as "/OPEN", "/ONCE" and
// "/SUSPENDED".
struct TSwitches {
  bool OpenOnStart = false;
  bool CheckOnce = false;
  bool StartSuspended = false;
  bool ResumeRequested = false;
  bool ShowAboutOnStart = false;
  bool ShowSettingsOnStart = false;
  // The argument after "/APPDELAY" as a whole decimal number; 0 when missing or not a number.
  int32_t AppDelay = 0;
  // The arguments that are no switch (the number after "/APPDELAY" is none of them), for a front
  // end that refuses them.
  std::vector<std::string> Unknown;
};
[[nodiscard]] TSwitches ParseSwitches(const std::vector<std::string>& args);
// The code a second instance passes on for these switches.
[[nodiscard]] int32_t InvokeCodeOf(const TSwitches& switches);

enum TExitStatus : int {
  esOk = 0,
  // The start-up failed, or a check of "/ONCE" reported an error.
  esFailed = 1,
  // The program cannot work before the user sets it up (no account, a missing password).
  esNeedsSetup = 2,
};

// The hidden main form: owns the long-lived objects, runs the start-up, the check timer with
// the daily purge and the automatic filter update, the tray menu's commands and the shutdown.
// It talks to the user through the parts of the installed user interface (app/UserInterface.h).
class TAppWindow {
 public:
  using TUpdatesFactory = std::function<std::unique_ptr<TFilterUpdates>()>;

  explicit TAppWindow(std::vector<std::string> args, TEventLoop& loop = TEventLoop::Current());
  ~TAppWindow();
  TAppWindow(const TAppWindow&) = delete;
  TAppWindow& operator=(const TAppWindow&) = delete;

  // Makes the filter-update manager at start-up; without one the program has no updates.
  void SetUpdatesFactory(TUpdatesFactory factory) { updatesFactory_ = std::move(factory); }

  // Parses the switches, passes them to a running instance or becomes the running one, and
  // arms the start-up, which runs a second later when the front end has windows and at once
  // otherwise. False when another instance runs; the program then ends with `ExitStatus`.
  // Without windows "/ONCE" is not passed on: the check it asks for cannot happen here, and the
  // program ends with an error.
  bool FormCreate();
  // `FormCreate`, the events until the program ends, then `FormDestroy`; the exit status.
  int Run();
  // Lets events run once; an exception that escapes them is shown and reported.
  void PumpOnce(int ms);
  void HandleException(std::exception_ptr error);
  // Closes the program when `CloseQuery` allows it.
  void Close();
  bool CloseQuery();
  void FormDestroy();

  // The tray menu.
  [[nodiscard]] TTrayMenuState MenuState() const;
  void miOpenClick();
  // Checks the `n`-th active account.
  void miCheckNowClick(int n);
  void miCheckAllClick();
  void miSuspendClick(bool fromMainWindow = false);
  void miEmailProgramClick();
  void miAboutClick(bool fromTray = true);
  void miExitClick() { Close(); }

  // Messages of the desktop, another instance and the tray icon.
  void InvokeTarnwell(int32_t code);
  void ShellRestarted();
  void SessionChanged(bool connected) { SessionDisconnected = !connected; }
  void PowerSuspend() { PowerSuspended = true; }
  void PowerResume() { PowerSuspended = false; }
  void TrayLeftButtonDown();
  void TrayDoubleClick();
  void TrayRightButtonDown();

  // The main window closed: what came while it was open counts as seen, and the tray icon
  // keeps only what the settings ask for.
  void MainWindowClosed();

  // Icon routines.
  void ShowCheckingIcon();
  void UpdateIconAfterCheck();
  void ResetIcon();
  void UpdateTip();

  [[nodiscard]] TSynchronization& Gate() { return gate_; }
  [[nodiscard]] bool IsMainWindowVisible() const;
  [[nodiscard]] bool IsPopUpVisible() const;
  [[nodiscard]] int ExitStatus() const { return exitStatus_; }
  // The switches were passed to another instance, which runs.
  [[nodiscard]] bool Forwarded() const { return forwarded_; }
  [[nodiscard]] const TSwitches& Switches() const { return switches_; }
  [[nodiscard]] TAccountList* Accounts() const { return accounts_.get(); }
  [[nodiscard]] TFilterList* Filters() const { return filters_.get(); }
  [[nodiscard]] TTemplates* Templates() const { return templates_.get(); }
  [[nodiscard]] TRecentComplaints* RecentComplaints() const { return recent_.get(); }
  [[nodiscard]] TFilterUpdates* Updates() const { return updates_.get(); }

  // Runs when the start-up has ended, unless it ended the program.
  std::function<void()> OnStarted;

  bool OpenOnStart = false;
  bool CheckOnce = false;
  bool StartSuspended = false;
  int32_t AppDelay = 0;
  bool Initialized = false;
  bool IconAcknowledged = false;
  bool PowerSuspended = false;
  bool SessionDisconnected = false;
  bool Closing = false;
  // Day number of the last purge of old killed mail.
  int64_t LastPurgeDate = 0;

 private:
  void Startup();
  // The start-up's steps up to the choice of how to go on; they raise on failure.
  void RunStartup();
  void CreateObjects();
  // False when the program must end: a missing password cannot be entered here.
  bool WarnAboutPasswords();
  void ApplyUpdates();
  void ChooseHowToGoOn();
  void FirstStart();
  void StartCheckTimer();
  void Tick();
  void DailyPurge();
  void AutomaticUpdate();
  void CheckStarted();
  void CheckFinished();
  void SaveFiltersIfModified();
  void PopToBase();
  void Terminate(int status);

  std::vector<std::string> args_;
  TEventLoop& loop_;
  TSwitches switches_;
  TSynchronization gate_;
  TTimer timer_;
  TUpdatesFactory updatesFactory_;
  int exitStatus_ = esOk;
  bool forwarded_ = false;
  bool destroyed_ = false;

  std::unique_ptr<TSingleInstance> instance_;
  std::unique_ptr<TTerminationSignals> signals_;
  std::unique_ptr<TRegistryStore> store_;
  std::unique_ptr<TSettings> settings_;
  std::unique_ptr<TFilterList> filters_;
  std::unique_ptr<TAccountList> accounts_;
  std::unique_ptr<TTemplates> templates_;
  std::unique_ptr<TRecentComplaints> recent_;
  std::unique_ptr<TFilterUpdates> updates_;
};

// The program's hidden main form while one exists.
[[nodiscard]] TAppWindow* AppWindow();

}  // namespace tarnwell
