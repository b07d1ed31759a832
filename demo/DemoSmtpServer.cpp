#include "demo/DemoSmtpServer.h"

#include <memory>
#include <optional>
#include <string_view>

namespace tarnwell {

namespace {

constexpr size_t kMaxMessageSize = 10 << 20;
constexpr size_t kMaxRecipients = 100;
constexpr const char* kHostName = "tarnwell-demo.localhost";

bool StartsWithNoCase(std::string_view text, std::string_view prefix) {
  if (text.size() < prefix.size()) return false;
  for (size_t i = 0; i < prefix.size(); ++i) {
    char c = text[i];
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 32);
    if (c != prefix[i]) return false;
  }
  return true;
}

// The path of "MAIL FROM:<path> params" or "RCPT TO:<path> params" after the keyword; none on a
// syntax error. The null path "<>" gives an empty text.
std::optional<std::string> ParsePath(std::string_view rest) {
  while (!rest.empty() && rest.front() == ' ') rest.remove_prefix(1);
  if (rest.empty() || rest.front() != '<') return std::nullopt;
  const size_t close = rest.find('>');
  if (close == std::string_view::npos) return std::nullopt;
  std::string_view path = rest.substr(1, close - 1);
  // A source route ("@a,@b:user@c") names the mailbox after its colon.
  if (!path.empty() && path.front() == '@') {
    const size_t colon = path.find(':');
    if (colon == std::string_view::npos) return std::nullopt;
    path.remove_prefix(colon + 1);
  }
  if (path.find_first_of(" \t") != std::string_view::npos) return std::nullopt;
  return std::string(path);
}

}  // namespace

class TDemoSmtpSession : public TDemoLineSession {
 public:
  TDemoSmtpSession(int fd, TDemoSmtpServer& server, TEventLoop& loop)
      : TDemoLineSession(fd, loop), server_(server) {}

  void Greet() override {
    Send(std::string("220 ") + kHostName + " ESMTP Tarnwell demo server ready\r\n");
  }

 protected:
  void OnLine(std::string_view line) override {
    if (inData_) return DataLine(line);
    if (StartsWithNoCase(line, "EHLO") || StartsWithNoCase(line, "HELO")) {
      const bool extended = StartsWithNoCase(line, "EHLO");
      std::string_view name = line.substr(4);
      while (!name.empty() && name.front() == ' ') name.remove_prefix(1);
      if (line.size() > 4 && line[4] != ' ') return Unknown();
      if (name.empty()) return Send("501 5.5.4 Syntax: EHLO hostname\r\n");
      greeted_ = true;
      Reset();
      const std::string hello = std::string(kHostName) + " greets " + std::string(name);
      if (extended)
        Send("250-" + hello + "\r\n250-8BITMIME\r\n250-SIZE " + std::to_string(kMaxMessageSize) +
             "\r\n250 HELP\r\n");
      else
        Send("250 " + hello + "\r\n");
    } else if (StartsWithNoCase(line, "MAIL FROM:")) {
      if (!greeted_) return Send("503 5.5.1 Error: send HELO/EHLO first\r\n");
      if (sender_) return Send("503 5.5.1 Error: nested MAIL command\r\n");
      std::optional<std::string> path = ParsePath(line.substr(10));
      if (!path) return Send("501 5.5.4 Syntax: MAIL FROM:<address>\r\n");
      sender_ = std::move(path);
      Send("250 2.1.0 Ok\r\n");
    } else if (StartsWithNoCase(line, "RCPT TO:")) {
      if (!sender_) return Send("503 5.5.1 Error: need MAIL command\r\n");
      std::optional<std::string> path = ParsePath(line.substr(8));
      if (!path || path->empty()) return Send("501 5.5.4 Syntax: RCPT TO:<address>\r\n");
      if (recipients_.size() >= kMaxRecipients)
        return Send("452 4.5.3 Error: too many recipients\r\n");
      recipients_.push_back(std::move(*path));
      Send("250 2.1.5 Ok\r\n");
    } else if (IsVerb(line, "DATA")) {
      if (recipients_.empty()) return Send("503 5.5.1 Error: need RCPT command\r\n");
      inData_ = true;
      data_.clear();
      tooLarge_ = false;
      Send("354 End data with <CR><LF>.<CR><LF>\r\n");
    } else if (IsVerb(line, "RSET")) {
      Reset();
      Send("250 2.0.0 Ok\r\n");
    } else if (IsVerb(line, "NOOP")) {
      Send("250 2.0.0 Ok\r\n");
    } else if (StartsWithNoCase(line, "VRFY")) {
      Send("252 2.0.0 Cannot VRFY user, but will accept message\r\n");
    } else if (IsVerb(line, "QUIT")) {
      Send("221 2.0.0 Bye\r\n");
      CloseAfterSending();
    } else {
      Unknown();
    }
  }

  void OnLineTooLong() override { Send("500 5.5.2 Error: line too long\r\n"); }

 private:
  static bool IsVerb(std::string_view line, std::string_view verb) {
    while (!line.empty() && line.back() == ' ') line.remove_suffix(1);
    return line.size() == verb.size() && StartsWithNoCase(line, verb);
  }

  void Unknown() { Send("502 5.5.2 Error: command not recognized\r\n"); }

  void Reset() {
    sender_.reset();
    recipients_.clear();
  }

  void DataLine(std::string_view line) {
    if (line == ".") {
      inData_ = false;
      if (tooLarge_) {
        Send("552 5.3.4 Error: message too large\r\n");
      } else {
        server_.received_.push_back({*sender_, recipients_, std::move(data_)});
        Send("250 2.0.0 Ok: queued as " + std::to_string(server_.received_.size()) + "\r\n");
      }
      data_.clear();
      Reset();
      return;
    }
    // The client doubled a dot at the start of a line (RFC 5321 section 4.5.2).
    if (!line.empty() && line.front() == '.') line.remove_prefix(1);
    if (data_.size() + line.size() + 2 > kMaxMessageSize) {
      tooLarge_ = true;
      return;
    }
    data_.append(line);
    data_ += "\r\n";
  }

  TDemoSmtpServer& server_;
  bool greeted_ = false;
  std::optional<std::string> sender_;
  std::vector<std::string> recipients_;
  bool inData_ = false;
  bool tooLarge_ = false;
  std::string data_;
};

TDemoSmtpServer::TDemoSmtpServer(TEventLoop& loop)
    : listener_(
          [this, &loop](int fd) { return std::make_unique<TDemoSmtpSession>(fd, *this, loop); },
          loop) {}

TDemoSmtpServer::~TDemoSmtpServer() = default;

}  // namespace tarnwell
