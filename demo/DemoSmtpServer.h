#pragma once

#include <string>
#include <vector>

#include "demo/DemoConnection.h"

namespace tarnwell {

// An SMTP server (RFC 5321) on 127.0.0.1 that accepts every message for every recipient and
// keeps it: EHLO/HELO, MAIL, RCPT, DATA, RSET, NOOP, VRFY, QUIT.
class TDemoSmtpServer {
 public:
  struct TReceived {
    std::string Sender;
    std::vector<std::string> Recipients;
    // The message as it arrived, dots unstuffed, lines ending in CR LF.
    std::string Data;
  };

  explicit TDemoSmtpServer(TEventLoop& loop = TEventLoop::Current());
  ~TDemoSmtpServer();

  [[nodiscard]] int Port() const { return listener_.Port(); }
  [[nodiscard]] const std::vector<TReceived>& Received() const { return received_; }

 private:
  friend class TDemoSmtpSession;

  std::vector<TReceived> received_;
  TDemoListener listener_;
};

}  // namespace tarnwell
