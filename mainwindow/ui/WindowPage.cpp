#include "mainwindow/ui/WindowPage.h"

#include "mainwindow/ui/UiCommand.h"

namespace tarnwell {

void TWindowPage::RunCommand(const std::function<void()>& command) { RunUiCommand(this, command); }

}  // namespace tarnwell
