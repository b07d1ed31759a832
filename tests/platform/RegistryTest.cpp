#include <gtest/gtest.h>
#include <sqlite3.h>
#include <sys/stat.h>

#include <filesystem>
#include <functional>

#include "platform/Registry.h"
#include "tests/support/TestSupport.h"

namespace tarnwell {
namespace {

class RegistryTest : public ::testing::Test {
 protected:
  test::TTempDir dir;
  std::string file = dir / "Registry.db";
  std::unique_ptr<TRegistryStore> store = std::make_unique<TRegistryStore>(file);
};

TEST_F(RegistryTest, NewStoreIsPrivateToTheUser) {
  struct stat st;
  ASSERT_EQ(stat(file.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0600u);
}

TEST_F(RegistryTest, TypedReadsRaiseOnMissingAndMistypedValues) {
  TRegistry reg(*store);
  ASSERT_TRUE(reg.OpenKey("\\Software\\Halvora\\Tarnwell\\Settings", true));
  reg.WriteInteger("SkipSize", 102400);
  reg.WriteString("UserComplaint", "Standard user complaint");
  const uint8_t set = 0xFE;
  reg.WriteBinaryData("ActiveFilters", &set, 1);
  reg.WriteFloat("LastUpdateCheck", 45000.25);

  EXPECT_EQ(reg.ReadInteger("SkipSize"), 102400);
  EXPECT_EQ(reg.ReadString("UserComplaint"), "Standard user complaint");
  EXPECT_EQ(reg.ReadBinary("ActiveFilters"), std::string("\xFE", 1));
  EXPECT_DOUBLE_EQ(reg.ReadFloat("LastUpdateCheck"), 45000.25);

  EXPECT_THROW((void)reg.ReadInteger("Missing"), ERegistryError);
  EXPECT_THROW((void)reg.ReadString("SkipSize"), ERegistryError);
  EXPECT_THROW((void)reg.ReadInteger("UserComplaint"), ERegistryError);
  EXPECT_THROW((void)reg.ReadBinary("SkipSize"), ERegistryError);
  uint8_t two[2];
  EXPECT_THROW(reg.ReadBinaryData("ActiveFilters", two, 2), ERegistryError);
  EXPECT_THROW((void)reg.ReadFloat("ActiveFilters"), ERegistryError);
}

TEST_F(RegistryTest, NamesCompareWithoutCaseAndKeepTheirFirstSpelling) {
  TRegistry reg(*store);
  ASSERT_TRUE(reg.OpenKey("\\Software\\Halvora", true));
  reg.WriteInteger("NextAcctID", 1);
  reg.WriteInteger("NEXTACCTID", 7);
  EXPECT_EQ(reg.ReadInteger("nextacctid"), 7);
  EXPECT_EQ(reg.GetValueNames(), std::vector<std::string>{"NextAcctID"});
  EXPECT_TRUE(reg.ValueExists("nextAcctId"));

  TRegistry other(*store);
  ASSERT_TRUE(other.OpenKeyReadOnly("\\SOFTWARE\\halvora"));
  EXPECT_EQ(other.ReadInteger("NextAcctID"), 7);
  EXPECT_TRUE(other.KeyExists("\\software"));
}

TEST_F(RegistryTest, SubKeysListInCreationOrderAndValuesKeepTheirPlace) {
  TRegistry reg(*store);
  ASSERT_TRUE(reg.OpenKey("\\Accounts", true));
  for (const char* name : {"0000000003", "0000000001", "0000000002"}) {
    TRegistry sub(*store);
    ASSERT_TRUE(sub.OpenKey(std::string("\\Accounts\\") + name, true));
  }
  EXPECT_EQ(reg.GetKeyNames(),
            (std::vector<std::string>{"0000000003", "0000000001", "0000000002"}));
  reg.WriteString("b", "1");
  reg.WriteString("a", "2");
  reg.WriteString("B", "3");
  EXPECT_EQ(reg.GetValueNames(), (std::vector<std::string>{"b", "a"}));
  EXPECT_EQ(reg.ValueCount(), 2u);
}

TEST_F(RegistryTest, DeleteKeyRemovesEverythingBelow) {
  TRegistry reg(*store);
  ASSERT_TRUE(reg.OpenKey("\\Accounts\\0000000001\\Events\\NewMail", true));
  reg.WriteString("Sound", "ding.wav");
  ASSERT_TRUE(reg.OpenKey("\\Accounts\\0000000002", true));
  reg.WriteInteger("Type", 1);
  reg.CloseKey();
  EXPECT_TRUE(reg.DeleteKey("\\Accounts\\0000000001"));
  EXPECT_FALSE(reg.KeyExists("\\Accounts\\0000000001"));
  EXPECT_FALSE(reg.KeyExists("\\Accounts\\0000000001\\Events\\NewMail"));
  EXPECT_TRUE(reg.KeyExists("\\Accounts\\0000000002"));
  EXPECT_FALSE(reg.DeleteKey("\\Accounts\\0000000001"));
  // A key made again with the old name starts empty.
  ASSERT_TRUE(reg.OpenKey("\\Accounts\\0000000001\\Events\\NewMail", true));
  EXPECT_FALSE(reg.ValueExists("Sound"));
}

TEST_F(RegistryTest, OpenReadOnlyFailsWhenMissingAndRefusesWrites) {
  TRegistry reg(*store);
  EXPECT_FALSE(reg.OpenKeyReadOnly("\\Software\\Halvora\\Tarnwell\\Settings"));
  EXPECT_FALSE(reg.OpenKey("\\Software\\Halvora", false));
  ASSERT_TRUE(reg.OpenKey("\\Software\\Halvora", true));
  ASSERT_TRUE(reg.OpenKeyReadOnly("\\Software\\Halvora"));
  EXPECT_THROW(reg.WriteInteger("x", 1), ERegistryError);
  reg.CloseKey();
  EXPECT_THROW((void)reg.ReadInteger("x"), ERegistryError);
}

TEST_F(RegistryTest, LocalMachineIsEmptyAndReadOnly) {
  TRegistry reg(*store);
  reg.SetRootKey(TRootKey::LocalMachine);
  EXPECT_FALSE(reg.OpenKey("\\Software\\Halvora\\Tarnwell", true));
  EXPECT_FALSE(reg.OpenKeyReadOnly("\\Software"));
  EXPECT_FALSE(reg.KeyExists("\\Software"));
}

TEST_F(RegistryTest, RolledBackTransactionLeavesThePreviousState) {
  TRegistry reg(*store);
  ASSERT_TRUE(reg.OpenKey("\\Accounts\\0000000001", true));
  reg.WriteString("Description", "Home");
  reg.CloseKey();
  {
    TRegistryTransaction transaction(*store);
    EXPECT_TRUE(reg.DeleteKey("\\Accounts\\0000000001"));
    ASSERT_TRUE(reg.OpenKey("\\Accounts\\0000000002", true));
    reg.WriteString("Description", "Work");
    reg.CloseKey();
    // Leaving the scope without Commit rolls back.
  }
  EXPECT_TRUE(reg.KeyExists("\\Accounts\\0000000001"));
  EXPECT_FALSE(reg.KeyExists("\\Accounts\\0000000002"));
  ASSERT_TRUE(reg.OpenKeyReadOnly("\\Accounts\\0000000001"));
  EXPECT_EQ(reg.ReadString("Description"), "Home");
}

TEST_F(RegistryTest, CommittedTransactionSurvivesReopening) {
  {
    TRegistryTransaction outer(*store);
    TRegistry reg(*store);
    ASSERT_TRUE(reg.OpenKey("\\A", true));
    reg.WriteInteger("kept", 1);
    {
      TRegistryTransaction inner(*store);
      reg.WriteInteger("dropped", 2);
    }
    outer.Commit();
  }
  store.reset();
  store = std::make_unique<TRegistryStore>(file);
  TRegistry reg(*store);
  ASSERT_TRUE(reg.OpenKeyReadOnly("\\A"));
  EXPECT_TRUE(reg.ValueExists("kept"));
  EXPECT_FALSE(reg.ValueExists("dropped"));
}

void RunSql(const std::string& file, const char* sql) {
  sqlite3* db = nullptr;
  ASSERT_EQ(sqlite3_open(file.c_str(), &db), SQLITE_OK);
  EXPECT_EQ(sqlite3_exec(db, sql, nullptr, nullptr, nullptr), SQLITE_OK) << sqlite3_errmsg(db);
  sqlite3_close(db);
}

TEST(RegistryFileTest, BadFilesGiveAClearErrorAndAreNotOverwritten) {
  test::TTempDir dir;
  struct TCase {
    const char* what;
    // Makes the file at the path given.
    std::function<void(const std::string&)> spoil;
    const char* expected;
  };
  const auto sql = [](const char* statement, bool onStore) {
    return [statement, onStore](const std::string& file) {
      if (onStore) TRegistryStore fresh(file);
      RunSql(file, statement);
    };
  };
  const auto text = [](std::string content) {
    return [content](const std::string& file) { test::WriteFileText(file, content); };
  };
  const TCase cases[] = {
      {"not a database", text("This is not a database, but the user's own notes.\n"),
       "cannot be read"},
      {"empty file", text(""), "is damaged: it is empty"},
      {"truncated store",
       [](const std::string& file) {
         {
           TRegistryStore store(file);
           TRegistry reg(store);
           reg.OpenKey("\\Software\\Halvora\\Tarnwell\\Accounts", true);
           reg.WriteString("Filler", std::string(20000, 'x'));
         }
         std::filesystem::resize_file(file, 8192);
       },
       "cannot be read"},
      {"foreign database", sql("CREATE TABLE t(x)", false), "database of another program"},
      {"table dropped", sql("DROP TABLE reg_values", true), "is damaged"},
      {"table altered", sql("ALTER TABLE reg_keys ADD COLUMN extra", true), "is damaged"},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.what);
    const std::string file = dir / (std::string(c.what) + ".db");
    c.spoil(file);
    const std::string before = test::ReadFileText(file);
    try {
      TRegistryStore store(file);
      ADD_FAILURE() << "no error";
    } catch (const ERegistryError& e) {
      EXPECT_NE(std::string(e.what()).find(file), std::string::npos) << e.what();
      EXPECT_NE(std::string(e.what()).find(c.expected), std::string::npos) << e.what();
    }
    EXPECT_TRUE(test::ReadFileText(file) == before) << "the file was changed";
  }
  // Nothing was made beside the files: no new store, no journal.
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.Path()),
                          std::filesystem::directory_iterator()),
            std::ssize(cases));
}

}  // namespace
}  // namespace tarnwell
