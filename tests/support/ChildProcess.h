#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

#include "tests/support/TestSupport.h"

namespace tarnwell::test {

// A TCP port on 127.0.0.1 that the kernel chose, held while the object lives by a socket that is
// bound and does not listen. Connections to it are refused, and no other socket is given it (a
// bind to port 0 or the local end of a connection), so tests running at the same time cannot
// take it; a server that binds with SO_REUSEADDR, as Dovecot, aiosmtpd and the scripts here do,
// can still listen on it.
// Binds `fd` to a port the kernel picks on 127.0.0.1 and returns the port; raises with `what`
// when it cannot.
int BindLoopbackPort(int fd, const char* what);

class TBoundPort {
 public:
  TBoundPort();
  ~TBoundPort();
  TBoundPort(const TBoundPort&) = delete;
  TBoundPort& operator=(const TBoundPort&) = delete;

  [[nodiscard]] int Port() const { return port_; }

 private:
  int fd_ = -1;
  int port_ = 0;
};

// The path of an installed program, searched in PATH and the sbin folders; raises when there is
// none, so a test that needs it fails instead of passing unseen.
[[nodiscard]] std::string FindProgram(const std::string& name);
// Runs a program to its end with `input` on its standard input; returns its exit status.
int RunProgram(const std::vector<std::string>& argv, const std::string& input = "",
               int timeoutMs = kWaitMs);
// Waits for the child `pid` (any child for -1) to end; returns its wait status. When it has not
// ended within `timeoutMs` it raises, after killing a child named by its pid.
int WaitForExit(pid_t pid, int timeoutMs = kWaitMs);

// A program the test started, stopped (with everything it started) at the end of its life.
class TChildProcess {
 public:
  // Standard output and error go to `logFile` (or nowhere when empty).
  TChildProcess(const std::vector<std::string>& argv, const std::string& logFile,
                const std::vector<std::string>& extraEnvironment = {});
  ~TChildProcess();
  TChildProcess(const TChildProcess&) = delete;
  TChildProcess& operator=(const TChildProcess&) = delete;

  [[nodiscard]] pid_t Pid() const { return pid_; }
  [[nodiscard]] bool Running();
  // Waits until the program has ended; returns its exit status, or 128 plus the number of the
  // signal that ended it. Raises when it has not ended within `timeoutMs`.
  int Wait(int timeoutMs = kWaitMs);
  // Waits until the program accepts connections on 127.0.0.1:port; raises, with the log, when
  // it ends first or takes longer than `timeoutMs`.
  void WaitForPort(int port, int timeoutMs = 10000);
  void Stop();

 private:
  void Ended(int status);

  pid_t pid_ = -1;
  int exitStatus_ = -1;
  std::string logFile_;
};

}  // namespace tarnwell::test
