#pragma once

#include <string>
#include <vector>

namespace tarnwell {

// Why the program cannot show windows here, or "" when it can: Qt was given a platform
// (QT_QPA_PLATFORM), or an X display (DISPLAY) answers, or a Wayland display is named
// (WAYLAND_DISPLAY) and Qt can talk to it. `named` tells whether a display was named at all.
[[nodiscard]] std::string WhyNoDesktop(bool& named);

// The program with windows and a tray icon until it ends; its exit status. The program folder
// is set.
int RunDesktopProgram(const std::vector<std::string>& switches);

}  // namespace tarnwell
