#include <gtest/gtest.h>

#include <string>

#include "app/CheckProgress.h"
#include "app/MainWindowHost.h"
#include "app/MessageDialogs.h"
#include "app/PopUpNotice.h"
#include "app/TrayIcon.h"
#include "app/UserInterface.h"
#include "app/Wizards.h"

namespace tarnwell {
namespace {

class TAnsweringDialogs : public TSilentDialogs {
 public:
  int Confirm(const std::string&) override { return caYes; }
};

TEST(UserInterfaceTest, APartLeftOutIsTheOneWithoutADisplayUntilTheFrontEndBringsIt) {
  TAnsweringDialogs dialogs;
  TMemoryTrayIcon tray;
  InstallUserInterface({.Dialogs = &dialogs, .Tray = &tray});
  EXPECT_EQ(MessageDialogs().Confirm("Delete?"), caYes);
  TrayIcon().Push(TTrayImage::Checking);
  EXPECT_EQ(tray.Images(), std::vector<TTrayImage>{TTrayImage::Checking});
  EXPECT_FALSE(MainWindow().Available());
  EXPECT_FALSE(PopUpNotice().IsVisible());

  InstallUserInterface({});
  EXPECT_EQ(MessageDialogs().Confirm("Delete?"), caNo);
  EXPECT_EQ(MessageDialogs().ConfirmTimed("Delete?"), caUnanswered);
  EXPECT_NE(&TrayIcon(), &tray);
}

TEST(UserInterfaceTest, TheTrayStackKeepsItsBaseAtTheBottomAndCutsTheTip) {
  TMemoryTrayIcon tray;
  EXPECT_EQ(tray.Top(), TTrayImage::Normal) << "an empty stack";
  tray.Pop();
  EXPECT_EQ(tray.Depth(), 0);
  tray.SetBase(TTrayImage::NewMail);
  tray.Push(TTrayImage::Suspend);
  tray.SetBase(TTrayImage::Normal);
  EXPECT_EQ(tray.Images(), (std::vector<TTrayImage>{TTrayImage::Normal, TTrayImage::Suspend}));
  EXPECT_EQ(tray.Top(), TTrayImage::Suspend);
  tray.SetTip(std::string(63, 'a') + "b");
  EXPECT_EQ(tray.Tip(), std::string(63, 'a'));
}

}  // namespace
}  // namespace tarnwell
