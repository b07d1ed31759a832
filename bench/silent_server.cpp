// The processor time the program spends while it waits on a server that never answers: a
// server process on 127.0.0.1 accepts every connection and stays silent, and the POP3 client
// (plain and secure-password login), the SMTP client and a plain WaitMs each wait 10 seconds
// for it. Prints the wall time, the user and system time of this process during the wait, the
// share of one core that is, how often it went to sleep, and how the wait ended. Target: under 1%
// of a core.
//
//   silent_server [--seconds N] [pop3|pop3-spa|smtp|waitms]...
#include <netinet/in.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <functional>
#include <string>
#include <vector>

#include "platform/EventLoop.h"
#include "transport/POP.h"
#include "transport/SMTP.h"

using namespace tarnwell;

namespace {

// Listens on a free port of 127.0.0.1 in a child process that accepts and never sends.
class TSilentServer {
 public:
  TSilentServer() {
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    if (fd < 0 || ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        ::listen(fd, 16) != 0 ||
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
      std::perror("cannot listen on 127.0.0.1");
      std::exit(2);
    }
    port_ = ntohs(address.sin_port);
    child_ = ::fork();
    if (child_ == 0) {
      std::vector<int> clients;
      for (;;) {
        const int client = ::accept(fd, nullptr, nullptr);
        if (client >= 0) clients.push_back(client);
      }
    }
    ::close(fd);
  }
  ~TSilentServer() {
    ::kill(child_, SIGTERM);
    ::waitpid(child_, nullptr, 0);
  }
  TSilentServer(const TSilentServer&) = delete;
  TSilentServer& operator=(const TSilentServer&) = delete;
  [[nodiscard]] int Port() const { return port_; }

 private:
  int port_ = 0;
  pid_t child_ = -1;
};

double SecondsBetween(const timeval& from, const timeval& to) {
  return static_cast<double>(int64_t{to.tv_sec - from.tv_sec} * 1000000 + to.tv_usec -
                             from.tv_usec) /
         1e6;
}

// Runs `wait` and prints what it cost.
void Measure(const char* name, const std::function<std::string()>& wait) {
  rusage before{}, after{};
  ::getrusage(RUSAGE_SELF, &before);
  const auto start = std::chrono::steady_clock::now();
  const std::string outcome = wait();
  const double wall =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  ::getrusage(RUSAGE_SELF, &after);
  const double user = SecondsBetween(before.ru_utime, after.ru_utime);
  const double system = SecondsBetween(before.ru_stime, after.ru_stime);
  const double cpu = user + system;
  // Voluntary context switches: how often the process went to sleep, each one a wake-up later.
  const long sleeps = after.ru_nvcsw - before.ru_nvcsw;
  std::printf(
      "%-9s wall %6.2f s  cpu %7.3f s (user %.3f, system %.3f)  %6.2f%% of a core  "
      "%6ld sleeps  %s\n",
      name, wall, cpu, user, system, 100.0 * cpu / wall, sleeps, outcome.c_str());
  std::fflush(stdout);
}

std::string Outcome(const std::function<void()>& action) {
  try {
    action();
  } catch (const std::exception& error) {
    return std::string("raised \"") + error.what() + "\"";
  }
  return "no error";
}

}  // namespace

int main(int argc, char** argv) {
  int seconds = 10;
  std::vector<std::string> cases;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--seconds") == 0 && i + 1 < argc) {
      seconds = std::atoi(argv[++i]);
    } else {
      cases.emplace_back(argv[i]);
    }
  }
  if (cases.empty()) cases = {"pop3", "pop3-spa", "smtp", "waitms"};
  TSilentServer server;
  std::printf("waiting %d s on a silent server at 127.0.0.1:%d\n", seconds, server.Port());
  for (const std::string& name : cases) {
    if (name == "pop3" || name == "pop3-spa") {
      TPOP3 pop;
      pop.Host = "127.0.0.1";
      pop.Port = server.Port();
      pop.UserName = "alice";
      pop.Domain = "example.org";
      pop.Password = "secret";
      pop.UseSPA = name == "pop3-spa";
      pop.SetTimeout(seconds);
      Measure(name.c_str(), [&] { return Outcome([&] { pop.Login(); }); });
    } else if (name == "smtp") {
      TSMTP smtp;
      smtp.Host = "127.0.0.1";
      smtp.Port = server.Port();
      smtp.ClientName = "bench.example.org";
      smtp.SetTimeout(seconds);
      Measure("smtp", [&] { return Outcome([&] { smtp.Login(); }); });
    } else if (name == "waitms") {
      Measure("waitms", [&] { return Outcome([&] { WaitMs(seconds * 1000); }); });
    } else {
      std::fprintf(stderr, "unknown case %s (pop3, pop3-spa, smtp, waitms)\n", name.c_str());
      return 2;
    }
  }
  return 0;
}
