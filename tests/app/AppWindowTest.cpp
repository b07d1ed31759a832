#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <csignal>
#include <deque>
#include <filesystem>
#include <functional>
#include <memory>
#include <set>

#include "accounts/Account.h"
#include "accounts/AccountKinds.h"
#include "accounts/AccountList.h"
#include "app/AppWindow.h"
#include "app/CheckProgress.h"
#include "app/FilterUpdates.h"
#include "app/MainWindowHost.h"
#include "app/MessageDialogs.h"
#include "app/TrayIcon.h"
#include "app/UserInterface.h"
#include "app/Wizards.h"
#include "filtering/DataFiles.h"
#include "filtering/FilterList.h"
#include "filtering/Filters.h"
#include "message/SvcString.h"
#include "platform/DateTime.h"
#include "platform/Files.h"
#include "platform/Registry.h"
#include "platform/SingleInstance.h"
#include "shell/LogFile.h"
#include "shell/ProgramFolders.h"
#include "shell/Settings.h"
#include "tests/support/TestSupport.h"
#include "tests/support/VirtualTimeLoop.h"

namespace tarnwell {
namespace {

using test::TVirtualTimeLoop;

// The mail server behind every account of the fake kind: it has no messages, records the
// logins, refuses those it is told to, and runs a hook in each login.
struct TFakeServer {
  std::vector<std::string> Logins;
  std::set<std::string> Refusing;
  std::function<void(TAccount&)> OnLogin;
};
TFakeServer* fakeServer = nullptr;

class TFakeAccount : public TAccount {
 public:
  TFakeAccount() : TAccount(akPOP3) {}
  std::unique_ptr<TEmail> GetFirstMessage(const std::string&) override { return nullptr; }
  std::unique_ptr<TEmail> GetMessage(int32_t, const std::string&) override { return nullptr; }
  void ReadBody(int, int32_t) override {}
  void SaveOriginal(int, int32_t) override {}
  void SendMessage(TEmail&) override {}
  bool LoginIncoming() override {
    TAccount::LoginIncoming();
    fakeServer->Logins.push_back(Description);
    if (fakeServer->OnLogin) fakeServer->OnLogin(*this);
    if (fakeServer->Refusing.count(Description)) throw TError("The server refused the login.");
    LoggedIn = true;
    return true;
  }
  int32_t FindServerNumber(int) override { throw TNoMessageException(); }
  void ForwardMessage(TEmail&) override {}
  void RestoreMessage(TEmail&) override {}
  void RetrieveMessages(const std::vector<int>&) override {}
  void DeleteMessages(const std::vector<int>&) override {}
  void DeleteMessage(int, int32_t) override {}
};

// Records the warnings and errors the program shows and answers the timed confirmations from a
// queue (3 when it is empty).
class TFakeDialogs : public TSilentDialogs {
 public:
  void ShowWarning(const std::string& text) override { Warnings.push_back(text); }
  void ShowError(const std::string& text) override { Errors.push_back(text); }
  int ConfirmTimed(const std::string& text) override {
    Questions.push_back(text);
    if (Answers.empty()) return caUnanswered;
    const int answer = Answers.front();
    Answers.pop_front();
    return answer;
  }

  std::vector<std::string> Warnings;
  std::vector<std::string> Errors;
  std::vector<std::string> Questions;
  std::deque<int> Answers;
};

// A main window that a front end with a display opens; without one it counts the attempts.
class TFakeMainWindow : public TNoMainWindow {
 public:
  [[nodiscard]] bool Available() const override { return WithDisplay; }
  void Open(bool) override {
    ++Opened;
    Visible = WithDisplay;
  }
  [[nodiscard]] bool IsVisible() const override { return Visible; }

  bool WithDisplay = false;
  bool Visible = false;
  int Opened = 0;
};

class TFakeProgress : public TNoCheckProgress {
 public:
  void FinishCheck(TAccountList& accounts) override { CheckErrors = accounts.Errors; }

  std::vector<std::string> CheckErrors;
};

// The address-book wizard ends with `Result`; the new-account wizard then makes an account.
class TFakeWizards : public TNoWizards {
 public:
  TWizardResult RunAddressBookWizard(TFilterList&) override { return Result; }
  TWizardResult RunNewAccountWizard(std::unique_ptr<TAccount>& account) override {
    account = std::make_unique<TFakeAccount>();
    account->Description = "Made by the wizard";
    account->Password = ScramblePassword("pw");
    return TWizardResult::Ok;
  }

  TWizardResult Result = TWizardResult::Unavailable;
};

struct TFakeUi {
  TFakeDialogs Dialogs;
  TMemoryTrayIcon Tray;
  TFakeMainWindow MainWindow;
  TFakeProgress Progress;
  TFakeWizards Wizards;
};

class AppWindowTest : public ::testing::Test {
 protected:
  AppWindowTest() {
    InstallUi(true);
    RegisterAccountKind(akPOP3, [] { return std::make_unique<TFakeAccount>(); });
    fakeServer = &server;
    Fresh();
  }

  ~AppWindowTest() override {
    app.reset();
    ProgramLog().SetEnabled(false);
    fakeServer = nullptr;
    RegisterAccountKind(akPOP3, {});
    InstallUserInterface({});
    TEventLoop::Install(nullptr);
  }

  // The fake parts as the front end, one with windows (a desktop) or one without.
  void InstallUi(bool windows) {
    InstallUserInterface({.Dialogs = &ui.Dialogs,
                          .Tray = &ui.Tray,
                          .MainWindow = &ui.MainWindow,
                          .Progress = &ui.Progress,
                          .Wizards = &ui.Wizards,
                          .HasWindows = windows});
  }

  // A new program folder, event loop, server and user, for one more run of the program.
  void Fresh() {
    app.reset();
    ProgramLog().SetEnabled(false);
    folder = std::make_unique<test::TTempDir>();
    home = folder->Path();
    TProgramFolders::SetProgramFolder(home);
    loop = std::make_unique<TVirtualTimeLoop>(clock);
    TEventLoop::Install(loop.get());
    server = TFakeServer();
    ui = TFakeUi();
  }

  // Leaves the settings, a subject filter and the accounts of an earlier run in the program
  // folder, with logging on.
  void Prepare(const std::vector<std::string>& accounts,
               const std::function<void(TSettings&)>& edit = {}, bool passwords = true) {
    TRegistryStore store(home + "Registry.db");
    TRegistryStore::Install(&store);
    TSettings settings(&store);
    InstallSettings(&settings);
    settings.Logging = true;
    if (edit) edit(settings);
    settings.SaveAll();
    InstallDataFiles();
    TFilterList filters(home + "Filters.dat");
    filters.Load(true);
    auto filter = std::make_unique<TSubjectFilter>();
    filter->SetText1("viagra");
    filter->Action = acMark;
    filter->Origin = orUser;
    filterId = filters.Add(std::move(filter))->ID;
    filters.Save();
    {
      TAccountList list;
      list.Init(&filters);
      for (const std::string& description : accounts) {
        auto account = std::make_unique<TFakeAccount>();
        account->Description = description;
        account->Email = "me@example.com";
        if (passwords) account->Password = ScramblePassword("pw");
        list.Add(std::move(account));
      }
    }
    InstallSettings(nullptr);
    TRegistryStore::Install(nullptr);
  }

  // Creates the program with these switches and lets its start-up run.
  void Start(const std::vector<std::string>& args) {
    app = std::make_unique<TAppWindow>(args, *loop);
    ASSERT_TRUE(app->FormCreate());
    Advance(1000);
  }

  void Advance(int64_t ms) {
    clock.Advance(ms);
    loop->Pump(0);
  }

  // Lets the socket of the single-instance rule deliver what was sent.
  void Deliver() {
    for (int i = 0; i < 10; ++i) loop->Pump(0);
  }

  [[nodiscard]] static bool Logged(const std::string& text) {
    for (const std::string& line : ProgramLog().Lines())
      if (line.find("[" + text + "]") != std::string::npos) return true;
    return false;
  }

  [[nodiscard]] const TFilter* StoredFilter() {
    stored = std::make_unique<TFilterList>(home + "Filters.dat");
    stored->Load(true);
    return stored->FindByID(fkSubject, filterId);
  }

  // The hit and the action change that a check's classification and a bounce make.
  void ChangeFilterInEachCheck() {
    server.OnLogin = [this](TAccount& account) {
      TFilter* filter = account.FilterList->FindByID(fkSubject, filterId);
      ++filter->Hits;
      filter->Action = acKill;
      account.FilterList->Modified = true;
    };
  }

  test::TManualClock clock;
  TFakeUi ui;
  TFakeServer server;
  std::unique_ptr<test::TTempDir> folder;
  std::string home;
  std::unique_ptr<TVirtualTimeLoop> loop;
  int32_t filterId = 0;
  std::unique_ptr<TFilterList> stored;
  std::unique_ptr<TAppWindow> app;
};

struct TSwitchCase {
  std::vector<std::string> args;
  bool open, once, suspended, about, settings;
  int32_t appDelay;
  int32_t code;
};

TEST(SwitchesTest, SwitchesAreUpperCasedComparedWholeAndChooseTheForwardedCode) {
  const TSwitchCase cases[] = {
      {{}, false, false, false, false, false, 0, icOpen},
      {{"/open"}, true, false, false, false, false, 0, icOpen},
      {{"Open", "/OPENED", "once"}, true, false, false, false, false, 0, icOpen},
      {{"/Once"}, false, true, false, false, false, 0, icOpen},
      {{"/APPDELAY", "15"}, false, false, false, false, false, 15, icOpen},
      {{"/ONCE", "/APPDELAY"}, false, true, false, false, false, 0, icOpen},
      {{"/APPDELAY", "5s"}, false, false, false, false, false, 0, icOpen},
      {{"/APPDELAY", "/ONCE"}, false, true, false, false, false, 0, icOpen},
      {{"/appdelay", "99999999999"}, false, false, false, false, false, 0, icOpen},
      {{"settings", "about"}, false, false, false, true, true, 0, icAbout},
      {{"SETTINGS", "RESUME"}, false, false, false, false, true, 0, icResume},
      {{"RESUME", "/suspended"}, false, false, true, false, false, 0, icSuspend},
      {{"ABOUT", "SUSPEND", "SETTINGS"}, false, false, true, true, true, 0, icSuspend},
      {{"SETTINGS"}, false, false, false, false, true, 0, icSettings},
  };
  for (const TSwitchCase& c : cases) {
    SCOPED_TRACE(testing::PrintToString(c.args));
    const TSwitches s = ParseSwitches(c.args);
    EXPECT_EQ(s.OpenOnStart, c.open);
    EXPECT_EQ(s.CheckOnce, c.once);
    EXPECT_EQ(s.StartSuspended, c.suspended);
    EXPECT_EQ(s.ShowAboutOnStart, c.about);
    EXPECT_EQ(s.ShowSettingsOnStart, c.settings);
    EXPECT_EQ(s.AppDelay, c.appDelay);
    EXPECT_EQ(InvokeCodeOf(s), c.code);
  }
}

TEST(SwitchesTest, TheUnixSpellingsAreTheSwitchesAndAnythingElseIsKeptAsUnknown) {
  const TSwitches unix = ParseSwitches({"--once", "--OPEN", "--suspended"});
  EXPECT_TRUE(unix.CheckOnce);
  EXPECT_TRUE(unix.OpenOnStart);
  EXPECT_TRUE(unix.StartSuspended);
  EXPECT_TRUE(unix.Unknown.empty());
  using Args = std::vector<std::string>;
  const struct {
    Args args;
    Args unknown;
  } cases[] = {
      {{"-once", "/ONEC", "--onc", "once", "/ONCE"}, {"-once", "/ONEC", "--onc", "once"}},
      {{"--hme", "/tmp"}, {"--hme", "/tmp"}},
      {{"/APPDELAY", "5", "7"}, {"7"}},
      {{"/APPDELAY", "soon"}, {"soon"}},
      {{"/APPDELAY", "/ONCE", "5"}, {"5"}},
      {{"ABOUT", "SETTINGS", "RESUME", "SUSPEND", "OPEN", "/OPEN", "/SUSPENDED"}, {}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::PrintToString(c.args));
    EXPECT_EQ(ParseSwitches(c.args).Unknown, c.unknown);
  }
}

TEST_F(AppWindowTest, TheStartUpAndEachCheckWaitForTheWindowsOnlyWhenThereAreAny) {
  for (const bool windows : {true, false}) {
    SCOPED_TRACE(windows ? "with windows" : "without");
    Fresh();
    InstallUi(windows);
    Prepare({"A", "B"});
    const int64_t created = clock.MonotonicMs();
    app = std::make_unique<TAppWindow>(std::vector<std::string>{"/ONCE"}, *loop);
    ASSERT_TRUE(app->FormCreate());
    loop->Pump(0);
    EXPECT_EQ(app->Initialized, !windows);
    if (windows) Advance(1000);
    ASSERT_TRUE(loop->Terminated());
    EXPECT_EQ(server.Logins, (std::vector<std::string>{"A", "B"}));
    // With windows: the second before the start-up, and half a second after each check.
    EXPECT_EQ(clock.MonotonicMs() - created, windows ? 2000 : 0);
  }
}

TEST_F(AppWindowTest, OnceMeetingARunningProgramIsPassedOnWithWindowsAndRefusedWithout) {
  Prepare({"A"});
  Start({});
  ASSERT_TRUE(app->Initialized);
  for (const bool windows : {true, false}) {
    SCOPED_TRACE(windows ? "with windows" : "without");
    InstallUi(windows);
    {
      TAppWindow second({"/ONCE"}, *loop);
      EXPECT_FALSE(second.FormCreate());
      EXPECT_EQ(second.Forwarded(), windows);
      EXPECT_EQ(second.ExitStatus(), windows ? esOk : esFailed);
    }
    Deliver();
  }
  EXPECT_EQ(ui.MainWindow.Opened, 1) << "only the code passed on opens the main window";
  EXPECT_EQ(ui.Dialogs.Errors,
            std::vector<std::string>{
                "Halvora Tarnwell is running already on this program folder, so nothing was "
                "checked: it checks the accounts on their schedules. End it to check them from "
                "here."});
  EXPECT_EQ(server.Logins, std::vector<std::string>{"A"}) << "the start-up's check alone";
}

TEST_F(AppWindowTest, StartUpRunsASecondAfterCreationAndLogsItsSteps) {
  Prepare({"A"});
  app = std::make_unique<TAppWindow>(std::vector<std::string>{"/APPDELAY", "4"}, *loop);
  ASSERT_TRUE(app->FormCreate());
  Advance(999);
  EXPECT_FALSE(app->Initialized);
  Advance(1);
  ASSERT_TRUE(app->Initialized);
  EXPECT_EQ(app->AppDelay, 4);
  EXPECT_EQ(server.Logins, std::vector<std::string>{"A"});
  const std::vector<std::string> steps = {
      "Init: Configuration",   "Init: Folders",      "Init: Objects",   "Init:   Filters",
      "Init:   EmailAccounts", "Init:   Templates",  "Init:   Printer", "Init:   Dialogs",
      "Init: Passwords",       "Init: Old messages", "Init: Updates",   "Init: Tray icon",
      "Init: On startup",      "Starting check: A",  "Init: Done"};
  size_t next = 0;
  for (const std::string& line : ProgramLog().Lines())
    if (next < steps.size() && line.find("[" + steps[next] + "]") != std::string::npos) ++next;
  EXPECT_EQ(next, steps.size()) << "missing or out of order: "
                                << steps[std::min(next, steps.size() - 1)];
  EXPECT_TRUE(DirectoryExists(TProgramFolders::UpdatesFolder()));
  EXPECT_EQ(ui.Tray.Images(), std::vector<TTrayImage>{TTrayImage::Normal});
  EXPECT_EQ(ui.Tray.Tip(), app->Accounts()->Summary());
  EXPECT_FALSE(loop->Terminated());
}

TEST_F(AppWindowTest, ADamagedFilterFileIsToldInTheLogTheErrorFileAndAWarningAndStartUpGoesOn) {
  Prepare({"A"});
  const std::string file = home + "Filters.dat";
  const std::string data = test::ReadFileText(file);
  test::WriteFileText(file, data.substr(0, data.size() - 50));
  Start({});
  ASSERT_EQ(ui.Dialogs.Warnings.size(), 1u);
  const std::string& warning = ui.Dialogs.Warnings.front();
  EXPECT_NE(warning.find("\"" + file + "\" was damaged: it ends inside a filter"),
            std::string::npos)
      << warning;
  EXPECT_TRUE(Logged(warning));
  EXPECT_NE(test::ReadFileText(home + "Tarnwell.err").find(warning), std::string::npos);
  EXPECT_EQ(test::ReadFileText(file + ".damaged"), data.substr(0, data.size() - 50));
  EXPECT_NE(StoredFilter(), nullptr) << "the user's filter was lost";
  EXPECT_EQ(server.Logins, std::vector<std::string>{"A"});
  EXPECT_FALSE(loop->Terminated());
}

TEST_F(AppWindowTest, StartUpFailuresShowTheirTextAndEndTheProgram) {
  struct TCase {
    const char* name;
    std::function<void()> spoil;
    // Empty when only the frame of the text is known.
    std::string expected;
  } cases[] = {
      {"damaged store", [this] { test::WriteFileText(home + "Registry.db", "not a store"); }, ""},
      {"empty store", [this] { test::WriteFileText(home + "Registry.db", ""); }, ""},
      {"account folder blocked",
       [this] {
         Prepare({"A"});
         std::filesystem::remove_all(home + "Accounts");
         test::WriteFileText(home + "Accounts", "a file where the folders belong");
       },
       "An error occurred during startup: Could not create file folders for the account. (ID: "
       "1)\r\rThe program will terminate."},
  };
  for (TCase& c : cases) {
    SCOPED_TRACE(c.name);
    Fresh();
    c.spoil();
    const std::string store = test::ReadFileText(home + "Registry.db");
    Start({});
    ASSERT_EQ(ui.Dialogs.Errors.size(), 1u);
    const std::string& text = ui.Dialogs.Errors.front();
    if (c.expected.empty()) {
      EXPECT_EQ(text.rfind("An error occurred during startup: ", 0), 0u) << text;
      EXPECT_NE(text.find("Registry.db"), std::string::npos) << text;
      EXPECT_TRUE(text.ends_with("\r\rThe program will terminate.")) << text;
      EXPECT_EQ(test::ReadFileText(home + "Registry.db"), store);
    } else {
      EXPECT_EQ(text, c.expected);
    }
    EXPECT_TRUE(loop->Terminated());
    EXPECT_EQ(app->ExitStatus(), esFailed);
    EXPECT_TRUE(app->Initialized);
  }
}

TEST_F(AppWindowTest, PurgeAnsweredNoWaitsForTheNextDayAndAnUnansweredOneComesBack) {
  Prepare({"A"}, [](TSettings& s) {
    s.AutoPurgePrompt = true;
    s.AutoPurgeDays = 30;
  });
  const std::string killed = TProgramFolders::AccountsFolder() + "0000000001/Killed/0000000001";
  test::WriteFileText(killed + ".hdr", "Subject: old spam\r\n");
  test::WriteFileText(killed + ".txt", "text");
  for (const char* ext : {".hdr", ".txt"}) {
    const std::time_t t = LocalDateTimeToUnix(clock.Now() - 40);
    const timespec times[2] = {{t, 0}, {t, 0}};
    ASSERT_EQ(::utimensat(AT_FDCWD, (killed + ext).c_str(), times, 0), 0);
  }
  const std::string question =
      "Tarnwell has found 1 old messages in the Killed mail folders.\r\rDo you want to delete "
      "these messages?";
  ui.Dialogs.Answers = {caNo, caUnanswered, caYes};
  Start({});
  EXPECT_EQ(ui.Dialogs.Questions, std::vector<std::string>{question});
  Advance(7000);
  Advance(7000);
  EXPECT_EQ(ui.Dialogs.Questions.size(), 1u) << "No holds until the next day";
  clock.SetNow(clock.Now() + 1);
  Advance(7000);
  EXPECT_EQ(ui.Dialogs.Questions.size(), 2u);
  EXPECT_TRUE(test::FileExists(killed + ".txt"));
  Advance(7000);
  EXPECT_EQ(ui.Dialogs.Questions.size(), 3u)
      << "an unanswered question comes back at the next tick";
  EXPECT_FALSE(test::FileExists(killed + ".txt"));
  EXPECT_EQ(app->Accounts()->Items(0)->Killed.Count(), 0);
  Advance(7000);
  EXPECT_EQ(ui.Dialogs.Questions.size(), 3u);
}

TEST_F(AppWindowTest, ASignalDuringACheckStopsItFreesTheGateAndEndsTheProgram) {
  Prepare({"A", "B"});
  Start({});
  server.Logins.clear();
  app->miCheckAllClick();
  EXPECT_EQ(server.Logins, (std::vector<std::string>{"A", "B"}));

  server.Logins.clear();
  server.OnLogin = [](TAccount& account) {
    if (account.Description == "A") std::raise(SIGTERM);
  };
  bool gateFreeAfterA = false;
  app->Accounts()->OnAccountChecked = [&](TAccount&) { gateFreeAfterA = app->Gate().IsFree(); };
  app->miCheckAllClick();
  EXPECT_EQ(server.Logins, std::vector<std::string>{"A"});
  EXPECT_TRUE(gateFreeAfterA);
  EXPECT_TRUE(app->Closing);
  EXPECT_TRUE(loop->Terminated());
  EXPECT_TRUE(Logged("CloseQuery OK"));
  app->FormDestroy();
  EXPECT_TRUE(Logged("FormDestroy OK"));
}

TEST_F(AppWindowTest, AnExceptionThatReachesTheLoopIsShownReportedAndTheProgramGoesOn) {
  Prepare({"A"});
  Start({});
  loop->Post([] { throw TError("The disk is full."); });
  app->PumpOnce(0);
  EXPECT_EQ(ui.Dialogs.Errors, std::vector<std::string>{"The disk is full."});
  const std::string report = test::ReadFileText(home + "Tarnwell.err");
  EXPECT_NE(report.find("[Level 0]"), std::string::npos) << report;
  EXPECT_NE(report.find("The disk is full."), std::string::npos) << report;
  EXPECT_FALSE(loop->Terminated());
  server.Logins.clear();
  app->miCheckAllClick();
  EXPECT_EQ(server.Logins, std::vector<std::string>{"A"});
}

// A filter-update manager whose update is due at once and brings one file.
class TDueUpdates : public TNoFilterUpdates {
 public:
  explicit TDueUpdates(std::vector<std::string>& journal) : journal_(journal) {}
  void ApplyDownloaded(TFilterList&) override { journal_.push_back("apply"); }
  [[nodiscard]] int32_t HighestNumber() const override { return highest_; }
  [[nodiscard]] int32_t Downloaded() const override { return 1; }
  [[nodiscard]] bool IsDue(TDateTime lastCheck) const override { return lastCheck == 0; }
  [[nodiscard]] bool Connected() const override { return true; }
  bool Download() override {
    journal_.push_back(IsBusy() ? "download while busy" : "download");
    highest_ = 120;
    return true;
  }

 private:
  std::vector<std::string>& journal_;
  int32_t highest_ = 100;
};

TEST_F(AppWindowTest, TheAutomaticFilterUpdateRunsBetweenChecksWhenItIsDue) {
  Prepare({"A"});
  std::vector<std::string> journal;
  app = std::make_unique<TAppWindow>(std::vector<std::string>{}, *loop);
  app->SetUpdatesFactory([&] { return std::make_unique<TDueUpdates>(journal); });
  ASSERT_TRUE(app->FormCreate());
  Advance(1000);
  EXPECT_EQ(journal, std::vector<std::string>{"apply"});
  EXPECT_EQ(Settings().LastUpdate, 100);
  Advance(7000);
  EXPECT_EQ(journal, (std::vector<std::string>{"apply", "download while busy", "apply"}));
  EXPECT_EQ(Settings().LastUpdate, 120);
  EXPECT_EQ(Settings().LastUpdateCheck, static_cast<TDateTime>(DateOf(clock.Now())));
  EXPECT_FALSE(app->Updates()->IsBusy());
  EXPECT_EQ(ui.Tray.Images(), std::vector<TTrayImage>{TTrayImage::Normal});
  Advance(7000);
  EXPECT_EQ(journal.size(), 3u) << "not due again the same day";
  TRegistryStore store(home + "Registry.db");
  TSettings stored(&store);
  stored.Load();
  EXPECT_EQ(stored.LastUpdate, 120);
}

TEST_F(AppWindowTest, CodesOfAnotherInstanceCountOnlyOnceTheStartUpHasEnded) {
  Prepare({"A"});
  app = std::make_unique<TAppWindow>(std::vector<std::string>{}, *loop);
  ASSERT_TRUE(app->FormCreate());
  TSingleInstance second(InstanceLockPath(home), InstanceSocketPath(home), *loop);
  ASSERT_FALSE(second.Acquire({}));
  ASSERT_TRUE(second.Send(icSuspend));
  Deliver();
  server.OnLogin = [&](TAccount&) {
    ASSERT_TRUE(second.Send(icSuspend));
    Deliver();
  };
  Advance(1000);
  ASSERT_TRUE(app->Initialized);
  EXPECT_FALSE(app->Accounts()->Suspended);
  EXPECT_FALSE(Logged("InvokeTarnwell 1"));

  server.OnLogin = nullptr;
  ASSERT_TRUE(second.Send(icSuspend));
  Deliver();
  EXPECT_TRUE(app->Accounts()->Suspended);
  EXPECT_TRUE(Logged("Checking suspended"));
  EXPECT_EQ(ui.Tray.Top(), TTrayImage::Suspend);
  EXPECT_EQ(ui.Tray.Tip(), "Halvora Tarnwell is suspended.");
  ASSERT_TRUE(second.Send(icResume));
  Deliver();
  EXPECT_FALSE(app->Accounts()->Suspended);
  EXPECT_EQ(ui.Tray.Images(), std::vector<TTrayImage>{TTrayImage::Normal});
}

TEST_F(AppWindowTest, OnceChecksEveryAccountEndsWithTheBatchResultAndKeepsTheFilterChanges) {
  struct TCase {
    std::set<std::string> refusing;
    int status;
  } cases[] = {{{}, esOk}, {{"B"}, esFailed}};
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.status);
    Fresh();
    Prepare({"A", "B"});
    server.Refusing = c.refusing;
    ChangeFilterInEachCheck();
    Start({"/ONCE"});
    EXPECT_EQ(server.Logins, (std::vector<std::string>{"A", "B"}));
    EXPECT_TRUE(loop->Terminated());
    EXPECT_EQ(app->ExitStatus(), c.status);
    EXPECT_EQ(ui.Progress.CheckErrors.empty(), c.status == esOk);
    const TFilter* filter = StoredFilter();
    ASSERT_NE(filter, nullptr);
    EXPECT_EQ(filter->Hits, 2);
    EXPECT_EQ(filter->Action, acKill);
  }
}

TEST_F(AppWindowTest, ClosingSavesTheFilterListThatAScheduledCheckChanged) {
  Prepare({"A"});
  ChangeFilterInEachCheck();
  Start({});
  ASSERT_EQ(server.Logins.size(), 1u);
  EXPECT_EQ(StoredFilter()->Hits, 0);
  app->miExitClick();
  EXPECT_TRUE(loop->Terminated());
  app->FormDestroy();
  EXPECT_EQ(StoredFilter()->Hits, 1);
  EXPECT_EQ(StoredFilter()->Action, acKill);
}

TEST_F(AppWindowTest, OnceWithAMissingPasswordWarnsAndNeedsTheMainWindow) {
  const std::string warning =
      "There is no password entered for some of your email accounts.\r\rPlease go to Accounts, "
      "Properties and enter the correct password \rfor these accounts:\r\rB\rA\r";
  for (const bool withMainWindow : {false, true}) {
    SCOPED_TRACE(withMainWindow);
    Fresh();
    Prepare({"A", "B"}, {}, false);
    ui.MainWindow.WithDisplay = withMainWindow;
    Start({"/ONCE"});
    EXPECT_EQ(ui.Dialogs.Warnings, std::vector<std::string>{warning});
    if (withMainWindow) {
      EXPECT_TRUE(app->OpenOnStart);
      EXPECT_FALSE(app->CheckOnce);
      EXPECT_EQ(ui.MainWindow.Opened, 1);
      EXPECT_FALSE(loop->Terminated());
      EXPECT_EQ(server.Logins, (std::vector<std::string>{"A", "B"})) << "the start-up check";
    } else {
      EXPECT_TRUE(loop->Terminated());
      EXPECT_EQ(app->ExitStatus(), esNeedsSetup);
      EXPECT_TRUE(server.Logins.empty());
    }
  }
}

TEST_F(AppWindowTest, AFirstStartWithoutWizardsEndsAndWithThemAddsTheAccount) {
  Prepare({});
  Start({"/ONCE"});
  EXPECT_TRUE(loop->Terminated());
  EXPECT_EQ(app->ExitStatus(), esNeedsSetup);

  Fresh();
  Prepare({});
  ui.Wizards.Result = TWizardResult::Ok;
  ui.MainWindow.WithDisplay = true;
  Start({"/ONCE"});
  ASSERT_EQ(app->Accounts()->Count(), 1);
  EXPECT_EQ(app->Accounts()->Items(0)->Description, "Made by the wizard");
  EXPECT_EQ(ui.MainWindow.Opened, 1);
  EXPECT_FALSE(loop->Terminated()) << "/ONCE does not end a first start";
  ui.Tray.MarkUnregistered();
  Advance(7000);
  EXPECT_TRUE(ui.Tray.Registered()) << "the check timer ticked";
}

}  // namespace
}  // namespace tarnwell
