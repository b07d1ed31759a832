#pragma once

#include <cstdint>
#include <string>

namespace tarnwell {

class TRegistry;

// An account's outgoing-server settings, kept under the account's key.
class TSMTPInfo {
 public:
  // Reads the values in their stored order; one that cannot be read leaves it and those after
  // it at their defaults.
  void Load(const TRegistry& registry);
  void Save(TRegistry& registry) const;

  std::string SMTPServer;
  int32_t SMTPPort = 25;
  bool SMTPSPA = false;
  bool SMTPAuth = false;
  std::string SMTPAuthUser;
  // In clear; stored scrambled.
  std::string SMTPAuthPass;
  // A TSecurity value; stores made before it load as plain connections.
  int32_t SMTPSecurity = 0;
  // The SHA-256 fingerprint of a certificate the user accepted; empty when none.
  std::string SMTPCertPin;
};

}  // namespace tarnwell
