#include "program/CommandSupport.h"

#include <algorithm>
#include <cstdio>

#include "accounts/Account.h"
#include "accounts/AccountKinds.h"
#include "filtering/FilterList.h"
#include "message/QStrings.h"
#include "platform/Registry.h"
#include "platform/SingleInstance.h"
#include "program/CommandLine.h"
#include "program/ConsoleUi.h"
#include "program/DisplayText.h"
#include "shell/ErrorReport.h"
#include "shell/ProgramFolders.h"
#include "transport/POP3Account.h"

namespace tarnwell {

std::optional<std::string> TArguments::TakeValue(std::string_view name) {
  std::optional<std::string> value;
  const std::string prefix = std::string(name) + "=";
  for (size_t i = 0; i < args_.size();) {
    std::optional<std::string> found;
    size_t used = 0;
    if (args_[i] == name) {
      if (i + 1 >= args_.size()) throw TUsageError(std::string(name) + " needs a value.");
      found = args_[i + 1];
      used = 2;
    } else if (args_[i].rfind(prefix, 0) == 0) {
      found = args_[i].substr(prefix.size());
      used = 1;
    }
    if (!found) {
      ++i;
      continue;
    }
    if (value) throw TUsageError(std::string(name) + " is given twice.");
    value = std::move(found);
    args_.erase(args_.begin() + static_cast<std::ptrdiff_t>(i),
                args_.begin() + static_cast<std::ptrdiff_t>(i + used));
  }
  return value;
}

bool TArguments::TakeFlag(std::string_view name) {
  const auto it = std::find(args_.begin(), args_.end(), name);
  if (it == args_.end()) return false;
  args_.erase(it);
  if (std::find(args_.begin(), args_.end(), name) != args_.end())
    throw TUsageError(std::string(name) + " is given twice.");
  return true;
}

std::vector<std::string> TArguments::Operands() const {
  for (const std::string& arg : args_)
    if (arg.size() > 2 && arg.rfind("--", 0) == 0)
      throw TUsageError("unknown option \"" + arg + "\".");
  return args_;
}

TCommandSession::TCommandSession(const TCommandLine& line, TAccess access) {
  PrepareProgramFolder(line);
  if (access == TAccess::Change) {
    const std::string& folder = TProgramFolders::ProgramFolder();
    instance_ =
        std::make_unique<TSingleInstance>(InstanceLockPath(folder), InstanceSocketPath(folder));
    if (!instance_->Acquire([](int32_t) {}))
      throw TError(
          "Tarnwell is running with this program folder; end it first, or it would undo the "
          "change when it saves.");
  }
  store_ = std::make_unique<TRegistryStore>(TProgramFolders::ProgramFolder() + "Registry.db");
  TRegistryStore::Install(store_.get());
  TSettings loaded(store_.get());
  try {
    loaded.Load();
  } catch (const TError&) {
    // A store without settings yet, or with only some: the rest keep their defaults.
  }
  settings_ = loaded;
  InstallSettings(&settings_);
  RegisterPOP3Account();
}

TCommandSession::~TCommandSession() {
  InstallSettings(nullptr);
  TRegistryStore::Install(nullptr);
}

std::string TStoredAccount::KeyName() const {
  char name[16];
  std::snprintf(name, sizeof name, "%010d", ID);
  return name;
}

std::string TStoredAccount::Folder() const {
  return TProgramFolders::AccountsFolder() + KeyName() + "/";
}

std::string TStoredAccount::KilledFolder() const { return Folder() + "Killed"; }

std::vector<TStoredAccount> ReadStoredAccounts() {
  std::vector<TStoredAccount> accounts;
  try {
    TRegistry registry;
    if (!registry.OpenKeyReadOnly(TAccount::kAccountsKey)) return accounts;
    for (const std::string& name : registry.GetKeyNames()) {
      TRegistry key;
      if (!key.OpenKeyReadOnly(std::string(TAccount::kAccountsKey) + "\\" + name)) continue;
      const int32_t type = key.ReadInteger("Type");
      // The account list passes over kinds it cannot create; positions follow it.
      if (type < 0 || type > 255 || !IsAccountKindRegistered(static_cast<uint8_t>(type))) continue;
      TStoredAccount account;
      account.Position = static_cast<int>(accounts.size()) + 1;
      account.ID = key.ReadInteger("ID");
      account.Type = static_cast<uint8_t>(type);
      account.Active = key.ReadBool("Active");
      account.Description = key.ReadString("Description");
      account.Email = key.ReadString("Email");
      account.TypeName = AccountTypeName(account.Type);
      account.ConnectionName =
          key.ReadBool("DialUp") ? key.ReadString("Connection") : std::string("Direct connection");
      if (key.GetDataType("POP3Security") == TRegDataType::Integer)
        account.POP3Security = key.ReadInteger("POP3Security");
      if (key.GetDataType("SMTPSecurity") == TRegDataType::Integer)
        account.SMTPSecurity = key.ReadInteger("SMTPSecurity");
      if (key.GetDataType("POP3Server") == TRegDataType::String)
        account.POP3Server = key.ReadString("POP3Server");
      if (key.GetDataType("POP3UserName") == TRegDataType::String)
        account.POP3UserName = key.ReadString("POP3UserName");
      accounts.push_back(std::move(account));
    }
  } catch (const std::exception&) {
    throw TError("Could not retrieve account settings.");
  }
  return accounts;
}

std::vector<TStoredAccount> AccountsOrOne(const std::vector<std::string>& operands) {
  std::vector<TStoredAccount> accounts = ReadStoredAccounts();
  if (operands.size() >= 2) accounts = {FindStoredAccount(accounts, operands[1])};
  return accounts;
}

TStoredAccount FindStoredAccount(const std::vector<TStoredAccount>& accounts,
                                 std::string_view description) {
  const std::string wanted = Trim(description);
  for (const TStoredAccount& account : accounts)
    if (SameText(account.Description, wanted)) return account;
  throw TUsageError("There is no account with the description \"" + wanted + "\".");
}

std::string ListField(std::string_view text) { return CleanField(DisplayText(text)); }

int32_t ParseNumberArgument(std::string_view text, int32_t low, int32_t high,
                            std::string_view what) {
  int64_t value = 0;
  bool ok = !text.empty() && text.size() <= 10;
  for (const char c : text) {
    ok = ok && c >= '0' && c <= '9';
    if (ok) value = value * 10 + (c - '0');
  }
  if (!ok || value < low || value > high)
    throw TUsageError(std::string(what) + " must be a number from " + std::to_string(low) + " to " +
                      std::to_string(high) + ".");
  return static_cast<int32_t>(value);
}

void WarnOfDamage(const TFilterList& list) {
  if (list.LoadWarning().empty()) return;
  RecordWarning(list.LoadWarning());
  std::fflush(stdout);
  std::fprintf(stderr, "tarnwell: warning: %s\n", list.LoadWarning().c_str());
}

int RunGuarded(const char* usage, int (*body)(const TCommandLine&, TArguments&),
               const TCommandLine& line) {
  try {
    TArguments arguments(line.arguments);
    if (line.help || arguments.TakeFlag("--help") || arguments.TakeFlag("-h")) {
      std::fputs(usage, stdout);
      return 0;
    }
    return body(line, arguments);
  } catch (const TUsageError& error) {
    std::fflush(stdout);
    std::fprintf(stderr, "tarnwell: %s\n", error.what());
    return 2;
  } catch (const std::exception& error) {
    std::fflush(stdout);
    // A message and its reason are on lines of their own.
    std::fprintf(stderr, "tarnwell: %s\n", ConsoleText(error.what()).c_str());
    return 1;
  }
}

}  // namespace tarnwell
