#pragma once

#include <string>

#include "platform/Error.h"

namespace tarnwell {

// Windows Sockets error codes. The protocol clients keep these in their error fields and show
// their texts, so POSIX errors are translated into them.
enum : int {
  wsaInterrupted = 10004,
  wsaWouldBlock = 10035,
  wsaDestinationRequired = 10039,
  wsaConnAborted = 10053,
  wsaConnReset = 10054,
  wsaNotConnected = 10057,
  wsaTimedOut = 10060,
  wsaConnRefused = 10061,
  wsaHostNotFound = 11001,
  wsaTryAgain = 11002,
  wsaNoRecovery = 11003,
  wsaNoData = 11004,
};

// A secure connection could not be made; the connection's TlsError() says why.
constexpr int kTlsFailed = -4;

// The text for a client error code: -1 timed out, -2 aborted, Windows Sockets codes, and
// "Internal error (code N)" for anything else.
[[nodiscard]] std::string ErrorText(int code);
// The Windows Sockets code for an errno value.
[[nodiscard]] int SocketErrorFromErrno(int error);

// A socket error that no handler took care of.
class ESocketError : public TError {
 public:
  explicit ESocketError(int code) : TError(ErrorText(code)), code_(code) {}
  [[nodiscard]] int Code() const { return code_; }

 private:
  int code_;
};

}  // namespace tarnwell
