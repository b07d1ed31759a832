// Server bytes from outside: a whole POP3 or SMTP session against a server on 127.0.0.1 that
// answers each client line with the next piece of the input, an NTLM challenge handed to the
// security library, and the reply tests and splitting on their own. Nothing may crash, hang or
// leave a reply line holding a line end.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "message/Headers.h"
#include "platform/Clock.h"
#include "platform/EventLoop.h"
#include "transport/POP.h"
#include "transport/SMTP.h"
#include "transport/SSPIDefinitions.h"

using namespace tarnwell;

namespace {

void Check(bool condition) {
  if (!condition) std::abort();
}

// Time moves on a second with every turn of the loop, so every timeout comes at once.
class TFastClock : public TClock {
 public:
  [[nodiscard]] int64_t MonotonicMs() const override { return ms_; }
  [[nodiscard]] TDateTime Now() const override { return 45000.5; }
  void Advance() { ms_ += 1000; }

 private:
  int64_t ms_ = 1000000;
};

// Greets with the first piece and answers every client line with the next one; hangs up when
// the pieces run out.
class TPieceServer {
 public:
  TPieceServer() {
    listen_ = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    if (::bind(listen_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        ::listen(listen_, 4) != 0 ||
        ::getsockname(listen_, reinterpret_cast<sockaddr*>(&address), &length) != 0)
      std::abort();
    port_ = ntohs(address.sin_port);
  }

  [[nodiscard]] int Port() const { return port_; }

  void Start(std::vector<std::string> pieces) {
    pieces_ = std::move(pieces);
    next_ = 0;
    listenWatch_ = std::make_unique<TFdWatch>(listen_, TEventLoop::evRead, [this](unsigned) {
      const int fd = ::accept4(listen_, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
      if (fd < 0) return;
      Stop();
      client_ = fd;
      clientWatch_ =
          std::make_unique<TFdWatch>(client_, TEventLoop::evRead, [this](unsigned) { OnClient(); });
      SendNext();
    });
  }

  void Stop() {
    clientWatch_.reset();
    if (client_ >= 0) ::close(client_);
    client_ = -1;
  }

  void Finish() {
    Stop();
    listenWatch_.reset();
  }

 private:
  void OnClient() {
    char buffer[65536];
    const ssize_t n = ::recv(client_, buffer, sizeof buffer, 0);
    if (n <= 0) {
      Stop();
      return;
    }
    for (ssize_t i = 0; i < n && client_ >= 0; ++i)
      if (buffer[i] == '\n') SendNext();
  }

  void SendNext() {
    if (next_ >= pieces_.size()) {
      Stop();
      return;
    }
    const std::string& piece = pieces_[next_++];
    // Loopback takes these few bytes at once; a short write just cuts the piece.
    if (!piece.empty()) (void)::send(client_, piece.data(), piece.size(), MSG_NOSIGNAL);
  }

  int listen_ = -1;
  int port_ = 0;
  int client_ = -1;
  std::unique_ptr<TFdWatch> listenWatch_;
  std::unique_ptr<TFdWatch> clientWatch_;
  std::vector<std::string> pieces_;
  size_t next_ = 0;
};

std::vector<std::string> Pieces(std::string_view data) {
  std::vector<std::string> pieces;
  size_t start = 0;
  for (;;) {
    const size_t end = data.find('\0', start);
    pieces.emplace_back(data.substr(start, end - start));
    if (end == std::string_view::npos) break;
    start = end + 1;
  }
  return pieces;
}

void CheckLines(const std::vector<std::string>& lines) {
  for (const std::string& line : lines) Check(line.find('\n') == std::string::npos);
}

void RunPop3(int port, unsigned flags) {
  TPOP3 pop;
  pop.Host = "127.0.0.1";
  pop.Port = port;
  pop.UserName = "alice";
  pop.Password = "secret";
  pop.Domain = "example.org";
  pop.UseSPA = (flags & 8) != 0;
  try {
    pop.Login();
  } catch (const std::exception&) {
  }
  std::vector<std::string> uids, sizes, headers, body;
  pop.UidlAll(uids);
  pop.ListAll(sizes);
  CheckLines(uids);
  CheckLines(sizes);
  const auto attempt = [](const auto& step) {
    try {
      step();
    } catch (const std::exception&) {
    }
  };
  attempt([&] { (void)pop.UidlOne(1); });
  attempt([&] { (void)pop.ListOne(1); });
  attempt([&] { pop.Top(1, headers, body); });
  CheckLines(headers);
  CheckLines(body);
  attempt([&] { pop.Retr(2, &headers, body); });
  CheckLines(headers);
  CheckLines(body);
  attempt([&] { pop.Dele(1); });
  attempt([&] { pop.Quit(); });
}

void RunSmtp(int port, unsigned flags) {
  TSMTP smtp;
  smtp.Host = "127.0.0.1";
  smtp.Port = port;
  smtp.ClientName = "client.test";
  smtp.Domain = "example.org";
  smtp.UseAuth = (flags & 4) != 0;
  smtp.UseSPA = (flags & 8) != 0;
  smtp.AuthUser = "mailer";
  smtp.AuthPassword = "secret";
  try {
    smtp.Login();
    THeaders headers(std::vector<std::string>{"Subject: fuzz"});
    std::vector<std::string> recipients{"a@example.org", "b@10.0.0.1"};
    std::vector<std::string> text{".", "line=\xE9"};
    smtp.SendMail("me@example.org", recipients, text, headers);
  } catch (const std::exception&) {
  }
  smtp.Reset();
  try {
    smtp.Quit();
  } catch (const std::exception&) {
  }
}

void RunChallenge(std::string_view challenge) {
  TSecurityFunctions* library = LoadSecurityLibrary();
  if (!library) return;
  std::unique_ptr<TCredentialsHandle> credentials;
  const TSecAuthIdentity identity{"alice", "example.org", "secret", 0};
  if (library->AcquireCredentialsHandle("MSN", secpkgCredOutbound, identity, credentials) != secOk)
    std::abort();
  std::unique_ptr<TSecurityContext> context;
  std::string output;
  Check(library->InitializeSecurityContext(*credentials, context, 0x880, {}, output) ==
        secContinueNeeded);
  const TSecStatus status =
      library->InitializeSecurityContext(*credentials, context, 0, challenge, output);
  Check(status == secOk || status == secInvalidToken);
}

void RunParsers(std::string_view data) {
  std::vector<std::string> headers, body;
  SplitReply(data, &headers, body);
  CheckLines(headers);
  CheckLines(body);
  if (IsCompleteReply(data, true) && IsPositiveReply(data))
    Check(data.find("\r\n.\r\n") != std::string_view::npos);
  std::string reply(data);
  KeepLastReplyLine(reply);
  const size_t lineEnd = reply.find('\n');
  Check(lineEnd == std::string::npos || lineEnd + 1 == reply.size());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0 || size > 65536) return 0;
  static TFastClock clock;
  static TPieceServer server;
  TClock::Install(&clock);
  TTimer ticker;
  ticker.SetInterval(0);
  ticker.SetOnTimer([] { clock.Advance(); });
  ticker.SetEnabled(true);

  const unsigned flags = data[0];
  const std::string_view rest(reinterpret_cast<const char*>(data) + 1, size - 1);
  RunParsers(rest);
  switch (flags % 3) {
    case 0:
      server.Start(Pieces(rest));
      RunPop3(server.Port(), flags);
      break;
    case 1:
      server.Start(Pieces(rest));
      RunSmtp(server.Port(), flags);
      break;
    default: RunChallenge(rest); break;
  }
  server.Finish();
  ticker.SetEnabled(false);
  TClock::Install(nullptr);
  return 0;
}
