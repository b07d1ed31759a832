// The demo: its POP3 and SMTP servers spoken to byte by byte, and `tarnwell demo` run whole.
#include <arpa/inet.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <filesystem>

#include "demo/DemoPop3Server.h"
#include "demo/DemoSmtpServer.h"
#include "platform/Clock.h"
#include "platform/EventLoop.h"
#include "tests/program/CommandRunner.h"
#include "tests/support/TestSupport.h"

namespace tarnwell {
namespace {

// A client socket on the test's side; the servers run on the event loop it pumps.
class TRawClient {
 public:
  explicit TRawClient(int port) {
    fd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(static_cast<uint16_t>(port));
    // The listen backlog completes the connect before the server accepts it.
    EXPECT_EQ(::connect(fd_, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    ::fcntl(fd_, F_SETFL, ::fcntl(fd_, F_GETFL) | O_NONBLOCK);
  }
  ~TRawClient() { ::close(fd_); }
  TRawClient(const TRawClient&) = delete;
  TRawClient& operator=(const TRawClient&) = delete;

  // Sends `bytes`, then lets the servers run until `size` bytes came back or the server closed;
  // returns what came.
  std::string Exchange(std::string_view bytes, size_t size) {
    const int64_t deadline = TClock::Current().MonotonicMs() + 10000;
    while (!bytes.empty() && TClock::Current().MonotonicMs() < deadline) {
      const ssize_t n = ::send(fd_, bytes.data(), bytes.size(), MSG_NOSIGNAL);
      if (n > 0) bytes.remove_prefix(static_cast<size_t>(n));
      if (n < 0 && errno != EAGAIN && errno != EINTR) break;
      Pump(1);
    }
    std::string received;
    while (!closed_ && received.size() < size && TClock::Current().MonotonicMs() < deadline) {
      Pump(1);
      char buffer[65536];
      const ssize_t n = ::recv(fd_, buffer, sizeof buffer, 0);
      if (n == 0) closed_ = true;
      if (n > 0) received.append(buffer, static_cast<size_t>(n));
    }
    return received;
  }

  // Waits for the server to close the connection.
  bool WaitClosed() {
    Exchange("", SIZE_MAX);
    return closed_;
  }

 private:
  int fd_ = -1;
  bool closed_ = false;
};

// Sends `bytes` and checks that exactly `expected` comes back.
::testing::AssertionResult Replies(TRawClient& client, std::string_view bytes,
                                   const std::string& expected) {
  const std::string got = client.Exchange(bytes, expected.size());
  if (got == expected) return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << "after sending \"" << bytes.substr(0, 80)
                                       << "\"\n     got: " << got << "\n  wanted: " << expected;
}

TEST(DemoPop3ServerTest, SpeaksPop3WithDotStuffingAndDeletesOnlyAtQuit) {
  TDemoPop3Server server("alex", "pass word");
  const std::string first = server.AddMessage("Subject: one\n\nfirst line\nsecond line\n");
  const std::string second = server.AddMessage("Subject: dots\r\n\r\n.starts with a dot\n.\nend");
  const std::string secondText = "Subject: dots\r\n\r\n.starts with a dot\r\n.\r\nend\r\n";
  ASSERT_EQ(server.Mailbox()[1].Text, secondText);

  TRawClient client(server.Port());
  EXPECT_TRUE(Replies(client, "", "+OK Tarnwell demo POP3 server ready\r\n"));
  EXPECT_TRUE(Replies(client, "STAT\r\n", "-ERR log in first\r\n"));
  EXPECT_TRUE(Replies(client, "USER alex\r\nPASS pass\r\n",
                      "+OK send your password\r\n-ERR invalid user name or password\r\n"));
  EXPECT_TRUE(
      Replies(client, "PASS pass word\r\n", "-ERR give USER with a name first, then PASS\r\n"));
  // Commands may come several at once; the password runs to the line end.
  EXPECT_TRUE(Replies(client, "USER alex\r\nPASS pass word\r\n",
                      "+OK send your password\r\n+OK 2 messages\r\n"));
  {
    TRawClient other(server.Port());
    EXPECT_TRUE(Replies(other, "", "+OK Tarnwell demo POP3 server ready\r\n"));
    EXPECT_TRUE(Replies(other, "USER alex\nPASS pass word\n",
                        "+OK send your password\r\n-ERR the mailbox is in use\r\n"));
  }
  const std::string firstText = server.Mailbox()[0].Text;
  EXPECT_TRUE(Replies(client, "stat\r\n",
                      "+OK 2 " + std::to_string(firstText.size() + secondText.size()) + "\r\n"));
  EXPECT_TRUE(Replies(client, "LIST\r\n",
                      "+OK\r\n1 " + std::to_string(firstText.size()) + "\r\n2 " +
                          std::to_string(secondText.size()) + "\r\n.\r\n"));
  EXPECT_TRUE(Replies(client, "UIDL 2\r\n", "+OK 2 " + second + "\r\n"));
  EXPECT_TRUE(
      Replies(client, "TOP 1 0\r\n", "+OK top of message follows\r\nSubject: one\r\n\r\n.\r\n"));
  EXPECT_TRUE(
      Replies(client, "TOP 2 1\r\n",
              "+OK top of message follows\r\nSubject: dots\r\n\r\n..starts with a dot\r\n.\r\n"));
  EXPECT_TRUE(
      Replies(client, "RETR 2\r\n",
              "+OK " + std::to_string(secondText.size()) +
                  " octets\r\nSubject: dots\r\n\r\n..starts with a dot\r\n..\r\nend\r\n.\r\n"));
  for (const char* bad : {"RETR 3\r\n", "RETR 0\r\n", "RETR x\r\n", "DELE 99999999999\r\n"})
    EXPECT_TRUE(Replies(client, bad, "-ERR no such message\r\n")) << bad;
  EXPECT_TRUE(Replies(client, "TOP 1 -1\r\n", "-ERR the line count is not a number\r\n"));
  EXPECT_TRUE(Replies(client, "DELE 1\r\n", "+OK message 1 deleted\r\n"));
  EXPECT_TRUE(Replies(client, "DELE 1\r\n", "-ERR message 1 already deleted\r\n"));
  EXPECT_TRUE(Replies(client, "UIDL\r\n", "+OK\r\n2 " + second + "\r\n.\r\n"));
  EXPECT_TRUE(Replies(client, "RSET\r\n", "+OK 2 messages\r\n"));
  EXPECT_TRUE(Replies(client, "DELE 2\r\nNOOP\r\n", "+OK message 2 deleted\r\n+OK\r\n"));
  EXPECT_EQ(server.Mailbox().size(), 2u) << "nothing is deleted before QUIT";
  EXPECT_TRUE(Replies(client, "QUIT\r\n", "+OK Tarnwell demo POP3 server signing off\r\n"));
  EXPECT_TRUE(client.WaitClosed());
  ASSERT_EQ(server.Mailbox().size(), 1u);
  EXPECT_EQ(server.Mailbox()[0].Uid, first);
  EXPECT_EQ(server.DeletedUids(), std::vector<std::string>{second});

  // A session that breaks off deletes nothing and frees the mailbox.
  {
    TRawClient broken(server.Port());
    EXPECT_TRUE(Replies(broken, "", "+OK Tarnwell demo POP3 server ready\r\n"));
    EXPECT_TRUE(Replies(broken, "USER alex\r\nPASS pass word\r\nDELE 1\r\n",
                        "+OK send your password\r\n+OK 1 messages\r\n+OK message 1 deleted\r\n"));
  }
  // Mail that arrives at a login is in the mailbox the session sees.
  int logins = 0;
  server.SetOnLogin([&] { server.AddMessage("Subject: arrived #" + std::to_string(++logins)); });
  TRawClient last(server.Port());
  EXPECT_TRUE(Replies(last, "", "+OK Tarnwell demo POP3 server ready\r\n"));
  EXPECT_TRUE(Replies(last, "USER alex\r\nPASS wrong\r\nUSER alex\r\nPASS pass word\r\n",
                      "+OK send your password\r\n-ERR invalid user name or password\r\n"
                      "+OK send your password\r\n+OK 2 messages\r\n"));
  EXPECT_EQ(logins, 1);
  EXPECT_EQ(server.Mailbox().size(), 2u);
}

TEST(DemoSmtpServerTest, KeepsWhatItReceivesWithDotsUnstuffed) {
  TDemoSmtpServer server;
  TRawClient client(server.Port());
  EXPECT_TRUE(
      Replies(client, "", "220 tarnwell-demo.localhost ESMTP Tarnwell demo server ready\r\n"));
  EXPECT_TRUE(
      Replies(client, "MAIL FROM:<a@b.example>\r\n", "503 5.5.1 Error: send HELO/EHLO first\r\n"));
  EXPECT_TRUE(Replies(client, "EHLO\r\n", "501 5.5.4 Syntax: EHLO hostname\r\n"));
  EXPECT_TRUE(Replies(client, "EHLO client.example\r\n",
                      "250-tarnwell-demo.localhost greets client.example\r\n250-8BITMIME\r\n"
                      "250-SIZE 10485760\r\n250 HELP\r\n"));
  EXPECT_TRUE(
      Replies(client, "RCPT TO:<x@y.example>\r\n", "503 5.5.1 Error: need MAIL command\r\n"));
  EXPECT_TRUE(Replies(client, "DATA\r\n", "503 5.5.1 Error: need RCPT command\r\n"));
  EXPECT_TRUE(
      Replies(client, "MAIL FROM:a@b.example\r\n", "501 5.5.4 Syntax: MAIL FROM:<address>\r\n"));
  EXPECT_TRUE(Replies(client, "XYZZY\r\n", "502 5.5.2 Error: command not recognized\r\n"));
  EXPECT_TRUE(Replies(client,
                      "MAIL FROM:<me@example.com> SIZE=100\r\nRCPT TO:<abuse@spam.example>"
                      "\r\nrcpt to:<postmaster@spam.example>\r\nDATA\r\n",
                      "250 2.1.0 Ok\r\n250 2.1.5 Ok\r\n250 2.1.5 Ok\r\n"
                      "354 End data with <CR><LF>.<CR><LF>\r\n"));
  EXPECT_TRUE(Replies(client, "Subject: hi\r\n\r\n..one dot\r\n...two\r\n.x\r\n.\r\n",
                      "250 2.0.0 Ok: queued as 1\r\n"));
  EXPECT_TRUE(Replies(client, "MAIL FROM:<>\r\nRSET\r\nRCPT TO:<a@b.example>\r\n",
                      "250 2.1.0 Ok\r\n250 2.0.0 Ok\r\n503 5.5.1 Error: need MAIL command\r\n"));
  EXPECT_TRUE(Replies(client, "QUIT\r\n", "221 2.0.0 Bye\r\n"));
  EXPECT_TRUE(client.WaitClosed());

  ASSERT_EQ(server.Received().size(), 1u);
  const TDemoSmtpServer::TReceived& message = server.Received()[0];
  EXPECT_EQ(message.Sender, "me@example.com");
  EXPECT_EQ(message.Recipients,
            (std::vector<std::string>{"abuse@spam.example", "postmaster@spam.example"}));
  EXPECT_EQ(message.Data, "Subject: hi\r\n\r\n.one dot\r\n..two\r\nx\r\n");
}

TEST(DemoServersTest, SurviveEndlessLinesAndBinaryBytes) {
  TDemoSmtpServer smtp;
  TDemoPop3Server pop3("u", "p");
  std::string junk(3 << 20, 'x');
  for (size_t i = 0; i < junk.size(); i += 97) junk[i] = '\0';
  {
    TRawClient client(smtp.Port());
    EXPECT_TRUE(
        Replies(client, "", "220 tarnwell-demo.localhost ESMTP Tarnwell demo server ready\r\n"));
    EXPECT_TRUE(Replies(client, junk, "500 5.5.2 Error: line too long\r\n"));
    EXPECT_TRUE(client.WaitClosed());
  }
  {
    TRawClient client(pop3.Port());
    EXPECT_TRUE(Replies(client, "", "+OK Tarnwell demo POP3 server ready\r\n"));
    EXPECT_TRUE(Replies(client, std::string("\x01\xFF\0USER\r\n", 9), "-ERR log in first\r\n"));
    EXPECT_TRUE(Replies(client, junk, "-ERR line too long\r\n"));
    EXPECT_TRUE(client.WaitClosed());
  }
  // Both still serve the next clients.
  TRawClient again(smtp.Port());
  EXPECT_TRUE(
      Replies(again, "", "220 tarnwell-demo.localhost ESMTP Tarnwell demo server ready\r\n"));
  TRawClient next(pop3.Port());
  EXPECT_TRUE(Replies(next, "", "+OK Tarnwell demo POP3 server ready\r\n"));
}

TEST(DemoCommandTest, ReportsLiveMailKilledMailBouncesAndComplaints) {
  const test::TRunResult demo = test::RunTarnwell({"demo"});
  ASSERT_EQ(demo.status, 0) << demo.out << demo.err;
  const std::string& report = demo.out;
  for (const char* expected :
       {"Live Mail, left on the server for your mail program: 6 messages\n",
        "  Friend         \"Lunch on Saturday?\" from Ann Baker <ann@friends.example.org>\n",
        "  Possible spam  \"Spring sale starts now\"", "reason: 'From' does not equal 'Reply-To'\n",
        "  Checked        \"Café on Friday?\"",
        "Killed Mail, deleted from the server and kept in the program folder: 5 messages\n",
        "action: Kill; reason: Sent from or via Tokelau\n",
        "action: Kill; reason: 'X-Mailer' contains 'MassMailer'\n",
        "action: Kill; reason: Message text contains word 'lottery winnings'\n",
        "action: Kill after complaining; reason: Domain ends with 'bulk-mailer.example.net'\n",
        "action: Kill; reason: Subject contains 'miracle pill'\n",
        "Bounces of earlier complaints, deleted from the server: one message\n",
        "the bounce turned the filter \"Domain ends with 'bulk-mailer.example.net'\" from \"Kill "
        "after complaining\" to \"Kill\"\n",
        "Complaints received by the SMTP server: 2 messages\n",
        "  from alex@example.com to abuse@bulk-mailer.example.net\n"
        "    Subject: Spam report (Exclusive invitation)\n"
        "    X-Tarnwell-AutoReply: 20000001\n",
        "  from alex@example.com to postmaster@bulk-mailer.example.net\n",
        "The POP3 server now holds 6 of the 12 messages.\n"})
    EXPECT_NE(report.find(expected), std::string::npos) << expected << "\n---\n" << report;
  const size_t at = report.find("program folder  ");
  ASSERT_NE(at, std::string::npos);
  const std::string folder = report.substr(at + 16, report.find(' ', at + 16) - at - 16);
  EXPECT_FALSE(std::filesystem::exists(folder)) << folder;
}

TEST(DemoCommandTest, KeptFolderHoldsTheKilledMailForTheOtherCommands) {
  const test::TRunResult demo = test::RunTarnwell({"demo", "--keep"});
  ASSERT_EQ(demo.status, 0) << demo.out << demo.err;
  const std::string marker = "The program folder stays: ";
  const size_t at = demo.out.find(marker);
  ASSERT_NE(at, std::string::npos) << demo.out;
  const std::string folder =
      demo.out.substr(at + marker.size(), demo.out.find('\n', at) - at - marker.size());
  struct TRemove {
    std::string path;
    ~TRemove() { std::filesystem::remove_all(path); }
  } remove{folder};

  const test::TRunResult list = test::RunTarnwell({"--home", folder, "killed", "list"});
  ASSERT_EQ(list.status, 0) << list.err;
  EXPECT_EQ(std::count(list.out.begin(), list.out.end(), '\n'), 5) << list.out;
  EXPECT_NE(list.out.find("Demo account\t3\t"), std::string::npos) << list.out;
  // The text went through the server's dot-stuffing and the client's unstuffing unchanged.
  const test::TRunResult shown =
      test::RunTarnwell({"--home", folder, "killed", "show", "Demo account", "3"});
  EXPECT_NE(shown.out.find("\n\nCongratulations!\n\nYour lottery winnings are waiting for you.\n.\n"
                           "..the line above holds one dot; this one starts with two.\n"
                           ".signature\n"),
            std::string::npos)
      << shown.out;
  // The bounce switched the complaining filter to Kill, and the list was saved.
  const test::TRunResult filters =
      test::RunTarnwell({"--home", folder, "filters", "list", "sender"});
  EXPECT_EQ(filters.out, "Sender\t1\tUser\tKill\t1\tDomain ends with 'bulk-mailer.example.net'\n");
}

}  // namespace
}  // namespace tarnwell
