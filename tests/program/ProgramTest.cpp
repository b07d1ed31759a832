// The program itself, run as the built binary on a temporary folder against a private Dovecot.
#include <gtest/gtest.h>
#include <signal.h>

#include <chrono>
#include <cstdio>
#include <map>
#include <memory>
#include <optional>
#include <thread>

#include "platform/Files.h"
#include "platform/Registry.h"
#include "shell/Settings.h"
#include "tests/program/CommandRunner.h"
#include "tests/support/Certificates.h"
#include "tests/support/ChildProcess.h"
#include "tests/support/Dovecot.h"
#include "tests/support/TestSupport.h"

namespace tarnwell {
namespace {

using test::RunTarnwell;
using test::TRunResult;
using Args = std::vector<std::string>;

test::TDovecot& Dovecot() {
  static std::unique_ptr<test::TDovecot> dovecot;
  if (!dovecot) dovecot = std::make_unique<test::TDovecot>();
  return *dovecot;
}

std::string Mail(const std::string& from, const std::string& subject) {
  return "From: " + from + "\nTo: me@example.com\nSubject: " + subject +
         "\nDate: Thu, 14 Mar 2024 08:00:00 +0000\nMessage-Id: <" + subject.substr(0, 5) +
         "@mail.example.net>\n\nHello there.\n";
}

class ProgramTest : public ::testing::Test {
 protected:
  TRunResult Run(Args args, const std::string& input = "") {
    args.insert(args.begin(), {"--home", home.Path()});
    return RunTarnwell(args, input);
  }

  // An account on the POP3 server at 127.0.0.1:`port`, with the servers' other settings from
  // `servers` (by default plain connections and an SMTP server on 127.0.0.1).
  void AddAccount(const std::string& description, int port, const std::string& user,
                  const std::string& password,
                  const Args& servers = {"--smtp", "127.0.0.1", "--pop3-security", "none",
                                         "--smtp-security", "none"}) {
    Args args = {"accounts",
                 "add",
                 "pop3",
                 "--description",
                 description,
                 "--name",
                 "Me",
                 "--email",
                 "me@example.com",
                 "--pop3",
                 "127.0.0.1:" + std::to_string(port),
                 "--user",
                 user,
                 "--password-stdin"};
    args.insert(args.end(), servers.begin(), servers.end());
    const TRunResult account = Run(args, password + "\n");
    ASSERT_EQ(account.status, 0) << account.err;
  }

  // An account "Test" on the POP3 server at `port`, and a subject filter that kills "viagra".
  void SetUp(int port, const std::string& user, const std::string& password) {
    AddAccount("Test", port, user, password);
    const TRunResult filter = Run({"filters", "add", "subject", "--condition", "contains",
                                   "--pattern", "viagra", "--action", "kill"});
    ASSERT_EQ(filter.status, 0) << filter.err;
  }

  // An account on the Dovecot user `user`, and the program log on.
  void SetUpForRunning(const std::string& user) {
    Dovecot().AddUser(user, "pw");
    SetUp(Dovecot().Port(), user, "pw");
    TRegistryStore store(home / "Registry.db");
    TSettings settings(&store);
    settings.Logging = true;
    settings.SaveAll();
  }

  // The program running on the folder, its start-up ended, with a log of this run alone.
  std::unique_ptr<test::TChildProcess> Start() {
    std::remove((home / "Tarnwell.log").c_str());
    auto program = std::make_unique<test::TChildProcess>(
        std::vector<std::string>{TARNWELL_BINARY, "--home", home.Path()}, home / "out");
    WaitForLog(*program, "Init: Done");
    return program;
  }

  [[nodiscard]] std::string Log() const {
    std::string text;
    ReadWholeFile(home / "Tarnwell.log", text);
    return text;
  }

  // Waits for the running program to write `text` to its log.
  void WaitForLog(test::TChildProcess& program, const std::string& text) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(15);
    while (Log().find("[" + text + "]") == std::string::npos) {
      ASSERT_TRUE(program.Running()) << "the program ended:\n" << test::ReadFileText(home / "out");
      ASSERT_LT(std::chrono::steady_clock::now(), end) << "no \"" << text << "\" in:\n" << Log();
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
  }

  [[nodiscard]] std::map<std::string, std::string> StoredSettings() const {
    TRegistryStore store(home / "Registry.db");
    TRegistry registry(store);
    std::map<std::string, std::string> values;
    if (!registry.OpenKeyReadOnly(TSettings::kKeyPath)) return values;
    for (const std::string& name : registry.GetValueNames()) {
      switch (registry.GetDataType(name)) {
        case TRegDataType::Integer:
          values[name] = std::to_string(registry.ReadInteger(name));
          break;
        case TRegDataType::String: values[name] = registry.ReadString(name); break;
        default: values[name] = registry.ReadBinary(name); break;
      }
    }
    return values;
  }

  test::TTempDir home;
};

TEST_F(ProgramTest, OnceKillsTheSpamOnTheServerAndKeepsItInKilledMail) {
  Dovecot().AddUser("once", "pw");
  Dovecot().Deliver("once", Mail("Bob <bob@other.net>", "Lunch tomorrow"));
  Dovecot().Deliver("once", Mail("Seller <deals@spammer.biz>", "Cheap viagra now"));
  SetUp(Dovecot().Port(), "once", "pw");

  const TRunResult run = Run({"--headless", "/once"});
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.err, "");
  const std::vector<std::string> left = Dovecot().Messages("once");
  ASSERT_EQ(left.size(), 1u);
  EXPECT_NE(left[0].find("Lunch tomorrow"), std::string::npos);

  const TRunResult killed = Run({"killed", "list"});
  ASSERT_EQ(killed.status, 0) << killed.err;
  EXPECT_NE(killed.out.find("Cheap viagra now"), std::string::npos) << killed.out;
  EXPECT_EQ(killed.out.find("Lunch"), std::string::npos) << killed.out;
  EXPECT_EQ(ListFiles(home / "Accounts/0000000001/Killed", ".hdr").size(), 1u);
}

// A mistyped switch once started the program on the default folder, which checked at once.
TEST_F(ProgramTest, AMistypedSwitchOrWordEndsWithTheUsageBeforeAnythingIsLoaded) {
  Dovecot().AddUser("mistyped", "pw");
  SetUp(Dovecot().Port(), "mistyped", "pw");
  Dovecot().Deliver("mistyped", Mail("Seller <deals@spammer.biz>", "Cheap viagra now"));
  const std::string unmade = home / "unmade";
  for (const Args& args : {Args{"-once"}, Args{"/ONEC"}, Args{"--hme", "/tmp"}, Args{"--onc"},
                           Args{"chek"}, Args{"SUSPEND", "please"}, Args{"/ONCE", "--home"}}) {
    SCOPED_TRACE(testing::PrintToString(args));
    for (const std::string& folder : {home.Path(), unmade}) {
      const test::TEnvironmentVariable variable("TARNWELL_HOME", folder);
      const TRunResult run = RunTarnwell(args);
      EXPECT_EQ(run.status, 2) << run.err;
      EXPECT_EQ(run.out, "");
      EXPECT_EQ(run.err.rfind("tarnwell: ", 0), 0u) << run.err;
      EXPECT_NE(run.err.find("\nUsage: tarnwell "), std::string::npos) << run.err;
    }
    EXPECT_FALSE(DirectoryExists(unmade));
  }
  EXPECT_EQ(Dovecot().Messages("mistyped").size(), 1u);
}

TEST_F(ProgramTest, TheUnixSpellingsOfTheSwitchesWork) {
  SetUpForRunning("unix");
  Dovecot().Deliver("unix", Mail("Seller <deals@spammer.biz>", "Cheap viagra now"));
  const TRunResult once = Run({"--once"});
  EXPECT_EQ(once.status, 0) << once.err;
  EXPECT_TRUE(Dovecot().Messages("unix").empty());

  const auto first = Start();
  for (const auto& [spelling, logged] :
       {std::pair{"--suspended", "Checking suspended"}, std::pair{"--open", "InvokeTarnwell 0"}}) {
    const TRunResult second = Run({spelling});
    EXPECT_EQ(second.status, 0) << second.err;
    WaitForLog(*first, logged);
  }
  first->Stop();
}

// The running program cannot be asked to check, nor tell how a check went.
TEST_F(ProgramTest, OnceWhileTheProgramRunsChecksNothingAndSaysSo) {
  SetUpForRunning("running");
  const auto first = Start();
  Dovecot().Deliver("running", Mail("Seller <deals@spammer.biz>", "Cheap viagra now"));
  const TRunResult once = Run({"/ONCE"});
  EXPECT_EQ(once.status, 1);
  EXPECT_EQ(once.err,
            "Halvora Tarnwell is running already on this program folder, so nothing was checked: "
            "it checks the accounts on their schedules. End it to check them from here.\n");
  EXPECT_EQ(Dovecot().Messages("running").size(), 1u);
  first->Stop();
  EXPECT_EQ(Log().find("InvokeTarnwell"), std::string::npos) << Log();
}

TEST_F(ProgramTest, OnceWithoutAPasswordNamesTheCommandThatSetsIt) {
  SetUp(Dovecot().Port(), "nopassword", "pw");
  {
    TRegistryStore store(home / "Registry.db");
    TRegistry registry(store);
    ASSERT_TRUE(registry.OpenKey("\\Software\\Halvora\\Tarnwell\\Accounts\\0000000001", false));
    registry.WriteString("Password", "");
    registry.WriteString("Description", "Pat's mail");
  }
  const TRunResult run = Run({"/ONCE"});
  EXPECT_EQ(run.status, 2);
  EXPECT_NE(run.err.find("\n  tarnwell accounts set 'Pat'\\''s mail' --password-stdin\n"),
            std::string::npos)
      << run.err;
  EXPECT_EQ(run.err.find("Accounts, Properties"), std::string::npos) << run.err;
}

TEST_F(ProgramTest, OnceReportsALinePerCheckedAccountAndQuietLeavesItOut) {
  for (const char* user : {"report-one", "report-two", "report-off"}) Dovecot().AddUser(user, "pw");
  Dovecot().Deliver("report-one", Mail("Ann <ann@friends.org>", "Lunch tomorrow"));
  Dovecot().Deliver("report-one", Mail("Seller <deals@spammer.biz>", "Cheap viagra now"));
  Dovecot().Deliver("report-one", Mail("Luck <win@prizes.biz>", "Lottery winner"));
  Dovecot().Deliver("report-one", Mail("Bob <bob@other.net>", "Hello"));
  Dovecot().Deliver("report-off", Mail("Bob <bob@other.net>", "Hello"));
  SetUp(Dovecot().Port(), "report-one", "pw");
  AddAccount("Two", Dovecot().Port(), "report-two", "pw");
  AddAccount("Off", Dovecot().Port(), "report-off", "pw");
  for (const Args& args :
       {Args{"accounts", "set", "Off", "--active", "no"},
        Args{"filters", "add", "friend", "--address", "ann@friends.org"},
        Args{"filters", "add", "subject", "--pattern", "lottery", "--action", "mark"}})
    ASSERT_EQ(Run(args).status, 0) << args[0];

  const TRunResult run = Run({"/ONCE"});
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.err, "");
  EXPECT_EQ(run.out,
            "Account \"Test\": 4 new, 1 from friends, 1 possible spam, 1 killed, 0 complaints "
            "sent, 0 errors\n"
            "Account \"Two\": 0 new, 0 from friends, 0 possible spam, 0 killed, 0 complaints sent, "
            "0 errors\n");

  const TRunResult quiet = Run({"/ONCE", "--quiet"});
  EXPECT_EQ(quiet.status, 0) << quiet.err;
  EXPECT_EQ(quiet.out, "");
  EXPECT_EQ(quiet.err, "");
}

// Each error names the account, the server's role and address, and where the settings do not
// fit the server, the command that fits them.
TEST_F(ProgramTest, OnceErrorsSayWhereTheyHappenedAndWhatFits) {
  const test::TTestCertificates certificates;
  const auto selfSigned = certificates.SelfSigned();
  test::TDovecot tlsDovecot({selfSigned.cert, selfSigned.key});
  const std::string fingerprint = certificates.Fingerprint(selfSigned);
  const test::TBoundPort refusing;
  const std::string home = this->home.Path();
  struct TCase {
    const char* name;
    int port;
    const char* security;
    std::string line;
  };
  const std::vector<TCase> cases = {
      {"Refused", refusing.Port(), "none",
       "POP3 server 127.0.0.1:" + std::to_string(refusing.Port()) + ": Connection refused."},
      {"PlainServerOnATlsPort", tlsDovecot.Port(), "tls",
       "POP3 server 127.0.0.1:" + std::to_string(tlsDovecot.Port()) +
           ": The secure connection to 127.0.0.1 failed: wrong version number. The server does "
           "not seem to speak TLS on this port. If it takes plain POP3 there and offers STLS: "
           "tarnwell --home " +
           home +
           " accounts set Test --pop3-security starttls (or none, which sends everything "
           "unprotected)."},
      {"UntrustedCertificate", tlsDovecot.TlsPort(), "tls",
       "POP3 server 127.0.0.1:" + std::to_string(tlsDovecot.TlsPort()) +
           ": The certificate of 127.0.0.1 was refused: self-signed certificate. Its SHA-256 "
           "fingerprint is " +
           fingerprint + ". If you trust this certificate, pin it: tarnwell --home " + home +
           " accounts set Test --pin-pop3 " + fingerprint},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.name);
    AddAccount("Test", c.port, "nobody", "pw",
               {"--smtp", "127.0.0.1", "--pop3-security", c.security, "--smtp-security", "none"});
    const TRunResult run = Run({"/ONCE"});
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.err, "Account \"Test\": " + c.line + "\n");
    EXPECT_EQ(run.out,
              "Account \"Test\": 0 new, 0 from friends, 0 possible spam, 0 killed, 0 complaints "
              "sent, 1 error\n");
    ASSERT_EQ(Run({"accounts", "remove", "Test"}).status, 0);
  }

  // The fingerprint offered is the one to pin.
  tlsDovecot.AddUser("pinned", "pw");
  AddAccount("Pinned", tlsDovecot.TlsPort(), "pinned", "pw",
             {"--smtp", "127.0.0.1", "--pop3-security", "tls", "--pin-pop3", fingerprint});
  const TRunResult pinned = Run({"/ONCE"});
  EXPECT_EQ(pinned.status, 0) << pinned.err;
}

// A complaint is not kept when it cannot be sent: the spam is killed all the same, and the error
// says that the complaints are lost.
TEST_F(ProgramTest, OnceWithTheSmtpServerDownKillsTheSpamAndSaysItsComplaintsAreLost) {
  Dovecot().AddUser("complain", "pw");
  Dovecot().Deliver("complain", Mail("Seller <deals@spammer.biz>", "Cheap pills now"));
  const test::TBoundPort smtpDown;
  AddAccount("Test", Dovecot().Port(), "complain", "pw",
             {"--smtp", "127.0.0.1:" + std::to_string(smtpDown.Port()), "--pop3-security", "none",
              "--smtp-security", "none"});
  ASSERT_EQ(Run({"filters", "add", "subject", "--pattern", "pills", "--action", "complain",
                 "--recipients", "abuse,postmaster"})
                .status,
            0);

  const TRunResult run = Run({"/ONCE"});
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.out,
            "Account \"Test\": 1 new, 0 from friends, 0 possible spam, 1 killed, 0 complaints "
            "sent, 1 error\n");
  EXPECT_EQ(run.err, "Account \"Test\": SMTP server 127.0.0.1:" + std::to_string(smtpDown.Port()) +
                         ": Connection refused. 2 complaints were not sent and will not be sent "
                         "later.\n");
  EXPECT_TRUE(Dovecot().Messages("complain").empty());
  EXPECT_NE(Run({"killed", "list"}).out.find("Cheap pills now"), std::string::npos);
}

TEST_F(ProgramTest, OnceWithoutAnAccountSaysHowToAddOne) {
  const TRunResult run = Run({"/ONCE"});
  EXPECT_EQ(run.status, 2);
  EXPECT_NE(run.err.find("tarnwell accounts add pop3 "), std::string::npos) << run.err;
}

TEST_F(ProgramTest, AStartUpFailureEndsWithItsTextOnTheConsole) {
  test::WriteFileText(home / "Registry.db", "not a store of ours");
  const TRunResult run = Run({});
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.err.rfind("An error occurred during startup: ", 0), 0u) << run.err;
  EXPECT_TRUE(run.err.ends_with("\n\nThe program will terminate.\n")) << run.err;
}

// Only a missing store is a first start; the program and every command end with an error naming
// the store and leave it as it was.
TEST_F(ProgramTest, AnEmptyOrForeignStoreIsRefusedAndLeftAsItIs) {
  test::WriteFileText(home / "message.eml", "Subject: hello\n\nText.\n");
  const std::string store = home / "Registry.db";
  for (const char* content : {"", "not a store of ours"}) {
    SCOPED_TRACE(std::string("store \"") + content + "\"");
    test::WriteFileText(store, content);
    for (const Args& args : {Args{"/ONCE"}, Args{"accounts", "list"}, Args{"filters", "list"},
                             Args{"classify", home / "message.eml"}}) {
      SCOPED_TRACE(args.front());
      const TRunResult run = Run(args);
      EXPECT_NE(run.status, 0);
      EXPECT_NE(run.err.find("\"" + store + "\""), std::string::npos) << run.err;
      EXPECT_EQ(test::ReadFileText(store), content);
    }
  }
}

TEST_F(ProgramTest, ASecondProgramWithSuspendMakesTheRunningOneSuspendAndLeavesTheSettings) {
  SetUpForRunning("suspend");
  const auto first = Start();
  const auto before = StoredSettings();
  ASSERT_FALSE(before.empty());

  const TRunResult second = Run({"SUSPEND"});
  EXPECT_EQ(second.status, 0) << second.err;
  WaitForLog(*first, "Checking suspended");
  EXPECT_EQ(StoredSettings(), before);
  EXPECT_NE(Log().find("[Init: Done]"), std::string::npos) << "the log of the first is kept";

  first->Stop();
  EXPECT_NE(Log().find("[FormDestroy OK]"), std::string::npos) << Log();
}

// A desktop session has a runtime folder; a cron or ssh job on the same program folder has none.
TEST_F(ProgramTest, ProgramsOnOneFolderSeeEachOtherWithOrWithoutARuntimeFolder) {
  SetUpForRunning("runtime");
  test::TTempDir runtime;
  const std::optional<std::string> desktop = runtime.Path();
  const std::optional<std::string> job;
  for (const bool firstOnDesktop : {true, false}) {
    SCOPED_TRACE(firstOnDesktop ? "desktop first" : "job first");
    std::optional<test::TEnvironmentVariable> environment;
    environment.emplace("XDG_RUNTIME_DIR", firstOnDesktop ? desktop : job);
    const auto first = Start();
    environment.reset();
    environment.emplace("XDG_RUNTIME_DIR", firstOnDesktop ? job : desktop);

    // A first instance would show the box and end too, so only the log of the first tells.
    const TRunResult second = Run({"ABOUT"});
    EXPECT_EQ(second.status, 0) << second.err;
    EXPECT_EQ(second.err, "Halvora Tarnwell is running already; it was passed the command.\n");
    WaitForLog(*first, "InvokeTarnwell 2");
    for (const Args& change : {Args{"filters", "add", "subject", "--pattern", "lottery"},
                               Args{"accounts", "set", "Test", "--active", "no"}}) {
      const TRunResult refused = Run(change);
      EXPECT_EQ(refused.status, 1) << change[0];
      EXPECT_EQ(refused.err,
                "tarnwell: Tarnwell is running with this program folder; end it first, or it "
                "would undo the change when it saves.\n");
    }
    first->Stop();
  }
  EXPECT_EQ(Run({"filters", "list", "subject"}).out.find("lottery"), std::string::npos);
  EXPECT_NE(Run({"accounts", "list"}).out.find("\tyes\tTest\t"), std::string::npos);
}

TEST_F(ProgramTest, WhatAKilledProgramLeavesDoesNotHoldTheNextBack) {
  SetUpForRunning("killed");
  {
    const auto killed = Start();
    ::kill(killed->Pid(), SIGKILL);
    killed->Stop();
  }
  const TRunResult change = Run({"filters", "add", "subject", "--pattern", "lottery"});
  EXPECT_EQ(change.status, 0) << change.err;
  const auto next = Start();
  const TRunResult second = Run({"SUSPEND"});
  EXPECT_EQ(second.status, 0) << second.err;
  WaitForLog(*next, "Checking suspended");
}

}  // namespace
}  // namespace tarnwell
