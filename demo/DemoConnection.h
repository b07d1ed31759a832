#pragma once

#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/EventLoop.h"

namespace tarnwell {

// One accepted connection of a line protocol server: lines in (at LF, a CR before it dropped),
// bytes out, both on the event loop without blocking.
class TDemoLineSession {
 public:
  // Takes the connected, non-blocking socket.
  TDemoLineSession(int fd, TEventLoop& loop);
  virtual ~TDemoLineSession();
  TDemoLineSession(const TDemoLineSession&) = delete;
  TDemoLineSession& operator=(const TDemoLineSession&) = delete;

  // Sends the server's greeting; called once the session is in the listener's hands.
  virtual void Greet() = 0;
  [[nodiscard]] bool Closed() const { return fd_ < 0; }

 protected:
  virtual void OnLine(std::string_view line) = 0;
  // A line longer than the limit ends the connection after this reply.
  virtual void OnLineTooLong() = 0;
  // The connection has ended, by either side.
  virtual void OnClosed() {}
  void Send(std::string_view bytes);
  // Ends the session once everything sent so far has gone out; the connection closes when the
  // client closes its end.
  void CloseAfterSending();
  void CloseNow();

 private:
  void OnEvents(unsigned events);
  void ReadAvailable();
  void WriteAvailable();
  void HandleLines();
  void FinishSending();

  int fd_;
  TEventLoop& loop_;
  std::string input_;
  std::string output_;
  bool closing_ = false;
  bool draining_ = false;
  std::unique_ptr<TFdWatch> watch_;
};

// A listening socket on 127.0.0.1 at a port the system picks, handing each connection to a
// session made by `accept`.
class TDemoListener {
 public:
  using TAccept = std::function<std::unique_ptr<TDemoLineSession>(int fd)>;
  // Raises TError when the socket cannot be set up.
  explicit TDemoListener(TAccept accept, TEventLoop& loop = TEventLoop::Current());
  ~TDemoListener();
  TDemoListener(const TDemoListener&) = delete;
  TDemoListener& operator=(const TDemoListener&) = delete;

  [[nodiscard]] int Port() const { return port_; }
  [[nodiscard]] TEventLoop& Loop() const { return loop_; }

 private:
  void OnAcceptable();

  TAccept accept_;
  TEventLoop& loop_;
  int fd_ = -1;
  int port_ = 0;
  std::unique_ptr<TFdWatch> watch_;
  std::vector<std::unique_ptr<TDemoLineSession>> sessions_;
};

}  // namespace tarnwell
