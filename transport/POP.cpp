#include "transport/POP.h"

#include <algorithm>
#include <climits>

#include "message/QStrings.h"
#include "platform/Clock.h"
#include "platform/Error.h"
#include "shell/LogFile.h"

namespace tarnwell {

namespace {

constexpr std::string_view kReplyEnd = "\r\n.\r\n";
constexpr std::string_view kHeaderEnd = "\r\n\r\n";
constexpr TCharSet kPrintable = TCharSet::Range(33, 126);

int32_t ToInt32(std::string_view text) {
  int64_t value = 0;
  if (!ToInteger(text, value)) return 0;
  return static_cast<int32_t>(std::clamp<int64_t>(value, INT32_MIN, INT32_MAX));
}

// Calls `take` with each line of `text` (without its CR LF or LF).
template <typename F>
void ForEachLine(std::string_view text, F take) {
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string_view::npos) end = text.size();
    size_t stop = end;
    if (stop > start && text[stop - 1] == '\r') --stop;
    take(text.substr(start, stop - start));
    start = end + 1;
  }
}

// The lines of a listing reply (UIDL, LIST) after its status line, each cut to the text after
// its first blank, up to the closing ".".
void ParseListing(std::string_view reply, std::vector<std::string>& list) {
  const size_t firstLine = reply.find('\n');
  if (firstLine == std::string_view::npos) return;
  bool ended = false;
  ForEachLine(reply.substr(firstLine + 1), [&](std::string_view line) {
    if (ended || line == ".") {
      ended = true;
      return;
    }
    const size_t blank = line.find(' ');
    list.emplace_back(blank == std::string_view::npos ? line : line.substr(blank + 1));
  });
}

}  // namespace

bool IsPositiveReply(std::string_view reply) { return reply.substr(0, 3) == "+OK"; }

bool IsCompleteReply(std::string_view reply, bool multiLine) {
  if (!multiLine || !IsPositiveReply(reply)) return reply.find('\n') != std::string_view::npos;
  return reply.find(kReplyEnd) != std::string_view::npos;
}

void SplitReply(std::string_view reply, std::vector<std::string>* headers,
                std::vector<std::string>& body) {
  if (headers) headers->clear();
  body.clear();
  TReplyLines lines(headers, body);
  lines.Add(reply);
  lines.Finish();
}

void TReplyLines::Add(std::string_view data) {
  splitter_.Add(data, [this](std::string_view line) { Take(line); });
  if (splitter_.HasPartial()) ended_ = false;
}

void TReplyLines::Take(std::string_view line) {
  const bool crLf = line.ends_with("\r\n");
  ended_ = line == ".\r\n" && crLfBefore_;
  crLfBefore_ = crLf;
  line = WithoutLineEnd(line);
  // RFC 1939 doubles a leading dot.
  if (line.size() >= 2 && line[0] == '.' && line[1] == '.') line.remove_prefix(1);
  if (inHeaders_ && line.empty()) {
    inHeaders_ = false;
    last_ = nullptr;
    return;
  }
  last_ = inHeaders_ ? headers_ : &body_;
  if (last_) last_->emplace_back(line);
}

void TReplyLines::Finish() {
  splitter_.Finish([this](std::string_view line) { Take(line); });
  if (last_ && !last_->empty() && last_->back() == ".") last_->pop_back();
  if (headers_) UnfoldLines(*headers_);
}

TPOP3::TPOP3() : TLineClient("POP3") {}

void TPOP3::AddLogLines(const std::vector<std::string>& lines) const {
  if (log_) log_->AddStrings(lines);
}

void TPOP3::HandleRead(TLineConnection& connection) {
  reply_ += connection.ReceiveText();
  if ((state_ < psGreeting || state_ > psPassSent) && state_ != psStartTls) return;
  if (reply_.find('\n') == std::string::npos) return;
  timer_.SetEnabled(false);
  AddLog("POP3: " + reply_);
  const bool positive = IsPositiveReply(reply_);
  switch (state_) {
    case psGreeting:
      if (!positive) {
        errorCode_ = peGreetingRefused;
        return;
      }
      if (Security == scStartTls) {
        state_ = psStartTls;
        SendCommand("STLS");
        break;
      }
      state_ = psUserSent;
      SendCommand("USER " + UserName);
      break;
    case psStartTls:
      // Without the upgrade the login stops here: the password never goes out in the clear.
      if (!positive) {
        errorCode_ = ceNotSecured;
        return;
      }
      state_ = psTlsHandshake;
      reply_.clear();
      connection.StartTls(Host, CertPin);
      timer_.SetEnabled(true);
      break;
    case psUserSent:
      if (!positive) {
        errorCode_ = peUserRefused;
        return;
      }
      state_ = psPassSent;
      SendCommand("PASS " + Password);
      break;
    default:
      if (!positive) {
        errorCode_ = pePassRefused;
        return;
      }
      state_ = psLoggedIn;
      break;
  }
}

void TPOP3::HandleDisconnect() {
  // A server that hangs up during the login leaves nothing to wait for.
  if (((state_ >= psGreeting && state_ <= psPassSent) || state_ == psStartTls ||
       state_ == psTlsHandshake) &&
      errorCode_ == 0)
    errorCode_ = wsaConnReset;
  state_ = psClosed;
  AddLog("POP3: Connection closed.");
}

void TPOP3::Login() {
  state_ = psGreeting;
  reply_.clear();
  statusLine_.clear();
  scanned_ = 0;
  errorCode_ = 0;
  deleted_ = 0;
  aborted_ = false;
  InstallHandlers();
  PrepareConnection(Port, Security == scTls, CertPin);
  ResolveHost(Host);
  RaisePendingError();
  AddLog("POP3: Connecting to " + Host + " on " + std::to_string(Port) + " with " + UserName + "@" +
         Domain +
         (Security == scTls        ? " over TLS"
          : Security == scStartTls ? " with STLS"
                                   : ""));
  if (UseSPA) {
    if (Security == scStartTls) OpenAndWait(psSecured);
    if (errorCode_ == 0 && !aborted_) SecureLogin();
  } else {
    OpenAndWait(psLoggedIn);
  }
  if (errorCode_ == 0) Stat();
  RaisePendingError();
}

void TPOP3::OpenAndWait(TState goal) {
  timer_.SetEnabled(true);
  OpenConnection();
  // The connection tells nothing when the handshake after STLS is done, so each round looks.
  const auto secured = [this] {
    return state_ == psTlsHandshake && errorCode_ == 0 && connection_.Secure();
  };
  for (;;) {
    WaitUntil([&] { return errorCode_ != 0 || state_ == goal || aborted_ || secured(); });
    if (!secured()) break;
    AddLog("POP3: Secure connection established.");
    if (goal == psSecured) {
      state_ = psSecured;
    } else {
      state_ = psUserSent;
      SendCommand("USER " + UserName);
    }
  }
  timer_.SetEnabled(false);
}

void TPOP3::SecureLogin() {
  errorCode_ = ceSecureLoginFailed;
  try {
    if (StartSecureLogin()) {
      state_ = psSecureLogin;
      if (RunSecureLogin(UserName + "@" + Domain, Password, false)) errorCode_ = 0;
      state_ = psLoggedIn;
    }
  } catch (const std::exception&) {
  }
  EndSecureLogin();
}

void TPOP3::SendCommand(std::string_view line) {
  const size_t blank = line.find(' ');
  if (SameText(line.substr(0, blank), "PASS")) {
    AddLog("POP3: PASS <password removed>\r\n");
  } else {
    AddLog("POP3: " + std::string(line) + "\r\n");
  }
  // A long reply (such as a message that is one long line, whose first line TOP gives) gives
  // its memory back rather than hold it for the rest of the session.
  EmptyAndTrim(reply_, 64 * 1024);
  scanned_ = 0;
  ProcessMessages();
  if (!connection_.Connected()) return;
  connection_.SendText(std::string(line) + "\r\n");
  Pump(1);
  timer_.SetEnabled(true);
}

bool TPOP3::ReplyComplete(bool multiLine) {
  // Only what arrived since the last look is searched, so a long reply costs no more than one
  // pass over it.
  const size_t from = scanned_ >= kReplyEnd.size() ? scanned_ - kReplyEnd.size() + 1 : 0;
  scanned_ = reply_.size();
  if (multiLine && IsPositiveReply(reply_))
    return reply_.find(kReplyEnd, from) != std::string::npos;
  return reply_.find('\n', from) != std::string::npos;
}

bool TPOP3::Command(std::string_view line, bool multiLine) {
  SendCommand(line);
  bool complete = false;
  WaitUntil([&] {
    complete = ReplyComplete(multiLine);
    return complete || errorCode_ != 0 || !connection_.Connected();
  });
  timer_.SetEnabled(false);
  if (complete) {
    AddLog("POP3: " + reply_);
  } else if (errorCode_ == 0) {
    errorCode_ = wsaConnReset;
  }
  return errorCode_ == 0 && connection_.Connected();
}

bool TPOP3::IsOK() {
  if (!IsPositiveReply(reply_)) return false;
  const size_t end = reply_.find('\n');
  statusLine_.assign(reply_, 0, end == std::string::npos ? reply_.size() : end + 1);
  reply_.erase(0, statusLine_.size());
  scanned_ = 0;
  return true;
}

bool TPOP3::IsMultiOK() const {
  return IsPositiveReply(reply_) && reply_.find(kReplyEnd) != std::string::npos;
}

bool TPOP3::HasReplyEnd() {
  if (reply_.starts_with(".\r\n")) return true;
  const size_t from = scanned_ >= kReplyEnd.size() ? scanned_ - kReplyEnd.size() + 1 : 0;
  return reply_.find(kReplyEnd, from) != std::string::npos;
}

void TPOP3::NoteLostConnection() {
  if (errorCode_ == 0 && !connection_.Connected()) errorCode_ = wsaConnReset;
}

void TPOP3::RaiseRefusal(std::string_view command) {
  Raise("The POP3 server refused \"" + std::string(command) + "\" (" +
        Trim(reply_.substr(0, reply_.find('\n'))) + ").");
}

bool TPOP3::Stat() {
  messageCount_ = 0;
  highestNumber_ = 0;
  if (Command("STAT", false) && IsOK()) {
    messageCount_ = highestNumber_ = ToInt32(FirstNumber(statusLine_));
    return true;
  }
  if (errorCode_ == 0 && Command("LIST", true) && IsMultiOK()) {
    messageCount_ = highestNumber_ = static_cast<int32_t>(CountChar(reply_, '\n')) - 2;
    return true;
  }
  return false;
}

bool TPOP3::UidlAll(std::vector<std::string>& list) {
  list.clear();
  try {
    if (Command("UIDL", true) && IsMultiOK()) {
      ParseListing(reply_, list);
      return true;
    }
  } catch (const std::exception&) {
  }
  list.clear();
  return false;
}

std::string TPOP3::UidlOne(int32_t n) {
  std::string uid;
  if (Command("UIDL " + std::to_string(n), false) && IsOK())
    uid = Trim(NthToken(statusLine_, 3, kPrintable));
  RaisePendingError();
  return uid;
}

bool TPOP3::ListAll(std::vector<std::string>& list) {
  list.clear();
  try {
    if (Command("LIST", true) && IsMultiOK()) {
      ParseListing(reply_, list);
      return true;
    }
  } catch (const std::exception&) {
  }
  return false;
}

int32_t TPOP3::ListOne(int32_t n) {
  int32_t size = 0;
  if (Command("LIST " + std::to_string(n), false) && IsOK()) {
    size = ToInt32(NthToken(statusLine_, 3, kAlphanumerics));
    AddLog("POP3: Message size: " + std::to_string(size));
  }
  RaisePendingError();
  return size;
}

void TPOP3::Top(int32_t n, std::vector<std::string>& headers, std::vector<std::string>& body) {
  headers.clear();
  body.clear();
  // A status line that arrived just before the server hung up still starts the reply; the
  // waits below then notice the lost connection.
  Command("TOP " + std::to_string(n) + " 1", false);
  const bool sent = errorCode_ == 0;
  if (sent && IsOK()) {
    timer_.SetEnabled(true);
    WaitUntil([this] {
      if (errorCode_ != 0 || !connection_.Connected()) return true;
      const size_t from = scanned_ >= kReplyEnd.size() ? scanned_ - kReplyEnd.size() + 1 : 0;
      if (reply_.find(kHeaderEnd, from) != std::string::npos || HasReplyEnd()) return true;
      scanned_ = reply_.size();
      return false;
    });
    WaitUntil([this] {
      return errorCode_ != 0 || !connection_.Connected() || reply_.ends_with("\n.\r\n") ||
             reply_ == ".\r\n";
    });
    timer_.SetEnabled(false);
    scanned_ = 0;
    if (HasReplyEnd()) {
      errorCode_ = 0;
    } else {
      NoteLostConnection();
      try {
        Drain();
      } catch (const std::exception&) {
      }
    }
    if (errorCode_ == 0) {
      SplitReply(reply_, &headers, body);
      reply_.clear();
      AddLogLines(headers);
      AddLogLines(body);
    }
  } else if (sent) {
    Retr(n, &headers, body);
    body.clear();
  }
  RaisePendingError();
}

void TPOP3::RetrieveHeaders(int32_t n, std::vector<std::string>& headers) {
  std::vector<std::string> body;
  Top(n, headers, body);
}

void TPOP3::Retr(int32_t n, std::vector<std::string>* headers, std::vector<std::string>& body) {
  body.clear();
  if (headers) headers->clear();
  const std::string command = "RETR " + std::to_string(n);
  Command(command, false);
  if (errorCode_ == 0 && !IsOK()) RaiseRefusal(command);
  if (errorCode_ == 0) {
    // The status line has stopped the command's timer; the message itself is timed as well.
    timer_.SetEnabled(true);
    // The message goes into lines as it arrives, so that its text is never held whole as well.
    TReplyLines lines(headers, body);
    WaitUntil([&] {
      lines.Add(reply_);
      reply_.clear();
      return errorCode_ != 0 || !connection_.Connected() || lines.Ended();
    });
    timer_.SetEnabled(false);
    if (!lines.Ended()) NoteLostConnection();
    if (errorCode_ != 0) {
      body.clear();
      if (headers) headers->clear();
    }
    RaisePendingError();
    lines.Finish();
    if (log_) {
      if (headers) {
        AddLog("POP3: Headers follow");
        AddLogLines(*headers);
      }
      AddLog("POP3: Message body follows");
      AddLogLines(body);
    }
  }
  RaisePendingError();
}

void TPOP3::Dele(int32_t n) {
  const std::string command = "DELE " + std::to_string(n);
  // A positive reply counts even when the server hung up right after it.
  Command(command, false);
  if (errorCode_ == 0 && !IsOK()) RaiseRefusal(command);
  if (errorCode_ == 0) {
    ++deleted_;
    --messageCount_;
    if (n == highestNumber_) --highestNumber_;
  }
  RaisePendingError();
}

void TPOP3::Drain() {
  if (connection_.ReceiveLength() == 0)
    WaitUntil([this] { return !connection_.Connected() || connection_.ReceiveLength() != 0; },
              TClock::Current().MonotonicMs() + 1000);
  char discard[100];
  for (int32_t available = connection_.ReceiveLength(); available > 0;
       available = connection_.ReceiveLength()) {
    if (available >= 100) {
      connection_.ReceiveBuffer(discard, 100);
    } else {
      connection_.ReceiveBuffer(discard, available);
      Pump(1);
    }
  }
}

void TPOP3::Quit() {
  // A stop between two commands leaves the session in step, and its deletions are worth the
  // wait for the server's answer.
  if (errorCode_ == ceAborted && deleted_ > 0 && connection_.Connected()) errorCode_ = 0;
  SetTimeout(10);
  state_ = psQuitting;
  SendCommand("QUIT");
  if (connection_.Connected()) {
    AddLog("POP3: Waiting for connection to close.");
    WaitUntil([this] { return errorCode_ != 0 || !connection_.Connected(); });
    if (connection_.Connected()) {
      AddLog("POP3: Timed out - closing socket.");
      connection_.ForceClose();
      errorCode_ = 0;
      AddLog("POP3: Socket closed.");
    }
  }
  timer_.SetEnabled(false);
  connection_.EnableNotifications(TLineConnection::TNotifications::None);
  const int32_t deleted = deleted_;
  deleted_ = 0;
  // The server removes deleted messages only once it has accepted QUIT (RFC 1939).
  if (deleted > 0 && !IsPositiveReply(reply_)) {
    errorCode_ = 0;
    const std::string text = "The POP3 server did not confirm the end of the session, so the " +
                             std::to_string(deleted) + (deleted == 1 ? " message" : " messages") +
                             " deleted in it may still be on the server.";
    AddLog("POP3: Raising exception: " + text);
    throw EPop3Unconfirmed(text, Place());
  }
  RaisePendingError();
}

std::string TPOP3::ErrorText() {
  switch (errorCode_) {
    case ceNotSecured:
      return "The POP3 server " + Host +
             " did not start a secure connection (STLS), so the login was not sent.\r (" +
             Trim(reply_) + ")";
    case peGreetingRefused: return "The POP3 server refused login.";
    case peUserRefused: return UseSPA ? "Secure login failed." : "The user name is invalid.";
    case pePassRefused:
      return "The user name or password is incorrect, or another program is reading e-mail.\r (" +
             Trim(reply_) + ")";
    default: return CommonErrorText(errorCode_);
  }
}

}  // namespace tarnwell
