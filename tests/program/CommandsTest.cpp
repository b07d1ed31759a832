// The accounts, filters and killed commands, run as the built program on a temporary folder.
#include <gtest/gtest.h>

#include <cstdlib>

#include "message/SvcString.h"
#include "platform/Files.h"
#include "platform/Registry.h"
#include "platform/SingleInstance.h"
#include "tests/program/CommandRunner.h"
#include "tests/support/TestSupport.h"
#include "transport/Security.h"

namespace tarnwell {
namespace {

using test::RunTarnwell;
using test::TRunResult;
using Args = std::vector<std::string>;

class CommandsTest : public ::testing::Test {
 protected:
  CommandsTest() { ::setenv("TZ", "UTC", 1); }

  TRunResult Run(Args args, const std::string& input = "") {
    args.insert(args.begin(), {"--home", home.Path()});
    return RunTarnwell(args, input);
  }

  // Adds a POP3 account with the password on standard input; the command must succeed.
  void AddAccount(const std::string& description, const std::string& email,
                  const std::string& password, Args extra = {}) {
    Args args = {"accounts", "add",     "pop3",      "--description",   description,      "--name",
                 "Pat Doe",  "--email", email,       "--pop3",          "127.0.0.1:1110", "--user",
                 "pat",      "--smtp",  "127.0.0.1", "--password-stdin"};
    args.insert(args.end(), extra.begin(), extra.end());
    const TRunResult result = Run(args, password + "\n");
    ASSERT_EQ(result.status, 0) << result.err;
  }

  // A value of an account's key in the store the commands wrote.
  std::string StoredString(const std::string& key, const std::string& name) {
    TRegistryStore store(home / "Registry.db");
    TRegistry registry(store);
    if (!registry.OpenKeyReadOnly("\\Software\\Halvora\\Tarnwell\\Accounts\\" + key))
      return "(no key)";
    return registry.ReadString(name);
  }
  int32_t StoredInteger(const std::string& key, const std::string& name) {
    TRegistryStore store(home / "Registry.db");
    TRegistry registry(store);
    registry.OpenKeyReadOnly("\\Software\\Halvora\\Tarnwell\\Accounts\\" + key);
    return registry.ReadInteger(name);
  }

  test::TTempDir home;
};

TEST_F(CommandsTest, AccountsAddListSetRemoveRoundTrip) {
  AddAccount("Home", "pat@example.com", "s3cret pass", {"--smtp-auth", "--timeout", "45"});
  const TRunResult work = Run({"accounts",
                               "add",
                               "pop3",
                               "--description",
                               "Work",
                               "--name",
                               "Pat Doe",
                               "--email",
                               "pat@work.example.org",
                               "--pop3",
                               "pop.work.example.org",
                               "--pop3-security",
                               "tls",
                               "--user",
                               "pat",
                               "--smtp",
                               "[2001:db8::25]",
                               "--smtp-security",
                               "none",
                               "--pin-pop3",
                               "ab:CD:" + std::string(60, 'e'),
                               "--password-stdin"},
                              "other\r\n");
  ASSERT_EQ(work.status, 0) << work.err;
  TRunResult list = Run({"accounts", "list"});
  ASSERT_EQ(list.status, 0) << list.err;
  EXPECT_EQ(list.out,
            "1\tyes\tHome\tInternet (POP3)\tDirect connection\tpat@example.com\ttls\tstarttls\t"
            "127.0.0.1\tpat\n"
            "2\tyes\tWork\tInternet (POP3)\tDirect connection\tpat@work.example.org\ttls\t"
            "none\tpop.work.example.org\tpat\n");

  // The description is compared without regard to case, as the wizard does.
  const TRunResult duplicate =
      Run({"accounts", "add", "pop3", "--description", " home ", "--name", "X", "--email",
           "x@example.com", "--pop3", "pop.example.com", "--user", "x", "--smtp",
           "smtp.example.com", "--password-stdin"},
          "pw\n");
  EXPECT_EQ(duplicate.status, 2);
  EXPECT_EQ(duplicate.err, "tarnwell: An account with this description already exists.\n");

  // Passwords are stored scrambled, the POP3 one and the outgoing server's alike.
  EXPECT_EQ(StoredString("0000000001", "Password"), ScramblePassword("s3cret pass"));
  EXPECT_NE(StoredString("0000000001", "Password").find_first_of("0123456789ABCDEF"),
            std::string::npos);
  EXPECT_EQ(StoredString("0000000001", "SMTPAuthPass"), ScramblePassword("s3cret pass"));
  EXPECT_EQ(StoredString("0000000001", "SMTPAuthUser"), "pat");
  EXPECT_EQ(StoredString("0000000002", "SMTPAuthPass"), "");
  EXPECT_EQ(StoredString("0000000002", "Password"), ScramblePassword("other"));
  EXPECT_EQ(StoredString("0000000001", "POP3Server"), "127.0.0.1");
  EXPECT_EQ(StoredInteger("0000000001", "POP3Port"), 1110);
  EXPECT_EQ(StoredInteger("0000000001", "Timeout"), 45);
  // New accounts use TLS for POP3 and STARTTLS for SMTP, on 995 and 587 when no port is given.
  EXPECT_EQ(StoredInteger("0000000001", "POP3Security"), scTls);
  EXPECT_EQ(StoredInteger("0000000001", "SMTPSecurity"), scStartTls);
  EXPECT_EQ(StoredInteger("0000000001", "SMTPPort"), 587);
  EXPECT_EQ(StoredString("0000000001", "POP3CertPin"), "");
  EXPECT_EQ(StoredInteger("0000000002", "POP3Port"), 995);
  EXPECT_EQ(StoredInteger("0000000002", "POP3Security"), scTls);
  EXPECT_EQ(StoredString("0000000002", "POP3CertPin"), "ABCD" + std::string(60, 'E'));
  EXPECT_EQ(StoredString("0000000002", "SMTPServer"), "2001:db8::25");
  EXPECT_EQ(StoredInteger("0000000002", "SMTPPort"), 25);
  EXPECT_EQ(StoredInteger("0000000002", "SMTPSecurity"), scNone);

  const TRunResult set = Run({"accounts", "set", "HOME", "--active", "no"});
  ASSERT_EQ(set.status, 0) << set.err;
  EXPECT_EQ(set.out,
            "1\tno\tHome\tInternet (POP3)\tDirect connection\tpat@example.com\ttls\tstarttls\t"
            "127.0.0.1\tpat\n");

  const TRunResult removed = Run({"accounts", "remove", "Home"});
  ASSERT_EQ(removed.status, 0) << removed.err;
  list = Run({"accounts", "list"});
  EXPECT_EQ(list.out,
            "1\tyes\tWork\tInternet (POP3)\tDirect connection\tpat@work.example.org\ttls\tnone\t"
            "pop.work.example.org\tpat\n");
  EXPECT_EQ(StoredString("0000000001", "Description"), "(no key)");
  EXPECT_FALSE(DirectoryExists(home / "Accounts/0000000001"));
  EXPECT_TRUE(DirectoryExists(home / "Accounts/0000000002/Killed"));
}

TEST_F(CommandsTest, AccountsRefuseBadInputWithStatus2) {
  AddAccount("Home", "pat@example.com", "pw");
  const Args base = {"accounts", "add", "pop3", "--name", "N", "--user", "u", "--smtp", "smtp.x"};
  const struct {
    Args args;
    std::string error;
  } cases[] = {
      {{"--description", "A", "--email", "no-at-sign", "--pop3", "p"},
       "--email: This is not a valid e-mail address."},
      {{"--description", "A", "--email", "a b@x.org", "--pop3", "p"},
       "--email: This is not a valid e-mail address."},
      {{"--description", " ", "--email", "a@x.org", "--pop3", "p"},
       "--description: You cannot leave this field blank."},
      {{"--description", "A", "--email", "a@x.org"}, "--pop3: You cannot leave this field blank."},
      {{"--description", "A", "--email", "a@x.org", "--pop3", "p:0"},
       "--pop3 port must be a number from 1 to 65535."},
      {{"--description", "A", "--email", "a@x.org", "--pop3", "p:110x"},
       "--pop3 port must be a number from 1 to 65535."},
      {{"--description", "A", "--email", "a@x.org", "--pop3", "p", "--timeout", "29"},
       "--timeout must be a number from 30 to 300."},
      // A password never comes from the command line.
      {{"--description", "A", "--email", "a@x.org", "--pop3", "p", "--password", "pw"},
       "unknown option \"--password\"."},
      {{"--description", "A", "--email", "a@x.org", "--pop3", "p", "--pin-smtp", "abc"},
       "--pin-smtp takes a SHA-256 fingerprint: 64 hexadecimal digits, colons allowed."},
      {{"--description", "A", "--email", "a@x.org", "--pop3", "p", "--pop3-security", "ssl"},
       "--pop3-security takes none, tls or starttls."},
  };
  for (const auto& c : cases) {
    Args args = base;
    args.insert(args.end(), c.args.begin(), c.args.end());
    const TRunResult result = Run(args);
    EXPECT_EQ(result.status, 2) << c.error;
    EXPECT_EQ(result.err, "tarnwell: " + c.error + "\n");
  }
  EXPECT_EQ(Run({"accounts", "add", "imap"}).status, 2);
  const TRunResult unknown = Run({"accounts", "set", "Nobody", "--active", "no"});
  EXPECT_EQ(unknown.status, 2);
  EXPECT_EQ(unknown.err, "tarnwell: There is no account with the description \"Nobody\".\n");
  EXPECT_EQ(Run({"accounts", "set", "Home", "--active", "maybe"}).status, 2);
  // Nothing of the refused commands reached the store.
  EXPECT_EQ(Run({"accounts", "list"}).out,
            "1\tyes\tHome\tInternet (POP3)\tDirect connection\tpat@example.com\ttls\tstarttls\t"
            "127.0.0.1\tpat\n");
}

TEST_F(CommandsTest, FiltersValidateAddListRemoveAndBlock) {
  const struct {
    Args args;
    std::string error;
  } refused[] = {
      {{"subject", "--condition", "contains"}, "--pattern: You cannot leave this field blank."},
      {{"header", "--header", " ", "--pattern", "x"},
       "--header: You cannot leave this field blank."},
      {{"header", "--header", "X-Mailer", "--pattern", "  "},
       "--pattern: You cannot leave this field blank."},
      {{"sender", "--user-condition", "none", "--domain-condition", "none"},
       "This filter will not do anything."},
      {{"sender", "--user", "bob", "--headers", "From,Received"},
       "--headers: You cannot filter on this header when you have entered a condition on the "
       "user name."},
      {{"text", "--condition", "equals", "--pattern", "x"},
       "--condition: \"Equals\" is not a condition of message text filters; use one of: "
       "contains, contains-word, does-not-contain, is-blank, is-uppercase."},
      {{"subject", "--condition", "is-blank", "--pattern", "x"},
       "--pattern: the condition \"Is blank\" takes no pattern."},
      {{"subject", "--pattern", "x", "--action", "kill", "--recipients", "abuse"},
       "--recipients: only for the actions \"Kill after complaining\" and \"Kill after error "
       "message\"."},
      {{"subject", "--pattern", std::string(51, 'x')}, "--pattern: at most 50 characters."},
      {{"friend", "--domain", "ann@example.org"}, "--domain: This is not a valid domain name."},
  };
  for (const auto& c : refused) {
    Args args = {"filters", "add"};
    args.insert(args.end(), c.args.begin(), c.args.end());
    const TRunResult result = Run(args);
    EXPECT_EQ(result.status, 2) << c.error;
    EXPECT_EQ(result.err, "tarnwell: " + c.error + "\n");
  }

  TRunResult added =
      Run({"filters", "add", "subject", "--pattern", "cheap pills", "--action", "complain"});
  ASSERT_EQ(added.status, 0) << added.err;
  EXPECT_EQ(added.out,
            "Subject\t1\tUser\tKill after complaining\t0\tSubject contains 'cheap pills'\n");
  added = Run({"filters", "add", "sender", "--domain", "spam.example", "--headers", "From"});
  ASSERT_EQ(added.status, 0) << added.err;
  EXPECT_EQ(added.out, "Sender\t1\tUser\tKill\t0\tDomain ends with 'spam.example'\n");
  added = Run({"filters", "add", "friend", "--address", "ann@friends.example.org"});
  ASSERT_EQ(added.status, 0) << added.err;
  const TRunResult same = Run({"filters", "add", "friend", "--address", "ann@friends.example.org"});
  EXPECT_EQ(same.err, "tarnwell: You already have a similar filter.\n");

  // The stored filters decide: the new subject filter kills, the friend is accepted.
  test::WriteFileText(
      home / "spam.eml",
      "From: x@sell.example.com\nTo: pat@example.com\nSubject: Cheap pills\n\nBuy\n");
  test::WriteFileText(home / "ann.eml",
                      "From: ann@friends.example.org\nTo: pat@example.com\nSubject: Hi\n\nHello\n");
  const TRunResult classified = Run({"classify", home / "spam.eml", home / "ann.eml"});
  EXPECT_EQ(classified.out, home / "spam.eml" + "\tSpam\tSubject contains 'cheap pills'\n" +
                                home / "ann.eml" + "\tFriend\tUser is 'ann@friends.example.org'\n");

  TRunResult list = Run({"filters", "list", "subject"});
  EXPECT_EQ(list.out,
            "Subject\t1\tUser\tKill after complaining\t0\tSubject contains 'cheap pills'\n");
  list = Run({"filters", "list"});
  EXPECT_NE(list.out.find("Header\t2\tSystem\tMark, but do not kill\t0\t'From' does not equal "
                          "'Reply-To'\n"),
            std::string::npos);

  const TRunResult system = Run({"filters", "remove", "header", "2"});
  EXPECT_EQ(system.status, 2);
  EXPECT_EQ(system.err, "tarnwell: System filters cannot be removed.\n");
  EXPECT_EQ(Run({"filters", "remove", "subject", "7"}).err,
            "tarnwell: There is no subject filter with the ID 7.\n");
  ASSERT_EQ(Run({"filters", "remove", "subject", "1"}).status, 0);
  EXPECT_EQ(Run({"filters", "list", "subject"}).out, "");

  // Blocking checks every code first, then stores the flags in Countries.dat.
  const TRunResult unknown = Run({"filters", "block", "tk", "zz"});
  EXPECT_EQ(unknown.err, "tarnwell: There is no country with the code \"zz\".\n");
  EXPECT_EQ(Run({"filters", "blocked"}).out, "");
  const TRunResult blocked = Run({"filters", "block", "TK", "nu"});
  ASSERT_EQ(blocked.status, 0) << blocked.err;
  EXPECT_EQ(blocked.out, "tk\tTokelau\tblocked\nnu\tNiue\tblocked\n");
  EXPECT_NE(test::ReadFileText(home / "Countries.dat").find("tk,Tokelau=1"), std::string::npos);
  ASSERT_EQ(Run({"filters", "unblock", "nu"}).status, 0);
  EXPECT_EQ(Run({"filters", "blocked"}).out, "tk\tTokelau\n");
  test::WriteFileText(home / "tk.eml",
                      "Received: from relay.shop.tk (relay.shop.tk [192.0.2.1]) by mx\n"
                      "From: a@b.example.com\nTo: pat@example.com\nSubject: Hello\n\nHi\n");
  EXPECT_EQ(Run({"classify", home / "tk.eml"}).out,
            home / "tk.eml" + "\tSpam\tSent from or via Tokelau\n");
}

TEST_F(CommandsTest, FriendCannotBeAnOwnAddress) {
  AddAccount("Home", "pat@example.com", "pw");
  const TRunResult own = Run({"filters", "add", "friend", "--address", "PAT@Example.com"});
  EXPECT_EQ(own.status, 2);
  EXPECT_EQ(own.err, "tarnwell: You cannot add your own e-mail address to the Friends list.\n");
}

TEST_F(CommandsTest, KilledListAndShow) {
  AddAccount("Home", "pat@example.com", "pw");
  const std::string killed = home / "Accounts/0000000001/Killed/";
  test::WriteFileText(killed + "0000000003.hdr",
                      "From: Seller <deals@spammer.example>\r\nTo: pat@example.com\r\n"
                      "Subject: Cheap\tpills\r\nDate: Thu, 14 Mar 2024 08:00:00 +0000\r\n"
                      "X-Tarnwell-UID: uid-1\r\nX-Tarnwell-Length: 120\r\n"
                      "X-Tarnwell-Action: 4\r\nX-Tarnwell-Reason: Subject contains 'pills'");
  test::WriteFileText(killed + "0000000003.txt", "Buy now.\r\n.\r\nBye");

  TRunResult list = Run({"killed", "list"});
  ASSERT_EQ(list.status, 0) << list.err;
  EXPECT_EQ(
      list.out,
      "Home\t3\t2024-03-14T08:00:00+00:00\tSeller <deals@spammer.example>\tCheap pills\tKill after "
      "complaining\tSubject contains 'pills'\n");
  EXPECT_EQ(Run({"killed", "list", "home"}).out, list.out);

  const TRunResult shown = Run({"killed", "show", "Home", "3"});
  ASSERT_EQ(shown.status, 0) << shown.err;
  EXPECT_EQ(shown.out,
            "From: Seller <deals@spammer.example>\nTo: pat@example.com\nSubject: Cheap\tpills\n"
            "Date: Thu, 14 Mar 2024 08:00:00 +0000\n\nBuy now.\n.\nBye\n");
  const TRunResult missing = Run({"killed", "show", "Home", "4"});
  EXPECT_EQ(missing.status, 2);
  EXPECT_EQ(missing.err, "tarnwell: There is no killed message 4 in the account \"Home\".\n");
  EXPECT_EQ(Run({"killed", "list", "Nobody"}).status, 2);
  // Listing leaves the messages where they are.
  EXPECT_TRUE(test::FileExists(killed + "0000000003.txt"));
}

TEST_F(CommandsTest, ChangesWaitUntilTheRunningProgramEnds) {
  TSingleInstance running(InstanceLockPath(home.Path()), InstanceSocketPath(home.Path()));
  ASSERT_TRUE(running.Acquire([](int32_t) {}));
  for (const Args& change : {Args{"filters", "add", "subject", "--pattern", "x"},
                             Args{"filters", "set", "header", "1", "--action", "ignore"},
                             Args{"filters", "block", "tk"}, Args{"accounts", "remove", "Home"}}) {
    const TRunResult refused = Run(change);
    EXPECT_EQ(refused.status, 1) << change[1];
    EXPECT_EQ(refused.err,
              "tarnwell: Tarnwell is running with this program folder; end it first, or it would "
              "undo the change when it saves.\n");
  }
  const TRunResult list = Run({"filters", "list", "subject"});
  EXPECT_EQ(list.status, 0) << list.err;
  EXPECT_EQ(list.out, "");
}

// Whatever reads a damaged Filters.dat first warns on standard error, once, keeps the file as it
// was and puts the warning in the error file; the filters that can be read stay in use.
TEST_F(CommandsTest, ADamagedFilterFileIsToldOnceByTheCommandThatFindsIt) {
  ASSERT_EQ(Run({"filters", "add", "subject", "--pattern", "pills", "--action", "kill"}).status, 0);
  const std::string file = home / "Filters.dat";
  const std::string data = test::ReadFileText(file);
  const std::string cut = data.substr(0, data.size() - 50);
  test::WriteFileText(home / "spam.eml", "From: a@example.org\nSubject: cheap pills\n\nBuy.\n");
  const struct {
    Args args;
    int status;
  } commands[] = {
      {{"filters", "list"}, 0},
      {{"classify", home / "spam.eml"}, 0},
      {{"/ONCE"}, 2},  // no account yet
  };
  int copies = 0;
  for (const auto& command : commands) {
    SCOPED_TRACE(command.args.front());
    test::WriteFileText(file, cut);
    const std::string copy = file + ".damaged" + (copies ? "." + std::to_string(copies) : "");
    ++copies;
    for (const bool first : {true, false}) {
      const TRunResult run = Run(command.args);
      EXPECT_EQ(run.status, command.status) << run.err;
      const bool warned =
          run.err.find("The filter file \"" + file + "\" was damaged: it ends inside a filter") !=
          std::string::npos;
      EXPECT_EQ(warned, first) << run.err;
      if (first) {
        EXPECT_NE(run.err.find("kept as \"" + copy + "\""), std::string::npos) << run.err;
        EXPECT_NE(test::ReadFileText(home / "Tarnwell.err").find(copy), std::string::npos);
      }
      if (command.args.front() != "/ONCE") {
        EXPECT_NE(run.out.find("pills"), std::string::npos) << run.out;
      }
    }
    EXPECT_EQ(test::ReadFileText(copy), cut);
  }
}

TEST_F(CommandsTest, EveryCommandHasHelp) {
  for (const char* command : {"accounts", "filters", "killed", "demo", "classify"}) {
    const TRunResult help = RunTarnwell({command, "--help"});
    EXPECT_EQ(help.status, 0) << command;
    EXPECT_EQ(help.out.rfind(std::string("Usage: tarnwell "), 0), 0u) << help.out;
  }
}

}  // namespace
}  // namespace tarnwell
