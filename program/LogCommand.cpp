#include <sys/stat.h>

#include <chrono>
#include <cstdio>
#include <thread>

#include "platform/Files.h"
#include "program/CommandLine.h"
#include "program/CommandSupport.h"
#include "shell/ProgramFolders.h"
#include "shell/Settings.h"

namespace tarnwell {

namespace {

const char* const kUsage =
    "Usage: tarnwell [--home DIR] log [-f | --follow]\n"
    "Prints the program log, Tarnwell.log. Tarnwell writes it while the setting Logging is 1\n"
    "(tarnwell settings set Logging 1) and begins it anew at each start.\n"
    "  -f, --follow  then keeps printing the lines Tarnwell adds, also after it starts anew,\n"
    "                until ended with Ctrl+C\n";

constexpr auto kPollInterval = std::chrono::milliseconds(200);
// What is remembered of the text printed last, to find its place again in a log rewritten
// whole (when it drops its oldest lines at its cap).
constexpr size_t kTailSize = 4096;

// Prints log text with its lines ending in a line feed alone.
void Print(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i)
    if (!(text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n')) out += text[i];
  std::fwrite(out.data(), 1, out.size(), stdout);
  std::fflush(stdout);
}

// Follows the log as Tarnwell writes it: lines appended, the file rewritten without its oldest
// lines, or deleted and begun anew.
class TLogFollower {
 public:
  explicit TLogFollower(std::string path) : path_(std::move(path)) {}

  // Prints the whole lines added since the last call.
  void Poll() {
    struct stat info {};
    if (::stat(path_.c_str(), &info) != 0) {
      printed_ = 0;
      tail_.clear();
      return;
    }
    if (info.st_ino == inode_ && info.st_size == size_ && info.st_mtim.tv_sec == modified_.tv_sec &&
        info.st_mtim.tv_nsec == modified_.tv_nsec)
      return;
    std::string text;
    if (!ReadWholeFile(path_, text)) return;
    inode_ = info.st_ino;
    size_ = info.st_size;
    modified_ = info.st_mtim;
    const size_t from = Resume(text);
    const size_t end = text.rfind('\n');
    if (end == std::string::npos || end + 1 <= from) {
      printed_ = from;
      return;
    }
    Print(std::string_view(text).substr(from, end + 1 - from));
    printed_ = end + 1;
    const size_t keep = std::min(printed_, kTailSize);
    tail_ = text.substr(printed_ - keep, keep);
  }

 private:
  // Where the text not yet printed starts in the log's `text`.
  [[nodiscard]] size_t Resume(const std::string& text) const {
    if (tail_.empty()) return 0;
    // Lines were appended.
    if (printed_ <= text.size() && text.compare(printed_ - tail_.size(), tail_.size(), tail_) == 0)
      return printed_;
    // Rewritten without its oldest lines, which may have been among those remembered: the
    // longest rest of them, from a line's start, that the log starts with.
    const size_t found = text.rfind(tail_);
    if (found != std::string::npos) return found + tail_.size();
    for (size_t end = tail_.find('\n'); end != std::string::npos && end + 1 < tail_.size();
         end = tail_.find('\n', end + 1)) {
      const size_t rest = tail_.size() - end - 1;
      if (text.compare(0, rest, tail_, end + 1, rest) == 0) return rest;
    }
    // Begun anew.
    return 0;
  }

  std::string path_;
  size_t printed_ = 0;
  std::string tail_;
  ino_t inode_ = 0;
  off_t size_ = -1;
  timespec modified_{};
};

int LogCommand(const TCommandLine& line, TArguments& arguments) {
  const bool follow = arguments.TakeFlag("-f") || arguments.TakeFlag("--follow");
  if (!arguments.Operands().empty()) throw TUsageError("log takes no operands.");
  bool logging = false;
  {
    TCommandSession session(line, TAccess::Read);
    logging = Settings().Logging;
  }
  if (!logging)
    std::fputs(
        "tarnwell: the program log is off; turn it on with \"tarnwell settings set Logging 1\".\n",
        stderr);
  const std::string path = TProgramFolders::ProgramFolder() + "Tarnwell.log";
  if (!follow) {
    std::string text;
    if (ReadWholeFile(path, text)) Print(text);
    return 0;
  }
  TLogFollower follower(path);
  for (;;) {
    follower.Poll();
    std::this_thread::sleep_for(kPollInterval);
  }
}

}  // namespace

int RunLog(const TCommandLine& line) { return RunGuarded(kUsage, LogCommand, line); }

}  // namespace tarnwell
