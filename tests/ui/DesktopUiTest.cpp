#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QPointer>
#include <QTimer>
#include <string>
#include <vector>

#include "accounts/AccountList.h"
#include "app/AppWindow.h"
#include "app/ui/DesktopUi.h"
#include "filtering/DataFiles.h"
#include "filtering/FilterList.h"
#include "filtering/Filters.h"
#include "mainwindow/ui/FmMain.h"
#include "message/SvcString.h"
#include "platform/Registry.h"
#include "shell/ProgramFolders.h"
#include "shell/Settings.h"
#include "shell/ui/DlgMessage.h"
#include "shell/ui/TrayIcon.h"
#include "tests/accounts/ScriptedAccount.h"
#include "tests/support/TestSupport.h"
#include "tests/support/VirtualTimeLoop.h"
#include "tests/support/program/ProgramEnvironment.h"
#include "tests/ui/UiDriver.h"

namespace tarnwell {
namespace {

// The offscreen desktop has no tray. A first start there is told so, and told how to add an
// account, instead of ending without a word or running unseen.
TEST(DesktopSessionTest, AFirstStartWithoutATraySaysSoAndHowToAddAnAccount) {
  ASSERT_FALSE(TQtTrayIcon::TrayAvailable());
  test::TTempDir home;
  TProgramFolders::SetProgramFolder(home.Path());
  std::vector<QString> seen;
  QTimer answer;
  answer.setInterval(20);
  QObject::connect(&answer, &QTimer::timeout, [&] {
    if (auto* dialog = qobject_cast<TMessageDlg*>(QApplication::activeModalWidget())) {
      seen.push_back(dialog->ShownText());
      dialog->accept();
    }
  });
  answer.start();
  int status = -1;
  {
    TDesktopSession session;
    status = session.Run({});
  }
  EXPECT_EQ(status, 2);
  std::vector<QString> expected{DialogText(kNoTrayWarning), DialogText(kNoAccountsYet)};
  std::sort(seen.begin(), seen.end());
  std::sort(expected.begin(), expected.end());
  EXPECT_EQ(seen, expected);
}

// Leaves the settings, a marking filter for "lottery" and scripted accounts of these descriptions
// in the program folder `home`, as an earlier run would; the accounts check only on schedule.
void Prepare(const std::string& home, const std::vector<std::string>& descriptions) {
  TRegistryStore store(home + "Registry.db");
  TRegistryStore::Install(&store);
  TSettings settings(&store);
  InstallSettings(&settings);
  settings.SaveAll();
  InstallDataFiles();
  TFilterList filters(home + "Filters.dat");
  filters.Load(true);
  test::AddSubjectFilter(filters, "lottery", acMark);
  filters.Save();
  {
    TAccountList list;
    list.Init(&filters);
    for (const std::string& description : descriptions) {
      auto account = std::make_unique<test::TScriptedAccount>();
      account->Description = description;
      account->Email = "me@example.com";
      account->Password = ScramblePassword("pw");
      account->DialUp = false;
      account->CheckTypes = 4;
      list.Add(std::move(account));
    }
  }
  InstallSettings(nullptr);
  TRegistryStore::Install(nullptr);
}

// The desktop's main window on the running program: the program's own start-up and commands
// open it, checks refresh it, and its closing comes back to the program.
class DesktopMainWindowTest : public ::testing::Test {
 protected:
  DesktopMainWindowTest() {
    TProgramFolders::SetProgramFolder(folder.Path());
    Prepare(folder.Path(), {"Home", "Work"});
    TEventLoop::Install(&loop);
    InstallUserInterface({.Dialogs = &dialogs, .Tray = &tray, .MainWindow = &host});
    app = std::make_unique<TAppWindow>(std::vector<std::string>{}, loop);
    EXPECT_TRUE(app->FormCreate());
    loop.Pump(0);
  }
  ~DesktopMainWindowTest() override {
    app.reset();
    InstallUserInterface({});
    TEventLoop::Install(nullptr);
  }

  [[nodiscard]] test::TScriptedAccount& Account(int i) const {
    return static_cast<test::TScriptedAccount&>(*app->Accounts()->Items(i));
  }

  test::TTempDir folder;
  test::TManualClock clock;
  test::TVirtualTimeLoop loop{clock};
  test::TScriptedKind kind;
  TQtMessageDialogs dialogs;
  TMemoryTrayIcon tray;
  TDesktopMainWindow host{dialogs, {}};
  std::unique_ptr<TAppWindow> app;
};

TEST_F(DesktopMainWindowTest, TheWindowSuspendsChecksRefusesToCloseInOneAndIsFreedWhenClosed) {
  ASSERT_TRUE(app->Initialized);
  app->miOpenClick();
  ASSERT_TRUE(host.IsVisible());
  const QPointer<TFmMain> window = host.Window();
  EXPECT_TRUE(app->Accounts()->Suspended);
  EXPECT_EQ(tray.Top(), TTrayImage::Suspend);
  EXPECT_TRUE(app->Gate().IsFree());

  Account(1).Mailbox = {{"w1", "From: bob@example.net\nSubject: Hi\n\nHello.\n"},
                        {"w2", "From: eve@example.net\nSubject: lottery\n\nWin.\n"}};
  bool refused = false;
  Account(1).OnFetch = [&](int32_t) { refused = !window->close() && window->isVisible(); };
  app->miCheckAllClick();
  EXPECT_TRUE(refused);
  EXPECT_TRUE(window->isEnabled());
  // The check refreshed the selector.
  EXPECT_EQ(window->findChild<QComboBox*>(QStringLiteral("cbAccounts"))->itemText(1),
            QStringLiteral("Work (2 new)"));

  Settings().ResetCountOnClose = false;
  EXPECT_TRUE(window->close());
  EXPECT_FALSE(host.IsVisible());
  EXPECT_EQ(host.Window(), nullptr);
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  EXPECT_TRUE(window.isNull());
  EXPECT_FALSE(app->Accounts()->Suspended);
  EXPECT_EQ(Account(1).NewCount, 0);
  // The possible spam stays in Live Mail, and the icon says so.
  EXPECT_EQ(tray.Top(), TTrayImage::NewPossible);
  EXPECT_EQ(tray.Depth(), 2);
  EXPECT_TRUE(app->MenuState().ExitEnabled);
}

TEST_F(DesktopMainWindowTest, TheProgramEndingInTheMiddleOfACheckClosesTheWindow) {
  app->miOpenClick();
  ASSERT_TRUE(host.IsVisible());
  EXPECT_FALSE(app->MenuState().ExitEnabled);
  Account(0).Mailbox = {{"h1", "From: bob@example.net\nSubject: Hi\n\nHello.\n"}};
  Account(0).OnFetch = [this](int32_t) { app->Close(); };
  app->miCheckAllClick();
  EXPECT_FALSE(host.IsVisible());
  EXPECT_TRUE(loop.Terminated());
}

// Without a tray the program shows its window instead of running unseen, and closing the
// window, once confirmed, ends it.
TEST(DesktopSessionTest, WithoutATrayTheWindowOpensAndClosingItEndsTheProgram) {
  ASSERT_FALSE(TQtTrayIcon::TrayAvailable());
  test::TTempDir home;
  TProgramFolders::SetProgramFolder(home.Path());
  Prepare(home.Path(), {"Home"});
  test::TScriptedKind kind;
  std::vector<QString> seen;
  int status = -1;
  {
    TDesktopSession session;
    const auto answer = [&seen](const char* button) {
      test::WhenModal([&seen, button](QWidget* dialog) {
        seen.push_back(static_cast<TMessageDlg*>(dialog)->ShownText());
        test::Click(dialog, QString::fromLatin1(button));
      });
    };
    answer("btnOK");
    // The window's close asks from within the handler that closes it.
    test::When(
        [&session] { return session.MainWindow().Window() && !QApplication::activeModalWidget(); },
        [&session, &answer] {
          answer("btnYes");
          session.MainWindow().Window()->close();
        });
    status = session.Run({});
  }
  EXPECT_EQ(status, 0);
  EXPECT_EQ(seen,
            (std::vector<QString>{DialogText(kNoTrayWarning), DialogText(kCloseEndsProgram)}));
}

}  // namespace
}  // namespace tarnwell
