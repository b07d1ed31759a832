#pragma once

#include <cstdint>

namespace tarnwell {

// Date-time as stored in the settings and account records: days since 30 December 1899,
// with the time of day as the fraction, in local time.
using TDateTime = double;

// The program's one source of time. Production code reads the installed clock; tests install
// their own and move time forward instead of waiting for it.
class TClock {
 public:
  virtual ~TClock() = default;
  // Milliseconds of a steady clock with an arbitrary origin; never goes backwards.
  [[nodiscard]] virtual int64_t MonotonicMs() const = 0;
  // The current local date and time.
  [[nodiscard]] virtual TDateTime Now() const = 0;

  static TClock& Current();
  // Installs `clock` as the current clock (nullptr restores the system clock). The caller keeps
  // ownership and must outlive its use.
  static void Install(TClock* clock);
};

class TSystemClock : public TClock {
 public:
  [[nodiscard]] int64_t MonotonicMs() const override;
  [[nodiscard]] TDateTime Now() const override;
};

}  // namespace tarnwell
