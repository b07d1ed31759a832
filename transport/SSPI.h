#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "transport/SSPIDefinitions.h"

namespace tarnwell {

class TLineConnection;
class TLogFile;
class TTimer;

// The secure-password login of the mail clients: the AUTH exchange of a security package's
// tokens in Base64, one per line, over the client's connection, which it borrows together with
// the client's timeout timer for the length of one exchange.
class TSSPI {
 public:
  explicit TSSPI(std::string packageName);
  ~TSSPI();
  TSSPI(const TSSPI&) = delete;
  TSSPI& operator=(const TSSPI&) = delete;

  // Loads the security library and finds the package; false with `ErrorText` set otherwise.
  bool Initialize();
  // Runs one exchange; the client's OnRead and OnError are replaced for its length and are the
  // client's to put back. In SMTP mode the connection is already greeted.
  bool Authenticate(std::string_view userAtDomain, std::string_view password, bool smtpMode);
  void Unload();

  // Ends the current wait; the exchange then fails.
  void SetCancel(bool cancel) { cancel_ = cancel; }
  [[nodiscard]] bool Cancelled() const { return cancel_; }
  [[nodiscard]] const std::string& ErrorText() const { return errorText_; }
  [[nodiscard]] const std::string& PackageName() const { return packageName_; }

  TLineConnection* Connection = nullptr;
  TTimer* Timer = nullptr;
  TLogFile* Log = nullptr;

 private:
  bool CheckStatus();
  // Sends and waits for a line; false when the wait was cancelled.
  bool SendAndWait(std::string_view text);
  bool SendToken();
  // Ends an exchange whose wait was cancelled; a socket error is reported with its step.
  bool FailCancelled();
  void CallInitialize(uint32_t requirements);
  void InstallHandlers();
  void SetTimer(bool on);
  void AddLog(std::string_view text);

  std::string packageName_;
  TSecurityFunctions* library_ = nullptr;
  std::vector<TSecPkgInfo> packages_;
  uint32_t maxToken_ = 0;
  TSecAuthIdentity identity_;
  std::unique_ptr<TCredentialsHandle> credentials_;
  std::unique_ptr<TSecurityContext> context_;
  std::string input_;
  std::string output_;
  bool lineReady_ = false;
  std::string response_;
  TSecStatus status_ = secOk;
  // A socket error arrived during the exchange; it is in `status_`.
  bool socketError_ = false;
  std::string step_;
  std::string errorText_;
  bool cancel_ = false;
};

}  // namespace tarnwell
