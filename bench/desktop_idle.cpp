// The processor time Tarnwell uses while it sits in the tray with nothing to do: a desktop of its
// own (Xvfb, openbox, trayer), one account on a private Dovecot with an empty mailbox, checked at
// start-up and then every 10 minutes. After the start-up check it measures the program's user
// and system time over a span (60 s by default) and prints it as a share of one core.
//
//   build/bin/desktop_idle [--seconds 60] [--tarnwell PATH]
//
// Target: under 0.1% of one core. Status 1 when the program does not start or ends early.
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "tests/support/ChildProcess.h"
#include "tests/support/Dovecot.h"
#include "tests/support/TestSupport.h"
#include "tests/support/XDesktop.h"

using namespace tarnwell;
using Clock = std::chrono::steady_clock;

namespace {

// User plus system time of the process, in seconds.
double ProcessorSeconds(pid_t pid) {
  std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
  std::string text((std::istreambuf_iterator<char>(stat)), std::istreambuf_iterator<char>());
  // The fields after the command name, which ends with the last ")".
  std::istringstream fields(text.substr(text.rfind(')') + 2));
  std::vector<std::string> field;
  for (std::string f; fields >> f;) field.push_back(f);
  if (field.size() < 13) return -1;
  return (std::stod(field[11]) + std::stod(field[12])) / static_cast<double>(sysconf(_SC_CLK_TCK));
}

}  // namespace

int main(int argc, char** argv) {
  int seconds = 60;
  std::string tarnwell = TARNWELL_BINARY;
  for (int i = 1; i + 1 < argc; i += 2) {
    if (std::strcmp(argv[i], "--seconds") == 0) {
      seconds = std::max(1, std::atoi(argv[i + 1]));
    } else if (std::strcmp(argv[i], "--tarnwell") == 0) {
      tarnwell = argv[i + 1];
    } else {
      std::fprintf(stderr, "usage: desktop_idle [--seconds N] [--tarnwell PATH]\n");
      return 2;
    }
  }
  const test::TTempDir home;
  test::TXDesktop desktop(home.Path());
  test::TDovecot dovecot;
  dovecot.AddUser("bench", "pw");
  const int added = dovecot.AddProgramAccount(tarnwell, home.Path(), "bench", "pw");
  if (added != 0 ||
      test::RunProgram({tarnwell, "--home", home.Path(), "settings", "set", "Logging", "1"}) != 0) {
    std::fprintf(stderr, "desktop_idle: the program folder could not be set up\n");
    return 1;
  }
  test::TChildProcess program({tarnwell, "--home", home.Path()}, home / "program.log",
                              {"DISPLAY=" + desktop.Display()});
  // The start-up check ends by working out when the next check is due.
  const auto start = Clock::now();
  for (;;) {
    const std::string log =
        test::FileExists(home / "Tarnwell.log") ? test::ReadFileText(home / "Tarnwell.log") : "";
    if (log.find("Init: Done") != std::string::npos && !desktop.Windows("tarnwell", true).empty())
      break;
    if (!program.Running() || Clock::now() - start > std::chrono::seconds(30)) {
      std::fprintf(stderr, "desktop_idle: the program did not start:\n%s\n",
                   test::ReadFileText(home / "program.log").c_str());
      return 1;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
  }
  std::this_thread::sleep_for(std::chrono::seconds(2));
  const double before = ProcessorSeconds(program.Pid());
  const auto from = Clock::now();
  std::this_thread::sleep_for(std::chrono::seconds(seconds));
  const double after = ProcessorSeconds(program.Pid());
  const double span = std::chrono::duration<double>(Clock::now() - from).count();
  if (!program.Running() || before < 0 || after < 0) {
    std::fprintf(stderr, "desktop_idle: the program ended early\n");
    return 1;
  }
  std::printf(
      "tarnwell in the tray with nothing to do: %.3f s of processor time in %.1f s, %.3f%% "
      "of one core (target under 0.1%%)\n",
      after - before, span, 100.0 * (after - before) / span);
  return 0;
}
