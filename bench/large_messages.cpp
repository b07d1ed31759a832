// Measures the peak memory of checking one large message: for each shape below, a private
// Dovecot holds the message alone, and `tarnwell --home DIR /ONCE` checks it under
// `/usr/bin/time -v` in a fresh program folder (large messages not skipped, a subject and a text
// filter that kill). The peak resident size is set against an empty check and against the limit
// of three times the message plus that baseline. With --keep DIR the program folders are left
// in DIR, one per shape, with the files the check wrote in Live Mail (in "Live"), to compare
// what two builds wrote; --log turns the program log on.
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <functional>
#include <map>
#include <sstream>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "message/Base64.h"
#include "platform/Files.h"
#include "platform/Registry.h"
#include "shell/ProgramFolders.h"
#include "shell/Settings.h"
#include "tests/support/ChildProcess.h"
#include "tests/support/Dovecot.h"
#include "tests/support/TestSupport.h"

using namespace tarnwell;

namespace {

constexpr size_t kMB = 1000 * 1000;
// How long one check of a large message may take before the run gives up on it.
constexpr int kCheckMs = 10 * 60 * 1000;

// Pseudo-random numbers that are the same on every run.
class TRandom {
 public:
  explicit TRandom(uint32_t seed) : seed_(seed) {}
  uint32_t Next() {
    seed_ = seed_ * 1103515245u + 12345u;
    return (seed_ >> 16) & 0x7FFF;
  }

 private:
  uint32_t seed_;
};

std::string Headers(const std::string& subject, const std::string& contentType) {
  std::string text =
      "Return-Path: <news@mail.net>\r\n"
      "Received: from relay.mail.net (relay.mail.net [192.0.2.7])\r\n"
      "\tby mx.example.com with ESMTP id 4711\r\n"
      "\tfor <me@example.com>; Thu, 14 Mar 2024 08:00:00 +0000\r\n"
      "From: News <news@mail.net>\r\n"
      "To: me@example.com\r\n"
      "Subject: " +
      subject +
      "\r\n"
      "Date: Thu, 14 Mar 2024 08:00:00 +0000\r\n"
      "Message-Id: <large@mail.net>\r\n";
  if (!contentType.empty()) text += "MIME-Version: 1.0\r\nContent-Type: " + contentType + "\r\n";
  return text + "\r\n";
}

// Words of ordinary prose, with the quotes and dashes the cleaned text drops.
std::string Words(TRandom& random, size_t length) {
  static const char* const words[] = {
      "account", "meeting",   "report",  "tomorrow", "weather", "invoice", "project", "holiday",
      "review",  "garden",    "kitchen", "number",   "station", "picture", "letter",  "isn't",
      "e-mail",  "\"quote\"", "the",     "and",      "of",      "to",      "a",       "in"};
  std::string text;
  while (text.size() < length) {
    if (!text.empty()) text += ' ';
    text += words[random.Next() % (sizeof words / sizeof *words)];
  }
  return text;
}

// Lines of about 70 characters, each ended by CR LF, until the text holds `bytes`.
void AppendProse(std::string& text, size_t bytes, uint32_t seed, const char* before = "",
                 const char* after = "") {
  TRandom random(seed);
  const size_t end = text.size() + bytes;
  while (text.size() < end) {
    text += before;
    text += Words(random, 64);
    text += after;
    text += "\r\n";
  }
}

std::string PlainMessage(const std::string& subject) {
  std::string text = Headers(subject, "");
  AppendProse(text, 50 * kMB, 1);
  return text;
}

std::string LongLineMessage() {
  TRandom random(2);
  std::string text = Headers("One long line", "");
  text += Words(random, 10 * kMB) + "\r\n";
  return text;
}

std::string AttachmentMessage() {
  std::string text = Headers("The pictures", "multipart/mixed; boundary=\"part-boundary\"");
  text += "--part-boundary\r\nContent-Type: text/plain; charset=us-ascii\r\n\r\n";
  AppendProse(text, 2000, 3);
  text +=
      "--part-boundary\r\nContent-Type: application/octet-stream; name=\"pictures.bin\"\r\n"
      "Content-Transfer-Encoding: base64\r\n\r\n";
  TRandom random(4);
  std::string bytes(30 * kMB, '\0');
  for (char& byte : bytes) byte = static_cast<char>(random.Next());
  const std::string encoded = TBase64::Encode(bytes);
  for (size_t at = 0; at < encoded.size(); at += 76) text += encoded.substr(at, 76) + "\r\n";
  text += "--part-boundary--\r\n";
  return text;
}

// HTML paragraphs, with the phrase of the text filter near the end.
std::string HtmlMessage() {
  std::string text = Headers("Newsletter", "text/html; charset=us-ascii");
  text += "<html><head><title>News</title></head><body>\r\n";
  AppendProse(text, 30 * kMB, 5, "<p>", " <a href=\"http://news.example/\">more</a></p>");
  text += "<p>To leave the list, unsubscribe here.</p></body></html>\r\n";
  return text;
}

struct TShape {
  const char* name;
  const char* expected;  // where the message ends up
  std::function<std::string()> make;
};

struct TRun {
  long peakKb = 0;
  double seconds = 0;
  int status = 0;
  size_t killed = 0;
};

std::string Field(const std::string& report, const std::string& name) {
  std::istringstream lines(report);
  std::string line;
  while (std::getline(lines, line)) {
    const size_t at = line.find(name);
    if (at != std::string::npos) return line.substr(at + name.size());
  }
  throw std::runtime_error("/usr/bin/time did not report \"" + name + "\":\n" + report);
}

double WallSeconds(const std::string& text) {
  // [h:]mm:ss.ss
  double seconds = 0;
  std::istringstream parts(text);
  std::string part;
  while (std::getline(parts, part, ':'))
    seconds = seconds * 60 + std::strtod(part.c_str(), nullptr);
  return seconds;
}

size_t CountKilled(const std::string& home) {
  size_t count = 0;
  for (const auto& account : std::filesystem::directory_iterator(home + "Accounts")) {
    const auto path = account.path() / "Killed";
    if (std::filesystem::exists(path)) count += ListFiles(path.string(), ".hdr").size();
  }
  return count;
}

// Hard-links each file of the Live Mail folders into `home`/Live as it appears, until `done`.
void KeepLiveMail(const std::string& home, const std::atomic<bool>& done) {
  namespace fs = std::filesystem;
  const fs::path kept = fs::path(home) / "Live";
  fs::create_directories(kept);
  std::map<std::string, fs::file_time_type> linked;
  for (bool last = false; !last;) {
    last = done;
    std::error_code error;
    for (const auto& account : fs::directory_iterator(fs::path(home) / "Accounts", error)) {
      for (const auto& file : fs::directory_iterator(account.path() / "Inbox", error)) {
        const std::string name = file.path().filename().string();
        if (name.find(".tmp") != std::string::npos) continue;
        const auto time = fs::last_write_time(file.path(), error);
        if (error || linked[name] == time) continue;
        fs::remove(kept / name, error);
        fs::create_hard_link(file.path(), kept / name, error);
        if (!error) linked[name] = time;
      }
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
}

// Runs `tarnwell --home HOME` with the words of `command` (which hold no blanks) and then
// `extra`; raises when it fails.
void Run(const std::string& tarnwell, const std::string& home, const std::string& command,
         const std::vector<std::string>& extra = {}, const std::string& input = "") {
  std::vector<std::string> argv = {tarnwell, "--home", home};
  std::istringstream words(command);
  for (std::string word; words >> word;) argv.push_back(word);
  argv.insert(argv.end(), extra.begin(), extra.end());
  if (test::RunProgram(argv, input) != 0) throw std::runtime_error("failed: tarnwell " + command);
}

// A program folder with one account on the user's mailbox, the filters, and large messages
// retrieved; then one check under /usr/bin/time.
TRun Check(const std::string& tarnwell, const std::string& home, int port, const std::string& user,
           bool keep, bool log) {
  ForceDirectories(home);
  Run(tarnwell, home,
      "accounts add pop3 --description Large --name Me --email me@example.com --pop3 127.0.0.1:" +
          std::to_string(port) + " --pop3-security none --smtp 127.0.0.1:25 --smtp-security none" +
          " --password-stdin --user " + user,
      {}, "pw\n");
  Run(tarnwell, home, "filters add subject --pattern viagra --action kill");
  Run(tarnwell, home, "filters add text --condition contains --action kill --pattern",
      {"unsubscribe here"});
  {
    TProgramFolders::SetProgramFolder(home);
    TRegistryStore store(home + "Registry.db");
    TSettings settings(&store);
    try {
      settings.Load();
    } catch (const std::exception&) {
    }
    settings.Skip = false;
    settings.Logging = log;
    settings.SaveAll();
  }
  const std::string report = home + "time.txt";
  TRun run;
  std::atomic<bool> done = false;
  // Live Mail is emptied when the program ends.
  std::thread keeper;
  if (keep) keeper = std::thread(KeepLiveMail, home, std::cref(done));
  run.status = test::RunProgram(
      {"/usr/bin/time", "-v", "-o", report, tarnwell, "--home", home, "/ONCE"}, "", kCheckMs);
  done = true;
  if (keeper.joinable()) keeper.join();
  const std::string text = test::ReadFileText(report);
  run.peakKb = std::atol(Field(text, "Maximum resident set size (kbytes): ").c_str());
  run.seconds = WallSeconds(Field(text, "Elapsed (wall clock) time (h:mm:ss or m:ss): "));
  run.killed = CountKilled(home);
  return run;
}

}  // namespace

int main(int argc, char** argv) {
  std::string keep;
  bool log = false;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--keep") == 0 && i + 1 < argc) {
      keep = IncludeTrailingSlash(argv[++i]);
    } else if (std::strcmp(argv[i], "--log") == 0) {
      log = true;
    } else {
      std::fprintf(stderr, "usage: large_messages [--keep DIR] [--log]\n");
      return 2;
    }
  }
  if (::access("/usr/bin/time", X_OK) != 0) {
    std::fprintf(stderr, "large_messages needs /usr/bin/time (scripts/install-deps.sh)\n");
    return 2;
  }
  const std::string tarnwell = TARNWELL_BINARY;
  const std::vector<TShape> shapes = {
      {"50 MB of lines", "live", [] { return PlainMessage("Minutes of the meeting"); }},
      {"50 MB of lines, spam", "killed", [] { return PlainMessage("Cheap viagra"); }},
      {"one 10 MB line", "live", LongLineMessage},
      {"40 MB base64 attachment", "live", AttachmentMessage},
      {"30 MB HTML, spam", "killed", HtmlMessage},
  };

  test::TDovecot dovecot;
  test::TTempDir scratch;
  const std::string folders = keep.empty() ? scratch.Path() : keep;
  const auto homeOf = [&](size_t n) { return folders + "check" + std::to_string(n) + "/"; };

  dovecot.AddUser("empty", "pw");
  const TRun baseline = Check(tarnwell, homeOf(0), dovecot.Port(), "empty", !keep.empty(), log);
  const double baseMb = static_cast<double>(baseline.peakKb) * 1024 / 1e6;
  std::printf("baseline (empty check): %.1f MB peak resident, %.2f s\n", baseMb, baseline.seconds);
  std::printf("%-26s %10s %10s %10s %6s %8s %s\n", "shape", "message", "peak", "limit", "", "time",
              "result");
  bool allUnder = baseline.status == 0;
  for (size_t n = 0; n < shapes.size(); ++n) {
    const TShape& shape = shapes[n];
    const std::string user = "user" + std::to_string(n + 1);
    dovecot.AddUser(user, "pw");
    size_t bytes = 0;
    {
      const std::string message = shape.make();
      bytes = message.size();
      dovecot.Deliver(user, message);
    }
    const TRun run = Check(tarnwell, homeOf(n + 1), dovecot.Port(), user, !keep.empty(), log);
    const double messageMb = static_cast<double>(bytes) / 1e6;
    const double peakMb = static_cast<double>(run.peakKb) * 1024 / 1e6;
    const double limitMb = 3 * messageMb + baseMb;
    const char* placed = run.killed == 0 ? "live" : run.killed == 1 ? "killed" : "?";
    const bool ok =
        run.status == 0 && std::strcmp(placed, shape.expected) == 0 && peakMb <= limitMb;
    allUnder &= ok;
    std::printf("%-26s %7.1f MB %7.1f MB %7.1f MB %6s %6.2f s %s%s%s\n", shape.name, messageMb,
                peakMb, limitMb, peakMb <= limitMb ? "under" : "OVER", run.seconds, placed,
                std::strcmp(placed, shape.expected) == 0 ? "" : " (expected otherwise)",
                run.status == 0 ? "" : " - the check failed");
  }
  if (!keep.empty()) std::printf("program folders kept in %s\n", keep.c_str());
  return allUnder ? 0 : 1;
}
