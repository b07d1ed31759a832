// The commands for daily use, run as the built program on a temporary folder: lists shown as
// UTF-8 and as JSON, Live Mail after a check, rescuing, deleting and purging Killed Mail, the
// log and the settings.
#include <gtest/gtest.h>
#include <sys/time.h>

#include <algorithm>
#include <chrono>
#include <ctime>
#include <sstream>
#include <thread>

#include "platform/Files.h"
#include "platform/Registry.h"
#include "platform/SingleInstance.h"
#include "shell/Settings.h"
#include "tests/program/CommandRunner.h"
#include "tests/support/ChildProcess.h"
#include "tests/support/Dovecot.h"
#include "tests/support/SmtpServer.h"
#include "tests/support/TestSupport.h"

namespace tarnwell {
namespace {

using test::RunTarnwell;
using test::TRunResult;
using Args = std::vector<std::string>;

// Each line of `lines` read by Python's JSON parser, which refuses anything but valid JSON in
// valid UTF-8, and written back with its keys sorted.
std::string ParsedJson(const std::string& lines) {
  test::TTempDir files;
  test::WriteFileText(files / "in", lines);
  const int status = test::RunProgram(
      {test::FindProgram("python3"), "-c",
       "import json, sys\n"
       "out = open(sys.argv[2], 'w', encoding='utf-8')\n"
       "for line in open(sys.argv[1], encoding='utf-8', newline='\\n'):\n"
       "    out.write(json.dumps(json.loads(line), sort_keys=True, ensure_ascii=False,\n"
       "                         separators=(',', ':')) + '\\n')\n",
       files / "in", files / "out"});
  if (status != 0) return "(not JSON: " + lines + ")";
  return test::ReadFileText(files / "out");
}

std::vector<std::string> Split(const std::string& text, char separator) {
  std::vector<std::string> parts;
  std::istringstream stream(text);
  for (std::string part; std::getline(stream, part, separator);) parts.push_back(part);
  return parts;
}

class DailyCommandsTest : public ::testing::Test {
 protected:
  TRunResult Run(Args args, const std::string& input = "") {
    args.insert(args.begin(), {"--home", home.Path()});
    return RunTarnwell(args, input);
  }

  // The account "Home" for pat@example.com; the command must succeed.
  void AddAccount(int pop3Port = 1110, int smtpPort = 25) {
    const TRunResult added = Run({"accounts",
                                  "add",
                                  "pop3",
                                  "--description",
                                  "Home",
                                  "--name",
                                  "Pat Doe",
                                  "--email",
                                  "pat@example.com",
                                  "--pop3",
                                  "127.0.0.1:" + std::to_string(pop3Port),
                                  "--user",
                                  "pat",
                                  "--smtp",
                                  "127.0.0.1:" + std::to_string(smtpPort),
                                  "--pop3-security",
                                  "none",
                                  "--smtp-security",
                                  "none",
                                  "--password-stdin"},
                                 "pw\n");
    ASSERT_EQ(added.status, 0) << added.err;
  }

  [[nodiscard]] std::string Killed() const { return home / "Accounts/0000000001/Killed/"; }

  // A killed message as a check stores it: header lines, then its text, with CR LF.
  void WriteKilled(int number, const std::string& headers, const std::string& text = "") {
    char name[16];
    std::snprintf(name, sizeof name, "%010d", number);
    test::WriteFileText(Killed() + name + ".hdr", headers);
    if (!text.empty()) test::WriteFileText(Killed() + name + ".txt", text);
  }

  // Waits until the file holds `text`; fails the test after the harness's deadline.
  void WaitForText(const std::string& path, const std::string& text) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(test::kWaitMs);
    std::string now;
    while (!ReadWholeFile(path, now) || now.find(text) == std::string::npos) {
      ASSERT_LT(std::chrono::steady_clock::now(), end) << "no \"" << text << "\" in:\n" << now;
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
  }

  // Local time is two hours east of UTC, for the programs the test starts.
  test::TEnvironmentVariable zone{"TZ", "TST-2"};
  test::TTempDir home;
};

TEST_F(DailyCommandsTest, KilledListShowsDecodedCleanTextAndLocalIsoDatesAlsoAsJson) {
  AddAccount();
  WriteKilled(1,
              "From: =?UTF-8?B?w5xiZXJyYXNjaHVuZw==?= <promo@shop.example>\r\n"
              "Subject: =?ISO-8859-1?Q?Caf=E9_au_lait?=\r\n"
              "Date: Thu, 14 Mar 2024 08:00:00 +0000\r\n"
              "X-Tarnwell-Action: 3\r\nX-Tarnwell-Reason: Subject contains 'caf'");
  // Windows-1252 bytes, a tab and a terminal escape in a subject of a message without a date.
  WriteKilled(2,
              "From: Seller <s@x.example>\r\n"
              "Subject: Price \x80 5 \x93now\x94\tand\x1b[31m red\r\n"
              "X-Tarnwell-Action: 4\r\nX-Tarnwell-Reason: Kill\tthem");
  // Words in KOI8-R and UTF-8 (the blank between two words is not text), one in a charset no
  // system knows, and one holding a line break.
  WriteKilled(3,
              "Subject: =?KOI8-R?B?8NLJ18XU?= =?UTF-8?Q?_and_Gr=C3=BC=C3=9Fe?= "
              "=?x-unknown?Q?caf=E9?= =?UTF-8?Q?line=0Abreak?= =?UTF-8?Q?broken=?=\r\n"
              "X-Tarnwell-Action: 3");
  // The words of a MIME message were decoded by the check, which keeps their bytes; the date
  // was written in New York.
  WriteKilled(4,
              "Subject: Caf\xe9 cr\xe8me\r\nDate: Wed, 13 Mar 2024 11:30 PM EST\r\n"
              "X-Tarnwell-Action: 5");

  const TRunResult list = Run({"killed", "list"});
  ASSERT_EQ(list.status, 0) << list.err;
  EXPECT_EQ(list.out,
            "Home\t1\t2024-03-14T10:00:00+02:00\tÜberraschung <promo@shop.example>\tCafé au "
            "lait\tKill\tSubject contains 'caf'\n"
            "Home\t2\t\tSeller <s@x.example>\tPrice € 5 “now” and [31m red\tKill after "
            "complaining\tKill them\n"
            "Home\t3\t\t\tПривет and Grüßecaféline break =?UTF-8?Q?broken=?=\tKill\t\n"
            "Home\t4\t2024-03-14T06:30:00+02:00\t\tCafé crème\tKill after error message\t\n");

  const TRunResult json = Run({"killed", "list", "Home", "--json"});
  ASSERT_EQ(json.status, 0) << json.err;
  EXPECT_EQ(
      ParsedJson(json.out),
      "{\"account\":\"Home\",\"action\":\"kill\",\"date\":\"2024-03-14T10:00:00+02:00\","
      "\"number\":1,\"reason\":\"Subject contains 'caf'\",\"sender\":\"Überraschung "
      "<promo@shop.example>\",\"subject\":\"Café au lait\"}\n"
      "{\"account\":\"Home\",\"action\":\"complain\",\"date\":null,\"number\":2,"
      "\"reason\":\"Kill them\",\"sender\":\"Seller <s@x.example>\",\"subject\":\"Price € "
      "5 “now” and [31m red\"}\n"
      "{\"account\":\"Home\",\"action\":\"kill\",\"date\":null,\"number\":3,\"reason\":\"\","
      "\"sender\":\"\",\"subject\":\"Привет and Grüßecaféline break "
      "=?UTF-8?Q?broken=?=\"}\n"
      "{\"account\":\"Home\",\"action\":\"error-message\",\"date\":\"2024-03-14T06:30:00+02:00\","
      "\"number\":4,"
      "\"reason\":\"\",\"sender\":\"\",\"subject\":\"Café crème\"}\n");
}

TEST_F(DailyCommandsTest, EveryListPrintsOneJsonObjectPerLine) {
  AddAccount();
  ASSERT_EQ(Run({"filters", "add", "subject", "--pattern", "pills", "--action", "complain"}).status,
            0);
  ASSERT_EQ(Run({"filters", "block", "tk"}).status, 0);
  const struct {
    Args args;
    std::string parsed;
  } lists[] = {
      {{"accounts", "list", "--json"},
       "{\"active\":true,\"connection\":\"Direct connection\",\"description\":\"Home\","
       "\"email\":\"pat@example.com\",\"pop3_security\":\"none\",\"pop3_server\":\"127.0.0.1\","
       "\"pop3_user\":\"pat\",\"position\":1,\"smtp_security\":\"none\",\"type\":\"pop3\"}\n"},
      {{"filters", "list", "subject", "--json"},
       "{\"action\":\"complain\",\"description\":\"Subject contains 'pills'\",\"hits\":0,"
       "\"id\":1,\"kind\":\"subject\",\"origin\":\"user\"}\n"},
      {{"filters", "blocked", "--json"}, "{\"code\":\"tk\",\"name\":\"Tokelau\"}\n"},
      {{"killed", "list", "--json"}, ""},
      {{"live", "list", "--json"}, ""},
  };
  for (const auto& list : lists) {
    SCOPED_TRACE(list.args[0] + " " + list.args[1]);
    const TRunResult run = Run(list.args);
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(ParsedJson(run.out), list.parsed);
  }
  const TRunResult settings = Run({"settings", "list", "--json"});
  ASSERT_EQ(settings.status, 0) << settings.err;
  const std::string parsed = ParsedJson(settings.out);
  for (const char* setting :
       {"{\"name\":\"AutoPurgeDays\",\"value\":30}", "{\"name\":\"Logging\",\"value\":false}",
        "{\"name\":\"ComplainAddr\",\"value\":\"abuse,postmaster\"}"})
    EXPECT_NE(parsed.find(std::string(setting) + "\n"), std::string::npos) << parsed;
}

TEST_F(DailyCommandsTest, AccountsShowPrintsEverySettingButThePasswords) {
  AddAccount();
  const TRunResult shown = Run({"accounts", "show", "home"});
  ASSERT_EQ(shown.status, 0) << shown.err;
  for (const char* line :
       {"Description\tHome\n", "Email\tpat@example.com\n", "POP3Server\t127.0.0.1\n",
        "POP3Port\t1110\n", "POP3UserName\tpat\n", "SMTPPort\t25\n", "Time\t0:10:00\n",
        "LastCheck\t\n", "OnSpam/SoundEnabled\t1\n"})
    EXPECT_NE(shown.out.find(line), std::string::npos) << line << " in:\n" << shown.out;
  EXPECT_EQ(shown.out.find("Pass"), std::string::npos) << shown.out;
  EXPECT_EQ(shown.out.find("Password"), std::string::npos) << shown.out;

  const std::string json = ParsedJson(Run({"accounts", "show", "Home", "--json"}).out);
  EXPECT_NE(json.find("\"POP3Port\":1110,"), std::string::npos) << json;
  EXPECT_NE(json.find("\"LastCheck\":null,"), std::string::npos) << json;
  EXPECT_EQ(Run({"accounts", "show", "Nobody"}).status, 2);
}

// After a check against Dovecot that has ended: Live Mail with its statuses, then a killed
// message sent back to the account's own address, which the next check leaves alone.
TEST_F(DailyCommandsTest, LiveListAfterTheCheckAndRescueByForwardingThatIsNotFilteredAgain) {
  test::TDovecot dovecot;
  test::TSmtpServer smtp;
  dovecot.AddUser("pat", "pw");
  dovecot.Deliver("pat",
                  "From: Ann <ann@example.org>\nTo: pat@example.com\n"
                  "Subject: =?ISO-8859-1?Q?R=E9sum=E9?= =?UTF-8?B?R3LDvMOfZQ==?=\n"
                  "MIME-Version: 1.0\nContent-Type: text/plain\n"
                  "Date: Thu, 14 Mar 2024 08:00:00 +0000\n\nHello.\n");
  dovecot.Deliver("pat",
                  "From: Deals <deals@shop.example.com>\nReply-To: other@elsewhere.example\n"
                  "To: pat@example.com\nSubject: Spring sale \x96 \x80 5\n\nBuy.\n");
  dovecot.Deliver("pat",
                  "From: Seller <deals@spammer.example>\nTo: pat@example.com\n"
                  "Subject: Cheap viagra now\nMessage-Id: <v1@spammer.example>\n\nFrom here.\n");
  AddAccount(dovecot.Port(), smtp.Port());
  ASSERT_EQ(Run({"filters", "add", "subject", "--pattern", "viagra", "--action", "kill"}).status,
            0);
  const TRunResult once = Run({"/ONCE"});
  ASSERT_EQ(once.status, 0) << once.err;
  // The program emptied Live Mail's folder when it ended; the list outlasts it.
  EXPECT_TRUE(ListFiles(home / "Accounts/0000000001/Inbox", "").empty());

  const auto live = [this] {
    const TRunResult run = Run({"live", "list"});
    EXPECT_EQ(run.status, 0) << run.err;
    std::vector<std::vector<std::string>> rows;
    for (const std::string& line : Split(run.out, '\n')) rows.push_back(Split(line, '\t'));
    return rows;
  };
  std::vector<std::vector<std::string>> rows = live();
  ASSERT_EQ(rows.size(), 2u);
  EXPECT_EQ(rows[0][2], "Checked");
  EXPECT_EQ(rows[0][3], "2024-03-14T10:00:00+02:00");
  EXPECT_EQ(rows[0][4], "Ann <ann@example.org>");
  EXPECT_EQ(rows[0][5], "Résumé Grüße");
  EXPECT_EQ(rows[1][2], "Possible spam");
  EXPECT_EQ(rows[1][5], "Spring sale – € 5");
  EXPECT_EQ(rows[1][7], "'From' does not equal 'Reply-To'");
  EXPECT_EQ(rows[1].size(), 9u);
  EXPECT_EQ(rows[1][8].substr(0, 2), "20");

  const TRunResult killed = Run({"killed", "list"});
  ASSERT_EQ(Split(killed.out, '\n').size(), 1u) << killed.out;
  EXPECT_EQ(Split(killed.out, '\t')[1], "1");

  const TRunResult rescued = Run({"killed", "rescue", "Home", "1"});
  ASSERT_EQ(rescued.status, 0) << rescued.err;
  EXPECT_EQ(rescued.out, "1\tpat@example.com\n");
  const std::vector<test::TSmtpServer::TReceived> received = smtp.Received();
  ASSERT_EQ(received.size(), 1u);
  EXPECT_NE(
      std::find(received[0].envelope.begin(), received[0].envelope.end(), "TO pat@example.com"),
      received[0].envelope.end());
  EXPECT_NE(received[0].data.find("X-Tarnwell-Forwarded: Y"), std::string::npos);
  EXPECT_NE(received[0].data.find("Subject: Cheap viagra now"), std::string::npos);
  EXPECT_NE(received[0].data.find("From here."), std::string::npos);

  // Delivered back, the copy stays on the server and in Live Mail, unfiltered.
  dovecot.Deliver("pat", received[0].data);
  ASSERT_EQ(Run({"/ONCE"}).status, 0);
  rows = live();
  ASSERT_EQ(rows.size(), 3u);
  EXPECT_EQ(rows[2][2], "Checked");
  EXPECT_EQ(rows[2][5], "Cheap viagra now");
  EXPECT_EQ(dovecot.Messages("pat").size(), 3u);
  EXPECT_EQ(Split(Run({"killed", "list"}).out, '\n').size(), 1u);
}

TEST_F(DailyCommandsTest, RescueIntoAMaildirAndAnMbox) {
  AddAccount();
  WriteKilled(1,
              "From: Seller <deals@spammer.example>\r\nSubject: One\r\n"
              "X-Tarnwell-UID: u1\r\nX-Tarnwell-Length: 10\r\nX-Tarnwell-Action: 3\r\n"
              "X-Tarnwell-Reason: r\r\nX-Tarnwell-Read: Y",
              "From the start\r\n>From quoted\r\nEnd");
  WriteKilled(2, "From: Ann <ann@example.org>\r\nSubject: Two\r\nX-Tarnwell-Action: 3", "Hi");

  const std::string maildir = home / "Mail/rescued";
  const TRunResult toMaildir = Run({"killed", "rescue", "Home", "2", "1", "--maildir", maildir});
  ASSERT_EQ(toMaildir.status, 0) << toMaildir.err;
  const std::vector<std::string> delivered = ListFiles(maildir + "/new", "");
  ASSERT_EQ(delivered.size(), 2u);
  EXPECT_TRUE(DirectoryExists(maildir + "/cur") && DirectoryExists(maildir + "/tmp"));
  EXPECT_TRUE(ListFiles(maildir + "/tmp", "").empty());
  std::vector<std::string> texts;
  for (const std::string& name : delivered)
    texts.push_back(test::ReadFileText(maildir + "/new/" + name));
  std::sort(texts.begin(), texts.end());
  EXPECT_EQ(texts[0], "From: Ann <ann@example.org>\nSubject: Two\n\nHi\n");
  EXPECT_EQ(texts[1],
            "From: Seller <deals@spammer.example>\nSubject: One\n\nFrom the start\n>From "
            "quoted\nEnd\n");
  const std::vector<std::string> printed = Split(toMaildir.out, '\n');
  ASSERT_EQ(printed.size(), 2u) << toMaildir.out;
  for (size_t i = 0; i < 2; ++i) {
    const std::string file = printed[i].substr(printed[i].find('\t') + 1);
    EXPECT_EQ(printed[i].substr(0, 2), i == 0 ? "2\t" : "1\t");
    EXPECT_EQ(ExtractFilePath(file), maildir + "/new/");
    EXPECT_TRUE(test::FileExists(file)) << file;
  }

  const std::string mbox = home / "rescued.mbox";
  for (const char* number : {"1", "2"}) {
    const TRunResult run = Run({"killed", "rescue", "Home", number, "--mbox", mbox});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out, std::string(number) + "\t" + mbox + "\n");
  }
  const std::vector<std::string> lines = Split(test::ReadFileText(mbox), '\n');
  ASSERT_EQ(lines.size(), 14u) << test::ReadFileText(mbox);
  EXPECT_EQ(lines[0].rfind("From deals@spammer.example ", 0), 0u) << lines[0];
  EXPECT_EQ(std::vector<std::string>(lines.begin() + 1, lines.begin() + 8),
            (std::vector<std::string>{"From: Seller <deals@spammer.example>", "Subject: One", "",
                                      ">From the start", ">>From quoted", "End", ""}));
  EXPECT_EQ(lines[8].rfind("From ann@example.org ", 0), 0u) << lines[8];
  EXPECT_EQ(lines[12], "Hi");
  EXPECT_EQ(lines[13], "");

  // Nothing is written when a number is wrong or the targets clash.
  EXPECT_EQ(Run({"killed", "rescue", "Home", "1", "7", "--maildir", home / "other"}).err,
            "tarnwell: There is no killed message 7 in the account \"Home\".\n");
  EXPECT_FALSE(DirectoryExists(home / "other"));
  EXPECT_EQ(Run({"killed", "rescue", "Home", "1", "--maildir", maildir, "--mbox", mbox}).status, 2);
  EXPECT_EQ(Run({"killed", "rescue", "Home", "1", "--copy-to", "not an address"}).err,
            "tarnwell: --copy-to: This is not a valid e-mail address.\n");
  // The killed messages stay.
  EXPECT_EQ(ListFiles(Killed(), ".hdr").size(), 2u);
}

TEST_F(DailyCommandsTest, DeleteAndPurgeKilledMail) {
  AddAccount();
  WriteKilled(1, "Subject: Old\r\nX-Tarnwell-Action: 3", "Text");
  WriteKilled(2, "Subject: Old without text\r\nX-Tarnwell-Action: 3");
  WriteKilled(3, "Subject: New\r\nX-Tarnwell-Action: 3", "Text");
  WriteKilled(4, "Subject: Deleted\r\nX-Tarnwell-Action: 3", "Text");
  const timeval old[2] = {{std::time(nullptr) - 40 * 86400, 0},
                          {std::time(nullptr) - 40 * 86400, 0}};
  ASSERT_EQ(::utimes((Killed() + "0000000001.txt").c_str(), old), 0);
  ASSERT_EQ(::utimes((Killed() + "0000000002.hdr").c_str(), old), 0);

  const TRunResult unknown = Run({"killed", "delete", "Home", "4", "9"});
  EXPECT_EQ(unknown.status, 2);
  EXPECT_EQ(unknown.err, "tarnwell: There is no killed message 9 in the account \"Home\".\n");
  EXPECT_TRUE(test::FileExists(Killed() + "0000000004.hdr"));
  ASSERT_EQ(Run({"killed", "delete", "Home", "4"}).status, 0);
  EXPECT_FALSE(test::FileExists(Killed() + "0000000004.hdr"));
  EXPECT_FALSE(test::FileExists(Killed() + "0000000004.txt"));

  EXPECT_EQ(Run({"killed", "purge", "--days", "0"}).status, 2);
  ASSERT_EQ(Run({"killed", "purge", "--days", "41"}).out, "Home\t0\n");
  // By the settings' days (30), whether or not the automatic purge is on.
  ASSERT_EQ(Run({"settings", "set", "AutoPurge", "0"}).status, 0);
  const TRunResult purged = Run({"killed", "purge"});
  ASSERT_EQ(purged.status, 0) << purged.err;
  EXPECT_EQ(purged.out, "Home\t2\n");
  EXPECT_EQ(ListFiles(Killed(), ".hdr"), std::vector<std::string>{"0000000003.hdr"});
}

TEST_F(DailyCommandsTest, ChangesOfKilledMailAndSettingsWaitUntilTheRunningProgramEnds) {
  AddAccount();
  WriteKilled(1, "Subject: One\r\nX-Tarnwell-Action: 3", "Text");
  TSingleInstance running(InstanceLockPath(home.Path()), InstanceSocketPath(home.Path()));
  ASSERT_TRUE(running.Acquire([](int32_t) {}));
  for (const Args& change :
       {Args{"killed", "delete", "Home", "1"}, Args{"killed", "purge"},
        Args{"killed", "rescue", "Home", "1"}, Args{"settings", "set", "Logging", "1"}}) {
    const TRunResult refused = Run(change);
    EXPECT_EQ(refused.status, 1) << change[0] << " " << change[1];
    EXPECT_NE(refused.err.find("Tarnwell is running with this program folder"), std::string::npos)
        << refused.err;
  }
  EXPECT_EQ(Run({"settings", "get", "Logging"}).out, "0\n");
  // Reading, and rescuing into a file, leave what the program holds alone.
  EXPECT_EQ(Run({"killed", "rescue", "Home", "1", "--mbox", home / "mbox"}).status, 0);
  EXPECT_TRUE(test::FileExists(Killed() + "0000000001.txt"));
}

TEST_F(DailyCommandsTest, SettingsSetChecksTypeAndRangeAsTheDialogDoes) {
  const struct {
    Args args;
    std::string error;
  } refused[] = {
      {{"Logging", "maybe"}, "Logging: takes 1 or 0 (yes or no)."},
      {{"AutoPurgeDays", "0"},
       "AutoPurgeDays: You must enter a number between 1 and 365 in this field."},
      {{"AutoPurgeDays", "366"},
       "AutoPurgeDays: You must enter a number between 1 and 365 in this field."},
      {{"AutoPurgeDays", "ten"},
       "AutoPurgeDays: You must enter a number between 1 and 365 in this field."},
      {{"FTPProxyPort", "65536"},
       "FTPProxyPort: You must enter a number between 0 and 65535 in this field."},
      {{"SkipSize", "1000"},
       "SkipSize: You must enter a number between 1024 and 33553408 in this field."},
      {{"SkipSize", "1500"}, "SkipSize: takes whole kilobytes (a multiple of 1024)."},
      {{"FontSize", "9"}, "FontSize: takes 8, 10, 12 or 14."},
      {{"IconMode", "3"}, "IconMode: You must enter a number between 0 and 2 in this field."},
      {{"ActiveFilters", "sender,friends"},
       "ActiveFilters: unknown \"friends\"; use sender, subject, text, country, header."},
      {{"ComplainAddr", "none"},
       "ComplainAddr: unknown \"none\"; use sender, reply-to, abuse, postmaster, webmaster."},
      {{"UserComplaint", "No such template"},
       "UserComplaint: there is no complaint template \"No such template\"."},
      {{"FTPProxy", "1"}, "FTPProxyName: You cannot leave this field blank."},
      {{"FTPProxyName", std::string(51, 'p')}, "FTPProxyName: at most 50 characters."},
      {{"Password", "x"},
       "There is no setting \"Password\" the command line can read or change; see tarnwell "
       "settings list."},
  };
  for (const auto& c : refused) {
    Args args = {"settings", "set"};
    args.insert(args.end(), c.args.begin(), c.args.end());
    const TRunResult result = Run(args);
    EXPECT_EQ(result.status, 2) << c.error;
    EXPECT_EQ(result.err, "tarnwell: " + c.error + "\n");
  }
  EXPECT_EQ(Run({"settings", "set", "RecentComplaints", "no"}).status, 0);
  EXPECT_EQ(Run({"settings", "set", "NumRecentComplaints", "10"}).err,
            "tarnwell: NumRecentComplaints: can be changed only while RecentComplaints is 1.\n");

  const struct {
    std::string name;
    std::string value;
    std::string shown;
  } accepted[] = {
      {"logging", "1", "1"},
      {"AutoPurgeDays", "14", "14"},
      {"SkipSize", "2048", "2048"},
      {"StdAction", "complain", "4"},
      {"ActiveFilters", "subject, TEXT", "subject,text"},
      {"RemoveAddr", "sender,webmaster", "sender,webmaster"},
      {"UserComplaint", "standard ERROR message", "Standard error message"},
      {"EmailClient", "  thunderbird -mail  ", "thunderbird -mail"},
  };
  for (const auto& c : accepted) {
    const TRunResult set = Run({"settings", "set", c.name, c.value});
    ASSERT_EQ(set.status, 0) << c.name << ": " << set.err;
    EXPECT_EQ(Run({"settings", "get", c.name}).out, c.shown + "\n") << c.name;
  }
  // As the program reads them from the store.
  TRegistryStore store(home / "Registry.db");
  TSettings stored(&store);
  stored.Load();
  EXPECT_TRUE(stored.Logging);
  EXPECT_EQ(stored.AutoPurgeDays, 14);
  EXPECT_EQ(stored.SkipSize, 2048);
  EXPECT_EQ(stored.StdAction, 4);
  // The sender and friend filters stay on.
  EXPECT_EQ(stored.ActiveFilters, (1 << 1) | (1 << 3) | (1 << 4) | (1 << 5));
  EXPECT_EQ(stored.RemoveAddr, 0x11);
  EXPECT_FALSE(stored.RecentComplaints);
}

TEST_F(DailyCommandsTest, LogPrintsTheProgramLogAndFollowsItAcrossANewStart) {
  const std::string log = home / "Tarnwell.log";
  test::WriteFileText(log, "26-03-14 08:00:00 [Init: Done]\r\n");
  TRunResult printed = Run({"log"});
  EXPECT_EQ(printed.status, 0);
  EXPECT_EQ(printed.out, "26-03-14 08:00:00 [Init: Done]\n");
  EXPECT_EQ(printed.err,
            "tarnwell: the program log is off; turn it on with \"tarnwell settings set Logging "
            "1\".\n");
  ASSERT_EQ(Run({"settings", "set", "Logging", "1"}).status, 0);
  EXPECT_EQ(Run({"log"}).err, "");

  test::TChildProcess follow({TARNWELL_BINARY, "--home", home.Path(), "log", "-f"},
                             home / "followed");
  WaitForText(home / "followed", "[Init: Done]\n");
  AppendFile(log, "26-03-14 08:00:01 [Starting check: Home]\r\n26-03-14 08:00:02 [Half");
  WaitForText(home / "followed", "[Starting check: Home]\n");
  AppendFile(log, " a line]\r\n");
  WaitForText(home / "followed", "[Half a line]\n");
  // At its cap the log drops its oldest line and is written whole.
  test::WriteFileText(log,
                      "26-03-14 08:00:01 [Starting check: Home]\r\n26-03-14 08:00:02 [Half a "
                      "line]\r\n26-03-14 08:00:03 [Done]\r\n");
  WaitForText(home / "followed", "[Done]\n");
  // A new start of Tarnwell begins the log anew.
  std::remove(log.c_str());
  test::WriteFileText(log, "26-03-14 09:00:00 [Init: Configuration]\r\n");
  WaitForText(home / "followed", "[Init: Configuration]\n");
  follow.Stop();
  EXPECT_EQ(test::ReadFileText(home / "followed"),
            "26-03-14 08:00:00 [Init: Done]\n26-03-14 08:00:01 [Starting check: Home]\n"
            "26-03-14 08:00:02 [Half a line]\n26-03-14 08:00:03 [Done]\n"
            "26-03-14 09:00:00 [Init: Configuration]\n");
}

TEST_F(DailyCommandsTest, TheNewCommandsHaveHelp) {
  for (const char* command : {"live", "log", "settings"}) {
    const TRunResult help = RunTarnwell({command, "--help"});
    EXPECT_EQ(help.status, 0) << command;
    EXPECT_EQ(help.out.rfind(std::string("Usage: tarnwell "), 0), 0u) << help.out;
  }
}

}  // namespace
}  // namespace tarnwell
