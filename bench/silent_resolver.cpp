// How the event loop fares while a host lookup waits on a name server that never answers. A UDP
// socket on 127.0.0.1 reads the questions and drops them; a connection looks a name up through
// it and opens, while a loop timer ticks every 10 ms. It prints the timer's firings and the
// longest gap between two of them until the resolver gives up, then how long Close takes to
// end a second such lookup.
//
//   build/bin/silent_resolver
#include <chrono>
#include <cstdio>
#include <string>

#include "platform/EventLoop.h"
#include "platform/LineConnection.h"
#include "tests/support/FakeResolver.h"

using namespace tarnwell;
using Clock = std::chrono::steady_clock;

namespace {

double MsSince(Clock::time_point start) {
  return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

}  // namespace

int main() {
  constexpr uint32_t kTickMs = 10;
  test::TFakeResolver silent(test::TFakeResolver::TAnswer::Silent);
  int firings = 0;
  double longestGap = 0;
  Clock::time_point lastFiring = Clock::now();
  TTimer ticker;
  ticker.SetInterval(kTickMs);
  ticker.SetOnTimer([&] {
    ++firings;
    longestGap = std::max(longestGap, MsSince(lastFiring));
    lastFiring = Clock::now();
  });

  TLineConnection connection;
  int code = 0;
  connection.OnError = [&](TLineConnection&, int& error) {
    code = error;
    error = 0;
  };
  const Clock::time_point start = Clock::now();
  lastFiring = start;
  ticker.SetEnabled(true);
  connection.ResolveHost("silent.tarnwell.test");
  connection.SetPort(110);
  connection.Open();
  while (code == 0) Pump(kTickMs);
  const double pending = MsSince(start);
  std::printf("lookup pending %.0f ms, then error %d (%s); %d questions sent\n", pending, code,
              ErrorText(code).c_str(), silent.Questions());
  std::printf("timer every %u ms fired %d times (%.0f expected), longest gap %.1f ms\n", kTickMs,
              firings, pending / kTickMs, longestGap);

  connection.ResolveHost("silent.tarnwell.test");
  connection.Open();
  WaitMs(500);
  const Clock::time_point closing = Clock::now();
  connection.Close();
  std::printf("Close during a pending lookup took %.3f ms\n", MsSince(closing));
  return 0;
}
