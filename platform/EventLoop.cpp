#include "platform/EventLoop.h"

#include <poll.h>

#include <algorithm>
#include <cerrno>
#include <limits>

#include "platform/Clock.h"

namespace tarnwell {

namespace {

TEventLoop* installedLoop = nullptr;

// The longest sleep of one round of WaitUntil: a condition that something other than an event
// made true is still noticed within it.
constexpr int64_t kLongestSleepMs = 1000;

}  // namespace

TEventLoop& TEventLoop::Current() {
  if (installedLoop) return *installedLoop;
  static TPollEventLoop defaultLoop;
  return defaultLoop;
}

void TEventLoop::Install(TEventLoop* loop) { installedLoop = loop; }

void TEventLoop::Run() {
  while (!terminated_) Pump(1000);
}

int TLoopTimers::Create(TEventLoop::THandler handler) {
  const int id = nextId_++;
  timers_[id].handler = std::make_shared<TEventLoop::THandler>(std::move(handler));
  return id;
}

void TLoopTimers::Set(int id, uint32_t intervalMs, bool enabled) {
  auto it = timers_.find(id);
  if (it == timers_.end()) return;
  it->second.interval = intervalMs;
  it->second.enabled = enabled;
  if (enabled) it->second.due = TClock::Current().MonotonicMs() + intervalMs;
  Changed();
}

void TLoopTimers::Destroy(int id) {
  timers_.erase(id);
  Changed();
}

void TLoopTimers::Changed() const {
  if (OnChange) OnChange();
}

bool TLoopTimers::RunDue() {
  const int64_t now = TClock::Current().MonotonicMs();
  std::vector<int> due;
  for (const auto& [id, timer] : timers_)
    if (timer.enabled && !timer.running && timer.due <= now) due.push_back(id);
  for (int id : due) {
    // A handler run earlier in this batch may have destroyed or disabled this timer.
    auto it = timers_.find(id);
    if (it == timers_.end() || !it->second.enabled || it->second.running) continue;
    it->second.due = now + it->second.interval;
    it->second.running = true;
    Changed();
    auto handler = it->second.handler;  // keeps the handler alive if the timer is destroyed
    try {
      (*handler)();
    } catch (...) {
      Finish(id);
      throw;
    }
    Finish(id);
  }
  return !due.empty();
}

void TLoopTimers::Finish(int id) {
  if (auto it = timers_.find(id); it != timers_.end()) it->second.running = false;
  Changed();
}

int64_t TLoopTimers::NextDue() const {
  int64_t next = std::numeric_limits<int64_t>::max();
  for (const auto& [id, timer] : timers_)
    if (timer.enabled && !timer.running) next = std::min(next, timer.due);
  return next;
}

int TLoopWatches::Add(int fd, unsigned events, TEventLoop::TFdHandler handler) {
  const int id = nextId_++;
  watches_[id] =
      TEntry{fd, events, std::make_shared<TEventLoop::TFdHandler>(std::move(handler)), 0};
  Changed(fd);
  return id;
}

void TLoopWatches::SetEvents(int id, unsigned events) {
  auto it = watches_.find(id);
  if (it == watches_.end() || it->second.events == events) return;
  it->second.events = events;
  Changed(it->second.fd);
}

void TLoopWatches::Remove(int id) {
  auto it = watches_.find(id);
  if (it == watches_.end()) return;
  const int fd = it->second.fd;
  watches_.erase(it);
  Changed(fd);
}

void TLoopWatches::Changed(int fd) const {
  if (OnChange) OnChange(fd);
}

std::optional<unsigned> TLoopWatches::Interest(int fd) const {
  std::optional<unsigned> interest;
  for (const auto& [id, watch] : watches_)
    if (watch.fd == fd) interest = interest.value_or(0) | watch.events;
  return interest;
}

bool TLoopWatches::Poll(int timeoutMs, uint64_t since, uint64_t round) {
  std::vector<pollfd> fds;
  std::vector<int> ids;
  fds.reserve(watches_.size());
  for (const auto& [id, watch] : watches_) {
    short interest = 0;
    if (watch.events & TEventLoop::evRead) interest |= POLLIN;
    if (watch.events & TEventLoop::evWrite) interest |= POLLOUT;
    if (interest == 0 || watch.round >= since) continue;
    fds.push_back(pollfd{watch.fd, interest, 0});
    ids.push_back(id);
  }
  if (fds.empty() && timeoutMs == 0) return false;
  const int n = ::poll(fds.data(), fds.size(), timeoutMs);
  if (n <= 0) return false;
  bool ran = false;
  for (size_t i = 0; i < fds.size(); ++i) {
    if (fds[i].revents == 0) continue;
    auto it = watches_.find(ids[i]);
    if (it == watches_.end()) continue;  // removed by an earlier handler of this round
    unsigned events = 0;
    if (fds[i].revents & (POLLIN | POLLHUP)) events |= TEventLoop::evRead;
    if (fds[i].revents & POLLOUT) events |= TEventLoop::evWrite;
    if (fds[i].revents & (POLLERR | POLLNVAL)) events |= TEventLoop::evError;
    events &= it->second.events | TEventLoop::evError;
    if (events == 0) continue;
    it->second.round = round;
    auto handler = it->second.handler;
    (*handler)(events);
    ran = true;
  }
  return ran;
}

void TPollEventLoop::Post(THandler handler) { posted_.push_back(std::move(handler)); }

int TPollEventLoop::CreateTimer(THandler handler) { return timers_.Create(std::move(handler)); }

void TPollEventLoop::SetTimer(int id, uint32_t intervalMs, bool enabled) {
  timers_.Set(id, intervalMs, enabled);
}

void TPollEventLoop::DestroyTimer(int id) { timers_.Destroy(id); }

int TPollEventLoop::Watch(int fd, unsigned events, TFdHandler handler) {
  return watches_.Add(fd, events, std::move(handler));
}

void TPollEventLoop::SetWatchEvents(int id, unsigned events) { watches_.SetEvents(id, events); }

void TPollEventLoop::Unwatch(int id) { watches_.Remove(id); }

bool TPollEventLoop::RunPosted() {
  if (posted_.empty()) return false;
  // Calls posted by these handlers wait for the next pump, so a handler that posts itself
  // cannot keep one pump busy forever.
  std::vector<THandler> batch;
  batch.swap(posted_);
  for (auto& handler : batch) handler();
  return true;
}

void TPollEventLoop::Pump(int ms) {
  bool ran = RunPosted();
  ran |= watches_.Poll(0);
  ran |= timers_.RunDue();
  if (ran || ms <= 0) return;
  const int64_t now = TClock::Current().MonotonicMs();
  const int64_t untilTimer = timers_.NextDue() - now;
  const int timeout = static_cast<int>(std::clamp<int64_t>(untilTimer, 0, ms));
  watches_.Poll(timeout);
  timers_.RunDue();
  RunPosted();
}

TTimer::TTimer(TEventLoop& loop) : loop_(loop) {
  id_ = loop_.CreateTimer([this] {
    if (onTimer_) onTimer_();
  });
}

TTimer::~TTimer() { loop_.DestroyTimer(id_); }

void TTimer::SetInterval(uint32_t ms) {
  interval_ = ms;
  loop_.SetTimer(id_, interval_, enabled_);
}

void TTimer::SetEnabled(bool enabled) {
  if (enabled == enabled_) return;
  enabled_ = enabled;
  loop_.SetTimer(id_, interval_, enabled_);
}

TFdWatch::TFdWatch(int fd, unsigned events, TEventLoop::TFdHandler handler, TEventLoop& loop)
    : loop_(loop), id_(loop_.Watch(fd, events, std::move(handler))) {}

TFdWatch::~TFdWatch() { loop_.Unwatch(id_); }

void Pump(int ms) { TEventLoop::Current().Pump(ms); }

void WaitUntil(const std::function<bool()>& done) {
  while (!done()) Pump(kLongestSleepMs);
}

bool WaitUntil(const std::function<bool()>& done, int64_t deadlineMs) {
  for (;;) {
    if (done()) return true;
    const int64_t left = deadlineMs - TClock::Current().MonotonicMs();
    if (left <= 0) return false;
    Pump(static_cast<int>(std::min(left, kLongestSleepMs)));
  }
}

void WaitMs(int ms) {
  WaitUntil([] { return false; }, TClock::Current().MonotonicMs() + ms);
}

}  // namespace tarnwell
