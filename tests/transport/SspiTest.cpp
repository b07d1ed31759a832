#include <gtest/gtest.h>
#include <ntlm.h>

#include "message/Base64.h"
#include "message/Headers.h"
#include "platform/Error.h"
#include "tests/support/ChildProcess.h"
#include "tests/support/NtlmServer.h"
#include "tests/support/ScriptedServer.h"
#include "tests/support/TestSupport.h"
#include "transport/POP.h"
#include "transport/SMTP.h"
#include "transport/SSPI.h"

namespace tarnwell {
namespace {

using test::ErrorOf;
using test::TNtlmServer;
using Lines = std::vector<std::string>;

// Puts the program's own security library back at the end of a test that replaced it.
struct TLoaderGuard {
  explicit TLoaderGuard(TSecurityLoader loader) { SetSecurityLoader(loader); }
  ~TLoaderGuard() { SetSecurityLoader(nullptr); }
};

// The real library, noting the requirements of every context call.
class TRecordingLibrary : public TSecurityFunctions {
 public:
  TSecStatus EnumerateSecurityPackages(std::vector<TSecPkgInfo>& packages) override {
    return real->EnumerateSecurityPackages(packages);
  }
  TSecStatus AcquireCredentialsHandle(std::string_view package, uint32_t use,
                                      const TSecAuthIdentity& identity,
                                      std::unique_ptr<TCredentialsHandle>& credentials) override {
    return real->AcquireCredentialsHandle(package, use, identity, credentials);
  }
  TSecStatus InitializeSecurityContext(TCredentialsHandle& credentials,
                                       std::unique_ptr<TSecurityContext>& context,
                                       uint32_t requirements, std::string_view input,
                                       std::string& output) override {
    this->requirements.push_back(requirements);
    return real->InitializeSecurityContext(credentials, context, requirements, input, output);
  }

  TSecurityFunctions* real = LoadSecurityLibrary();
  std::vector<uint32_t> requirements;
};

TRecordingLibrary* recording = nullptr;

void PreparePop3(TPOP3& pop, int port, const std::string& password) {
  pop.Host = "127.0.0.1";
  pop.Port = port;
  pop.UserName = "alice";
  pop.Domain = "example.org";
  pop.Password = password;
  pop.UseSPA = true;
}

TEST(SspiTest, MissingPackageIsReported) {
  TSSPI sspi("Kerberos");
  EXPECT_FALSE(sspi.Initialize());
  EXPECT_EQ(sspi.ErrorText(), "The requested sequrity package is not installed.");
  TSSPI msn("MSN");
  EXPECT_TRUE(msn.Initialize());
}

TEST(SspiTest, WithoutASecurityLibraryTheSecureLoginFails) {
  TLoaderGuard guard([]() -> TSecurityFunctions* { return nullptr; });
  const test::TBoundPort refusing;
  TPOP3 pop;
  PreparePop3(pop, refusing.Port(), "x");
  EXPECT_EQ(ErrorOf([&] { pop.Login(); }), "There is no security library available.");
}

TEST(SspiTest, ErrorAnswerToAuthIsTakenAsAChallengeAndFailsInTheSecuritySystem) {
  tSmbNtlmAuthRequest request;
  buildSmbNtlmAuthRequest_noatsplit(&request, "alice", "example.org");
  const std::string negotiate(reinterpret_cast<const char*>(&request), SmbLength(&request));
  test::TScriptedServer server;
  server.Send("+OK ready\r\n")
      .Expect("AUTH MSN\r\n")
      .Send("-ERR unknown command\r\n")
      .Expect(TBase64::Encode(negotiate) + "\r\n")
      .Send("-ERR unknown command\r\n");
  TPOP3 pop;
  PreparePop3(pop, server.Port(), "s3cret");
  EXPECT_EQ(ErrorOf([&] { pop.Login(); }),
            "An error occurred in the security system, code 80090308 "
            "(InitializeSecurityContext)");
}

TEST(SecureLoginTest, Pop3AgainstCyrusNtlm) {
  TNtlmServer server(TNtlmServer::TMode::Pop3, "alice", "s3cret");
  TRecordingLibrary library;
  recording = &library;
  TLoaderGuard guard([]() -> TSecurityFunctions* { return recording; });
  TPOP3 pop;
  PreparePop3(pop, server.Port(), "s3cret");
  pop.Login();
  EXPECT_EQ(pop.State(), TPOP3::psLoggedIn);
  EXPECT_EQ(pop.MessageCount(), 0);
  pop.Quit();
  pop.SetTimeout(45);
  pop.Password = "wrong";
  EXPECT_EQ(ErrorOf([&] { pop.Login(); }), "-ERR authentication failed");
  // Each exchange starts its context with the connection and supplied-credential requirements.
  EXPECT_EQ(library.requirements, (std::vector<uint32_t>{0x880, 0, 0x880, 0}));
}

TEST(SecureLoginTest, SmtpAgainstCyrusNtlm) {
  TNtlmServer server(TNtlmServer::TMode::Smtp, "alice", "s3cret");
  for (const char* password : {"s3cret", "wrong"}) {
    TSMTP smtp;
    smtp.Host = "127.0.0.1";
    smtp.Port = server.Port();
    smtp.ClientName = "client.test";
    smtp.Domain = "example.org";
    smtp.UseAuth = true;
    smtp.UseSPA = true;
    smtp.AuthUser = "alice";
    smtp.AuthPassword = password;
    if (std::string(password) == "wrong") {
      EXPECT_EQ(ErrorOf([&] { smtp.Login(); }), "535 5.7.8 Authentication credentials invalid");
      continue;
    }
    smtp.Login();
    THeaders headers(Lines{"Subject: secure"});
    Lines recipients{"you@example.net"};
    Lines text{"hello"};
    EXPECT_NO_THROW(smtp.SendMail("alice@example.org", recipients, text, headers));
    smtp.Quit();
  }
}

}  // namespace
}  // namespace tarnwell
