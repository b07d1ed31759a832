#pragma once

// What every TEventLoop must do, as a typed suite: a test program instantiates it for its loop
// with INSTANTIATE_TYPED_TEST_SUITE_P(Name, EventLoopContract, TLoop).

#include <arpa/inet.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "platform/Clock.h"
#include "platform/Error.h"
#include "platform/EventLoop.h"
#include "tests/support/ChildProcess.h"
#include "tests/support/TestSupport.h"

namespace tarnwell::test {

// Two connected descriptors, a pipe or a socket pair, closed with the object.
struct TFdPair {
  explicit TFdPair(bool sockets = false) {
    const int result =
        sockets ? ::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, fd) : ::pipe2(fd, O_CLOEXEC);
    if (result != 0) throw std::runtime_error("no descriptors");
  }
  ~TFdPair() {
    for (int f : fd)
      if (f >= 0) ::close(f);
  }
  TFdPair(const TFdPair&) = delete;
  TFdPair& operator=(const TFdPair&) = delete;
  void Put(const char* bytes = "x") const {
    if (::write(fd[1], bytes, std::strlen(bytes)) < 0) throw std::runtime_error("write failed");
  }
  void Take() const {
    char buffer[64];
    if (::read(fd[0], buffer, sizeof buffer) < 0) throw std::runtime_error("read failed");
  }
  void Close(int end) {
    ::close(fd[end]);
    fd[end] = -1;
  }
  int fd[2] = {-1, -1};
};

}  // namespace tarnwell::test

namespace tarnwell {

template <class TLoop>
class EventLoopContract : public ::testing::Test {
 protected:
  void SetUp() override { TEventLoop::Install(&loop_); }
  void TearDown() override { TEventLoop::Install(nullptr); }
  TLoop loop_;
};

TYPED_TEST_SUITE_P(EventLoopContract);

TYPED_TEST_P(EventLoopContract, TimerFiresAfterItsIntervalAndRepeatsUntilDisabled) {
  TEventLoop& loop = this->loop_;
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

TYPED_TEST_P(EventLoopContract, ReEnablingRestartsTheInterval) {
  TEventLoop& loop = this->loop_;
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

TYPED_TEST_P(EventLoopContract, TimerHandlerDoesNotNestInsideItselfAndMayDestroyItsTimer) {
  TEventLoop& loop = this->loop_;
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

TYPED_TEST_P(EventLoopContract, PostedCallsRunAtTheNextPumpAndPostsFromThemWait) {
  TEventLoop& loop = this->loop_;
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

  // A call that posts itself again runs once a pump instead of holding one.
  int runs = 0;
  std::function<void()> again = [&] {
    ++runs;
    loop.Post(again);
  };
  loop.Post(again);
  for (int pumps = 1; pumps <= 3; ++pumps) {
    loop.Pump(0);
    EXPECT_EQ(runs, pumps);
  }
}

TYPED_TEST_P(EventLoopContract, PumpRunsTheHandlerOfAReadyDescriptor) {
  TEventLoop& loop = this->loop_;
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

TYPED_TEST_P(EventLoopContract, WatchRemovedByAnEarlierHandlerOfTheSameRoundIsNotCalled) {
  TEventLoop& loop = this->loop_;
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

TYPED_TEST_P(EventLoopContract, AWatchMayEndItselfInItsHandler) {
  TEventLoop& loop = this->loop_;
  test::TFdPair pipe;
  int calls = 0;
  std::unique_ptr<TFdWatch> watch;
  watch = std::make_unique<TFdWatch>(pipe.fd[0], TEventLoop::evRead, [&](unsigned) {
    ++calls;
    watch.reset();
  });
  pipe.Put();  // left unread, so only the ended watch keeps the handler from running again
  for (int i = 0; i < 3; ++i) loop.Pump(0);
  EXPECT_EQ(calls, 1);
}

// A hang-up is a read (of the end of the data), a socket error an error besides what the watch
// asked for, and a descriptor closed under its watch an error alone.
TYPED_TEST_P(EventLoopContract, DescriptorStatesArriveAsReadWriteAndErrorEvents) {
  constexpr unsigned r = TEventLoop::evRead, w = TEventLoop::evWrite, e = TEventLoop::evError;
  enum class TState { PeerClosed, ConnectionRefused, ClosedWhileWatched };
  const struct {
    const char* name;
    TState state;
    unsigned interest;
    unsigned expected;
  } cases[] = {{"peer closed", TState::PeerClosed, r, r},
               {"refused, writing", TState::ConnectionRefused, w, w | e},
               {"refused, reading", TState::ConnectionRefused, r, r | e},
               {"closed while watched", TState::ClosedWhileWatched, r, e}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    test::TFdPair pipe;
    const test::TBoundPort refusing;
    int fd = pipe.fd[0];
    int socketFd = -1;
    if (c.state == TState::ConnectionRefused) {
      socketFd = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
      sockaddr_in address{};
      address.sin_family = AF_INET;
      address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
      address.sin_port = htons(static_cast<uint16_t>(refusing.Port()));
      ::connect(socketFd, reinterpret_cast<const sockaddr*>(&address), sizeof address);
      fd = socketFd;
    }
    unsigned got = 0;
    std::unique_ptr<TFdWatch> watch;
    watch = std::make_unique<TFdWatch>(fd, c.interest, [&](unsigned events) {
      got = events;
      watch.reset();
    });
    if (c.state == TState::PeerClosed) pipe.Close(1);
    if (c.state == TState::ClosedWhileWatched) pipe.Close(0);
    test::PumpUntil([&] { return got != 0; }, "the event");
    EXPECT_EQ(got, c.expected);
    if (socketFd >= 0) ::close(socketFd);
  }
}

TYPED_TEST_P(EventLoopContract, PumpZeroReturnsWithoutWaitingForWhatIsNotDue) {
  TEventLoop& loop = this->loop_;
  TTimer timer;
  int fired = 0;
  timer.SetInterval(static_cast<uint32_t>(test::kWaitMs));
  timer.SetOnTimer([&] { ++fired; });
  timer.SetEnabled(true);
  test::TFdPair pipe;
  int reads = 0;
  TFdWatch watch(pipe.fd[0], TEventLoop::evRead, [&](unsigned) { ++reads; });
  loop.Pump(0);
  EXPECT_EQ(fired, 0);
  EXPECT_EQ(reads, 0);
}

TYPED_TEST_P(EventLoopContract, TheInstalledLoopCarriesTimersWatchesAndTheWaits) {
  TEventLoop& loop = this->loop_;
  EXPECT_EQ(&TEventLoop::Current(), &loop);
  test::TManualClock clock;
  TTimer timer;
  bool fired = false;
  timer.SetInterval(10);
  timer.SetOnTimer([&] { fired = true; });
  timer.SetEnabled(true);
  test::TFdPair pipe;
  bool read = false;
  TFdWatch watch(pipe.fd[0], TEventLoop::evRead, [&](unsigned) {
    pipe.Take();
    read = true;
  });
  pipe.Put();
  clock.Advance(10);
  loop.Pump(0);
  EXPECT_TRUE(fired);
  EXPECT_TRUE(read);
  bool posted = false;
  loop.Post([&] { posted = true; });
  ProcessMessages();
  EXPECT_TRUE(posted);
  TEventLoop::Install(nullptr);
  EXPECT_NE(&TEventLoop::Current(), &loop);
  TEventLoop::Install(&loop);
}

TYPED_TEST_P(EventLoopContract, WaitMsKeepsTimersRunning) {
  TTimer timer;
  int fired = 0;
  timer.SetInterval(5);
  timer.SetOnTimer([&] { ++fired; });
  timer.SetEnabled(true);
  WaitMs(60);
  EXPECT_GE(fired, 2);
}

// A check waits inside a handler; meanwhile the other timers and descriptors go on.
TYPED_TEST_P(EventLoopContract, AHandlerThatWaitsLetsTheOthersRun) {
  test::TFdPair sockets(true);
  TTimer writer, waiter;
  bool read = false, waited = false;
  writer.SetInterval(1);
  writer.SetOnTimer([&] {
    writer.SetEnabled(false);
    sockets.Put();
  });
  TFdWatch watch(sockets.fd[0], TEventLoop::evRead, [&](unsigned) {
    sockets.Take();
    read = true;
  });
  waiter.SetInterval(1);
  waiter.SetOnTimer([&] {
    waiter.SetEnabled(false);
    writer.SetEnabled(true);
    waited = WaitUntil([&] { return read; }, TClock::Current().MonotonicMs() + test::kWaitMs);
  });
  waiter.SetEnabled(true);
  test::PumpUntil([&] { return waited; }, "the waiting handler");
  EXPECT_TRUE(read);
}

TYPED_TEST_P(EventLoopContract, AHandlersErrorLeavesPumpAndTheLoopGoesOn) {
  TEventLoop& loop = this->loop_;
  test::TManualClock clock;
  enum class TSource { Posted, Timer, Descriptor };
  for (const TSource source : {TSource::Posted, TSource::Timer, TSource::Descriptor}) {
    SCOPED_TRACE(static_cast<int>(source));
    int runs = 0;
    const auto handler = [&] {
      if (++runs == 1) throw TError("The disk is full.");
    };
    TTimer timer;
    timer.SetInterval(10);
    timer.SetOnTimer(handler);
    test::TFdPair pipe;
    std::unique_ptr<TFdWatch> watch;
    const auto arm = [&] {
      if (source == TSource::Posted) loop.Post(handler);
      if (source == TSource::Timer) {
        timer.SetEnabled(true);
        clock.Advance(10);
      }
      if (source == TSource::Descriptor) {
        watch = std::make_unique<TFdWatch>(pipe.fd[0], TEventLoop::evRead, [&, handler](unsigned) {
          pipe.Take();
          handler();
        });
        pipe.Put();
      }
    };
    arm();
    EXPECT_EQ(test::ErrorOf([&] { loop.Pump(0); }), "The disk is full.");
    arm();
    loop.Pump(0);
    EXPECT_EQ(runs, 2);
  }
}

REGISTER_TYPED_TEST_SUITE_P(
    EventLoopContract, TimerFiresAfterItsIntervalAndRepeatsUntilDisabled,
    ReEnablingRestartsTheInterval, TimerHandlerDoesNotNestInsideItselfAndMayDestroyItsTimer,
    PostedCallsRunAtTheNextPumpAndPostsFromThemWait, PumpRunsTheHandlerOfAReadyDescriptor,
    WatchRemovedByAnEarlierHandlerOfTheSameRoundIsNotCalled, AWatchMayEndItselfInItsHandler,
    DescriptorStatesArriveAsReadWriteAndErrorEvents, PumpZeroReturnsWithoutWaitingForWhatIsNotDue,
    TheInstalledLoopCarriesTimersWatchesAndTheWaits, WaitMsKeepsTimersRunning,
    AHandlerThatWaitsLetsTheOthersRun, AHandlersErrorLeavesPumpAndTheLoopGoesOn);

}  // namespace tarnwell
