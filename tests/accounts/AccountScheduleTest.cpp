#include <gtest/gtest.h>

#include "platform/DateTime.h"
#include "tests/accounts/AccountTestSupport.h"

namespace tarnwell {
namespace {

using ScheduleTest = test::AccountFixture;

TDateTime At(int hour, int minute, int second = 0) {
  return EncodeDateTime({2024, 3, 14, hour, minute, second, 0});
}

struct TNextCheckCase {
  const char* name;
  uint8_t checkTypes;
  uint8_t intervalType;
  TDateTime now;
  TDateTime expected;  // -1: unchanged
};
void PrintTo(const TNextCheckCase& c, std::ostream* os) { *os << c.name; }

class NextCheckTest : public test::AccountFixture,
                      public ::testing::WithParamInterface<TNextCheckCase> {};

TEST_P(NextCheckTest, NextCheckFollowsTheIntervalType) {
  const TNextCheckCase& c = GetParam();
  auto account = NewAccount(1);
  account->CheckTypes = c.checkTypes;
  account->IntervalType = c.intervalType;
  account->MinutesInterval = 15.0 / 1440.0;
  account->HoursInterval = 3.0 / 24.0;
  account->DailyTime = 12.0 / 24.0;
  account->NextCheck = 12345;
  clock.SetNow(c.now);
  account->DetermineNextCheck();
  EXPECT_DOUBLE_EQ(account->NextCheck, c.expected < 0 ? 12345 : c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Intervals, NextCheckTest,
    ::testing::Values(TNextCheckCase{"Minutes", 5, itMinutes, At(9, 0), At(9, 0) + 15.0 / 1440.0},
                      TNextCheckCase{"Hours", 5, itHours, At(9, 0), At(9, 0) + 3.0 / 24.0},
                      TNextCheckCase{"DailyBefore", 5, itDaily, At(11, 59, 59), At(12, 0)},
                      TNextCheckCase{"DailyExactly", 5, itDaily, At(12, 0), At(12, 0)},
                      TNextCheckCase{"DailyAfter", 5, itDaily, At(12, 0, 1), At(12, 0) + 1},
                      TNextCheckCase{"Manual", 5, itManual, At(9, 0), -1},
                      TNextCheckCase{"NoScheduleBit", 3, itMinutes, At(9, 0), 0}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(ScheduleTest, AtExactlyTheDailyTimeTheAccountIsDueAtOnce) {
  auto account = NewAccount(1);
  account->IntervalType = itDaily;
  account->DailyTime = 12.0 / 24.0;
  clock.SetNow(At(12, 0));
  account->DetermineNextCheck();
  EXPECT_TRUE(account->IsDue(ctSchedule));
}

struct TDueCase {
  const char* name;
  bool active;
  uint8_t checkTypes;
  uint8_t intervalType;
  bool pastNextCheck;
  bool startup, connection, schedule, onDemand;
};
void PrintTo(const TDueCase& c, std::ostream* os) { *os << c.name; }

class DueTest : public test::AccountFixture, public ::testing::WithParamInterface<TDueCase> {};

TEST_P(DueTest, AnAccountIsDueByItsBitsItsScheduleOrOnDemand) {
  const TDueCase& c = GetParam();
  auto account = NewAccount(1);
  account->Active = c.active;
  account->CheckTypes = c.checkTypes;
  account->IntervalType = c.intervalType;
  account->NextCheck = clock.Now() + (c.pastNextCheck ? -0.001 : 0.001);
  EXPECT_EQ(account->IsDue(ctStartup), c.startup);
  EXPECT_EQ(account->IsDue(ctConnection), c.connection);
  EXPECT_EQ(account->IsDue(ctSchedule), c.schedule);
  EXPECT_EQ(account->IsDue(ctOnDemand), c.onDemand);
}

INSTANTIATE_TEST_SUITE_P(
    Occasions, DueTest,
    ::testing::Values(
        TDueCase{"ScheduleDue", true, 5, itMinutes, true, true, false, true, true},
        TDueCase{"ScheduleNotYet", true, 5, itMinutes, false, true, false, false, true},
        TDueCase{"ManualNeverBySchedule", true, 3, itManual, true, true, true, false, true},
        TDueCase{"ManualWithoutBits", true, 0, itManual, true, false, false, false, true},
        TDueCase{"IntervalWithoutScheduleBit", true, 1, itMinutes, true, true, false, false, true},
        TDueCase{"Inactive", false, 7, itMinutes, true, false, false, false, false}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(ScheduleTest, QueuedComplaintsMarkTheMessagesTheyReport) {
  auto account = NewAccount(1);
  account->Mailbox = {Mail("s1", "eve@example.net", "viagra"),
                      Mail("s2", "eve@example.net", "viagra")};
  account->Check();
  ASSERT_EQ(account->Killed.Count(), 2);
  TEmail* first = account->Killed[0];
  TEmail* second = account->Killed[1];
  const auto queue = [&](const TEmail& reported, uint8_t flags, const char* subject) {
    TEmail* message = account->Outbox.Add(std::make_unique<TEmail>());
    message->ID = reported.ID;
    message->Flags = flags;
    message->Subject = subject;
    message->To = {"abuse@example.net"};
  };
  queue(*first, TEmail::sfComplained, "complaint");
  queue(*second, TEmail::sfErrorMessageSent, "error");
  account->FailSendFrom = 2;
  account->SendQueuedComplaints(account->Killed);
  EXPECT_EQ(account->Outbox.Count(), 0);
  EXPECT_EQ(first->Flags & TEmail::sfComplained, TEmail::sfComplained);
  EXPECT_EQ(second->Flags, 0);
  const std::string header = test::ReadFileText(first->BasePath() + ".hdr");
  EXPECT_NE(header.find("X-Tarnwell-Complained: Y"), std::string::npos);
  EXPECT_NE(header.find("X-Tarnwell-UID: s"), std::string::npos);
  EXPECT_FALSE(first->Headers.HasHeader("X-Tarnwell-Complained"));
  EXPECT_EQ(test::ReadFileText(second->BasePath() + ".hdr").find("X-Tarnwell-Remove"),
            std::string::npos);
}

}  // namespace
}  // namespace tarnwell
