#include "shell/Synchronization.h"

#include "platform/EventLoop.h"

namespace tarnwell {

void TSynchronization::Enter(int kind) {
  if (count_ == 0) kind_ = kind;
  ++count_;
}

void TSynchronization::Leave() {
  if (count_ > 0) --count_;
  if (count_ == 0) kind_ = 0;
}

void TSynchronization::Reset() {
  count_ = 0;
  Leave();
}

void TSynchronization::WaitWhileBusy(int kind) {
  if (kind_ == kind) return;
  TEventLoop& loop = TEventLoop::Current();
  // The holder can only let go from a handler that the loop runs, so each pump that returns is
  // a moment to look again; an idle pump waits for the next event rather than spinning.
  while (!IsFree() && !loop.Terminated()) loop.Pump(100);
}

void TSynchronization::WaitAndEnter(int kind) {
  WaitWhileBusy(kind);
  if (!TEventLoop::Current().Terminated()) Enter(kind);
}

}  // namespace tarnwell
