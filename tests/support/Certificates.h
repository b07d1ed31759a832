#pragma once

#include <string>

#include "tests/support/TestSupport.h"

namespace tarnwell::test {

// Throw-away certificates for the TLS tests, made with the openssl command in a temporary
// folder: a test authority and server certificates signed by it or by nobody trusted.
class TTestCertificates {
 public:
  struct TPair {
    std::string cert;
    std::string key;
  };

  TTestCertificates();

  // The test authority's certificate, to be trusted beside the system's.
  [[nodiscard]] std::string CaFile() const { return dir_ / "ca.pem"; }
  // For localhost and 127.0.0.1, by the test authority.
  [[nodiscard]] TPair Good() const { return Pair("good"); }
  // For mail.example.net only, by the test authority.
  [[nodiscard]] TPair WrongHost() const { return Pair("wronghost"); }
  // For localhost and 127.0.0.1, by the test authority, ended a day before it began.
  [[nodiscard]] TPair Expired() const { return Pair("expired"); }
  // For localhost and 127.0.0.1, by an authority nobody trusts.
  [[nodiscard]] TPair Untrusted() const { return Pair("untrusted"); }
  // For localhost and 127.0.0.1, signed by itself.
  [[nodiscard]] TPair SelfSigned() const { return Pair("selfsigned"); }
  // The SHA-256 fingerprint as the openssl command writes it ("AB:CD:...").
  [[nodiscard]] std::string Fingerprint(const TPair& pair) const;

 private:
  [[nodiscard]] TPair Pair(const std::string& name) const {
    return {dir_ / (name + ".pem"), dir_ / (name + ".key")};
  }
  void Run(const std::string& command) const;
  void Sign(const std::string& name, const std::string& authority, const std::string& names,
            const std::string& days) const;

  TTempDir dir_;
  std::string openssl_;
};

}  // namespace tarnwell::test
