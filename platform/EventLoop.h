#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <vector>

namespace tarnwell {

// The program's single-threaded event loop: timers, file-descriptor watches and posted calls.
// Long operations keep the program responsive by calling `Pump` while they wait, so handlers
// may run nested inside other handlers.
class TEventLoop {
 public:
  using THandler = std::function<void()>;
  // Bits of a watch's interest and of the events passed to its handler.
  enum : unsigned { evRead = 1, evWrite = 2, evError = 4 };
  using TFdHandler = std::function<void(unsigned events)>;

  virtual ~TEventLoop() = default;

  // Queues `handler` to run at the next `Pump`.
  virtual void Post(THandler handler) = 0;

  virtual int CreateTimer(THandler handler) = 0;
  // Enabling (re)starts the interval from now; changing the interval of an enabled timer too.
  virtual void SetTimer(int id, uint32_t intervalMs, bool enabled) = 0;
  virtual void DestroyTimer(int id) = 0;

  virtual int Watch(int fd, unsigned events, TFdHandler handler) = 0;
  virtual void SetWatchEvents(int id, unsigned events) = 0;
  virtual void Unwatch(int id) = 0;

  // Runs every pending event (posted calls, ready descriptors, due timers). When there was
  // none, waits up to `ms` milliseconds for a descriptor or a timer and runs what arrives.
  virtual void Pump(int ms) = 0;

  // Pumps until `Terminate`.
  void Run();
  void Terminate() { terminated_ = true; }
  [[nodiscard]] bool Terminated() const { return terminated_; }

  // The loop of the program (a poll(2) loop unless another was installed).
  static TEventLoop& Current();
  // Installs `loop` as the current loop; nullptr restores the default one.
  static void Install(TEventLoop* loop);

 private:
  bool terminated_ = false;
};

// The timers of a loop, on TClock's MonotonicMs. A handler does not run again while it runs
// (a handler that waits lets the others run) and may destroy its own timer.
class TLoopTimers {
 public:
  int Create(TEventLoop::THandler handler);
  void Set(int id, uint32_t intervalMs, bool enabled);
  void Destroy(int id);
  // Runs the handlers of the timers that are due; true when there were any.
  bool RunDue();
  // When the next timer that may run is due; INT64_MAX when none is.
  [[nodiscard]] int64_t NextDue() const;
  // Told whenever NextDue may have moved, before each handler too.
  std::function<void()> OnChange;

 private:
  struct TEntry {
    std::shared_ptr<TEventLoop::THandler> handler;
    uint32_t interval = 0;
    bool enabled = false;
    bool running = false;
    int64_t due = 0;
  };
  void Finish(int id);
  void Changed() const;

  std::map<int, TEntry> timers_;
  int nextId_ = 1;
};

// The descriptor watches of a loop, with poll(2)'s states as the loop's events.
class TLoopWatches {
 public:
  int Add(int fd, unsigned events, TEventLoop::TFdHandler handler);
  void SetEvents(int id, unsigned events);
  void Remove(int id);
  // Waits up to `timeoutMs` for a watched descriptor and runs the handlers of the ready ones in
  // watch order, leaving out those run in round `since` or later; they are marked with `round`.
  // True when a handler ran.
  bool Poll(int timeoutMs, uint64_t since = UINT64_MAX, uint64_t round = 0);
  // The events the watches of `fd` want together, or nothing when it has none.
  [[nodiscard]] std::optional<unsigned> Interest(int fd) const;
  // Told with the descriptor whenever a watch of it comes, goes or changes its events.
  std::function<void(int fd)> OnChange;

 private:
  struct TEntry {
    int fd = -1;
    unsigned events = 0;
    std::shared_ptr<TEventLoop::TFdHandler> handler;
    uint64_t round = 0;
  };
  void Changed(int fd) const;

  std::map<int, TEntry> watches_;
  int nextId_ = 1;
};

// A poll(2) implementation of the loop.
class TPollEventLoop : public TEventLoop {
 public:
  void Post(THandler handler) override;
  int CreateTimer(THandler handler) override;
  void SetTimer(int id, uint32_t intervalMs, bool enabled) override;
  void DestroyTimer(int id) override;
  int Watch(int fd, unsigned events, TFdHandler handler) override;
  void SetWatchEvents(int id, unsigned events) override;
  void Unwatch(int id) override;
  void Pump(int ms) override;

 private:
  bool RunPosted();

  std::vector<THandler> posted_;
  TLoopTimers timers_;
  TLoopWatches watches_;
};

// A timer of the current loop with the interval/enabled/handler shape of a window timer.
class TTimer {
 public:
  explicit TTimer(TEventLoop& loop = TEventLoop::Current());
  ~TTimer();
  TTimer(const TTimer&) = delete;
  TTimer& operator=(const TTimer&) = delete;

  void SetInterval(uint32_t ms);
  [[nodiscard]] uint32_t Interval() const { return interval_; }
  void SetEnabled(bool enabled);
  [[nodiscard]] bool Enabled() const { return enabled_; }
  void SetOnTimer(TEventLoop::THandler handler) { onTimer_ = std::move(handler); }

 private:
  TEventLoop& loop_;
  int id_;
  uint32_t interval_ = 1000;
  bool enabled_ = false;
  TEventLoop::THandler onTimer_;
};

// A descriptor watch that ends with its owner.
class TFdWatch {
 public:
  TFdWatch(int fd, unsigned events, TEventLoop::TFdHandler handler,
           TEventLoop& loop = TEventLoop::Current());
  ~TFdWatch();
  TFdWatch(const TFdWatch&) = delete;
  TFdWatch& operator=(const TFdWatch&) = delete;
  void SetEvents(unsigned events) { loop_.SetWatchEvents(id_, events); }

 private:
  TEventLoop& loop_;
  int id_;
};

// Lets pending events run, then waits up to `ms` milliseconds for more.
void Pump(int ms);
// Keeps events running until `done` holds, sleeping in the loop whenever none is pending, so a
// wait costs nothing while nothing happens: a descriptor, a timer (such as a client's timeout)
// or a posted call wakes it, and `done` is looked at after each round.
void WaitUntil(const std::function<bool()>& done);
// The same, giving up once the clock reaches `deadlineMs` (on TClock's MonotonicMs); true
// when `done` holds.
bool WaitUntil(const std::function<bool()>& done, int64_t deadlineMs);
// Keeps events running until `ms` milliseconds have passed on the clock.
void WaitMs(int ms);
// Runs the pending events without waiting.
inline void ProcessMessages() { Pump(0); }

}  // namespace tarnwell
