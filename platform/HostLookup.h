#pragma once

#include <sys/socket.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/EventLoop.h"

namespace tarnwell {

// Looks host names up without holding the event loop: the resolver's sockets are watches of the
// loop and its retries run on a timer of the loop, so a slow or silent name server leaves the
// program responsive.
class THostLookup {
 public:
  // `code` is 0 or the Windows Sockets code of the failure; `addresses` come in the order they
  // should be tried, their ports unset.
  using TDone = std::function<void(int code, std::vector<sockaddr_storage> addresses)>;

  explicit THostLookup(TEventLoop& loop = TEventLoop::Current());
  ~THostLookup();
  THostLookup(const THostLookup&) = delete;
  THostLookup& operator=(const THostLookup&) = delete;

  // Looks `name` up, ending the lookup still running. `done` runs once: before Start returns
  // when the answer is at hand (numeric addresses, the hosts file, an empty name or one that
  // cannot exist), otherwise from the loop. It may destroy the lookup.
  void Start(const std::string& name, TDone done);
  // Ends the running lookup at once; its `done` never runs.
  void Cancel();
  [[nodiscard]] bool Running() const { return run_ != nullptr; }

  // The name servers of the lookups started from now on, as "address:port" joined by commas;
  // empty for the system's own configuration.
  static void SetServers(std::string servers);

 private:
  struct TRun;
  void OnSocket(int fd, unsigned events);
  void OnTimer();
  // Hands a finished lookup to its owner, or waits on for the resolver's next timeout.
  void Settle();

  TEventLoop& loop_;
  // Runs the resolver's retries and timeouts.
  int timer_;
  std::unique_ptr<TRun> run_;
};

}  // namespace tarnwell
