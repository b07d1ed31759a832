#include <cstdio>
#include <cstring>
#include <memory>

#include "accounts/Account.h"
#include "filtering/FilterList.h"
#include "message/Emails.h"
#include "message/MessageText.h"
#include "message/SvcString.h"
#include "platform/Error.h"
#include "platform/Files.h"
#include "platform/Registry.h"
#include "program/CommandLine.h"
#include "program/CommandSupport.h"
#include "shell/LogFile.h"
#include "shell/ProgramFolders.h"
#include "shell/Settings.h"

namespace tarnwell {

namespace {

const char* const kUsage =
    "Usage: tarnwell [--home DIR] classify [--log] FILE...\n"
    "Classifies each file, one message in RFC 5322 form, with the filters of the program\n"
    "folder and prints: the file name, a tab, the status, a tab and the deciding filter.\n"
    "  --log  write the filtering log block of each message to Tarnwell.log\n";

// The user's settings when the program has stored some; the defaults otherwise. Nothing is
// written to the store.
void LoadSettings(std::unique_ptr<TRegistryStore>& store, TSettings& settings) {
  const std::string file = TProgramFolders::ProgramFolder() + "Registry.db";
  if (!FileExists(file)) return;
  store = std::make_unique<TRegistryStore>(file);
  TSettings loaded(store.get());
  try {
    loaded.Load();
  } catch (const TError&) {
    // Values read before the first missing one are kept; the rest keep their defaults.
  }
  settings = loaded;
}

// The user and domain names of the configured accounts' addresses, read straight from the store
// (loading the accounts themselves would empty their Live Mail folders).
void ReadOwnNames(TRegistryStore* store, std::vector<std::string>& users,
                  std::vector<std::string>& domains) {
  if (!store) return;
  TRegistry accounts(*store);
  if (!accounts.OpenKeyReadOnly(TAccount::kAccountsKey)) return;
  for (const std::string& key : accounts.GetKeyNames()) {
    TRegistry account(*store);
    if (!account.OpenKeyReadOnly(std::string(TAccount::kAccountsKey) + "\\" + key) ||
        account.GetDataType("Email") != TRegDataType::String)
      continue;
    const std::string email = account.ReadString("Email");
    users.push_back(UserPart(email));
    domains.push_back(DomainPart(email));
  }
}

}  // namespace

int RunClassify(const TCommandLine& line) {
  bool log = false;
  std::vector<std::string> files;
  for (const std::string& arg : line.arguments) {
    if (arg == "--log")
      log = true;
    else if (arg == "--help" || arg == "-h") {
      std::fputs(kUsage, stdout);
      return 0;
    } else
      files.push_back(arg);
  }
  if (line.help) {
    std::fputs(kUsage, stdout);
    return 0;
  }
  if (files.empty()) {
    std::fputs(kUsage, stderr);
    return 2;
  }
  try {
    PrepareProgramFolder(line);
    std::unique_ptr<TRegistryStore> store;
    TSettings settings;
    LoadSettings(store, settings);
    InstallSettings(&settings);
    if (log) {
      // The log of a running program is continued, not replaced.
      ProgramLog().AssignFileName(TProgramFolders::ProgramFolder() + "Tarnwell.log");
      ProgramLog().SetEnabled(true);
      ProgramLog().LoadExisting();
    }
    TFilterList filters(TProgramFolders::ProgramFolder() + "Filters.dat");
    filters.Load(true);
    WarnOfDamage(filters);
    filters.SetLogging(log);
    std::vector<std::string> users, domains;
    ReadOwnNames(store.get(), users, domains);
    filters.SetOwnNames(std::move(users), std::move(domains));

    static char buffer[1 << 16];
    std::setvbuf(stdout, buffer, _IOFBF, sizeof buffer);
    int status = 0;
    std::string text;
    // The line strings of one message, and those left over from earlier ones, are reused for
    // the next, which saves an allocation per line.
    std::vector<std::string> lines, spare;
    for (const std::string& file : files) {
      if (!ReadWholeFile(file, text)) {
        std::printf("%s\tError\tThe file cannot be read: %s.\n", file.c_str(),
                    std::strerror(errno));
        status = 2;
        continue;
      }
      TEmail email;
      email.Body = std::move(lines);
      ParseMessageText(text, email, &spare);
      const TClassification result = filters.Classify(email);
      const TFilter* decider = filters.Current();
      std::printf("%s\t%s\t%s\n", file.c_str(), TEmail::StatusName(result.Status).c_str(),
                  decider ? decider->Description().c_str() : "");
      lines = std::move(email.Body);
    }
    std::fflush(stdout);
    InstallSettings(nullptr);
    return status;
  } catch (const std::exception& e) {
    std::fflush(stdout);
    std::fprintf(stderr, "tarnwell: %s\n", e.what());
    InstallSettings(nullptr);
    return 2;
  }
}

}  // namespace tarnwell
