#include "program/DesktopProgram.h"

#include <xcb/xcb.h>

#include <QLibraryInfo>
#include <cstdlib>
#include <filesystem>

#include "app/ui/DesktopUi.h"

namespace tarnwell {

namespace {

std::string Variable(const char* name) {
  const char* value = std::getenv(name);
  return value ? value : "";
}

bool QtKnowsWayland() {
  const std::filesystem::path folder =
      QLibraryInfo::path(QLibraryInfo::PluginsPath).toStdString() + "/platforms";
  std::error_code error;
  for (const auto& entry : std::filesystem::directory_iterator(folder, error))
    if (entry.path().filename().string().starts_with("libqwayland")) return true;
  return false;
}

}  // namespace

std::string WhyNoDesktop(bool& named) {
  const std::string display = Variable("DISPLAY");
  const std::string wayland = Variable("WAYLAND_DISPLAY");
  named = !display.empty() || !wayland.empty();
  if (!Variable("QT_QPA_PLATFORM").empty()) return "";
  if (!display.empty()) {
    // Qt ends the process when it cannot open the display it is given, so it is tried first.
    xcb_connection_t* connection = xcb_connect(display.c_str(), nullptr);
    const bool opened = xcb_connection_has_error(connection) == 0;
    xcb_disconnect(connection);
    return opened ? "" : "the display \"" + display + "\" cannot be opened";
  }
  if (!wayland.empty())
    return QtKnowsWayland() ? "" : "Qt has no Wayland support here (the package qt6-wayland)";
  return "no display is named (DISPLAY or WAYLAND_DISPLAY)";
}

int RunDesktopProgram(const std::vector<std::string>& switches) {
  TDesktopSession session;
  return session.Run(switches);
}

}  // namespace tarnwell
