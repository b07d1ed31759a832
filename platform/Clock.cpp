#include "platform/Clock.h"

#include <chrono>

#include "platform/DateTime.h"

namespace tarnwell {

namespace {
TSystemClock systemClock;
TClock* currentClock = &systemClock;
}  // namespace

TClock& TClock::Current() { return *currentClock; }

void TClock::Install(TClock* clock) { currentClock = clock ? clock : &systemClock; }

int64_t TSystemClock::MonotonicMs() const {
  using namespace std::chrono;
  return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

TDateTime TSystemClock::Now() const {
  using namespace std::chrono;
  const auto now = system_clock::now();
  const auto seconds = system_clock::to_time_t(now);
  const auto ms = duration_cast<milliseconds>(now.time_since_epoch()).count() % 1000;
  return UnixToLocalDateTime(seconds) + static_cast<double>(ms) / kMsPerDay;
}

}  // namespace tarnwell
