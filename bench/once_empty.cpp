// The time `tarnwell --home DIR /ONCE` takes as a whole process, from fork to exit, when the one
// account's mailbox on a private Dovecot is empty: start-up, login, UIDL, logout, shutdown. This
// is what a cron job or a systemd timer pays for every check that finds nothing.
//
//   build/bin/once_empty [--runs 9] [--tarnwell PATH]
//
// A first run, not timed, lets Dovecot make the mailbox's index; the runs after it are timed
// one by one and the median, the fastest and the slowest are printed. --tarnwell times another
// build. Status 1 when a run does not end with status 0.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "tests/support/ChildProcess.h"
#include "tests/support/Dovecot.h"
#include "tests/support/TestSupport.h"

using namespace tarnwell;
using Clock = std::chrono::steady_clock;

int main(int argc, char** argv) {
  int runs = 9;
  std::string tarnwell = TARNWELL_BINARY;
  for (int i = 1; i + 1 < argc; i += 2) {
    if (std::strcmp(argv[i], "--runs") == 0) {
      runs = std::max(1, std::atoi(argv[i + 1]));
    } else if (std::strcmp(argv[i], "--tarnwell") == 0) {
      tarnwell = argv[i + 1];
    } else {
      std::fprintf(stderr, "usage: once_empty [--runs N] [--tarnwell PATH]\n");
      return 2;
    }
  }
  test::TDovecot dovecot;
  dovecot.AddUser("bench", "pw");
  const test::TTempDir home;
  const int added = dovecot.AddProgramAccount(tarnwell, home.Path(), "bench", "pw");
  if (added != 0) {
    std::fprintf(stderr, "once_empty: the account could not be added (status %d)\n", added);
    return 1;
  }
  const std::vector<std::string> once = {tarnwell, "--home", home.Path(), "/ONCE"};
  if (test::RunProgram(once) != 0) {
    std::fprintf(stderr, "once_empty: the first check failed\n");
    return 1;
  }
  std::vector<double> seconds;
  for (int run = 0; run < runs; ++run) {
    const auto start = Clock::now();
    const int status = test::RunProgram(once);
    seconds.push_back(std::chrono::duration<double>(Clock::now() - start).count());
    if (status != 0) {
      std::fprintf(stderr, "once_empty: run %d ended with status %d\n", run + 1, status);
      return 1;
    }
  }
  for (const double s : seconds) std::printf("%.3f s\n", s);
  std::sort(seconds.begin(), seconds.end());
  std::printf(
      "tarnwell /ONCE on an empty mailbox, %d runs: median %.3f s, fastest %.3f s, "
      "slowest %.3f s\n",
      runs, seconds[seconds.size() / 2], seconds.front(), seconds.back());
  return 0;
}
