#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>

#include "platform/EventLoop.h"

namespace tarnwell {

// The codes of "InvokeTarnwell", which a second instance passes to the running one.
enum TInvokeCode : int32_t {
  icOpen = 0,
  icSuspend = 1,
  icAbout = 2,
  icSettings = 4,
  icResume = 8,
};

// Suspend comes before resume, resume before about, about before settings; otherwise open.
[[nodiscard]] int32_t ChooseInvokeCode(bool suspend, bool resume, bool about, bool settings);

// The socket a running instance listens on: in $XDG_RUNTIME_DIR, named after the folder, or in
// the program folder when there is no runtime folder. Instances started from different
// environments (a desktop session, a cron job) choose different sockets; the lock file names
// the one in use.
[[nodiscard]] std::string InstanceSocketPath(const std::string& programFolder);
// The file inside the program folder whose lock decides which instance runs, so that the
// instances of one folder see each other whatever their environment.
[[nodiscard]] std::string InstanceLockPath(const std::string& programFolder);

// One running instance per program folder. The first locks the lock file for its life, listens
// on its socket and writes the socket's path into the file; a later one finds the file locked,
// connects to the socket it names, sends "InvokeTarnwell <code>" and ends. The kernel drops the
// lock of an instance that died, so the file and socket it left are taken over.
class TSingleInstance {
 public:
  using TInvokeHandler = std::function<void(int32_t code)>;

  TSingleInstance(std::string lockPath, std::string socketPath,
                  TEventLoop& loop = TEventLoop::Current());
  ~TSingleInstance();
  TSingleInstance(const TSingleInstance&) = delete;
  TSingleInstance& operator=(const TSingleInstance&) = delete;

  // True when no other instance runs: this one now passes each code it receives to
  // `handler`. False when another instance holds the lock.
  bool Acquire(TInvokeHandler handler);
  // Passes `code` to the running instance at the socket its lock file names; false when none
  // took it.
  bool Send(int32_t code);
  // Why the socket could not be listened on or named in the lock file, after an `Acquire`
  // that succeeded without it.
  [[nodiscard]] const std::string& ListenError() const { return listenError_; }
  [[nodiscard]] const std::string& SocketPath() const { return socketPath_; }

 private:
  struct TClient {
    int fd = -1;
    std::string data;
    std::unique_ptr<TFdWatch> watch;
  };

  bool Listen();
  void NameSocket();
  [[nodiscard]] std::string NamedSocket() const;
  void AcceptClients();
  void ReadClient(int id);
  void CloseClient(int id);

  std::string lockPath_;
  std::string socketPath_;
  TEventLoop& loop_;
  TInvokeHandler handler_;
  int lockFd_ = -1;
  int listenFd_ = -1;
  std::unique_ptr<TFdWatch> listenWatch_;
  std::map<int, TClient> clients_;
  int nextClient_ = 1;
  std::string listenError_;
};

}  // namespace tarnwell
