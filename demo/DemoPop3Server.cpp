#include "demo/DemoPop3Server.h"

#include <algorithm>
#include <cstdio>

namespace tarnwell {

namespace {

// A message number or line count: digits only, small enough to hold.
bool ParseNumber(std::string_view text, long& value) {
  if (text.empty() || text.size() > 9) return false;
  value = 0;
  for (const char c : text) {
    if (c < '0' || c > '9') return false;
    value = value * 10 + (c - '0');
  }
  return true;
}

std::string UpperCase(std::string_view text) {
  std::string upper(text);
  for (char& c : upper)
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 32);
  return upper;
}

// Splits "VERB arg1 arg2" at blanks.
std::vector<std::string_view> Words(std::string_view line) {
  std::vector<std::string_view> words;
  size_t i = 0;
  while (i < line.size()) {
    while (i < line.size() && line[i] == ' ') ++i;
    const size_t start = i;
    while (i < line.size() && line[i] != ' ') ++i;
    if (i > start) words.push_back(line.substr(start, i - start));
  }
  return words;
}

// Appends the lines of `text` (CR LF ends) with a dot doubled at the start of a line (RFC 1939
// section 3), stopping after the header block and `bodyLines` body lines when that is not -1.
void AppendStuffed(std::string& out, std::string_view text, long bodyLines) {
  bool inBody = false;
  long left = bodyLines;
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find("\r\n", start);
    if (end == std::string_view::npos) end = text.size();
    const std::string_view line = text.substr(start, end - start);
    if (inBody && bodyLines >= 0 && left-- <= 0) break;
    if (!line.empty() && line.front() == '.') out += '.';
    out.append(line);
    out += "\r\n";
    if (line.empty()) inBody = true;
    start = end + 2;
  }
}

}  // namespace

std::string WithCrLf(std::string_view text) {
  std::string out;
  out.reserve(text.size() + text.size() / 32 + 2);
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') continue;
    if (text[i] == '\n') {
      out += "\r\n";
    } else {
      out += text[i];
    }
  }
  if (out.size() < 2 || out.compare(out.size() - 2, 2, "\r\n") != 0) out += "\r\n";
  return out;
}

class TDemoPop3Session : public TDemoLineSession {
 public:
  TDemoPop3Session(int fd, TDemoPop3Server& server, TEventLoop& loop)
      : TDemoLineSession(fd, loop), server_(server) {}

  ~TDemoPop3Session() override { OnClosed(); }

  void Greet() override { Send("+OK Tarnwell demo POP3 server ready\r\n"); }

 protected:
  void OnLine(std::string_view line) override {
    const std::vector<std::string_view> words = Words(line);
    if (words.empty()) {
      Send("-ERR empty command\r\n");
      return;
    }
    const std::string verb = UpperCase(words[0]);
    if (verb == "QUIT") return Quit();
    if (verb == "CAPA") return Send("+OK capability list follows\r\nUSER\r\nUIDL\r\nTOP\r\n.\r\n");
    if (!locked_) return Authorization(verb, words, line);
    Transaction(verb, words);
  }

  void OnLineTooLong() override { Send("-ERR line too long\r\n"); }

  // A session that ends without QUIT deletes nothing (RFC 1939 section 6).
  void OnClosed() override {
    if (locked_) server_.locked_ = false;
    locked_ = false;
  }

 private:
  // A copy of the mailbox as the session found it, so messages added meanwhile do not move
  // the numbers under the client.
  struct TEntry {
    TDemoPop3Server::TMessage message;
    bool deleted = false;
  };

  void Authorization(const std::string& verb, const std::vector<std::string_view>& words,
                     std::string_view line) {
    if (verb == "USER" && words.size() == 2) {
      user_ = words[1];
      userGiven_ = true;
      Send("+OK send your password\r\n");
    } else if (verb == "PASS" && userGiven_) {
      // The password is the rest of the line: it may hold blanks.
      const size_t at = line.find(' ');
      const std::string_view password = at == std::string_view::npos ? "" : line.substr(at + 1);
      userGiven_ = false;
      if (user_ != server_.user_ || password != server_.password_) {
        Send("-ERR invalid user name or password\r\n");
      } else if (server_.locked_) {
        Send("-ERR the mailbox is in use\r\n");
      } else {
        server_.locked_ = locked_ = true;
        if (server_.onLogin_) server_.onLogin_();
        for (const auto& message : server_.mailbox_) entries_.push_back({message});
        Send("+OK " + std::to_string(entries_.size()) + " messages\r\n");
      }
    } else if (verb == "USER" || verb == "PASS") {
      Send("-ERR give USER with a name first, then PASS\r\n");
    } else {
      Send("-ERR log in first\r\n");
    }
  }

  void Transaction(const std::string& verb, const std::vector<std::string_view>& words) {
    if (verb == "STAT" && words.size() == 1) {
      size_t count = 0, octets = 0;
      for (const TEntry& entry : entries_) {
        if (entry.deleted) continue;
        ++count;
        octets += entry.message.Text.size();
      }
      Send("+OK " + std::to_string(count) + " " + std::to_string(octets) + "\r\n");
    } else if ((verb == "LIST" || verb == "UIDL") && words.size() <= 2) {
      ListOrUidl(verb == "UIDL", words);
    } else if (verb == "RETR" && words.size() == 2) {
      if (const TEntry* entry = Find(words[1])) {
        std::string reply = "+OK " + std::to_string(entry->message.Text.size()) + " octets\r\n";
        AppendStuffed(reply, entry->message.Text, -1);
        Send(reply + ".\r\n");
      }
    } else if (verb == "TOP" && words.size() == 3) {
      long lines = 0;
      if (!ParseNumber(words[2], lines)) return Send("-ERR the line count is not a number\r\n");
      if (const TEntry* entry = Find(words[1])) {
        std::string reply = "+OK top of message follows\r\n";
        AppendStuffed(reply, entry->message.Text, lines);
        Send(reply + ".\r\n");
      }
    } else if (verb == "DELE" && words.size() == 2) {
      if (TEntry* entry = Find(words[1])) {
        entry->deleted = true;
        Send("+OK message " + std::string(words[1]) + " deleted\r\n");
      }
    } else if (verb == "NOOP" && words.size() == 1) {
      Send("+OK\r\n");
    } else if (verb == "RSET" && words.size() == 1) {
      for (TEntry& entry : entries_) entry.deleted = false;
      Send("+OK " + std::to_string(entries_.size()) + " messages\r\n");
    } else {
      Send("-ERR unknown command or wrong arguments\r\n");
    }
  }

  void ListOrUidl(bool uidl, const std::vector<std::string_view>& words) {
    const auto item = [uidl](const TEntry& entry) {
      return uidl ? entry.message.Uid : std::to_string(entry.message.Text.size());
    };
    if (words.size() == 2) {
      if (const TEntry* entry = Find(words[1]))
        Send("+OK " + std::string(words[1]) + " " + item(*entry) + "\r\n");
      return;
    }
    std::string reply = "+OK\r\n";
    for (size_t i = 0; i < entries_.size(); ++i)
      if (!entries_[i].deleted) reply += std::to_string(i + 1) + " " + item(entries_[i]) + "\r\n";
    Send(reply + ".\r\n");
  }

  // The message of a number argument; none (with the reply sent) when there is no such message.
  TEntry* Find(std::string_view number) {
    long n = 0;
    if (!ParseNumber(number, n) || n < 1 || static_cast<size_t>(n) > entries_.size()) {
      Send("-ERR no such message\r\n");
      return nullptr;
    }
    TEntry& entry = entries_[static_cast<size_t>(n) - 1];
    if (entry.deleted) {
      Send("-ERR message " + std::string(number) + " already deleted\r\n");
      return nullptr;
    }
    return &entry;
  }

  void Quit() {
    if (locked_) {
      // The update state: the marked messages leave the mailbox.
      std::vector<std::string> gone;
      for (const TEntry& entry : entries_)
        if (entry.deleted) gone.push_back(entry.message.Uid);
      entries_.clear();
      std::erase_if(server_.mailbox_, [&gone](const TDemoPop3Server::TMessage& message) {
        return std::find(gone.begin(), gone.end(), message.Uid) != gone.end();
      });
      server_.deleted_.insert(server_.deleted_.end(), gone.begin(), gone.end());
      server_.locked_ = locked_ = false;
    }
    Send("+OK Tarnwell demo POP3 server signing off\r\n");
    CloseAfterSending();
  }

  TDemoPop3Server& server_;
  std::string user_;
  bool userGiven_ = false;
  bool locked_ = false;
  std::vector<TEntry> entries_;
};

TDemoPop3Server::TDemoPop3Server(std::string user, std::string password, TEventLoop& loop)
    : user_(std::move(user)),
      password_(std::move(password)),
      listener_(
          [this, &loop](int fd) { return std::make_unique<TDemoPop3Session>(fd, *this, loop); },
          loop) {}

TDemoPop3Server::~TDemoPop3Server() = default;

std::string TDemoPop3Server::AddMessage(std::string_view text) {
  char uid[32];
  std::snprintf(uid, sizeof uid, "demo-%06d", nextUid_++);
  mailbox_.push_back({uid, WithCrLf(text)});
  return uid;
}

}  // namespace tarnwell
