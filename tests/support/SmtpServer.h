#pragma once

#include <memory>
#include <string>
#include <vector>

#include "tests/support/ChildProcess.h"
#include "tests/support/TestSupport.h"

namespace tarnwell::test {

// A real SMTP server (aiosmtpd) on 127.0.0.1, writing what it receives to a folder. With a
// user and a password it accepts mail only after AUTH LOGIN. A missing aiosmtpd raises.
enum class TSmtpTlsMode { None, StartTls, Tls };

// With a certificate and its key the server offers STARTTLS, or speaks TLS from the connect;
// with STARTTLS it takes AUTH only after the upgrade.
struct TSmtpTls {
  TSmtpTlsMode mode = TSmtpTlsMode::None;
  std::string cert;
  std::string key;
};

class TSmtpServer {
 public:
  explicit TSmtpServer(const std::string& user = "", const std::string& password = "",
                       const TSmtpTls& tls = {});
  ~TSmtpServer();
  TSmtpServer(const TSmtpServer&) = delete;
  TSmtpServer& operator=(const TSmtpServer&) = delete;

  [[nodiscard]] int Port() const { return port_.Port(); }

  struct TReceived {
    // The envelope lines: "FROM addr", "TO addr" ..., "AUTH user".
    std::vector<std::string> envelope;
    std::string data;
  };
  // The messages received so far, in order.
  [[nodiscard]] std::vector<TReceived> Received() const;

 private:
  TTempDir dir_;
  TBoundPort port_;
  std::unique_ptr<TChildProcess> process_;
};

// A file of the test harness beside this one (the server scripts).
[[nodiscard]] std::string SupportFile(const std::string& name);
// A Python interpreter that has aiosmtpd (the system's, not one a user installed first in PATH).
[[nodiscard]] std::string PythonWithAiosmtpd();

}  // namespace tarnwell::test
