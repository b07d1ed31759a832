#pragma once

#include <cstdint>
#include <memory>

#include "platform/Clock.h"

namespace tarnwell {

class TFilterList;

// What the start-up and the check timer ask of the filter-update manager.
class TFilterUpdates {
 public:
  virtual ~TFilterUpdates() = default;

  // Moves the downloaded update files into `filters`.
  virtual void ApplyDownloaded(TFilterList& filters) = 0;
  // The number of the newest update applied.
  [[nodiscard]] virtual int32_t HighestNumber() const = 0;
  // Files fetched by the last `Download`.
  [[nodiscard]] virtual int32_t Downloaded() const = 0;
  [[nodiscard]] virtual bool Cancelled() const = 0;
  // A download is running somewhere (the tray menu waits for it).
  [[nodiscard]] virtual bool IsBusy() const = 0;
  virtual void EnterBusy() = 0;
  virtual void LeaveBusy() = 0;
  // An automatic check is due, the last one having been at `lastCheck`.
  [[nodiscard]] virtual bool IsDue(TDateTime lastCheck) const = 0;
  // The system reports a connection to the Internet.
  [[nodiscard]] virtual bool Connected() const = 0;
  // Fetches the new update files; false when that failed.
  virtual bool Download() = 0;
};

// A program without filter updates: nothing is ever due or downloaded.
class TNoFilterUpdates : public TFilterUpdates {
 public:
  void ApplyDownloaded(TFilterList&) override {}
  [[nodiscard]] int32_t HighestNumber() const override { return 0; }
  [[nodiscard]] int32_t Downloaded() const override { return 0; }
  [[nodiscard]] bool Cancelled() const override { return false; }
  [[nodiscard]] bool IsBusy() const override { return busy_ > 0; }
  void EnterBusy() override { ++busy_; }
  void LeaveBusy() override {
    if (busy_ > 0) --busy_;
  }
  [[nodiscard]] bool IsDue(TDateTime) const override { return false; }
  [[nodiscard]] bool Connected() const override { return false; }
  bool Download() override { return false; }

 private:
  int busy_ = 0;
};

}  // namespace tarnwell
