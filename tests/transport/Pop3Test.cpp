#include <gtest/gtest.h>

#include <algorithm>
#include <functional>

#include "platform/Error.h"
#include "shell/LogFile.h"
#include "tests/support/ChildProcess.h"
#include "tests/support/ScriptedServer.h"
#include "tests/support/TestSupport.h"
#include "transport/POP.h"

namespace tarnwell {
namespace {

using test::ErrorOf;
using test::LogHas;
using test::TScriptedServer;
using Lines = std::vector<std::string>;

void ScriptLogin(TScriptedServer& server, const std::string& stat = "+OK 2 320\r\n") {
  server.Send("+OK POP3 ready\r\n")
      .Expect("USER alice\r\n")
      .Send("+OK\r\n")
      .Expect("PASS s3cret\r\n")
      .Send("+OK logged in\r\n")
      .Expect("STAT\r\n")
      .Send(stat);
}

class Pop3Test : public ::testing::Test {
 protected:
  void SetUp() override {
    pop.Host = "127.0.0.1";
    pop.Port = server.Port();
    pop.UserName = "alice";
    pop.Password = "s3cret";
    pop.Domain = "example.org";
    log.AssignFileName(dir / "Tarnwell.log");
    log.SetEnabled(true);
    pop.SetLog(&log);
  }

  test::TTempDir dir;
  TLogFile log;
  TScriptedServer server;
  TPOP3 pop;
};

TEST_F(Pop3Test, LogsInCountsAndKeepsThePasswordOutOfTheLog) {
  ScriptLogin(server);
  pop.Login();
  EXPECT_EQ(pop.State(), TPOP3::psLoggedIn);
  EXPECT_EQ(pop.MessageCount(), 2);
  EXPECT_EQ(pop.HighestNumber(), 2);
  EXPECT_TRUE(LogHas(log, "[POP3: Connecting to 127.0.0.1 on " + std::to_string(server.Port()) +
                              " with alice@example.org]"));
  EXPECT_TRUE(LogHas(log, "[POP3: PASS <password removed><13><10>]"));
  EXPECT_FALSE(LogHas(log, "s3cret"));
}

TEST_F(Pop3Test, PassReplyInTwoPiecesIsDecidedOnlyWhenTheLineIsWhole) {
  server.Send("+OK POP3 ready\r\n")
      .Expect("USER alice\r\n")
      .Send("+OK\r\n")
      .Expect("PASS s3cret\r\n")
      .Send("+OK pass")
      .Pause()
      .Send("word accepted\r\n")
      .Expect("STAT\r\n")
      .Send("+OK 7 900\r\n");
  pop.Login();
  EXPECT_EQ(pop.MessageCount(), 7);
}

struct TRefusal {
  const char* name;
  int step;  // the reply that is negative: 0 greeting, 1 USER, 2 PASS
  const char* error;
};

class Pop3RefusalTest : public Pop3Test, public ::testing::WithParamInterface<TRefusal> {};

TEST_P(Pop3RefusalTest, RefusedLoginStepGivesItsText) {
  const TRefusal& refusal = GetParam();
  const char* replies[] = {"+OK ready\r\n", "+OK\r\n", "+OK\r\n"};
  const char* commands[] = {"USER alice\r\n", "PASS s3cret\r\n"};
  for (int step = 0; step <= refusal.step; ++step) {
    if (step > 0) server.Expect(commands[step - 1]);
    server.Send(step == refusal.step ? "-ERR [AUTH] Go away\r\n" : replies[step]);
  }
  EXPECT_EQ(ErrorOf([&] { pop.Login(); }), refusal.error);
  EXPECT_TRUE(LogHas(log, "POP3: Raising exception: "));
}

INSTANTIATE_TEST_SUITE_P(
    Steps, Pop3RefusalTest,
    ::testing::Values(TRefusal{"Greeting", 0, "The POP3 server refused login."},
                      TRefusal{"User", 1, "The user name is invalid."},
                      TRefusal{
                          "Password", 2,
                          "The user name or password is incorrect, or another program is reading "
                          "e-mail.\r (-ERR [AUTH] Go away)"}),
    [](const auto& info) { return info.param.name; });

TEST_F(Pop3Test, StatRejectedButListAcceptedCountsTheListingLines) {
  ScriptLogin(server, "-ERR no STAT here\r\n");
  server.Expect("LIST\r\n").Send("+OK 3 messages\r\n1 100\r\n2 200\r\n3 300\r\n.\r\n");
  pop.Login();
  EXPECT_EQ(pop.MessageCount(), 3);
  EXPECT_EQ(pop.HighestNumber(), 3);
}

TEST_F(Pop3Test, ListingsAndSingleQueries) {
  ScriptLogin(server);
  server.Expect("UIDL\r\n")
      .Send("+OK\r\n1 a1b2\r\n2 zz-9\r\n.\r\n")
      .Expect("LIST\r\n")
      .Send("+OK 2 messages\r\n1 120\r\n")
      .Pause()
      .Send("2 200\r\n.\r\n")
      .Expect("UIDL 2\r\n")
      .Send("+OK 2 zz-9  \r\n")
      .Expect("LIST 2\r\n")
      .Send("+OK 2 200\r\n")
      .Expect("UIDL\r\n")
      .Send("-ERR unsupported\r\n");
  pop.Login();
  Lines uids, sizes;
  EXPECT_TRUE(pop.UidlAll(uids));
  EXPECT_EQ(uids, (Lines{"a1b2", "zz-9"}));
  EXPECT_TRUE(pop.ListAll(sizes));
  EXPECT_EQ(sizes, (Lines{"120", "200"}));
  EXPECT_EQ(pop.UidlOne(2), "zz-9");
  EXPECT_EQ(pop.ListOne(2), 200);
  EXPECT_TRUE(LogHas(log, "[POP3: Message size: 200]"));
  EXPECT_FALSE(pop.UidlAll(uids));
  EXPECT_TRUE(uids.empty());
}

TEST_F(Pop3Test, TopUnfoldsHeadersAndUndoesDoubledDots) {
  ScriptLogin(server);
  server.Expect("TOP 1 1\r\n")
      .Send("+OK\r\nSubject: first\r\n\t second\r\nFrom: a@b.example\r\n")
      .Pause()
      .Send("\r\n..dotted line\r\n.\r\n");
  pop.Login();
  Lines headers, body;
  pop.Top(1, headers, body);
  EXPECT_EQ(headers, (Lines{"Subject: first second", "From: a@b.example"}));
  EXPECT_EQ(body, (Lines{".dotted line"}));
}

TEST_F(Pop3Test, RejectedTopTakesTheHeadersFromRetrAndLeavesTheBodyEmpty) {
  ScriptLogin(server);
  server.Expect("TOP 2 1\r\n")
      .Send("-ERR TOP not supported\r\n")
      .Expect("RETR 2\r\n")
      .Send("+OK 40 octets\r\nSubject: whole\r\n\r\nline one\r\nline two\r\n.\r\n");
  pop.Login();
  Lines headers, body{"stale"};
  pop.Top(2, headers, body);
  EXPECT_EQ(headers, (Lines{"Subject: whole"}));
  EXPECT_TRUE(body.empty());
}

TEST_F(Pop3Test, RetrGivesTheTextLinesAndDropsHeadersWhenNotAskedFor) {
  ScriptLogin(server);
  const std::string message =
      "+OK\r\nSubject: s\r\nTo: t@u.example\r\n\r\n..\r\n...x\r\n\r\nend\r\n.\r\n";
  server.Expect("RETR 1\r\n").Send(message).Expect("RETR 1\r\n").Send(message);
  pop.Login();
  Lines headers, body;
  pop.Retr(1, &headers, body);
  EXPECT_EQ(headers, (Lines{"Subject: s", "To: t@u.example"}));
  EXPECT_EQ(body, (Lines{".", "..x", "", "end"}));
  pop.Retr(1, nullptr, body);
  EXPECT_EQ(body, (Lines{".", "..x", "", "end"}));
  EXPECT_TRUE(LogHas(log, "[POP3: Message body follows]"));
}

TEST_F(Pop3Test, RetrTakesAMessageThatArrivesInPiecesCutInsideLineEnds) {
  ScriptLogin(server);
  server.Expect("RETR 1\r\n").Send("+OK\r\nSubject: s\r");
  for (const char* piece : {"\n\r", "\nline one\r", "\n..dotted\r\n", ".", "\r", "\n"})
    server.Pause().Send(piece);
  pop.Login();
  Lines headers, body;
  pop.Retr(1, &headers, body);
  EXPECT_EQ(headers, (Lines{"Subject: s"}));
  EXPECT_EQ(body, (Lines{"line one", ".dotted"}));
}

// Each reply comes whole, then in two pieces cut after every byte in turn (inside the closing
// CR LF "." CR LF too), and must give what it gave whole.
TEST_F(Pop3Test, RepliesCutAnywhereGiveWhatTheyGiveWhole) {
  struct TCase {
    std::string command;
    std::string reply;
    // The listing, or the header lines, "--" and the body lines.
    Lines result;
  };
  const TCase cases[] = {
      {"UIDL", "+OK\r\n1 a1b2\r\n2 zz-9\r\n.\r\n", {"a1b2", "zz-9"}},
      {"UIDL", "+OK\r\n.\r\n", {}},
      {"TOP 1 1", "+OK\r\nSubject: s\r\n\r\nfirst\r\n.\r\n", {"Subject: s", "--", "first"}},
      {"TOP 1 1", "+OK\r\nA: 1\r\n.\r\n", {"A: 1", "--"}},
      {"RETR 1", "+OK\r\nA: 1\r\n\r\n..dot\r\nend\r\n.\r\n", {"A: 1", "--", ".dot", "end"}},
  };
  test::TManualClock clock;
  const auto result = [&](const TCase& c) {
    // A missed end is waited out to the timeout, which passes at once here; a reply that then
    // counts after all must still not have taken that long.
    const int64_t start = clock.MonotonicMs();
    Lines lines, body;
    if (c.command == "UIDL") {
      EXPECT_TRUE(pop.UidlAll(lines));
    } else {
      if (c.command == "RETR 1")
        pop.Retr(1, &lines, body);
      else
        pop.Top(1, lines, body);
      lines.push_back("--");
      lines.insert(lines.end(), body.begin(), body.end());
    }
    EXPECT_LT(clock.MonotonicMs() - start, pop.Timeout() * 1000);
    return lines;
  };
  ScriptLogin(server);
  for (const TCase& c : cases) {
    server.Expect(c.command + "\r\n").Send(c.reply);
    for (size_t cut = 1; cut < c.reply.size(); ++cut)
      server.Expect(c.command + "\r\n")
          .Send(c.reply.substr(0, cut))
          .Pause()
          .Send(c.reply.substr(cut));
  }
  test::TClockRunner runner(clock, 1000);
  pop.Login();
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.command + ": " + test::Visible(c.reply));
    const Lines whole = result(c);
    ASSERT_EQ(whole, c.result);
    for (size_t cut = 1; cut < c.reply.size(); ++cut)
      ASSERT_EQ(result(c), whole) << "cut after " << cut << " bytes";
  }
}

TEST_F(Pop3Test, DeleteCountsDownAndTheHighestNumberOnlyForTheLastMessage) {
  ScriptLogin(server, "+OK 3 900\r\n");
  server.Expect("DELE 1\r\n")
      .Send("+OK deleted\r\n")
      .Expect("DELE 3\r\n")
      .Send("+OK deleted\r\n")
      .Expect("DELE 2\r\n")
      .Send("-ERR no such message\r\n");
  pop.Login();
  pop.Dele(1);
  EXPECT_EQ(pop.MessageCount(), 2);
  EXPECT_EQ(pop.HighestNumber(), 3);
  pop.Dele(3);
  EXPECT_EQ(pop.MessageCount(), 1);
  EXPECT_EQ(pop.HighestNumber(), 2);
  // A refusal is an error, but the session goes on.
  EXPECT_EQ(ErrorOf([&] { pop.Dele(2); }),
            "The POP3 server refused \"DELE 2\" (-ERR no such message).");
  EXPECT_EQ(pop.MessageCount(), 1);
  EXPECT_TRUE(pop.Connection().Connected());
}

TEST_F(Pop3Test, RetrWithoutAPositiveReplyIsAnErrorThatKeepsTheSession) {
  ScriptLogin(server);
  server.Expect("RETR 1\r\n")
      .Send("-ERR message locked\r\n")
      .Expect("RETR 2\r\n")
      .Send("what?\r\n")
      .Expect("RETR 2\r\n")
      .Send("+OK\r\nSubject: x\r\n\r\ntext\r\n.\r\n");
  pop.Login();
  Lines body{"left over"};
  EXPECT_EQ(ErrorOf([&] { pop.Retr(1, nullptr, body); }),
            "The POP3 server refused \"RETR 1\" (-ERR message locked).");
  EXPECT_TRUE(body.empty());
  EXPECT_EQ(ErrorOf([&] { pop.Retr(2, nullptr, body); }),
            "The POP3 server refused \"RETR 2\" (what?).");
  pop.Retr(2, nullptr, body);
  EXPECT_EQ(body, (Lines{"text"}));
}

TEST_F(Pop3Test, StopBetweenCommandsStillWaitsForTheServerToConfirmTheDeletions) {
  ScriptLogin(server);
  server.Expect("DELE 1\r\n").Send("+OK\r\n").Expect("QUIT\r\n").Send("+OK bye\r\n").Close();
  pop.Login();
  pop.Dele(1);
  pop.Abort(true);
  EXPECT_NO_THROW(pop.Quit());
  EXPECT_TRUE(server.Finished());
}

// How a server can end a session in which messages were deleted without confirming it.
struct TUnconfirmedQuit {
  const char* name;
  std::function<void(TScriptedServer&)> script;
};

class Pop3QuitTest : public Pop3Test, public ::testing::WithParamInterface<TUnconfirmedQuit> {};

TEST_P(Pop3QuitTest, DeletionsTheServerDidNotConfirmAreAnError) {
  test::TManualClock clock;
  ScriptLogin(server);
  server.Expect("DELE 1\r\n").Send("+OK\r\n").Expect("DELE 2\r\n").Send("+OK\r\n");
  GetParam().script(server);
  pop.Login();
  pop.Dele(1);
  pop.Dele(2);
  test::TClockRunner runner(clock, 500);
  EXPECT_EQ(ErrorOf([&] { pop.Quit(); }),
            "The POP3 server did not confirm the end of the session, so the 2 messages deleted "
            "in it may still be on the server.");
  EXPECT_FALSE(pop.Connection().Connected());
}

INSTANTIATE_TEST_SUITE_P(
    Servers, Pop3QuitTest,
    ::testing::Values(
        TUnconfirmedQuit{"HangsUpWithoutAReply",
                         [](TScriptedServer& s) { s.Expect("QUIT\r\n").Close(); }},
        TUnconfirmedQuit{"RefusesQuit",
                         [](TScriptedServer& s) {
                           s.Expect("QUIT\r\n").Send("-ERR some deleted messages not removed\r\n");
                         }},
        TUnconfirmedQuit{"NeverAnswers", [](TScriptedServer& s) { s.Expect("QUIT\r\n"); }},
        TUnconfirmedQuit{"DroppedBeforeQuit", [](TScriptedServer& s) { s.Close(); }}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(Pop3Test, QuitWaitsForTheServerToClose) {
  ScriptLogin(server);
  server.Expect("QUIT\r\n").Send("+OK bye\r\n").Close();
  pop.Login();
  pop.Quit();
  EXPECT_FALSE(pop.Connection().Connected());
  EXPECT_EQ(pop.State(), TPOP3::psClosed);
  EXPECT_FALSE(LogHas(log, "Timed out"));
}

TEST_F(Pop3Test, QuitClosesByForceAfterTenSecondsWithoutError) {
  test::TManualClock clock;
  ScriptLogin(server);
  server.Expect("QUIT\r\n").Send("+OK bye, but I stay\r\n");
  pop.SetTimeout(60);
  pop.Login();
  const int64_t start = clock.MonotonicMs();
  test::TClockRunner runner(clock, 500);
  EXPECT_NO_THROW(pop.Quit());
  EXPECT_GE(clock.MonotonicMs() - start, 10000);
  EXPECT_LT(clock.MonotonicMs() - start, 60000);
  EXPECT_FALSE(pop.Connection().Connected());
  EXPECT_TRUE(LogHas(log, "[POP3: Timed out - closing socket.]"));
  EXPECT_TRUE(LogHas(log, "[POP3: Socket closed.]"));
  runner.Stop();
  test::PumpUntil([&] { return server.ClientClosed(); }, "the client to close");
}

TEST_F(Pop3Test, SilentServerTimesOut) {
  test::TManualClock clock;
  ScriptLogin(server);
  server.Expect("UIDL 1\r\n");
  pop.SetTimeout(30);
  pop.Login();
  test::TClockRunner runner(clock, 1000);
  EXPECT_EQ(ErrorOf([&] { (void)pop.UidlOne(1); }), "The operation timed out.");
  EXPECT_TRUE(LogHas(log, "[POP3: Raising exception: The operation timed out.]"));
}

TEST_F(Pop3Test, TopReplyThatEndsWhenTheTimerFiresStillCounts) {
  test::TManualClock clock;
  ScriptLogin(server);
  // The closing line is there, but trailing bytes keep the last four from being ". CR LF".
  server.Expect("TOP 1 1\r\n").Send("+OK\r\nSubject: late\r\n\r\nbody\r\n.\r\n+OK");
  pop.Login();
  test::TClockRunner runner(clock, 1000);
  Lines headers, body;
  pop.Top(1, headers, body);
  EXPECT_EQ(headers, (Lines{"Subject: late"}));
}

TEST_F(Pop3Test, StopDuringAWaitAbortsTheCommand) {
  ScriptLogin(server);
  server.Expect("RETR 1\r\n").Call([&] { pop.Abort(true); });
  pop.Login();
  Lines body;
  EXPECT_EQ(ErrorOf([&] { pop.Retr(1, nullptr, body); }), "The operation was aborted manually.");
  EXPECT_TRUE(pop.Aborted());
}

TEST_F(Pop3Test, ServerDroppingTheConnectionInTheMiddleOfRetrFailsAtOnce) {
  ScriptLogin(server);
  server.Expect("RETR 1\r\n").Send("+OK\r\nSubject: cut\r\n\r\nhalf a mess").Close();
  pop.Login();
  Lines body;
  EXPECT_EQ(ErrorOf([&] { pop.Retr(1, nullptr, body); }), "Connection reset by peer");
  EXPECT_EQ(ErrorOf([&] { (void)pop.UidlOne(1); }), "Connection reset by peer");
}

TEST(Pop3ConnectTest, RefusedConnectionAndUnknownHostGiveTheSocketTexts) {
  const test::TBoundPort refusing;
  TPOP3 pop;
  pop.Host = "127.0.0.1";
  pop.Port = refusing.Port();
  EXPECT_EQ(ErrorOf([&] { pop.Login(); }), "Connection refused");
  pop.Host = "no-such-host.invalid";
  EXPECT_EQ(ErrorOf([&] { pop.Login(); }), "Host not found");
}

TEST(Pop3ReplyTest, CompleteRepliesAndSplitting) {
  EXPECT_FALSE(IsCompleteReply("+OK partial", false));
  EXPECT_TRUE(IsCompleteReply("+OK whole\r\n", false));
  EXPECT_FALSE(IsCompleteReply("+OK\r\n1 a\r\n", true));
  EXPECT_TRUE(IsCompleteReply("+OK\r\n1 a\r\n.\r\n", true));
  EXPECT_TRUE(IsCompleteReply("-ERR no\r\n", true));
  Lines headers, body;
  SplitReply("A: 1\r\n\r\n", &headers, body);
  EXPECT_EQ(headers, (Lines{"A: 1"}));
  EXPECT_TRUE(body.empty());
  SplitReply("A: 1\r\nB: 2\r\n.\r\n", &headers, body);
  EXPECT_EQ(headers, (Lines{"A: 1", "B: 2"}));
  EXPECT_TRUE(body.empty());
}

// A reply split into lines as it arrives gives the lines and the end that the whole reply gives,
// wherever it is cut.
TEST(Pop3ReplyTest, RepliesSplitAsTheyArriveWhereverTheyAreCut) {
  struct TCase {
    std::string reply;  // after the status line
    Lines headers, body;
  };
  const TCase cases[] = {
      {"Subject: s\r\nTo: t\r\n\r\nbody 1\r\n..dot\r\n\r\nend\r\n.\r\n",
       {"Subject: s", "To: t"},
       {"body 1", ".dot", "", "end"}},
      {".\r\n", {}, {}},
      {"\r\n.\r\n", {}, {}},
      {"Subject: a\r\n\tb\r\n\r\nx\r\n.\r\n", {"Subject: a b"}, {"x"}},
      {"A: 1\r\nB: 2\r\n.\r\n", {"A: 1", "B: 2"}, {}},
      // Only the last "." closes; one the server left in the middle is a line of the text.
      {"A: 1\r\n\r\none\r\n.\r\ntwo\r\n.\r\n", {"A: 1"}, {"one", ".", "two"}},
      {"A: 1\r\n\r\n..\r\n.\r\n", {"A: 1"}, {"."}},
      // Line ends without CR do not close the reply.
      {"A: 1\r\n\r\nline\n.\r\n", {"A: 1"}, {"line"}},
      {"A: 1\r\n\r\none\r\n.\n", {"A: 1"}, {"one"}},
      {"A: 1\r\n\r\nx\r\r\n.\r\n", {"A: 1"}, {"x\r"}},
      {"A: 1\r\n\r\ntail", {"A: 1"}, {"tail"}},
      {"", {}, {}},
  };
  // How the whole reply was taken to be complete.
  const auto ends = [](std::string_view received) {
    return received == ".\r\n" || received.ends_with("\r\n.\r\n");
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.reply);
    Lines headers, body;
    SplitReply(c.reply, &headers, body);
    EXPECT_EQ(headers, c.headers);
    EXPECT_EQ(body, c.body);
    const std::string_view reply = c.reply;
    // Cut once anywhere, and into single bytes.
    for (size_t cut = 0; cut <= reply.size(); ++cut) {
      Lines cutHeaders, cutBody;
      TReplyLines lines(&cutHeaders, cutBody);
      lines.Add(reply.substr(0, cut));
      EXPECT_EQ(lines.Ended(), ends(reply.substr(0, cut))) << "cut at " << cut;
      lines.Add(reply.substr(cut));
      EXPECT_EQ(lines.Ended(), ends(reply)) << "cut at " << cut;
      lines.Finish();
      EXPECT_EQ(cutHeaders, c.headers) << "cut at " << cut;
      EXPECT_EQ(cutBody, c.body) << "cut at " << cut;
    }
    Lines byteBody;
    TReplyLines bytes(nullptr, byteBody);
    for (size_t i = 0; i < reply.size(); ++i) {
      bytes.Add(reply.substr(i, 1));
      EXPECT_EQ(bytes.Ended(), ends(reply.substr(0, i + 1))) << "byte " << i;
    }
    bytes.Finish();
    EXPECT_EQ(byteBody, c.body);
  }
}

}  // namespace
}  // namespace tarnwell
