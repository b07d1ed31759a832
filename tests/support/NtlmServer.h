#pragma once

#include <memory>
#include <string>

#include "tests/support/ChildProcess.h"
#include "tests/support/TestSupport.h"

namespace tarnwell::test {

// A server-side NTLM login: Cyrus SASL's sample server with a sasldb2 holding one user, behind
// a small POP3 or SMTP front end on 127.0.0.1 that offers it as "AUTH <keyword>", and with a
// certificate the upgrade to TLS (STLS, STARTTLS). Missing programs raise.
class TNtlmServer {
 public:
  enum class TMode { Pop3, Smtp };
  // A certificate and key for the upgrade to TLS; none when empty.
  struct TStartTls {
    std::string cert, key;
  };
  TNtlmServer(TMode mode, const std::string& user, const std::string& password,
              const std::string& keyword = "MSN", const TStartTls& startTls = {});
  ~TNtlmServer();
  TNtlmServer(const TNtlmServer&) = delete;
  TNtlmServer& operator=(const TNtlmServer&) = delete;

  [[nodiscard]] int Port() const { return port_.Port(); }

 private:
  TTempDir dir_;
  TBoundPort port_;
  std::unique_ptr<TChildProcess> process_;
};

}  // namespace tarnwell::test
