#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QFileDialog>
#include <QLineEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QTest>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "accounts/Account.h"
#include "accounts/ui/DlgAccountEvents.h"
#include "shell/ProgramFolders.h"
#include "shell/ui/DlgMessage.h"
#include "tests/support/TestSupport.h"
#include "tests/support/program/ProgramEnvironment.h"
#include "tests/ui/UiDriver.h"

namespace tarnwell {
namespace {

const QString kEmailProgram = QStringLiteral("Your email program");

class DlgAccountEventsTest : public ::testing::Test, protected test::TProgramEnvironment {
 protected:
  DlgAccountEventsTest() {
    for (size_t i = 0; i < events.size(); ++i)
      events[i].Sound = TProgramFolders::SoundsFolder() + "sound" + std::to_string(i) + ".wav";
  }

  std::unique_ptr<TAccountEventsDlg> Dialog() {
    auto dialog = std::make_unique<TAccountEventsDlg>(events, dialogs);
    dialog->show();
    return dialog;
  }

  template <typename T>
  static T* Get(const QWidget& window, const char* prefix, int event) {
    const QString name = QString::fromLatin1(prefix) + TAccount::kEventKeys[event];
    auto* widget = window.findChild<T*>(name);
    EXPECT_NE(widget, nullptr) << name.toStdString();
    return widget;
  }

  // Answers the next file dialog: `look` sees it, then `file` is chosen, or none cancels.
  static void AnswerFileDialog(std::function<void(QFileDialog&)> look, const std::string& file,
                               QWidget* owner) {
    test::WhenModal(
        [look = std::move(look), file](QWidget* window) {
          auto* dialog = qobject_cast<QFileDialog*>(window);
          ASSERT_NE(dialog, nullptr);
          look(*dialog);
          if (file.empty()) {
            dialog->reject();
            return;
          }
          dialog->selectFile(QString::fromStdString(file));
          static_cast<QDialog*>(dialog)->accept();
        },
        owner);
  }

  TEmailEvents events;
  TQtMessageDialogs dialogs;
};

TEST_F(DlgAccountEventsTest, ShowsARowPerEventSpamFirstOnTheSoundsAndProgramsTabs) {
  const struct {
    int event;
    const char* sound;
    const char* listen;
    const char* browseSound;
    const char* app;
    const char* browseApp;
  } rows[] = {
      {evSpam, "&Play a sound when you  receive spam", "L&isten", "&Browse...",
       "&Run a program when you receive spam", "&Browse..."},
      {evPossibleSpam, "P&lay a sound when you receive possible spam", "Li&sten", "B&rowse...",
       "R&un a program when you receive possible spam", "Br&owse..."},
      {evFriendlyMail, "Pl&ay a sound when you receive mail from a friend", "Lis&ten", "Br&owse...",
       "Ru&n a program when you receive mail from a friend", "Bro&wse..."},
      {evNewMail, "Pla&y a sound when you receive other mail", "List&en", "Bro&wse...",
       "Run &a program when you receive other mail", "Brow&se..."},
  };
  const auto dialog = Dialog();
  EXPECT_EQ(dialog->windowTitle(), QStringLiteral("Sound and Program Settings"));
  auto* tabs = dialog->findChild<QTabWidget*>(QStringLiteral("pcEvents"));
  ASSERT_EQ(tabs->count(), 2);
  EXPECT_EQ(tabs->tabText(0), QStringLiteral("Sounds"));
  EXPECT_EQ(tabs->tabText(1), QStringLiteral("Programs"));
  EXPECT_EQ(tabs->currentIndex(), 0);
  int soundTop = -1;
  int appTop = -1;
  tabs->setCurrentIndex(1);
  for (const auto& row : rows) {
    auto* sound = Get<QCheckBox>(*dialog, "chkSound", row.event);
    auto* app = Get<QCheckBox>(*dialog, "chkApp", row.event);
    EXPECT_EQ(sound->text(), QString::fromLatin1(row.sound));
    EXPECT_EQ(Get<QPushButton>(*dialog, "btnListen", row.event)->text(),
              QString::fromLatin1(row.listen));
    EXPECT_EQ(Get<QPushButton>(*dialog, "btnBrowseSound", row.event)->text(),
              QString::fromLatin1(row.browseSound));
    EXPECT_EQ(app->text(), QString::fromLatin1(row.app));
    EXPECT_EQ(Get<QPushButton>(*dialog, "btnBrowseApp", row.event)->text(),
              QString::fromLatin1(row.browseApp));
    EXPECT_EQ(Get<QComboBox>(*dialog, "cbApp", row.event)->itemText(0), kEmailProgram);
    EXPECT_GT(sound->y(), soundTop) << row.sound;
    EXPECT_GT(app->y(), appTop) << row.app;
    soundTop = sound->y();
    appTop = app->y();
  }
}

TEST_F(DlgAccountEventsTest, EachBoxSetsItsEventAndEnablesItsControls) {
  events[evSpam].SoundEnabled = true;
  events[evFriendlyMail].AppEnabled = true;
  const auto dialog = Dialog();
  for (const int event : {evNewMail, evPossibleSpam, evSpam, evFriendlyMail}) {
    const bool sound = event == evSpam;
    const bool app = event == evFriendlyMail;
    auto* soundBox = Get<QCheckBox>(*dialog, "chkSound", event);
    auto* appBox = Get<QCheckBox>(*dialog, "chkApp", event);
    EXPECT_EQ(soundBox->isChecked(), sound);
    EXPECT_EQ(appBox->isChecked(), app);
    for (const bool click : {false, true}) {
      const bool soundOn = sound != click;
      const bool appOn = app != click;
      if (click) {
        soundBox->click();
        appBox->click();
      }
      EXPECT_EQ(Get<QPushButton>(*dialog, "btnListen", event)->isEnabled(), soundOn) << event;
      EXPECT_EQ(Get<QPushButton>(*dialog, "btnBrowseSound", event)->isEnabled(), soundOn);
      EXPECT_EQ(Get<QComboBox>(*dialog, "cbApp", event)->isEnabled(), appOn) << event;
      EXPECT_EQ(Get<QPushButton>(*dialog, "btnBrowseApp", event)->isEnabled(), appOn);
    }
  }
  test::Click(dialog.get(), QStringLiteral("btnOK"));
  for (const int event : {evNewMail, evPossibleSpam, evSpam, evFriendlyMail}) {
    EXPECT_EQ(events[static_cast<size_t>(event)].SoundEnabled, event != evSpam);
    EXPECT_EQ(events[static_cast<size_t>(event)].AppEnabled, event != evFriendlyMail);
  }
}

TEST_F(DlgAccountEventsTest, TheDropDownListsTheEventsProgramOnlyWhileItRunsIt) {
  const struct {
    bool appEnabled;
    bool useEmailApp;
    const char* application;
    std::vector<QString> items;
    int selected;
  } cases[] = {
      {true, false, "/usr/bin/notify-send", {kEmailProgram, "/usr/bin/notify-send"}, 1},
      {true, true, "/usr/bin/notify-send", {kEmailProgram}, 0},
      {false, false, "/usr/bin/notify-send", {kEmailProgram}, 0},
      {true, false, "", {kEmailProgram, ""}, 1},
  };
  for (const auto& c : cases) {
    events[evSpam].AppEnabled = c.appEnabled;
    events[evSpam].UseEmailApp = c.useEmailApp;
    events[evSpam].Application = c.application;
    const auto dialog = Dialog();
    auto* box = Get<QComboBox>(*dialog, "cbApp", evSpam);
    std::vector<QString> items;
    for (int i = 0; i < box->count(); ++i) items.push_back(box->itemText(i));
    EXPECT_EQ(items, c.items) << c.appEnabled << c.useEmailApp;
    EXPECT_EQ(box->currentIndex(), c.selected) << c.appEnabled << c.useEmailApp;
  }
}

TEST_F(DlgAccountEventsTest, ATypedProgramBecomesTheSecondItemAndTheMailProgramCanBeChosenBack) {
  events[evPossibleSpam].AppEnabled = true;
  events[evPossibleSpam].UseEmailApp = true;
  const auto dialog = Dialog();
  dialog->findChild<QTabWidget*>()->setCurrentIndex(1);
  auto* box = Get<QComboBox>(*dialog, "cbApp", evPossibleSpam);
  box->lineEdit()->selectAll();
  QTest::keyClicks(box->lineEdit(), QStringLiteral("chime --loud"));
  ASSERT_EQ(box->count(), 2);
  EXPECT_EQ(box->itemText(1), QStringLiteral("chime --loud"));
  EXPECT_EQ(box->currentText(), QStringLiteral("chime --loud"));
  // Typing in the middle keeps the cursor where it is.
  box->lineEdit()->setCursorPosition(5);
  QTest::keyClicks(box->lineEdit(), QStringLiteral("s"));
  EXPECT_EQ(box->currentText(), QStringLiteral("chimes --loud"));
  EXPECT_EQ(box->lineEdit()->cursorPosition(), 6);
  EXPECT_EQ(box->itemText(1), QStringLiteral("chimes --loud"));

  box->setCurrentIndex(0);
  EXPECT_EQ(box->count(), 2);
  test::Click(dialog.get(), QStringLiteral("btnOK"));
  EXPECT_TRUE(events[evPossibleSpam].UseEmailApp);
  EXPECT_EQ(events[evPossibleSpam].Application, "chimes --loud");

  const auto again = Dialog();
  box = Get<QComboBox>(*again, "cbApp", evPossibleSpam);
  box->setCurrentIndex(box->findText(kEmailProgram));
  box->setEditText(QStringLiteral("/usr/local/bin/ding"));
  test::Click(again.get(), QStringLiteral("btnOK"));
  EXPECT_FALSE(events[evPossibleSpam].UseEmailApp);
  EXPECT_EQ(events[evPossibleSpam].Application, "/usr/local/bin/ding");
}

TEST_F(DlgAccountEventsTest,
       OkMakesAnEventWithABlankProgramStartTheMailProgramCancelWritesNothing) {
  for (const int event : {evSpam, evNewMail}) {
    events[static_cast<size_t>(event)].AppEnabled = true;
    events[static_cast<size_t>(event)].Application = "/usr/bin/notify-send";
  }
  events[evNewMail].AppEnabled = false;
  for (const bool ok : {false, true}) {
    const auto dialog = Dialog();
    for (const int event : {evSpam, evNewMail})
      Get<QComboBox>(*dialog, "cbApp", event)->setEditText(QStringLiteral("  "));
    Get<QCheckBox>(*dialog, "chkSound", evFriendlyMail)->click();
    test::Click(dialog.get(), ok ? QStringLiteral("btnOK") : QStringLiteral("btnCancel"));
    EXPECT_EQ(events[evSpam].UseEmailApp, ok);
    // Not enabled: OK leaves it alone.
    EXPECT_FALSE(events[evNewMail].UseEmailApp);
    EXPECT_EQ(events[evFriendlyMail].SoundEnabled, ok);
  }
}

TEST_F(DlgAccountEventsTest, ListenPlaysTheEventsSound) {
  for (TEventParam& event : events) event.SoundEnabled = true;
  const auto dialog = Dialog();
  test::Click(dialog.get(), QStringLiteral("btnListenOnFriendlyMail"));
  test::Click(dialog.get(), QStringLiteral("btnListenOnSpam"));
  EXPECT_EQ(player.Played,
            (std::vector<std::string>{events[evFriendlyMail].Sound, events[evSpam].Sound}));
}

TEST_F(DlgAccountEventsTest, BrowseForASoundStartsAtItOrInTheSoundsFolder) {
  std::filesystem::create_directories(dir / "Sounds");
  std::filesystem::create_directories(dir / "Chimes");
  const std::string bell = dir / "Chimes/bell.ogg";
  std::ofstream(bell) << "OggS";
  events[evSpam].SoundEnabled = true;
  events[evSpam].Sound = "";
  const auto dialog = Dialog();
  const struct {
    std::string startsIn;
    std::string chosen;
    std::string sound;
  } steps[] = {
      {dir / "Sounds", "", ""},
      {dir / "Sounds", bell, bell},
      {dir / "Chimes", "", bell},
  };
  for (const auto& step : steps) {
    AnswerFileDialog(
        [&step](QFileDialog& files) {
          EXPECT_EQ(files.windowTitle(), QStringLiteral("Locate"));
          EXPECT_EQ(files.fileMode(), QFileDialog::ExistingFile);
          EXPECT_EQ(files.nameFilters(),
                    (QStringList{"Sound files (*.wav *.ogg *.oga)", "All files (*)"}));
          EXPECT_EQ(std::filesystem::path(files.directory().absolutePath().toStdString()),
                    std::filesystem::path(step.startsIn));
        },
        step.chosen, dialog.get());
    test::Click(dialog.get(), QStringLiteral("btnBrowseSoundOnSpam"));
    test::Click(dialog.get(), QStringLiteral("btnListenOnSpam"));
    EXPECT_EQ(player.Played.back(), step.sound);
  }
  test::Click(dialog.get(), QStringLiteral("btnOK"));
  EXPECT_EQ(events[evSpam].Sound, bell);
}

TEST_F(DlgAccountEventsTest, BrowseForAProgramOffersRunnableFilesAndQuotesAPathWithBlanks) {
  std::filesystem::create_directories(dir / "My Tools");
  const std::string tool = dir / "My Tools/notify";
  std::ofstream(tool) << "#!/bin/sh\n";
  std::filesystem::permissions(tool, std::filesystem::perms::owner_all);
  events[evNewMail].AppEnabled = true;
  events[evNewMail].UseEmailApp = true;
  const auto dialog = Dialog();
  dialog->findChild<QTabWidget*>()->setCurrentIndex(1);
  auto* box = Get<QComboBox>(*dialog, "cbApp", evNewMail);
  for (const std::string& startsIn : {std::string("/usr/bin"), dir / "My Tools"}) {
    AnswerFileDialog(
        [&startsIn](QFileDialog& files) {
          EXPECT_EQ(files.windowTitle(), QStringLiteral("Locate"));
          EXPECT_TRUE(files.filter().testFlag(QDir::Executable));
          EXPECT_EQ(std::filesystem::path(files.directory().absolutePath().toStdString()),
                    std::filesystem::path(startsIn));
        },
        tool, dialog.get());
    test::Click(dialog.get(), QStringLiteral("btnBrowseAppOnNewMail"));
    ASSERT_EQ(box->count(), 2);
    EXPECT_EQ(box->currentIndex(), 1);
    EXPECT_EQ(box->currentText().toStdString(), '"' + tool + '"');
  }
  test::Click(dialog.get(), QStringLiteral("btnOK"));
  EXPECT_FALSE(events[evNewMail].UseEmailApp);
  EXPECT_EQ(events[evNewMail].Application, '"' + tool + '"');
}

}  // namespace
}  // namespace tarnwell
