#include "platform/TerminationSignals.h"

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <cerrno>

#include "platform/Error.h"

namespace tarnwell {

namespace {

constexpr int kSignals[] = {SIGTERM, SIGINT};
volatile sig_atomic_t writeFd = -1;

void OnSignal(int) {
  const int saved = errno;
  const char byte = 1;
  // A full pipe already holds a byte that wakes the loop.
  if (writeFd >= 0 && ::write(writeFd, &byte, 1) < 0) {
  }
  errno = saved;
}

void RestoreDefaults() {
  for (const int s : kSignals) ::signal(s, SIG_DFL);
}

}  // namespace

TTerminationSignals::TTerminationSignals(std::function<void()> handler, TEventLoop& loop)
    : handler_(std::move(handler)) {
  int fds[2];
  if (::pipe2(fds, O_CLOEXEC | O_NONBLOCK) != 0) throw TError("Cannot watch the signals.");
  readFd_ = fds[0];
  writeFd = fds[1];
  struct sigaction action {};
  action.sa_handler = OnSignal;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;
  for (const int s : kSignals) ::sigaction(s, &action, nullptr);
  watch_ = std::make_unique<TFdWatch>(
      readFd_, TEventLoop::evRead, [this](unsigned) { Received(); }, loop);
}

TTerminationSignals::~TTerminationSignals() {
  RestoreDefaults();
  watch_.reset();
  const int fd = writeFd;
  writeFd = -1;
  ::close(fd);
  ::close(readFd_);
}

void TTerminationSignals::Received() {
  char buffer[16];
  while (::read(readFd_, buffer, sizeof buffer) > 0) {
  }
  RestoreDefaults();
  if (handler_) handler_();
}

}  // namespace tarnwell
