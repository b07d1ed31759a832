#include "tests/support/program/ProgramEnvironment.h"

#include "filtering/DataFiles.h"
#include "filtering/Filters.h"
#include "message/DomainLists.h"
#include "shell/ProgramFolders.h"

namespace tarnwell::test {

TProgramEnvironment::TProgramEnvironment() {
  InstallSettings(&settings);
  TProgramFolders::SetProgramFolder(dir.Path());
  InstallDataFiles();
  LoadDomainLists(dir.Path());
  store = std::make_unique<TRegistryStore>(dir / "Registry.db");
  TRegistryStore::Install(store.get());
  TSoundPlayer::Install(&player);
  TEventLauncher::Install(&launcher);
}

TProgramEnvironment::~TProgramEnvironment() {
  TEventLauncher::Install(nullptr);
  TSoundPlayer::Install(nullptr);
  TRegistryStore::Install(nullptr);
  InstallSettings(nullptr);
}

TFilter* AddFriend(TFilterList& list, const std::string& user, const std::string& domain) {
  auto filter = std::make_unique<TFriendFilter>();
  filter->SetText1(user);
  filter->SetText2(domain);
  filter->Origin = orUser;
  return list.Add(std::move(filter));
}

TFilter* AddSubjectFilter(TFilterList& list, const std::string& text, uint8_t action) {
  auto filter = std::make_unique<TSubjectFilter>();
  filter->SetText1(text);
  filter->Condition1 = cnContains;
  filter->Action = action;
  filter->Origin = orUser;
  return list.Add(std::move(filter));
}

}  // namespace tarnwell::test
