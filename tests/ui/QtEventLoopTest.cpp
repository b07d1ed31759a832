#include <gtest/gtest.h>

#include <QAbstractEventDispatcher>
#include <QCoreApplication>
#include <QDialog>
#include <QEvent>
#include <QTimer>
#include <string>
#include <vector>

#include "platform/Error.h"
#include "platform/ui/QtEventLoop.h"
#include "tests/platform/EventLoopContract.h"
#include "tests/support/ScriptedServer.h"
#include "tests/support/TestSupport.h"
#include "transport/POP.h"

namespace tarnwell {
namespace {

INSTANTIATE_TYPED_TEST_SUITE_P(Qt, EventLoopContract, TQtEventLoop);

// A modal dialog that gives up by itself when the test's wait is over, so a loop that stops
// running ours shows as a rejected dialog instead of a hang.
class TModalDialog : public QDialog {
 public:
  TModalDialog() { QTimer::singleShot(test::kWaitMs, this, &QDialog::reject); }
};

using QtEventLoopTest = EventLoopContract<TQtEventLoop>;

// Only Qt's loop turns under the dialog: no Pump helps.
TEST_F(QtEventLoopTest, DescriptorsTimersAndPostedCallsRunUnderAModalDialog) {
  TModalDialog dialog;
  test::TFdPair pipe;
  pipe.Put();
  bool read = false, ticked = false, posted = false;
  TFdWatch watch(pipe.fd[0], TEventLoop::evRead, [&](unsigned) {
    pipe.Take();
    read = dialog.isVisible();
  });
  TTimer ticker, closer;
  ticker.SetInterval(1);
  ticker.SetOnTimer([&] { ticked = ticked || dialog.isVisible(); });
  ticker.SetEnabled(true);
  closer.SetInterval(1);
  closer.SetOnTimer([&] {
    if (read && ticked && posted) dialog.accept();
  });
  closer.SetEnabled(true);
  QTimer::singleShot(0, &dialog, [&] { loop_.Post([&] { posted = dialog.isVisible(); }); });
  EXPECT_EQ(dialog.exec(), QDialog::Accepted);
  EXPECT_TRUE(read);
  EXPECT_TRUE(ticked);
  EXPECT_TRUE(posted);
}

// A check that starts while a dialog is open waits inside the dialog's loop.
TEST_F(QtEventLoopTest, AHandlerWaitsInsideAModalDialog) {
  TModalDialog dialog;
  test::TFdPair sockets(true);
  bool read = false, waited = false;
  TFdWatch watch(sockets.fd[0], TEventLoop::evRead, [&](unsigned) {
    sockets.Take();
    read = true;
  });
  TTimer writer, check;
  writer.SetInterval(1);
  writer.SetOnTimer([&] {
    writer.SetEnabled(false);
    sockets.Put();
  });
  check.SetInterval(1);
  check.SetOnTimer([&] {
    check.SetEnabled(false);
    writer.SetEnabled(true);
    waited = WaitUntil([&] { return read; }, TClock::Current().MonotonicMs() + test::kWaitMs);
    dialog.accept();
  });
  check.SetEnabled(true);
  EXPECT_EQ(dialog.exec(), QDialog::Accepted);
  EXPECT_TRUE(waited);
}

// A dialog opened by a handler that a Pump ran: the loop goes on under it, the opener too.
TEST_F(QtEventLoopTest, ADialogOpenedByAHandlerLeavesTheLoopRunning) {
  enum class TOpener { Posted, Timer, Descriptor };
  for (const TOpener opener : {TOpener::Posted, TOpener::Timer, TOpener::Descriptor}) {
    SCOPED_TRACE(static_cast<int>(opener));
    TModalDialog dialog;
    test::TFdPair opening, inside(true);
    int result = -1;
    const auto open = [&] { result = dialog.exec(); };
    // The ticker is not due yet when the opener runs: only a timer armed again while the
    // opener's handler runs brings it.
    TTimer ticker, openTimer;
    bool ticked = false;
    ticker.SetInterval(50);
    ticker.SetOnTimer([&] {
      if (ticked || !dialog.isVisible()) return;
      ticked = true;
      inside.Put();
    });
    TFdWatch watch(inside.fd[0], TEventLoop::evRead, [&](unsigned) {
      inside.Take();
      if (dialog.isVisible()) dialog.accept();
    });
    openTimer.SetInterval(1);
    // The opener stays enabled: nothing it does may be needed for the others to run.
    openTimer.SetOnTimer([&] {
      if (result == -1) open();
    });
    TFdWatch openWatch(opening.fd[0], TEventLoop::evRead, [&](unsigned) {
      opening.Take();
      open();
    });
    ticker.SetEnabled(true);
    if (opener == TOpener::Posted) loop_.Post(open);
    if (opener == TOpener::Timer) openTimer.SetEnabled(true);
    if (opener == TOpener::Descriptor) opening.Put();
    EXPECT_TRUE(WaitUntil([&] { return result != -1; },
                          TClock::Current().MonotonicMs() + 2 * test::kWaitMs));
    EXPECT_EQ(result, QDialog::Accepted);
    EXPECT_TRUE(ticked);
  }
}

// Each round of the wait is one Pump; the socket's bytes come while the first one sleeps.
TEST(QtEventLoopWaitTest, WaitUntilWakesOnASocketWithoutWaitingForItsTimeout) {
  class TCountingLoop : public TQtEventLoop {
   public:
    void Pump(int ms) override {
      ++Rounds;
      TQtEventLoop::Pump(ms);
    }
    int Rounds = 0;
  } loop;
  TEventLoop::Install(&loop);
  {
    test::TFdPair sockets(true);
    bool read = false;
    TFdWatch watch(sockets.fd[0], TEventLoop::evRead, [&](unsigned) {
      sockets.Take();
      read = true;
    });
    bool sent = false;
    QObject context;
    QObject::connect(QAbstractEventDispatcher::instance(), &QAbstractEventDispatcher::aboutToBlock,
                     &context, [&] {
                       if (!sent) sockets.Put();
                       sent = true;
                     });
    WaitUntil([&] { return read; });
    EXPECT_TRUE(sent);
    EXPECT_EQ(loop.Rounds, 1);
  }
  TEventLoop::Install(nullptr);
}

TEST_F(QtEventLoopTest, OnlyAPumpWithTimeLetsQtsLoopSleep) {
  int sleeps = 0;
  QObject context;
  QObject::connect(QAbstractEventDispatcher::instance(), &QAbstractEventDispatcher::aboutToBlock,
                   &context, [&] { ++sleeps; });
  TTimer timer;
  timer.SetInterval(static_cast<uint32_t>(test::kWaitMs));
  timer.SetEnabled(true);
  loop_.Pump(0);
  EXPECT_EQ(sleeps, 0);
  loop_.Pump(1);
  EXPECT_EQ(sleeps, 1);
}

TEST_F(QtEventLoopTest, PumpRunsQtsOwnEventsAndWakesForThem) {
  struct TReceiver : QObject {
    bool event(QEvent* event) override {
      if (event->type() != QEvent::User) return QObject::event(event);
      Received = true;
      return true;
    }
    bool Received = false;
  } receiver;
  QCoreApplication::postEvent(&receiver, new QEvent(QEvent::User));
  loop_.Pump(0);
  EXPECT_TRUE(receiver.Received);
  bool fired = false;
  QTimer::singleShot(1, &receiver, [&] { fired = true; });
  EXPECT_TRUE(WaitUntil([&] { return fired; }, TClock::Current().MonotonicMs() + test::kWaitMs));
}

// Qt switches a notifier off, with a warning, when its descriptor is gone; the watch must hear
// of it as from the poll loop, under a dialog too.
TEST_F(QtEventLoopTest, ADescriptorClosedUnderItsWatchIsAnErrorInsideADialog) {
  static std::vector<std::string> warnings;
  warnings.clear();
  const QtMessageHandler previous =
      qInstallMessageHandler([](QtMsgType, const QMessageLogContext&, const QString& text) {
        warnings.push_back(text.toStdString());
      });
  TModalDialog dialog;
  test::TFdPair pipe;
  unsigned got = 0;
  std::unique_ptr<TFdWatch> watch =
      std::make_unique<TFdWatch>(pipe.fd[0], TEventLoop::evRead, [&](unsigned events) {
        got = events;
        watch.reset();
        dialog.accept();
      });
  TTimer closer;
  closer.SetInterval(1);
  closer.SetOnTimer([&] {
    closer.SetEnabled(false);
    pipe.Close(0);
  });
  closer.SetEnabled(true);
  const int result = dialog.exec();
  qInstallMessageHandler(previous);
  EXPECT_EQ(result, QDialog::Accepted);
  EXPECT_EQ(got, TEventLoop::evError);
  EXPECT_EQ(warnings, std::vector<std::string>{});
}

TEST_F(QtEventLoopTest, AnErrorRaisedUnderADialogComesOutOfTheNextPump) {
  TModalDialog dialog;
  TTimer failing, closer;
  bool failed = false;
  failing.SetInterval(1);
  failing.SetOnTimer([&] {
    failing.SetEnabled(false);
    failed = true;
    throw TError("The disk is full.");
  });
  closer.SetInterval(1);
  closer.SetOnTimer([&] {
    if (failed) dialog.accept();
  });
  failing.SetEnabled(true);
  closer.SetEnabled(true);
  EXPECT_EQ(dialog.exec(), QDialog::Accepted);
  EXPECT_EQ(test::ErrorOf([&] { loop_.Pump(0); }), "The disk is full.");
  EXPECT_EQ(test::ErrorOf([&] { loop_.Pump(0); }), "(no error)");
}

// The network code over Qt's loop: a POP3 login, started while a dialog is open, against a
// scripted server that runs on the same loop.
TEST_F(QtEventLoopTest, APop3LoginRunsUnderAModalDialog) {
  test::TScriptedServer server;
  server.Send("+OK POP3 ready\r\n")
      .Expect("USER alice\r\n")
      .Send("+OK\r\n")
      .Expect("PASS s3cret\r\n")
      .Send("+OK logged in\r\n")
      .Expect("STAT\r\n")
      .Send("+OK 2 320\r\n")
      .Expect("QUIT\r\n")
      .Send("+OK bye\r\n")
      .Close();
  TPOP3 pop;
  pop.Host = "127.0.0.1";
  pop.Port = server.Port();
  pop.UserName = "alice";
  pop.Password = "s3cret";
  TModalDialog dialog;
  std::string outcome;
  TTimer check;
  check.SetInterval(1);
  check.SetOnTimer([&] {
    check.SetEnabled(false);
    outcome = test::ErrorOf([&] {
      pop.Login();
      pop.Quit();
    });
    dialog.accept();
  });
  check.SetEnabled(true);
  EXPECT_EQ(dialog.exec(), QDialog::Accepted);
  EXPECT_EQ(outcome, "(no error)");
  EXPECT_EQ(pop.MessageCount(), 2);
  EXPECT_TRUE(server.Finished()) << server.Transcript();
}

// A posted call or a timer runs outside any Qt event, and what it lets go of with deleteLater()
// would wait for a Qt loop that never runs: the outermost Pump frees it, a nested one does not,
// as the handler that let go of it may still use it.
TEST_F(QtEventLoopTest, WhatHandlersLetGoOfIsFreedByTheOutermostPump) {
  TEventLoop& loop = loop_;
  QObject* object = new QObject;
  bool gone = false;
  QObject::connect(object, &QObject::destroyed, [&] { gone = true; });
  bool goneInside = true;
  loop.Post([&] {
    object->deleteLater();
    loop.Pump(0);
    goneInside = gone;
  });
  loop.Pump(0);
  EXPECT_FALSE(goneInside);
  loop.Pump(0);
  EXPECT_TRUE(gone);
}

}  // namespace
}  // namespace tarnwell
