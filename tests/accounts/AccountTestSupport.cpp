#include "tests/accounts/AccountTestSupport.h"

#include "accounts/AccountList.h"
#include "filtering/Filters.h"
#include "platform/DateTime.h"
#include "platform/Files.h"
#include "shell/LogFile.h"
#include "shell/ProgramFolders.h"

namespace tarnwell::test {

AccountFixture::AccountFixture() {
  clock.SetNow(EncodeDateTime({2024, 3, 14, 9, 0, 0, 0}));
  TEventLoop::Install(&loop);
  ProgramLog().SetEnabled(true);
  ProgramLog().SetFileName(dir / "Tarnwell.log");

  filters = std::make_unique<TFilterList>(dir / "Filters.dat");
  filters->Load(true);
  filters->AutoSave = false;
  filters->SetOwnNames({"me"}, {"example.com"});
  friendFilter = AddFriend(*filters, "ann", "friends.org");
  killFilter = AddSubjectFilter("viagra", acKill);
  markFilter = AddSubjectFilter("lottery", acMark);
  complainFilter = AddSubjectFilter("complain", acKillAfterComplaint);
  filters->Modified = false;
}

AccountFixture::~AccountFixture() {
  ProgramLog().SetEnabled(false);
  TEventLoop::Install(nullptr);
}

TFilter* AccountFixture::AddSubjectFilter(const std::string& text, uint8_t action) {
  return test::AddSubjectFilter(*filters, text, action);
}

TScriptedAccount& AddScriptedAccount(TAccountList& list, const std::string& description,
                                     bool active) {
  auto account = std::make_unique<TScriptedAccount>();
  account->Description = description;
  account->Email = "me@example.com";
  account->DialUp = false;
  account->Active = active;
  list.Add(std::move(account));
  return static_cast<TScriptedAccount&>(*list.Items(list.Count() - 1));
}

std::unique_ptr<TScriptedAccount> AccountFixture::NewAccount(int32_t id,
                                                             const std::string& description) {
  auto account = std::make_unique<TScriptedAccount>();
  account->Description = description;
  account->Name = "Me";
  account->Email = "me@example.com";
  account->DialUp = false;
  account->CheckTypes = 5;
  account->FilterList = filters.get();
  ForceDirectories(TProgramFolders::AccountsFolder());
  account->ID = id;
  ForceDirectories(account->FolderPath() + "Inbox");
  ForceDirectories(account->FolderPath() + "Killed");
  account->SetFolders();
  return account;
}

TServerMessage AccountFixture::Mail(const std::string& uid, const std::string& from,
                                    const std::string& subject, const std::string& body) {
  return {uid, "From: " + from + "\nTo: me@example.com\nSubject: " + subject +
                   "\nDate: Thu, 14 Mar 2024 08:00:00 +0000\nMessage-Id: <" + uid +
                   "@mail.example.net>\n\n" + body};
}

std::vector<std::string> AccountFixture::LogLines() const { return ProgramLog().Lines(); }

bool AccountFixture::Logged(const std::string& text) const {
  for (const std::string& line : LogLines())
    if (line.find("[" + text + "]") != std::string::npos) return true;
  return false;
}

}  // namespace tarnwell::test
