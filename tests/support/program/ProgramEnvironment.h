#pragma once

#include <memory>
#include <string>
#include <vector>

#include "accounts/AccountEvents.h"
#include "filtering/FilterList.h"
#include "platform/Registry.h"
#include "platform/Sound.h"
#include "shell/Settings.h"
#include "tests/support/TestSupport.h"

namespace tarnwell::test {

class TRecordingPlayer : public TSoundPlayer {
 public:
  bool PlayFile(const std::string& path) override {
    Played.push_back(path);
    return true;
  }
  std::vector<std::string> Played;
};

class TRecordingLauncher : public TEventLauncher {
 public:
  void SetAccount(TAccount* account) override {
    Account = account;
    Callers.push_back(account);
  }
  void Launch(const std::string& commandLine) override {
    Launched.push_back(commandLine);
    LaunchedFor.push_back(Account);
  }
  TAccount* Account = nullptr;
  std::vector<TAccount*> Callers;
  std::vector<std::string> Launched;
  std::vector<TAccount*> LaunchedFor;
};

// A program folder in a temporary folder with the shipped data files, the settings and a store,
// and a sound player and event launcher that only record; all installed while it lives.
class TProgramEnvironment {
 public:
  TProgramEnvironment();
  ~TProgramEnvironment();
  TProgramEnvironment(const TProgramEnvironment&) = delete;
  TProgramEnvironment& operator=(const TProgramEnvironment&) = delete;

  TTempDir dir;
  TSettings settings;
  std::unique_ptr<TRegistryStore> store;
  TRecordingPlayer player;
  TRecordingLauncher launcher;
};

// Filters as the user makes them (origin "User").
TFilter* AddFriend(TFilterList& list, const std::string& user, const std::string& domain);
TFilter* AddSubjectFilter(TFilterList& list, const std::string& text, uint8_t action);

}  // namespace tarnwell::test
