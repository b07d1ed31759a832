#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "tests/support/ChildProcess.h"
#include "tests/support/TestSupport.h"

namespace tarnwell::test {

// A private Dovecot POP3 server on 127.0.0.1: its own configuration, users and Maildir folders
// in a temporary folder, stopped with the object. A missing Dovecot raises.
class TDovecot {
 public:
  // A certificate and its key make the server offer STLS on Port() and TLS from the connect on
  // TlsPort(); it then takes passwords only inside TLS.
  struct TTls {
    std::string cert;
    std::string key;
  };

  explicit TDovecot(const TTls& tls = {});
  ~TDovecot();
  TDovecot(const TDovecot&) = delete;
  TDovecot& operator=(const TDovecot&) = delete;

  [[nodiscard]] int Port() const { return port_.Port(); }
  [[nodiscard]] int TlsPort() const { return tlsPort_ ? tlsPort_->Port() : 0; }
  // Adds a user with an empty mailbox; Dovecot reads the user's file at its first login.
  void AddUser(const std::string& name, const std::string& password);
  // Puts a message (CR LF or LF lines) into the user's mailbox as new mail.
  void Deliver(const std::string& user, const std::string& text);
  // The texts of the messages in the user's mailbox, in delivery order.
  [[nodiscard]] std::vector<std::string> Messages(const std::string& user) const;
  // Waits until the server has logged the end of `sessions` logged-in sessions of the user, and
  // so has made their deletions, even those of a client that vanished; raises after ten seconds.
  void WaitForLogouts(const std::string& user, int sessions) const;
  // Adds an account "Bench" for the user on this server, without TLS, to the program folder
  // `home` with the program `tarnwell`, as a user would from the shell; the command's status.
  int AddProgramAccount(const std::string& tarnwell, const std::string& home,
                        const std::string& user, const std::string& password) const;

 private:
  [[nodiscard]] std::string MailDir(const std::string& user) const;

  TTempDir dir_;
  TBoundPort port_;
  std::optional<TBoundPort> tlsPort_;
  unsigned mailUid_ = 0;
  unsigned mailGid_ = 0;
  int delivered_ = 0;
  std::unique_ptr<TChildProcess> process_;
};

}  // namespace tarnwell::test
