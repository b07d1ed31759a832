#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <functional>
#include <memory>
#include <optional>

#include "message/Base64.h"
#include "message/Headers.h"
#include "platform/Error.h"
#include "platform/LineConnection.h"
#include "platform/ServerError.h"
#include "shell/LogFile.h"
#include "tests/support/Certificates.h"
#include "tests/support/Dovecot.h"
#include "tests/support/NtlmServer.h"
#include "tests/support/ScriptedServer.h"
#include "tests/support/SmtpServer.h"
#include "tests/support/TestSupport.h"
#include "tests/support/TlsProxy.h"
#include "tests/transport/TlsServers.h"
#include "transport/POP.h"
#include "transport/SMTP.h"

namespace tarnwell {
namespace {

using test::Certificates;
using test::ErrorOf;

// The error that `action` raises, and what it says about its server: "ROLE host:port", what
// the TLS failure means and the certificate's fingerprint.
struct TFailure {
  std::string text;
  std::string server;
  TTlsFault tls = TTlsFault::None;
  std::string fingerprint;
};
TFailure FailureOf(const std::function<void()>& action) {
  try {
    action();
  } catch (const EServerError& error) {
    const TServerPlace& place = error.Place();
    return {error.what(), place.Role + " " + place.Host + ":" + std::to_string(place.Port),
            place.Tls, place.Fingerprint};
  } catch (const std::exception& error) {
    return {error.what(), "no place", TTlsFault::None, ""};
  }
  return {"no error", "no place", TTlsFault::None, ""};
}
using Lines = std::vector<std::string>;
using test::TSmtpServer;
using TTlsMode = test::TSmtpTlsMode;

// The test authority is trusted; the log goes to a Tarnwell.log of the test's own.
class TlsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    TLineConnection::SetExtraCaFile(Certificates().CaFile());
    log.AssignFileName(dir / "Tarnwell.log");
    log.SetEnabled(true);
  }
  void TearDown() override { TLineConnection::SetExtraCaFile(""); }

  void Prepare(TSMTP& smtp, int port, int32_t security) {
    smtp.Host = "127.0.0.1";
    smtp.Port = port;
    smtp.ClientName = "client.test";
    smtp.Domain = "example.org";
    smtp.Security = security;
    smtp.SetLog(&log);
  }

  // Logs in with AUTH LOGIN and sends one message.
  void SendOne(TSMTP& smtp) {
    smtp.UseAuth = true;
    smtp.AuthUser = "mailer";
    smtp.AuthPassword = "pa55word";
    smtp.Login();
    THeaders headers(Lines{"From: me@example.org", "Subject: complaint"});
    Lines recipients{"abuse@example.net"};
    Lines text{"Spam came from you."};
    smtp.SendMail("me@example.org", recipients, text, headers);
    smtp.Quit();
  }

  [[nodiscard]] std::string LogText() const { return test::ReadFileText(dir / "Tarnwell.log"); }

  test::TTempDir dir;
  TLogFile log;
};

struct TPopMode {
  const char* user;
  int32_t security;
};

class PopTlsTest : public TlsTest, public ::testing::WithParamInterface<TPopMode> {};

TEST_P(PopTlsTest, FullSessionInsideTls) {
  const TPopMode mode = GetParam();
  test::TlsDovecot().Deliver(mode.user, "Subject: one\n\nfirst\n");
  test::TlsDovecot().Deliver(mode.user, "Subject: two\n\n.dotted\nsecond\n");

  TPOP3 pop;
  pop.Host = "127.0.0.1";
  pop.Port = mode.security == scTls ? test::TlsDovecot().TlsPort() : test::TlsDovecot().Port();
  pop.UserName = mode.user;
  pop.Password = "pop-s3cret";
  pop.Domain = "example.org";
  pop.Security = mode.security;
  pop.SetLog(&log);
  pop.Login();
  EXPECT_TRUE(pop.Connection().Secure());
  ASSERT_EQ(pop.MessageCount(), 2);
  Lines uids, headers, body;
  ASSERT_TRUE(pop.UidlAll(uids));
  EXPECT_EQ(uids.size(), 2u);
  pop.Top(1, headers, body);
  EXPECT_EQ(headers, (Lines{"Subject: one"}));
  pop.Retr(2, nullptr, body);
  EXPECT_EQ(body, (Lines{".dotted", "second"}));
  pop.Dele(1);
  pop.Quit();
  const Lines left = test::TlsDovecot().Messages(mode.user);
  ASSERT_EQ(left.size(), 1u);
  EXPECT_NE(left[0].find("Subject: two"), std::string::npos);

  const std::string logged = LogText();
  EXPECT_NE(logged.find("PASS <password removed>"), std::string::npos);
  EXPECT_EQ(logged.find("pop-s3cret"), std::string::npos);
}

INSTANTIATE_TEST_SUITE_P(Modes, PopTlsTest,
                         ::testing::Values(TPopMode{"implicit", scTls},
                                           TPopMode{"upgraded", scStartTls}));

struct TSmtpMode {
  TTlsMode server;
  int32_t security;
};

class SmtpTlsTest : public TlsTest, public ::testing::WithParamInterface<TSmtpMode> {};

TEST_P(SmtpTlsTest, ComplaintGoesOutInsideTls) {
  const TSmtpMode mode = GetParam();
  const auto good = Certificates().Good();
  TSmtpServer server("mailer", "pa55word", {mode.server, good.cert, good.key});
  TSMTP smtp;
  Prepare(smtp, server.Port(), mode.security);
  SendOne(smtp);
  const auto received = server.Received();
  ASSERT_EQ(received.size(), 1u);
  EXPECT_EQ(received[0].envelope,
            (Lines{"FROM me@example.org", "TO abuse@example.net", "AUTH mailer"}));

  const std::string logged = LogText();
  EXPECT_NE(logged.find("Secure connection"), mode.security == scStartTls ? std::string::npos : 0);
  EXPECT_EQ(logged.find("pa55word"), std::string::npos);
  EXPECT_EQ(logged.find(TBase64::Encode("pa55word")), std::string::npos);
}

INSTANTIATE_TEST_SUITE_P(Modes, SmtpTlsTest,
                         ::testing::Values(TSmtpMode{TTlsMode::Tls, scTls},
                                           TSmtpMode{TTlsMode::StartTls, scStartTls}));

struct TRefusal {
  const char* name;
  test::TTestCertificates::TPair (test::TTestCertificates::*pair)() const;
  const char* host;
  const char* reason;
};

class RefusalTest : public TlsTest, public ::testing::WithParamInterface<TRefusal> {};

TEST_P(RefusalTest, CertificateIsRefusedWithReasonAndFingerprint) {
  const TRefusal refusal = GetParam();
  const auto pair = (Certificates().*refusal.pair)();
  TSmtpServer server("mailer", "pa55word", {TTlsMode::Tls, pair.cert, pair.key});
  TSMTP smtp;
  Prepare(smtp, server.Port(), scTls);
  smtp.Host = refusal.host;
  const TFailure failure = FailureOf([&] { SendOne(smtp); });
  EXPECT_EQ(failure.text, "The certificate of " + std::string(refusal.host) +
                              " was refused: " + refusal.reason + ". Its SHA-256 fingerprint is " +
                              Certificates().Fingerprint(pair) + ".");
  EXPECT_EQ(failure.server,
            "SMTP " + std::string(refusal.host) + ":" + std::to_string(server.Port()));
  EXPECT_EQ(failure.tls, TTlsFault::Certificate);
  EXPECT_EQ(failure.fingerprint, Certificates().Fingerprint(pair));
  EXPECT_TRUE(server.Received().empty());
}

INSTANTIATE_TEST_SUITE_P(
    Certificates, RefusalTest,
    ::testing::Values(TRefusal{"Expired", &test::TTestCertificates::Expired, "127.0.0.1",
                               "certificate has expired"},
                      TRefusal{"WrongAddress", &test::TTestCertificates::WrongHost, "127.0.0.1",
                               "IP address mismatch"},
                      TRefusal{"WrongName", &test::TTestCertificates::WrongHost, "localhost",
                               "hostname mismatch"},
                      TRefusal{"UnknownIssuer", &test::TTestCertificates::Untrusted, "127.0.0.1",
                               "unable to get local issuer certificate"},
                      TRefusal{"SelfSigned", &test::TTestCertificates::SelfSigned, "127.0.0.1",
                               "self-signed certificate"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(TlsTest, PinnedCertificateIsAcceptedAndNoOther) {
  const auto self = Certificates().SelfSigned();
  TSmtpServer server("mailer", "pa55word", {TTlsMode::Tls, self.cert, self.key});
  std::string pin;
  for (const char c : Certificates().Fingerprint(self))
    if (c != ':') pin += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  {
    TSMTP smtp;
    Prepare(smtp, server.Port(), scTls);
    smtp.CertPin = pin;
    SendOne(smtp);
  }
  EXPECT_EQ(server.Received().size(), 1u);

  const auto good = Certificates().Good();
  TSmtpServer trusted("mailer", "pa55word", {TTlsMode::Tls, good.cert, good.key});
  TSMTP smtp;
  Prepare(smtp, trusted.Port(), scTls);
  smtp.CertPin = pin;
  const TFailure failure = FailureOf([&] { SendOne(smtp); });
  EXPECT_EQ(failure.text,
            "The certificate of 127.0.0.1 is not the pinned one. Its SHA-256 fingerprint is " +
                Certificates().Fingerprint(good) + ".");
  EXPECT_EQ(failure.tls, TTlsFault::Certificate);
  EXPECT_EQ(failure.fingerprint, Certificates().Fingerprint(good));
}

TEST_F(TlsTest, RefusedStlsEndsTheLoginBeforeTheUserName) {
  test::TScriptedServer server;
  server.Send("+OK POP3 ready\r\n").Expect("STLS\r\n").Send("-ERR TLS not available\r\n").Pause();
  TPOP3 pop;
  pop.Host = "127.0.0.1";
  pop.Port = server.Port();
  pop.UserName = "alice";
  pop.Password = "s3cret";
  pop.Security = scStartTls;
  pop.SetLog(&log);
  EXPECT_EQ(ErrorOf([&] { pop.Login(); }),
            "The POP3 server 127.0.0.1 did not start a secure connection (STLS), so the login "
            "was not sent.\r (-ERR TLS not available)");
  EXPECT_TRUE(server.Finished());
  EXPECT_EQ(server.Transcript().find("USER"), std::string::npos);
  EXPECT_EQ(server.Transcript().find("PASS"), std::string::npos);
  EXPECT_EQ(LogText().find("s3cret"), std::string::npos);
}

TEST_F(TlsTest, SmtpWithoutStartTlsEndsTheLoginBeforeAuth) {
  test::TScriptedServer server;
  server.Send("220 mail ready\r\n")
      .Expect("EHLO client.test\r\n")
      .Send("250-mail\r\n250 SIZE 1000000\r\n")
      .Expect("STARTTLS\r\n")
      .Send("502 5.5.1 Command not implemented\r\n")
      .Pause();
  TSMTP smtp;
  Prepare(smtp, server.Port(), scStartTls);
  EXPECT_EQ(ErrorOf([&] { SendOne(smtp); }),
            "The SMTP server 127.0.0.1 did not start a secure connection (STARTTLS), so the "
            "login was not sent. 502 5.5.1 Command not implemented");
  EXPECT_TRUE(server.Finished());
  EXPECT_EQ(server.Transcript().find("AUTH"), std::string::npos);
}

// NTLM inside TLS from the connect (through a TLS front end) and after the upgrade (the
// relay's own STLS and STARTTLS).
TEST_F(TlsTest, SecurePasswordLoginsRunInsideTls) {
  const auto good = Certificates().Good();
  for (const int32_t security : {scTls, scStartTls}) {
    SCOPED_TRACE(security);
    const bool upgrade = security == scStartTls;
    const test::TNtlmServer::TStartTls startTls =
        upgrade ? test::TNtlmServer::TStartTls{good.cert, good.key}
                : test::TNtlmServer::TStartTls{};
    test::TNtlmServer popServer(test::TNtlmServer::TMode::Pop3, "alice", "s3cret", "MSN", startTls);
    std::optional<test::TTlsProxy> popProxy;
    if (!upgrade) popProxy.emplace(popServer.Port(), good.cert, good.key);
    TPOP3 pop;
    pop.Host = "127.0.0.1";
    pop.Port = upgrade ? popServer.Port() : popProxy->Port();
    pop.UserName = "alice";
    pop.Domain = "example.org";
    pop.Password = "s3cret";
    pop.UseSPA = true;
    pop.Security = security;
    pop.Login();
    EXPECT_EQ(pop.State(), TPOP3::psLoggedIn);
    EXPECT_TRUE(pop.Connection().Secure());
    pop.Quit();

    test::TNtlmServer smtpServer(test::TNtlmServer::TMode::Smtp, "alice", "s3cret", "MSN",
                                 startTls);
    std::optional<test::TTlsProxy> smtpProxy;
    if (!upgrade) smtpProxy.emplace(smtpServer.Port(), good.cert, good.key);
    TSMTP smtp;
    Prepare(smtp, upgrade ? smtpServer.Port() : smtpProxy->Port(), security);
    smtp.UseAuth = true;
    smtp.UseSPA = true;
    smtp.AuthUser = "alice";
    smtp.AuthPassword = "s3cret";
    smtp.Login();
    EXPECT_TRUE(smtp.Connection().Secure());
    THeaders headers(Lines{"Subject: secure"});
    Lines recipients{"you@example.net"};
    Lines text{"hello"};
    EXPECT_NO_THROW(smtp.SendMail("alice@example.org", recipients, text, headers));
    smtp.Quit();
  }
  EXPECT_EQ(LogText().find("s3cret"), std::string::npos);
}

// A port whose connections the kernel completes but nobody ever answers.
class TDeafListener {
 public:
  TDeafListener() : fd_(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0)) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    if (fd_ < 0 || ::bind(fd_, reinterpret_cast<sockaddr*>(&address), length) != 0 ||
        ::listen(fd_, 4) != 0 ||
        ::getsockname(fd_, reinterpret_cast<sockaddr*>(&address), &length) != 0)
      throw std::runtime_error("cannot listen");
    port_ = ntohs(address.sin_port);
  }
  ~TDeafListener() { ::close(fd_); }
  TDeafListener(const TDeafListener&) = delete;
  TDeafListener& operator=(const TDeafListener&) = delete;
  [[nodiscard]] int Port() const { return port_; }

 private:
  int fd_;
  int port_ = 0;
};

// A handshake from the connect that nobody answers is taken for a plain server waiting for the
// client to speak first.
TEST_F(TlsTest, HandshakeWithASilentServerTimesOut) {
  TDeafListener deaf;
  test::TManualClock clock;
  test::TClockRunner runner(clock, 1000);
  TPOP3 pop;
  pop.Host = "127.0.0.1";
  pop.Port = deaf.Port();
  pop.UserName = "alice";
  pop.Password = "s3cret";
  pop.Security = scTls;
  pop.SetTimeout(20);
  TFailure failure = FailureOf([&] { pop.Login(); });
  EXPECT_EQ(failure.text, "The operation timed out.");
  EXPECT_EQ(failure.tls, TTlsFault::NotTls);
  TSMTP smtp;
  Prepare(smtp, deaf.Port(), scTls);
  smtp.SetTimeout(20);
  failure = FailureOf([&] { smtp.Login(); });
  EXPECT_EQ(failure.text, "The operation timed out.");
  EXPECT_EQ(failure.tls, TTlsFault::NotTls);
}

// The servers' greetings in the clear are read as TLS records with a wrong version. Each
// server goes before the next client runs, or it would take the handshake it was sent for a
// command out of turn.
TEST_F(TlsTest, ServerThatDoesNotSpeakTlsFailsTheHandshake) {
  {
    test::TScriptedServer server;
    server.Send("+OK POP3 in the clear\r\n");
    TPOP3 pop;
    pop.Host = "127.0.0.1";
    pop.Port = server.Port();
    pop.Security = scTls;
    const TFailure failure = FailureOf([&] { pop.Login(); });
    EXPECT_EQ(failure.text, "The secure connection to 127.0.0.1 failed: wrong version number.");
    EXPECT_EQ(failure.server, "POP3 127.0.0.1:" + std::to_string(server.Port()));
    EXPECT_EQ(failure.tls, TTlsFault::NotTls);
  }
  test::TScriptedServer server;
  server.Send("220 mail ready in the clear\r\n");
  TSMTP smtp;
  Prepare(smtp, server.Port(), scTls);
  const TFailure failure = FailureOf([&] { smtp.Login(); });
  EXPECT_EQ(failure.server, "SMTP 127.0.0.1:" + std::to_string(server.Port()));
  EXPECT_EQ(failure.tls, TTlsFault::NotTls);
}

}  // namespace
}  // namespace tarnwell
