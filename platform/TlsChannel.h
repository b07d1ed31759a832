#pragma once

#include <openssl/types.h>

#include <string>
#include <string_view>

#include "platform/ByteChannel.h"
#include "platform/ServerError.h"

namespace tarnwell {

// The SHA-256 fingerprint of a DER certificate as upper-case hex pairs joined by colons.
[[nodiscard]] std::string CertificateFingerprint(std::string_view der);
// Whether two fingerprints name the same certificate, ignoring case, colons and blanks.
[[nodiscard]] bool SameFingerprint(std::string_view a, std::string_view b);

// A TLS client session over a connected non-blocking socket. The certificate must be trusted
// and name `host`, or, with a `pin`, be exactly the pinned one.
class TTlsChannel : public TByteChannel {
 public:
  TTlsChannel(int fd, std::string host, std::string pin);
  ~TTlsChannel() override;
  TTlsChannel(const TTlsChannel&) = delete;
  TTlsChannel& operator=(const TTlsChannel&) = delete;

  // 1 when done, 0 while it waits for the socket (`wantsRead` says which way), -1 when it
  // failed (Error() says why).
  int Handshake(bool& wantsRead);

  ssize_t Read(char* buffer, size_t size) override;
  ssize_t Write(const char* data, size_t size) override;
  [[nodiscard]] bool Pending() const override;
  [[nodiscard]] const std::string& Error() const { return error_; }
  // What the failed handshake says about the settings, as far as the channel can tell.
  [[nodiscard]] TTlsFault Fault() const { return fault_; }
  // The SHA-256 fingerprint of the server's certificate; empty when none came.
  [[nodiscard]] const std::string& Fingerprint() const { return fingerprint_; }

  // A file of further trusted certificates beside the system's (empty for none); sessions
  // started after it use it.
  static void SetExtraCaFile(std::string path);

 private:
  ssize_t Failure(int result);
  static int Verify(int ok, X509_STORE_CTX* store);

  SSL* ssl_ = nullptr;
  std::string host_;
  std::string pin_;
  std::string fingerprint_;
  std::string error_;
  TTlsFault fault_ = TTlsFault::None;
  int verifyError_;
  bool pinMismatch_ = false;
  // After a fatal error OpenSSL must not be asked to send anything more.
  bool failed_ = false;
};

}  // namespace tarnwell
