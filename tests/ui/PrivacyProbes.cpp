#include "tests/ui/PrivacyProbes.h"

#include <gtest/gtest.h>
#include <poll.h>
#include <sys/inotify.h>
#include <sys/socket.h>
#include <unistd.h>

#include "tests/support/ChildProcess.h"

namespace tarnwell::test {

TListener::TListener() : fd_(::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK, 0)) {
  port_ = BindLoopbackPort(fd_, "listener");
  if (::listen(fd_, 16) != 0) ADD_FAILURE() << "the listener does not listen";
}

TListener::~TListener() { ::close(fd_); }

std::string TListener::Address() const { return "http://127.0.0.1:" + std::to_string(port_); }

bool TListener::Connected() const {
  pollfd poll{fd_, POLLIN, 0};
  return ::poll(&poll, 1, 0) > 0;
}

TFileWatch::TFileWatch(const std::string& path) : fd_(::inotify_init1(IN_NONBLOCK)) {
  if (::inotify_add_watch(fd_, path.c_str(), IN_OPEN | IN_ACCESS) < 0)
    ADD_FAILURE() << "no watch on " << path;
}

TFileWatch::~TFileWatch() { ::close(fd_); }

bool TFileWatch::Touched() const {
  char events[4096];
  return ::read(fd_, events, sizeof events) > 0;
}

}  // namespace tarnwell::test
