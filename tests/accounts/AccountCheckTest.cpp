#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "accounts/AccountKinds.h"
#include "filtering/Filters.h"
#include "platform/Files.h"
#include "shell/ProgramFolders.h"
#include "tests/accounts/AccountTestSupport.h"

namespace tarnwell {
namespace {

using test::TServerMessage;

class AccountCheckTest : public test::AccountFixture {
 protected:
  AccountCheckTest() : account(NewAccount(1)) {
    account->OnError = [this](const std::exception& e) { errors.push_back(e.what()); };
    account->OnSendError = [this](const std::exception& e) { sendErrors.push_back(e.what()); };
  }

  [[nodiscard]] std::vector<std::string> InboxUIDs() const {
    std::vector<std::string> uids;
    for (int i = 0; i < account->Inbox.Count(); ++i) uids.push_back(account->Inbox[i]->UID);
    return uids;
  }
  [[nodiscard]] bool OnServer(const std::string& uid) const {
    return std::any_of(account->Mailbox.begin(), account->Mailbox.end(),
                       [&](const TServerMessage& m) { return m.uid == uid; });
  }
  [[nodiscard]] bool JournalHas(const std::string& call) const {
    return std::find(account->Journal.begin(), account->Journal.end(), call) !=
           account->Journal.end();
  }
  [[nodiscard]] size_t FilesIn(const std::string& folder) const {
    return ListFiles(account->FolderPath() + folder, "").size();
  }
  void EnableAllSounds() {
    for (TEventParam& event : account->Events) event.SoundEnabled = true;
  }

  std::unique_ptr<test::TScriptedAccount> account;
  std::vector<std::string> errors;
  std::vector<std::string> sendErrors;
};

TEST_F(AccountCheckTest, FirstCheckFindsEveryMessageNewAndFiresTheNewMailEvent) {
  account->Mailbox = {Mail("u1", "bob@example.net", "Lunch"),
                      Mail("u2", "carol@example.net", "Minutes"),
                      Mail("u3", "dave@example.net", "Report")};
  EnableAllSounds();
  account->Check();
  EXPECT_TRUE(errors.empty());
  EXPECT_EQ(account->NewCount, 3);
  EXPECT_EQ(account->MessageCount, 3);
  EXPECT_EQ(InboxUIDs(), (std::vector<std::string>{"u1", "u2", "u3"}));
  for (int i = 0; i < 3; ++i) EXPECT_EQ(account->Inbox[i]->Status, msChecked);
  // Header and text file of each message: text filters are on, so the texts were fetched.
  EXPECT_EQ(FilesIn("Inbox"), 6u);
  ASSERT_EQ(player.Played.size(), 1u);
  EXPECT_EQ(player.Played[0], account->Events[evNewMail].Sound);

  player.Played.clear();
  account->Check();
  EXPECT_EQ(account->NewCount, 0);
  EXPECT_EQ(account->MessageCount, 3);
  EXPECT_TRUE(player.Played.empty());
  EXPECT_EQ(std::count(account->Journal.begin(), account->Journal.end(), "top u1"), 1);
}

TEST_F(AccountCheckTest, EmptyServerEmptiesLiveMailAndRunsNoHandler) {
  account->Mailbox = {Mail("u1", "bob@example.net", "Lunch"),
                      Mail("u2", "eve@example.net", "cheap viagra")};
  account->Check();
  ASSERT_EQ(account->Inbox.Count(), 1);
  account->Mailbox.clear();
  EnableAllSounds();
  const size_t logged = LogLines().size();
  account->Check();
  EXPECT_EQ(account->Inbox.Count(), 0);
  EXPECT_EQ(account->MessageCount, 0);
  EXPECT_EQ(account->NewCount, 0);
  EXPECT_EQ(FilesIn("Inbox"), 0u);
  EXPECT_TRUE(player.Played.empty());
  const std::vector<std::string> lines = LogLines();
  EXPECT_EQ(std::count_if(lines.begin() + static_cast<std::ptrdiff_t>(logged), lines.end(),
                          [](const std::string& l) { return l.find("[Handling") != l.npos; }),
            0);
}

TEST_F(AccountCheckTest, MessageGoneFromTheServerLeavesLiveMailWithItsFiles) {
  account->Mailbox = {Mail("u1", "bob@example.net", "One"), Mail("u2", "bob@example.net", "Two"),
                      Mail("u3", "bob@example.net", "Three")};
  account->Check();
  const std::string gone = account->Inbox[1]->BasePath();
  ASSERT_TRUE(FileExists(gone + ".hdr"));
  account->Mailbox.erase(account->Mailbox.begin() + 1);
  account->Check();
  EXPECT_EQ(InboxUIDs(), (std::vector<std::string>{"u1", "u3"}));
  EXPECT_FALSE(FileExists(gone + ".hdr"));
  EXPECT_FALSE(FileExists(gone + ".txt"));
  EXPECT_EQ(account->NewCount, 0);
}

TEST_F(AccountCheckTest, ServerWithoutUidListIsReadThroughTheHeaders) {
  account->ListsUIDs = false;
  account->Mailbox = {Mail("u1", "bob@example.net", "One"), Mail("u2", "bob@example.net", "Two")};
  account->Check();
  EXPECT_EQ(InboxUIDs(), (std::vector<std::string>{"u1", "u2"}));
  EXPECT_EQ(account->NewCount, 2);
  // The record fetched to learn a UID is the one added: each message is fetched once.
  EXPECT_EQ(std::count(account->Journal.begin(), account->Journal.end(), "top u2"), 1);
}

TEST_F(AccountCheckTest, StopWhileReadingTheListEmptiesLiveMailAndSkipsSendingAndEvents) {
  account->Mailbox = {Mail("u1", "bob@example.net", "One"), Mail("u2", "bob@example.net", "Two"),
                      Mail("u3", "bob@example.net", "Three")};
  int cancels = 0;
  account->OnCancel = [&](TAccount&) { ++cancels; };
  account->OnFetch = [&](int32_t number) {
    if (number == 2) account->SetCancelled(true);
  };
  account->Outbox.Add(std::make_unique<TEmail>())->Subject = "queued";
  EnableAllSounds();
  account->Check();
  EXPECT_EQ(cancels, 1);
  EXPECT_EQ(account->Inbox.Count(), 0);
  EXPECT_EQ(FilesIn("Inbox"), 0u);
  EXPECT_FALSE(JournalHas("login outgoing"));
  EXPECT_TRUE(JournalHas("logout"));
  EXPECT_TRUE(player.Played.empty());
}

TEST_F(AccountCheckTest, KilledSpamIsInKilledMailBeforeTheServerDeletesIt) {
  account->Mailbox = {Mail("u1", "bob@example.net", "Lunch"),
                      Mail("u2", "eve@example.net", "cheap viagra", "Buy now.\n")};
  account->Check();
  ASSERT_TRUE(errors.empty());
  EXPECT_EQ(InboxUIDs(), (std::vector<std::string>{"u1"}));
  EXPECT_FALSE(OnServer("u2"));
  EXPECT_EQ(account->SpamCount, 1);
  EXPECT_EQ(account->SpamSinceReset, 1);
  ASSERT_EQ(account->Killed.Count(), 1);
  const TEmail& killed = *account->Killed[0];
  EXPECT_EQ(killed.Status, msSpam);
  EXPECT_EQ(killed.Action, acKill);
  EXPECT_EQ(killed.Reason, killFilter->Description());
  EXPECT_FALSE(killed.Headers.HasHeader("X-Tarnwell-UID"));
  const std::string header = test::ReadFileText(killed.BasePath() + ".hdr");
  EXPECT_NE(header.find("\r\nX-Tarnwell-UID: u2\r\nX-Tarnwell-Length: "), std::string::npos);
  EXPECT_NE(
      header.find("\r\nX-Tarnwell-Action: 3\r\nX-Tarnwell-Reason: " + killFilter->Description()),
      std::string::npos);
  EXPECT_EQ(test::ReadFileText(killed.BasePath() + ".txt"), "Buy now.");
  const auto at = [&](const std::string& call) {
    return std::find(account->Journal.begin(), account->Journal.end(), call) -
           account->Journal.begin();
  };
  EXPECT_LT(at("save original u2"), at("delete u2"));
}

// A check whose delete step sees the Killed folder: the copy must be on the disk by then.
class TCopyCheckingAccount : public test::TScriptedAccount {
 public:
  void DeleteMessage(int index, int32_t number) override {
    const std::string uid = Inbox[index]->UID;
    for (const std::string& name : ListFiles(FolderPath() + "Killed", ".hdr")) {
      const std::string text = test::ReadFileText(FolderPath() + "Killed/" + name);
      CopyBeforeDelete = CopyBeforeDelete || text.find("X-Tarnwell-UID: " + uid) != text.npos;
    }
    TScriptedAccount::DeleteMessage(index, number);
  }
  bool CopyBeforeDelete = false;
};

TEST_F(AccountCheckTest, ServerDeleteComesOnlyAfterTheKilledCopyIsWritten) {
  TCopyCheckingAccount checking;
  checking.ID = 2;
  checking.Email = "me@example.com";
  checking.FilterList = filters.get();
  ForceDirectories(checking.FolderPath() + "Inbox");
  ForceDirectories(checking.FolderPath() + "Killed");
  checking.SetFolders();
  checking.Mailbox = {Mail("s1", "eve@example.net", "viagra")};
  checking.Check();
  EXPECT_TRUE(checking.CopyBeforeDelete);
  EXPECT_EQ(checking.Killed.Count(), 1);
  EXPECT_TRUE(checking.Mailbox.empty());
}

TEST_F(AccountCheckTest, KilledCopyThatCannotBeWrittenLeavesTheMessageOnTheServer) {
  account->Mailbox = {Mail("s1", "eve@example.net", "viagra")};
  // Killed Mail's folder replaced by a file: nothing can be written into it.
  const std::string killed = account->FolderPath() + "Killed";
  std::filesystem::remove_all(killed);
  test::WriteFileText(killed, "not a folder");
  account->Check();
  EXPECT_TRUE(OnServer("s1"));
  EXPECT_FALSE(JournalHas("delete s1"));
  ASSERT_EQ(account->Inbox.Count(), 1);
  EXPECT_EQ(account->Inbox[0]->Status, msSpam);
  EXPECT_FALSE(account->Inbox[0]->Headers.HasHeader("X-Tarnwell-UID"));
  EXPECT_EQ(account->Killed.Count(), 0);
  ASSERT_EQ(errors.size(), 1u);
  EXPECT_NE(errors[0].find("was left on the server"), std::string::npos);

  std::filesystem::remove(killed);
  ForceDirectories(killed);
  account->Check();
  EXPECT_FALSE(OnServer("s1"));
  EXPECT_EQ(account->Killed.Count(), 1);
  EXPECT_EQ(account->SpamCount, 0);  // counted at the first check already
}

struct TFailedDeleteCase {
  const char* name;
  bool saveKills;
  bool inLiveMailAfter;
  int spamCountAtSecondCheck;
  int newCountAtSecondCheck;
};
void PrintTo(const TFailedDeleteCase& c, std::ostream* os) { *os << c.name; }

class FailedDeleteTest : public AccountCheckTest,
                         public ::testing::WithParamInterface<TFailedDeleteCase> {};

TEST_P(FailedDeleteTest, SpamWhoseServerDeleteFails) {
  const TFailedDeleteCase& c = GetParam();
  settings.SaveKills = c.saveKills;
  account->FailDelete = true;
  account->Mailbox = {Mail("s1", "eve@example.net", "viagra")};
  account->Check();
  EXPECT_EQ(account->SpamCount, 1);
  EXPECT_TRUE(OnServer("s1"));
  EXPECT_EQ(account->Killed.Count(), 0);
  EXPECT_EQ(FilesIn("Killed"), 0u);
  ASSERT_EQ(account->Inbox.Count(), c.inLiveMailAfter ? 1 : 0);
  if (c.inLiveMailAfter) {
    EXPECT_EQ(account->Inbox[0]->Status, msSpam);
  }

  account->Check();
  EXPECT_EQ(account->SpamCount, c.spamCountAtSecondCheck);
  EXPECT_EQ(account->NewCount, c.newCountAtSecondCheck);
  EXPECT_TRUE(OnServer("s1"));
}

INSTANTIATE_TEST_SUITE_P(SaveKills, FailedDeleteTest,
                         ::testing::Values(TFailedDeleteCase{"On", true, true, 0, 0},
                                           TFailedDeleteCase{"Off", false, false, 1, 1}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(AccountCheckTest, SpamWithoutSaveKillsLeavesNoKilledCopy) {
  settings.SaveKills = false;
  account->Mailbox = {Mail("s1", "eve@example.net", "viagra")};
  account->Check();
  EXPECT_FALSE(OnServer("s1"));
  EXPECT_EQ(account->Inbox.Count(), 0);
  EXPECT_EQ(account->Killed.Count(), 0);
  EXPECT_FALSE(JournalHas("save original s1"));
}

TEST_F(AccountCheckTest, StatusesAndCountsOfOneCheck) {
  account->Mailbox = {
      Mail("f1", "ann@friends.org", "Hi"), Mail("p1", "fred@example.net", "lottery winner"),
      Mail("s1", "eve@example.net", "viagra"), Mail("n1", "bob@example.net", "Hello")};
  account->Check();
  EXPECT_EQ(account->NewCount, 4);
  EXPECT_EQ(account->FriendlyCount, 1);
  EXPECT_EQ(account->PossibleCount, 1);
  EXPECT_EQ(account->SpamCount, 1);
  ASSERT_EQ(InboxUIDs(), (std::vector<std::string>{"f1", "p1", "n1"}));
  EXPECT_EQ(account->Inbox[0]->Status, msFriend);
  EXPECT_EQ(account->Inbox[0]->Reason, friendFilter->Description());
  EXPECT_EQ(account->Inbox[1]->Status, msPossibleSpam);
  EXPECT_EQ(account->Inbox[1]->Reason, markFilter->Description());
  EXPECT_EQ(account->Inbox[2]->Status, msChecked);
  EXPECT_EQ(account->InboxPossibleSpam(), 1);

  account->Check();
  EXPECT_EQ(account->NewCount, 0);
  EXPECT_EQ(account->FriendlyCount + account->PossibleCount + account->SpamCount, 0);
  EXPECT_EQ(account->Inbox[1]->Status, msPossibleSpam);
}

TEST_F(AccountCheckTest, OneSoundForSeveralEventsAndEachProgramOnce) {
  EnableAllSounds();
  account->Events[evSpam].AppEnabled = true;
  account->Events[evSpam].Application = "prog-b --spam";
  account->Events[evPossibleSpam].AppEnabled = true;
  account->Events[evPossibleSpam].Application = "PROG-B --spam";
  account->Events[evNewMail].AppEnabled = true;
  account->Events[evNewMail].UseEmailApp = true;
  settings.EmailClient = "mail-client";
  account->Mailbox = {
      Mail("f1", "ann@friends.org", "Hi"), Mail("p1", "fred@example.net", "lottery winner"),
      Mail("s1", "eve@example.net", "viagra"), Mail("n1", "bob@example.net", "Hello")};
  account->Check();
  EXPECT_EQ(player.Played, std::vector<std::string>{account->Events[evSpam].Sound});
  EXPECT_EQ(launcher.Launched, (std::vector<std::string>{"mail-client", "prog-b --spam"}));
  EXPECT_EQ(launcher.LaunchedFor, (std::vector<TAccount*>{account.get(), account.get()}));
  EXPECT_EQ(launcher.Account, nullptr);
}

struct TEventCase {
  const char* name;
  int newCount, possible, spam, friendly;
  int sound;  // the event whose sound plays; -1 none
};
void PrintTo(const TEventCase& c, std::ostream* os) { *os << c.name; }

class EventOrderTest : public AccountCheckTest, public ::testing::WithParamInterface<TEventCase> {};

TEST_P(EventOrderTest, TheFirstFiredEventInOrderSpamPossibleFriendlyNewPlays) {
  const TEventCase& c = GetParam();
  EnableAllSounds();
  account->NewCount = c.newCount;
  account->PossibleCount = c.possible;
  account->SpamCount = c.spam;
  account->FriendlyCount = c.friendly;
  account->ExecuteEvents();
  if (c.sound < 0) {
    EXPECT_TRUE(player.Played.empty());
  } else {
    EXPECT_EQ(player.Played, std::vector<std::string>{account->Events[c.sound].Sound});
  }
}

INSTANTIATE_TEST_SUITE_P(Events, EventOrderTest,
                         ::testing::Values(TEventCase{"None", 0, 0, 0, 0, -1},
                                           TEventCase{"NewMail", 2, 0, 0, 0, 0},
                                           TEventCase{"PossibleBeforeFriendAndNew", 2, 1, 0, 1, 1},
                                           TEventCase{"SpamBeforeAll", 3, 1, 1, 1, 2},
                                           TEventCase{"FriendAlone", 1, 0, 0, 1, 3},
                                           TEventCase{"FriendBeforeNew", 2, 0, 0, 1, 3},
                                           TEventCase{"PossibleAlone", 1, 1, 0, 0, 1}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(AccountCheckTest, SoundsOffPlaysNothingButStartsProgramsAfterTheDelay) {
  settings.EnableSounds = false;
  EnableAllSounds();
  account->Events[evNewMail].AppEnabled = true;
  account->Events[evNewMail].Application = "notify";
  account->NewCount = 1;
  SetAppDelay(5);
  const int64_t before = clock.MonotonicMs();
  account->ExecuteEvents();
  SetAppDelay(0);
  EXPECT_TRUE(player.Played.empty());
  EXPECT_EQ(launcher.Launched, std::vector<std::string>{"notify"});
  // The delay before the programs, then a second before each.
  EXPECT_EQ(clock.MonotonicMs() - before, 6000);
}

TEST_F(AccountCheckTest, QueuedMessagesAreSentWithTheirPlaceholdersExpanded) {
  TEmail* first = account->Outbox.Add(std::make_unique<TEmail>());
  first->Subject = "first";
  first->Body = {"Contact %EMAIL or %email, please.", "Sent %DATETIME by %Email."};
  TEmail* second = account->Outbox.Add(std::make_unique<TEmail>());
  second->Subject = "second";
  second->From = "abuse-desk <desk@example.org>";
  std::vector<std::string> positions;
  account->OnSending = [&](TEmail& m, int position, int count) {
    positions.push_back(m.Subject + " " + std::to_string(position) + "/" + std::to_string(count));
  };
  EXPECT_TRUE(account->SendComplaints(true));
  ASSERT_EQ(account->Sent.size(), 2u);
  EXPECT_EQ(account->Sent[0].From, "\"Me\" <me@example.com>");
  EXPECT_EQ(account->Sent[0].Body[0], "Contact me@example.com or %email, please.");
  EXPECT_EQ(account->Sent[0].Body[1].find("%DATETIME"), std::string::npos);
  EXPECT_NE(account->Sent[0].Body[1].find("by me@example.com."), std::string::npos);
  EXPECT_EQ(account->Sent[1].From, "abuse-desk <desk@example.org>");
  EXPECT_EQ(positions, (std::vector<std::string>{"first 1/2", "second 2/2"}));
  EXPECT_EQ(account->Outbox.Count(), 0);
  EXPECT_TRUE(JournalHas("logout outgoing"));
}

TEST_F(AccountCheckTest, FailedSendingReportsClosesTheSessionAndEmptiesTheOutbox) {
  for (const char* subject : {"a", "b", "c"})
    account->Outbox.Add(std::make_unique<TEmail>())->Subject = subject;
  account->FailSendFrom = 2;
  EXPECT_FALSE(account->SendComplaints(true));
  EXPECT_EQ(account->Sent.size(), 1u);
  EXPECT_EQ(sendErrors, std::vector<std::string>{"The server refused the message."});
  EXPECT_TRUE(JournalHas("logout outgoing"));
  EXPECT_FALSE(JournalHas("send failed c"));
  EXPECT_EQ(account->Outbox.Count(), 0);
}

TEST_F(AccountCheckTest, FailedLoginIsReportedWithoutLogoutAndTheNextCheckIsStillSet) {
  account->FailLogin = true;
  account->NextCheck = 0;
  account->Outbox.Add(std::make_unique<TEmail>());
  account->Check();
  EXPECT_EQ(errors, std::vector<std::string>{"The server refused the login."});
  EXPECT_FALSE(JournalHas("logout"));
  EXPECT_EQ(account->Outbox.Count(), 0);
  EXPECT_GT(account->NextCheck, clock.Now() - 1);
  EXPECT_EQ(account->LastCheck, 0);
}

TEST_F(AccountCheckTest, SpamKilledAfterComplainingQueuesThroughTheInstalledBuilder) {
  std::vector<uint8_t> actions;
  InstallComplaintBuilder([&](TAccount& a, TEmail& message, TFilter* filter, uint8_t action) {
    actions.push_back(action);
    EXPECT_EQ(filter, complainFilter);
    // The complaint quotes the message, so its text is loaded by then.
    EXPECT_EQ(message.Body, std::vector<std::string>{"Hello."});
    TEmail* complaint = a.Outbox.Add(std::make_unique<TEmail>());
    complaint->Subject = "About: " + message.Subject;
    complaint->To = {"abuse@example.net"};
    complaint->Flags = TEmail::sfComplained;
  });
  account->Mailbox = {Mail("c1", "eve@example.net", "please complain")};
  account->Check();
  InstallComplaintBuilder(nullptr);
  EXPECT_EQ(actions, std::vector<uint8_t>{acKillAfterComplaint});
  ASSERT_EQ(account->Sent.size(), 1u);
  EXPECT_EQ(account->Sent[0].Subject, "About: please complain");
  EXPECT_EQ(account->Killed.Count(), 1);
  EXPECT_EQ(account->Outbox.Count(), 0);

  account->Mailbox = {Mail("c2", "eve@example.net", "complain again")};
  account->Check();
  EXPECT_EQ(account->Sent.size(), 1u);
  EXPECT_EQ(std::count(account->Journal.begin(), account->Journal.end(), "login outgoing"), 1);
  EXPECT_EQ(account->Killed.Count(), 2);
}

struct TBounceCase {
  const char* name;
  bool bounceKill;
  std::string codeLine;  // the marker line in the bounce's text
  bool filterBecomesKill;
  bool deleted;
};
void PrintTo(const TBounceCase& c, std::ostream* os) { *os << c.name; }

class BounceTest : public AccountCheckTest, public ::testing::WithParamInterface<TBounceCase> {};

TEST_P(BounceTest, BounceOfOurOwnMessage) {
  const TBounceCase& c = GetParam();
  settings.BounceKill = c.bounceKill;
  std::string line = c.codeLine;
  const std::string code =
      std::to_string(int64_t{complainFilter->Kind} * 10000000 + complainFilter->ID);
  if (const size_t at = line.find("CODE"); at != line.npos) line.replace(at, 4, code);
  account->Mailbox = {
      Mail("b1", "mailer-daemon@example.net", "Undeliverable",
           "Your message could not be delivered.\n" + line + "\nSubject: complaint\n")};
  account->Check();
  EXPECT_EQ(complainFilter->Action, c.filterBecomesKill ? acKill : acKillAfterComplaint);
  EXPECT_EQ(filters->Modified, c.filterBecomesKill);
  EXPECT_EQ(OnServer("b1"), !c.deleted);
  EXPECT_EQ(account->Inbox.Count(), c.deleted ? 0 : 1);
  EXPECT_EQ(account->NewCount, c.deleted ? 0 : 1);
  EXPECT_EQ(account->SpamCount, 0);
}

INSTANTIATE_TEST_SUITE_P(
    Bounces, BounceTest,
    ::testing::Values(
        TBounceCase{"FilterSwitchedToKill", true, "X-Tarnwell-AutoReply: CODE", true, true},
        TBounceCase{"FilterGone", true, "X-Tarnwell-AutoReply: 40000099", false, true},
        TBounceCase{"NoCode", true, "X-Tarnwell-AutoReply: 0", false, true},
        TBounceCase{"BounceKillOff", false, "X-Tarnwell-AutoReply: CODE", false, false}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(AccountCheckTest, RefilterClassifiesLiveMailWithoutTheServer) {
  account->Mailbox = {Mail("u1", "bob@example.net", "Summer sale"),
                      Mail("u2", "bob@example.net", "Lunch")};
  account->Check();
  TFilter* sale = AddSubjectFilter("sale", acKill);
  const size_t calls = account->Journal.size();
  account->Refilter();
  EXPECT_EQ(account->Journal.size(), calls);
  EXPECT_EQ(account->SpamCount, 0);
  ASSERT_EQ(account->Inbox.Count(), 2);
  EXPECT_EQ(account->Inbox[0]->Status, msSpam);
  EXPECT_EQ(account->Inbox[0]->Reason, sale->Description());
  EXPECT_EQ(account->Inbox[1]->Status, msChecked);
  EXPECT_EQ(account->InboxSpam(), 1);
  EXPECT_TRUE(OnServer("u1"));

  sale->Action = acIgnore;
  account->Refilter(markFilter);
  EXPECT_EQ(account->Inbox[0]->Status, msChecked);
}

TEST_F(AccountCheckTest, TooLargeMessagesAreNotFetchedAndCountAsChecked) {
  settings.SkipSize = 100;
  account->Mailbox = {Mail("big", "eve@example.net", "viagra", std::string(500, 'x') + "\n")};
  account->Check();
  ASSERT_EQ(account->Inbox.Count(), 1);
  EXPECT_EQ(account->Inbox[0]->Status, msChecked);
  EXPECT_FALSE(JournalHas("retrieve big"));
  EXPECT_TRUE(OnServer("big"));
}

}  // namespace
}  // namespace tarnwell
