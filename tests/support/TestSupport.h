#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "platform/Clock.h"

namespace tarnwell {
class TLogFile;
}

namespace tarnwell::test {

// How long a test waits for what must come before it fails; far longer than any of it takes.
constexpr int kWaitMs = 20000;

// Turns the event loop until `done` holds; raises, naming `what`, when it does not within
// `timeoutMs` of real time.
void PumpUntil(const std::function<bool()>& done, const std::string& what, int timeoutMs = kWaitMs);

// A fresh folder under the system's temporary folder, removed with everything in it.
class TTempDir {
 public:
  TTempDir();
  ~TTempDir();
  TTempDir(const TTempDir&) = delete;
  TTempDir& operator=(const TTempDir&) = delete;
  // The folder's path, with a trailing "/".
  [[nodiscard]] const std::string& Path() const { return path_; }
  [[nodiscard]] std::string operator/(const std::string& name) const { return path_ + name; }

 private:
  std::string path_;
};

// A clock the test sets; installed while the object lives.
class TManualClock : public TClock {
 public:
  explicit TManualClock(TDateTime now = 45000.5);
  ~TManualClock() override;
  [[nodiscard]] int64_t MonotonicMs() const override { return ms_; }
  [[nodiscard]] TDateTime Now() const override { return now_; }
  void SetNow(TDateTime now) { now_ = now; }
  // Moves both clocks forward.
  void Advance(int64_t ms);

 private:
  int64_t ms_ = 1000000;
  TDateTime now_;
};

// An environment variable set to `value`, or removed when there is none, while the object
// lives; programs the test starts meanwhile inherit it.
class TEnvironmentVariable {
 public:
  TEnvironmentVariable(std::string name, const std::optional<std::string>& value);
  ~TEnvironmentVariable();
  TEnvironmentVariable(const TEnvironmentVariable&) = delete;
  TEnvironmentVariable& operator=(const TEnvironmentVariable&) = delete;

 private:
  std::string name_;
  std::optional<std::string> saved_;
};

// The message of the TError `action` raises, or "(no error)".
[[nodiscard]] std::string ErrorOf(const std::function<void()>& action);
// Some line of the log contains `text`.
[[nodiscard]] bool LogHas(const TLogFile& log, const std::string& text);

[[nodiscard]] std::string ReadFileText(const std::string& path);
void WriteFileText(const std::string& path, const std::string& text);
[[nodiscard]] bool FileExists(const std::string& path);

}  // namespace tarnwell::test
