#include "transport/SSPIDefinitions.h"

#include <ntlm.h>

#include <cstring>

namespace tarnwell {

namespace {

// The largest token a package produces, as the Windows NTLM package reports it.
constexpr uint32_t kNtlmMaxToken = 2888;
// Signature, message type, target name, flags and the server's eight challenge bytes.
constexpr size_t kChallengeFixedPart = 32;
// The messages are built in buffers of 1024 bytes that hold each name twice in UTF-16.
constexpr size_t kMaxIdentityField = 200;

class TNtlmCredentials : public TCredentialsHandle {
 public:
  explicit TNtlmCredentials(TSecAuthIdentity identity) : identity(std::move(identity)) {}
  TSecAuthIdentity identity;
};

class TNtlmContext : public TSecurityContext {
 public:
  // 0: nothing sent; 1: negotiation sent, challenge awaited; 2: authentication sent.
  int step = 0;
};

uint32_t ReadLe32(const unsigned char* p) {
  return uint32_t{p[0]} | uint32_t{p[1]} << 8 | uint32_t{p[2]} << 16 | uint32_t{p[3]} << 24;
}

uint16_t ReadLe16(const unsigned char* p) { return static_cast<uint16_t>(p[0] | p[1] << 8); }

// libntlm reads the challenge through its own structure, following the target name's offset;
// only a challenge whose fields stay inside what arrived is handed to it.
bool ParseChallenge(std::string_view input, tSmbNtlmAuthChallenge& challenge) {
  if (input.size() < kChallengeFixedPart || input.size() > sizeof challenge) return false;
  const auto* bytes = reinterpret_cast<const unsigned char*>(input.data());
  if (std::memcmp(bytes, "NTLMSSP", 8) != 0 || ReadLe32(bytes + 8) != 2) return false;
  const size_t nameLength = ReadLe16(bytes + 12);
  const size_t nameOffset = ReadLe32(bytes + 16);
  if (nameLength > 0 && (nameOffset < kChallengeFixedPart || nameOffset > input.size() ||
                         nameLength > input.size() - nameOffset))
    return false;
  std::memset(&challenge, 0, sizeof challenge);
  std::memcpy(&challenge, input.data(), input.size());
  if (nameLength == 0) challenge.uDomain.offset = 0;
  return true;
}

class TNtlmLibrary : public TSecurityFunctions {
 public:
  TSecStatus EnumerateSecurityPackages(std::vector<TSecPkgInfo>& packages) override {
    packages = {{"NTLM", "NTLM Security Package", kNtlmMaxToken},
                {"MSN", "MSN Security Package", kNtlmMaxToken}};
    return secOk;
  }

  TSecStatus AcquireCredentialsHandle(std::string_view package, uint32_t credentialUse,
                                      const TSecAuthIdentity& identity,
                                      std::unique_ptr<TCredentialsHandle>& credentials) override {
    if (package != "NTLM" && package != "MSN") return secPackageNotFound;
    if (credentialUse != secpkgCredOutbound) return secNoCredentials;
    if (identity.User.size() > kMaxIdentityField || identity.Domain.size() > kMaxIdentityField ||
        identity.Password.size() > kMaxIdentityField)
      return secNoCredentials;
    credentials = std::make_unique<TNtlmCredentials>(identity);
    return secOk;
  }

  TSecStatus InitializeSecurityContext(TCredentialsHandle& credentials,
                                       std::unique_ptr<TSecurityContext>& context,
                                       uint32_t /*requirements*/, std::string_view input,
                                       std::string& output) override {
    auto* owner = dynamic_cast<TNtlmCredentials*>(&credentials);
    if (!owner) return secInvalidHandle;
    const TSecAuthIdentity& identity = owner->identity;
    if (!context) {
      context = std::make_unique<TNtlmContext>();
      tSmbNtlmAuthRequest request;
      buildSmbNtlmAuthRequest_noatsplit(&request, identity.User.c_str(), identity.Domain.c_str());
      output.assign(reinterpret_cast<const char*>(&request), SmbLength(&request));
      static_cast<TNtlmContext&>(*context).step = 1;
      return secContinueNeeded;
    }
    auto* ntlm = dynamic_cast<TNtlmContext*>(context.get());
    if (!ntlm || ntlm->step != 1) return secInvalidHandle;
    tSmbNtlmAuthChallenge challenge;
    if (!ParseChallenge(input, challenge)) return secInvalidToken;
    tSmbNtlmAuthResponse response;
    if (identity.Domain.empty()) {
      buildSmbNtlmAuthResponse_noatsplit(&challenge, &response, identity.User.c_str(),
                                         identity.Password.c_str());
    } else {
      // The library takes the domain from "user@domain"; the user part holds no "@".
      const std::string user = identity.User + "@" + identity.Domain;
      buildSmbNtlmAuthResponse(&challenge, &response, user.c_str(), identity.Password.c_str());
    }
    output.assign(reinterpret_cast<const char*>(&response), SmbLength(&response));
    ntlm->step = 2;
    return secOk;
  }
};

TSecurityFunctions* NtlmLibrary() {
  if (!ntlm_check_version(NTLM_VERSION)) return nullptr;
  static TNtlmLibrary library;
  return &library;
}

TSecurityLoader currentLoader = &NtlmLibrary;

}  // namespace

TSecurityFunctions* LoadSecurityLibrary() { return currentLoader(); }

void SetSecurityLoader(TSecurityLoader loader) { currentLoader = loader ? loader : &NtlmLibrary; }

}  // namespace tarnwell
