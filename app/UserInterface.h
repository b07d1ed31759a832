#pragma once

namespace tarnwell {

class TCheckProgress;
class TMainWindowHost;
class TMessageDialogs;
class TPopUpNotice;
class TTrayIcon;
class TWizards;

// The parts of a user interface, one per concern. The desktop front end shows windows; the
// console front end prints to standard error and asks on the terminal. A part left out is the
// one without a display, so that a front end can bring its parts one at a time.
struct TUserInterface {
  TMessageDialogs* Dialogs = nullptr;
  TTrayIcon* Tray = nullptr;
  TMainWindowHost* MainWindow = nullptr;
  TPopUpNotice* PopUp = nullptr;
  TCheckProgress* Progress = nullptr;
  TWizards* Wizards = nullptr;
  // The front end shows windows, whose events need a moment to run before the program goes on
  // after its form is created and after each check. Without windows it goes on at once.
  bool HasWindows = false;
};

// Installs the front end's parts; the caller keeps ownership. `{}` restores the parts without
// a display.
void InstallUserInterface(const TUserInterface& parts);

// The parts the program talks to.
[[nodiscard]] TMessageDialogs& MessageDialogs();
[[nodiscard]] TTrayIcon& TrayIcon();
[[nodiscard]] TMainWindowHost& MainWindow();
[[nodiscard]] TPopUpNotice& PopUpNotice();
[[nodiscard]] TCheckProgress& CheckProgress();
[[nodiscard]] TWizards& Wizards();
[[nodiscard]] bool FrontEndHasWindows();

}  // namespace tarnwell
