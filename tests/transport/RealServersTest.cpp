#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <set>

#include "message/Headers.h"
#include "platform/Error.h"
#include "tests/support/Dovecot.h"
#include "tests/support/SmtpServer.h"
#include "tests/support/TestSupport.h"
#include "transport/POP.h"
#include "transport/SMTP.h"

namespace tarnwell {
namespace {

using test::ErrorOf;
using Lines = std::vector<std::string>;

// One Dovecot for the whole program; each test has a user of its own.
test::TDovecot& Dovecot() {
  static std::unique_ptr<test::TDovecot> dovecot;
  if (!dovecot) dovecot = std::make_unique<test::TDovecot>();
  return *dovecot;
}

std::string CrLf(const std::string& text) {
  std::string result;
  for (const char c : text) {
    if (c == '\n') result += '\r';
    result += c;
  }
  return result;
}

void Prepare(TPOP3& pop, const std::string& user, const std::string& password) {
  pop.Host = "127.0.0.1";
  pop.Port = Dovecot().Port();
  pop.UserName = user;
  pop.Password = password;
  pop.Domain = "example.org";
}

TEST(DovecotTest, SessionListsFetchesAndDeletes) {
  Dovecot().AddUser("session", "pw1");
  const Lines texts{"From: a@example.org\nSubject: one\n\nfirst body\n",
                    "From: b@example.org\nSubject: two\n folded\n\n.leading dot\nsecond\n",
                    "Subject: three\n\nthird\n"};
  for (const std::string& text : texts) Dovecot().Deliver("session", text);

  TPOP3 pop;
  Prepare(pop, "session", "pw1");
  pop.Login();
  ASSERT_EQ(pop.MessageCount(), 3);
  Lines uids, sizes;
  ASSERT_TRUE(pop.UidlAll(uids));
  ASSERT_EQ(uids.size(), 3u);
  EXPECT_EQ(std::set<std::string>(uids.begin(), uids.end()).size(), 3u);
  ASSERT_TRUE(pop.ListAll(sizes));
  EXPECT_EQ(sizes,
            (Lines{std::to_string(CrLf(texts[0]).size()), std::to_string(CrLf(texts[1]).size()),
                   std::to_string(CrLf(texts[2]).size())}));
  EXPECT_EQ(pop.UidlOne(2), uids[1]);
  EXPECT_EQ(pop.ListOne(3), static_cast<int32_t>(CrLf(texts[2]).size()));

  Lines headers, body;
  pop.Top(2, headers, body);
  EXPECT_EQ(headers, (Lines{"From: b@example.org", "Subject: two folded"}));
  EXPECT_EQ(body, (Lines{".leading dot"}));
  pop.Retr(2, &headers, body);
  EXPECT_EQ(body, (Lines{".leading dot", "second"}));
  pop.Retr(1, nullptr, body);
  EXPECT_EQ(body, (Lines{"first body"}));

  pop.Dele(1);
  EXPECT_EQ(pop.MessageCount(), 2);
  pop.Quit();
  EXPECT_FALSE(pop.Connection().Connected());

  const Lines left = Dovecot().Messages("session");
  ASSERT_EQ(left.size(), 2u);
  EXPECT_EQ(left[0], texts[1]);
  pop.SetTimeout(45);
  pop.Login();
  EXPECT_EQ(pop.MessageCount(), 2);
  Lines again;
  ASSERT_TRUE(pop.UidlAll(again));
  EXPECT_EQ(again, (Lines{uids[1], uids[2]}));
  pop.Quit();
}

TEST(DovecotTest, WrongPasswordGivesTheServersRefusal) {
  Dovecot().AddUser("refused", "right");
  TPOP3 pop;
  Prepare(pop, "refused", "wrong");
  EXPECT_EQ(ErrorOf([&] { pop.Login(); }),
            "The user name or password is incorrect, or another program is reading e-mail.\r "
            "(-ERR [AUTH] Authentication failed.)");
}

void Prepare(TSMTP& smtp, const test::TSmtpServer& server) {
  smtp.Host = "127.0.0.1";
  smtp.Port = server.Port();
  smtp.ClientName = "client.test";
  smtp.Domain = "example.org";
}

TEST(AiosmtpdTest, SendsMessagesWithoutLogin) {
  test::TSmtpServer server;
  TSMTP smtp;
  Prepare(smtp, server);
  smtp.Login();
  THeaders headers(Lines{"From: me@example.org", "Subject: hello"});
  Lines recipients{"you@example.net", "copy@example.net"};
  Lines text{".dot first", "plain", "a=b"};
  smtp.SendMail("Tester <me@example.org>", recipients, text, headers);
  smtp.Reset();
  THeaders second(Lines{"Subject: again", "MIME-Version: 1.0"});
  Lines one{"you@example.net"};
  Lines plain{"."};
  smtp.SendMail("me@example.org", one, plain, second);
  smtp.Quit();

  const auto received = server.Received();
  ASSERT_EQ(received.size(), 2u);
  EXPECT_EQ(received[0].envelope,
            (Lines{"FROM me@example.org", "TO you@example.net", "TO copy@example.net"}));
  EXPECT_EQ(received[0].data,
            "From: me@example.org\r\nSubject: hello\r\nMIME-Version: 1.0\r\n"
            "Content-Type: text/plain; charset=\"iso-8859-1\"\r\n"
            "Content-Transfer-Encoding: quoted-printable\r\n\r\n"
            ".dot first\r\nplain\r\na=3Db\r\n");
  EXPECT_EQ(received[1].data, "Subject: again\r\nMIME-Version: 1.0\r\n\r\n.\r\n");
}

TEST(AiosmtpdTest, AuthLoginIsNeededAndAccepted) {
  test::TSmtpServer server("mailer", "pa55");
  for (const char* password : {"pa55", "wrong"}) {
    TSMTP smtp;
    Prepare(smtp, server);
    smtp.UseAuth = true;
    smtp.AuthUser = "mailer";
    smtp.AuthPassword = password;
    smtp.Login();
    THeaders headers(Lines{"Subject: authed"});
    Lines recipients{"you@example.net"};
    Lines text{"hi"};
    const std::string error =
        ErrorOf([&] { smtp.SendMail("me@example.org", recipients, text, headers); });
    if (std::string(password) == "pa55") {
      EXPECT_EQ(error, "(no error)");
      smtp.Quit();
    } else {
      EXPECT_EQ(error, "Mail transfer error, code 530. 530 5.7.0 Authentication required");
    }
  }
  const auto received = server.Received();
  ASSERT_EQ(received.size(), 1u);
  EXPECT_EQ(received[0].envelope,
            (Lines{"FROM me@example.org", "TO you@example.net", "AUTH mailer"}));
}

}  // namespace
}  // namespace tarnwell
