#include <gtest/gtest.h>
#include <unistd.h>

#include "platform/EventLoop.h"
#include "tests/support/TestSupport.h"
#include "tests/support/VirtualTimeLoop.h"

namespace tarnwell {
namespace {

class EventLoopTest : public ::testing::Test {
 protected:
  void SetUp() override { TEventLoop::Install(&loop); }
  void TearDown() override { TEventLoop::Install(nullptr); }
  TPollEventLoop loop;
};

TEST_F(EventLoopTest, TimerFiresAfterItsIntervalAndRepeatsUntilDisabled) {
  test::TManualClock clock;
  TTimer timer;
  int fired = 0;
  timer.SetOnTimer([&] { ++fired; });
  timer.SetInterval(7000);
  timer.SetEnabled(true);
  clock.Advance(6999);
  loop.Pump(0);
  EXPECT_EQ(fired, 0);
  clock.Advance(1);
  loop.Pump(0);
  EXPECT_EQ(fired, 1);
  clock.Advance(7000);
  loop.Pump(0);
  EXPECT_EQ(fired, 2);
  timer.SetEnabled(false);
  clock.Advance(70000);
  loop.Pump(0);
  EXPECT_EQ(fired, 2);
}

TEST_F(EventLoopTest, ReEnablingRestartsTheInterval) {
  test::TManualClock clock;
  TTimer timer;
  int fired = 0;
  timer.SetOnTimer([&] { ++fired; });
  timer.SetInterval(1000);
  timer.SetEnabled(true);
  clock.Advance(900);
  timer.SetEnabled(false);
  timer.SetEnabled(true);
  clock.Advance(900);
  loop.Pump(0);
  EXPECT_EQ(fired, 0);
  clock.Advance(100);
  loop.Pump(0);
  EXPECT_EQ(fired, 1);
}

TEST_F(EventLoopTest, TimerHandlerDoesNotNestInsideItselfAndMayDestroyItsTimer) {
  test::TManualClock clock;
  auto timer = std::make_unique<TTimer>();
  int depth = 0, maxDepth = 0, fired = 0;
  timer->SetInterval(10);
  timer->SetOnTimer([&] {
    ++fired;
    maxDepth = std::max(maxDepth, ++depth);
    clock.Advance(10);
    loop.Pump(0);  // a handler that waits lets other events run, but not itself again
    --depth;
    if (fired == 2) timer.reset();
  });
  timer->SetEnabled(true);
  for (int i = 0; i < 5; ++i) {
    clock.Advance(10);
    loop.Pump(0);
  }
  EXPECT_EQ(maxDepth, 1);
  EXPECT_EQ(fired, 2);
}

TEST_F(EventLoopTest, PostedCallsRunAtTheNextPumpAndPostsFromThemWait) {
  std::vector<int> order;
  loop.Post([&] {
    order.push_back(1);
    loop.Post([&] { order.push_back(3); });
  });
  loop.Post([&] { order.push_back(2); });
  EXPECT_TRUE(order.empty());
  loop.Pump(0);
  EXPECT_EQ(order, (std::vector<int>{1, 2}));
  loop.Pump(0);
  EXPECT_EQ(order, (std::vector<int>{1, 2, 3}));
}

TEST_F(EventLoopTest, PumpRunsTheHandlerOfAReadyDescriptor) {
  int fds[2];
  ASSERT_EQ(pipe(fds), 0);
  std::string got;
  TFdWatch watch(fds[0], TEventLoop::evRead, [&](unsigned events) {
    ASSERT_TRUE(events & TEventLoop::evRead);
    char buf[16];
    const ssize_t n = read(fds[0], buf, sizeof buf);
    if (n > 0) got.append(buf, n);
  });
  ASSERT_EQ(write(fds[1], "abc", 3), 3);
  loop.Pump(5000);
  EXPECT_EQ(got, "abc");
  close(fds[0]);
  close(fds[1]);
}

TEST_F(EventLoopTest, WatchRemovedByAnEarlierHandlerOfTheSameRoundIsNotCalled) {
  int a[2], b[2];
  ASSERT_EQ(pipe(a), 0);
  ASSERT_EQ(pipe(b), 0);
  std::unique_ptr<TFdWatch> second;
  int calls = 0;
  TFdWatch first(a[0], TEventLoop::evRead, [&](unsigned) {
    ++calls;
    second.reset();
  });
  second = std::make_unique<TFdWatch>(b[0], TEventLoop::evRead, [&](unsigned) { ++calls; });
  ASSERT_EQ(write(a[1], "x", 1), 1);
  ASSERT_EQ(write(b[1], "x", 1), 1);
  loop.Pump(0);
  EXPECT_EQ(calls, 1);
  for (int fd : {a[0], a[1], b[0], b[1]}) close(fd);
}

TEST_F(EventLoopTest, WaitMsKeepsTimersRunning) {
  TTimer timer;
  int fired = 0;
  timer.SetInterval(5);
  timer.SetOnTimer([&] { ++fired; });
  timer.SetEnabled(true);
  WaitMs(60);
  EXPECT_GE(fired, 2);
}

// The loop's rounds show how often the wait woke; the deadline is met exactly, not overslept.
TEST(WaitUntilTest, SleepsUntilAnEventMakesItTrueOrTheDeadlineComes) {
  struct TCase {
    int64_t eventAfterMs;
    int64_t deadlineAfterMs;
    bool done;
  };
  for (const TCase& c : {TCase{5000, 10500, true}, TCase{20000, 10500, false}}) {
    SCOPED_TRACE(c.eventAfterMs);
    test::TManualClock clock;
    test::TVirtualTimeLoop loop(clock);
    TEventLoop::Install(&loop);
    {
      TTimer timer;
      bool happened = false;
      timer.SetInterval(static_cast<uint32_t>(c.eventAfterMs));
      timer.SetOnTimer([&] { happened = true; });
      timer.SetEnabled(true);
      const int64_t start = clock.MonotonicMs();
      EXPECT_EQ(WaitUntil([&] { return happened; }, start + c.deadlineAfterMs), c.done);
      const int64_t waited = clock.MonotonicMs() - start;
      if (c.done) {
        EXPECT_GE(waited, c.eventAfterMs);
        EXPECT_LT(waited, c.deadlineAfterMs);
      } else {
        EXPECT_EQ(waited, c.deadlineAfterMs);
      }
      EXPECT_LE(loop.Rounds(), waited / 1000 + 1);
    }
    TEventLoop::Install(nullptr);
  }
}

}  // namespace
}  // namespace tarnwell
