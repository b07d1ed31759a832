#include <gtest/gtest.h>

#include <functional>
#include <ostream>
#include <string>
#include <vector>

#include "platform/EventLoop.h"
#include "tests/support/ScriptedServer.h"
#include "tests/support/TestSupport.h"
#include "tests/support/VirtualTimeLoop.h"
#include "transport/POP.h"
#include "transport/SMTP.h"

namespace tarnwell {
namespace {

using test::ErrorOf;
using test::TScriptedServer;

constexpr int32_t kTimeoutSeconds = 60;

struct TSilence {
  const char* name;
  // What the server says before it falls silent.
  std::function<void(TScriptedServer&)> script;
  std::function<void(TPOP3&, TSMTP&)> run;
  const char* error;
  // How long the wait sits through the silence.
  int seconds = kTimeoutSeconds;
};

void PrintTo(const TSilence& silence, std::ostream* out) { *out << silence.name; }

void Pop3Login(TScriptedServer& server) {
  server.Send("+OK ready\r\n")
      .Expect("USER alice\r\n")
      .Send("+OK\r\n")
      .Expect("PASS s3cret\r\n")
      .Send("+OK\r\n")
      .Expect("STAT\r\n")
      .Send("+OK 1 100\r\n");
}

// Installs the loop for what the fixture builds after it.
struct TInstalledLoop {
  explicit TInstalledLoop(TEventLoop& loop) { TEventLoop::Install(&loop); }
  ~TInstalledLoop() { TEventLoop::Install(nullptr); }
  TInstalledLoop(const TInstalledLoop&) = delete;
  TInstalledLoop& operator=(const TInstalledLoop&) = delete;
};

// The clients wait for a server that has stopped talking on a loop where time passes only
// while the loop sleeps: its rounds count how often the wait woke up.
class SilentServerTest : public ::testing::TestWithParam<TSilence> {
 protected:
  SilentServerTest() {
    pop.Host = smtp.Host = "127.0.0.1";
    pop.Port = smtp.Port = server.Port();
    pop.UserName = "alice";
    pop.Password = "s3cret";
    pop.Domain = smtp.Domain = "example.org";
    smtp.ClientName = "client.test";
    pop.SetTimeout(kTimeoutSeconds);
    smtp.SetTimeout(kTimeoutSeconds);
  }

  test::TManualClock clock;
  test::TVirtualTimeLoop loop{clock};
  TInstalledLoop installed{loop};
  TScriptedServer server;
  TPOP3 pop;
  TSMTP smtp;
};

TEST_P(SilentServerTest, WaitSleepsInTheLoopUntilTheTimeoutIsDue) {
  GetParam().script(server);
  const int64_t start = clock.MonotonicMs();
  EXPECT_EQ(ErrorOf([&] { GetParam().run(pop, smtp); }), GetParam().error);
  EXPECT_GE(clock.MonotonicMs() - start, GetParam().seconds * 1000);
  // A wait that looked every millisecond would take thousands of rounds; one that sleeps until
  // something happens takes about one a second, and a few for the exchange before the silence.
  EXPECT_LE(loop.Rounds(), GetParam().seconds + 30);
}

INSTANTIATE_TEST_SUITE_P(
    Waits, SilentServerTest,
    ::testing::Values(
        TSilence{"Pop3Greeting", [](TScriptedServer&) {}, [](TPOP3& pop, TSMTP&) { pop.Login(); },
                 "The operation timed out."},
        TSilence{"Pop3SecureLoginGreeting", [](TScriptedServer&) {},
                 [](TPOP3& pop, TSMTP&) {
                   pop.UseSPA = true;
                   pop.Login();
                 },
                 "The operation timed out."},
        TSilence{"Pop3SecureLoginChallenge",
                 [](TScriptedServer& s) { s.Send("+OK ready\r\n").Expect("AUTH MSN\r\n"); },
                 [](TPOP3& pop, TSMTP&) {
                   pop.UseSPA = true;
                   pop.Login();
                 },
                 "The operation timed out."},
        TSilence{"Pop3Reply",
                 [](TScriptedServer& s) {
                   Pop3Login(s);
                   s.Expect("UIDL 1\r\n");
                 },
                 [](TPOP3& pop, TSMTP&) {
                   pop.Login();
                   (void)pop.UidlOne(1);
                 },
                 "The operation timed out."},
        TSilence{"Pop3MessageText",
                 [](TScriptedServer& s) {
                   Pop3Login(s);
                   s.Expect("RETR 1\r\n").Send("+OK\r\nSubject: x\r\n");
                 },
                 [](TPOP3& pop, TSMTP&) {
                   pop.Login();
                   std::vector<std::string> body;
                   pop.Retr(1, nullptr, body);
                 },
                 "The operation timed out."},
        TSilence{"Pop3HeadersOfTop",
                 [](TScriptedServer& s) {
                   Pop3Login(s);
                   s.Expect("TOP 1 1\r\n").Send("+OK\r\nSubject: x\r\n");
                 },
                 [](TPOP3& pop, TSMTP&) {
                   pop.Login();
                   std::vector<std::string> headers, body;
                   pop.Top(1, headers, body);
                 },
                 "The operation timed out."},
        // The server accepts QUIT and keeps the connection open: after 10 seconds it is closed
        // without an error.
        TSilence{"Pop3QuitClose",
                 [](TScriptedServer& s) {
                   Pop3Login(s);
                   s.Expect("QUIT\r\n").Send("+OK bye\r\n");
                 },
                 [](TPOP3& pop, TSMTP&) {
                   pop.Login();
                   pop.Quit();
                 },
                 "(no error)", 10},
        TSilence{"SmtpGreeting", [](TScriptedServer&) {}, [](TPOP3&, TSMTP& smtp) { smtp.Login(); },
                 "The operation timed out."},
        TSilence{"SmtpReply",
                 [](TScriptedServer& s) { s.Send("220 ready\r\n").Expect("EHLO client.test\r\n"); },
                 [](TPOP3&, TSMTP& smtp) { smtp.Login(); }, "The operation timed out."}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace tarnwell
