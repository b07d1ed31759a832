#pragma once

#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "demo/DemoConnection.h"

namespace tarnwell {

// A POP3 server (RFC 1939) on 127.0.0.1 holding one mailbox: USER/PASS, STAT, LIST, UIDL, TOP,
// RETR, DELE, NOOP, RSET, QUIT and CAPA. One session at a time holds the mailbox; its deletions
// take effect when it ends with QUIT.
class TDemoPop3Server {
 public:
  struct TMessage {
    std::string Uid;
    // The message with CR LF line ends.
    std::string Text;
  };

  TDemoPop3Server(std::string user, std::string password, TEventLoop& loop = TEventLoop::Current());
  ~TDemoPop3Server();

  [[nodiscard]] int Port() const { return listener_.Port(); }
  // Appends a message; its lines may end in LF or CR LF. Returns its UID.
  std::string AddMessage(std::string_view text);
  [[nodiscard]] const std::vector<TMessage>& Mailbox() const { return mailbox_; }
  // UIDs of the messages that sessions deleted, in the order they went.
  [[nodiscard]] const std::vector<std::string>& DeletedUids() const { return deleted_; }
  // Runs at each login that takes the mailbox, before the session sees it: mail that "arrives"
  // between two checks is added here.
  void SetOnLogin(std::function<void()> onLogin) { onLogin_ = std::move(onLogin); }

 private:
  friend class TDemoPop3Session;

  std::string user_;
  std::string password_;
  std::vector<TMessage> mailbox_;
  std::vector<std::string> deleted_;
  bool locked_ = false;
  int nextUid_ = 1;
  std::function<void()> onLogin_;
  TDemoListener listener_;
};

// The text with every line ending in CR LF, a final line break added when missing.
[[nodiscard]] std::string WithCrLf(std::string_view text);

}  // namespace tarnwell
