#include <gtest/gtest.h>

#include "platform/EventLoop.h"
#include "tests/platform/EventLoopContract.h"
#include "tests/support/TestSupport.h"
#include "tests/support/VirtualTimeLoop.h"

namespace tarnwell {
namespace {

INSTANTIATE_TYPED_TEST_SUITE_P(Poll, EventLoopContract, TPollEventLoop);

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
