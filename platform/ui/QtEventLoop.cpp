#include "platform/ui/QtEventLoop.h"

#include <poll.h>

#include <QAbstractEventDispatcher>
#include <QCoreApplication>
#include <algorithm>
#include <limits>
#include <utility>
#include <vector>

#include "platform/Clock.h"

namespace tarnwell {

TQtEventLoop::TQtEventLoop() {
  for (QTimer* timer : {&timerWake_, &postedWake_, &closedWake_}) timer->setSingleShot(true);
  timerWake_.setTimerType(Qt::PreciseTimer);
  QObject::connect(&timerWake_, &QTimer::timeout, &context_,
                   [this] { FromQt([this] { handlersRun_ += timers_.RunDue(); }); });
  QObject::connect(&postedWake_, &QTimer::timeout, &context_,
                   [this] { FromQt([this] { RunPosted(nextPosted_); }); });
  QObject::connect(&closedWake_, &QTimer::timeout, &context_,
                   [this] { FromQt([this] { handlersRun_ += watches_.Poll(0, turn_, turn_); }); });
  timers_.OnChange = [this] { ArmTimerWake(); };
  watches_.OnChange = [this](int fd) { UpdateNotifiers(fd); };
  // Every pass of Qt's loop, nested ones too, starts with one of these two.
  auto* dispatcher = QAbstractEventDispatcher::instance();
  QObject::connect(dispatcher, &QAbstractEventDispatcher::aboutToBlock, &context_,
                   [this] { NewTurn(); });
  QObject::connect(dispatcher, &QAbstractEventDispatcher::awake, &context_, [this] { NewTurn(); });
}

template <class TAction>
void TQtEventLoop::FromQt(TAction action) {
  // An exception must not cross Qt's loop; the Pump that Qt's loop returns to raises it.
  try {
    action();
  } catch (...) {
    if (!error_) error_ = std::current_exception();
  }
}

void TQtEventLoop::RethrowError() {
  if (error_) std::rethrow_exception(std::exchange(error_, nullptr));
}

void TQtEventLoop::Post(THandler handler) {
  posted_.push_back(TPosted{nextPosted_++, std::move(handler)});
  if (!postedWake_.isActive()) postedWake_.start(0);
}

bool TQtEventLoop::RunPosted(uint64_t before) {
  bool ran = false;
  while (!posted_.empty() && posted_.front().number < before) {
    THandler handler = std::move(posted_.front().handler);
    posted_.pop_front();
    ++handlersRun_;
    ran = true;
    handler();
  }
  return ran;
}

int TQtEventLoop::CreateTimer(THandler handler) { return timers_.Create(std::move(handler)); }

void TQtEventLoop::SetTimer(int id, uint32_t intervalMs, bool enabled) {
  timers_.Set(id, intervalMs, enabled);
}

void TQtEventLoop::DestroyTimer(int id) { timers_.Destroy(id); }

// One Qt timer stands for the one of ours due next. The timers tell of each change, also
// before a handler runs: Qt does not fire a timer inside its own handler, and that handler
// may wait for the others.
void TQtEventLoop::ArmTimerWake() {
  const int64_t next = timers_.NextDue();
  if (next == std::numeric_limits<int64_t>::max()) {
    timerWake_.stop();
    return;
  }
  if (timerWake_.isActive() && wakeDue_ == next) return;
  wakeDue_ = next;
  const int64_t wait = next - TClock::Current().MonotonicMs();
  timerWake_.start(static_cast<int>(std::clamp<int64_t>(wait, 0, std::numeric_limits<int>::max())));
}

int TQtEventLoop::Watch(int fd, unsigned events, TFdHandler handler) {
  return watches_.Add(fd, events, std::move(handler));
}

void TQtEventLoop::SetWatchEvents(int id, unsigned events) { watches_.SetEvents(id, events); }

void TQtEventLoop::Unwatch(int id) { watches_.Remove(id); }

void TQtEventLoop::UpdateNotifiers(int fd) {
  const std::optional<unsigned> interest = watches_.Interest(fd);
  if (!interest) {
    // Qt lets a notifier be deleted by the handler of its own activation.
    notifiers_.erase(fd);
    return;
  }
  TNotifiers& notifiers = notifiers_[fd];
  EnableNotifier(notifiers.read, fd, QSocketNotifier::Read,
                 (*interest & evRead) != 0 && !notifiers.closed);
  EnableNotifier(notifiers.write, fd, QSocketNotifier::Write,
                 (*interest & evWrite) != 0 && !notifiers.closed);
}

void TQtEventLoop::EnableNotifier(std::unique_ptr<QSocketNotifier>& notifier, int fd,
                                  QSocketNotifier::Type type, bool on) {
  if (!notifier) {
    if (!on) return;
    notifier = std::make_unique<QSocketNotifier>(fd, type);
    // Whichever descriptor woke Qt's loop, the ready ones of the turn run in watch order.
    QObject::connect(notifier.get(), &QSocketNotifier::activated, &context_, [this] {
      FromQt([this] { handlersRun_ += watches_.Poll(0, turn_, turn_); });
    });
    return;
  }
  if (notifier->isEnabled() != on) notifier->setEnabled(on);
}

void TQtEventLoop::NewTurn() {
  ++turn_;
  NoteClosedDescriptors();
}

void TQtEventLoop::NoteClosedDescriptors() {
  if (notifiers_.empty()) return;
  std::vector<pollfd> fds;
  fds.reserve(notifiers_.size());
  for (const auto& [fd, notifiers] : notifiers_) fds.push_back(pollfd{fd, 0, 0});
  if (::poll(fds.data(), fds.size(), 0) < 0) return;
  bool anyClosed = false;
  for (const pollfd& entry : fds) {
    const bool closed = (entry.revents & POLLNVAL) != 0;
    anyClosed |= closed;
    auto it = notifiers_.find(entry.fd);
    if (it->second.closed == closed) continue;
    it->second.closed = closed;
    UpdateNotifiers(entry.fd);
  }
  // The watches hear of it as from the poll loop: as an error in each turn.
  if (anyClosed && !closedWake_.isActive()) closedWake_.start(0);
}

void TQtEventLoop::Pump(int ms) {
  struct TDepth {
    int& depth;
    ~TDepth() { --depth; }
  } depth{++pumpDepth_};
  // Objects that code outside any Qt event let go of with deleteLater() are freed by no Qt loop
  // of ours; the outermost pump frees them, as no handler that might still use them runs there.
  if (pumpDepth_ == 1) QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  const uint64_t handlersBefore = handlersRun_;
  const uint64_t postedBefore = nextPosted_;
  const uint64_t turn = ++turn_;
  QCoreApplication::processEvents(QEventLoop::AllEvents);
  RethrowError();
  // Qt's loop may have left some of ours for later; what was pending runs in this Pump anyway.
  RunPosted(postedBefore);
  handlersRun_ += watches_.Poll(0, turn, turn_);
  handlersRun_ += timers_.RunDue();
  if (handlersRun_ != handlersBefore || ms <= 0) return;
  // Qt's loop sleeps until something arrives: a descriptor, our next timer, a posted call, a
  // window event, or this wake-up.
  QTimer wake;
  wake.setSingleShot(true);
  wake.setTimerType(Qt::PreciseTimer);
  wake.start(ms);
  QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
  RethrowError();
  RunPosted(nextPosted_);
}

}  // namespace tarnwell
