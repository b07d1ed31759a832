#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <optional>
#include <string_view>

#include "accounts/Account.h"
#include "filtering/FilterList.h"
#include "message/Emails.h"
#include "message/Mbox.h"
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
    "Usage: tarnwell [--home DIR] classify [--log] [--exit-status] SOURCE...\n"
    "Classifies messages with the filters of the program folder and prints one line for each:\n"
    "its name, a tab, the status, a tab and the deciding filter; a message or folder that\n"
    "cannot be read gets the status \"Error\" and the reason. A SOURCE is:\n"
    "  FILE           a file of one message in RFC 5322 form, named by the file name\n"
    "  -              one message read from standard input, named \"-\"\n"
    "  --maildir DIR  every message in the Maildir folder's cur/ and new/ (tmp/ and names\n"
    "                 that begin with a dot are left out), each named by its path\n"
    "  --mbox FILE    every message of the mbox file, named FILE:N, N counting from 1; a\n"
    "                 message begins after a \"From \" line at the start of the file or after\n"
    "                 an empty line, and \">From \" lines lose one \">\" (mboxrd)\n"
    "Options:\n"
    "  --log          write the filtering log block of each message to Tarnwell.log\n"
    "  --exit-status  for one FILE or -: end with the message's status, 0 good (Checked,\n"
    "                 Friend, Bounce), 1 Spam, 2 Possible spam, 3 an error of any kind, a\n"
    "                 wrong command line included, as for a procmail or maildrop filter\n"
    "Without --exit-status the command ends with 0, or with 2 when something could not be read\n"
    "or the command line is wrong.\n";

// The exit codes of --exit-status.
constexpr int kGood = 0;
constexpr int kSpam = 1;
constexpr int kPossibleSpam = 2;
constexpr int kError = 3;

int ExitCodeOf(uint8_t status) {
  switch (status) {
    case msSpam: return kSpam;
    case msPossibleSpam: return kPossibleSpam;
    default: return kGood;
  }
}

enum class TSourceKind { File, Input, Maildir, Mbox };

struct TSource {
  TSourceKind kind;
  std::string path;
};

struct TClassifyOptions {
  bool log = false;
  bool exitStatus = false;
  bool help = false;
  std::vector<TSource> sources;
};

// The value of "--name VALUE" or "--name=VALUE" at `i`, moving `i` past it; nothing when the
// argument is another.
std::optional<std::string> OptionValue(const std::vector<std::string>& args, size_t& i,
                                       std::string_view name) {
  const std::string& arg = args[i];
  if (arg.size() > name.size() && arg.starts_with(name) && arg[name.size()] == '=')
    return arg.substr(name.size() + 1);
  if (arg != name) return std::nullopt;
  if (++i >= args.size()) throw TUsageError(std::string(name) + " needs a value.");
  return args[i];
}

// Every argument is read before any is acted on, so that --exit-status applies to errors in
// those before it too.
void ParseClassifyArguments(const std::vector<std::string>& args, TClassifyOptions& options,
                            std::string& error) {
  bool optionsEnd = false;
  bool input = false;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (optionsEnd || arg == "-" || !arg.starts_with("-")) {
      if (!optionsEnd && arg == "-") {
        if (input && error.empty()) error = "standard input can be read only once.";
        input = true;
      }
      options.sources.push_back(
          {!optionsEnd && arg == "-" ? TSourceKind::Input : TSourceKind::File, arg});
      continue;
    }
    try {
      if (arg == "--")
        optionsEnd = true;
      else if (arg == "--log")
        options.log = true;
      else if (arg == "--exit-status")
        options.exitStatus = true;
      else if (arg == "--help" || arg == "-h")
        options.help = true;
      else if (const std::optional<std::string> dir = OptionValue(args, i, "--maildir"))
        options.sources.push_back({TSourceKind::Maildir, *dir});
      else if (const std::optional<std::string> mbox = OptionValue(args, i, "--mbox"))
        options.sources.push_back({TSourceKind::Mbox, *mbox});
      else
        throw TUsageError("unknown option \"" + arg + "\".");
    } catch (const TUsageError& e) {
      if (error.empty()) error = e.what();
    }
  }
  if (!error.empty()) return;
  if (options.sources.empty())
    error = "name a FILE, -, --maildir DIR or --mbox FILE.";
  else if (options.exitStatus &&
           (options.sources.size() > 1 || options.sources.front().kind == TSourceKind::Maildir ||
            options.sources.front().kind == TSourceKind::Mbox))
    error = "--exit-status takes exactly one message: one FILE or -.";
}

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

// Classifies messages one after another and prints a line for each.
class TClassifier {
 public:
  explicit TClassifier(TFilterList& filters) : filters_(filters) {}

  void Message(const std::string& name, std::string_view text) {
    TEmail email;
    email.Body = std::move(lines_);
    ParseMessageText(text, email, &spare_);
    const TClassification result = filters_.Classify(email);
    const TFilter* decider = filters_.Current();
    std::printf("%s\t%s\t%s\n", name.c_str(), TEmail::StatusName(result.Status).c_str(),
                decider ? decider->Description().c_str() : "");
    // The line strings of one message, and those left over from earlier ones, are reused for
    // the next, which saves an allocation per line.
    lines_ = std::move(email.Body);
    status_ = ExitCodeOf(result.Status);
  }

  void Error(const std::string& name, const std::string& reason) {
    std::printf("%s\tError\t%s\n", name.c_str(), reason.c_str());
    failed_ = true;
    status_ = kError;
  }
  void ReadError(const std::string& name, int error) {
    Error(name, std::string("The file cannot be read: ") + std::strerror(error) + ".");
  }

  void File(const std::string& path) {
    if (ReadWholeFile(path, text_))
      Message(path, text_);
    else
      ReadError(path, errno);
  }

  void Input() {
    if (ReadWholeDescriptor(STDIN_FILENO, text_))
      Message("-", text_);
    else
      Error("-", std::string("Standard input cannot be read: ") + std::strerror(errno) + ".");
  }

  void Maildir(const std::string& folder) {
    const std::string root = IncludeTrailingSlash(folder);
    if (!DirectoryExists(root + "cur") && !DirectoryExists(root + "new")) {
      Error(folder, "This is no Maildir folder: it has neither cur/ nor new/.");
      return;
    }
    for (const char* sub : {"cur/", "new/"})
      for (const std::string& name : ListFiles(root + sub, ""))
        if (!name.starts_with(".")) File(root + sub + name);
  }

  void Mbox(const std::string& path) {
    TMboxSplitter splitter;
    int number = 0;
    const auto take = [&](std::string_view message) {
      Message(path + ":" + std::to_string(++number), message);
    };
    const bool read =
        ReadFilePieces(path, [&](std::string_view piece) { splitter.Add(piece, take); });
    const int error = errno;
    splitter.Finish(take);
    if (!read)
      ReadError(path, error);
    else if (!splitter.IsMbox())
      Error(path, "This is no mbox file: it does not begin with a \"From \" line.");
  }

  [[nodiscard]] bool Failed() const { return failed_; }
  // The status of the last message, as --exit-status gives it.
  [[nodiscard]] int Status() const { return status_; }

 private:
  TFilterList& filters_;
  std::string text_;
  std::vector<std::string> lines_, spare_;
  bool failed_ = false;
  int status_ = kGood;
};

}  // namespace

int RunClassify(const TCommandLine& line) {
  TClassifyOptions options;
  std::string error;
  ParseClassifyArguments(line.arguments, options, error);
  if (options.help || line.help) {
    std::fputs(kUsage, stdout);
    return 0;
  }
  if (!error.empty()) {
    std::fprintf(stderr, "tarnwell: %s\n", error.c_str());
    return options.exitStatus ? kError : 2;
  }
  try {
    PrepareProgramFolder(line);
    std::unique_ptr<TRegistryStore> store;
    TSettings settings;
    LoadSettings(store, settings);
    InstallSettings(&settings);
    if (options.log) {
      // The log of a running program is continued, not replaced.
      ProgramLog().AssignFileName(TProgramFolders::ProgramFolder() + "Tarnwell.log");
      ProgramLog().SetEnabled(true);
      ProgramLog().LoadExisting();
    }
    TFilterList filters(TProgramFolders::ProgramFolder() + "Filters.dat");
    filters.Load(true);
    WarnOfDamage(filters);
    filters.SetLogging(options.log);
    std::vector<std::string> users, domains;
    ReadOwnNames(store.get(), users, domains);
    filters.SetOwnNames(std::move(users), std::move(domains));

    static char buffer[1 << 16];
    std::setvbuf(stdout, buffer, _IOFBF, sizeof buffer);
    TClassifier classifier(filters);
    for (const TSource& source : options.sources) {
      switch (source.kind) {
        case TSourceKind::File: classifier.File(source.path); break;
        case TSourceKind::Input: classifier.Input(); break;
        case TSourceKind::Maildir: classifier.Maildir(source.path); break;
        case TSourceKind::Mbox: classifier.Mbox(source.path); break;
      }
    }
    std::fflush(stdout);
    InstallSettings(nullptr);
    if (options.exitStatus) return classifier.Status();
    return classifier.Failed() ? 2 : 0;
  } catch (const std::exception& e) {
    std::fflush(stdout);
    std::fprintf(stderr, "tarnwell: %s\n", e.what());
    InstallSettings(nullptr);
    return options.exitStatus ? kError : 2;
  }
}

}  // namespace tarnwell
