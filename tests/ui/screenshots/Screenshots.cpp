// Renders every window, dialog and picture of the desktop front end with realistic content to
// PNG files, offscreen: `screenshots FOLDER`. These pictures are how the look is judged.
#include <QApplication>
#include <QFont>
#include <QImage>
#include <QMenu>
#include <QPixmap>
#include <QWidget>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "app/TrayIcon.h"
#include "app/ui/DesktopUi.h"
#include "app/ui/PasswordDlg.h"
#include "mainwindow/ui/DlgRescue.h"
#include "mainwindow/ui/DlgRescueMsg.h"
#include "message/Emails.h"
#include "message/SvcString.h"
#include "shell/ProgramFolders.h"
#include "shell/ui/AboutBox.h"
#include "shell/ui/DlgMessage.h"
#include "shell/ui/DlgPopUp.h"
#include "shell/ui/PopUpSample.h"
#include "shell/ui/TrayIcon.h"
#include "shell/ui/TrayImages.h"

namespace tarnwell {
namespace {

std::string folder;
int written = 0;

void Save(const QImage& image, const std::string& name) {
  const std::string path = folder + "/" + name + ".png";
  if (!image.save(QString::fromStdString(path))) {
    std::fprintf(stderr, "screenshots: %s cannot be written\n", path.c_str());
    std::exit(1);
  }
  ++written;
}

// The window as it shows, frame left out: offscreen there is no window manager to draw one.
void Shoot(QWidget& window, const std::string& name) {
  window.show();
  QApplication::processEvents();
  Save(window.grab().toImage(), name);
  window.hide();
}

void ShootMessageDialogs() {
  TMessageDlg info(
      DialogText("Your filters were updated.\r\r12 new filters were added and 3 "
                 "were changed."));
  Shoot(info, "dialog-info");
  TConfirmDlg confirm(
      DialogText("Are you sure that you want to delete these messages?\r\r"
                 "The messages will be permanently removed from your inbox."));
  Shoot(confirm, "dialog-confirm");
  TConfirmDlg timed(DialogText("Killed messages older than 30 days will be deleted.\r\r"
                               "Do you want to delete them now?"),
                    nullptr, 30000);
  Shoot(timed, "dialog-confirm-timed");
  TWarningDlg warning(DialogText(
      "There is no password entered for some of your email accounts.\r\rPlease go to Accounts, "
      "Properties and enter the correct password \rfor these accounts:\r\rWork\rHome\r"));
  Shoot(warning, "dialog-warning");
  TWarningDlg error(
      DialogText("An error occurred during startup: Could not create file folders for the "
                 "account. (ID: 3)\r\rThe program will terminate."),
      true);
  Shoot(error, "dialog-error");
  TWarningDlg longWord(
      DialogText("The server answered: -ERR "
                 "AUTHENTICATION_FAILED_FOR_USER_alex.example@mail.example.com_FROM_198.51.100.7_"
                 "AT_2025-03-10T09:11:00Z_SESSION_7f3a9c2e41d8b6a0"),
      true);
  Shoot(longWord, "dialog-error-long-word");
  TWaitDlg wait;
  Shoot(wait, "dialog-wait");
  TWarningDlg noTray(DialogText(kNoTrayWarning));
  Shoot(noTray, "dialog-no-tray");
  TMessageDlg noAccounts(DialogText(kNoAccountsYet));
  Shoot(noAccounts, "dialog-no-accounts");
}

void ShootAboutAndPassword() {
  TAboutBox about(QStringLiteral("Version ") + QString::fromStdString(ProgramVersionFull()),
                  TQtTrayIcon::TrayImageIcon(TTrayImage::Normal));
  Shoot(about, "about");
  TQtMessageDialogs dialogs;
  TPasswordDlg password(ScramblePassword("secret"), dialogs);
  Shoot(password, "password");
}

void ShootPopUpNotice() {
  TPopUpDlg notice;
  FillSampleBatch(notice);
  Shoot(notice, "popup-notice");
}

void ShootTray() {
  Save(RenderTraySheet(), "tray-images");
  TQtTrayIcon tray;
  TTrayMenuState state;
  state.OpenEnabled = true;
  state.CheckNowItems = {"Home", "Work", "Mailing lists & news"};
  state.CheckNowEnabled = true;
  state.CheckAllEnabled = true;
  state.SuspendEnabled = true;
  state.EmailProgramEnabled = true;
  state.AboutEnabled = true;
  state.ExitEnabled = true;
  QMenu& menu = tray.BuildMenu(state);
  Shoot(menu, "tray-menu");
  state.SuspendChecked = true;
  state.OpenEnabled = false;
  state.CheckNowEnabled = state.CheckAllEnabled = state.ExitEnabled = false;
  Shoot(tray.BuildMenu(state), "tray-menu-while-checking");
}

void ShootRescue() {
  TQtMessageDialogs dialogs;
  TRescueMsgDlg ask({"Home", "Work", "Mailing lists & news"}, 0, dialogs);
  Shoot(ask, "rescue-message");

  // Half-way through four messages: two sent, the third on its way.
  TRescueDlg progress;
  const char* const senders[] = {"From: Deals <deals@shop.example.com>",
                                 "From: \"Ann Lee\" <ann.lee@friends.example.org>", ""};
  for (const char* sender : senders) {
    TEmail message;
    message.Headers.SetText(sender);
    progress.Preparing(4);
    progress.Sending(message);
    progress.LoggingIn();
    if (*sender) {
      progress.LoggingOut();
      progress.Sent();
    }
  }
  Shoot(progress, "rescue-progress");
}

}  // namespace
}  // namespace tarnwell

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fputs("Usage: screenshots FOLDER\n", stderr);
    return 2;
  }
  setenv("QT_QPA_PLATFORM", "offscreen", 1);
  QApplication application(argc, argv);
  // The fonts of a desktop rather than the offscreen platform's default.
  QApplication::setFont(QFont(QStringLiteral("DejaVu Sans"), 9));
  tarnwell::folder = argv[1];
  std::filesystem::create_directories(tarnwell::folder);
  tarnwell::ShootMessageDialogs();
  tarnwell::ShootAboutAndPassword();
  tarnwell::ShootPopUpNotice();
  tarnwell::ShootTray();
  tarnwell::ShootRescue();
  std::printf("screenshots: %d pictures in %s\n", tarnwell::written, tarnwell::folder.c_str());
  return 0;
}
