#pragma once

#include <QObject>
#include <QSocketNotifier>
#include <QTimer>
#include <cstdint>
#include <deque>
#include <exception>
#include <map>
#include <memory>

#include "platform/EventLoop.h"

namespace tarnwell {

// The program's loop inside Qt's: descriptors, timers and posted calls run whenever Qt's loop
// turns, so they go on under a modal dialog or menu, and `Pump` lets window events run while a
// check waits. The rules are those of TPollEventLoop: timers read TClock and a timer's handler
// does not nest inside itself; in each turn a ready descriptor is reported once, in watch order,
// with the same events; a handler's error leaves the `Pump` that ran it, or the next one when
// Qt's own loop (a dialog's) ran it. Posted calls made before a `Pump` run in it, those made
// during it wait for the next one or for Qt's loop. Needs the thread's QApplication.
class TQtEventLoop : public TEventLoop {
 public:
  TQtEventLoop();
  TQtEventLoop(const TQtEventLoop&) = delete;
  TQtEventLoop& operator=(const TQtEventLoop&) = delete;

  void Post(THandler handler) override;
  int CreateTimer(THandler handler) override;
  void SetTimer(int id, uint32_t intervalMs, bool enabled) override;
  void DestroyTimer(int id) override;
  int Watch(int fd, unsigned events, TFdHandler handler) override;
  void SetWatchEvents(int id, unsigned events) override;
  void Unwatch(int id) override;
  void Pump(int ms) override;

 private:
  struct TPosted {
    uint64_t number;
    THandler handler;
  };
  // Qt allows one notifier per descriptor and kind, so the watches of a descriptor share them.
  struct TNotifiers {
    std::unique_ptr<QSocketNotifier> read;
    std::unique_ptr<QSocketNotifier> write;
    bool closed = false;
  };

  // Runs the calls posted before number `before`.
  bool RunPosted(uint64_t before);
  void ArmTimerWake();
  void UpdateNotifiers(int fd);
  void EnableNotifier(std::unique_ptr<QSocketNotifier>& notifier, int fd,
                      QSocketNotifier::Type type, bool on);
  void NewTurn();
  // Qt's loop is given a closed descriptor never: it would switch the notifier off unseen.
  void NoteClosedDescriptors();
  // Runs `action` for Qt's loop, keeping its error for the next Pump.
  template <class TAction>
  void FromQt(TAction action);
  void RethrowError();

  std::deque<TPosted> posted_;
  uint64_t nextPosted_ = 0;
  TLoopTimers timers_;
  TLoopWatches watches_;
  std::map<int, TNotifiers> notifiers_;
  // Each pass of Qt's loop and each Pump is a turn of its own.
  uint64_t turn_ = 1;
  uint64_t handlersRun_ = 0;
  // Pumps under way, the outermost counting 1.
  int pumpDepth_ = 0;
  int64_t wakeDue_ = 0;
  std::exception_ptr error_;
  QTimer timerWake_;
  QTimer postedWake_;
  QTimer closedWake_;
  // Declared last so that its connections end before anything they use.
  QObject context_;
};

}  // namespace tarnwell
