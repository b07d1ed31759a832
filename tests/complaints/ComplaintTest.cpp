#include <gtest/gtest.h>

#include "complaints/Complaint.h"
#include "filtering/DataFiles.h"
#include "filtering/Filters.h"
#include "message/Emails.h"
#include "message/QStrings.h"
#include "platform/DateTime.h"
#include "tests/complaints/ComplaintTestSupport.h"

namespace tarnwell {
namespace {

using Strings = std::vector<std::string>;

const char* const kBoth =
    "From: Sender <From@Sender.example.com>\nReply-To: reply@mail.reply.example.co.uk\n";

class ComplaintTest : public ::testing::Test {
 protected:
  void SetUp() override { outbox.SetFolder(folder.dir / "Outbox"); }

  // Templates whose subject names them, so each message shows where it came from.
  void AddTemplates(const Strings& names) {
    for (const std::string& name : names) {
      auto t = std::make_unique<TTemplate>();
      t->Name = name;
      t->Subject = name;
      t->Sender = name == "Standard error message" ? "Mailer <daemon@%POP3>" : "";
      t->Lines = {"Seen at %EMAIL."};
      t->InclText = true;
      templates.Add(std::move(t));
    }
  }

  static TFilter FilterOf(uint8_t kind, int32_t id, uint8_t recipients, uint8_t action) {
    TFilter filter;
    filter.Kind = kind;
    filter.ID = id;
    filter.Recipients = recipients;
    filter.Action = action;
    return filter;
  }

  static std::string AutoReplyOf(const TEmail& message) {
    return message.Headers.ValueOf(kAutoReplyHeader);
  }

  test::TComplaintsFolder folder;
  TTemplates templates;
  TEmailList outbox{false};
};

TEST_F(ComplaintTest, RecipientSetsChooseTheAddressesAndDomains) {
  struct Case {
    uint8_t recipients;
    const char* headers;
    Strings users, domains, admins;
  } cases[] = {
      {2, kBoth, {"reply@mail.reply.example.co.uk"}, {}, {}},
      {2, "From: From@Sender.example.com\n", {"From@Sender.example.com"}, {}, {}},
      {2,
       "From: From@Sender.example.com\nReply-To: not an address\n",
       {"From@Sender.example.com"},
       {},
       {}},
      {3, kBoth, {"reply@mail.reply.example.co.uk", "From@Sender.example.com"}, {}, {}},
      {3, "From: a@example.com\nReply-To: A@Example.com\n", {"A@Example.com"}, {}, {}},
      {1, kBoth, {"From@Sender.example.com"}, {}, {}},
      {12,
       kBoth,
       {},
       {"mail.reply.example.co.uk"},
       {"abuse@mail.reply.example.co.uk", "postmaster@mail.reply.example.co.uk"}},
      {12,
       "From: From@Sender.example.com\n",
       {},
       {"Sender.example.com"},
       {"abuse@Sender.example.com", "postmaster@Sender.example.com"}},
      {28,
       kBoth,
       {},
       {"mail.reply.example.co.uk"},
       {"abuse@mail.reply.example.co.uk", "postmaster@mail.reply.example.co.uk",
        "webmaster@mail.reply.example.co.uk"}},
      {14,
       kBoth,
       {"reply@mail.reply.example.co.uk"},
       {"mail.reply.example.co.uk"},
       {"abuse@mail.reply.example.co.uk", "postmaster@mail.reply.example.co.uk"}},
      {31, "From: nobody\nReply-To: <>\n", {}, {}, {}},
      {0, kBoth, {}, {}, {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << int{c.recipients} << " " << c.headers);
    auto message = test::Message(std::string(c.headers) + "\nText\n");
    TComplaint complaint;
    complaint.SetMessage(*message);
    complaint.Recipients = c.recipients;
    complaint.ChooseRecipients();
    complaint.ExpandAdminAddresses();
    EXPECT_EQ(complaint.UserAddresses, c.users);
    EXPECT_EQ(complaint.Domains, c.domains);
    EXPECT_EQ(complaint.AdminAddresses, c.admins);
  }
}

TEST_F(ComplaintTest, ComplaintMessagesCarryTheFilterCodeTheirTemplateAndTheReportedNumber) {
  AddTemplates({"Standard user complaint", "Standard administrator complaint"});
  auto reported = test::Message(std::string(kBoth) + "Subject: Offer\n\nBuy now\n");
  reported->ID = 17;
  const TFilter filter = FilterOf(3, 42, 31, acKillAfterComplaint);
  TComplaint complaint;
  complaint.SetMessage(*reported);
  complaint.PrepareComplaint(&filter);
  EXPECT_EQ(complaint.Kind, TComplaint::ckComplaint);
  EXPECT_EQ(complaint.Subject, "Offer");
  complaint.BuildMessages(outbox, templates);

  const std::string code = std::to_string(3 * kAutoReplyKindFactor + 42);
  const Strings expectedTo = {
      "reply@mail.reply.example.co.uk", "From@Sender.example.com", "abuse@mail.reply.example.co.uk",
      "postmaster@mail.reply.example.co.uk", "webmaster@mail.reply.example.co.uk"};
  ASSERT_EQ(outbox.Count(), 5);
  for (int i = 0; i < outbox.Count(); ++i) {
    SCOPED_TRACE(i);
    const TEmail& message = *outbox[i];
    EXPECT_EQ(message.To, Strings{expectedTo[static_cast<size_t>(i)]});
    EXPECT_EQ(message.Subject,
              i < 2 ? "Standard user complaint" : "Standard administrator complaint");
    EXPECT_EQ(AutoReplyOf(message), code);
    EXPECT_EQ(message.Flags, TEmail::sfComplained);
    EXPECT_EQ(message.ID, reported->ID);
    EXPECT_EQ(message.Body, (Strings{"Seen at %EMAIL.", "", "Buy now"}));
  }
}

TEST_F(ComplaintTest, ErrorMessagesFromThePagesUseTheSettingsAndCodeZero) {
  AddTemplates({"Standard error message", "Other"});
  auto reported = test::Message(std::string(kBoth) + "\nBuy now\n");
  TComplaint complaint;
  complaint.SetMessage(*reported);
  complaint.PrepareErrorMessage(nullptr);
  EXPECT_EQ(complaint.Kind, TComplaint::ckErrorMessage);
  EXPECT_EQ(complaint.Recipients, folder.settings.settings.RemoveAddr);
  complaint.OtherAddresses = {"typed@example.org", "skipped@example.org"};
  complaint.OtherTemplates = {"other", "No such template"};
  complaint.BuildMessages(outbox, templates);
  ASSERT_EQ(outbox.Count(), 2);
  EXPECT_EQ(outbox[0]->To, Strings{"reply@mail.reply.example.co.uk"});
  EXPECT_EQ(outbox[0]->Subject, "Standard error message");
  EXPECT_EQ(outbox[0]->Flags, TEmail::sfErrorMessageSent);
  EXPECT_EQ(outbox[1]->To, Strings{"typed@example.org"});
  EXPECT_EQ(outbox[1]->Subject, "Other");
  for (int i = 0; i < 2; ++i) EXPECT_EQ(AutoReplyOf(*outbox[i]), "0");

  folder.settings.settings.ComplainAddr = rcSender | rcWebmaster;
  TComplaint fromSettings;
  fromSettings.SetMessage(*reported);
  fromSettings.PrepareComplaint(nullptr);
  EXPECT_EQ(fromSettings.UserTemplates, Strings{folder.settings.settings.UserComplaint});
  EXPECT_EQ(fromSettings.AdminAddresses, Strings{"webmaster@mail.reply.example.co.uk"});
  EXPECT_EQ(fromSettings.AdminTemplates, Strings{folder.settings.settings.AdminComplaint});
}

TEST_F(ComplaintTest, KillAfterErrorMessageSendsAFakeBounceThatLeadsBackToTheFilter) {
  ASSERT_TRUE(InstallDataFiles());
  templates.Reload();
  auto reported = test::Message(std::string(kBoth) + "Subject: Cheap pills\n\nBuy now\nReally\n");
  reported->ID = 5;
  const TFilter filter = FilterOf(fkSubject, 7, rcReplyTo, acKillAfterErrorMessage);
  test::TLogCapture log;
  EXPECT_EQ(CreateComplaints(*reported, &filter, filter.Action, outbox, templates), 1);
  EXPECT_EQ(log.Texts(), (Strings{"Creating complaints (Kill after error message)",
                                  "Done creating complaints (1)"}));

  TEmail& bounce = *outbox[0];
  EXPECT_EQ(bounce.To, Strings{"reply@mail.reply.example.co.uk"});
  EXPECT_EQ(bounce.Flags, TEmail::sfErrorMessageSent);
  EXPECT_EQ(bounce.ID, 5);
  TComplaintSender sender{"Ann Example", "ann@example.org", StandardMacros("ann@example.org")};
  sender.Macros.push_back({"%POP3", "pop.example.org"});
  sender.Macros.push_back({"%SMTP", "smtp.example.org"});
  PrepareToSend(bounce, sender);
  EXPECT_EQ(bounce.From, "\"Mail Delivery System\" <MAILER-DAEMON@pop.example.org>");
  std::string text;
  for (const std::string& line : bounce.Body) text += line + "\n";
  for (const char* placeholder : {"%EMAIL", "%POP3", "%SMTP", "%DATETIME"})
    EXPECT_EQ(UpperCase(text).find(placeholder), std::string::npos) << placeholder;
  EXPECT_NE(text.find("ann@example.org"), std::string::npos);
  EXPECT_NE(text.find("\nReply-To: reply@mail.reply.example.co.uk\nSubject: Cheap pills\n\n"
                      "Buy now\nReally\n"),
            std::string::npos)
      << "the reported message's headers and text follow the notice";

  // The returned copy quotes the bounce's headers; its code names the filter again.
  Strings returned = {"The following message could not be delivered:", ""};
  for (const std::string& line : bounce.Headers.Lines()) returned.push_back("> " + line);
  int64_t code = 0;
  ASSERT_TRUE(FindAutoReplyCode(returned, code));
  EXPECT_EQ(code / kAutoReplyKindFactor, fkSubject);
  EXPECT_EQ(code % kAutoReplyKindFactor, 7);
}

TEST_F(ComplaintTest, CreateComplaintsUsesTheFilterSetAndSkipsMissingTemplates) {
  AddTemplates({"Standard administrator complaint"});
  auto reported = test::Message(std::string(kBoth) + "\nText\n");
  const TFilter filter = FilterOf(fkSender, 9, rcSender | rcAbuse, acKillAfterComplaint);
  test::TLogCapture log;
  EXPECT_EQ(CreateComplaints(*reported, &filter, filter.Action, outbox, templates), 1);
  EXPECT_EQ(log.Texts(), (Strings{"Creating complaints (Kill after complaining)",
                                  "Done creating complaints (1)"}));
  EXPECT_EQ(outbox[0]->To, Strings{"abuse@mail.reply.example.co.uk"});

  auto nobody = test::Message("From: nobody\n\nText\n");
  EXPECT_EQ(CreateComplaints(*nobody, &filter, filter.Action, outbox, templates), 1);
}

TEST_F(ComplaintTest, AMessageWithoutItsTextGetsTheStoresNotice) {
  AddTemplates({"Standard user complaint"});
  TEmail reported;
  reported.Headers.Add("From: spam@example.com");
  reported.ParseHeaders();
  TComplaint complaint;
  complaint.SetMessage(reported);
  ASSERT_FALSE(reported.Body.empty());
  EXPECT_FALSE(reported.BodyLoaded);
  complaint.PrepareComplaint(nullptr);
  complaint.UserAddresses = {"spam@example.com"};
  complaint.UserTemplates = {"Standard user complaint"};
  complaint.BuildMessages(outbox, templates);
  ASSERT_EQ(outbox.Count(), 1);
  const Strings& body = outbox[0]->Body;
  ASSERT_GE(body.size(), reported.Body.size());
  EXPECT_TRUE(std::equal(reported.Body.begin(), reported.Body.end(),
                         body.end() - static_cast<std::ptrdiff_t>(reported.Body.size())));
}

TEST_F(ComplaintTest, CollectCandidatesOffersSendersRelaysAndTheTextsAddresses) {
  auto message = test::Message(
      "Received: from relay.mail.spammer.co.uk ([10.1.2.3]) by mx.example.org with SMTP\n"
      "Received: from [192.0.2.7] by relay.mail.spammer.co.uk\n"
      "Errors-To: Bounce@Lists.Example.com\n"
      "From: \"Seller\" <Seller@Shop.Example.net>\n"
      "Reply-To: orders@shop.example.net\n"
      "Return-Path: <bounce@lists.example.com>\n"
      "Sender: not-an-address\n"
      "X-Complain-To: abuse@example.com\n"
      "\n"
      "Write to seller@shop.example.net or Info@Other.Example.org soon.\n"
      "Visit http://www.deals.example.co.uk/offer or www.cheap.example.biz today.\n");
  TComplaint complaint;
  complaint.SetMessage(*message);
  complaint.CollectCandidates();
  EXPECT_EQ(complaint.UserSources,
            (Strings{"Errors-To", "From", "Reply-To", "Return-Path", "X-Complain-To", "Text"}));
  EXPECT_EQ(complaint.UserAddresses, (Strings{"bounce@lists.example.com", "seller@shop.example.net",
                                              "orders@shop.example.net", "bounce@lists.example.com",
                                              "abuse@example.com", "info@other.example.org"}));
  EXPECT_EQ(complaint.AdminAddresses,
            (Strings{"lists.example.com", "shop.example.net", "example.com"}));
  EXPECT_EQ(complaint.Domains, (Strings{"192.0.2.7", "spammer.co.uk", "10.1.2.3", "example.org",
                                        "other.example.org", "example.co.uk", "example.biz"}));
}

TEST_F(ComplaintTest, AutoReplyCodesAreFoundInTheFirstLineThatNamesTheHeader) {
  struct Case {
    Strings lines;
    bool found;
    int64_t code;
  } cases[] = {
      {{"x", "> X-Tarnwell-AutoReply: 30000042", "X-Tarnwell-AutoReply: 5"}, true, 30000042},
      {{"X-Tarnwell-AutoReply:0"}, true, 0},
      {{"X-Tarnwell-AutoReply: none", "X-Tarnwell-AutoReply: 7"}, false, 0},
      {{"x-tarnwell-autoreply: 7"}, false, 0},
      {{"X-Tarnwell-AutoReply: 99999999999999999999999"}, false, 0},
      {{}, false, 0},
  };
  for (const Case& c : cases) {
    int64_t code = -1;
    EXPECT_EQ(FindAutoReplyCode(c.lines, code), c.found);
    EXPECT_EQ(code, c.found ? c.code : -1) << "untouched when nothing is found";
  }
  const TFilter filter = FilterOf(fkHeader, 1234567, 0, acKillAfterComplaint);
  EXPECT_EQ(AutoReplyCode(&filter), fkHeader * kAutoReplyKindFactor + 1234567);
  EXPECT_EQ(AutoReplyCode(nullptr), 0);
}

TEST_F(ComplaintTest, TextLinesRoundTripEveryField) {
  test::TManualClock clock(EncodeDateTime({2024, 3, 15, 9, 30, 45}));
  TComplaint complaint;
  complaint.Kind = TComplaint::ckErrorMessage;
  complaint.Subject = "Re: \"cheap\", pills\r\nnow";
  complaint.UserAddresses = {"Mixed@Example.COM", "b@example.com"};
  complaint.UserSources = {"From", "Text"};
  complaint.UserTemplates = {"Standard user complaint", "say \"hi\", then, go"};
  complaint.Domains = {""};
  complaint.AdminAddresses = {"abuse@example.com"};
  complaint.AdminTemplates = {""};
  complaint.OtherAddresses = {};
  complaint.OtherTemplates = {"a", ""};
  const std::string line = complaint.AsText();
  EXPECT_EQ(line.find_first_of("\r\n"), std::string::npos);

  TComplaint read;
  read.FromText(line);
  EXPECT_EQ(read.Kind, complaint.Kind);
  EXPECT_EQ(read.Created, complaint.Created);
  EXPECT_EQ(read.Subject, "Re: \"cheap\", pills  now");
  EXPECT_EQ(read.UserAddresses, (Strings{"mixed@example.com", "b@example.com"}));
  EXPECT_EQ(read.UserSources, complaint.UserSources);
  EXPECT_EQ(read.UserTemplates, complaint.UserTemplates);
  EXPECT_EQ(read.Domains, complaint.Domains);
  EXPECT_EQ(read.AdminAddresses, complaint.AdminAddresses);
  EXPECT_EQ(read.AdminTemplates, complaint.AdminTemplates);
  EXPECT_EQ(read.OtherAddresses, complaint.OtherAddresses);
  EXPECT_EQ(read.OtherTemplates, complaint.OtherTemplates);

  TComplaint partial;
  partial.UserSources = {"kept"};
  partial.FromText("1.0,2,,\"Short subject\",A@B.example");
  EXPECT_EQ(partial.Kind, TComplaint::ckErrorMessage);
  EXPECT_EQ(partial.Subject, "Short subject");
  EXPECT_EQ(partial.UserAddresses, Strings{"a@b.example"});
  EXPECT_EQ(partial.UserSources, Strings{"kept"});
}

}  // namespace
}  // namespace tarnwell
