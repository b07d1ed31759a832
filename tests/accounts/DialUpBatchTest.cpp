#include <gtest/gtest.h>

#include <algorithm>

#include "accounts/AccountList.h"
#include "shell/LogFile.h"
#include "tests/accounts/AccountTestSupport.h"

namespace tarnwell {
namespace {

using test::TScriptedAccount;

// Accounts are given as (description, connection); connection "" is a direct account.
struct TAccountRow {
  const char* description;
  const char* connection;
  bool forceDial = true;
  bool stayConnected = false;
};

class DialUpBatchTest : public test::AccountFixture {
 protected:
  DialUpBatchTest() {
    TScriptedAccount::SharedJournal = &journal;
    TDialUp::Install(&dialUp);
    ProgramLog().SetEnabled(false);
    list.Init(filters.get());
  }
  ~DialUpBatchTest() override {
    TDialUp::Install(nullptr);
    TScriptedAccount::SharedJournal = nullptr;
  }

  void AddAccounts(const std::vector<TAccountRow>& rows) {
    for (const TAccountRow& row : rows) {
      auto account = std::make_unique<TScriptedAccount>();
      account->Description = row.description;
      account->Email = "me@example.com";
      account->DialUp = *row.connection != '\0';
      account->Connection = row.connection;
      account->RasUserName = std::string("user-") + row.description;
      account->ForceDial = row.forceDial;
      account->StayConnected = row.stayConnected;
      account->CheckTypes = account->DialUp ? 6 : 5;
      list.Add(std::move(account));
    }
    journal.clear();
  }
  // The journal without the accounts' inner steps: logins, dials and hang-ups.
  [[nodiscard]] std::vector<std::string> Batch() const {
    std::vector<std::string> steps;
    for (const std::string& line : journal)
      if (line.ends_with(": login") || line.starts_with("dial") || line.starts_with("hang up"))
        steps.push_back(line);
    return steps;
  }
  TScriptedAccount& At(int i) { return static_cast<TScriptedAccount&>(*list.Items(i)); }

  std::vector<std::string> journal;
  test::TFakeDialUp dialUp{journal};
  TAccountList list;
};

using TSteps = std::vector<std::string>;

TEST_F(DialUpBatchTest, DirectAccountsFirstThenOneCallPerPhoneBookEntry) {
  AddAccounts({{"D1", "Work"}, {"A", ""}, {"D2", "Work"}, {"B", ""}});
  list.CheckSelected({}, TriggerBit(ctOnDemand));
  EXPECT_EQ(Batch(), (TSteps{"A: login", "B: login", "dial Work as user-D1", "D1: login",
                             "D2: login", "hang up Work"}));
}

TEST_F(DialUpBatchTest, TwoEntriesAreTwoCallsWithAHangUpBetween) {
  AddAccounts({{"D1", "Work"}, {"H1", "Home"}, {"D2", "work"}});
  list.CheckSelected({}, TriggerBit(ctOnDemand));
  // Entry names match exactly when grouping, so "work" is a call of its own.
  EXPECT_EQ(Batch(), (TSteps{"dial Work as user-D1", "D1: login", "hang up Work",
                             "dial Home as user-H1", "H1: login", "hang up Home",
                             "dial Work as user-D2", "D2: login", "hang up Work"}));
}

struct TStayCase {
  const char* name;
  std::vector<TAccountRow> accounts;
  TSteps steps;
};
void PrintTo(const TStayCase& c, std::ostream* os) { *os << c.name; }

class StayConnectedTest : public DialUpBatchTest,
                          public ::testing::WithParamInterface<TStayCase> {};

TEST_P(StayConnectedTest, TheCallIsKeptOnlyForAStayingAccountInTheLastGroup) {
  AddAccounts(GetParam().accounts);
  list.CheckSelected({}, TriggerBit(ctOnDemand));
  EXPECT_EQ(Batch(), GetParam().steps);
}

INSTANTIATE_TEST_SUITE_P(
    Groups, StayConnectedTest,
    ::testing::Values(TStayCase{"LastGroupStays",
                                {{"D1", "Work", true, false}, {"D2", "Work", true, true}},
                                {"dial Work as user-D1", "D1: login", "D2: login"}},
                      TStayCase{"FirstGroupStaysButTheNextEntryIsDialed",
                                {{"D1", "Work", true, true}, {"H1", "Home", true, false}},
                                {"dial Work as user-D1", "D1: login", "hang up Work",
                                 "dial Home as user-H1", "H1: login", "hang up Home"}},
                      TStayCase{"NobodyStays",
                                {{"D1", "Work", true, false}},
                                {"dial Work as user-D1", "D1: login", "hang up Work"}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(DialUpBatchTest, WithoutForceDialAnAccountIsCheckedOnlyOverAConnectionThatIsUp) {
  AddAccounts({{"D1", "Work", false}, {"A", ""}});
  list.CheckSelected({}, TriggerBit(ctOnDemand));
  EXPECT_EQ(Batch(), TSteps{"A: login"});

  journal.clear();
  dialUp.Up = {"Home"};
  list.CheckSelected({}, TriggerBit(ctOnDemand));
  EXPECT_EQ(Batch(), (TSteps{"A: login", "D1: login"}));
  EXPECT_EQ(list.ActiveConnection, "Home");
}

TEST_F(DialUpBatchTest, AFailedDialStillChecksItsGroupAndEachReportsItsError) {
  AddAccounts({{"D1", "Work"}, {"D2", "Work"}});
  dialUp.DialFails = true;
  At(0).FailLogin = true;
  At(1).FailLogin = true;
  list.CheckSelected({}, TriggerBit(ctOnDemand));
  EXPECT_EQ(Batch(), (TSteps{"dial Work as user-D1", "D1: login", "D2: login"}));
  EXPECT_EQ(
      std::count(list.Errors.begin(), list.Errors.end(), "Error: The server refused the login."),
      2);
}

TEST_F(DialUpBatchTest, StopDuringADialUpBatchEndsItAndHangsUpUnlessTheGroupStays) {
  for (const bool stay : {false, true}) {
    SCOPED_TRACE(stay ? "staying" : "not staying");
    while (list.Count() > 0) list.Remove(0);
    AddAccounts({{"D1", "Work", true, stay}, {"D2", "Work"}, {"H1", "Home"}});
    At(0).Mailbox = {Mail("u1", "bob@example.net", "Hi")};
    At(0).OnFetch = [this](int32_t) { At(0).SetCancelled(true); };
    dialUp.Up.clear();
    dialUp.Dialed.clear();
    list.CheckSelected({}, TriggerBit(ctOnDemand));
    TSteps expected{"dial Work as user-D1", "D1: login"};
    if (!stay) expected.push_back("hang up Work");
    EXPECT_EQ(Batch(), expected);
  }
}

TEST_F(DialUpBatchTest, AConnectionTriggersItsOccasionOnceAndAgainForANewConnection) {
  AddAccounts({{"D1", "Work", false}});
  At(0).IntervalType = itManual;
  At(0).CheckTypes = 2;  // on connection only
  list.ScheduledCheck();
  EXPECT_TRUE(Batch().empty());
  dialUp.Up = {"Work"};
  list.ScheduledCheck();
  list.ScheduledCheck();
  EXPECT_EQ(Batch(), TSteps{"D1: login"});
  dialUp.Up = {"Home"};
  list.ScheduledCheck();
  EXPECT_EQ(Batch(), (TSteps{"D1: login", "D1: login"}));
  dialUp.Up.clear();
  list.ScheduledCheck();
  dialUp.Up = {"Home"};
  list.ScheduledCheck();
  EXPECT_EQ(Batch().size(), 3u);
}

TEST_F(DialUpBatchTest, AccountDialsForItsOwnWorkAndHangsUpWhatItDialed) {
  AddAccounts({{"D1", "home", true, true}});
  TAccount& account = *list.Items(0);
  bool dialed = false;
  EXPECT_TRUE(account.DialIfNeeded(dialed));
  EXPECT_TRUE(dialed);
  EXPECT_EQ(journal, TSteps{"dial Home as user-D1"});
  EXPECT_TRUE(account.DialIfNeeded(dialed));
  EXPECT_FALSE(dialed);
  account.HangUpIfConnected();
  EXPECT_EQ(journal.back(), "hang up Home");

  account.Connection = "Office";
  EXPECT_FALSE(account.DialIfNeeded(dialed));
  EXPECT_FALSE(dialed);
  EXPECT_EQ(journal.back(), "dial unknown entry");
  account.DialUp = false;
  EXPECT_TRUE(account.DialIfNeeded(dialed));
}

TEST_F(DialUpBatchTest, WithoutDialUpSupportNoConnectionIsUpAndDialingFails) {
  TDialUp::Install(nullptr);
  AddAccounts({{"D1", "Work"}, {"A", ""}});
  EXPECT_FALSE(list.ConnectionActive());
  EXPECT_FALSE(list.DialEntry("Work", "u", "p"));
  list.CheckSelected({}, TriggerBit(ctOnDemand));
  // The dial fails; the group is checked all the same.
  EXPECT_EQ(Batch(), (TSteps{"A: login", "D1: login"}));
  bool dialed = true;
  EXPECT_FALSE(list.Items(0)->DialIfNeeded(dialed));
  EXPECT_FALSE(dialed);
}

}  // namespace
}  // namespace tarnwell
