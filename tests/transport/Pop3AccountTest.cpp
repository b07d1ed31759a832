#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <functional>
#include <memory>

#include "accounts/AccountKinds.h"
#include "complaints/Complaint.h"
#include "complaints/Templates.h"
#include "filtering/FilterList.h"
#include "filtering/Filters.h"
#include "message/SvcString.h"
#include "platform/Files.h"
#include "platform/LineConnection.h"
#include "platform/Registry.h"
#include "platform/ServerError.h"
#include "shell/LogFile.h"
#include "shell/ProgramFolders.h"
#include "shell/Settings.h"
#include "tests/support/ChildProcess.h"
#include "tests/support/Dovecot.h"
#include "tests/support/ScriptedServer.h"
#include "tests/support/SmtpServer.h"
#include "tests/support/TestSupport.h"
#include "tests/support/program/ProgramEnvironment.h"
#include "tests/transport/TlsServers.h"
#include "transport/POP3Account.h"

namespace tarnwell {
namespace {

using test::ErrorOf;
using Lines = std::vector<std::string>;
using test::TScriptedServer;

// A program folder with the real filter list: a friend (ann@friends.org), a killing subject
// filter ("viagra") and a complaining one ("complain"); the user is me@example.com.
class Pop3AccountTest : public ::testing::Test, protected test::TProgramEnvironment {
 protected:
  Pop3AccountTest() {
    filters = std::make_unique<TFilterList>(dir / "Filters.dat");
    filters->Load(true);
    filters->AutoSave = false;
    filters->SetOwnNames({"me"}, {"example.com"});
    test::AddFriend(*filters, "ann", "friends.org");
    test::AddSubjectFilter(*filters, "viagra", acKill);
    test::AddSubjectFilter(*filters, "complain", acKillAfterComplaint);
    templates.Reload();
    InstallTemplates(&templates);
    InstallComplaintBuilder([](TAccount& owner, TEmail& message, TFilter* filter, uint8_t action) {
      CreateComplaints(message, filter, action, owner.Outbox);
    });
    account.Description = "Test";
    account.Name = "Me";
    account.Email = "me@example.com";
    account.DialUp = false;
    account.FilterList = filters.get();
    account.POP3Server = "127.0.0.1";
    account.POP3UserName = "me";
    account.Password = ScramblePassword("pw");
    account.OnError = [this](const std::exception& error) {
      errors.push_back(error.what());
      const TServerPlace* place = ServerPlaceOf(error);
      places.push_back(place ? place->Role + " " + place->Host + ":" + std::to_string(place->Port)
                             : "");
    };
    ForceDirectories(TProgramFolders::AccountsFolder());
    account.ID = 1;
    ForceDirectories(account.FolderPath() + "Inbox");
    ForceDirectories(account.FolderPath() + "Killed");
    account.SetFolders();
  }

  ~Pop3AccountTest() override {
    InstallComplaintBuilder(nullptr);
    InstallTemplates(nullptr);
  }

  static std::string Mail(const std::string& from, const std::string& subject,
                          const std::string& extra = "") {
    return "From: " + from + "\nTo: me@example.com\nSubject: " + subject +
           "\nDate: Thu, 14 Mar 2024 08:00:00 +0000\nMessage-Id: <" + subject.substr(0, 4) +
           "@mail.example.net>\n" + extra + "\nHello there.\n";
  }

  std::unique_ptr<TFilterList> filters;
  TTemplates templates;
  TPOP3Account account;
  Lines errors;
  // The server each error names ("POP3 127.0.0.1:110"), or "".
  Lines places;
};

test::TDovecot& Dovecot() {
  static std::unique_ptr<test::TDovecot> dovecot;
  if (!dovecot) dovecot = std::make_unique<test::TDovecot>();
  return *dovecot;
}

TEST_F(Pop3AccountTest, CheckAgainstDovecotKillsSpamComplainsAndLeavesTheRest) {
  Dovecot().AddUser("me", "pw");
  Dovecot().Deliver("me", Mail("Ann <ann@friends.org>", "Lunch tomorrow"));
  Dovecot().Deliver("me", Mail("Seller <deals@spammer.biz>", "Cheap viagra now"));
  Dovecot().Deliver("me", Mail("Bob <bob@other.net>", "Hello"));
  Dovecot().Deliver(
      "me", Mail("Me <me@example.com>", "Returned viagra notice", "X-Tarnwell-Forwarded: Y\n"));
  Dovecot().Deliver("me", Mail("Pusher <push@pushy.info>", "Do complain, I dare you"));
  test::TSmtpServer smtp;
  account.POP3Port = Dovecot().Port();
  account.SmtpInfo.SMTPServer = "127.0.0.1";
  account.SmtpInfo.SMTPPort = smtp.Port();

  account.Check();
  EXPECT_TRUE(errors.empty()) << errors.front();
  const Lines left = Dovecot().Messages("me");
  ASSERT_EQ(left.size(), 3u);
  for (const std::string& text : left) {
    EXPECT_EQ(text.find("Cheap viagra"), std::string::npos);
    EXPECT_EQ(text.find("Do complain"), std::string::npos);
  }
  // The complaint about the second kill went out to the administrators of its domain.
  const auto sent = smtp.Received();
  ASSERT_EQ(sent.size(), 2u);
  EXPECT_EQ(sent[0].envelope, (Lines{"FROM me@example.com", "TO abuse@pushy.info"}));
  EXPECT_EQ(sent[1].envelope, (Lines{"FROM me@example.com", "TO postmaster@pushy.info"}));
  for (const auto& message : sent) {
    EXPECT_NE(message.data.find("Subject: Spam report (Do complain, I dare you)\r\n"),
              std::string::npos);
    EXPECT_NE(message.data.find("\r\nX-Tarnwell-AutoReply: "), std::string::npos);
  }
  ASSERT_EQ(account.Inbox.Count(), 3);
  EXPECT_EQ(account.Inbox[0]->Subject, "Lunch tomorrow");
  EXPECT_EQ(account.Inbox[0]->Status, msFriend);
  EXPECT_EQ(account.Inbox[1]->Subject, "Hello");
  EXPECT_EQ(account.Inbox[1]->Status, msChecked);
  EXPECT_EQ(account.Inbox[2]->Status, msChecked);
  EXPECT_EQ(account.SpamCount, 2);
  EXPECT_EQ(account.NewCount, 5);

  // Filtering runs from the last message to the first.
  ASSERT_EQ(account.Killed.Count(), 2);
  EXPECT_EQ(account.Killed[0]->Subject, "Do complain, I dare you");
  EXPECT_NE(test::ReadFileText(account.Killed[0]->BasePath() + ".hdr").find("X-Tarnwell-Action: 4"),
            std::string::npos);
  const TEmail& killed = *account.Killed[1];
  EXPECT_EQ(killed.Subject, "Cheap viagra now");
  const std::string headers = test::ReadFileText(killed.BasePath() + ".hdr");
  EXPECT_NE(headers.find("X-Tarnwell-UID: " + killed.UID), std::string::npos);
  EXPECT_NE(headers.find("X-Tarnwell-Length: " + std::to_string(killed.Length)), std::string::npos);
  EXPECT_NE(headers.find("X-Tarnwell-Action: 3"), std::string::npos);
  EXPECT_NE(headers.find("X-Tarnwell-Reason: "), std::string::npos);
  EXPECT_EQ(test::ReadFileText(killed.BasePath() + ".txt"), "Hello there.");

  account.Check();
  EXPECT_TRUE(errors.empty());
  EXPECT_EQ(account.NewCount, 0);
  EXPECT_EQ(account.Inbox.Count(), 3);
  EXPECT_EQ(Dovecot().Messages("me").size(), 3u);
  EXPECT_EQ(smtp.Received().size(), 2u);
}

struct TTlsCheck {
  const char* user;
  int32_t pop3Security;
  test::TSmtpTlsMode smtpMode;
  int32_t smtpSecurity;
};

class Pop3AccountTlsTest : public Pop3AccountTest,
                           public ::testing::WithParamInterface<TTlsCheck> {};

TEST_P(Pop3AccountTlsTest, CheckAndComplaintInsideTlsKeepSecretsOutOfTheLog) {
  const TTlsCheck mode = GetParam();
  TLineConnection::SetExtraCaFile(test::Certificates().CaFile());
  settings.Logging = true;
  ProgramLog().SetFileName(dir / "Tarnwell.log");
  ProgramLog().SetEnabled(true);
  test::TlsDovecot().Deliver(mode.user, Mail("Bob <bob@other.net>", "Hello"));
  test::TlsDovecot().Deliver(mode.user,
                             Mail("Pusher <push@pushy.info>", "Do complain, I dare you"));
  const auto good = test::Certificates().Good();
  test::TSmtpServer smtp("mailer", "smtp-s3cret", {mode.smtpMode, good.cert, good.key});
  account.POP3UserName = mode.user;
  account.Password = ScramblePassword("pop-s3cret");
  account.POP3Security = mode.pop3Security;
  account.POP3Port =
      mode.pop3Security == scTls ? test::TlsDovecot().TlsPort() : test::TlsDovecot().Port();
  account.SmtpInfo.SMTPServer = "127.0.0.1";
  account.SmtpInfo.SMTPPort = smtp.Port();
  account.SmtpInfo.SMTPSecurity = mode.smtpSecurity;
  account.SmtpInfo.SMTPAuth = true;
  account.SmtpInfo.SMTPAuthUser = "mailer";
  account.SmtpInfo.SMTPAuthPass = "smtp-s3cret";

  account.Check();
  ProgramLog().SetEnabled(false);
  TLineConnection::SetExtraCaFile("");
  EXPECT_TRUE(errors.empty()) << errors.front();
  const Lines left = test::TlsDovecot().Messages(mode.user);
  ASSERT_EQ(left.size(), 1u);
  EXPECT_NE(left[0].find("Subject: Hello"), std::string::npos);
  const auto sent = smtp.Received();
  ASSERT_EQ(sent.size(), 2u);
  EXPECT_EQ(sent[0].envelope, (Lines{"FROM me@example.com", "TO abuse@pushy.info", "AUTH mailer"}));
  const std::string logged = test::ReadFileText(dir / "Tarnwell.log");
  EXPECT_NE(logged.find("Secure connection established"), std::string::npos);
  for (const std::string secret : {"pop-s3cret", "smtp-s3cret", "c210cC1zM2NyZXQ"})
    EXPECT_EQ(logged.find(secret), std::string::npos) << secret;
}

INSTANTIATE_TEST_SUITE_P(Modes, Pop3AccountTlsTest,
                         ::testing::Values(TTlsCheck{"account-implicit", scTls,
                                                     test::TSmtpTlsMode::StartTls, scStartTls},
                                           TTlsCheck{"account-upgraded", scStartTls,
                                                     test::TSmtpTlsMode::Tls, scTls}));

// The commands of a login to a server that answers UIDL for no message.
void ScriptLoginWithoutUidl(TScriptedServer& server, const std::string& size) {
  server.Send("+OK ready\r\n")
      .Expect("USER me\r\n")
      .Send("+OK\r\n")
      .Expect("PASS pw\r\n")
      .Send("+OK\r\n")
      .Expect("STAT\r\n")
      .Send("+OK 1 " + size + "\r\n")
      .Expect("UIDL\r\n")
      .Send("-ERR no UIDL\r\n")
      .Expect("LIST\r\n")
      .Send("+OK\r\n1 " + size + "\r\n.\r\n");
}

TEST_F(Pop3AccountTest, ServerWithoutUidlNamesMessagesByTheirHeaders) {
  const std::string headers =
      "From: bob@other.net\r\nTo: me@example.com\r\nSubject: Same\r\nStatus: RO\r\n";
  const std::string top = "+OK\r\n" + headers + "\r\nline\r\n.\r\n";
  const std::string retr = "+OK\r\n" + headers + "\r\nline\r\nmore\r\n.\r\n";
  TScriptedServer server;
  for (int check = 0; check < 2; ++check) {
    if (check > 0) server.Accept();
    ScriptLoginWithoutUidl(server, "120");
    // The listing names the message by its headers, the second time too.
    server.Expect("UIDL 1\r\n")
        .Send("-ERR\r\n")
        .Expect("TOP 1 1\r\n")
        .Send(top)
        .Expect("UIDL 1\r\n")
        .Send("-ERR\r\n");
    if (check == 0) {
      // Reading the text finds the message by its headers first.
      server.Expect("UIDL 1\r\n")
          .Send("-ERR\r\n")
          .Expect("TOP 1 1\r\n")
          .Send(top)
          .Expect("RETR 1\r\n")
          .Send(retr);
    }
    server.Expect("QUIT\r\n").Send("+OK\r\n").Close();
  }
  account.POP3Port = server.Port();
  account.Check();
  EXPECT_TRUE(errors.empty()) << errors.front();
  ASSERT_EQ(account.Inbox.Count(), 1);
  EXPECT_EQ(account.Inbox[0]->UID, "From: bob@other.net\r\nTo: me@example.com\r\nSubject: Same");
  EXPECT_EQ(account.Inbox[0]->Length, 120);
  account.Check();
  EXPECT_TRUE(errors.empty());
  EXPECT_EQ(account.NewCount, 0);
  EXPECT_EQ(account.Inbox.Count(), 1);
}

// One spam message on a scripted server, for the ways a check can fail after the login.
constexpr const char* kSpamHeaders =
    "From: Seller <deals@spammer.biz>\r\nTo: me@example.com\r\nSubject: Cheap viagra now\r\n";
const std::string kSpamRetr =
    std::string("+OK\r\n") + kSpamHeaders + "\r\nHello there.\r\nSecond line.\r\n.\r\n";

// The login, the listing and the headers of `count` such messages, "u1" to "u<count>".
void ScriptSpamListing(TScriptedServer& server, int count = 1) {
  std::string uidl = "+OK\r\n", list = "+OK\r\n";
  for (int n = 1; n <= count; ++n) {
    uidl += std::to_string(n) + " u" + std::to_string(n) + "\r\n";
    list += std::to_string(n) + " 120\r\n";
  }
  server.Send("+OK ready\r\n")
      .Expect("USER me\r\n")
      .Send("+OK\r\n")
      .Expect("PASS pw\r\n")
      .Send("+OK\r\n")
      .Expect("STAT\r\n")
      .Send("+OK " + std::to_string(count) + " " + std::to_string(120 * count) + "\r\n")
      .Expect("UIDL\r\n")
      .Send(uidl + ".\r\n")
      .Expect("LIST\r\n")
      .Send(list + ".\r\n");
  for (int n = 1; n <= count; ++n)
    server.Expect("TOP " + std::to_string(n) + " 1\r\n")
        .Send(std::string("+OK\r\n") + kSpamHeaders + "\r\nHello there.\r\n.\r\n");
}

struct TCheckFault {
  const char* name;
  // What the server does after the headers.
  std::function<void(TScriptedServer&)> script;
  // Writes to files whose path holds this text fail as on a full disk.
  const char* failingPath;
  // Texts the reported errors hold, in order.
  Lines errors;
  // Where the message ends: still in Live Mail (with this status), or killed.
  bool inLiveMail;
  uint8_t status;
};

class Pop3AccountFaultTest : public Pop3AccountTest,
                             public ::testing::WithParamInterface<TCheckFault> {
 protected:
  ~Pop3AccountFaultTest() override { SetWriteFault(nullptr); }
};

// A message leaves the server only when Killed Mail holds it whole, and every failure after the
// login is an error of the check.
TEST_P(Pop3AccountFaultTest, SpamLeavesTheServerOnlyWithItsWholeTextInKilledMail) {
  const TCheckFault& fault = GetParam();
  test::TManualClock clock;
  TScriptedServer server;
  ScriptSpamListing(server);
  fault.script(server);
  if (*fault.failingPath)
    SetWriteFault([&](const std::string& path) {
      return path.find(fault.failingPath) != std::string::npos ? ENOSPC : 0;
    });
  account.POP3Port = server.Port();
  test::TClockRunner runner(clock, 1000);
  account.Check();
  runner.Stop();

  ASSERT_EQ(errors.size(), fault.errors.size()) << (errors.empty() ? "" : errors.front());
  for (size_t i = 0; i < errors.size(); ++i)
    EXPECT_NE(errors[i].find(fault.errors[i]), std::string::npos) << errors[i];
  // What the server did wrong names the server, also where the check says more about it; what
  // the disk did names none.
  const std::string atServer =
      *fault.failingPath ? "" : "POP3 127.0.0.1:" + std::to_string(server.Port());
  EXPECT_EQ(places, Lines(errors.size(), atServer));
  if (fault.inLiveMail) {
    ASSERT_EQ(account.Inbox.Count(), 1);
    EXPECT_EQ(account.Inbox[0]->Status, fault.status);
    EXPECT_EQ(account.Killed.Count(), 0);
    EXPECT_TRUE(ListFiles(account.FolderPath() + "Killed", "").empty());
  } else {
    EXPECT_EQ(account.Inbox.Count(), 0);
    ASSERT_EQ(account.Killed.Count(), 1);
    EXPECT_EQ(test::ReadFileText(account.Killed[0]->BasePath() + ".txt"),
              "Hello there.\r\nSecond line.");
  }
}

const char* const kRetrRefused = "The POP3 server refused \"RETR 1\" (-ERR locked).";
const char* const kUnconfirmed =
    "The POP3 server did not confirm the end of the session, so the 1 message deleted in it may "
    "still be on the server.";

INSTANTIATE_TEST_SUITE_P(
    Faults, Pop3AccountFaultTest,
    ::testing::Values(
        TCheckFault{"RetrRefused",
                    [](TScriptedServer& s) {
                      s.Expect("RETR 1\r\n")
                          .Send("-ERR locked\r\n")
                          .Expect("RETR 1\r\n")
                          .Send("-ERR locked\r\n")
                          .Expect("QUIT\r\n")
                          .Send("+OK\r\n")
                          .Close();
                    },
                    "",
                    {std::string("The text of message 1 (\"Cheap viagra now\") could not be "
                                 "retrieved: ") +
                         kRetrRefused,
                     std::string("The spam message 1 (\"Cheap viagra now\") was left on the "
                                 "server: its text could not be retrieved: ") +
                         kRetrRefused},
                    true,
                    msSpam},
        TCheckFault{"RetrAnsweredWithGarbage",
                    [](TScriptedServer& s) {
                      s.Expect("RETR 1\r\n")
                          .Send("hello\r\n")
                          .Expect("RETR 1\r\n")
                          .Send("hello\r\n")
                          .Expect("QUIT\r\n")
                          .Send("+OK\r\n")
                          .Close();
                    },
                    "",
                    {"(hello).", "was left on the server: its text could not be retrieved"},
                    true,
                    msSpam},
        TCheckFault{"ConnectionDroppedDuringRetr",
                    [](TScriptedServer& s) {
                      s.Expect("RETR 1\r\n")
                          .Send(std::string("+OK\r\n") + kSpamHeaders + "\r\nHello th")
                          .Close();
                    },
                    "",
                    {"Connection reset by peer"},
                    true,
                    msNew},
        TCheckFault{"SilentAfterRetrStatusLine",
                    [](TScriptedServer& s) { s.Expect("RETR 1\r\n").Send("+OK\r\n"); },
                    "",
                    {"The operation timed out."},
                    true,
                    msNew},
        TCheckFault{"DeleRefused",
                    [](TScriptedServer& s) {
                      s.Expect("RETR 1\r\n")
                          .Send(kSpamRetr)
                          .Expect("DELE 1\r\n")
                          .Send("-ERR in use\r\n")
                          .Expect("QUIT\r\n")
                          .Send("+OK\r\n")
                          .Close();
                    },
                    "",
                    {"The spam message 1 (\"Cheap viagra now\") could not be deleted from the "
                     "server and stays in Live Mail: The POP3 server refused \"DELE 1\" (-ERR "
                     "in use)."},
                    true,
                    msSpam},
        TCheckFault{"QuitNeverAnswered",
                    [](TScriptedServer& s) {
                      s.Expect("RETR 1\r\n")
                          .Send(kSpamRetr)
                          .Expect("DELE 1\r\n")
                          .Send("+OK\r\n")
                          .Expect("QUIT\r\n");
                    },
                    "",
                    {kUnconfirmed},
                    false,
                    msSpam},
        TCheckFault{
            "DroppedRightAfterDele",
            [](TScriptedServer& s) {
              s.Expect("RETR 1\r\n").Send(kSpamRetr).Expect("DELE 1\r\n").Send("+OK\r\n").Close();
            },
            "",
            {kUnconfirmed},
            false,
            msSpam},
        // The text is fetched again for Killed Mail instead of keeping the "not retrieved"
        // notice.
        TCheckFault{"LiveMailDiskFull",
                    [](TScriptedServer& s) {
                      s.Expect("RETR 1\r\n")
                          .Send(kSpamRetr)
                          .Expect("RETR 1\r\n")
                          .Send(kSpamRetr)
                          .Expect("DELE 1\r\n")
                          .Send("+OK\r\n")
                          .Expect("QUIT\r\n")
                          .Send("+OK\r\n")
                          .Close();
                    },
                    "/Inbox/",
                    {"The texts of 1 messages could not be saved in Live Mail, so they were "
                     "filtered on their headers alone: Could not write the file"},
                    false,
                    msSpam},
        TCheckFault{
            "KilledMailDiskFull",
            [](TScriptedServer& s) {
              s.Expect("RETR 1\r\n").Send(kSpamRetr).Expect("QUIT\r\n").Send("+OK\r\n").Close();
            },
            "/Killed/",
            {"was left on the server: it could not be written to Killed Mail: Could not "
             "write the file"},
            true,
            msSpam}),
    [](const auto& info) { return std::string(info.param.name); });

// The error that ends a session also says what became of the deletions made in it.
TEST_F(Pop3AccountTest, ConnectionLostAfterADeletionReportsBoth) {
  TScriptedServer server;
  ScriptSpamListing(server, 2);
  server.Expect("RETR 1\r\n")
      .Send(kSpamRetr)
      .Expect("RETR 2\r\n")
      .Send(kSpamRetr)
      .Expect("DELE 2\r\n")
      .Send("+OK\r\n")
      .Expect("UIDL 1\r\n")
      .Send("+OK 1 u1\r\n")
      .Expect("DELE 1\r\n")
      .Close();
  account.POP3Port = server.Port();
  account.Check();
  EXPECT_EQ(errors, Lines{std::string("Connection reset by peer\r") + kUnconfirmed});
  EXPECT_EQ(places, Lines{"POP3 127.0.0.1:" + std::to_string(server.Port())});
  ASSERT_EQ(account.Inbox.Count(), 1);
  EXPECT_EQ(account.Inbox[0]->UID, "u1");
  EXPECT_EQ(account.Inbox[0]->Status, msSpam);
  ASSERT_EQ(account.Killed.Count(), 1);
  EXPECT_EQ(account.Killed[0]->UID, "u2");
  EXPECT_EQ(ListFiles(account.FolderPath() + "Killed", "").size(), 2u);
}

// Copies that cannot be made durable must not let the deletions take effect: the session is
// broken off without QUIT, so the server keeps the message.
TEST_F(Pop3AccountTest, KilledMailThatCannotBeFlushedBreaksTheSessionOff) {
  TScriptedServer server;
  ScriptSpamListing(server);
  server.Expect("RETR 1\r\n").Send(kSpamRetr).Expect("DELE 1\r\n").Send("+OK\r\n");
  SetWriteFault([](const std::string& path) { return path.ends_with("/Killed") ? EIO : 0; });
  account.POP3Port = server.Port();
  account.Check();
  SetWriteFault(nullptr);
  EXPECT_EQ(errors, Lines{"Killed Mail could not be written to the disk, so the session was "
                          "broken off and the spam stays on the server."});
  test::PumpUntil([&] { return server.ClientClosed(); }, "the client to close");
  EXPECT_EQ(server.Transcript().find("QUIT"), std::string::npos);
  EXPECT_EQ(account.Killed.Count(), 1);
}

// A check whose deletions the server never carried out leaves the messages on the server and
// their copies in Killed Mail; the next check deletes them again without a second copy.
TEST_F(Pop3AccountTest, KilledCopyOfAMessageTheServerKeptServesAgain) {
  TScriptedServer server;
  for (const bool confirmed : {false, true}) {
    ScriptSpamListing(server);
    server.Expect("RETR 1\r\n").Send(kSpamRetr).Expect("DELE 1\r\n").Send("+OK\r\n");
    if (confirmed)
      server.Expect("QUIT\r\n").Send("+OK\r\n").Close();
    else
      server.Close().Accept();
  }
  account.POP3Port = server.Port();
  account.Check();
  ASSERT_EQ(errors, Lines{kUnconfirmed});
  account.Check();
  EXPECT_EQ(errors.size(), 1u);
  EXPECT_EQ(account.SpamCount, 1);
  ASSERT_EQ(account.Killed.Count(), 1);
  EXPECT_EQ(ListFiles(account.FolderPath() + "Killed", "").size(), 2u);
  EXPECT_TRUE(server.Finished());
}

TEST_F(Pop3AccountTest, DeleteMessagesFindsMovedMessagesAndStopsAtAVanishedOne) {
  for (const char* uid : {"uid-b", "uid-gone"}) {
    auto message = std::make_unique<TEmail>();
    message->UID = uid;
    message->Headers = THeaders(Lines{"Subject: " + std::string(uid)});
    account.Inbox.Add(std::move(message))->SaveHeaders();
  }
  TScriptedServer server;
  const auto login = [&] {
    server.Send("+OK\r\n")
        .Expect("USER me\r\n")
        .Send("+OK\r\n")
        .Expect("PASS pw\r\n")
        .Send("+OK\r\n")
        .Expect("STAT\r\n")
        .Send("+OK 2 200\r\n");
  };
  login();
  server.Expect("UIDL 1\r\n")
      .Send("+OK 1 uid-a\r\n")
      .Expect("UIDL 2\r\n")
      .Send("+OK 2 uid-b\r\n")
      .Expect("DELE 2\r\n")
      .Send("+OK\r\n")
      .Expect("QUIT\r\n")
      .Send("+OK\r\n")
      .Close()
      .Accept();
  login();
  server.Expect("UIDL 1\r\n")
      .Send("+OK 1 uid-a\r\n")
      .Expect("UIDL 2\r\n")
      .Send("+OK 2 uid-c\r\n")
      .Expect("QUIT\r\n")
      .Send("+OK\r\n")
      .Close();
  account.POP3Port = server.Port();
  account.DeleteMessages({0});
  ASSERT_EQ(account.Inbox.Count(), 1);
  EXPECT_EQ(account.Inbox[0]->UID, "uid-gone");
  EXPECT_EQ(ErrorOf([&] { account.DeleteMessages({0}); }),
            "The message was not found on the server.");
  EXPECT_EQ(account.Inbox.Count(), 1);
}

TEST_F(Pop3AccountTest, MessageWithCopiesIsSentToTheMainAndThenToTheCopyRecipients) {
  TScriptedServer server;
  const std::string data =
      "Subject: Complaint\r\nFrom: me@example.com\r\nTo: abuse@a.example, postmaster@a.example"
      "\r\nCc: first@b.example\r\nMIME-Version: 1.0\r\n"
      "Content-Type: text/plain; charset=\"iso-8859-1\"\r\n"
      "Content-Transfer-Encoding: quoted-printable\r\n\r\nStop it.\r\n.\r\n";
  server.Send("220 hi\r\n").Expect("EHLO test-client\r\n").Send("250 ok\r\n");
  for (const Lines& recipients : {Lines{"abuse@a.example", "postmaster@a.example"},
                                  Lines{"first@b.example", "second@b.example"}}) {
    server.Expect("MAIL FROM:<me@example.com>\r\n").Send("250 ok\r\n");
    for (const std::string& recipient : recipients)
      server.Expect("RCPT TO:<" + recipient + ">\r\n").Send("250 ok\r\n");
    server.Expect("DATA\r\n").Send("354 go\r\n").Expect(data).Send("250 queued\r\n");
    server.Expect("RSET\r\n").Send("250 reset\r\n");
  }
  server.Expect("QUIT\r\n").Send("221 bye\r\n").Close();
  account.SmtpInfo.SMTPServer = "127.0.0.1";
  account.SmtpInfo.SMTPPort = server.Port();
  account.PrepareSmtp();
  account.Smtp()->ClientName = "test-client";
  account.Smtp()->Login();
  TEmail complaint;
  complaint.From = "me@example.com";
  complaint.To = {"abuse@a.example", "postmaster@a.example"};
  complaint.Cc = {"first@b.example", "second@b.example"};
  complaint.Headers = THeaders(Lines{"Subject: Complaint"});
  complaint.Body = {"Stop it."};
  account.SendMessage(complaint);
  account.LogoutOutgoing();
}

TEST_F(Pop3AccountTest, ForwardedMessageCarriesItsMarkAndIsSkippedWhenItComesBack) {
  test::TSmtpServer server;
  account.SmtpInfo.SMTPServer = "127.0.0.1";
  account.SmtpInfo.SMTPPort = server.Port();
  TEmail message;
  message.From = "deals@spammer.biz";
  message.To = {"me@example.com"};
  message.Headers = THeaders(Lines{"From: deals@spammer.biz", "Subject: Rescued"});
  message.Body = {"Not spam after all."};
  account.ForwardMessage(message);
  EXPECT_FALSE(message.Headers.HasHeader("X-Tarnwell-Forwarded"));
  const auto received = server.Received();
  ASSERT_EQ(received.size(), 1u);
  EXPECT_NE(received[0].data.find("\r\nX-Tarnwell-Forwarded: Y\r\n"), std::string::npos);

  auto back = std::make_unique<TEmail>();
  back->Headers = THeaders(Lines{"Subject: Rescued", "X-Tarnwell-Forwarded: Y"});
  account.Inbox.Add(std::move(back));
  EXPECT_TRUE(account.IsSkipped(0));
}

// The rescue window follows a forwarding by the outgoing session's notifications, the logout
// included when the server could not be reached.
TEST_F(Pop3AccountTest, ForwardingReportsItsOutgoingSessionAlsoWhenItFails) {
  Lines journal;
  account.OnLoginOutgoing = [&](TAccount&) { journal.push_back("login"); };
  account.OnLogoutOutgoing = [&](TAccount&) { journal.push_back("logout"); };
  TEmail message;
  message.From = "me@example.com";
  message.To = {"me@example.com"};
  message.Headers = THeaders(Lines{"Subject: Rescued"});
  message.Body = {"Text."};
  account.SmtpInfo.SMTPServer = "127.0.0.1";
  {
    test::TSmtpServer server;
    account.SmtpInfo.SMTPPort = server.Port();
    account.ForwardMessage(message);
    ASSERT_EQ(server.Received().size(), 1u);
  }
  EXPECT_EQ(journal, (Lines{"login", "logout"}));

  journal.clear();
  const test::TBoundPort refusing;
  account.SmtpInfo.SMTPPort = refusing.Port();
  EXPECT_THROW(account.ForwardMessage(message), std::exception);
  EXPECT_EQ(journal, (Lines{"login", "logout"}));
}

TEST_F(Pop3AccountTest, SettingsRoundTripAndPlaceholders) {
  account.POP3Port = 1110;
  account.SPA = true;
  account.Timeout = 90;
  account.SmtpInfo.SMTPServer = "smtp.example.com";
  account.SmtpInfo.SMTPAuthPass = "secret";
  account.POP3Security = scTls;
  account.POP3CertPin = "01:02";
  account.SaveSettings();
  RegisterPOP3Account();
  std::unique_ptr<TAccount> created = CreateAccountOfKind(akPOP3);
  auto* loaded = dynamic_cast<TPOP3Account*>(created.get());
  ASSERT_NE(loaded, nullptr);
  TRegistry registry;
  ASSERT_TRUE(
      registry.OpenKey(std::string(TAccount::kAccountsKey) + "\\" + account.KeyName(), false));
  loaded->Load(registry);
  EXPECT_EQ(loaded->POP3Server, "127.0.0.1");
  EXPECT_EQ(loaded->POP3UserName, "me");
  EXPECT_EQ(loaded->POP3Port, 1110);
  EXPECT_EQ(loaded->Timeout, 90);
  EXPECT_TRUE(loaded->SPA);
  EXPECT_EQ(loaded->SmtpInfo.SMTPServer, "smtp.example.com");
  EXPECT_EQ(loaded->SmtpInfo.SMTPAuthPass, "secret");
  EXPECT_EQ(loaded->POP3Security, scTls);
  EXPECT_EQ(loaded->POP3CertPin, "01:02");
  const int32_t count = loaded->MacroCount();
  ASSERT_EQ(count, 4);
  EXPECT_EQ(loaded->MacroName(3), "%POP3");
  EXPECT_EQ(loaded->MacroValue(3), "127.0.0.1");
  EXPECT_EQ(loaded->MacroName(4), "%SMTP");
  EXPECT_EQ(loaded->MacroValue(4), "smtp.example.com");
  EXPECT_EQ(loaded->MacroName(2), "%EMAIL");
  // A store from before secure connections loads as a plain connection.
  registry.DeleteValue("POP3Security");
  loaded->Load(registry);
  EXPECT_EQ(loaded->POP3Security, scNone);
  EXPECT_TRUE(loaded->POP3CertPin.empty());
  EXPECT_EQ(loaded->SmtpInfo.SMTPServer, "smtp.example.com");
  RegisterAccountKind(akPOP3, nullptr);
}

}  // namespace
}  // namespace tarnwell
