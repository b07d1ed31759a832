#include "tests/support/TestSupport.h"

#include <sys/stat.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>

#include "platform/DateTime.h"
#include "platform/Error.h"
#include "platform/EventLoop.h"
#include "shell/LogFile.h"

namespace tarnwell::test {

namespace {
// The programs the tests start never open windows on the developer's display; the desktop
// tests make a display of their own.
[[maybe_unused]] const bool kWithoutDisplay = [] {
  ::unsetenv("DISPLAY");
  ::unsetenv("WAYLAND_DISPLAY");
  return true;
}();
}  // namespace

void PumpUntil(const std::function<bool()>& done, const std::string& what, int timeoutMs) {
  // Real time: the test's clock may stand still.
  const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  while (!done()) {
    if (std::chrono::steady_clock::now() > end)
      throw std::runtime_error("waited " + std::to_string(timeoutMs) + " ms in vain for " + what);
    Pump(1);
  }
}

TTempDir::TTempDir() {
  const char* base = std::getenv("TMPDIR");
  std::string pattern = std::string(base && *base ? base : "/tmp") + "/tarnwell-test-XXXXXX";
  if (!mkdtemp(pattern.data())) throw std::runtime_error("mkdtemp failed");
  path_ = pattern + "/";
}

TTempDir::~TTempDir() {
  std::error_code ec;
  std::filesystem::remove_all(path_, ec);
}

TManualClock::TManualClock(TDateTime now) : now_(now) { TClock::Install(this); }

TManualClock::~TManualClock() { TClock::Install(nullptr); }

void TManualClock::Advance(int64_t ms) {
  ms_ += ms;
  now_ += static_cast<double>(ms) / kMsPerDay;
}

TEnvironmentVariable::TEnvironmentVariable(std::string name,
                                           const std::optional<std::string>& value)
    : name_(std::move(name)) {
  if (const char* saved = std::getenv(name_.c_str())) saved_ = saved;
  if (value)
    ::setenv(name_.c_str(), value->c_str(), 1);
  else
    ::unsetenv(name_.c_str());
}

TEnvironmentVariable::~TEnvironmentVariable() {
  if (saved_)
    ::setenv(name_.c_str(), saved_->c_str(), 1);
  else
    ::unsetenv(name_.c_str());
}

std::string ErrorOf(const std::function<void()>& action) {
  try {
    action();
  } catch (const TError& error) {
    return error.what();
  }
  return "(no error)";
}

bool LogHas(const TLogFile& log, const std::string& text) {
  return std::any_of(log.Lines().begin(), log.Lines().end(),
                     [&](const std::string& line) { return line.find(text) != std::string::npos; });
}

std::string ReadFileText(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw std::runtime_error("cannot read " + path);
  std::ostringstream out;
  out << in.rdbuf();
  return out.str();
}

void WriteFileText(const std::string& path, const std::string& text) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  if (!out) throw std::runtime_error("cannot write " + path);
  out << text;
}

bool FileExists(const std::string& path) {
  struct stat st;
  return ::stat(path.c_str(), &st) == 0;
}

}  // namespace tarnwell::test
