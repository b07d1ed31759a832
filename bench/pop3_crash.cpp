// Crash safety of a POP3 check. A private Dovecot holds generated messages (ordinary mail, spam
// for a subject filter, spam for a text filter, some of 40-90 KB, one above the size limit for
// retrieving); the built `tarnwell --home DIR /ONCE` checks them through a relay on 127.0.0.1
// that counts the program's commands and sends it SIGKILL at a chosen one:
//   DELE:12            the 12th DELE, before the server sees it
//   DELE:12:answered   after the server answered it, before the program reads the answer
//   DELE:12:+500       500 microseconds after it went to the server, the program running on
//   DELE:3,QUIT:1      two killed checks in a row
// After each killed check, and again after a following check that runs to its end, it looks at
// the server's mailbox and at Killed Mail: no message may be lost (on neither), a Killed copy
// must hold the message's whole text, only spam may be in Killed Mail, and after the last check
// every spam message must be in Killed Mail exactly once and off the server, every other message
// on the server once, with no temporary or half-written files in Killed Mail. It prints every run
// and a summary, and ends with status 1 when any of that failed.
//
//   build/bin/pop3_crash [--runs 100] [--messages 200] [--run KILLS]... [--keep DIR]
//                        [--tarnwell PATH]
//
// A first check without a kill counts the commands; the runs kill at every command kind, spread
// over the check, and fail only on damage that check did not do as well. --run replaces them
// with the given ones (one chain each); --keep leaves each run's program folder in DIR;
// --tarnwell checks another build. The work happens in $TMPDIR; 100 runs take some 3 minutes.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <map>
#include <optional>
#include <set>
#include <stdexcept>
#include <string>
#include <vector>

#include "platform/Files.h"
#include "tests/support/ChildProcess.h"
#include "tests/support/Dovecot.h"
#include "tests/support/TestSupport.h"

using namespace tarnwell;
namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

namespace {

constexpr int kSkipSize = 102400;  // a new program folder's limit for retrieving a message

// ---------------------------------------------------------------------------------------------
// The messages

struct TOriginal {
  int n = 0;
  std::string text;        // as delivered, LF line ends
  std::string killedText;  // what its Killed Mail text file holds: the body, CR LF between lines
  int64_t size = 0;        // the size the server gives, CR LF line ends
  bool spam = false;       // the check kills it
};

// Lines with leading dots (which POP3 doubles on the wire), 8-bit text, a long line, a folded
// header and texts ending in an empty line, so that a copy that lost or changed a byte shows.
TOriginal Generate(int n, int count) {
  static const char* words[] = {"account", "meeting", "report", "tomorrow", "weather", "invoice",
                                "project", "holiday", "review", "garden",   "kitchen", "number",
                                "station", "picture", "letter", "Grüße",    "café",    "1,50 €"};
  uint32_t seed = static_cast<uint32_t>(n) * 2654435761u + 777u;
  const auto next = [&seed] {
    seed = seed * 1103515245u + 12345u;
    return (seed >> 16) & 0x7FFF;
  };
  const auto line = [&](size_t length) {
    std::string text;
    while (text.size() < length) {
      if (!text.empty()) text += ' ';
      text += words[next() % std::size(words)];
    }
    return text;
  };
  const bool tooLarge = count >= 10 && n == count - 1;
  const bool subjectSpam = n % 10 == 3 || tooLarge;
  const bool textSpam = n % 10 == 7;
  const size_t bodySize = tooLarge ? kSkipSize + 40000 : n % 16 == 5 ? 40000 + next() % 50000 : 0;
  const std::string id = std::to_string(n);

  std::string body;
  const int lines = 8 + static_cast<int>(next() % 20);
  for (int i = 0; i < lines || body.size() < bodySize; ++i) {
    if (i == 2) {
      static const char* dotted[] = {".", "..", ".. two dots", ". one dot", "..."};
      body += dotted[n % 7 % 5];
    } else if (i == 4 && textSpam) {
      body += "To stop these mails, unsubscribe here: http://spammer.biz/u?" + id;
    } else if (i == 5 && n % 9 == 0) {
      body += line(1200);
    } else {
      body += line(20 + next() % 50);
    }
    body += '\n';
  }
  if (n % 8 == 7) body += "\n";

  TOriginal original;
  original.n = n;
  original.spam = (subjectSpam || textSpam) && !tooLarge;
  original.text = "Return-Path: <s" + id + "@mail.net>\nFrom: " +
                  (subjectSpam || textSpam ? "Deals <deals" + id + "@spammer.biz>"
                                           : "Sender " + id + " <s" + id + "@mail.net>") +
                  "\nTo: me@example.com\nSubject: " +
                  (subjectSpam ? "Cheap viagra offer #" + id : "Note #" + id) +
                  "\nDate: Thu, 14 Mar 2024 08:00:00 +0000\nMessage-Id: <crash-" + id +
                  "@bench.test>\nX-Folded: first part\n\tsecond part " + id +
                  "\nMIME-Version: 1.0\nContent-Type: text/plain; charset=utf-8\n"
                  "Content-Transfer-Encoding: 8bit\n\n" +
                  body;
  for (const char c : body) {
    if (c == '\n') original.killedText += '\r';
    original.killedText += c;
  }
  original.killedText.resize(original.killedText.size() - 2);
  original.size = static_cast<int64_t>(original.text.size()) +
                  std::count(original.text.begin(), original.text.end(), '\n');
  return original;
}

// The number in the "<crash-N@" message identifier in `text`; -1 without one.
int MessageNumber(const std::string& text) {
  const std::string tag = "Message-Id: <crash-";
  const size_t at = text.find(tag);
  if (at == std::string::npos) return -1;
  return std::atoi(text.c_str() + at + tag.size());
}

// ---------------------------------------------------------------------------------------------
// Where the program is killed

struct TKillPoint {
  enum class TWhen { Before, Answered, Delayed };
  std::string command;
  int k = 1;
  TWhen when = TWhen::Before;
  int delayUs = 0;

  [[nodiscard]] std::string Text() const {
    std::string text = command + ":" + std::to_string(k);
    if (when == TWhen::Answered) text += ":answered";
    if (when == TWhen::Delayed) text += ":+" + std::to_string(delayUs);
    return text;
  }
  [[nodiscard]] std::string Kind() const {
    return command + (when == TWhen::Answered  ? " answered"
                      : when == TWhen::Delayed ? " +delay"
                                               : " before");
  }
};

using TChain = std::vector<TKillPoint>;

TKillPoint ParseKillPoint(const std::string& text) {
  TKillPoint point;
  const size_t colon = text.find(':');
  if (colon == std::string::npos) throw std::runtime_error("no \":k\" in \"" + text + "\"");
  point.command = text.substr(0, colon);
  std::transform(point.command.begin(), point.command.end(), point.command.begin(), ::toupper);
  size_t end = 0;
  point.k = std::stoi(text.substr(colon + 1), &end);
  const std::string rest = text.substr(colon + 1 + end);
  if (rest == ":answered") {
    point.when = TKillPoint::TWhen::Answered;
  } else if (rest.starts_with(":+")) {
    point.when = TKillPoint::TWhen::Delayed;
    point.delayUs = std::stoi(rest.substr(2));
  } else if (!rest.empty()) {
    throw std::runtime_error("unknown kill point \"" + text + "\"");
  }
  if (point.k < 1) throw std::runtime_error("k counts from 1 in \"" + text + "\"");
  return point;
}

TChain ParseChain(const std::string& text) {
  TChain chain;
  size_t start = 0;
  for (;;) {
    const size_t comma = text.find(',', start);
    chain.push_back(ParseKillPoint(text.substr(start, comma - start)));
    if (comma == std::string::npos) return chain;
    start = comma + 1;
  }
}

// ---------------------------------------------------------------------------------------------
// The relay

void SendAll(int fd, const char* data, size_t size) {
  while (size > 0) {
    const ssize_t sent = ::send(fd, data, size, MSG_NOSIGNAL);
    if (sent <= 0) return;  // the other side is gone; its end shows as end of input
    data += sent;
    size -= static_cast<size_t>(sent);
  }
}

int ConnectTo(int port) {
  const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(static_cast<uint16_t>(port));
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  if (fd < 0 || ::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0)
    throw std::runtime_error("cannot connect to the server on port " + std::to_string(port));
  return fd;
}

struct TProgramRun {
  std::vector<std::pair<std::string, int>> commands;  // in the order first sent
  int logins = 0;                                     // sessions the server let in
  bool killed = false;
  int status = -1;

  [[nodiscard]] int Count(const std::string& command) const {
    for (const auto& [name, count] : commands)
      if (name == command) return count;
    return 0;
  }
  [[nodiscard]] std::string CommandsText() const {
    std::string text;
    for (const auto& [name, count] : commands) {
      if (name == "USER" || name == "PASS") continue;
      text += (text.empty() ? "" : ", ") + name + " " + std::to_string(count);
    }
    return text;
  }
};

// Passes POP3 sessions from a program to the server and counts the program's commands.
class TRelay {
 public:
  explicit TRelay(int serverPort) : serverPort_(serverPort) {
    listen_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    if (listen_ < 0 || ::bind(listen_, reinterpret_cast<sockaddr*>(&address), length) != 0 ||
        ::listen(listen_, 8) != 0 ||
        ::getsockname(listen_, reinterpret_cast<sockaddr*>(&address), &length) != 0)
      throw std::runtime_error("the relay cannot listen");
    port_ = ntohs(address.sin_port);
  }
  ~TRelay() { ::close(listen_); }
  TRelay(const TRelay&) = delete;
  TRelay& operator=(const TRelay&) = delete;

  [[nodiscard]] int Port() const { return port_; }

  // Relays until `program` ends, or kills it at `kill`. The program is reaped before its
  // connection closes, so it never sees the connection end.
  TProgramRun Run(test::TChildProcess& program, const TKillPoint* kill) {
    TProgramRun run;
    int client = -1, server = -1;
    std::string pending;   // the program's unfinished command line
    std::string held;      // the server's answer to the command the program dies after
    std::string awaiting;  // the command whose answer comes next
    bool holding = false, multiLine = false;
    std::optional<Clock::time_point> deadline;
    const auto giveUp = Clock::now() + std::chrono::minutes(1);
    const auto closeAll = [&] {
      if (client >= 0) ::close(client);
      if (server >= 0) ::close(server);
      client = server = -1;
    };
    const auto killNow = [&] {
      // A pid of -1 would signal every process there is.
      if (program.Pid() > 0) ::kill(program.Pid(), SIGKILL);
      run.status = program.Wait();
      run.killed = run.status == 128 + SIGKILL;
      closeAll();
    };
    for (;;) {
      if (deadline && Clock::now() >= *deadline) {
        killNow();
        return run;
      }
      if (Clock::now() > giveUp) {
        killNow();
        throw std::runtime_error("the check did not end within a minute");
      }
      if (!program.Running()) {
        run.status = program.Wait();
        closeAll();
        return run;
      }
      pollfd fds[3] = {{listen_, POLLIN, 0}, {client, POLLIN, 0}, {server, POLLIN, 0}};
      timespec wait{0, 5'000'000};
      if (deadline) {
        const auto left =
            std::chrono::duration_cast<std::chrono::nanoseconds>(*deadline - Clock::now());
        wait.tv_nsec = std::clamp<long>(static_cast<long>(left.count()), 0, wait.tv_nsec);
      }
      if (::ppoll(fds, 3, &wait, nullptr) <= 0) continue;
      if (fds[0].revents & POLLIN) {
        const int accepted = ::accept4(listen_, nullptr, nullptr, SOCK_CLOEXEC);
        if (accepted >= 0) {
          closeAll();
          client = accepted;
          server = ConnectTo(serverPort_);
          pending.clear();
        }
        continue;
      }
      char buffer[65536];
      if (fds[1].revents & (POLLIN | POLLHUP | POLLERR)) {
        const ssize_t got = ::read(client, buffer, sizeof buffer);
        if (got <= 0) {
          closeAll();
          continue;
        }
        pending.append(buffer, static_cast<size_t>(got));
        for (size_t end; (end = pending.find('\n')) != std::string::npos;) {
          const std::string line = pending.substr(0, end + 1);
          pending.erase(0, end + 1);
          std::string command = line.substr(0, line.find_first_of(" \r\n"));
          std::transform(command.begin(), command.end(), command.begin(), ::toupper);
          auto counted = std::find_if(run.commands.begin(), run.commands.end(),
                                      [&](const auto& entry) { return entry.first == command; });
          if (counted == run.commands.end())
            counted = run.commands.insert(run.commands.end(), {command, 0});
          const int count = ++counted->second;
          const bool target = kill && command == kill->command && count == kill->k;
          if (target && kill->when == TKillPoint::TWhen::Before) {
            killNow();
            return run;
          }
          SendAll(server, line.data(), line.size());
          awaiting = command;
          if (target && kill->when == TKillPoint::TWhen::Answered) {
            holding = true;
            multiLine = (command == "TOP" || command == "RETR" ||
                         ((command == "UIDL" || command == "LIST") && line.find(' ') == npos));
          }
          if (target && kill->when == TKillPoint::TWhen::Delayed)
            deadline = Clock::now() + std::chrono::microseconds(kill->delayUs);
        }
      }
      if (server >= 0 && (fds[2].revents & (POLLIN | POLLHUP | POLLERR))) {
        const ssize_t got = ::read(server, buffer, sizeof buffer);
        if (got <= 0) {
          closeAll();
          continue;
        }
        if (awaiting == "PASS" &&
            std::string_view(buffer, static_cast<size_t>(got)).starts_with("+OK"))
          ++run.logins;
        awaiting.clear();
        if (!holding) {
          SendAll(client, buffer, static_cast<size_t>(got));
          continue;
        }
        held.append(buffer, static_cast<size_t>(got));
        const bool complete = held.find("\r\n") != npos &&
                              (!multiLine || held.starts_with("-") || held.ends_with("\r\n.\r\n"));
        if (complete) {
          killNow();
          return run;
        }
      }
    }
  }

 private:
  static constexpr size_t npos = std::string::npos;
  int serverPort_;
  int listen_ = -1;
  int port_ = 0;
};

// ---------------------------------------------------------------------------------------------
// What the server and Killed Mail hold

// A Killed Mail copy without the message's whole text or its status headers.
struct TDamage {
  std::string file;
  std::string fault;  // the message and what is wrong, the same whichever file holds it
};

struct TState {
  std::vector<int> server;             // copies on the server, by message number
  std::vector<int> killed;             // Killed Mail copies, by message number
  std::vector<TDamage> damage;         // of those
  std::vector<std::string> leftovers;  // files in Killed Mail that are no message
  std::vector<std::string> setAside;   // whole texts the program kept aside, no message's copy
};

// The value of the header line `name` in a Killed Mail header file (CR LF lines).
std::string HeaderValue(const std::string& text, const std::string& name) {
  size_t at = 0;
  while (at < text.size()) {
    const size_t end = std::min(text.find("\r\n", at), text.size());
    if (text.compare(at, name.size() + 2, name + ": ") == 0)
      return text.substr(at + name.size() + 2, end - at - name.size() - 2);
    at = end + 2;
  }
  return std::string();
}

TState Inspect(const test::TDovecot& dovecot, const std::string& user, const std::string& home,
               const std::vector<TOriginal>& originals) {
  TState state;
  state.server.assign(originals.size(), 0);
  state.killed.assign(originals.size(), 0);
  for (const std::string& text : dovecot.Messages(user)) {
    const int n = MessageNumber(text);
    if (n < 0 || n >= static_cast<int>(originals.size()) || text != originals[n].text)
      throw std::runtime_error("the server holds a message that was not delivered");
    ++state.server[n];
  }
  // The program folder's only account is its first.
  const std::string folder = home + "Accounts/0000000001/Killed/";
  std::vector<std::string> names;
  if (fs::exists(folder))
    for (const auto& entry : fs::directory_iterator(folder))
      names.push_back(entry.path().filename().string());
  std::sort(names.begin(), names.end());
  const auto isNumber = [](const std::string& name) {
    return name.size() == 14 && std::all_of(name.begin(), name.begin() + 10, ::isdigit);
  };
  for (const std::string& name : names) {
    const std::string base = name.substr(0, name.size() - 4);
    // A text whose header file a kill kept from being written is set aside under this name
    // when the folder is next loaded; it must be a whole text of a delivered message.
    if (name.size() > 14 && isNumber(name.substr(0, 14)) &&
        name.substr(10).starts_with(".txt.unpaired")) {
      std::string text;
      ReadWholeFile(folder + name, text);
      const auto match = std::find_if(originals.begin() + 1, originals.end(),
                                      [&](const TOriginal& o) { return o.killedText == text; });
      if (match == originals.end())
        state.leftovers.push_back(name + " (set aside, but the text of no message)");
      else
        state.setAside.push_back(name + " (the text of message " + std::to_string(match->n) + ")");
      continue;
    }
    if (isNumber(name) && name.ends_with(".txt")) {
      if (!fs::exists(folder + base + ".hdr"))
        state.leftovers.push_back(name + " (a text without its header file)");
      continue;
    }
    if (!isNumber(name) || !name.ends_with(".hdr")) {
      state.leftovers.push_back(name);
      continue;
    }
    std::string header, text;
    ReadWholeFile(folder + name, header);
    const int n = MessageNumber(header);
    if (n < 0 || n >= static_cast<int>(originals.size())) {
      state.damage.push_back({name, "a header naming no message"});
      continue;
    }
    ++state.killed[n];
    const TOriginal& original = originals[n];
    const std::string message = "message " + std::to_string(n) + ": ";
    if (HeaderValue(header, "X-Tarnwell-UID").empty() ||
        HeaderValue(header, "X-Tarnwell-Length") != std::to_string(original.size)) {
      state.damage.push_back({name, message + "its UID or length is missing or wrong"});
    } else if (!ReadWholeFile(folder + base + ".txt", text)) {
      state.damage.push_back(
          {name, message + "no text file, it shows the \"not retrieved\" notice"});
    } else if (text + "\r\n" == original.killedText) {
      state.damage.push_back({name, message + "its text lost its last line, an empty one"});
    } else if (text != original.killedText) {
      state.damage.push_back({name, message + "its text differs from the message's (" +
                                        std::to_string(text.size()) + " bytes, not " +
                                        std::to_string(original.killedText.size()) + ")"});
    }
  }
  return state;
}

// What one look at the server and Killed Mail found wrong. `final` holds after a check that ran
// to its end; after a kill a message may be on the server and in Killed Mail both.
struct TFindings {
  int lost = 0;
  int duplicates = 0;  // copies beyond one, on the server and in Killed Mail together
  int damaged = 0;
  int knownDamage = 0;  // damage a check without a kill does as well
  int leftovers = 0;
  int wronglyKilled = 0;
  int notKilled = 0;
  std::vector<std::string> lines;

  [[nodiscard]] bool Failed(bool final) const {
    return lost + duplicates + damaged + wronglyKilled + (final ? leftovers + notKilled : 0) > 0;
  }
};

std::string NumberList(const std::vector<int>& numbers) {
  std::string text;
  for (size_t i = 0; i < numbers.size() && i < 12; ++i)
    text += (i ? " " : "") + std::to_string(numbers[i]);
  return numbers.size() > 12 ? text + " …" : text;
}

// Damage in `known` is counted apart, so that a run fails only on what its kills did.
TFindings Judge(const TState& state, const std::vector<TOriginal>& originals, bool final,
                const std::set<std::string>& known) {
  TFindings findings;
  std::vector<int> lost, doubled, wrong, notKilled;
  for (size_t n = 1; n < originals.size(); ++n) {
    const int server = state.server[n], killed = state.killed[n];
    if (server + killed == 0) lost.push_back(static_cast<int>(n));
    if (killed > 0 && !originals[n].spam) wrong.push_back(static_cast<int>(n));
    const int extra = final ? server + killed - 1 : killed - 1;
    if (extra > 0) {
      findings.duplicates += extra;
      doubled.push_back(static_cast<int>(n));
    }
    if (final && originals[n].spam && killed == 0 && server > 0)
      notKilled.push_back(static_cast<int>(n));
  }
  findings.lost = static_cast<int>(lost.size());
  findings.wronglyKilled = static_cast<int>(wrong.size());
  findings.notKilled = static_cast<int>(notKilled.size());
  findings.leftovers = static_cast<int>(state.leftovers.size());
  if (!lost.empty()) findings.lines.push_back("lost (on neither): " + NumberList(lost));
  if (!doubled.empty())
    findings.lines.push_back(std::to_string(findings.duplicates) + " duplicate copies of " +
                             std::to_string(doubled.size()) + " messages: " + NumberList(doubled));
  if (!wrong.empty())
    findings.lines.push_back("not spam, yet in Killed Mail: " + NumberList(wrong));
  if (!notKilled.empty())
    findings.lines.push_back("spam left on the server: " + NumberList(notKilled));
  for (const TDamage& damage : state.damage) {
    if (known.contains(damage.fault)) {
      ++findings.knownDamage;
      continue;
    }
    ++findings.damaged;
    findings.lines.push_back("damaged " + damage.file + ", " + damage.fault);
  }
  if (findings.knownDamage > 0)
    findings.lines.push_back(std::to_string(findings.knownDamage) +
                             " copies damaged as by a check without a kill");
  for (const std::string& line : state.leftovers) findings.lines.push_back("leftover " + line);
  for (const std::string& line : state.setAside) findings.lines.push_back("set aside " + line);
  return findings;
}

std::string Counts(const TState& state) {
  int server = 0, killed = 0, both = 0;
  for (size_t n = 1; n < state.server.size(); ++n) {
    server += state.server[n];
    killed += state.killed[n];
    both += state.server[n] > 0 && state.killed[n] > 0;
  }
  return "server " + std::to_string(server) + ", Killed Mail " + std::to_string(killed) +
         " copies, " + std::to_string(both) + " in both";
}

// ---------------------------------------------------------------------------------------------
// The runs

struct TOptions {
  int runs = 100;
  int messages = 200;
  std::vector<TChain> chains;
  std::string keep;
  std::string tarnwell = TARNWELL_BINARY;
};

TOptions ParseOptions(int argc, char** argv) {
  TOptions options;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (i + 1 >= argc) throw std::runtime_error("usage: see the comment atop bench/pop3_crash.cpp");
    const std::string value = argv[++i];
    if (arg == "--runs") {
      options.runs = std::stoi(value);
    } else if (arg == "--messages") {
      options.messages = std::max(10, std::stoi(value));
    } else if (arg == "--run") {
      options.chains.push_back(ParseChain(value));
    } else if (arg == "--keep") {
      options.keep = fs::absolute(value).string() + "/";
    } else if (arg == "--tarnwell") {
      options.tarnwell = fs::absolute(value).string();
    } else {
      throw std::runtime_error("unknown option " + arg);
    }
  }
  return options;
}

// `runs` kill points spread over a check that sent the counted commands: every command kind,
// before the server sees it, once the server has answered, and a moment later while the
// program goes on; a few kills twice in a row. Kinds take turns, so a short plan covers them.
std::vector<TChain> Plan(int runs, const TProgramRun& calibration) {
  using W = TKillPoint::TWhen;
  struct TKind {
    const char* command;
    W when;
    int share;  // runs in a hundred
  };
  const TKind kinds[] = {{"DELE", W::Before, 16},   {"DELE", W::Delayed, 20},
                         {"DELE", W::Answered, 12}, {"TOP", W::Before, 12},
                         {"RETR", W::Before, 12},   {"QUIT", W::Answered, 3},
                         {"QUIT", W::Before, 3},    {"QUIT", W::Delayed, 4},
                         {"RETR", W::Delayed, 6},   {"TOP", W::Delayed, 4}};
  // A DELE, RETR or TOP takes a millisecond or less and the server's answer to QUIT some
  // 100 ms; the later kills after a QUIT may find the program ended.
  static const std::vector<int> shortDelays = {0, 150, 400, 800, 1500, 3000, 6000};
  static const std::vector<int> quitDelays = {5000, 80000, 300000, 600000};
  std::vector<std::vector<TChain>> lists;
  for (const TKind& kind : kinds) {
    const int count = std::max(1, calibration.Count(kind.command));
    const int n = (kind.share * runs + 99) / 100;
    std::vector<TChain>& list = lists.emplace_back();
    for (int i = 0; i < n; ++i) {
      TKillPoint point;
      point.command = kind.command;
      point.when = kind.when;
      point.k = n == 1 ? (count + 1) / 2 : 1 + static_cast<int>(int64_t{i} * (count - 1) / (n - 1));
      const std::vector<int>& delays = point.command == "QUIT" ? quitDelays : shortDelays;
      point.delayUs = kind.when == W::Delayed ? delays[static_cast<size_t>(i) % delays.size()] : 0;
      list.push_back({point});
    }
  }
  // Twice in a row: the second check meets what the first left behind.
  const int deletes = std::max(1, calibration.Count("DELE"));
  std::vector<TChain>& twice = lists.emplace_back();
  for (int i = 0; i < (8 * runs + 99) / 100; ++i) {
    const int first = 1 + (i * 7 + 3) % deletes;
    const int second = 1 + (i * 11 + 5) % deletes;
    switch (i % 3) {
      case 0:
        twice.push_back({{"DELE", first, W::Before, 0}, {"DELE", second, W::Before, 0}});
        break;
      case 1:
        twice.push_back({{"DELE", first, W::Answered, 0}, {"QUIT", 1, W::Answered, 0}});
        break;
      default:
        twice.push_back({{"QUIT", 1, W::Before, 0}, {"DELE", second, W::Delayed, 500}});
        break;
    }
  }
  std::vector<TChain> plan;
  for (size_t round = 0; static_cast<int>(plan.size()) < runs; ++round)
    for (const auto& list : lists)
      if (round < list.size() && static_cast<int>(plan.size()) < runs) plan.push_back(list[round]);
  return plan;
}

struct TSummary {
  int runs = 0, failedRuns = 0, killed = 0, notReached = 0;
  std::map<std::string, int> kills;  // by command kind and moment
  TFindings afterKill, afterCheck;
  int checkErrors = 0;
  std::vector<std::string> failed;

  static void Add(TFindings& total, const TFindings& findings) {
    total.lost += findings.lost;
    total.duplicates += findings.duplicates;
    total.damaged += findings.damaged;
    total.knownDamage += findings.knownDamage;
    total.leftovers += findings.leftovers;
    total.wronglyKilled += findings.wronglyKilled;
    total.notKilled += findings.notKilled;
  }
};

class TBench {
 public:
  explicit TBench(const TOptions& options) : options_(options), relay_(dovecot_.Port()) {
    for (int n = 0; n <= options.messages; ++n)
      originals_.push_back(Generate(n, options.messages + 1));
    // Message 0 is none: numbers start at 1 as in the subjects.
    originals_[0] = TOriginal();
    template_ = work_ / "template/";
    Tarnwell(template_, {"filters", "add", "subject", "--condition", "contains", "--pattern",
                         "viagra", "--action", "kill"});
    Tarnwell(template_, {"filters", "add", "text", "--condition", "contains", "--pattern",
                         "unsubscribe here", "--action", "kill"});
  }

  [[nodiscard]] const std::vector<TOriginal>& Originals() const { return originals_; }

  // A fresh mailbox and program folder, the kills of `chain` one check each, then a check that
  // runs to its end; prints what it found and adds it to `summary`.
  std::pair<TProgramRun, TState> RunOne(const std::string& name, const TChain& chain,
                                        TSummary& summary) {
    user_ = name;
    logins_ = 0;
    dovecot_.AddUser(user_, "pw");
    for (size_t n = 1; n < originals_.size(); ++n) dovecot_.Deliver(user_, originals_[n].text);
    home_ = (options_.keep.empty() ? work_.Path() : options_.keep) + name + "/";
    fs::remove_all(home_);
    fs::copy(template_, home_, fs::copy_options::recursive);
    Tarnwell(home_,
             {"accounts",
              "add",
              "pop3",
              "--description",
              "Crash",
              "--name",
              "Me",
              "--email",
              "me@example.com",
              "--pop3",
              "127.0.0.1:" + std::to_string(relay_.Port()),
              "--user",
              user_,
              "--smtp",
              "127.0.0.1",
              "--pop3-security",
              "none",
              "--smtp-security",
              "none",
              "--password-stdin"},
             "pw\n");

    bool failed = false;
    std::string chainText;
    for (const TKillPoint& point : chain)
      chainText += (chainText.empty() ? "" : ",") + point.Text();
    std::printf("%s %s\n", name.c_str(), chain.empty() ? "(no kill)" : chainText.c_str());
    for (const TKillPoint& point : chain) {
      const auto [run, state] = Check(&point);
      const TFindings findings = Judge(state, originals_, false, known_);
      std::printf("  %s: %s (%s); %s\n", point.Text().c_str(),
                  run.killed ? "killed" : "not reached, the check ended",
                  run.CommandsText().c_str(), Counts(state).c_str());
      if (run.killed) {
        ++summary.killed;
        ++summary.kills[point.Kind()];
      } else {
        ++summary.notReached;
      }
      for (const std::string& line : findings.lines) std::printf("    %s\n", line.c_str());
      TSummary::Add(summary.afterKill, findings);
      failed |= findings.Failed(false);
    }
    const auto [run, state] = Check(nullptr);
    const TFindings findings = Judge(state, originals_, true, known_);
    std::printf("  check to the end: status %d (%s); %s\n", run.status, run.CommandsText().c_str(),
                Counts(state).c_str());
    for (const std::string& line : findings.lines) std::printf("    %s\n", line.c_str());
    if (run.status != 0) {
      ++summary.checkErrors;
      std::printf("    the check failed:\n%s", test::ReadFileText(home_ + "out").c_str());
    }
    TSummary::Add(summary.afterCheck, findings);
    failed |= findings.Failed(true) || run.status != 0;
    std::printf("  %s\n", failed ? "FAILED" : "ok");
    ++summary.runs;
    if (failed) {
      ++summary.failedRuns;
      summary.failed.push_back(chain.empty() ? name : chainText);
    }
    if (options_.keep.empty()) fs::remove_all(home_);
    std::fflush(stdout);
    return {run, state};
  }

  // Takes the damage a check without a kill did as known, to be counted apart.
  void KnowDamage(const TState& state) {
    for (const TDamage& damage : state.damage) known_.insert(damage.fault);
  }

 private:
  // A check killed at `kill` or run to its end, and what it left once the server has ended its
  // session.
  std::pair<TProgramRun, TState> Check(const TKillPoint* kill) {
    test::TChildProcess program({options_.tarnwell, "--home", home_, "/ONCE"}, home_ + "out");
    const TProgramRun run = relay_.Run(program, kill);
    logins_ += run.logins;
    dovecot_.WaitForLogouts(user_, logins_);
    return {run, Inspect(dovecot_, user_, home_, originals_)};
  }

  void Tarnwell(const std::string& home, std::vector<std::string> args,
                const std::string& input = "") {
    args.insert(args.begin(), {options_.tarnwell, "--home", home});
    if (test::RunProgram(args, input) != 0)
      throw std::runtime_error("tarnwell " + args[3] + " " + args[4] + " failed");
  }

  TOptions options_;
  test::TTempDir work_;
  test::TDovecot dovecot_;
  TRelay relay_;
  std::string template_;
  std::vector<TOriginal> originals_;
  std::string user_;  // the run's mailbox
  std::string home_;  // the run's program folder
  int logins_ = 0;    // the run's sessions so far
  std::set<std::string> known_;
};

void PrintSummary(const TSummary& summary, double seconds) {
  std::printf("\nsummary: %d runs in %.0f s, %d failed; %d kills", summary.runs, seconds,
              summary.failedRuns, summary.killed);
  for (const auto& [kind, count] : summary.kills) std::printf(", %s %d", kind.c_str(), count);
  std::printf("; %d kill points not reached\n", summary.notReached);
  for (const auto& [label, findings] :
       {std::pair{"after a kill", &summary.afterKill},
        std::pair{"after the check to the end", &summary.afterCheck}})
    std::printf(
        "%s: lost %d, duplicate copies %d, damaged copies %d (besides %d as without a kill), "
        "leftover files %d, wrongly killed %d, spam not killed %d\n",
        label, findings->lost, findings->duplicates, findings->damaged, findings->knownDamage,
        findings->leftovers, findings->wronglyKilled, findings->notKilled);
  std::printf("checks to the end that failed: %d\n", summary.checkErrors);
  for (const std::string& chain : summary.failed) std::printf("failed: --run %s\n", chain.c_str());
}

}  // namespace

int main(int argc, char** argv) {
  try {
    const TOptions options = ParseOptions(argc, argv);
    if (!options.keep.empty()) fs::create_directories(options.keep);
    TBench bench(options);
    int spam = 0;
    int64_t bytes = 0;
    for (const TOriginal& original : bench.Originals()) {
      spam += original.spam;
      bytes += original.size;
    }
    std::printf("%d messages (%.1f MB), %d of them spam; %s\n", options.messages,
                static_cast<double>(bytes) / 1e6, spam, options.tarnwell.c_str());
    const auto start = Clock::now();
    TSummary calibration;
    const auto [counted, state] = bench.RunOne("run000", {}, calibration);
    const TFindings& first = calibration.afterCheck;
    if (first.lost + first.duplicates + first.wronglyKilled + first.notKilled + first.leftovers +
            calibration.checkErrors >
        0) {
      std::printf("a check without a kill already fails; the runs would find nothing more\n");
      return 1;
    }
    // The runs still fail on damage of their own.
    bench.KnowDamage(state);
    const std::vector<TChain> plan =
        options.chains.empty() ? Plan(options.runs, counted) : options.chains;
    TSummary summary;
    for (size_t i = 0; i < plan.size(); ++i) {
      char name[32];
      std::snprintf(name, sizeof name, "run%03zu", i + 1);
      bench.RunOne(name, plan[i], summary);
    }
    PrintSummary(summary, std::chrono::duration<double>(Clock::now() - start).count());
    if (first.damaged > 0)
      std::printf("a check without a kill damaged %d copies (run000 above)\n", first.damaged);
    return summary.failedRuns + calibration.failedRuns > 0 ? 1 : 0;
  } catch (const std::exception& error) {
    std::fprintf(stderr, "pop3_crash: %s\n", error.what());
    return 2;
  }
}
