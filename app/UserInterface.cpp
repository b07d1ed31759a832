#include "app/UserInterface.h"

#include "app/CheckProgress.h"
#include "app/MainWindowHost.h"
#include "app/MessageDialogs.h"
#include "app/PopUpNotice.h"
#include "app/TrayIcon.h"
#include "app/Wizards.h"

namespace tarnwell {

namespace {

TUserInterface installed;

template <typename TWithoutDisplay, typename TPart>
TPart& PartOr(TPart* part) {
  static TWithoutDisplay withoutDisplay;
  return part ? *part : withoutDisplay;
}

}  // namespace

void InstallUserInterface(const TUserInterface& parts) { installed = parts; }

TMessageDialogs& MessageDialogs() { return PartOr<TSilentDialogs>(installed.Dialogs); }
TTrayIcon& TrayIcon() { return PartOr<TMemoryTrayIcon>(installed.Tray); }
TMainWindowHost& MainWindow() { return PartOr<TNoMainWindow>(installed.MainWindow); }
TPopUpNotice& PopUpNotice() { return PartOr<TNoPopUpNotice>(installed.PopUp); }
TCheckProgress& CheckProgress() { return PartOr<TNoCheckProgress>(installed.Progress); }
TWizards& Wizards() { return PartOr<TNoWizards>(installed.Wizards); }
bool FrontEndHasWindows() { return installed.HasWindows; }

}  // namespace tarnwell
