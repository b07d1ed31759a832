#pragma once

#include "platform/EventLoop.h"
#include "tests/support/TestSupport.h"

namespace tarnwell::test {

// An event loop whose waiting moves the test's clock instead of taking time: each round runs
// what is pending and then moves the clock on by the whole wait it was allowed, so the rounds
// show how often a wait would wake.
class TVirtualTimeLoop : public TPollEventLoop {
 public:
  explicit TVirtualTimeLoop(TManualClock& clock) : clock_(clock) {}
  void Pump(int ms) override {
    ++rounds_;
    TPollEventLoop::Pump(0);
    if (ms > 0) clock_.Advance(ms);
  }
  [[nodiscard]] int Rounds() const { return rounds_; }

 private:
  TManualClock& clock_;
  int rounds_ = 0;
};

}  // namespace tarnwell::test
