#include "program/CheckReport.h"

#include <algorithm>
#include <cctype>

#include "accounts/Account.h"
#include "accounts/AccountList.h"
#include "message/QStrings.h"

namespace tarnwell {

namespace {

std::string Counted(int64_t n, std::string_view singular, std::string_view plural) {
  return std::to_string(n) + " " + std::string(n == 1 ? singular : plural);
}

std::string AccountPrefix(std::string_view description) {
  return "Account \"" + std::string(description) + "\": ";
}

// "POP3 server localhost:995", with an IPv6 address in brackets.
std::string ServerName(const TServerPlace& place) {
  std::string host =
      place.Host.find(':') != std::string::npos ? "[" + place.Host + "]" : place.Host;
  if (place.Port > 0) host += ":" + std::to_string(place.Port);
  return place.Role + " server" + (host.empty() ? "" : " " + host);
}

// The error's text on one line: each line break becomes a blank, and a text that ends in a word
// ends in a full stop, as the sentences after it do.
std::string OneLine(std::string_view text) {
  std::string line;
  for (size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (c == '\r' || c == '\n') {
      const bool blankFollows = i + 1 < text.size() && (text[i + 1] == ' ' || text[i + 1] == '\t');
      if (!blankFollows && !line.empty() && line.back() != ' ') line += ' ';
      continue;
    }
    line += c;
  }
  line = Trim(line);
  if (!line.empty() && std::isalnum(static_cast<unsigned char>(line.back()))) line += '.';
  return line;
}

// What to do when the server's TLS does not fit the account's settings.
std::string TlsAdvice(const TServerPlace& place, std::string_view account,
                      std::string_view command) {
  const std::string kind = LowerCase(place.Role);
  const std::string set =
      std::string(command) + " accounts set " + ShellWord(account) + " --" + kind;
  switch (place.Tls) {
    case TTlsFault::NotTls: {
      const char* upgrade = kind == "pop3" ? "STLS" : "STARTTLS";
      return " The server does not seem to speak TLS on this port. If it takes plain " +
             place.Role + " there and offers " + upgrade + ": " + set +
             "-security starttls (or none, which sends everything unprotected).";
    }
    case TTlsFault::Certificate:
      if (place.Fingerprint.empty()) return {};
      return " If you trust this certificate, pin it: " + std::string(command) + " accounts set " +
             ShellWord(account) + " --pin-" + kind + " " + place.Fingerprint;
    case TTlsFault::None: break;
  }
  return {};
}

}  // namespace

std::string CheckReportLine(const TAccount& account, int errors) {
  return AccountPrefix(account.Description) + std::to_string(account.NewCount) + " new, " +
         std::to_string(account.FriendlyCount) + " from friends, " +
         std::to_string(account.PossibleCount) + " possible spam, " +
         std::to_string(account.KilledCount) + " killed, " +
         Counted(account.SentCount, "complaint", "complaints") + " sent, " +
         Counted(errors, "error", "errors");
}

std::string CheckErrorLine(const TBatchError& error, std::string_view command) {
  const std::string account = error.Account.empty() ? "DESCRIPTION" : error.Account;
  std::string line;
  if (!error.Account.empty()) line = AccountPrefix(error.Account);
  if (error.Server) line += ServerName(*error.Server) + ": ";
  line += OneLine(error.Text);
  if (error.Server) line += TlsAdvice(*error.Server, account, command);
  if (error.UnsentComplaints > 0)
    line += " " + Counted(error.UnsentComplaints, "complaint", "complaints") +
            (error.UnsentComplaints == 1 ? " was" : " were") +
            " not sent and will not be sent later.";
  return line;
}

std::string ShellWord(std::string_view word) {
  const auto safe = [](unsigned char c) {
    return std::isalnum(c) ||
           std::string_view("@%+=:,./_-").find(static_cast<char>(c)) != std::string_view::npos;
  };
  if (!word.empty() && std::all_of(word.begin(), word.end(), safe)) return std::string(word);
  std::string quoted = "'";
  for (const char c : word) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return quoted + "'";
}

void TProgressLine::Start(std::string_view account, std::string_view step, int total) {
  head_ = std::string(account) + ": " + std::string(step);
  total_ = std::max(total, 0);
  done_ = 0;
}

bool TProgressLine::Advance() {
  ++done_;
  const int every = total_ > 0 ? (total_ + 99) / 100 : 100;
  return done_ == total_ || done_ % every == 0;
}

std::string TProgressLine::Text() const {
  std::string text = head_ + " " + std::to_string(done_);
  if (total_ > 0 && done_ <= total_) text += " of " + std::to_string(total_);
  return text;
}

}  // namespace tarnwell
