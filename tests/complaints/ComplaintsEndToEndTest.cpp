// A complaint sent for killed spam, and its bounce coming back, against real servers: a private
// Dovecot holding the mailbox and an SMTP server receiving what the account sends.
#include <gtest/gtest.h>

#include <memory>

#include "accounts/AccountEvents.h"
#include "complaints/ComplaintHooks.h"
#include "complaints/Templates.h"
#include "filtering/AutoReply.h"
#include "filtering/FilterList.h"
#include "message/SvcString.h"
#include "platform/Files.h"
#include "platform/Registry.h"
#include "shell/ProgramFolders.h"
#include "shell/Settings.h"
#include "tests/support/Dovecot.h"
#include "tests/support/SmtpServer.h"
#include "tests/support/TestSupport.h"
#include "tests/support/program/ProgramEnvironment.h"
#include "transport/POP3Account.h"

namespace tarnwell {
namespace {

class ComplaintsEndToEndTest : public ::testing::Test, protected test::TProgramEnvironment {
 protected:
  ComplaintsEndToEndTest() {
    templates.Reload();
    InstallTemplates(&templates);
    InstallComplaintHooks();
    filters = std::make_unique<TFilterList>(dir / "Filters.dat");
    filters->Load(true);
    filters->SetOwnNames({"me"}, {"example.com"});
    complaining = test::AddSubjectFilter(*filters, "cheap pills", acKillAfterComplaint);
    complaining->Recipients = rcAbuse | rcPostmaster;
    filters->Save();

    dovecot.AddUser("me", "pw");
    account.Description = "Home";
    account.Name = "Pat Example";
    account.Email = "me@example.com";
    account.DialUp = false;
    account.FilterList = filters.get();
    account.POP3Server = "127.0.0.1";
    account.POP3Port = dovecot.Port();
    account.POP3UserName = "me";
    account.Password = ScramblePassword("pw");
    account.SmtpInfo.SMTPServer = "127.0.0.1";
    account.SmtpInfo.SMTPPort = smtp.Port();
    account.OnError = [this](const std::exception& error) { errors.push_back(error.what()); };
    account.ID = 1;
    ForceDirectories(account.FolderPath() + "Inbox");
    ForceDirectories(account.FolderPath() + "Killed");
    account.SetFolders();
  }

  ~ComplaintsEndToEndTest() override {
    RemoveComplaintHooks();
    InstallTemplates(nullptr);
  }

  TTemplates templates;
  std::unique_ptr<TFilterList> filters;
  TFilter* complaining = nullptr;
  test::TDovecot dovecot;
  test::TSmtpServer smtp;
  TPOP3Account account;
  std::vector<std::string> errors;
};

TEST_F(ComplaintsEndToEndTest, ComplaintGoesOutAndItsBounceSwitchesTheFilterToKill) {
  dovecot.Deliver("me",
                  "Received: from relay.pushy.info ([192.0.2.10]) by mx.example.com\n"
                  "From: Pusher <push@pushy.info>\nTo: me@example.com\n"
                  "Subject: Cheap pills for you\nDate: Thu, 14 Mar 2024 08:00:00 +0000\n"
                  "Message-Id: <p1@pushy.info>\n\nBuy now at http://www.pushy.info/buy\n");
  account.Check();
  ASSERT_TRUE(errors.empty()) << errors.front();
  EXPECT_TRUE(dovecot.Messages("me").empty());
  ASSERT_EQ(account.Killed.Count(), 1);

  const auto sent = smtp.Received();
  ASSERT_EQ(sent.size(), 2u);
  const std::string code =
      std::to_string(int64_t{fkSubject} * kAutoReplyKindFactor + complaining->ID);
  const std::vector<std::string> recipients = {"TO abuse@pushy.info", "TO postmaster@pushy.info"};
  for (size_t i = 0; i < sent.size(); ++i) {
    EXPECT_EQ(sent[i].envelope, (std::vector<std::string>{"FROM me@example.com", recipients[i]}));
    const std::string& data = sent[i].data;
    EXPECT_NE(data.find("\r\nX-Tarnwell-AutoReply: " + code + "\r\n"), std::string::npos) << data;
    EXPECT_NE(data.find("Pat Example"), std::string::npos) << data;
    // Every placeholder of the template was replaced.
    EXPECT_EQ(data.find('%'), std::string::npos) << data;
    // The administrators get the headers of the spam to act on.
    EXPECT_NE(data.find("Message-Id: <p1@pushy.info>"), std::string::npos) << data;
  }

  // The administrator's server returns the complaint, quoting it whole, as servers do.
  std::string quoted = sent[0].data;
  for (size_t at = quoted.find("\r\n"); at != std::string::npos; at = quoted.find("\r\n", at))
    quoted.replace(at, 2, "\n");
  dovecot.Deliver("me",
                  "From: Mail Delivery System <MAILER-DAEMON@mx.pushy.info>\n"
                  "To: me@example.com\nSubject: Undelivered Mail Returned to Sender\n"
                  "Date: Thu, 14 Mar 2024 08:05:00 +0000\n"
                  "Content-Type: text/plain\n\n"
                  "This is the mail system at host mx.pushy.info.\n\n"
                  "I'm sorry to have to inform you that your message could not\n"
                  "be delivered to one or more recipients.\n\n"
                  "<abuse@pushy.info>: mailbox unavailable\n\n"
                  "------ This is a copy of the message, including all the headers. ------\n\n" +
                      quoted);
  account.Check();
  ASSERT_TRUE(errors.empty()) << errors.front();
  // The bounce was recognised and deleted from the server, without being killed or answered.
  EXPECT_TRUE(dovecot.Messages("me").empty());
  EXPECT_EQ(account.Killed.Count(), 1);
  EXPECT_EQ(account.Inbox.Count(), 0);
  EXPECT_EQ(smtp.Received().size(), 2u);
  EXPECT_EQ(complaining->Action, acKill);

  filters->SaveIfModified();
  TFilterList reread(dir / "Filters.dat");
  reread.Load(true);
  const TFilter* stored = reread.FindByID(fkSubject, complaining->ID);
  ASSERT_NE(stored, nullptr);
  EXPECT_EQ(stored->Action, acKill);
}

}  // namespace
}  // namespace tarnwell
