#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "tests/support/ChildProcess.h"
#include "tests/support/TestSupport.h"

struct xcb_connection_t;

namespace tarnwell::test {

// A desktop of its own for a test, as a user has one: an X server (Xvfb) on a display number
// nobody uses, a window manager (openbox) and a panel with a system tray (trayer, which docks
// icons over XEmbed). Everything it started ends with it. While it lives, DISPLAY names it, so
// the programs the test starts (xdotool among them) use it.
class TXDesktop {
 public:
  // Raises when a part does not start; its output is in `logFolder`.
  explicit TXDesktop(const std::string& logFolder);
  ~TXDesktop();
  TXDesktop(const TXDesktop&) = delete;
  TXDesktop& operator=(const TXDesktop&) = delete;

  [[nodiscard]] const std::string& Display() const { return display_; }

  struct TGeometry {
    int X = 0;
    int Y = 0;
    int Width = 0;
    int Height = 0;
    friend bool operator==(const TGeometry&, const TGeometry&) = default;
  };

  // The viewable windows whose WM_CLASS instance or class is `wmClass`, and which lie inside the
  // tray panel (`inTray`) or not; the windows inside such a window are parts of it.
  [[nodiscard]] std::vector<uint32_t> Windows(const std::string& wmClass, bool inTray);
  // The one window of the class `wmClass` docked in the tray, once it has kept its place for a
  // moment; raises when none does.
  [[nodiscard]] uint32_t DockedIcon(const std::string& wmClass);
  // Where the window is on the screen.
  [[nodiscard]] TGeometry Geometry(uint32_t window);
  // The window's title.
  [[nodiscard]] std::string Title(uint32_t window);
  // The window's pixels as the screen shows them.
  [[nodiscard]] std::string Pixels(uint32_t window);
  // The same for a rectangle of the screen.
  [[nodiscard]] std::string ScreenPixels(const TGeometry& area);

  // Input through xdotool: a click of `button` in the middle of the window, and keys by their
  // X names ("x", "Return", "Down", "shift+Delete"). A click is a click of its own, never the
  // second half of a double click.
  void Click(uint32_t window, int button);
  void Keys(const std::vector<std::string>& keys);
  // Gives the window the focus, as the window manager does when it is clicked.
  void Activate(uint32_t window);
  // Asks the window to close as a user does, with the window manager's key (Alt+F4), and waits
  // until its program has read the request: whether it closes is the program's choice.
  void Close(uint32_t window);
  // Waits until the window manager, and then the program of the window it manages, have handled
  // the input sent so far, or until the window goes.
  void Settle(uint32_t window);
  // Ends the tray panel and starts a new one, as when the desktop's panel restarts.
  void RestartTray();
  // The screen's size.
  [[nodiscard]] TGeometry Screen();

 private:
  void StartTray();

  std::string logFolder_;
  std::string display_;
  std::unique_ptr<TEnvironmentVariable> displayVariable_;
  std::unique_ptr<TChildProcess> server_;
  std::unique_ptr<TChildProcess> windowManager_;
  std::unique_ptr<TChildProcess> tray_;
  using TConnection = std::unique_ptr<xcb_connection_t, void (*)(xcb_connection_t*)>;
  TConnection connection_{nullptr, nullptr};
  uint32_t root_ = 0;
  // The button and the time of the last click.
  int lastButton_ = 0;
  std::chrono::steady_clock::time_point lastClick_;
};

}  // namespace tarnwell::test
