#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace tarnwell {

// The shape of a security support provider interface: packages, credentials for a user, and a
// context that turns the server's challenges into the client's tokens. The program's library
// offers NTLM under the package names "MSN" and "NTLM".
using TSecStatus = uint32_t;
enum : TSecStatus {
  secOk = 0,
  secContinueNeeded = 0x00090312,
  secInvalidHandle = 0x80090301,
  secInternalError = 0x80090304,
  secPackageNotFound = 0x80090305,
  secInvalidToken = 0x80090308,
  secNoCredentials = 0x8009030E,
  secBufferTooSmall = 0x80090321,
};
enum : uint32_t {
  iscReqUseSuppliedCreds = 0x80,
  iscReqConnection = 0x800,
  secpkgCredOutbound = 2,
};

struct TSecPkgInfo {
  std::string Name;
  std::string Comment;
  uint32_t MaxToken = 0;
};

struct TSecAuthIdentity {
  std::string User;
  std::string Domain;
  std::string Password;
  uint32_t Flags = 0;
};

class TCredentialsHandle {
 public:
  virtual ~TCredentialsHandle() = default;
};

class TSecurityContext {
 public:
  virtual ~TSecurityContext() = default;
};

// A loaded security library; releasing a handle or a context is destroying it.
class TSecurityFunctions {
 public:
  virtual ~TSecurityFunctions() = default;
  virtual TSecStatus EnumerateSecurityPackages(std::vector<TSecPkgInfo>& packages) = 0;
  virtual TSecStatus AcquireCredentialsHandle(std::string_view package, uint32_t credentialUse,
                                              const TSecAuthIdentity& identity,
                                              std::unique_ptr<TCredentialsHandle>& credentials) = 0;
  // Without a context, starts one; `output` receives the next token to send.
  virtual TSecStatus InitializeSecurityContext(TCredentialsHandle& credentials,
                                               std::unique_ptr<TSecurityContext>& context,
                                               uint32_t requirements, std::string_view input,
                                               std::string& output) = 0;
};

// The program's security library, or nullptr when it cannot be used.
using TSecurityLoader = TSecurityFunctions* (*)();
[[nodiscard]] TSecurityFunctions* LoadSecurityLibrary();
// Replaces the loader (tests); nullptr restores the program's own.
void SetSecurityLoader(TSecurityLoader loader);

}  // namespace tarnwell
