#include <dirent.h>
#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/EventLoop.h"
#include "platform/LineConnection.h"
#include "tests/support/FakeResolver.h"
#include "tests/support/ScriptedServer.h"
#include "tests/support/TestSupport.h"
#include "transport/POP.h"
#include "transport/SMTP.h"

namespace tarnwell {
namespace {

using test::ErrorOf;
using test::TFakeResolver;
using TAnswer = TFakeResolver::TAnswer;

// Connects to `host` and gives "connect" or "error CODE", whichever the connection reports.
std::string ConnectOutcome(const std::string& host, int port) {
  TLineConnection connection;
  std::string outcome;
  connection.OnConnect = [&](TLineConnection&) { outcome = "connect"; };
  connection.OnError = [&](TLineConnection&, int& code) {
    outcome = "error " + std::to_string(code);
    code = 0;
  };
  try {
    connection.ResolveHost(host);
  } catch (const ESocketError& error) {
    return "raised " + std::to_string(error.Code());
  }
  connection.SetPort(port);
  connection.Open();
  test::PumpUntil([&] { return !outcome.empty(); }, "the connection's outcome");
  return outcome;
}

size_t OpenDescriptors() {
  size_t count = 0;
  DIR* folder = ::opendir("/proc/self/fd");
  while (::readdir(folder)) ++count;
  ::closedir(folder);
  return count;
}

TEST(HostLookupTest, AnswersOfTheNameServerBecomeTheSocketCodes) {
  const struct {
    TAnswer answer;
    const char* outcome;
  } cases[] = {
      {TAnswer::Loopback, "connect"},          {TAnswer::NoSuchName, "error 11001"},
      {TAnswer::ServerFailure, "error 11002"}, {TAnswer::FormatError, "error 11003"},
      {TAnswer::NoAddresses, "error 11004"},
  };
  for (const auto& c : cases) {
    TFakeResolver resolver(c.answer);
    // Only the answer with an address gets as far as a connect.
    std::optional<test::TScriptedServer> server;
    if (c.answer == TAnswer::Loopback) server.emplace();
    EXPECT_EQ(ConnectOutcome("mail.tarnwell.test", server ? server->Port() : 110), c.outcome)
        << static_cast<int>(c.answer);
    EXPECT_GE(resolver.Questions(), 1) << static_cast<int>(c.answer);
  }
  EXPECT_EQ(ErrorText(11001), "Host not found");
}

TEST(HostLookupTest, NumbersTheHostsFileAndInvalidNamesNeedNoNameServer) {
  TFakeResolver silent(TAnswer::Silent);
  for (const char* host : {"127.0.0.1", "127.1", "localhost"}) {
    test::TScriptedServer server;
    EXPECT_EQ(ConnectOutcome(host, server.Port()), "connect") << host;
  }
  EXPECT_EQ(ConnectOutcome("mail.example.invalid", 110), "raised 11001");
  EXPECT_EQ(ConnectOutcome("INVALID.", 110), "raised 11001");
  EXPECT_EQ(ConnectOutcome(" ", 110), "raised 11001");
  EXPECT_EQ(silent.Questions(), 0);
}

// A Stop during a lookup that the name server never answers: the loop's timers keep running
// meanwhile, and the client gives up with the Stop, closing the resolver's socket.
TEST(HostLookupTest, SilentNameServerKeepsTheLoopRunningAndStopEndsTheLookup) {
  struct TClient {
    const char* name;
    std::function<void(const std::string& host)> login;
    std::function<void()> abort;
  };
  TPOP3 pop;
  TSMTP smtp;
  const TClient clients[] = {
      {"POP3",
       [&](const std::string& host) {
         pop.Host = host;
         pop.Login();
       },
       [&] { pop.Abort(true); }},
      {"SMTP",
       [&](const std::string& host) {
         smtp.Host = host;
         smtp.ClientName = "client.tarnwell.test";
         smtp.Login();
       },
       [&] { smtp.Abort(true); }},
  };
  for (const TClient& client : clients) {
    TFakeResolver silent(TAnswer::Silent);
    const size_t descriptors = OpenDescriptors();
    constexpr int kStopAt = 25;
    int firings = 0;
    TTimer ticker;
    ticker.SetInterval(2);
    ticker.SetOnTimer([&] {
      if (++firings == kStopAt) client.abort();
    });
    ticker.SetEnabled(true);
    EXPECT_EQ(ErrorOf([&] { client.login("silent.tarnwell.test"); }),
              "The operation was aborted manually.")
        << client.name;
    // The wait ended with the Stop, not with a later answer or timeout.
    EXPECT_EQ(firings, kStopAt) << client.name;
    EXPECT_GE(silent.Questions(), 1) << client.name;
    EXPECT_EQ(OpenDescriptors(), descriptors) << client.name;
  }
}

TEST(HostLookupTest, ClientTimeoutEndsALookupTheNameServerNeverAnswers) {
  TFakeResolver silent(TAnswer::Silent);
  TPOP3 pop;
  pop.Host = "silent.tarnwell.test";
  pop.SetTimeout(1);
  EXPECT_EQ(ErrorOf([&] { pop.Login(); }), "The operation timed out.");
  EXPECT_GE(silent.Questions(), 1);
}

TEST(HostLookupTest, ConnectionDestroyedByItsLookupFailureIsLeftAlone) {
  TFakeResolver resolver(TAnswer::NoSuchName);
  auto connection = std::make_unique<TLineConnection>();
  int code = 0;
  connection->OnError = [&](TLineConnection&, int& error) {
    code = error;
    error = 0;
    connection.reset();
  };
  connection->ResolveHost("gone.tarnwell.test");
  connection->SetPort(110);
  connection->Open();
  test::PumpUntil([&] { return !connection; }, "the connection to be destroyed");
  EXPECT_EQ(code, 11001);
}

}  // namespace
}  // namespace tarnwell
