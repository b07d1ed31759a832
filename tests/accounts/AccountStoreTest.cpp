#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

#include "message/SvcString.h"
#include "platform/DateTime.h"
#include "platform/Files.h"
#include "platform/Registry.h"
#include "shell/ProgramFolders.h"
#include "tests/accounts/AccountTestSupport.h"

namespace tarnwell {
namespace {

constexpr const char* kKey = "\\Software\\Halvora\\Tarnwell\\Accounts\\0000000007";

std::string Bytes(double value) {
  std::string bytes(sizeof value, '\0');
  std::memcpy(bytes.data(), &value, sizeof value);
  return bytes;
}

std::string Bytes(int32_t value) {
  const auto v = static_cast<uint32_t>(value);
  return {static_cast<char>(v), static_cast<char>(v >> 8), static_cast<char>(v >> 16),
          static_cast<char>(v >> 24)};
}

class AccountStoreTest : public test::AccountFixture {
 protected:
  [[nodiscard]] int64_t KeyId(const std::string& path) const {
    int64_t key = store->RootId();
    size_t start = 1;
    while (start <= path.size()) {
      const size_t end = std::min(path.find('\\', start), path.size());
      key = store->FindKey(key, path.substr(start, end - start));
      start = end + 1;
    }
    return key;
  }

  AccountStoreTest() : account(NewAccount(7, "Home mail")) {
    account->Active = false;
    account->Email = "me@example.com";
    account->Password = ScramblePassword("secret");
    account->DialUp = true;
    account->ForceDial = true;
    account->Connection = "Work";
    account->RasUserName = "dialer";
    account->RasPassword = "ras-secret";
    account->StayConnected = false;
    account->CheckTypes = 6;
    account->IntervalType = itHours;
    account->HoursInterval = 3.0 / 24.0;
    account->LastCheck = EncodeDateTime({2024, 3, 13, 17, 30, 0, 0});
    account->ForceRun = true;
    account->Inbox.NextID = 12;
    account->Killed.NextID = 34;
    account->Events[evSpam].SoundEnabled = true;
    account->Events[evSpam].Sound = "  /sounds/spam.wav ";
    account->Events[evFriendlyMail].AppEnabled = true;
    account->Events[evFriendlyMail].UseEmailApp = true;
    account->Events[evFriendlyMail].Application = " notify --friend\t";
  }

  void Save() {
    TRegistryTransaction transaction(*store);
    TRegistry registry(*store);
    account->Save(registry);
    transaction.Commit();
  }

  std::unique_ptr<test::TScriptedAccount> Reload() {
    auto loaded = std::make_unique<test::TScriptedAccount>();
    TRegistry registry(*store);
    EXPECT_TRUE(registry.OpenKey(kKey, false));
    loaded->Load(registry);
    return loaded;
  }

  std::unique_ptr<test::TScriptedAccount> account;
};

struct TStoredValue {
  const char* name;
  TRegDataType type;
  std::string data;
};

TEST_F(AccountStoreTest, SavedValuesHaveTheirNamesKindsAndBytesInOrder) {
  Save();
  const std::vector<TStoredValue> expected = {
      {"ID", TRegDataType::Integer, Bytes(7)},
      {"Type", TRegDataType::Integer, Bytes(1)},
      {"Active", TRegDataType::Integer, Bytes(0)},
      {"Description", TRegDataType::String, "Home mail"},
      {"Name", TRegDataType::String, "Me"},
      {"Email", TRegDataType::String, "me@example.com"},
      {"Password", TRegDataType::String, ScramblePassword("secret")},
      {"DialUp", TRegDataType::Integer, Bytes(1)},
      {"ForceDial", TRegDataType::Integer, Bytes(1)},
      {"Connection", TRegDataType::String, "Work"},
      {"StayConnected", TRegDataType::Integer, Bytes(0)},
      {"CheckTypes", TRegDataType::Binary, std::string(1, '\x06')},
      {"IntervalType", TRegDataType::Integer, Bytes(1)},
      {"Time", TRegDataType::Binary, Bytes(3.0 / 24.0)},
      {"LastCheck", TRegDataType::Binary, Bytes(account->LastCheck)},
      {"NextInboxID", TRegDataType::Integer, Bytes(12)},
      {"NextKilledID", TRegDataType::Integer, Bytes(34)},
      {"RasUserName", TRegDataType::String, "dialer"},
      {"RasPassword", TRegDataType::String, ScramblePassword("ras-secret")},
      {"ForceRun", TRegDataType::Integer, Bytes(1)},
  };
  TRegistry registry(*store);
  ASSERT_TRUE(registry.OpenKeyReadOnly(kKey));
  std::vector<std::string> names;
  for (const TStoredValue& value : expected) {
    names.push_back(value.name);
    SCOPED_TRACE(value.name);
    EXPECT_EQ(registry.GetDataType(value.name), value.type);
    std::string data;
    TRegDataType type;
    ASSERT_TRUE(store->ReadValue(KeyId(kKey), value.name, type, data));
    EXPECT_EQ(data, value.data);
  }
  EXPECT_EQ(registry.GetValueNames(), names);
  EXPECT_EQ(registry.GetKeyNames(),
            (std::vector<std::string>{"OnNewMail", "OnPossibleSpam", "OnSpam", "OnFriendlyMail"}));

  ASSERT_TRUE(registry.OpenKeyReadOnly(std::string(kKey) + "\\OnSpam"));
  EXPECT_EQ(registry.GetValueNames(),
            (std::vector<std::string>{"SoundEnabled", "Sound", "AppEnabled", "UseEmailApp",
                                      "Application"}));
  EXPECT_EQ(registry.ReadInteger("SoundEnabled"), 1);
  EXPECT_EQ(registry.ReadString("Sound"), "/sounds/spam.wav");
  ASSERT_TRUE(registry.OpenKeyReadOnly(std::string(kKey) + "\\OnFriendlyMail"));
  EXPECT_EQ(registry.ReadString("Application"), "notify --friend");
  EXPECT_EQ(registry.ReadInteger("UseEmailApp"), 1);
}

struct TIntervalCase {
  const char* name;
  uint8_t intervalType;
  double stored;  // the "Time" value
};
void PrintTo(const TIntervalCase& c, std::ostream* os) { *os << c.name; }

class IntervalStoreTest : public AccountStoreTest,
                          public ::testing::WithParamInterface<TIntervalCase> {};

TEST_P(IntervalStoreTest, TimeHoldsTheIntervalOfTheType) {
  const TIntervalCase& c = GetParam();
  account->IntervalType = c.intervalType;
  account->MinutesInterval = 25.0 / 1440.0;
  account->HoursInterval = 4.0 / 24.0;
  account->DailyTime = 18.5 / 24.0;
  Save();
  TRegistry registry(*store);
  ASSERT_TRUE(registry.OpenKeyReadOnly(kKey));
  EXPECT_EQ(registry.ReadFloat("Time"), c.stored);
  EXPECT_EQ(registry.ReadInteger("IntervalType"), c.intervalType);
  const auto loaded = Reload();
  EXPECT_EQ(loaded->IntervalType, c.intervalType);
  const test::TScriptedAccount defaults;
  EXPECT_EQ(loaded->MinutesInterval,
            c.intervalType == itMinutes ? c.stored : defaults.MinutesInterval);
  EXPECT_EQ(loaded->HoursInterval, c.intervalType == itHours ? c.stored : defaults.HoursInterval);
  EXPECT_EQ(loaded->DailyTime, c.intervalType == itDaily ? c.stored : defaults.DailyTime);
}

INSTANTIATE_TEST_SUITE_P(Types, IntervalStoreTest,
                         ::testing::Values(TIntervalCase{"Minutes", itMinutes, 25.0 / 1440.0},
                                           TIntervalCase{"Hours", itHours, 4.0 / 24.0},
                                           TIntervalCase{"Daily", itDaily, 18.5 / 24.0},
                                           TIntervalCase{"Manual", itManual, 0.0}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(AccountStoreTest, LoadReadsBackWhatSaveWrote) {
  Save();
  const auto loaded = Reload();
  EXPECT_EQ(loaded->ID, 7);
  EXPECT_FALSE(loaded->Active);
  EXPECT_EQ(loaded->Description, "Home mail");
  EXPECT_EQ(loaded->Email, "me@example.com");
  EXPECT_EQ(loaded->Password, ScramblePassword("secret"));
  EXPECT_EQ(loaded->RasPassword, "ras-secret");
  EXPECT_EQ(loaded->RasUserName, "dialer");
  EXPECT_TRUE(loaded->DialUp);
  EXPECT_TRUE(loaded->ForceDial);
  EXPECT_FALSE(loaded->StayConnected);
  EXPECT_EQ(loaded->Connection, "Work");
  EXPECT_EQ(loaded->CheckTypes, 6);
  EXPECT_EQ(loaded->LastCheck, account->LastCheck);
  EXPECT_TRUE(loaded->ForceRun);
  EXPECT_EQ(loaded->Inbox.NextID, 12);
  EXPECT_EQ(loaded->Killed.NextID, 34);
  EXPECT_EQ(loaded->Events[evSpam].Sound, "/sounds/spam.wav");
  EXPECT_TRUE(loaded->Events[evSpam].SoundEnabled);
  EXPECT_TRUE(loaded->Events[evFriendlyMail].UseEmailApp);
  EXPECT_EQ(loaded->Inbox.Folder(), account->FolderPath() + "Inbox");
  EXPECT_EQ(loaded->Killed.Folder(), account->FolderPath() + "Killed");
  EXPECT_EQ(loaded->NextCheck, clock.Now() + 3.0 / 24.0);
}

TEST_F(AccountStoreTest, MissingEventKeysAndForceRunLeaveDefaultsButABaseValueIsRequired) {
  Save();
  {
    TRegistry registry(*store);
    ASSERT_TRUE(registry.OpenKey(kKey, false));
    registry.DeleteValue("ForceRun");
    registry.DeleteKey("OnSpam");
    ASSERT_TRUE(registry.OpenKey(std::string(kKey) + "\\OnFriendlyMail", false));
    registry.DeleteValue("Application");
  }
  const auto loaded = Reload();
  const test::TScriptedAccount defaults;
  EXPECT_FALSE(loaded->ForceRun);
  EXPECT_EQ(loaded->Events[evSpam].Sound, defaults.Events[evSpam].Sound);
  EXPECT_FALSE(loaded->Events[evSpam].SoundEnabled);
  EXPECT_EQ(loaded->Events[evFriendlyMail].Application, "");
  EXPECT_TRUE(loaded->Events[evFriendlyMail].AppEnabled);

  TRegistry registry(*store);
  ASSERT_TRUE(registry.OpenKey(kKey, false));
  registry.DeleteValue("Connection");
  test::TScriptedAccount broken;
  EXPECT_THROW(broken.Load(registry), ERegistryError);
}

TEST_F(AccountStoreTest, DefaultsOfANewAccount) {
  const test::TScriptedAccount fresh;
  EXPECT_TRUE(fresh.Active);
  EXPECT_TRUE(fresh.StayConnected);
  EXPECT_EQ(fresh.CheckTypes, fresh.DialUp ? 6 : 5);
  EXPECT_EQ(fresh.IntervalType, itMinutes);
  EXPECT_DOUBLE_EQ(fresh.MinutesInterval * 1440, 10);
  EXPECT_DOUBLE_EQ(fresh.HoursInterval * 24, 2);
  EXPECT_DOUBLE_EQ(fresh.DailyTime, 0.5);
  EXPECT_DOUBLE_EQ(fresh.MinimumInterval * 1440, 1);
  EXPECT_EQ(fresh.Inbox.NextID, 1);
  EXPECT_EQ(fresh.Killed.NextID, 1);
  const char* const sounds[] = {"New mail 1.wav", "Possible spam 1.wav", "Spam 1.wav",
                                "Friend 1.wav"};
  for (int i = 0; i < 4; ++i) {
    EXPECT_EQ(fresh.Events[static_cast<size_t>(i)].Sound,
              TProgramFolders::SoundsFolder() + sounds[i]);
    EXPECT_FALSE(fresh.Events[static_cast<size_t>(i)].SoundEnabled);
  }
  EXPECT_EQ(fresh.TypeName(), "Internet (POP3)");
  EXPECT_EQ(fresh.ConnectionName(), fresh.DialUp ? "" : "Direct connection");
}

TEST_F(AccountStoreTest, NextIDsAndLastCheckAreWrittenAlone) {
  account->SaveSettings();
  account->Inbox.NextID = 50;
  account->Killed.NextID = 60;
  account->LastCheck = 45001.25;
  account->SaveNextIDs();
  account->SaveLastCheck();
  TRegistry registry(*store);
  ASSERT_TRUE(registry.OpenKeyReadOnly(kKey));
  EXPECT_EQ(registry.ReadInteger("NextInboxID"), 50);
  EXPECT_EQ(registry.ReadInteger("NextKilledID"), 60);
  EXPECT_EQ(registry.ReadFloat("LastCheck"), 45001.25);
}

TEST_F(AccountStoreTest, KilledNumbersNeverFallBehindTheFolder) {
  account->Mailbox = {Mail("s1", "eve@example.net", "viagra"),
                      Mail("s2", "eve@example.net", "viagra")};
  account->Check();
  ASSERT_EQ(account->Killed.Count(), 2);
  Save();
  // As after a crash before the numbers were stored: the store still says 1.
  TRegistry registry(*store);
  ASSERT_TRUE(registry.OpenKey(kKey, false));
  registry.WriteInteger("NextKilledID", 1);
  const auto loaded = Reload();
  ASSERT_EQ(loaded->Killed.Count(), 2);
  EXPECT_EQ(loaded->Killed.NextID, std::max(loaded->Killed[0]->ID, loaded->Killed[1]->ID) + 1);
}

}  // namespace
}  // namespace tarnwell
