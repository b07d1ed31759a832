#include "transport/SMTP.h"

#include <algorithm>
#include <climits>
#include <cstdio>
#include <memory>

#include "message/Base64.h"
#include "message/Headers.h"
#include "message/QStrings.h"
#include "message/SvcString.h"
#include "platform/Error.h"

namespace tarnwell {

namespace {

// Quoted-printable lines stay within the 76 characters of RFC 2045.
constexpr size_t kEncodedLineLimit = 72;

// Each line on its own: "=" and bytes from 128 up as "=XX"; a line that grows too long is
// continued on the next one after a soft line break.
void EncodeTextLines(std::vector<std::string>& lines) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::vector<std::string> encoded;
  encoded.reserve(lines.size());
  for (const std::string& line : lines) {
    std::string out;
    for (size_t i = 0; i < line.size(); ++i) {
      const auto c = static_cast<unsigned char>(line[i]);
      if (c == '=' || c >= 128) {
        out += '=';
        out += kHex[c >> 4];
        out += kHex[c & 15];
      } else {
        out += static_cast<char>(c);
      }
      if (out.size() > kEncodedLineLimit && i + 1 < line.size()) {
        out += '=';
        encoded.push_back(std::move(out));
        out.clear();
      }
    }
    encoded.push_back(std::move(out));
  }
  lines = std::move(encoded);
}

void AddMimeHeaders(THeaders& headers, std::vector<std::string>& textLines) {
  if (headers.HasHeader("MIME-Version")) return;
  headers.Add("MIME-Version: 1.0");
  headers.Add("Content-Type: text/plain; charset=\"iso-8859-1\"");
  headers.Add("Content-Transfer-Encoding: quoted-printable");
  EncodeTextLines(textLines);
}

std::string JoinCrLf(const std::vector<std::string>& lines) {
  std::string text;
  for (size_t i = 0; i < lines.size(); ++i) {
    if (i > 0) text += "\r\n";
    text += lines[i];
  }
  return text;
}

}  // namespace

void KeepLastReplyLine(std::string& reply) {
  if (reply.size() < 2) return;
  const size_t lineEnd = reply.rfind('\n', reply.size() - 2);
  if (lineEnd != std::string::npos) reply.erase(0, lineEnd + 1);
}

bool IsCompleteSMTPReply(std::string_view reply) {
  return reply.size() >= 4 && reply[3] != '-' && reply.find('\n') == reply.size() - 1;
}

std::string MessageData(const std::vector<std::string>& headerLines,
                        const std::vector<std::string>& textLines) {
  size_t size = 5;
  for (const std::string& line : headerLines) size += line.size() + 2;
  for (const std::string& line : textLines) size += line.size() + 3;
  std::string data;
  data.reserve(size);
  for (const std::string& line : headerLines) {
    data += line;
    data += "\r\n";
  }
  data += "\r\n";
  for (const std::string& line : textLines) {
    if (!line.empty() && line[0] == '.') data += '.';
    data += line;
    data += "\r\n";
  }
  data += ".\r\n";
  return data;
}

TSMTP::TSMTP() : TLineClient("SMTP") {}

// Drops a message stream still queued while this object can take its notification.
TSMTP::~TSMTP() { CloseSilently(); }

void TSMTP::HandleRead(TLineConnection& connection) {
  reply_ += connection.ReceiveText();
  KeepLastReplyLine(reply_);
}

void TSMTP::Login() {
  AddLog("SMTP: Initializing login");
  errorCode_ = 0;
  aborted_ = false;
  reply_.clear();
  quitting_ = false;
  InstallHandlers();
  PrepareConnection(Port, Security == scTls, CertPin);
  if (!ResolveHost(Host)) AddLog("SMTP: Error resolving address: " + Host);
  RaisePendingError();
  if (ClientName.empty()) {
    try {
      ClientName = TLineConnection::LocalHostName();
      AddLog("SMTP: Client set to LocalHost: " + ClientName);
    } catch (const std::exception&) {
      AddLog("SMTP: Error setting client to LocalHost");
    }
  }
  AddLog("SMTP: Connecting to " + Host + " on " + std::to_string(Port) + " as " + ClientName +
         " with " + AuthUser + "@" + Domain +
         (Security == scTls        ? " over TLS"
          : Security == scStartTls ? " with STARTTLS"
                                   : ""));
  OpenConnection();
  timer_.SetEnabled(true);
  WaitUntil([this] { return errorCode_ != 0 || connection_.Connected(); });
  timer_.SetEnabled(false);
  if (errorCode_ == 0 && WaitReply() && CheckReply()) Greet();
  RaisePendingError();
  if (Security == scStartTls) StartTls();
  if (!UseAuth) return;
  if (UseSPA) {
    SecureLogin();
  } else {
    AuthLogin();
  }
}

void TSMTP::Greet() {
  Command("EHLO " + ClientName);
  if (!CheckReply()) {
    Command("HELO " + ClientName);
    CheckReply();
  }
}

void TSMTP::StartTls() {
  Command("STARTTLS");
  // Without the upgrade the session stops here: nothing of the login goes out in the clear.
  if (FirstNumber(reply_) != "220") {
    errorCode_ = ceNotSecured;
    RaisePendingError();
  }
  reply_.clear();
  connection_.StartTls(Host, CertPin);
  timer_.SetEnabled(true);
  WaitUntil([this] { return errorCode_ != 0 || aborted_ || !connection_.Handshaking(); });
  timer_.SetEnabled(false);
  if (errorCode_ == 0 && !connection_.Secure())
    errorCode_ = aborted_ ? ceAborted : int32_t{wsaConnReset};
  RaisePendingError();
  AddLog("SMTP: Secure connection established.");
  Greet();
  RaisePendingError();
}

void TSMTP::AuthLogin() {
  if (AuthUser.empty() || AuthPassword.empty()) return;
  Command("AUTH LOGIN");
  Command(TBase64::Encode(AuthUser), "<user name removed>");
  Command(TBase64::Encode(AuthPassword), "<password removed>");
}

void TSMTP::SecureLogin() {
  errorCode_ = ceSecureLoginFailed;
  if (StartSecureLogin() && RunSecureLogin(AuthUser + "@" + Domain, AuthPassword, true))
    errorCode_ = 0;
  EndSecureLogin();
  // The exchange's own text says more than the refusal of the next command would.
  RaisePendingError();
}

void TSMTP::SendLine(std::string_view line, std::string_view logged) {
  AddLog("SMTP: " + std::string(logged));
  ProcessMessages();
  connection_.SendText(std::string(line) + "\r\n");
  ProcessMessages();
  RaisePendingError();
}

bool TSMTP::WaitReply() {
  timer_.SetEnabled(true);
  WaitUntil([this] {
    return IsCompleteSMTPReply(reply_) || errorCode_ != 0 || !connection_.Connected();
  });
  // Closed before the reply was whole: nothing more will come.
  if (!IsCompleteSMTPReply(reply_) && errorCode_ == 0) errorCode_ = wsaConnReset;
  timer_.SetEnabled(false);
  AddLog((errorCode_ != 0 ? "SMTP Error: " : "SMTP: ") + reply_);
  ProcessMessages();
  return errorCode_ == 0;
}

bool TSMTP::Command(std::string_view line, std::string_view logged) {
  errorCode_ = 0;
  reply_.clear();
  SendLine(line, logged);
  WaitReply();
  RaisePendingError();
  return true;
}

bool TSMTP::CheckReply() {
  const std::string number = FirstNumber(reply_);
  int64_t code = 0;
  if (number.empty() || !ToInteger(number, code)) return false;
  if (code / 100 > 3) {
    errorCode_ = static_cast<int32_t>(std::min<int64_t>(code, INT32_MAX));
    return false;
  }
  return true;
}

void TSMTP::SendMail(std::string_view sender, std::vector<std::string>& recipients,
                     std::vector<std::string>& textLines, THeaders& headers) {
  AddMimeHeaders(headers, textLines);
  std::vector<std::string> headerLines = headers.Lines();
  FoldLongLines(headerLines);
  const std::string address = BracketIPDomain(Trim(AddressOf(sender)));
  BracketIPDomain(recipients);
  auto stream = std::make_unique<TMessageStream>();
  stream->Data = MessageData(headerLines, textLines);
  stream->OnDestroy = [this] {
    sent_ = true;
    AddLog("SMTP: Done sending.");
  };

  Command("MAIL FROM:<" + address + ">");
  if (!CheckReply()) {
    RaisePendingError();
    return;
  }
  for (const std::string& recipient : recipients) {
    Command("RCPT TO:<" + recipient + ">");
    if (!CheckReply()) {
      RaisePendingError();
      return;
    }
  }
  if (log_) {
    AddLog("SMTP: About to send; body is " + std::to_string(textLines.size()) + " lines.");
    AddLog(JoinCrLf(headerLines));
    if (textLines.empty()) {
      AddLog("No body to send.");
    } else {
      AddLog(JoinCrLf(textLines).substr(0, 100));
    }
  }
  Command("DATA");
  if (CheckReply()) {
    reply_.clear();
    sent_ = false;
    errorCode_ = 0;
    connection_.SendStream(std::move(stream));
    WaitUntil([this] { return sent_ || errorCode_ != 0; });
    WaitReply();
    CheckReply();
  }
  RaisePendingError();
}

void TSMTP::Reset() {
  try {
    Command("RSET");
  } catch (const std::exception&) {
  }
  errorCode_ = 0;
}

void TSMTP::Quit() {
  if (connection_.Connected()) {
    quitting_ = true;
    timer_.SetInterval(30 * 1000);
    Command("QUIT");
    // The reply has stopped the timer; the wait for the server to close is timed too.
    timer_.SetEnabled(true);
  }
  WaitUntil([this] { return errorCode_ != 0 || !connection_.Connected(); });
  if (errorCode_ != 0 && connection_.Connected()) connection_.ForceClose();
  timer_.SetEnabled(false);
  RaisePendingError();
  quitting_ = false;
}

std::string TSMTP::ErrorText() {
  const int32_t code = errorCode_;
  errorCode_ = 0;
  if (code == ceNotSecured)
    return "The SMTP server " + Host +
           " did not start a secure connection (STARTTLS), so the login was not sent. " +
           Trim(reply_);
  if (code < 300 || code >= 600) return CommonErrorText(code);
  std::string text;
  switch (code) {
    case 421: text = "Mail service not available."; break;
    case 452:
    case 552: text = "Mail server out of resources."; break;
    case 554: text = "Mail transaction failed."; break;
    default: text = "Mail transfer error, code " + std::to_string(code) + "."; break;
  }
  return text + " " + Trim(reply_);
}

}  // namespace tarnwell
