#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>

#include "platform/LineConnection.h"
#include "tests/support/ChildProcess.h"
#include "tests/support/ScriptedServer.h"

namespace tarnwell {
namespace {

using TNotifications = TLineConnection::TNotifications;

TEST(LineConnectionTest, ErrorCodesAndTheirTexts) {
  const struct {
    int code;
    const char* text;
  } cases[] = {{10061, "Connection refused"},
               {10060, "Connection timed out"},
               {10065, "No route to host"},
               {10051, "Network is unreachable"},
               {10054, "Connection reset by peer"},
               {11001, "Host not found"},
               {11004, "No Data"},
               {-1, "The operation timed out."},
               {-2, "The operation was aborted manually."},
               {12345, "Internal error (code 12345)"}};
  for (const auto& c : cases) EXPECT_EQ(ErrorText(c.code), c.text) << c.code;
  EXPECT_EQ(SocketErrorFromErrno(ECONNREFUSED), 10061);
  EXPECT_EQ(SocketErrorFromErrno(ETIMEDOUT), 10060);
  EXPECT_EQ(SocketErrorFromErrno(EHOSTUNREACH), 10065);
  EXPECT_EQ(SocketErrorFromErrno(ENETUNREACH), 10051);
  EXPECT_EQ(SocketErrorFromErrno(ECONNRESET), 10054);
  // An errno without a Windows Sockets code stays out of the protocol codes.
  EXPECT_GE(SocketErrorFromErrno(EIO), 20000);
}

// The connection with its notifications written down in order.
struct TRecorder {
  TRecorder() {
    connection.OnConnect = [this](TLineConnection& c) {
      events.push_back("connect");
      c.EnableNotifications(TNotifications::ReadWriteClose);
    };
    connection.OnRead = [this](TLineConnection& c) { received += c.ReceiveText(); };
    connection.OnDisconnect = [this](TLineConnection&) {
      events.push_back("read " + received);
      events.push_back("disconnect");
    };
    connection.OnError = [this](TLineConnection&, int& code) {
      events.push_back("error " + std::to_string(code));
      code = 0;
    };
  }
  void WaitFor(size_t count) {
    test::PumpUntil([&] { return events.size() >= count; },
                    std::to_string(count) + " notifications");
  }

  TLineConnection connection;
  std::vector<std::string> events;
  std::string received;
};

TEST(LineConnectionTest, NotificationsComeInOrderAndAllDataBeforeTheClose) {
  test::TScriptedServer server;
  server.Expect("hello\r\n").Send("first\r\n").Send("second\r\n").Close();
  TRecorder client;
  client.connection.ResolveHost(" 127.0.0.1 ");
  client.connection.SetPort(server.Port());
  client.connection.Open();
  EXPECT_FALSE(client.connection.Connected());
  client.WaitFor(1);
  EXPECT_TRUE(client.connection.Connected());
  client.connection.SendText("hello\r\n");
  client.WaitFor(3);
  EXPECT_EQ(client.events,
            (std::vector<std::string>{"connect", "read first\r\nsecond\r\n", "disconnect"}));
  EXPECT_FALSE(client.connection.Connected());
}

TEST(LineConnectionTest, StreamIsFreedOnlyWhenAllOfItHasGone) {
  const std::string big(3 * 1024 * 1024 + 17, 'z');
  test::TScriptedServer server;
  server.Expect(big).Send("done\r\n");
  TRecorder client;
  client.connection.ResolveHost("127.0.0.1");
  client.connection.SetPort(server.Port());
  client.connection.Open();
  client.WaitFor(1);
  struct TWatched : TMemoryStream {
    explicit TWatched(bool& freed) : freed(freed) {}
    ~TWatched() override { freed = true; }
    bool& freed;
  };
  bool freed = false;
  auto stream = std::make_unique<TWatched>(freed);
  stream->Data = big;
  client.connection.SendStream(std::move(stream));
  test::PumpUntil([&] { return freed; }, "the stream to be freed");
  test::PumpUntil([&] { return !client.received.empty(); }, "the reply");
  EXPECT_EQ(client.received, "done\r\n");
  EXPECT_TRUE(server.Finished());
}

TEST(LineConnectionTest, Ipv6AddressesConnect) {
  const int listener = ::socket(AF_INET6, SOCK_STREAM | SOCK_CLOEXEC, 0);
  ASSERT_GE(listener, 0);
  sockaddr_in6 address{};
  address.sin6_family = AF_INET6;
  address.sin6_addr = in6addr_loopback;
  socklen_t length = sizeof address;
  ASSERT_EQ(::bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
  ASSERT_EQ(::listen(listener, 1), 0);
  ASSERT_EQ(::getsockname(listener, reinterpret_cast<sockaddr*>(&address), &length), 0);
  TRecorder client;
  client.connection.ResolveHost("::1");
  client.connection.SetPort(ntohs(address.sin6_port));
  client.connection.Open();
  client.WaitFor(1);
  EXPECT_EQ(client.events.front(), "connect");
  client.connection.ForceClose();
  EXPECT_EQ(client.events.back(), "disconnect");
  ::close(listener);
}

TEST(LineConnectionTest, FailuresArriveAsErrorsOrRaiseWhenNobodyHandlesThem) {
  const test::TBoundPort refusing;
  TRecorder client;
  client.connection.ResolveHost("127.0.0.1");
  client.connection.SetPort(refusing.Port());
  client.connection.Open();
  client.WaitFor(1);
  EXPECT_EQ(client.events, (std::vector<std::string>{"error 10061"}));

  TLineConnection bare;
  bare.ResolveHost("127.0.0.1");
  bare.SetPort(refusing.Port());
  try {
    bare.Open();
    test::PumpUntil([] { return false; }, "the refusal to be raised");
  } catch (const ESocketError& error) {
    EXPECT_EQ(error.Code(), 10061);
    EXPECT_STREQ(error.what(), "Connection refused");
  }

  try {
    bare.ResolveHost("256.1.1.1.invalid");
    ADD_FAILURE() << "the lookup did not fail";
  } catch (const ESocketError& error) {
    EXPECT_EQ(error.Code(), 11001);
  }
}

}  // namespace
}  // namespace tarnwell
