#include "shell/Synchronization.h"

#include <gtest/gtest.h>

#include "platform/EventLoop.h"

namespace tarnwell {
namespace {

TEST(SynchronizationTest, NestsAndResetForcesFree) {
  TSynchronization gate;
  EXPECT_TRUE(gate.IsFree());
  gate.Enter(TSynchronization::skUserInterface);
  gate.Enter(TSynchronization::skCheck);  // nesting keeps the first kind
  EXPECT_EQ(gate.Kind(), TSynchronization::skUserInterface);
  gate.Leave();
  EXPECT_FALSE(gate.IsFree());
  gate.Leave();
  EXPECT_TRUE(gate.IsFree());
  EXPECT_EQ(gate.Kind(), 0);
  gate.Leave();
  EXPECT_EQ(gate.Count(), 0);
  gate.Enter(TSynchronization::skCheck);
  gate.Enter(TSynchronization::skCheck);
  gate.Reset();
  EXPECT_TRUE(gate.IsFree());
}

TEST(SynchronizationTest, WaitRunsEventsUntilTheHolderLeaves) {
  TPollEventLoop loop;
  TEventLoop::Install(&loop);
  TSynchronization gate;
  gate.Enter(TSynchronization::skCheck);
  // The same kind does not wait.
  gate.WaitWhileBusy(TSynchronization::skCheck);
  int steps = 0;
  std::function<void()> step = [&] {
    if (++steps == 3)
      gate.Leave();
    else
      loop.Post(step);
  };
  loop.Post(step);
  gate.WaitAndEnter(TSynchronization::skUserInterface);
  EXPECT_EQ(steps, 3);
  EXPECT_EQ(gate.Kind(), TSynchronization::skUserInterface);
  TEventLoop::Install(nullptr);
}

TEST(SynchronizationTest, WaitEndsWhenTheProgramTerminates) {
  TPollEventLoop loop;
  TEventLoop::Install(&loop);
  TSynchronization gate;
  gate.Enter(TSynchronization::skCheck);
  loop.Post([&] { loop.Terminate(); });
  gate.WaitAndEnter(TSynchronization::skUserInterface);
  EXPECT_EQ(gate.Kind(), TSynchronization::skCheck);
  EXPECT_EQ(gate.Count(), 1);
  TEventLoop::Install(nullptr);
}

}  // namespace
}  // namespace tarnwell
