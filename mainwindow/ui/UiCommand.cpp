#include "mainwindow/ui/UiCommand.h"

#include <QWidget>
#include <exception>

#include "app/AppWindow.h"
#include "app/UserInterface.h"
#include "platform/EventLoop.h"
#include "shell/Synchronization.h"
#include "shell/ui/DlgMessage.h"

namespace tarnwell {

TQtMessageDialogs& UiDialogs() {
  if (auto* installed = dynamic_cast<TQtMessageDialogs*>(&MessageDialogs())) return *installed;
  static TQtMessageDialogs own;
  return own;
}

void RunUiCommand(QWidget* owner, const std::function<void()>& command) {
  TAppWindow* app = AppWindow();
  if (app) {
    app->Gate().WaitAndEnter(TSynchronization::skUserInterface);
    // The program is ending, and the gate was not entered.
    if (TEventLoop::Current().Terminated()) return;
  }
  try {
    command();
  } catch (const std::exception& error) {
    UiDialogs().ShowErrorOver(error.what(), owner ? owner->window() : nullptr);
  }
  if (app) app->Gate().Leave();
}

}  // namespace tarnwell
