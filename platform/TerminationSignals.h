#pragma once

#include <functional>
#include <memory>

#include "platform/EventLoop.h"

namespace tarnwell {

// Turns SIGTERM and SIGINT into a call of `handler` on the loop, through a pipe the signal
// handler writes to, so the program ends in its own time. After the first signal the default
// action is back: a second one ends the program at once.
class TTerminationSignals {
 public:
  explicit TTerminationSignals(std::function<void()> handler,
                               TEventLoop& loop = TEventLoop::Current());
  ~TTerminationSignals();
  TTerminationSignals(const TTerminationSignals&) = delete;
  TTerminationSignals& operator=(const TTerminationSignals&) = delete;

 private:
  void Received();

  std::function<void()> handler_;
  int readFd_ = -1;
  std::unique_ptr<TFdWatch> watch_;
};

}  // namespace tarnwell
