#pragma once

#include <functional>

class QWidget;

namespace tarnwell {

class TQtMessageDialogs;

// The desktop's message dialogs: the program's, or where none are installed (a page tested
// alone) a set of this module's own.
[[nodiscard]] TQtMessageDialogs& UiDialogs();

// Runs a command of a page while it holds the program's busy gate, so that it waits while a check
// holds it and no check starts under it; errors are shown over `owner`'s window. Without a
// running program (a page tested alone) the command just runs.
void RunUiCommand(QWidget* owner, const std::function<void()>& command);

}  // namespace tarnwell
