#include <gtest/gtest.h>

#include <QAction>
#include <QCoreApplication>
#include <QGuiApplication>
#include <QMenu>
#include <QPainter>
#include <QSignalSpy>
#include <QStyleHints>
#include <QTest>
#include <cmath>
#include <memory>
#include <set>

#include "accounts/AccountList.h"
#include "app/AppWindow.h"
#include "app/UserInterface.h"
#include "filtering/DataFiles.h"
#include "filtering/FilterList.h"
#include "filtering/Filters.h"
#include "message/SvcString.h"
#include "platform/Registry.h"
#include "platform/SingleInstance.h"
#include "shell/LogFile.h"
#include "shell/ProgramFolders.h"
#include "shell/Settings.h"
#include "shell/ui/TrayIcon.h"
#include "shell/ui/TrayImages.h"
#include "tests/accounts/ScriptedAccount.h"
#include "tests/support/TestSupport.h"
#include "tests/support/VirtualTimeLoop.h"

// A failed check shows a QString as its text.
static void PrintTo(const QString& text, std::ostream* os) {
  *os << '"' << text.toStdString() << '"';
}

namespace tarnwell {
namespace {

using Image = TTrayImage;

// Long enough for a few blink ticks on a slow machine; only a fault waits this long.
constexpr int kWaitMs = 5000;

// Waits on the event loop for the next blink tick.
bool NextBlink(TQtTrayIcon& tray) {
  QSignalSpy refreshed(&tray, &TQtTrayIcon::Refreshed);
  return refreshed.wait(kWaitMs);
}

// The icon the desktop was given is the image's icon.
testing::AssertionResult Showing(const TQtTrayIcon& tray, Image image) {
  if (tray.ShownIcon().cacheKey() == TQtTrayIcon::TrayImageIcon(image).cacheKey())
    return testing::AssertionSuccess();
  return testing::AssertionFailure()
         << "the icon shown is not " << TrayImageName(image).toStdString() << " (the stack says "
         << TrayImageName(tray.Shown()).toStdString() << ")";
}

// ---------------------------------------------------------------------------------------------
// The images.

double Linear(int channel) {
  const double c = channel / 255.0;
  return c <= 0.04045 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
}

// The lightness of each pixel of the image on a panel of `panel` colour, 0 to 255, as a viewer
// without colour sees it, or one without green cones (deuteranopia, simulated as Viénot, Brettel
// and Mollon did in 1999).
std::vector<double> Seen(const QImage& image, QColor panel, bool deuteranope) {
  QImage onPanel(image.size(), QImage::Format_RGB32);
  onPanel.fill(panel);
  QPainter painter(&onPanel);
  painter.drawImage(0, 0, image);
  painter.end();
  std::vector<double> seen;
  for (int y = 0; y < onPanel.height(); ++y) {
    for (int x = 0; x < onPanel.width(); ++x) {
      const QColor c = onPanel.pixelColor(x, y);
      double r = Linear(c.red()), g = Linear(c.green()), b = Linear(c.blue());
      if (deuteranope) {
        const double rg = 0.29275 * r + 0.70725 * g;
        b = -0.02234 * r + 0.02234 * g + b;
        r = g = rg;
      }
      const double y709 = std::clamp(0.2126 * r + 0.7152 * g + 0.0722 * b, 0.0, 1.0);
      seen.push_back(255 *
                     (y709 <= 0.0031308 ? 12.92 * y709 : 1.055 * std::pow(y709, 1 / 2.4) - 0.055));
    }
  }
  return seen;
}

// The pixels the image covers at least half.
std::vector<bool> Covered(const QImage& image) {
  std::vector<bool> covered;
  for (int y = 0; y < image.height(); ++y)
    for (int x = 0; x < image.width(); ++x) covered.push_back(qAlpha(image.pixel(x, y)) >= 128);
  return covered;
}

TEST(TrayImagesTest, EveryTwoImagesDifferInOutlineAndToViewersWithoutRedGreenOrWithoutColour) {
  // Of the 484 pixels at 22 pixels. Two images that differ only in hue, a red cross and a green
  // one, differ in no pixel by a quarter of the range of lightness; two that differ only in
  // colour, a yellow dot and a red one, cover the same pixels.
  constexpr int kOutlineApart = 8;
  constexpr double kClearly = 64;
  constexpr int kClearlyApart = 24;
  const QColor panels[] = {QColor(0xe8, 0xe8, 0xe7), QColor(0x2b, 0x2e, 0x33)};
  std::vector<QImage> images;
  for (const Image image : kTrayImages) images.push_back(RenderTrayImage(image, 22));
  for (size_t a = 0; a < images.size(); ++a) {
    for (size_t b = a + 1; b < images.size(); ++b) {
      SCOPED_TRACE(TrayImageName(kTrayImages[a]).toStdString() + " and " +
                   TrayImageName(kTrayImages[b]).toStdString());
      const std::vector<bool> coveredA = Covered(images[a]), coveredB = Covered(images[b]);
      int outlineApart = 0;
      for (size_t i = 0; i < coveredA.size(); ++i) outlineApart += coveredA[i] != coveredB[i];
      EXPECT_GE(outlineApart, kOutlineApart);
      for (const QColor& panel : panels) {
        for (const bool deuteranope : {false, true}) {
          const std::vector<double> seenA = Seen(images[a], panel, deuteranope);
          const std::vector<double> seenB = Seen(images[b], panel, deuteranope);
          int clearlyApart = 0;
          for (size_t i = 0; i < seenA.size(); ++i)
            clearlyApart += std::abs(seenA[i] - seenB[i]) > kClearly;
          EXPECT_GE(clearlyApart, kClearlyApart)
              << "on " << panel.name().toStdString()
              << (deuteranope ? " without green cones" : " without colour");
        }
      }
    }
  }
}

TEST(TrayImagesTest, TheIconsHoldSharpPicturesForTheTraySizesAndForDoubleDensityScreens) {
  for (const Image image : kTrayImages) {
    SCOPED_TRACE(TrayImageName(image).toStdString());
    const QIcon icon = TQtTrayIcon::TrayImageIcon(image);
    EXPECT_EQ(icon.cacheKey(), TQtTrayIcon::TrayImageIcon(image).cacheKey());
    for (const int size : {16, 22, 32, 48}) {
      for (const qreal ratio : {1.0, 2.0}) {
        const QPixmap pixmap = icon.pixmap(QSize(size, size), ratio);
        const int pixels = static_cast<int>(size * ratio);
        if (pixels > 64) continue;
        EXPECT_EQ(pixmap.size(), QSize(pixels, pixels)) << size << " at " << ratio;
        // Drawn at that size, not scaled from another.
        EXPECT_EQ(pixmap.toImage().convertToFormat(QImage::Format_ARGB32_Premultiplied),
                  RenderTrayImage(image, pixels))
            << size << " at " << ratio;
      }
    }
  }
}

// ---------------------------------------------------------------------------------------------
// The icon and its menu.

class QtTrayIconTest : public ::testing::Test {
 protected:
  QtTrayIconTest() {
    const auto record = [this](const std::string& name) {
      return [this, name] { Journal.push_back(name); };
    };
    tray.SetHandlers(
        {.LeftButtonDown = record("left button down"),
         .DoubleClick = record("double click"),
         .RightButtonDown = record("right button down"),
         .Open = record("open"),
         .CheckNow = [this](int n) { Journal.push_back("check " + std::to_string(n)); },
         .CheckAll = record("check all"),
         .Suspend = record("suspend"),
         .EmailProgram = record("e-mail program"),
         .Help = record("help"),
         .About = record("about"),
         .Exit = record("exit")});
  }

  // Lets what the clicks and the menu queued run.
  static void Settle() { QCoreApplication::processEvents(); }

  void Activate(QSystemTrayIcon::ActivationReason reason) {
    emit tray.SystemTrayIcon().activated(reason);
  }

  TQtTrayIcon tray;
  std::vector<std::string> Journal;
};

TEST_F(QtTrayIconTest, TheTopImageShowsAndABlinkingLevelAlternatesWithTheImageBelow) {
  tray.SetBase(Image::Normal);
  EXPECT_TRUE(tray.Registered()) << "the first image puts the icon on the tray";
  EXPECT_TRUE(tray.SystemTrayIcon().isVisible());
  tray.Push(Image::NewMail);
  EXPECT_TRUE(Showing(tray, Image::NewMail));
  EXPECT_FALSE(tray.Blinking());

  tray.SetBlink(true);
  EXPECT_TRUE(tray.Blinking());
  ASSERT_TRUE(NextBlink(tray));
  EXPECT_TRUE(tray.BlinkPhase());
  EXPECT_TRUE(Showing(tray, Image::Normal)) << "the image below, while the phase is on";
  EXPECT_EQ(tray.Top(), Image::NewMail);
  ASSERT_TRUE(NextBlink(tray));
  EXPECT_TRUE(Showing(tray, Image::NewMail));
  ASSERT_TRUE(NextBlink(tray));
  ASSERT_TRUE(tray.BlinkPhase());

  tray.SetBlink(false);
  EXPECT_FALSE(tray.Blinking());
  EXPECT_FALSE(tray.BlinkPhase());
  EXPECT_TRUE(Showing(tray, Image::NewMail)) << "stopping in the phase shows the top again";
}

TEST_F(QtTrayIconTest, APushedLevelDoesNotBlinkAndPoppingItBringsBackTheBlinkingOfTheLevelBelow) {
  tray.SetBase(Image::Normal);
  tray.Push(Image::NewPossible);
  tray.SetBlink(true);
  ASSERT_TRUE(NextBlink(tray));
  ASSERT_TRUE(tray.BlinkPhase());

  tray.Push(Image::Checking);
  EXPECT_FALSE(tray.Blinking());
  EXPECT_TRUE(Showing(tray, Image::Checking));
  tray.Push(Image::Suspend);
  tray.Pop();
  EXPECT_FALSE(tray.Blinking()) << "the checking level was pushed without blinking";
  EXPECT_TRUE(Showing(tray, Image::Checking));

  tray.Pop();
  EXPECT_TRUE(tray.Blinking());
  EXPECT_FALSE(tray.BlinkPhase());
  EXPECT_TRUE(Showing(tray, Image::NewPossible));
  ASSERT_TRUE(NextBlink(tray));
  EXPECT_TRUE(Showing(tray, Image::Normal));

  tray.Pop();
  EXPECT_FALSE(tray.Blinking());
  EXPECT_TRUE(Showing(tray, Image::Normal));
  tray.Pop();
  EXPECT_EQ(tray.Depth(), 0);
  EXPECT_TRUE(Showing(tray, Image::Normal)) << "an empty stack shows the normal image";
  tray.Pop();
  EXPECT_EQ(tray.Depth(), 0);
}

TEST_F(QtTrayIconTest, TheBaseAndLevelsAboveTheTenthNeverBlink) {
  tray.SetBase(Image::Normal);
  tray.SetBlink(true);
  EXPECT_FALSE(tray.Blinking());
  for (int level = 1; level <= 11; ++level) tray.Push(level % 2 ? Image::NewMail : Image::NewSpam);
  tray.SetBlink(true);
  EXPECT_FALSE(tray.Blinking()) << "level 11";
  tray.Pop();
  tray.SetBlink(true);
  EXPECT_TRUE(tray.Blinking()) << "level 10";
}

TEST_F(QtTrayIconTest, TheBaseIsReplacedAndShowsWhenItIsTheOnlyImage) {
  tray.SetBase(Image::Normal);
  tray.Push(Image::NewMail);
  tray.SetBase(Image::Suspend);
  EXPECT_TRUE(Showing(tray, Image::NewMail));
  EXPECT_EQ(tray.Depth(), 2);
  tray.Pop();
  EXPECT_TRUE(Showing(tray, Image::Suspend));
  tray.SetBase(Image::Normal);
  EXPECT_TRUE(Showing(tray, Image::Normal));
}

TEST_F(QtTrayIconTest, TheTipKeepsItsFirst63CharactersAndIsReadAsUtf8OrElseWindows1252) {
  const struct {
    std::string tip;
    QString shown;
  } cases[] = {
      {" Halvora Tarnwell - 3 messages, 1 possible spam ",
       " Halvora Tarnwell - 3 messages, 1 possible spam "},
      {std::string(70, 'x'), QString(63, QLatin1Char('x'))},
      {std::string(63, 'y'), QString(63, QLatin1Char('y'))},
      // 62 letters and a character of two bytes, then more: the character is kept whole.
      {std::string(62, 'a') + "\xc3\xa9" + "bc", QString(62, QLatin1Char('a')) + QChar(0xe9)},
      // A character outside the basic plane is not split at the end.
      {std::string(62, 'a') + "\xf0\x9f\x93\xa7" + "z",
       QString(62, QLatin1Char('a')) + QString::fromUtf8("\xf0\x9f\x93\xa7")},
      {"Caf\xe9 \x80 5", QString::fromUtf8("Caf\xc3\xa9 \xe2\x82\xac 5")},
  };
  tray.SetBase(Image::Normal);
  for (const auto& c : cases) {
    SCOPED_TRACE(c.tip);
    tray.SetTip(c.tip);
    EXPECT_EQ(tray.ShownTip(), c.shown);
  }
}

TEST_F(QtTrayIconTest, ATipOrBaseSetBeforeTheIconIsOnTheTrayWaitsForTheRefresh) {
  tray.SetTip("Halvora Tarnwell is checking e-mail.");
  EXPECT_FALSE(tray.Registered());
  EXPECT_TRUE(tray.ShownTip().isEmpty());
  EXPECT_FALSE(tray.SystemTrayIcon().isVisible());
  tray.Refresh();
  EXPECT_TRUE(tray.Registered());
  EXPECT_TRUE(tray.SystemTrayIcon().isVisible());
  EXPECT_EQ(tray.ShownTip(), "Halvora Tarnwell is checking e-mail.");
  EXPECT_TRUE(Showing(tray, Image::Normal));
}

TEST_F(QtTrayIconTest, RemovingTakesTheIconOffAndStopsTheBlinkingAndARefreshPutsItBack) {
  tray.SetBase(Image::Normal);
  tray.Push(Image::NewSpam);
  tray.SetBlink(true);
  tray.Remove();
  EXPECT_FALSE(tray.Registered());
  EXPECT_FALSE(tray.SystemTrayIcon().isVisible());
  EXPECT_FALSE(tray.Blinking());

  tray.Refresh();
  EXPECT_TRUE(tray.Registered());
  EXPECT_TRUE(tray.SystemTrayIcon().isVisible());
  EXPECT_TRUE(Showing(tray, Image::NewSpam));

  tray.MarkUnregistered();
  EXPECT_FALSE(tray.Registered());
  tray.Refresh();
  EXPECT_TRUE(tray.Registered());
  EXPECT_TRUE(tray.SystemTrayIcon().isVisible());
}

TEST_F(QtTrayIconTest,
       ClicksReachTheProgramAfterTheDesktopsCallAndASecondActivationIsADoubleClick) {
  const int doubleClickMs = QGuiApplication::styleHints()->mouseDoubleClickInterval();
  Activate(QSystemTrayIcon::Trigger);
  EXPECT_TRUE(Journal.empty()) << "the handler ran inside the desktop's call";
  Settle();
  EXPECT_EQ(Journal, std::vector<std::string>{"left button down"});

  // A StatusNotifierItem host: two activations.
  Activate(QSystemTrayIcon::Trigger);
  Settle();
  // The XEmbed tray: a press, then a double click.
  QTest::qWait(doubleClickMs + 100);
  Activate(QSystemTrayIcon::Trigger);
  Activate(QSystemTrayIcon::DoubleClick);
  Settle();
  // Two clicks further apart than the double-click interval.
  QTest::qWait(doubleClickMs + 100);
  Activate(QSystemTrayIcon::Trigger);
  Settle();
  QTest::qWait(doubleClickMs + 100);
  Activate(QSystemTrayIcon::Trigger);
  Activate(QSystemTrayIcon::Context);
  Activate(QSystemTrayIcon::MiddleClick);
  Settle();
  EXPECT_EQ(Journal, (std::vector<std::string>{
                         "left button down", "double click", "left button down", "double click",
                         "left button down", "left button down", "right button down"}));
}

TEST_F(QtTrayIconTest, TheMenuHasTheItemsWithTheirStatesAndEachReachesItsHandler) {
  QMenu& menu = tray.BuildMenu({.OpenEnabled = true,
                                .CheckNowItems = {"Home", "Work & play"},
                                .CheckNowEnabled = true,
                                .CheckAllEnabled = true,
                                .SuspendChecked = true,
                                .SuspendEnabled = true,
                                .EmailProgramEnabled = false,
                                .AboutEnabled = true,
                                .ExitEnabled = false});
  EXPECT_EQ(tray.Menu(), &menu);
  EXPECT_FALSE(menu.isVisible());

  const struct {
    const char* name;
    const char* caption;
    bool enabled;
    const char* handler;
  } items[] = {
      {"miOpen", "&Open...", true, "open"},
      {"miCheckNow", "&Check Now", true, nullptr},
      {"miCheckAll", "Check A&ll Now", true, "check all"},
      {"miSuspend", "&Suspend", true, "suspend"},
      {"miEmailProgram", "&Run E-mail Program", false, "e-mail program"},
      {"miHelp", "&Help", true, "help"},
      {"miAbout", "&About", true, "about"},
      {"miExit", "E&xit", false, "exit"},
  };
  std::vector<QAction*> actions;
  for (QAction* action : menu.actions())
    if (!action->isSeparator()) actions.push_back(action);
  ASSERT_EQ(actions.size(), std::size(items));
  for (size_t i = 0; i < actions.size(); ++i) {
    SCOPED_TRACE(items[i].name);
    QAction& action = *actions[i];
    EXPECT_EQ(action.objectName(), items[i].name);
    EXPECT_EQ(action.text(), items[i].caption);
    EXPECT_EQ(action.isEnabled(), items[i].enabled);
    if (!items[i].handler) continue;
    Journal.clear();
    action.trigger();
    EXPECT_TRUE(Journal.empty()) << "the command ran inside the menu";
    Settle();
    // A disabled item cannot be triggered.
    EXPECT_EQ(Journal, items[i].enabled ? std::vector<std::string>{items[i].handler}
                                        : std::vector<std::string>{});
  }
  EXPECT_EQ(menu.defaultAction(), actions[0]);
  EXPECT_TRUE(actions[3]->isCheckable());

  QMenu* checkNow = actions[1]->menu();
  ASSERT_NE(checkNow, nullptr);
  ASSERT_EQ(checkNow->actions().size(), 2);
  EXPECT_EQ(checkNow->actions()[0]->text(), "Home");
  EXPECT_EQ(checkNow->actions()[1]->text(), "Work && play") << "an & is no access key";
  Journal.clear();
  checkNow->actions()[1]->trigger();
  checkNow->actions()[0]->trigger();
  Settle();
  EXPECT_EQ(Journal, (std::vector<std::string>{"check 1", "check 0"}));
}

TEST_F(QtTrayIconTest, TheMenuFollowsEachStateAndLeavesOutHelpWithoutAHandler) {
  TTrayMenuState state;
  state.CheckNowItems = {"Home"};
  state.SuspendChecked = false;
  QMenu* first = &tray.BuildMenu(state);
  const auto find = [this](const char* name) { return tray.Menu()->findChild<QAction*>(name); };
  ASSERT_NE(find("miCheckNow"), nullptr);
  for (const char* name :
       {"miOpen", "miCheckNow", "miCheckAll", "miSuspend", "miEmailProgram", "miAbout", "miExit"})
    EXPECT_FALSE(find(name)->isEnabled()) << name;
  EXPECT_FALSE(find("miSuspend")->isChecked());

  tray.SetHandlers({});
  tray.BuildMenu(TTrayMenuState{.OpenEnabled = true, .CheckNowItems = {}, .ExitEnabled = true});
  EXPECT_NE(tray.Menu(), first);
  EXPECT_EQ(find("miHelp"), nullptr);
  EXPECT_TRUE(find("miOpen")->isEnabled());
  EXPECT_TRUE(find("miExit")->isEnabled());
  EXPECT_FALSE(find("miCheckNow")->isEnabled()) << "no account to check";
}

TEST_F(QtTrayIconTest, TheMenuPopsUpAndCancellingClosesIt) {
  tray.ShowMenu(
      TTrayMenuState{.OpenEnabled = true, .CheckNowItems = {"Home"}, .CheckNowEnabled = true});
  ASSERT_NE(tray.Menu(), nullptr);
  EXPECT_TRUE(tray.Menu()->isVisible());
  tray.CancelMenuMode();
  EXPECT_FALSE(tray.Menu()->isVisible());
  tray.CancelMenuMode();
}

// ---------------------------------------------------------------------------------------------
// The rules of the icon, as the program's checks drive them.

test::TServerMessage Mail(const std::string& uid, const std::string& subject) {
  return {uid, "From: sender@example.net\nTo: me@example.com\nSubject: " + subject +
                   "\nDate: Thu, 14 Mar 2024 08:00:00 +0000\nMessage-Id: <" + uid +
                   "@mail.example.net>\n\nHello.\n"};
}

// The program on a folder of its own with one scripted account, whose mail is killed when its
// subject holds "viagra" and marked when it holds "lottery"; the Qt tray icon is its tray, with
// its clicks wired to the program.
class TrayIconRulesTest : public ::testing::Test {
 protected:
  TrayIconRulesTest() {
    TProgramFolders::SetProgramFolder(home);
    TEventLoop::Install(&loop);
    InstallUserInterface({.Tray = &tray});
    tray.SetHandlers({.LeftButtonDown = [this] { app->TrayLeftButtonDown(); },
                      .DoubleClick = [this] { app->TrayDoubleClick(); },
                      .RightButtonDown = [this] { app->TrayRightButtonDown(); }});
    QObject::connect(&tray, &TQtTrayIcon::Refreshed, [this] { Shown.insert(tray.Shown()); });
  }

  ~TrayIconRulesTest() override {
    app.reset();
    ProgramLog().SetEnabled(false);
    InstallUserInterface({});
    TEventLoop::Install(nullptr);
  }

  void Start(uint8_t iconMode) {
    {
      TRegistryStore store(home + "Registry.db");
      TRegistryStore::Install(&store);
      TSettings settings(&store);
      InstallSettings(&settings);
      settings.IconMode = iconMode;
      settings.SaveAll();
      InstallDataFiles();
      TFilterList filters(home + "Filters.dat");
      filters.Load(true);
      for (const auto& [text, action] :
           {std::pair{"viagra", acKill}, std::pair{"lottery", acMark}}) {
        auto filter = std::make_unique<TSubjectFilter>();
        filter->SetText1(text);
        filter->Action = action;
        filter->Origin = orUser;
        filters.Add(std::move(filter));
      }
      filters.Save();
      TAccountList list;
      list.Init(&filters);
      auto account = std::make_unique<test::TScriptedAccount>();
      account->Description = "Home";
      account->Email = "me@example.com";
      account->Password = ScramblePassword("pw");
      list.Add(std::move(account));
      InstallSettings(nullptr);
      TRegistryStore::Install(nullptr);
    }
    app = std::make_unique<TAppWindow>(std::vector<std::string>{}, loop);
    ASSERT_TRUE(app->FormCreate());
    loop.Pump(0);
    ASSERT_TRUE(app->Initialized);
    account = static_cast<test::TScriptedAccount*>(app->Accounts()->Items(0));
    Shown.clear();
  }

  // An on-demand check, after `arriving` came to the server.
  void Check(const std::vector<test::TServerMessage>& arriving = {}) {
    for (const test::TServerMessage& message : arriving) account->Mailbox.push_back(message);
    app->miCheckAllClick();
  }

  // What a second program started with "/SUSPENDED" (`icSuspend`) or "RESUME" (`icResume`)
  // passes on while each check reads the list.
  void DuringTheCheck(int32_t code) {
    app->Accounts()->OnReadingList = [this, code](TAccount&) { app->InvokeTarnwell(code); };
  }

  void Click() {
    emit tray.SystemTrayIcon().activated(QSystemTrayIcon::Trigger);
    QCoreApplication::processEvents();
  }

  test::TScriptedKind kind;
  test::TTempDir folder;
  const std::string home = folder.Path();
  test::TManualClock clock;
  test::TVirtualTimeLoop loop{clock};
  TQtTrayIcon tray;
  std::unique_ptr<TAppWindow> app;
  test::TScriptedAccount* account = nullptr;
  // Every image the desktop was given since the start.
  std::set<Image> Shown;
};

TEST_F(TrayIconRulesTest, NewMailBlinksAClickStopsItAndACheckWithNothingNewLeavesTheImage) {
  Start(0);
  Check({Mail("1", "Lunch on Friday?")});
  EXPECT_EQ(tray.Depth(), 2);
  EXPECT_TRUE(Showing(tray, Image::NewMail));
  EXPECT_TRUE(tray.Blinking());
  ASSERT_TRUE(NextBlink(tray));
  EXPECT_TRUE(Showing(tray, Image::Normal));

  Click();
  EXPECT_FALSE(tray.Blinking());
  EXPECT_TRUE(Showing(tray, Image::NewMail));
  EXPECT_TRUE(app->IconAcknowledged);

  Check();
  EXPECT_EQ(tray.Depth(), 2);
  EXPECT_TRUE(Showing(tray, Image::NewMail));
  EXPECT_FALSE(tray.Blinking());
  EXPECT_EQ(tray.ShownTip().toStdString(), app->Accounts()->Summary());
}

TEST_F(TrayIconRulesTest, KilledSpamAloneShowsTheSpamImageBlinkingOnTop) {
  Start(0);
  Check({Mail("1", "Cheap viagra")});
  ASSERT_EQ(app->Accounts()->NewSpamTotal(), 1);
  EXPECT_EQ(tray.Top(), Image::NewSpam);
  EXPECT_TRUE(Showing(tray, Image::NewSpam));
  EXPECT_TRUE(tray.Blinking());
  ASSERT_TRUE(NextBlink(tray));
  EXPECT_FALSE(Showing(tray, Image::NewSpam));

  // A click takes the spam image off.
  ASSERT_TRUE(NextBlink(tray));
  Click();
  EXPECT_NE(tray.Top(), Image::NewSpam);
  EXPECT_FALSE(tray.Blinking());
}

TEST_F(TrayIconRulesTest, IconModeTwoShowsNothingButTheCheckingAndTheSuspendImages) {
  Start(2);
  Check({Mail("1", "Lunch on Friday?")});
  Check({Mail("2", "You won the lottery"), Mail("3", "Cheap viagra")});
  Check({Mail("4", "Cheap viagra")});
  app->miSuspendClick();
  app->miSuspendClick();
  EXPECT_EQ(Shown, (std::set<Image>{Image::Normal, Image::Checking, Image::Suspend}));
  EXPECT_EQ(tray.Depth(), 1);
  EXPECT_FALSE(tray.Blinking());
}

TEST_F(TrayIconRulesTest, SuspendingDuringACheckEndsWithTheResultUnderTheSuspendImage) {
  Start(0);
  DuringTheCheck(icSuspend);
  Check({Mail("1", "Lunch on Friday?")});
  ASSERT_TRUE(app->Accounts()->Suspended);
  EXPECT_TRUE(Showing(tray, Image::Suspend));
  EXPECT_EQ(tray.ShownTip(), "Halvora Tarnwell is suspended.");
  app->miSuspendClick();
  EXPECT_TRUE(Showing(tray, Image::NewMail));
  EXPECT_TRUE(tray.Blinking());
  EXPECT_EQ(tray.Depth(), 2);

  // Nothing new: the image of the check before stays under the suspend image.
  Check();
  EXPECT_TRUE(Showing(tray, Image::Suspend));
  app->miSuspendClick();
  EXPECT_TRUE(Showing(tray, Image::NewMail));
  EXPECT_EQ(tray.Depth(), 2);
  EXPECT_EQ(tray.ShownTip().toStdString(), app->Accounts()->Summary());
}

TEST_F(TrayIconRulesTest, ResumingDuringACheckLeavesTheBaseImageInPlace) {
  Start(0);
  app->miSuspendClick();
  DuringTheCheck(icResume);
  Check();
  ASSERT_FALSE(app->Accounts()->Suspended);
  EXPECT_EQ(tray.Depth(), 1);
  EXPECT_TRUE(Showing(tray, Image::Normal));

  Check({Mail("1", "Lunch on Friday?")});
  EXPECT_EQ(tray.Depth(), 2);
  EXPECT_TRUE(Showing(tray, Image::NewMail));
  EXPECT_TRUE(tray.Blinking());
  EXPECT_EQ(tray.ShownTip().toStdString(), app->Accounts()->Summary());
}

}  // namespace
}  // namespace tarnwell
