// The program itself, run as the built binary on a temporary folder against a private Dovecot.
#include <gtest/gtest.h>

#include <chrono>
#include <map>
#include <thread>

#include "platform/Files.h"
#include "platform/Registry.h"
#include "shell/Settings.h"
#include "tests/program/CommandRunner.h"
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

  // An account "Test" on the POP3 server at `port`, and a subject filter that kills "viagra".
  void SetUp(int port, const std::string& user, const std::string& password) {
    const TRunResult account = Run({"accounts",
                                    "add",
                                    "pop3",
                                    "--description",
                                    "Test",
                                    "--name",
                                    "Me",
                                    "--email",
                                    "me@example.com",
                                    "--pop3",
                                    "127.0.0.1:" + std::to_string(port),
                                    "--user",
                                    user,
                                    "--smtp",
                                    "127.0.0.1",
                                    "--pop3-security",
                                    "none",
                                    "--smtp-security",
                                    "none",
                                    "--password-stdin"},
                                   password + "\n");
    ASSERT_EQ(account.status, 0) << account.err;
    const TRunResult filter = Run({"filters", "add", "subject", "--condition", "contains",
                                   "--pattern", "viagra", "--action", "kill"});
    ASSERT_EQ(filter.status, 0) << filter.err;
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

TEST_F(ProgramTest, OnceReportsAFailedCheckOnTheConsoleWithStatusOne) {
  SetUp(test::FreePort(), "nobody", "pw");
  const TRunResult run = Run({"/ONCE"});
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.err.find("Account: \"Test\"\nError: "), std::string::npos) << run.err;
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

TEST_F(ProgramTest, ASecondProgramWithSuspendMakesTheRunningOneSuspendAndLeavesTheSettings) {
  Dovecot().AddUser("suspend", "pw");
  SetUp(Dovecot().Port(), "suspend", "pw");
  {
    TRegistryStore store(home / "Registry.db");
    TSettings settings(&store);
    settings.Logging = true;
    settings.SaveAll();
  }
  test::TChildProcess first({TARNWELL_BINARY, "--home", home.Path()}, home / "out");
  WaitForLog(first, "Init: Done");
  const auto before = StoredSettings();
  ASSERT_FALSE(before.empty());

  const TRunResult second = Run({"SUSPEND"});
  EXPECT_EQ(second.status, 0) << second.err;
  WaitForLog(first, "Checking suspended");
  EXPECT_EQ(StoredSettings(), before);
  EXPECT_NE(Log().find("[Init: Done]"), std::string::npos) << "the log of the first is kept";

  first.Stop();
  EXPECT_NE(Log().find("[FormDestroy OK]"), std::string::npos) << Log();
}

}  // namespace
}  // namespace tarnwell
