#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "platform/EventLoop.h"
#include "platform/LineConnection.h"
#include "platform/ServerError.h"

namespace tarnwell {

class TLogFile;
class TSSPI;

// What the POP3 and SMTP clients share: the connection and its notifications, the timeout timer,
// the pending error code and its raising, Stop, the secure-password exchange, and the one way
// they wait for the server.
class TLineClient {
 public:
  // The clients' own error codes, beside the socket codes, kTlsFailed and the protocols' codes.
  enum TClientError : int32_t {
    ceTimedOut = -1,
    ceAborted = -2,
    ceSecureLoginFailed = -3,
    // STLS or STARTTLS was refused, so the login never went out in the clear.
    ceNotSecured = -5,
  };

  virtual ~TLineClient();
  TLineClient(const TLineClient&) = delete;
  TLineClient& operator=(const TLineClient&) = delete;

  // The timer's interval follows; it stays on or off as it was.
  void SetTimeout(int32_t seconds);
  // With `on`, the wait in progress ends with ceAborted, a secure-password exchange included.
  void Abort(bool on);
  // When an error is pending: closes the connection, logs and raises it with its text, as an
  // EServerError naming this client's server.
  void RaisePendingError();
  // The text for the pending error code.
  [[nodiscard]] virtual std::string ErrorText() = 0;

  [[nodiscard]] int32_t ErrorCode() const { return errorCode_; }
  [[nodiscard]] int32_t Timeout() const { return timeout_; }
  [[nodiscard]] bool Aborted() const { return aborted_; }
  [[nodiscard]] TLineConnection& Connection() { return connection_; }
  [[nodiscard]] TSSPI* Sspi() const { return sspi_.get(); }
  void SetLog(TLogFile* log) { log_ = log; }
  [[nodiscard]] TLogFile* Log() const { return log_; }

 protected:
  // `protocol` starts the client's log lines ("POP3", "SMTP").
  explicit TLineClient(std::string_view protocol);

  // Takes over the connection's notifications; also gives them back after a secure-password
  // exchange, which replaces OnRead and OnError for its length.
  void InstallHandlers();
  virtual void HandleRead(TLineConnection& connection) = 0;
  virtual void HandleDisconnect() {}
  // While this holds, pending errors are kept rather than raised.
  [[nodiscard]] virtual bool HoldsErrors() const { return false; }

  // Looks the host up; a failed lookup becomes the pending error.
  bool ResolveHost(std::string_view host);
  // Sets the port and TLS for the next Open, with only the connect notification on.
  void PrepareConnection(int port, bool tls, std::string_view pin);
  // Where the pending error happened: this client's server, and what a failed handshake says.
  [[nodiscard]] TServerPlace Place() const;
  // Logs `text` and raises it, naming this client's server.
  [[noreturn]] void Raise(const std::string& text) const;
  // Starts connecting; a failure that no handler took becomes the pending error. The clients
  // then wait with WaitUntil, as for every reply: the connection's notifications, the timeout
  // timer and Stop all arrive as events of the loop.
  void OpenConnection();

  // Readies the secure-password exchange and lends it the connection, the timer and the log;
  // false when there is no security package for it.
  bool StartSecureLogin();
  // Runs the exchange with the timeout timer on; true when the server accepted it.
  bool RunSecureLogin(const std::string& userAtDomain, std::string_view password, bool smtpMode);
  // Stops the timer and gives the connection back this client's handlers.
  void EndSecureLogin();

  // The texts of the codes both clients give the same meaning.
  [[nodiscard]] std::string CommonErrorText(int32_t code) const;
  void AddLog(std::string_view text) const;
  // Stops the timer and closes the connection without telling this client.
  void CloseSilently();

  TLineConnection connection_;
  TTimer timer_;
  std::unique_ptr<TSSPI> sspi_;
  int32_t timeout_ = 45;
  int32_t errorCode_ = 0;
  bool aborted_ = false;
  TLogFile* log_ = nullptr;

 private:
  void HandleTimer();
  void CancelSecureLogin();

  std::string protocol_;
  bool secureLoginRunning_ = false;
  // The connection is TLS from the connect.
  bool implicitTls_ = false;
};

}  // namespace tarnwell
