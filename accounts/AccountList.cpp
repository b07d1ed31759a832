#include "accounts/AccountList.h"

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>

#include "accounts/AccountKinds.h"
#include "filtering/FilterList.h"
#include "message/QStrings.h"
#include "message/SvcString.h"
#include "platform/DateTime.h"
#include "platform/Files.h"
#include "platform/Registry.h"
#include "shell/LogFile.h"
#include "shell/ProgramFolders.h"
#include "shell/Settings.h"

namespace tarnwell {

namespace {

void Log(const std::string& text) { ProgramLog().Add(text); }

std::string TenDigits(int32_t id) {
  char name[16];
  std::snprintf(name, sizeof name, "%010d", id);
  return name;
}

std::string AccountFolder(int32_t id) { return TProgramFolders::AccountsFolder() + TenDigits(id); }

bool IsFolder(const std::string& path) {
  struct stat st;
  return ::lstat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

// Deletes the plain files of a folder without entering its sub-folders, then the folder.
void DeleteFolder(const std::string& path) {
  if (DIR* dir = ::opendir(path.c_str())) {
    std::vector<std::string> names;
    while (const dirent* entry = ::readdir(dir)) {
      const std::string name = entry->d_name;
      if (name != "." && name != "..") names.push_back(name);
    }
    ::closedir(dir);
    for (const std::string& name : names)
      if (!IsFolder(path + "/" + name)) ::unlink((path + "/" + name).c_str());
  }
  ::rmdir(path.c_str());
}

std::string FileTimeText(std::time_t time) { return ShortDateTimeText(UnixToLocalDateTime(time)); }

void VisitFolder(const std::string& path) {
  Log("  " + path);
  DIR* dir = ::opendir(path.c_str());
  if (!dir) throw TError("The folder \"" + path + "\" cannot be read.");
  std::vector<std::string> folders;
  int files = 0;
  std::time_t oldest = 0;
  std::time_t newest = 0;
  while (const dirent* entry = ::readdir(dir)) {
    const std::string name = entry->d_name;
    if (name == "." || name == "..") continue;
    struct stat st;
    if (::lstat((path + "/" + name).c_str(), &st) != 0) continue;
    if (S_ISDIR(st.st_mode)) {
      if (name.front() != '.') folders.push_back(name);
    } else {
      if (files == 0 || st.st_mtime < oldest) oldest = st.st_mtime;
      if (files == 0 || st.st_mtime > newest) newest = st.st_mtime;
      ++files;
    }
  }
  ::closedir(dir);
  if (!folders.empty()) {
    for (const std::string& name : folders) VisitFolder(path + "/" + name);
    return;
  }
  std::string line = "    Files: " + std::to_string(files);
  if (files > 0) line += ", Oldest: " + FileTimeText(oldest) + ", Newest: " + FileTimeText(newest);
  Log(line);
}

}  // namespace

TAccountList::~TAccountList() = default;

TAccount* TAccountList::Items(int index) const {
  return index >= 0 && index < Count() ? accounts_[static_cast<size_t>(index)].get() : nullptr;
}

void TAccountList::Init(TFilterList* filterList) {
  FilterList = filterList;
  UserNames.clear();
  Domains.clear();
  LoadAll();
  SaveAll();
  for (const auto& account : accounts_) {
    const int32_t id = account->ID;
    if (FoldersExist(id)) continue;
    // An account's folder set is completed, never wiped: its Killed Mail may still be there.
    const std::string folder = AccountFolder(id);
    ForceDirectories(folder + "/Inbox");
    ForceDirectories(folder + "/Killed");
    if (!FoldersExist(id))
      throw TError("Could not create file folders for the account. (ID: " + std::to_string(id) +
                   ")");
  }
  if (ProgramLog().Enabled()) TraverseFolders();
  Errors.clear();
  BatchErrors.clear();
  HandOwnNames();
}

void TAccountList::HandOwnNames() {
  if (FilterList) FilterList->SetOwnNames(UserNames, Domains);
}

bool TAccountList::ReadNextID(TRegistry& registry) {
  if (registry.GetDataType("NextAcctID") != TRegDataType::Integer) return false;
  NextAcctID = registry.ReadInteger("NextAcctID");
  return true;
}

void TAccountList::WriteNextID(TRegistry& registry) {
  try {
    if (!registry.OpenKey(TAccount::kAccountsKey, true)) throw TError("");
    registry.WriteInteger("NextAcctID", NextAcctID);
  } catch (const std::exception& error) {
    throw ErrorWithReason("Could not save account settings.", error);
  }
}

void TAccountList::LoadAll() {
  UserNames.clear();
  Domains.clear();
  accounts_.clear();
  foreignKeys_.clear();
  try {
    TRegistry registry;
    const bool opened = registry.OpenKey(TAccount::kAccountsKey, false);
    if (!opened || !ReadNextID(registry)) {
      NextAcctID = 1;
      WriteNextID(registry);
    }
    for (const std::string& name : registry.GetKeyNames()) {
      TRegistry key;
      if (!key.OpenKey(std::string(TAccount::kAccountsKey) + "\\" + name, false)) continue;
      const int32_t type = key.ReadInteger("Type");
      std::unique_ptr<TAccount> created =
          type >= 0 && type <= 255 ? CreateAccountOfKind(static_cast<uint8_t>(type)) : nullptr;
      if (!created) {
        // A kind this program lacks: its key is left as it is and its ID stays taken.
        Log("Skipping the account settings \"" + name + "\" of unknown type " +
            std::to_string(type));
        foreignKeys_.push_back(name);
        continue;
      }
      TAccount& account = *created;
      accounts_.push_back(std::move(created));
      account.Load(key);
      UserNames.push_back(UserPart(account.Email));
      Domains.push_back(DomainPart(account.Email));
      account.FilterList = FilterList;
      Attach(account);
    }
  } catch (const std::exception&) {
    throw TError("Could not retrieve account settings.");
  }
}

void TAccountList::SaveAll() {
  try {
    TRegistryStore& store = TRegistryStore::Current();
    // One transaction: a crash or a failed write leaves the accounts as they were stored.
    TRegistryTransaction transaction(store);
    TRegistry registry(store);
    if (!registry.OpenKey(TAccount::kAccountsKey, true)) throw TError("");
    for (const std::string& name : registry.GetKeyNames()) {
      bool foreign = false;
      for (const std::string& key : foreignKeys_) foreign = foreign || SameText(key, name);
      if (!foreign) registry.DeleteKey(name);
    }
    for (const auto& account : accounts_) account->Save(registry);
    WriteNextID(registry);
    transaction.Commit();
  } catch (const std::exception& error) {
    throw ErrorWithReason("Could not save account settings.", error);
  }
}

bool TAccountList::IdInUse(int32_t id) const {
  for (const auto& account : accounts_)
    if (account->ID == id) return true;
  const std::string name = TenDigits(id);
  for (const std::string& key : foreignKeys_)
    if (key == name) return true;
  return false;
}

void TAccountList::Add(std::unique_ptr<TAccount> account) {
  int32_t id = NextAcctID;
  // IDs of listed accounts are never given again, whatever their folders look like, so that
  // making the new folders cannot wipe another account's mail.
  while (IdInUse(id) || (FoldersExist(id) && id - NextAcctID <= 100)) ++id;
  if (!CreateFolders(id)) {
    RemoveFolders(id);
    throw TError("Could not create file folders for the account.");
  }
  account->SetID(id);
  const int32_t oldNextID = NextAcctID;
  const size_t oldCount = accounts_.size();
  try {
    TAccount& added = *account;
    accounts_.push_back(std::move(account));
    added.FilterList = FilterList;
    Attach(added);
    UserNames.push_back(UserPart(added.Email));
    Domains.push_back(DomainPart(added.Email));
    NextAcctID = id + 1;
    SaveAll();
  } catch (const std::exception& error) {
    NextAcctID = oldNextID;
    accounts_.resize(oldCount);
    UserNames.resize(oldCount);
    Domains.resize(oldCount);
    throw ErrorWithReason("Could not save account settings.", error);
  }
  HandOwnNames();
}

void TAccountList::Update(int index) {
  TAccount* account = Items(index);
  if (!account) throw TError("Could not update account settings.");
  account->DetermineNextCheck();
  try {
    TRegistryStore& store = TRegistryStore::Current();
    TRegistryTransaction transaction(store);
    TRegistry registry(store);
    if (!registry.OpenKey(TAccount::kAccountsKey, false)) throw TError("");
    account->Save(registry);
    registry.CloseKey();
    transaction.Commit();
    UserNames.at(static_cast<size_t>(index)) = UserPart(account->Email);
    Domains.at(static_cast<size_t>(index)) = DomainPart(account->Email);
  } catch (const std::exception& error) {
    throw ErrorWithReason("Could not update account settings.", error);
  }
  HandOwnNames();
}

void TAccountList::Remove(int index) {
  TAccount* account = Items(index);
  if (!account) throw TError("Could not remove account settings.");
  if (!RemoveFolders(account->ID)) throw TError("Could not remove the account's file folders.");
  try {
    if (Current == account) Current = nullptr;
    accounts_.erase(accounts_.begin() + index);
    UserNames.erase(UserNames.begin() + index);
    Domains.erase(Domains.begin() + index);
  } catch (const std::exception& error) {
    throw ErrorWithReason("Could not remove account settings.", error);
  }
  HandOwnNames();
  SaveAll();
}

bool TAccountList::FoldersExist(int32_t id) const {
  const std::string folder = AccountFolder(id);
  return DirectoryExists(folder) && DirectoryExists(folder + "/Inbox") &&
         DirectoryExists(folder + "/Killed");
}

bool TAccountList::CreateFolders(int32_t id) {
  ForceDirectories(TProgramFolders::AccountsFolder());
  const std::string folder = AccountFolder(id);
  if (DirectoryExists(folder) && !RemoveFolders(id)) return false;
  const bool made = CreateDir(folder);
  const bool inbox = CreateDir(folder + "/Inbox");
  const bool killed = CreateDir(folder + "/Killed");
  return made && inbox && killed;
}

bool TAccountList::RemoveFolders(int32_t id) {
  const std::string folder = AccountFolder(id);
  DeleteFolder(folder + "/Inbox");
  DeleteFolder(folder + "/Killed");
  DeleteFolder(folder);
  return !DirectoryExists(folder);
}

void TAccountList::TraverseFolders() {
  Log("Init: Traversing account folders");
  try {
    VisitFolder(TProgramFolders::ProgramFolder() + "Accounts");
  } catch (const std::exception& error) {
    Log(std::string("Init: Error during account folder traversal: ") + error.what());
  }
  Log("Init: Done traversing account folders");
}

void TAccountList::Attach(TAccount& account) {
  const auto relay = [this](TAccountNotify TAccountList::*notify) {
    return [this, notify](TAccount& a) {
      if (this->*notify) (this->*notify)(a);
    };
  };
  account.OnLoginIncoming = relay(&TAccountList::OnLoginIncoming);
  account.OnReadingList = relay(&TAccountList::OnReadingList);
  account.OnReadingBodies = relay(&TAccountList::OnReadingBodies);
  account.OnFiltering = relay(&TAccountList::OnFiltering);
  account.OnProgress = relay(&TAccountList::OnProgress);
  account.OnLogoutIncoming = relay(&TAccountList::OnLogoutIncoming);
  account.OnLoginOutgoing = relay(&TAccountList::OnLoginOutgoing);
  account.OnLogoutOutgoing = relay(&TAccountList::OnLogoutOutgoing);
  account.OnCancel = [this](TAccount&) { Stop(); };
  account.OnError = [this](const std::exception& error) {
    AddError(error);
    if (OnError) OnError(error);
  };
  account.OnSendError = [this, &account](const std::exception& error) {
    // The queue is emptied after a check whatever was sent, so what is unsent now is lost.
    AddError(error, account.UnsentCount());
    if (OnSendError) OnSendError(error);
  };
  account.OnSending = [this](TEmail& message, int position, int count) {
    if (OnSending) OnSending(message, position, count);
  };
  account.OnSent = [this](TEmail& message, int position, int count) {
    if (OnSent) OnSent(message, position, count);
  };
}

void TAccountList::AddError(const std::exception& error, int32_t unsent) {
  if (Current) Errors.push_back("Account: \"" + Current->Description + "\"");
  Errors.push_back(std::string("Error: ") + error.what());
  Errors.emplace_back();
  TBatchError& added = BatchErrors.emplace_back();
  if (Current) {
    added.AccountID = Current->ID;
    added.Account = Current->Description;
  }
  added.Text = error.what();
  if (const TServerPlace* place = ServerPlaceOf(error)) added.Server = *place;
  added.UnsentComplaints = unsent;
}

int32_t TAccountList::ActiveIndex(int n) const {
  int seen = 0;
  for (int i = 0; i < Count(); ++i) {
    if (!accounts_[static_cast<size_t>(i)]->Active) continue;
    if (seen++ == n) return i;
  }
  return -1;
}

int32_t TAccountList::ActivePosition(const std::string& description) const {
  int32_t active = 0;
  for (const auto& account : accounts_) {
    if (account->Description == description) return active;
    if (account->Active) ++active;
  }
  return -1;
}

bool TAccountList::HasEmail(const std::string& address) const {
  const std::string wanted = Trim(address);
  for (const auto& account : accounts_)
    if (SameText(account->Email, wanted)) return true;
  return false;
}

bool TAccountList::HasDescription(const std::string& text) const {
  const std::string wanted = Trim(text);
  for (const auto& account : accounts_)
    if (SameText(account->Description, wanted)) return true;
  return false;
}

bool TAccountList::HasKind(uint8_t type) const {
  for (const auto& account : accounts_)
    if (account->Type == type) return true;
  return false;
}

TAccountSet TAccountList::ActiveSet() const {
  TAccountSet set;
  for (int i = 0; i < Count() && i < kMaxSelectable; ++i)
    if (accounts_[static_cast<size_t>(i)]->Active) set.set(static_cast<size_t>(i));
  return set;
}

int32_t TAccountList::InboxTotal() const {
  int32_t total = 0;
  for (const auto& account : accounts_)
    if (account->Active) total += account->Inbox.Count();
  return total;
}

int32_t TAccountList::PossibleTotal() const {
  int32_t total = 0;
  for (const auto& account : accounts_)
    if (account->Active) total += account->InboxPossibleSpam();
  return total;
}

int32_t TAccountList::NewTotal() const {
  int32_t total = 0;
  for (const auto& account : accounts_)
    if (account->Active) total += account->NewCount;
  return total;
}

int32_t TAccountList::NewPossibleTotal() const {
  int32_t total = 0;
  for (const auto& account : accounts_)
    if (account->Active) total += account->PossibleCount;
  return total;
}

int32_t TAccountList::NewSpamTotal() const {
  int32_t total = 0;
  for (const auto& account : accounts_)
    if (account->Active) total += account->SpamCount;
  return total;
}

std::string TAccountList::Summary() const {
  std::string text = " " + Capitalize(CountNoun(InboxTotal(), "message"));
  if (PossibleTotal() > 0) text += ", " + CountNoun(PossibleTotal(), "possible spam");
  if (SpamTotal > 0) text += ", " + CountNoun(SpamTotal, "spam");
  return " Halvora Tarnwell -" + text + " ";
}

void TAccountList::SetLogging(bool on) {
  Logging = on;
  ProgramLog().SetEnabled(on);
  ProgramLog().SetFileName(TProgramFolders::ProgramFolder() + "Tarnwell.log");
  for (const auto& account : accounts_) account->SetLogging(on);
}

void TAccountList::ResetCounters() {
  for (const auto& account : accounts_) {
    account->NewCount = account->FriendlyCount = account->PossibleCount = 0;
    account->SpamCount = account->SpamSinceReset = 0;
  }
  SpamTotal = 0;
}

int32_t TAccountList::PurgeOld() {
  try {
    const TSettings& settings = Settings();
    if (!settings.AutoPurge) return 1;
    const int32_t days = settings.AutoPurgeDays;
    int32_t count = 0;
    for (const auto& account : accounts_) count += account->PurgeKilled(days, false);
    if (count <= 0) return 1;
    if (settings.AutoPurgePrompt) {
      const std::string text = "Tarnwell has found " + std::to_string(count) +
                               " old messages in the Killed mail folders.\r\rDo you want to "
                               "delete these messages?";
      // Without a user interface to ask, the question counts as unanswered.
      const int answer = ConfirmPurge ? ConfirmPurge(text) : 3;
      if (answer != 1) return answer;
    }
    for (const auto& account : accounts_) account->PurgeKilled(days, true);
  } catch (...) {
  }
  return 1;
}

void TAccountList::ForwardKilled(TAccount& account, const std::vector<int>& positions,
                                 bool includeHeaders, const std::string& copyTo,
                                 const TAccountSet& targets) {
  static const char* const kForwardedHeaders[] = {
      "Return-Path", "Message-Id",   "Date",         "From",
      "To",          "Reply-To",     "Sender",       "Cc",
      "Subject",     "MIME-Version", "Content-Type", "Content-Transfer-Encoding",
      "Priority"};
  const int count = static_cast<int>(positions.size());
  for (int order = 1; order <= count; ++order) {
    if (OnForwarding) OnForwarding(*this, order, count);
    TEmail& killed = *account.Killed[positions[static_cast<size_t>(order - 1)]];
    struct TRelease {
      TEmail& email;
      ~TRelease() { email.ClearBody(); }
    } release{killed};
    killed.ReloadHeaders();
    killed.StripStatusHeaders();
    killed.LoadBody();

    TEmail message;
    message.From = "\"" + account.Name + "\" <" + account.Email + ">";
    for (int i = 0; i < Count() && i < kMaxSelectable; ++i)
      if (targets.test(static_cast<size_t>(i)))
        message.To.push_back(accounts_[static_cast<size_t>(i)]->Email);
    if (!copyTo.empty()) (message.To.empty() ? message.To : message.Cc).push_back(copyTo);
    message.Subject = killed.Subject;
    for (const char* name : kForwardedHeaders)
      for (int line = 0; line < killed.Headers.Count(); ++line)
        if (SameText(killed.Headers.NameAt(line), name)) message.Headers.Add(killed.Headers[line]);
    if (includeHeaders) {
      message.Body = killed.Headers.Lines();
      message.Body.emplace_back();
    }
    message.Body.insert(message.Body.end(), killed.Body.begin(), killed.Body.end());
    message.BodyState = TEmail::bsRetrieved;
    message.BodyLoaded = true;

    if (OnSending) OnSending(message, order, count);
    account.ForwardMessage(message);
    if (OnSent) OnSent(message, order, count);
  }
}

void TAccountList::RestoreKilled(TAccount& account, const std::vector<int>& positions) {
  for (const int position : positions) account.RestoreMessage(*account.Killed[position]);
}

}  // namespace tarnwell
