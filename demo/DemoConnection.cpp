#include "demo/DemoConnection.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "platform/Error.h"

namespace tarnwell {

namespace {

// Longer than any command, and than any sane line of a message.
constexpr size_t kMaxLineLength = 1 << 20;

void SetNonBlocking(int fd) {
  const int flags = ::fcntl(fd, F_GETFL, 0);
  ::fcntl(fd, F_SETFL, flags | O_NONBLOCK);
  ::fcntl(fd, F_SETFD, FD_CLOEXEC);
}

}  // namespace

TDemoLineSession::TDemoLineSession(int fd, TEventLoop& loop) : fd_(fd), loop_(loop) {
  watch_ = std::make_unique<TFdWatch>(
      fd_, TEventLoop::evRead, [this](unsigned events) { OnEvents(events); }, loop_);
}

TDemoLineSession::~TDemoLineSession() { CloseNow(); }

void TDemoLineSession::CloseNow() {
  if (fd_ < 0) return;
  watch_.reset();
  ::close(fd_);
  fd_ = -1;
  output_.clear();
  OnClosed();
}

void TDemoLineSession::CloseAfterSending() {
  closing_ = true;
  if (output_.empty()) FinishSending();
}

void TDemoLineSession::FinishSending() {
  // Closing with the client's bytes still unread would reset the connection and could lose the
  // last reply on its way, so the server only ends its own direction and reads to the end.
  ::shutdown(fd_, SHUT_WR);
  draining_ = true;
  watch_->SetEvents(TEventLoop::evRead);
}

void TDemoLineSession::Send(std::string_view bytes) {
  if (Closed() || closing_ || draining_) return;
  output_.append(bytes);
  WriteAvailable();
}

void TDemoLineSession::OnEvents(unsigned events) {
  if (events & TEventLoop::evError) {
    CloseNow();
    return;
  }
  if (events & TEventLoop::evWrite) WriteAvailable();
  if (!Closed() && (events & TEventLoop::evRead)) ReadAvailable();
}

void TDemoLineSession::WriteAvailable() {
  while (!output_.empty() && !Closed()) {
    const ssize_t n = ::send(fd_, output_.data(), output_.size(), MSG_NOSIGNAL);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) break;
    if (n <= 0) {
      CloseNow();
      return;
    }
    output_.erase(0, static_cast<size_t>(n));
  }
  if (Closed() || draining_) return;
  if (output_.empty() && closing_) {
    FinishSending();
    return;
  }
  watch_->SetEvents(output_.empty() ? TEventLoop::evRead
                                    : TEventLoop::evRead | TEventLoop::evWrite);
}

void TDemoLineSession::ReadAvailable() {
  char buffer[16384];
  for (;;) {
    const ssize_t n = ::recv(fd_, buffer, sizeof buffer, 0);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) break;
    if (n <= 0) {
      // The peer is gone: what it sent before still counts, as far as it came in whole lines.
      if (!draining_) HandleLines();
      CloseNow();
      return;
    }
    if (draining_) continue;
    input_.append(buffer, static_cast<size_t>(n));
    HandleLines();
    if (Closed()) return;
  }
}

void TDemoLineSession::HandleLines() {
  size_t start = 0;
  while (!Closed() && !closing_) {
    const size_t end = input_.find('\n', start);
    if (end == std::string::npos) break;
    size_t stop = end;
    if (stop > start && input_[stop - 1] == '\r') --stop;
    OnLine(std::string_view(input_).substr(start, stop - start));
    start = end + 1;
  }
  if (Closed()) return;
  if (closing_) {
    input_.clear();
    return;
  }
  input_.erase(0, start);
  if (input_.size() > kMaxLineLength) {
    input_.clear();
    OnLineTooLong();
    CloseAfterSending();
  }
}

TDemoListener::TDemoListener(TAccept accept, TEventLoop& loop)
    : accept_(std::move(accept)), loop_(loop) {
  fd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
  if (fd_ < 0) throw TError(std::string("The demo server has no socket: ") + std::strerror(errno));
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  address.sin_port = 0;
  socklen_t length = sizeof address;
  if (::bind(fd_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
      ::listen(fd_, 16) != 0 ||
      ::getsockname(fd_, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
    const std::string reason = std::strerror(errno);
    ::close(fd_);
    throw TError("The demo server cannot listen on 127.0.0.1: " + reason);
  }
  port_ = ntohs(address.sin_port);
  watch_ = std::make_unique<TFdWatch>(
      fd_, TEventLoop::evRead, [this](unsigned) { OnAcceptable(); }, loop_);
}

TDemoListener::~TDemoListener() {
  sessions_.clear();
  watch_.reset();
  ::close(fd_);
}

void TDemoListener::OnAcceptable() {
  // Sessions are only dropped here, never from inside their own handlers.
  std::erase_if(sessions_, [](const auto& session) { return session->Closed(); });
  for (;;) {
    const int client = ::accept(fd_, nullptr, nullptr);
    if (client < 0) {
      if (errno == EINTR) continue;
      return;
    }
    SetNonBlocking(client);
    std::unique_ptr<TDemoLineSession> session = accept_(client);
    if (!session) {
      ::close(client);
      continue;
    }
    sessions_.push_back(std::move(session));
    sessions_.back()->Greet();
  }
}

}  // namespace tarnwell
