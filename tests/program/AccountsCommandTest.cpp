// The accounts command run as the built program: set, remove, add without a password, and test
// against a private Dovecot and SMTP server.
#include <gtest/gtest.h>

#include <cstring>
#include <map>
#include <memory>

#include "message/SvcString.h"
#include "platform/Files.h"
#include "platform/Registry.h"
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
using TValues = std::map<std::string, std::string>;

const std::string kAccountsKey = "\\Software\\Halvora\\Tarnwell\\Accounts\\";
const std::string kAccountKey = kAccountsKey + "0000000001";
const std::string kPin(64, 'A');

test::TDovecot& Dovecot() {
  static std::unique_ptr<test::TDovecot> dovecot;
  if (!dovecot) dovecot = std::make_unique<test::TDovecot>();
  return *dovecot;
}

// A date-time or a byte set as the store holds it.
std::string Float(double value) {
  std::string bytes(sizeof value, '\0');
  std::memcpy(bytes.data(), &value, sizeof value);
  return bytes;
}
std::string Byte(char value) { return std::string(1, value); }

TRunResult RunIn(const std::string& home, Args args, const std::string& input = "") {
  args.insert(args.begin(), {"--home", home});
  return RunTarnwell(args, input);
}

// Adds the account "Home" with the password "pw" on standard input; `extra` options follow.
void AddHome(const std::string& home, const Args& extra = {}) {
  Args args = {"accounts",        "add",     "pop3",    "--description",   "Home",
               "--name",          "Pat Doe", "--email", "pat@example.com", "--pop3",
               "127.0.0.1:1110",  "--user",  "pat",     "--smtp",          "127.0.0.1",
               "--password-stdin"};
  args.insert(args.end(), extra.begin(), extra.end());
  const TRunResult added = RunIn(home, args, "pw\n");
  ASSERT_EQ(added.status, 0) << added.err;
}

// Every value of a key, integers in decimal and the others as stored.
TValues StoredValues(const std::string& home, const std::string& key = kAccountKey) {
  TRegistryStore store(home + "Registry.db");
  TRegistry registry(store);
  TValues values;
  if (!registry.OpenKeyReadOnly(key)) return values;
  for (const std::string& name : registry.GetValueNames()) {
    switch (registry.GetDataType(name)) {
      case TRegDataType::Integer: values[name] = std::to_string(registry.ReadInteger(name)); break;
      case TRegDataType::String: values[name] = registry.ReadString(name); break;
      default: values[name] = registry.ReadBinary(name); break;
    }
  }
  return values;
}

// The values that differ from `before`, with their new value ("(gone)" when missing).
TValues Changes(const TValues& before, const TValues& after) {
  TValues changed;
  for (const auto& [name, value] : after) {
    const auto old = before.find(name);
    if (old == before.end() || old->second != value) changed[name] = value;
  }
  for (const auto& [name, value] : before)
    if (!after.contains(name)) changed[name] = "(gone)";
  return changed;
}

// Each option of set changes its stored values and nothing else; the account is added with
// `base` and then changed with `set`.
TEST(AccountsCommandTest, SetChangesWhatIsGivenAndKeepsTheRest) {
  const Args withLogin = {"--smtp-auth",     "--spa", "--pin-pop3", kPin,    "--pin-smtp", kPin,
                          "--smtp-security", "tls",   "--interval", "manual"};
  const struct {
    Args base;
    Args set;
    std::string input;
    TValues changes;
  } cases[] = {
      {{}, {"--description", "Work"}, "", {{"Description", "Work"}}},
      {{}, {"--description", "HOME"}, "", {{"Description", "HOME"}}},
      {{}, {"--name", " Sam Roe "}, "", {{"Name", "Sam Roe"}}},
      {{}, {"--email", "sam@example.org"}, "", {{"Email", "sam@example.org"}}},
      // A server without a port takes the default of its security; a port given is kept.
      {{},
       {"--pop3", "pop.example.net"},
       "",
       {{"POP3Server", "pop.example.net"}, {"POP3Port", "995"}}},
      {{},
       {"--pop3", "[2001:db8::1]:2110"},
       "",
       {{"POP3Server", "2001:db8::1"}, {"POP3Port", "2110"}}},
      {{}, {"--user", "sam"}, "", {{"POP3UserName", "sam"}}},
      {{}, {"--password-stdin"}, "new pass\n", {{"Password", ScramblePassword("new pass")}}},
      // A security changed alone moves a default port along and keeps one chosen by hand.
      {{}, {"--pop3-security", "none"}, "", {{"POP3Security", "0"}}},
      {{}, {"--smtp-security", "tls"}, "", {{"SMTPSecurity", "1"}, {"SMTPPort", "465"}}},
      {{},
       {"--smtp-security", "none", "--smtp", "smtp.example.net:2525"},
       "",
       {{"SMTPSecurity", "0"}, {"SMTPServer", "smtp.example.net"}, {"SMTPPort", "2525"}}},
      {{},
       {"--smtp-auth"},
       "",
       {{"SMTPAuth", "1"}, {"SMTPAuthUser", "pat"}, {"SMTPAuthPass", ScramblePassword("pw")}}},
      {{}, {"--spa"}, "", {{"SPA", "1"}, {"SMTPSPA", "1"}}},
      {{}, {"--pin-pop3", std::string(64, 'b')}, "", {{"POP3CertPin", std::string(64, 'B')}}},
      {{}, {"--pin-smtp", kPin}, "", {{"SMTPCertPin", kPin}}},
      {{}, {"--timeout", "300"}, "", {{"Timeout", "300"}}},
      {{}, {"--interval", "45m"}, "", {{"Time", Float(45 / 1440.0)}}},
      {{}, {"--interval", "24h"}, "", {{"IntervalType", "1"}, {"Time", Float(1.0)}}},
      {{}, {"--interval", "8:30"}, "", {{"IntervalType", "2"}, {"Time", Float(510 / 1440.0)}}},
      // Manual checking keeps the start-up check, as the account dialog does.
      {{},
       {"--interval", "manual"},
       "",
       {{"IntervalType", "3"}, {"Time", Float(0)}, {"CheckTypes", Byte(1)}}},
      {{}, {"--active", "no"}, "", {{"Active", "0"}}},
      // With the outgoing login on, its user and password follow the POP3 ones.
      {withLogin, {"--user", "sam"}, "", {{"POP3UserName", "sam"}, {"SMTPAuthUser", "sam"}}},
      {withLogin,
       {"--password-stdin"},
       "new pass\n",
       {{"Password", ScramblePassword("new pass")},
        {"SMTPAuthPass", ScramblePassword("new pass")}}},
      {withLogin, {"--no-smtp-auth"}, "", {{"SMTPAuth", "0"}}},
      {withLogin, {"--no-spa"}, "", {{"SPA", "0"}, {"SMTPSPA", "0"}}},
      {withLogin, {"--pin-pop3", "none"}, "", {{"POP3CertPin", ""}}},
      {withLogin, {"--pin-smtp", ""}, "", {{"SMTPCertPin", ""}}},
      {withLogin,
       {"--smtp-security", "starttls"},
       "",
       {{"SMTPSecurity", "2"}, {"SMTPPort", "587"}}},
      {withLogin,
       {"--interval", "2h"},
       "",
       {{"IntervalType", "1"}, {"Time", Float(2 / 24.0)}, {"CheckTypes", Byte(5)}}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::PrintToString(c.base) + " then " + testing::PrintToString(c.set));
    test::TTempDir home;
    AddHome(home.Path(), c.base);
    const TValues before = StoredValues(home.Path());
    Args args = {"accounts", "set", "home"};
    args.insert(args.end(), c.set.begin(), c.set.end());
    const TRunResult set = RunIn(home.Path(), args, c.input);
    ASSERT_EQ(set.status, 0) << set.err;
    EXPECT_EQ(Changes(before, StoredValues(home.Path())), c.changes);
  }
}

// An outgoing login of its own, as the account dialog can set it, stays when the POP3 login
// changes.
TEST(AccountsCommandTest, SetKeepsASeparateOutgoingLogin) {
  test::TTempDir home;
  AddHome(home.Path(), {"--smtp-auth"});
  {
    TRegistryStore store(home / "Registry.db");
    TRegistry registry(store);
    ASSERT_TRUE(registry.OpenKey(kAccountKey, false));
    registry.WriteString("SMTPAuthUser", "relay");
    registry.WriteString("SMTPAuthPass", ScramblePassword("relay pw"));
  }
  const TValues before = StoredValues(home.Path());
  const TRunResult set =
      RunIn(home.Path(), {"accounts", "set", "Home", "--user", "sam", "--password-stdin"}, "new\n");
  ASSERT_EQ(set.status, 0) << set.err;
  EXPECT_EQ(Changes(before, StoredValues(home.Path())),
            (TValues{{"POP3UserName", "sam"}, {"Password", ScramblePassword("new")}}));
}

TEST(AccountsCommandTest, SetRefusesWhatTheDialogsRefuseAndChangesNothing) {
  test::TTempDir home;
  AddHome(home.Path());
  const TRunResult work =
      RunIn(home.Path(),
            {"accounts", "add", "pop3", "--description", "Work", "--name", "Pat", "--email",
             "pat@work.example.org", "--pop3", "pop.example.org", "--user", "pat", "--smtp",
             "smtp.example.org", "--password-stdin"},
            "pw\n");
  ASSERT_EQ(work.status, 0) << work.err;
  const TValues before = StoredValues(home.Path());
  const struct {
    Args args;
    std::string input;
    std::string error;
  } cases[] = {
      {{}, "", "accounts set needs a setting to change; accounts --help lists them."},
      {{"--description", "work"}, "", "An account with this description already exists."},
      {{"--name", " "}, "", "--name: You cannot leave this field blank."},
      {{"--email", "pat.example.com"}, "", "--email: This is not a valid e-mail address."},
      {{"--smtp", "smtp.example.org:"}, "", "--smtp: the port after the \":\" is missing."},
      {{"--pop3", "p:65536"}, "", "--pop3 port must be a number from 1 to 65535."},
      {{"--timeout", "301"}, "", "--timeout must be a number from 30 to 300."},
      {{"--interval", "0m"}, "", "--interval minutes must be a number from 1 to 59."},
      {{"--interval", "25h"}, "", "--interval hours must be a number from 1 to 24."},
      {{"--interval", "24:00"}, "", "--interval hour must be a number from 0 to 23."},
      {{"--interval", "daily"},
       "",
       "--interval takes minutes (10m, 1 to 59), hours (2h, 1 to 24), a time of day (08:30) or "
       "manual."},
      {{"--spa", "--no-spa"}, "", "--spa and --no-spa exclude each other."},
      {{"--active", "maybe"}, "", "--active takes yes or no."},
      {{"--password-stdin"}, " \n", "--password-stdin: You cannot leave this field blank."},
      {{"--password", "pw"}, "", "unknown option \"--password\"."},
  };
  for (const auto& c : cases) {
    Args args = {"accounts", "set", "Home"};
    args.insert(args.end(), c.args.begin(), c.args.end());
    const TRunResult result = RunIn(home.Path(), args, c.input);
    EXPECT_EQ(result.status, 2) << c.error;
    EXPECT_EQ(result.err, "tarnwell: " + c.error + "\n");
  }
  EXPECT_EQ(StoredValues(home.Path()), before);
}

TEST(AccountsCommandTest, RemoveMatchesExactlyAndKeepsKilledMailUnlessTold) {
  test::TTempDir home;
  AddHome(home.Path());
  const std::string folder = home / "Accounts/0000000001";
  test::WriteFileText(folder + "/Killed/0000000001.hdr",
                      "From: a@spam.example\r\nSubject: Cheap\r\nX-Tarnwell-UID: u1\r\n"
                      "X-Tarnwell-Action: 3\r\nX-Tarnwell-Reason: Subject contains 'Cheap'");
  test::WriteFileText(folder + "/Killed/0000000001.txt", "Buy.");

  const TRunResult lower = RunIn(home.Path(), {"accounts", "remove", "home"});
  EXPECT_EQ(lower.status, 2);
  EXPECT_EQ(lower.err,
            "tarnwell: There is no account with the description \"home\"; remove takes it "
            "exactly as listed: \"Home\".\n");

  const TRunResult holding = RunIn(home.Path(), {"accounts", "remove", "Home"});
  EXPECT_EQ(holding.status, 2);
  EXPECT_EQ(holding.err,
            "tarnwell: The account \"Home\" holds 1 message in Killed Mail; give "
            "--delete-killed-mail to delete it with the account.\n");
  EXPECT_TRUE(test::FileExists(folder + "/Killed/0000000001.txt"));
  EXPECT_EQ(StoredValues(home.Path()).at("Description"), "Home");

  const TRunResult removed =
      RunIn(home.Path(), {"accounts", "remove", "--delete-killed-mail", "Home"});
  EXPECT_EQ(removed.status, 0) << removed.err;
  EXPECT_FALSE(DirectoryExists(folder));
  EXPECT_TRUE(StoredValues(home.Path()).empty());
}

// On a terminal, remove asks before it deletes Killed Mail, and add asks for the password
// with the echo off.
TEST(AccountsCommandTest, OnATerminalRemoveAndAddAsk) {
  test::TTempDir home;
  AddHome(home.Path());
  const std::string killed = home / "Accounts/0000000001/Killed/";
  test::WriteFileText(killed + "0000000001.hdr", "Subject: Cheap\r\nX-Tarnwell-UID: u1");
  test::WriteFileText(killed + "0000000001.txt", "Buy.");
  const Args remove = {"--home", home.Path(), "accounts", "remove", "Home"};
  const TRunResult kept = test::RunTarnwellOnTerminal(remove, "Yes or no? ", "no\n");
  EXPECT_EQ(kept.status, 1) << kept.out;
  EXPECT_NE(kept.out.find("The account \"Home\" holds 1 message in Killed Mail, which is deleted "
                          "with it.\r\nAre you sure that you want to delete this account?"),
            std::string::npos)
      << kept.out;
  EXPECT_TRUE(test::FileExists(killed + "0000000001.txt"));
  const TRunResult removed = test::RunTarnwellOnTerminal(remove, "Yes or no? ", "yes\n");
  EXPECT_EQ(removed.status, 0) << removed.out;
  EXPECT_FALSE(DirectoryExists(home / "Accounts/0000000001"));

  const TRunResult added = test::RunTarnwellOnTerminal(
      {"--home", home.Path(), "accounts", "add", "pop3", "--description", "Home", "--name", "Pat",
       "--email", "pat@example.com", "--pop3", "pop.example.com", "--user", "pat", "--smtp",
       "smtp.example.com"},
      "Password: ", "typed secret\n");
  EXPECT_EQ(added.status, 0) << added.out;
  EXPECT_EQ(added.out.find("typed secret"), std::string::npos) << added.out;
  EXPECT_EQ(StoredValues(home.Path(), kAccountsKey + "0000000002").at("Password"),
            ScramblePassword("typed secret"));
}

// Without a terminal to ask on, an account without a password is refused before anything is
// written.
TEST(AccountsCommandTest, AddWithoutAPasswordAndNoTerminalStoresNothing) {
  test::TTempDir home;
  const TRunResult added =
      RunIn(home.Path(), {"accounts", "add", "pop3", "--description", "Home", "--name", "Pat",
                          "--email", "pat@example.com", "--pop3", "pop.example.com", "--user",
                          "pat", "--smtp", "smtp.example.com"});
  EXPECT_EQ(added.status, 2);
  EXPECT_EQ(added.err,
            "tarnwell: accounts add needs the password: give it on standard input with "
            "--password-stdin, or run the command on a terminal.\n");
  EXPECT_EQ(added.out, "");
  EXPECT_TRUE(StoredValues(home.Path()).empty());
  EXPECT_FALSE(DirectoryExists(home / "Accounts/0000000001"));
}

// The default event sounds lie in the program folder given with --home.
TEST(AccountsCommandTest, AddTakesTheEventSoundsFromTheProgramFolderGiven) {
  test::TTempDir home;
  AddHome(home.Path());
  const struct {
    const char* key;
    const char* file;
  } events[] = {{"OnNewMail", "New mail 1.wav"},
                {"OnPossibleSpam", "Possible spam 1.wav"},
                {"OnSpam", "Spam 1.wav"},
                {"OnFriendlyMail", "Friend 1.wav"}};
  for (const auto& event : events) {
    const TValues values = StoredValues(home.Path(), kAccountKey + "\\" + event.key);
    EXPECT_EQ(values.at("Sound"), home / "Sounds/" + event.file);
    EXPECT_EQ(values.at("SoundEnabled"), "1");
  }
}

// The test logs in to both servers and out again, stopping at the first failure.
TEST(AccountsCommandTest, TestLogsInToBothServersAndTellsWhatHappened) {
  Dovecot().AddUser("tester", "pw");
  Dovecot().Deliver("tester", "From: a@example.org\nSubject: Stays\n\nText.\n");
  test::TSmtpServer smtp;
  const test::TBoundPort refusing;
  const std::string pop3 = "127.0.0.1:" + std::to_string(Dovecot().Port());
  const std::string local = "127.0.0.1:" + std::to_string(smtp.Port());
  const std::string refused = "127.0.0.1:" + std::to_string(refusing.Port());
  const std::string pop3Steps =
      "Locating server 127.0.0.1...\nLogging in to 127.0.0.1...\nLogging out from 127.0.0.1...\n";
  const struct {
    const char* name;
    Args servers;
    std::string password;
    int status;
    // The output, or its beginning up to the error's own text.
    std::string out;
    bool whole;
  } cases[] = {
      {"success",
       {"--pop3", pop3, "--smtp", local},
       "pw",
       0,
       pop3Steps + pop3Steps + "Tarnwell successfully connected to the account.\n",
       true},
      {"wrong POP3 password",
       {"--pop3", pop3, "--smtp", local},
       "wrong",
       1,
       "Locating server 127.0.0.1...\nLogging in to 127.0.0.1...\n"
       "The POP3 server reported an error:\n",
       false},
      {"POP3 server refuses",
       {"--pop3", refused, "--smtp", local},
       "pw",
       1,
       "Locating server 127.0.0.1...\nLogging in to 127.0.0.1...\n"
       "The POP3 server reported an error:\n",
       false},
      {"SMTP server refuses",
       {"--pop3", pop3, "--smtp", refused},
       "pw",
       1,
       pop3Steps + "Locating server 127.0.0.1...\nLogging in to 127.0.0.1...\n"
                   "The SMTP server reported an error:\n",
       false},
      {"unknown server name",
       {"--pop3", "pop.example.invalid", "--smtp", local},
       "pw",
       1,
       "Locating server pop.example.invalid...\nCould not contact the POP3 server "
       "\"pop.example.invalid\". \n\nYou should check that this is the correct name.\n",
       true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    test::TTempDir home;
    Args add = {"accounts",
                "add",
                "pop3",
                "--description",
                "Home",
                "--name",
                "Pat",
                "--email",
                "pat@example.com",
                "--user",
                "tester",
                "--pop3-security",
                "none",
                "--smtp-security",
                "none",
                "--password-stdin"};
    add.insert(add.end(), c.servers.begin(), c.servers.end());
    ASSERT_EQ(RunIn(home.Path(), add, c.password + "\n").status, 0);
    const TRunResult run = RunIn(home.Path(), {"accounts", "test", "home"});
    EXPECT_EQ(run.status, c.status) << run.err;
    if (c.whole) {
      EXPECT_EQ(run.out, c.out);
    } else {
      EXPECT_EQ(run.out.substr(0, c.out.size()), c.out);
      EXPECT_EQ(run.out.find("Logging out from", c.out.size()), std::string::npos) << run.out;
      EXPECT_EQ(run.out.find("successfully"), std::string::npos) << run.out;
    }
  }
  // No message was fetched, deleted or sent.
  EXPECT_EQ(Dovecot().Messages("tester").size(), 1u);
  EXPECT_TRUE(smtp.Received().empty());
}

// An account reached over a dial-up connection fails its test when the dial fails.
TEST(AccountsCommandTest, TestOfADialUpAccountDialsFirst) {
  test::TTempDir home;
  AddHome(home.Path());
  {
    TRegistryStore store(home / "Registry.db");
    TRegistry registry(store);
    ASSERT_TRUE(registry.OpenKey(kAccountKey, false));
    registry.WriteBool("DialUp", true);
    registry.WriteString("Connection", "Provider");
  }
  const TRunResult run = RunIn(home.Path(), {"accounts", "test", "Home"});
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.out, "Dialing...\nUnable to establish a dial-up connection.\n");
}

}  // namespace
}  // namespace tarnwell
