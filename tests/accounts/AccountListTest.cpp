#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <csignal>
#include <filesystem>
#include <functional>

#include "accounts/AccountList.h"
#include "platform/DateTime.h"
#include "platform/Files.h"
#include "platform/Registry.h"
#include "shell/LogFile.h"
#include "shell/ProgramFolders.h"
#include "tests/accounts/AccountTestSupport.h"

namespace tarnwell {
namespace {

using test::TScriptedAccount;

class AccountListTest : public test::AccountFixture {
 protected:
  AccountListTest() {
    TScriptedAccount::SharedJournal = &journal;
    list.OnCheckStart = [this](TAccountList&) { ++starts; };
    list.OnCheckFinished = [this](TAccountList&) { ++finishes; };
    list.OnBatchDone = [this](TAccountList&) { ++batches; };
  }
  ~AccountListTest() override { TScriptedAccount::SharedJournal = nullptr; }

  // Writes an account's key to the store as an earlier run left it.
  void StoreAccount(int32_t id, const std::string& description, bool active = true) {
    TScriptedAccount account;
    account.ID = id;
    account.Description = description;
    account.Email = description + "@example.com";
    account.Active = active;
    TRegistryTransaction transaction(*store);
    TRegistry registry(*store);
    account.Save(registry);
    transaction.Commit();
  }
  TScriptedAccount& At(int i) { return static_cast<TScriptedAccount&>(*list.Items(i)); }
  [[nodiscard]] std::vector<std::string> StoredKeys() const {
    TRegistry registry(*store);
    if (!registry.OpenKeyReadOnly(TAccount::kAccountsKey)) return {};
    return registry.GetKeyNames();
  }
  [[nodiscard]] int32_t StoredNextID() const {
    TRegistry registry(*store);
    EXPECT_TRUE(registry.OpenKeyReadOnly(TAccount::kAccountsKey));
    return registry.ReadInteger("NextAcctID");
  }
  [[nodiscard]] int Logins() const {
    return static_cast<int>(std::count_if(journal.begin(), journal.end(), [](const auto& line) {
      return line.ends_with(": login");
    }));
  }
  std::unique_ptr<TScriptedAccount> Fresh(const std::string& description) {
    auto account = std::make_unique<TScriptedAccount>();
    account->Description = description;
    account->Email = "me@example.com";
    account->DialUp = false;
    return account;
  }
  static void Age(const std::string& path, TDateTime when) {
    const std::time_t t = LocalDateTimeToUnix(when);
    const timespec times[2] = {{t, 0}, {t, 0}};
    ASSERT_EQ(::utimensat(AT_FDCWD, path.c_str(), times, 0), 0);
  }
  static std::string Folder(int32_t id) {
    char name[16];
    std::snprintf(name, sizeof name, "%010d", id);
    return TProgramFolders::AccountsFolder() + name;
  }

  TAccountList list;
  std::vector<std::string> journal;
  int starts = 0;
  int finishes = 0;
  int batches = 0;
};

TEST_F(AccountListTest, NoAccountsInitWritesTheNextIdAndEveryBatchEndsAtOnce) {
  list.Init(filters.get());
  EXPECT_EQ(list.Count(), 0);
  EXPECT_EQ(StoredNextID(), 1);
  list.CheckSelected({}, TriggerBit(ctOnDemand));
  list.ScheduledCheck();
  EXPECT_EQ(batches, 2);
  EXPECT_EQ(starts, 0);
  EXPECT_EQ(finishes, 0);
  EXPECT_FALSE(list.Busy);
}

TEST_F(AccountListTest, SelectedAccountsThatAreAllInactiveAreNotChecked) {
  StoreAccount(1, "a", false);
  StoreAccount(2, "b", false);
  list.Init(filters.get());
  ASSERT_EQ(list.Count(), 2);
  TAccountSet all;
  all.set();
  list.CheckSelected(all, TriggerBit(ctOnDemand));
  EXPECT_EQ(Logins(), 0);
  EXPECT_EQ(starts, 0);
  EXPECT_EQ(finishes, 0);
  EXPECT_EQ(batches, 1);
}

TEST_F(AccountListTest, MissingNextAcctIdBecomesOneAndIsWrittenBack) {
  StoreAccount(5, "five");
  list.Init(filters.get());
  EXPECT_EQ(list.NextAcctID, 1);
  EXPECT_EQ(StoredNextID(), 1);
  EXPECT_TRUE(list.FoldersExist(5));
  EXPECT_EQ(At(0).ID, 5);
}

TEST_F(AccountListTest, NewAccountSkipsACompleteFolderSetAndWipesAndReusesAPartialOne) {
  list.Init(filters.get());
  ForceDirectories(Folder(1) + "/Inbox");
  ForceDirectories(Folder(1) + "/Killed");
  test::WriteFileText(Folder(1) + "/Killed/0000000001.hdr", "Subject: keep me\r\n");
  ForceDirectories(Folder(2) + "/Inbox");
  test::WriteFileText(Folder(2) + "/Inbox/stray.hdr", "x");
  list.Add(Fresh("new"));
  EXPECT_EQ(At(0).ID, 2);
  EXPECT_EQ(list.NextAcctID, 3);
  EXPECT_EQ(StoredNextID(), 3);
  EXPECT_TRUE(test::FileExists(Folder(1) + "/Killed/0000000001.hdr"));
  EXPECT_TRUE(list.FoldersExist(2));
  EXPECT_FALSE(test::FileExists(Folder(2) + "/Inbox/stray.hdr"));
  EXPECT_EQ(StoredKeys(), std::vector<std::string>{"0000000002"});
}

TEST_F(AccountListTest, NewAccountNeverTakesTheIdOfAListedAccount) {
  StoreAccount(1, "old");
  list.Init(filters.get());
  ASSERT_EQ(list.NextAcctID, 1);
  // The listed account's folders vanished; its ID is still its own.
  ASSERT_TRUE(list.RemoveFolders(1));
  list.Add(Fresh("new"));
  EXPECT_EQ(At(1).ID, 2);
  EXPECT_EQ(StoredKeys(), (std::vector<std::string>{"0000000001", "0000000002"}));
}

TEST_F(AccountListTest, InitCompletesAnAccountsFolderSetWithoutLosingItsKilledMail) {
  StoreAccount(3, "three");
  ForceDirectories(Folder(3) + "/Killed");
  test::WriteFileText(Folder(3) + "/Killed/0000000001.hdr", "Subject: old spam\r\n");
  test::WriteFileText(Folder(3) + "/Killed/0000000001.txt", "text");
  list.Init(filters.get());
  EXPECT_TRUE(list.FoldersExist(3));
  ASSERT_EQ(At(0).Killed.Count(), 1);
  EXPECT_EQ(At(0).Killed[0]->Subject, "old spam");
  EXPECT_TRUE(test::FileExists(Folder(3) + "/Killed/0000000001.txt"));
}

TEST_F(AccountListTest, OnlyTheFirst256AccountsTakePartInChecks) {
  ProgramLog().SetEnabled(false);
  {
    TRegistryTransaction transaction(*store);
    for (int32_t id = 1; id <= 257; ++id) {
      TScriptedAccount account;
      account.ID = id;
      account.Description = "a" + std::to_string(id);
      TRegistry registry(*store);
      account.Save(registry);
    }
    transaction.Commit();
  }
  list.Init(filters.get());
  ASSERT_EQ(list.Count(), 257);
  EXPECT_EQ(list.ActiveSet().count(), 256u);
  list.CheckSelected({}, TriggerBit(ctOnDemand));
  EXPECT_EQ(Logins(), 256);
  EXPECT_TRUE(At(255).Journal.size() > 0);
  EXPECT_TRUE(At(256).Journal.empty());
}

TEST_F(AccountListTest, TheAccountsKeyHoldsTheNextIdAndOneSubKeyPerAccountInListOrder) {
  list.Init(filters.get());
  list.Add(Fresh("first"));
  list.Add(Fresh("second"));
  TRegistry registry(*store);
  ASSERT_TRUE(registry.OpenKeyReadOnly("\\Software\\Halvora\\Tarnwell\\Accounts"));
  EXPECT_EQ(registry.GetValueNames(), std::vector<std::string>{"NextAcctID"});
  EXPECT_EQ(registry.GetDataType("NextAcctID"), TRegDataType::Integer);
  EXPECT_EQ(registry.ReadInteger("NextAcctID"), 3);
  EXPECT_EQ(registry.GetKeyNames(), (std::vector<std::string>{"0000000001", "0000000002"}));

  TAccountList reloaded;
  reloaded.Init(filters.get());
  ASSERT_EQ(reloaded.Count(), 2);
  EXPECT_EQ(reloaded.Items(1)->Description, "second");
  EXPECT_EQ(reloaded.UserNames, (std::vector<std::string>{"me", "me"}));
  EXPECT_EQ(reloaded.Domains, (std::vector<std::string>{"example.com", "example.com"}));
}

TEST_F(AccountListTest, ASaveThatFailsPartWayKeepsEveryStoredAccount) {
  for (const char* name : {"a", "b", "c"})
    StoreAccount(static_cast<int32_t>(name[0] - 'a' + 1), name);
  list.Init(filters.get());
  At(0).Description = "a renamed";
  At(2).FailSave = true;
  try {
    list.SaveAll();
    FAIL() << "SaveAll succeeded";
  } catch (const TError& error) {
    EXPECT_STREQ(error.what(), "Could not save account settings.\rThe store is full.");
  }
  At(2).FailSave = false;
  TRegistryStore reopened(dir / "Registry.db");
  TRegistryStore::Install(&reopened);
  TAccountList check;
  check.LoadAll();
  TRegistryStore::Install(store.get());
  ASSERT_EQ(check.Count(), 3);
  EXPECT_EQ(check.Items(0)->Description, "a");
  EXPECT_EQ(check.Items(2)->Description, "c");
}

TEST_F(AccountListTest, SavesThatFindTheDiskFullSaySo) {
  list.Init(filters.get());
  list.Add(Fresh("a"));
  const std::string full = "Could not save account settings.\rThe settings store \"" +
                           dir / "Registry.db" +
                           "\" could not be written: database or disk is full.";
  struct TCase {
    const char* what;
    std::function<void()> save;
  } cases[] = {
      {"a new account", [this] { list.Add(Fresh(std::string(20000, 'n'))); }},
      {"an account switched off",
       [this] {
         At(0).Active = false;
         At(0).Description = std::string(20000, 'a');
         At(0).SaveSettings();
       }},
  };
  store->LimitPages(1);
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.what);
    try {
      c.save();
      ADD_FAILURE() << "the save succeeded";
    } catch (const TError& error) {
      EXPECT_EQ(std::string(error.what()), full);
    }
  }
}

TEST_F(AccountListTest, KillingTheProgramWhileItSavesNeverLosesAnAccount) {
  for (int32_t id = 1; id <= 5; ++id) StoreAccount(id, "acct" + std::to_string(id));
  list.Init(filters.get());
  const std::string file = dir / "Registry.db";
  for (int round = 1; round <= 12; ++round) {
    int pipeFds[2];
    ASSERT_EQ(::pipe(pipeFds), 0);
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      // The child saves over and over and tells the parent after each account's save.
      ::close(pipeFds[0]);
      try {
        ProgramLog().SetEnabled(false);
        TRegistryStore own(file);
        TRegistryStore::Install(&own);
        TAccountList saver;
        saver.LoadAll();
        for (int i = 0; i < saver.Count(); ++i)
          static_cast<TScriptedAccount&>(*saver.Items(i)).OnSaved = [&] {
            if (::write(pipeFds[1], "s", 1) != 1) ::_exit(3);
          };
        for (;;) saver.SaveAll();
      } catch (...) {
      }
      ::_exit(2);
    }
    ::close(pipeFds[1]);
    // Kill after a varying number of account saves: inside SaveAll at each account in turn.
    const int saves = round * 3 + round % 5;
    char byte;
    int seen = 0;
    pollfd saved{pipeFds[0], POLLIN, 0};
    while (seen < saves && ::poll(&saved, 1, test::kWaitMs) == 1 &&
           ::read(pipeFds[0], &byte, 1) == 1)
      ++seen;
    ::kill(child, SIGKILL);
    int status = 0;
    ::waitpid(child, &status, 0);
    ::close(pipeFds[0]);
    ASSERT_EQ(seen, saves) << "the child stopped saving";
    ASSERT_TRUE(WIFSIGNALED(status));

    TRegistryStore reopened(file);
    TRegistryStore::Install(&reopened);
    TAccountList check;
    EXPECT_NO_THROW(check.LoadAll()) << "round " << round;
    TRegistryStore::Install(store.get());
    ASSERT_EQ(check.Count(), 5) << "round " << round;
    for (int i = 0; i < 5; ++i)
      EXPECT_EQ(check.Items(i)->Description, "acct" + std::to_string(i + 1));
  }
}

TEST_F(AccountListTest, KeysOfUnknownKindsAreKeptAndTheirIdsStayTaken) {
  StoreAccount(1, "pop");
  {
    TRegistry registry(*store);
    ASSERT_TRUE(registry.OpenKey("\\Software\\Halvora\\Tarnwell\\Accounts\\0000000002", true));
    registry.WriteInteger("Type", akHotmail);
    registry.WriteString("Description", "web");
  }
  list.Init(filters.get());
  ASSERT_EQ(list.Count(), 1);
  std::vector<std::string> keys = StoredKeys();
  std::sort(keys.begin(), keys.end());
  EXPECT_EQ(keys, (std::vector<std::string>{"0000000001", "0000000002"}));
  list.Add(Fresh("another"));
  EXPECT_EQ(At(1).ID, 3);
  TRegistry registry(*store);
  ASSERT_TRUE(registry.OpenKeyReadOnly("\\Software\\Halvora\\Tarnwell\\Accounts\\0000000002"));
  EXPECT_EQ(registry.ReadString("Description"), "web");
}

TEST_F(AccountListTest, UpdateAndRemove) {
  list.Init(filters.get());
  list.Add(Fresh("one"));
  list.Add(Fresh("two"));
  At(0).Email = "other@example.org";
  list.Update(0);
  EXPECT_EQ(list.UserNames[0], "other");
  EXPECT_EQ(list.Domains[0], "example.org");
  {
    TRegistry registry(*store);
    ASSERT_TRUE(registry.OpenKeyReadOnly("\\Software\\Halvora\\Tarnwell\\Accounts\\0000000001"));
    EXPECT_EQ(registry.ReadString("Email"), "other@example.org");
  }
  list.Remove(0);
  EXPECT_EQ(list.Count(), 1);
  EXPECT_FALSE(std::filesystem::exists(Folder(1)));
  EXPECT_EQ(StoredKeys(), std::vector<std::string>{"0000000002"});
  EXPECT_EQ(list.UserNames, std::vector<std::string>{"me"});
}

TEST_F(AccountListTest, BatchRelaysNotificationsCollectsErrorsAndStopsAfterACancelledAccount) {
  list.Init(filters.get());
  for (const char* name : {"A", "B", "C"}) list.Add(Fresh(name));
  At(0).FailLogin = true;
  At(1).Mailbox = {Mail("u1", "bob@example.net", "Hi"), Mail("u2", "bob@example.net", "Two")};
  At(1).OnFetch = [this](int32_t n) {
    if (n == 2) At(1).SetCancelled(true);
  };
  std::vector<std::string> seen;
  list.OnLoginIncoming = [&](TAccount& a) { seen.push_back("login " + a.Description); };
  list.OnError = [&](const std::exception& e) { seen.push_back(std::string("error ") + e.what()); };
  list.OnAccountChecked = [&](TAccount& a) { seen.push_back("checked " + a.Description); };
  list.CheckSelected({}, TriggerBit(ctOnDemand));
  EXPECT_EQ(seen, (std::vector<std::string>{"login A", "error The server refused the login.",
                                            "checked A", "login B", "checked B"}));
  EXPECT_EQ(list.Errors, (std::vector<std::string>{"Account: \"A\"",
                                                   "Error: The server refused the login.", ""}));
  EXPECT_TRUE(At(2).Journal.empty());
  EXPECT_EQ(starts, 1);
  EXPECT_EQ(finishes, 1);
  EXPECT_EQ(list.Current, nullptr);
}

TEST_F(AccountListTest, TotalsOfABatchAndTheirReset) {
  list.Init(filters.get());
  list.Add(Fresh("A"));
  list.Add(Fresh("B"));
  At(0).Mailbox = {Mail("u1", "bob@example.net", "Hi"), Mail("s1", "eve@example.net", "viagra")};
  At(1).Mailbox = {Mail("p1", "fred@example.net", "lottery"),
                   Mail("s2", "eve@example.net", "viagra now")};
  list.CheckSelected({}, TriggerBit(ctOnDemand));
  EXPECT_EQ(list.ChangeTotal, 4);
  EXPECT_EQ(list.SpamTotal, 2);
  EXPECT_EQ(list.InboxTotal(), 2);
  EXPECT_EQ(list.PossibleTotal(), 1);
  EXPECT_EQ(list.NewTotal(), 4);
  EXPECT_EQ(list.NewPossibleTotal(), 1);
  EXPECT_EQ(list.NewSpamTotal(), 2);
  EXPECT_EQ(list.Summary(), " Halvora Tarnwell - 2 messages, one possible spam, 2 spams ");
  list.ResetCounters();
  EXPECT_EQ(list.SpamTotal, 0);
  EXPECT_EQ(list.NewTotal(), 0);
  EXPECT_EQ(At(0).SpamSinceReset, 0);
  EXPECT_EQ(list.Summary(), " Halvora Tarnwell - 2 messages, one possible spam ");
  At(1).Active = false;
  EXPECT_EQ(list.Summary(), " Halvora Tarnwell - One message ");
}

TEST_F(AccountListTest, ScheduleDecidesWhenAnAccountIsDue) {
  list.Init(filters.get());
  list.Add(Fresh("A"));
  list.Update(0);  // the next check is one interval (10 minutes) from now
  list.ScheduledCheck();
  EXPECT_EQ(Logins(), 0);
  clock.Advance(10 * 60 * 1000);
  list.Suspended = true;
  list.ScheduledCheck();
  EXPECT_EQ(Logins(), 0);
  list.Suspended = false;
  list.ScheduledCheck();
  EXPECT_EQ(Logins(), 1);
  list.ScheduledCheck();
  EXPECT_EQ(Logins(), 1);
}

TEST_F(AccountListTest, AManualAccountIsCheckedOnDemandAndByItsBitsButNeverBySchedule) {
  list.Init(filters.get());
  list.Add(Fresh("M"));
  At(0).IntervalType = itManual;
  At(0).CheckTypes = TriggerBit(ctStartup);
  list.Update(0);
  clock.Advance(24 * 3600 * 1000);
  list.ScheduledCheck();
  EXPECT_EQ(Logins(), 0);
  list.CheckSelected({}, TriggerBit(ctConnection));
  EXPECT_EQ(Logins(), 0);
  list.CheckSelected({}, TriggerBit(ctStartup));
  EXPECT_EQ(Logins(), 1);
  list.CheckSelected({}, TriggerBit(ctOnDemand));
  EXPECT_EQ(Logins(), 2);
}

TEST_F(AccountListTest, FolderTraversalIsLoggedAtStart) {
  StoreAccount(1, "one");
  ForceDirectories(Folder(1) + "/Killed");
  ForceDirectories(Folder(1) + "/Inbox");
  for (const char* name : {"/Killed/0000000001.hdr", "/Killed/0000000001.txt"})
    test::WriteFileText(Folder(1) + name, "x");
  Age(Folder(1) + "/Killed/0000000001.hdr", EncodeDateTime({2024, 3, 1, 10, 0, 0, 0}));
  Age(Folder(1) + "/Killed/0000000001.txt", EncodeDateTime({2024, 3, 2, 11, 0, 0, 0}));
  list.Init(filters.get());
  std::vector<std::string> lines;
  bool inside = false;
  for (const std::string& line : LogLines()) {
    const std::string text = line.substr(line.find('[') + 1, line.size() - line.find('[') - 2);
    if (text == "Init: Traversing account folders") inside = true;
    if (inside) lines.push_back(text);
    if (text == "Init: Done traversing account folders") inside = false;
  }
  ASSERT_GE(lines.size(), 2u);
  EXPECT_EQ(lines.front(), "Init: Traversing account folders");
  EXPECT_EQ(lines.back(), "Init: Done traversing account folders");
  const std::string killedLine =
      "    Files: 2, Oldest: " + ShortDateTimeText(EncodeDateTime({2024, 3, 1, 10, 0, 0, 0})) +
      ", Newest: " + ShortDateTimeText(EncodeDateTime({2024, 3, 2, 11, 0, 0, 0}));
  const std::string accounts = TProgramFolders::ProgramFolder() + "Accounts";
  EXPECT_NE(std::find(lines.begin(), lines.end(), "  " + accounts), lines.end());
  const auto killed = std::find(lines.begin(), lines.end(), "  " + Folder(1) + "/Killed");
  ASSERT_NE(killed, lines.end());
  EXPECT_EQ(*(killed + 1), killedLine);
  const auto inbox = std::find(lines.begin(), lines.end(), "  " + Folder(1) + "/Inbox");
  ASSERT_NE(inbox, lines.end());
  EXPECT_EQ(*(inbox + 1), "    Files: 0");
}

struct TPurgeCase {
  const char* name;
  bool prompt;
  int answer;  // 0: no confirmation installed
  int32_t result;
  bool deleted;
};
void PrintTo(const TPurgeCase& c, std::ostream* os) { *os << c.name; }

class PurgeTest : public AccountListTest, public ::testing::WithParamInterface<TPurgeCase> {};

TEST_P(PurgeTest, OldKilledMailIsPurgedAsTheConfirmationSays) {
  const TPurgeCase& c = GetParam();
  list.Init(filters.get());
  list.Add(Fresh("A"));
  At(0).Mailbox = {Mail("s1", "eve@example.net", "viagra"),
                   Mail("s2", "eve@example.net", "viagra")};
  list.CheckSelected({}, TriggerBit(ctOnDemand));
  ASSERT_EQ(At(0).Killed.Count(), 2);
  Age(At(0).Killed[0]->BasePath() + ".txt", clock.Now() - 40);
  Age(At(0).Killed[1]->BasePath() + ".txt", clock.Now() - 10);
  settings.AutoPurgeDays = 30;
  settings.AutoPurgePrompt = c.prompt;
  std::vector<std::string> asked;
  if (c.answer != 0)
    list.ConfirmPurge = [&](const std::string& text) {
      asked.push_back(text);
      return c.answer;
    };
  EXPECT_EQ(list.PurgeOld(), c.result);
  EXPECT_EQ(At(0).Killed.Count(), c.deleted ? 1 : 2);
  if (c.prompt && c.answer != 0) {
    EXPECT_EQ(asked, std::vector<std::string>{
                         "Tarnwell has found 1 old messages in the Killed mail folders.\r\rDo you "
                         "want to delete these messages?"});
  } else {
    EXPECT_TRUE(asked.empty());
  }
}

INSTANTIATE_TEST_SUITE_P(Answers, PurgeTest,
                         ::testing::Values(TPurgeCase{"NoPrompt", false, 1, 1, true},
                                           TPurgeCase{"Yes", true, 1, 1, true},
                                           TPurgeCase{"TimedOut", true, 3, 3, false},
                                           TPurgeCase{"No", true, 2, 2, false},
                                           TPurgeCase{"NobodyToAsk", true, 0, 3, false}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(AccountListTest, AKilledMessageIsOldByWholeDaysOfItsTextFile) {
  list.Init(filters.get());
  list.Add(Fresh("A"));
  TScriptedAccount& a = At(0);
  a.Mailbox = {Mail("s1", "eve@example.net", "viagra"), Mail("s2", "eve@example.net", "viagra"),
               Mail("s3", "eve@example.net", "viagra")};
  list.CheckSelected({}, TriggerBit(ctOnDemand));
  ASSERT_EQ(a.Killed.Count(), 3);
  const TDateTime today = static_cast<TDateTime>(DateOf(clock.Now()));
  Age(a.Killed[0]->BasePath() + ".txt", today - 30 + 0.99);  // 30 days by the date
  Age(a.Killed[1]->BasePath() + ".txt", today - 29 + 0.01);
  // Without a text file the header file dates the message.
  DeleteFileAt(a.Killed[2]->BasePath() + ".txt");
  Age(a.Killed[2]->BasePath() + ".hdr", today - 31);
  EXPECT_EQ(a.PurgeKilled(30, false), 2);
  EXPECT_EQ(a.PurgeKilled(29, false), 3);
  EXPECT_EQ(a.PurgeKilled(30, true), 2);
  ASSERT_EQ(a.Killed.Count(), 1);
  DeleteFileAt(a.Killed[0]->BasePath() + ".txt");
  DeleteFileAt(a.Killed[0]->BasePath() + ".hdr");
  EXPECT_THROW(a.PurgeKilled(30, false), TError);
}

TEST_F(AccountListTest, ForwardedKilledMessagesGoToTheTargetAccounts) {
  list.Init(filters.get());
  for (const char* name : {"A", "B", "C"}) list.Add(Fresh(name));
  At(0).Name = "Me";
  At(1).Email = "b@example.org";
  At(2).Email = "c@example.org";
  At(0).Mailbox = {{"s1",
                    "Received: from x\nFrom: eve@example.net\nTo: me@example.com\nSubject: "
                    "viagra\nX-Mailer: spam 1.0\nMessage-Id: <s1@x>\n\nBuy.\n"}};
  list.CheckSelected({}, TriggerBit(ctOnDemand));
  ASSERT_EQ(At(0).Killed.Count(), 1);
  std::vector<std::string> progress;
  list.OnForwarding = [&](TAccountList&, int p, int n) {
    progress.push_back(std::to_string(p) + "/" + std::to_string(n));
  };
  TAccountSet targets;
  targets.set(1);
  targets.set(2);
  list.ForwardKilled(At(0), {0}, true, "copy@example.org", targets);
  ASSERT_EQ(At(0).Forwarded.size(), 1u);
  const TEmail& sent = At(0).Forwarded[0];
  EXPECT_EQ(progress, std::vector<std::string>{"1/1"});
  EXPECT_EQ(sent.From, "\"Me\" <me@example.com>");
  EXPECT_EQ(sent.To, (std::vector<std::string>{"b@example.org", "c@example.org"}));
  EXPECT_EQ(sent.Cc, std::vector<std::string>{"copy@example.org"});
  EXPECT_EQ(sent.Subject, "viagra");
  EXPECT_EQ(
      sent.Headers.Lines(),
      (std::vector<std::string>{"Message-Id: <s1@x>", "From: eve@example.net", "To: me@example.com",
                                "Subject: viagra", "X-Tarnwell-Forwarded: Y"}));
  ASSERT_GE(sent.Body.size(), 2u);
  EXPECT_EQ(sent.Body.front(), "Received: from x");
  EXPECT_EQ(sent.Body.back(), "Buy.");
  EXPECT_NE(std::find(sent.Body.begin(), sent.Body.end(), ""), sent.Body.end());
  EXPECT_EQ(std::find(sent.Body.begin(), sent.Body.end(), "X-Tarnwell-UID: s1"), sent.Body.end());
  EXPECT_FALSE(At(0).Killed[0]->BodyLoaded);
}

}  // namespace
}  // namespace tarnwell
