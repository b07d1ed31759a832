#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "accounts/Account.h"
#include "accounts/AccountEvents.h"
#include "filtering/FilterList.h"
#include "platform/DialUp.h"
#include "platform/EventLoop.h"
#include "platform/Registry.h"
#include "platform/Sound.h"
#include "shell/Settings.h"
#include "tests/accounts/ScriptedAccount.h"
#include "tests/support/TestSupport.h"
#include "tests/support/VirtualTimeLoop.h"
#include "tests/support/program/ProgramEnvironment.h"

namespace tarnwell {
class TAccountList;
}

namespace tarnwell::test {

// Adds a scripted account of that description to the list, which gives it its ID and folders.
TScriptedAccount& AddScriptedAccount(TAccountList& list, const std::string& description,
                                     bool active = true);

// A dial-up service with two phone-book entries, "Work" and "Home"; dials and hang-ups go to
// a journal.
class TFakeDialUp : public TDialUp {
 public:
  explicit TFakeDialUp(std::vector<std::string>& journal) : journal_(journal) {}
  int RefreshEntries() override { return 0; }
  [[nodiscard]] const std::vector<std::string>& Entries() const override { return EntryNames; }
  int RefreshConnections() override { return 0; }
  [[nodiscard]] const std::vector<std::string>& Connections() const override { return Up; }
  int DialEntryAs(int index, const std::string& user, const std::string&) override {
    if (index < 0 || index >= static_cast<int>(EntryNames.size())) {
      journal_.push_back("dial unknown entry");
      return kNotAvailable;
    }
    journal_.push_back("dial " + EntryNames[static_cast<size_t>(index)] + " as " + user);
    if (DialFails) return 678;
    Up = {EntryNames[static_cast<size_t>(index)]};
    Dialed = Up.front();
    return 0;
  }
  int HangUpDialed() override {
    journal_.push_back("hang up " + Dialed);
    Up.clear();
    Dialed.clear();
    return 0;
  }
  [[nodiscard]] bool IsDialedConnected() override { return !Dialed.empty(); }
  [[nodiscard]] bool IsAnyConnected() override { return !Up.empty(); }

  std::vector<std::string> EntryNames{"Work", "Home"};
  std::vector<std::string> Up;
  std::string Dialed;
  bool DialFails = false;

 private:
  std::vector<std::string>& journal_;
};

// A program folder (TProgramEnvironment), a test clock and loop, and the real filter list with the
// system filters and a few user filters:
//   friend ann@friends.org; subject "viagra" kills, "lottery" marks, "complain" kills after
//   complaining. The user's own address is me@example.com.
class AccountFixture : public ::testing::Test, protected TProgramEnvironment {
 protected:
  AccountFixture();
  ~AccountFixture() override;

  // A scripted account with ID `id`, its folders made and pointed at.
  std::unique_ptr<TScriptedAccount> NewAccount(int32_t id, const std::string& description = "Acct");
  // A message from `from` to me@example.com.
  static TServerMessage Mail(const std::string& uid, const std::string& from,
                             const std::string& subject, const std::string& body = "Hello.\n");
  TFilter* AddSubjectFilter(const std::string& text, uint8_t action);
  // The program log's lines since the fixture started.
  [[nodiscard]] std::vector<std::string> LogLines() const;
  [[nodiscard]] bool Logged(const std::string& text) const;

  TManualClock clock;
  TVirtualTimeLoop loop{clock};
  std::unique_ptr<TFilterList> filters;
  TFilter* friendFilter = nullptr;
  TFilter* killFilter = nullptr;
  TFilter* markFilter = nullptr;
  TFilter* complainFilter = nullptr;
  TScriptedKind kind;
};

}  // namespace tarnwell::test
