#include <gtest/gtest.h>
#include <sqlite3.h>

#include "platform/Error.h"
#include "platform/Registry.h"
#include "shell/ProgramFolders.h"
#include "shell/Settings.h"
#include "tests/support/TestSupport.h"

namespace tarnwell {
namespace {

class SettingsTest : public ::testing::Test {
 protected:
  void SetUp() override { TProgramFolders::SetProgramFolder(dir.Path()); }
  test::TTempDir dir;
  TRegistryStore store{dir / "Registry.db"};

  TRegistry OpenSettingsKey() {
    TRegistry reg(store);
    EXPECT_TRUE(reg.OpenKey(TSettings::kKeyPath, true));
    return reg;
  }
};

std::string LoadError(TSettings& settings) {
  try {
    settings.Load();
  } catch (const TError& e) {
    return e.what();
  }
  return "";
}

TEST_F(SettingsTest, FirstStartFailsLoadThenSaveWritesEveryStoredItemAndReloads) {
  TSettings settings(&store);
  EXPECT_EQ(LoadError(settings),
            "An error occurred during startup: Could not retrieve program settings.");
  settings.SaveAll();

  TRegistry reg = OpenSettingsKey();
  // 60 items, of which 9 are not stored.
  EXPECT_EQ(reg.ValueCount(), 51u);
  EXPECT_EQ(reg.ReadString("Install Dir"), dir.Path());
  EXPECT_EQ(reg.ReadBinary("ActiveFilters"), std::string("\xFE", 1));
  EXPECT_EQ(reg.ReadBinary("ComplainAddr"), std::string("\x0C", 1));
  EXPECT_EQ(reg.ReadInteger("SkipSize"), 102400);
  EXPECT_EQ(reg.ReadInteger("StdAction"), 3);
  EXPECT_EQ(reg.ReadBinary("BandInfo").size(), 120u);
  EXPECT_EQ(reg.ReadBinary("Window").size(), 16u);
  EXPECT_EQ(reg.ReadBinary("LastUpdateCheck").size(), 8u);
  EXPECT_FALSE(reg.ValueExists("DialUpConnection"));
  EXPECT_FALSE(reg.ValueExists("HTTPProxy"));

  TSettings again(&store);
  EXPECT_EQ(LoadError(again), "");
  EXPECT_EQ(again.UserComplaint, "Standard user complaint");
  EXPECT_EQ(again.RemoveComplaint, "Standard error message");
  EXPECT_EQ(again.PrinterFont, "Arial");
  EXPECT_EQ(again.LastUpdate, 94);
}

TEST_F(SettingsTest, OlderKeyWithoutLoggingFailsAtThatItemAndKeepsWhatWasRead) {
  TSettings writer(&store);
  writer.AutoPurgeDays = 12;
  writer.Logging = true;
  writer.SaveAll();
  TRegistry reg = OpenSettingsKey();
  reg.DeleteValue("Logging");

  TSettings settings(&store);
  EXPECT_EQ(LoadError(settings),
            "An error occurred during startup: Could not retrieve program settings.\r(Logging)");
  EXPECT_EQ(settings.AutoPurgeDays, 12);
  EXPECT_FALSE(settings.Logging);
  settings.SaveAll();
  EXPECT_TRUE(reg.ValueExists("Logging"));
  EXPECT_EQ(LoadError(settings), "");
}

TEST_F(SettingsTest, ValueOfAnotherTypeFailsTheLoadAndNonZeroReadsAsTrue) {
  TSettings writer(&store);
  writer.SaveAll();
  TRegistry reg = OpenSettingsKey();
  reg.WriteInteger("SaveKills", 7);
  reg.WriteInteger("EmailClient", 1);
  TSettings settings(&store);
  settings.SaveKills = false;
  EXPECT_EQ(
      LoadError(settings),
      "An error occurred during startup: Could not retrieve program settings.\r(EmailClient)");
  EXPECT_TRUE(settings.SaveKills);
}

TEST_F(SettingsTest, SaveLayoutWhenMaximisedKeepsTheNormalBounds) {
  TSettings settings(&store);
  settings.SaveAll();
  settings.SaveLayout({10, 20, 810, 620}, 0, {{0, 300, 40}}, 1, 2, 3);
  settings.SaveLayout({0, 0, 1920, 1080}, 2, {{1, 310, 41}, {0, 200, 40}}, 4, 5, 6);

  TSettings loaded(&store);
  loaded.Load();
  EXPECT_EQ(loaded.Window.left, 10);
  EXPECT_EQ(loaded.Window.right, 810);
  EXPECT_EQ(loaded.WindowState, 2);
  EXPECT_EQ(loaded.SplitUpdates, 4);
  EXPECT_EQ(loaded.SplitKilled, 5);
  EXPECT_EQ(loaded.SplitInbox, 6);
  EXPECT_EQ(loaded.BandInfo[1].width, 200);
  EXPECT_TRUE(loaded.HasLayout());
}

TEST_F(SettingsTest, SaveGroupsWriteOnlyTheirItems) {
  TSettings settings(&store);
  settings.SaveAll();
  settings.SkipSize = 1;
  settings.SaveLastAccount(-4);
  settings.SaveColumns({120, 80, 60}, {100, 90});
  TSettings loaded(&store);
  loaded.Load();
  EXPECT_EQ(loaded.SkipSize, 102400);
  EXPECT_EQ(loaded.LastAcct, 0);
  EXPECT_TRUE(loaded.HasColumns());

  std::vector<int> inbox(5, 1), killed(5, 1);
  loaded.ApplyColumns(inbox, killed);
  EXPECT_EQ(inbox, (std::vector<int>{120, 80, 60, 1, 1}));
  EXPECT_EQ(killed, (std::vector<int>{100, 90, 0, 1, 1}));
}

TEST_F(SettingsTest, HistoryKeepsHigherNumberedOldValues) {
  TSettings settings(&store);
  std::vector<std::string> list{"a@x.com", "b@x.com", "c@x.com"};
  settings.History(list, true);
  std::vector<std::string> shorter{"new@x.com"};
  settings.History(shorter, true);
  std::vector<std::string> read{"stale"};
  settings.History(read, false);
  EXPECT_EQ(read, (std::vector<std::string>{"new@x.com", "b@x.com", "c@x.com"}));
}

TEST_F(SettingsTest, FailedSaveLeavesTheTraceAndRaises) {
  TSettings settings(&store);
  settings.SaveAll();
  // Another process holding the store locked makes every write fail.
  sqlite3* other = nullptr;
  ASSERT_EQ(sqlite3_open((dir / "Registry.db").c_str(), &other), SQLITE_OK);
  ASSERT_EQ(sqlite3_exec(other, "BEGIN EXCLUSIVE", nullptr, nullptr, nullptr), SQLITE_OK);
  store.SetBusyTimeout(0);
  settings.SkipSize = 5;
  try {
    settings.Save(TSettings::TGroup::LastAccount);
    ADD_FAILURE() << "the save succeeded";
  } catch (const TError& e) {
    EXPECT_EQ(std::string(e.what()), "Could not save program settings.\rThe settings store \"" +
                                         dir / "Registry.db" +
                                         "\" cannot be read: database is locked.");
  }
  sqlite3_exec(other, "ROLLBACK", nullptr, nullptr, nullptr);
  sqlite3_close(other);
  const std::string trace = test::ReadFileText(dir / "Settings.log");
  const std::string key = TSettings::kKeyPath;
  EXPECT_EQ(trace.rfind(key + "\r\n", 0), 0u) << trace;
  EXPECT_EQ(trace.substr(trace.size() - key.size() - 2), key + "\r\n") << trace;
  // Nothing of the failed save reached the store.
  TSettings loaded(&store);
  loaded.Load();
  EXPECT_EQ(loaded.SkipSize, 102400);
}

TEST_F(SettingsTest, SaveOnAFullDiskSaysSoAndTheStoreWorksOnOnceThereIsRoom) {
  TSettings settings(&store);
  // A command line too long for the room left.
  settings.EmailClient = std::string(20000, 'x');
  store.LimitPages(1);
  try {
    settings.SaveAll();
    ADD_FAILURE() << "the save succeeded";
  } catch (const TError& e) {
    EXPECT_EQ(std::string(e.what()), "Could not save program settings.\rThe settings store \"" +
                                         dir / "Registry.db" +
                                         "\" could not be written: database or disk is full.");
  }
  store.LimitPages(1000000);
  settings.SaveAll();
  TSettings loaded(&store);
  loaded.Load();
  EXPECT_EQ(loaded.EmailClient, settings.EmailClient);
}

}  // namespace
}  // namespace tarnwell
