#include "tests/support/ScriptedServer.h"

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <stdexcept>

namespace tarnwell::test {

std::string Visible(const std::string& bytes) {
  std::string text;
  for (const char c : bytes) {
    const auto u = static_cast<unsigned char>(c);
    if (c == '\r') {
      text += "\\r";
    } else if (c == '\n') {
      text += "\\n";
    } else if (u < 32 || u == 127) {
      text += "\\x" + std::string(1, "0123456789abcdef"[u >> 4]) + "0123456789abcdef"[u & 15];
    } else {
      text += c;
    }
  }
  return text;
}

TScriptedServer::TScriptedServer() {
  listen_ = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
  if (listen_ < 0) throw std::runtime_error("socket failed");
  const int one = 1;
  ::setsockopt(listen_, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t length = sizeof address;
  if (::bind(listen_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
      ::listen(listen_, 8) != 0 ||
      ::getsockname(listen_, reinterpret_cast<sockaddr*>(&address), &length) != 0)
    throw std::runtime_error("cannot listen on 127.0.0.1");
  port_ = ntohs(address.sin_port);
  listenWatch_ =
      std::make_unique<TFdWatch>(listen_, TEventLoop::evRead, [this](unsigned) { OnListen(); });
  ticker_.SetInterval(0);
  ticker_.SetOnTimer([this] { OnTick(); });
  steps_.push_back(TStep{TKind::Accept, {}, 0, nullptr});
}

TScriptedServer::~TScriptedServer() {
  if (next_ < steps_.size()) {
    const TStep& step = steps_[next_];
    ADD_FAILURE() << "the script was not used up; next step " << static_cast<int>(step.kind)
                  << " \"" << Visible(step.bytes) << "\"\ntranscript:\n"
                  << Visible(transcript_);
  }
  clientWatch_.reset();
  listenWatch_.reset();
  if (client_ >= 0) ::close(client_);
  ::close(listen_);
}

TScriptedServer& TScriptedServer::Add(TStep step) {
  steps_.push_back(std::move(step));
  return *this;
}

TScriptedServer& TScriptedServer::Expect(std::string bytes) {
  return Add(TStep{TKind::Expect, std::move(bytes), 0, nullptr});
}

TScriptedServer& TScriptedServer::Send(std::string bytes) {
  return Add(TStep{TKind::Send, std::move(bytes), 0, nullptr});
}

TScriptedServer& TScriptedServer::Pause(int pumps) {
  return Add(TStep{TKind::Pause, {}, pumps, nullptr});
}

TScriptedServer& TScriptedServer::Call(std::function<void()> action) {
  return Add(TStep{TKind::Call, {}, 0, std::move(action)});
}

TScriptedServer& TScriptedServer::Close() { return Add(TStep{TKind::Close, {}, 0, nullptr}); }

TScriptedServer& TScriptedServer::Accept() { return Add(TStep{TKind::Accept, {}, 0, nullptr}); }

void TScriptedServer::OnListen() {
  const int fd = ::accept4(listen_, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
  if (fd < 0) return;
  if (next_ >= steps_.size() || steps_[next_].kind != TKind::Accept) {
    ::close(fd);
    Unexpected("a connection the script does not expect");
    return;
  }
  // Pieces the script sends apart must not wait for the client's acknowledgement.
  const int one = 1;
  ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
  CloseClient();
  client_ = fd;
  clientClosed_ = false;
  input_.clear();
  clientWatch_ = std::make_unique<TFdWatch>(client_, TEventLoop::evRead,
                                            [this](unsigned events) { OnClient(events); });
  transcript_ += "S: <accepted>\n";
  ++next_;
  Run();
}

void TScriptedServer::OnClient(unsigned events) {
  if (events & TEventLoop::evWrite) FlushOutput();
  if (client_ < 0 || !(events & (TEventLoop::evRead | TEventLoop::evError))) return;
  char buffer[65536];
  for (;;) {
    const ssize_t n = ::recv(client_, buffer, sizeof buffer, 0);
    if (n > 0) {
      input_.append(buffer, static_cast<size_t>(n));
      continue;
    }
    if (n < 0 && errno == EINTR) continue;
    if (n == 0 || (errno != EAGAIN && errno != EWOULDBLOCK)) {
      clientClosed_ = true;
      transcript_ += "C: <closed>\n";
      CloseClient();
    }
    break;
  }
  const bool waiting = next_ < steps_.size() && steps_[next_].kind == TKind::Expect;
  if (!waiting && !input_.empty()) {
    Unexpected("the client sent \"" + Visible(input_) + "\" while the server was not waiting");
    return;
  }
  Run();
}

void TScriptedServer::OnTick() {
  if (--pumpsLeft_ > 0) return;
  ticker_.SetEnabled(false);
  ++next_;
  Run();
}

void TScriptedServer::Run() {
  if (running_) return;
  running_ = true;
  while (next_ < steps_.size()) {
    TStep& step = steps_[next_];
    if (step.kind == TKind::Accept) break;
    if (step.kind == TKind::Pause) {
      if (!ticker_.Enabled()) {
        pumpsLeft_ = step.pumps;
        ticker_.SetEnabled(true);
      }
      break;
    }
    if (step.kind == TKind::Expect) {
      const size_t n = std::min(input_.size(), step.bytes.size());
      if (input_.compare(0, n, step.bytes, 0, n) != 0) {
        running_ = false;
        Unexpected("expected \"" + Visible(step.bytes) + "\", the client sent \"" +
                   Visible(input_) + "\"");
        return;
      }
      if (n < step.bytes.size()) {
        if (clientClosed_) {
          running_ = false;
          Unexpected("the client closed while \"" + Visible(step.bytes) + "\" was expected");
          return;
        }
        break;
      }
      transcript_ += "C: " + step.bytes;
      input_.erase(0, n);
      ++next_;
      continue;
    }
    ++next_;
    if (step.kind == TKind::Send) {
      transcript_ += "S: " + step.bytes;
      output_ += step.bytes;
      FlushOutput();
    } else if (step.kind == TKind::Close) {
      transcript_ += "S: <close>\n";
      CloseClient();
    } else {
      const std::function<void()> action = step.action;
      action();
    }
  }
  running_ = false;
}

void TScriptedServer::FlushOutput() {
  while (client_ >= 0 && !output_.empty()) {
    const ssize_t n = ::send(client_, output_.data(), output_.size(), MSG_NOSIGNAL);
    if (n > 0) {
      output_.erase(0, static_cast<size_t>(n));
      continue;
    }
    if (n < 0 && errno == EINTR) continue;
    if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) break;
    output_.clear();
  }
  if (clientWatch_)
    clientWatch_->SetEvents(TEventLoop::evRead |
                            (output_.empty() ? 0u : unsigned{TEventLoop::evWrite}));
}

void TScriptedServer::CloseClient() {
  clientWatch_.reset();
  if (client_ >= 0) ::close(client_);
  client_ = -1;
  output_.clear();
}

void TScriptedServer::Unexpected(const std::string& why) {
  ADD_FAILURE() << why << "\ntranscript:\n" << Visible(transcript_);
  next_ = steps_.size();
  ticker_.SetEnabled(false);
  CloseClient();
}

TClockRunner::TClockRunner(TManualClock& clock, int64_t stepMs) : clock_(clock), stepMs_(stepMs) {
  timer_.SetInterval(0);
  timer_.SetOnTimer([this] { clock_.Advance(stepMs_); });
  timer_.SetEnabled(true);
}

}  // namespace tarnwell::test
