#include <gtest/gtest.h>

#include <algorithm>

#include "message/Base64.h"
#include "message/Headers.h"
#include "platform/Error.h"
#include "shell/LogFile.h"
#include "tests/support/ChildProcess.h"
#include "tests/support/ScriptedServer.h"
#include "tests/support/TestSupport.h"
#include "transport/SMTP.h"

namespace tarnwell {
namespace {

using test::ErrorOf;
using test::LogHas;
using test::TScriptedServer;
using Lines = std::vector<std::string>;

class SmtpTest : public ::testing::Test {
 protected:
  void SetUp() override {
    smtp.Host = "127.0.0.1";
    smtp.Port = server.Port();
    smtp.ClientName = "client.test";
    smtp.Domain = "example.org";
    log.AssignFileName(dir / "Tarnwell.log");
    log.SetEnabled(true);
    smtp.SetLog(&log);
  }

  void ScriptGreeting() {
    server.Send("220 mail.test ESMTP\r\n").Expect("EHLO client.test\r\n").Send("250 mail.test\r\n");
  }

  test::TTempDir dir;
  TLogFile log;
  TScriptedServer server;
  TSMTP smtp;
};

TEST_F(SmtpTest, MultiLineEhloReplyIsCompleteOnlyAtItsLastLine) {
  server.Send("220-mail.test ESMTP\r\n220 welcome\r\n")
      .Expect("EHLO client.test\r\n")
      .Send("250-mail.test\r\n250-SIZE 1000")
      .Pause()
      .Send("0\r\n250-8BITMIME\r\n")
      .Pause()
      .Send("250 HELP\r\n")
      .Expect("QUIT\r\n")
      .Send("221 bye\r\n")
      .Close();
  smtp.Login();
  EXPECT_EQ(smtp.Reply(), "250 HELP\r\n");
  smtp.Quit();
  EXPECT_FALSE(smtp.Connection().Connected());
}

// Each reply comes whole, then in two pieces cut after every byte in turn, and is taken at its
// last line as the whole reply is; the next command goes out only once it is whole.
TEST_F(SmtpTest, RepliesCutAnywhereAreTakenAtTheLastLineOfTheWhole) {
  const struct {
    std::string reply, last;
  } cases[] = {
      {"250 2.0.0 reset\r\n", "250 2.0.0 reset\r\n"},
      {"250-mail.test\r\n250-SIZE 10000\r\n250 HELP\r\n", "250 HELP\r\n"},
      {"250-first\n250 last-line\n", "250 last-line\n"},
  };
  ScriptGreeting();
  for (const auto& c : cases) {
    server.Expect("RSET\r\n").Send(c.reply);
    for (size_t cut = 1; cut < c.reply.size(); ++cut)
      server.Expect("RSET\r\n").Send(c.reply.substr(0, cut)).Pause().Send(c.reply.substr(cut));
  }
  // A reply whose end is missed runs into the timeout, which passes at once here.
  test::TManualClock clock;
  test::TClockRunner runner(clock, 1000);
  smtp.Login();
  for (const auto& c : cases) {
    SCOPED_TRACE(test::Visible(c.reply));
    std::string whole = c.reply;
    KeepLastReplyLine(whole);
    ASSERT_EQ(whole, c.last);
    ASSERT_TRUE(IsCompleteSMTPReply(whole));
    for (size_t cut = 0; cut < c.reply.size(); ++cut) {
      smtp.Reset();
      ASSERT_EQ(smtp.Reply(), c.last) << "cut after " << cut << " bytes (0: whole)";
    }
  }
}

TEST_F(SmtpTest, RefusedEhloFallsBackToHelo) {
  server.Send("220 old.test SMTP\r\n")
      .Expect("EHLO client.test\r\n")
      .Send("500 Command unrecognized\r\n")
      .Expect("HELO client.test\r\n")
      .Send("250 old.test\r\n");
  EXPECT_NO_THROW(smtp.Login());
}

TEST_F(SmtpTest, AuthLoginSendsBase64AndKeepsTheCredentialsOutOfTheLog) {
  ScriptGreeting();
  server.Expect("AUTH LOGIN\r\n")
      .Send("334 VXNlcm5hbWU6\r\n")
      .Expect(TBase64::Encode("mailer") + "\r\n")
      .Send("334 UGFzc3dvcmQ6\r\n")
      .Expect(TBase64::Encode("pa55word") + "\r\n")
      .Send("235 2.7.0 Authentication successful\r\n");
  smtp.UseAuth = true;
  smtp.AuthUser = "mailer";
  smtp.AuthPassword = "pa55word";
  smtp.Login();
  EXPECT_TRUE(LogHas(log, "[SMTP: <user name removed>]"));
  EXPECT_TRUE(LogHas(log, "[SMTP: <password removed>]"));
  EXPECT_FALSE(LogHas(log, TBase64::Encode("pa55word")));
  EXPECT_FALSE(LogHas(log, TBase64::Encode("mailer")));
}

TEST_F(SmtpTest, SendMailEncodesFoldsBracketsAndStuffsDots) {
  ScriptGreeting();
  const std::string longHeader = "X-Long:" + std::string(1493, 'a');
  const std::string x200(200, 'x');
  server.Expect("MAIL FROM:<me@[192.168.1.2]>\r\n")
      .Send("250 ok\r\n")
      .Expect("RCPT TO:<you@[10.0.0.1]>\r\n")
      .Send("250 ok\r\n")
      .Expect("RCPT TO:<other@example.org>\r\n")
      .Send("250 ok\r\n")
      .Expect("DATA\r\n")
      .Send("354 go ahead\r\n")
      .Expect("Subject: hi\r\n" + longHeader.substr(0, 998) + "\r\n\t" + std::string(502, 'a') +
              "\r\nMIME-Version: 1.0\r\n"
              "Content-Type: text/plain; charset=\"iso-8859-1\"\r\n"
              "Content-Transfer-Encoding: quoted-printable\r\n"
              "\r\n"
              "..hidden\r\n"
              "..\r\n"
              "a=3Db =E9\r\n" +
              std::string(73, 'x') + "=\r\n" + std::string(73, 'x') + "=\r\n" +
              std::string(54, 'x') + "\r\n.\r\n")
      .Send("250 queued\r\n")
      .Expect("RSET\r\n")
      .Send("250 reset\r\n");
  smtp.Login();
  THeaders headers(Lines{"Subject: hi", longHeader});
  Lines recipients{"you@10.0.0.1", "other@example.org"};
  Lines text{".hidden", ".", "a=b \xE9", x200};
  smtp.SendMail("Tarnwell <me@192.168.1.2>", recipients, text, headers);
  smtp.Reset();
  EXPECT_EQ(recipients, (Lines{"you@[10.0.0.1]", "other@example.org"}));
  EXPECT_EQ(headers.ValueOf("MIME-Version"), "1.0");
  EXPECT_TRUE(LogHas(log, "[SMTP: Done sending.]"));
  EXPECT_TRUE(LogHas(log, "[SMTP: About to send; body is 6 lines.]"));
}

TEST_F(SmtpTest, MessageWithMimeVersionIsSentAsItIs) {
  ScriptGreeting();
  server.Expect("MAIL FROM:<me@example.org>\r\n")
      .Send("250 ok\r\n")
      .Expect("RCPT TO:<you@example.org>\r\n")
      .Send("250 ok\r\n")
      .Expect("DATA\r\n")
      .Send("354 go ahead\r\n")
      .Expect("MIME-Version: 1.0\r\nSubject: raw\r\n\r\na=b \xE9\r\n.\r\n")
      .Send("250 queued\r\n");
  smtp.Login();
  THeaders headers(Lines{"MIME-Version: 1.0", "Subject: raw"});
  Lines recipients{"you@example.org"};
  Lines text{"a=b \xE9"};
  smtp.SendMail("me@example.org", recipients, text, headers);
  EXPECT_EQ(text, (Lines{"a=b \xE9"}));
}

TEST_F(SmtpTest, RefusedRecipientStopsTheMessageBeforeData) {
  ScriptGreeting();
  server.Expect("MAIL FROM:<me@example.org>\r\n")
      .Send("250 ok\r\n")
      .Expect("RCPT TO:<first@example.org>\r\n")
      .Send("250 ok\r\n")
      .Expect("RCPT TO:<second@example.org>\r\n")
      .Send("550 5.1.1 No such user\r\n");
  smtp.Login();
  THeaders headers(Lines{"Subject: x"});
  Lines recipients{"first@example.org", "second@example.org", "third@example.org"};
  Lines text{"body"};
  EXPECT_EQ(ErrorOf([&] { smtp.SendMail("me@example.org", recipients, text, headers); }),
            "Mail transfer error, code 550. 550 5.1.1 No such user");
  EXPECT_TRUE(LogHas(log, "[SMTP: Raising exception: Mail transfer error, code 550."));
  EXPECT_FALSE(smtp.Connection().Connected());
}

struct TReplyText {
  const char* reply;
  const char* text;
};

class SmtpReplyTextTest : public SmtpTest, public ::testing::WithParamInterface<TReplyText> {};

TEST_P(SmtpReplyTextTest, RefusedCommandGivesTheCodesText) {
  ScriptGreeting();
  server.Expect("MAIL FROM:<me@example.org>\r\n").Send(std::string(GetParam().reply) + "\r\n");
  smtp.Login();
  THeaders headers;
  Lines recipients{"you@example.org"}, text;
  EXPECT_EQ(ErrorOf([&] { smtp.SendMail("me@example.org", recipients, text, headers); }),
            GetParam().text);
}

INSTANTIATE_TEST_SUITE_P(
    Codes, SmtpReplyTextTest,
    ::testing::Values(TReplyText{"421 closing", "Mail service not available. 421 closing"},
                      TReplyText{"452 full", "Mail server out of resources. 452 full"},
                      TReplyText{"552 too big", "Mail server out of resources. 552 too big"},
                      TReplyText{"554 no", "Mail transaction failed. 554 no"},
                      TReplyText{
                          "530 5.7.0 Authentication required",
                          "Mail transfer error, code 530. 530 5.7.0 Authentication required"}));

TEST_F(SmtpTest, RefusedGreetingIsRaisedByLogin) {
  server.Send("554 go away\r\n");
  EXPECT_EQ(ErrorOf([&] { smtp.Login(); }), "Mail transaction failed. 554 go away");
}

TEST_F(SmtpTest, SilentServerTimesOut) {
  test::TManualClock clock;
  test::TClockRunner runner(clock, 1000);
  smtp.SetTimeout(20);
  EXPECT_EQ(ErrorOf([&] { smtp.Login(); }), "The operation timed out.");
}

TEST_F(SmtpTest, StopDuringAWaitAbortsTheCommand) {
  ScriptGreeting();
  server.Expect("MAIL FROM:<me@example.org>\r\n").Call([&] { smtp.Abort(true); });
  smtp.Login();
  THeaders headers;
  Lines recipients{"you@example.org"}, text;
  EXPECT_EQ(ErrorOf([&] { smtp.SendMail("me@example.org", recipients, text, headers); }),
            "The operation was aborted manually.");
}

TEST_F(SmtpTest, ServerHangingUpBeforeItsReplyFailsAtOnce) {
  ScriptGreeting();
  server.Expect("MAIL FROM:<me@example.org>\r\n").Send("25").Close();
  smtp.Login();
  THeaders headers;
  Lines recipients{"you@example.org"}, text;
  EXPECT_EQ(ErrorOf([&] { smtp.SendMail("me@example.org", recipients, text, headers); }),
            "Connection reset by peer");
}

TEST_F(SmtpTest, QuitAgainstAServerThatStaysClosesByForceWithoutError) {
  test::TManualClock clock;
  ScriptGreeting();
  server.Expect("QUIT\r\n").Send("221 bye, but I stay\r\n");
  smtp.Login();
  const int64_t start = clock.MonotonicMs();
  test::TClockRunner runner(clock, 1000);
  EXPECT_NO_THROW(smtp.Quit());
  EXPECT_GE(clock.MonotonicMs() - start, 30000);
  EXPECT_FALSE(smtp.Connection().Connected());
}

TEST(SmtpConnectTest, RefusedConnectionAndUnknownHostGiveTheSocketTexts) {
  const test::TBoundPort refusing;
  TSMTP smtp;
  smtp.Host = "127.0.0.1";
  smtp.Port = refusing.Port();
  EXPECT_EQ(ErrorOf([&] { smtp.Login(); }), "Connection refused");
  smtp.Host = "no-such-host.invalid";
  EXPECT_EQ(ErrorOf([&] { smtp.Login(); }), "Host not found");
}

TEST(SmtpReplyTest, OnlyTheLastLineOfAReplyIsKept) {
  std::string reply = "250-a\r\n250-b\r\n250 c";
  KeepLastReplyLine(reply);
  EXPECT_EQ(reply, "250 c");
  EXPECT_FALSE(IsCompleteSMTPReply(reply));
  reply += "\r\n";
  KeepLastReplyLine(reply);
  EXPECT_TRUE(IsCompleteSMTPReply(reply));
  EXPECT_FALSE(IsCompleteSMTPReply("250-more\r\n"));
}

}  // namespace
}  // namespace tarnwell
