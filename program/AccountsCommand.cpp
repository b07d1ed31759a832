#include <unistd.h>

#include <cstdio>
#include <memory>
#include <optional>
#include <utility>

#include "accounts/AccountList.h"
#include "message/QStrings.h"
#include "message/SvcString.h"
#include "platform/DateTime.h"
#include "platform/Registry.h"
#include "program/AccountOptions.h"
#include "program/CommandLine.h"
#include "program/CommandSupport.h"
#include "program/ConsoleUi.h"
#include "program/ListOutput.h"
#include "transport/AccountTest.h"
#include "transport/POP3Account.h"
#include "transport/Security.h"

namespace tarnwell {

namespace {

const char* const kUsage =
    "Usage: tarnwell [--home DIR] accounts list [--json]\n"
    "       tarnwell [--home DIR] accounts show DESCRIPTION [--json]\n"
    "       tarnwell [--home DIR] accounts add pop3 --description D --name N --email E\n"
    "                --pop3 HOST[:PORT] --user U --smtp HOST[:PORT] [OPTION...]\n"
    "       tarnwell [--home DIR] accounts set DESCRIPTION OPTION...\n"
    "       tarnwell [--home DIR] accounts remove [--delete-killed-mail] DESCRIPTION\n"
    "       tarnwell [--home DIR] accounts test DESCRIPTION\n"
    "list prints one line per account, fields separated by tabs: the position, \"yes\" or\n"
    "\"no\" for active, the description, the account type, the connection, the e-mail\n"
    "address, the security of the incoming and the outgoing server, the incoming server and\n"
    "the user name on it. add and set print the account's line afterwards; set changes only\n"
    "the settings given. show prints every setting of the account but its passwords, one\n"
    "\"name<TAB>value\" line each, named as the settings store names them (\"OnSpam/Sound\"\n"
    "for a value of an event).\n"
    "remove takes the description exactly as listed. An account that holds Killed Mail is\n"
    "removed with it only with --delete-killed-mail, or when confirmed on the terminal.\n"
    "test logs in to the account's POP3 and SMTP servers and out again, touching no\n"
    "message, and tells what happened: status 0 when both logins succeeded, else 1.\n"
    "  --json            list: one JSON object per line; show: one object of all settings\n"
    "Options of add and set:\n"
    "  --description D   the account's name in Tarnwell (unique)\n"
    "  --name N          your full name, the sender name of complaints\n"
    "  --email E         your address on this account\n"
    "  --pop3 HOST:PORT  the incoming server (port 995 with tls, else 110, when left out)\n"
    "  --user U          the POP3 user name\n"
    "  --smtp HOST:PORT  the outgoing server (port 25, 465 with tls or 587 with starttls,\n"
    "                    when left out)\n"
    "  --smtp-auth, --no-smtp-auth\n"
    "                    the outgoing server wants a login, or not. The login is the POP3\n"
    "                    user and password; set keeps a login of its own that the\n"
    "                    account has\n"
    "  --spa, --no-spa   log in with Secure Password Authentication, or not\n"
    "  --pop3-security S, --smtp-security S\n"
    "                    tls (TLS from the start; the default for POP3), starttls (a plain\n"
    "                    connection upgraded with STLS or STARTTLS; the default for SMTP)\n"
    "                    or none. Changed alone, it moves a server on its old default port\n"
    "                    to the new default\n"
    "  --pin-pop3 SHA256, --pin-smtp SHA256\n"
    "                    accept exactly the certificate with this SHA-256 fingerprint (for\n"
    "                    a server whose certificate the system does not trust); none\n"
    "                    removes the pin\n"
    "  --timeout S       server timeout in seconds, 30 to 300 (default 60)\n"
    "  --interval I      when the schedule checks the account: every 1 to 59 minutes (10m),\n"
    "                    every 1 to 24 hours (2h), daily at a time (08:30) or manual\n"
    "                    (default 10m)\n"
    "  --active yes|no   whether the account is checked (default yes)\n"
    "  --password-stdin  read the password from the first line of standard input (from a\n"
    "                    terminal with the echo off); without it add asks on the terminal,\n"
    "                    and refuses when there is none\n"
    "Passwords are never taken from the command line, where other users could see them.\n";

const char* SecurityName(int32_t security) {
  switch (security) {
    case scTls: return "tls";
    case scStartTls: return "starttls";
    default: return "none";
  }
}

void PrintAccount(const TStoredAccount& account, TListOutput& output) {
  output.Number("position", account.Position)
      .Flag("active", account.Active)
      .Text("description", account.Description)
      .Named("type", account.TypeName, AccountTypeKeyword(account.Type))
      .Text("connection", account.ConnectionName)
      .Text("email", account.Email)
      .Named("pop3_security", SecurityName(account.POP3Security),
             SecurityName(account.POP3Security))
      .Named("smtp_security", SecurityName(account.SMTPSecurity),
             SecurityName(account.SMTPSecurity))
      .Text("pop3_server", account.POP3Server)
      .Text("pop3_user", account.POP3UserName)
      .EndLine();
}

void PrintAccountLine(std::string_view description) {
  TListOutput output(false);
  PrintAccount(FindStoredAccount(ReadStoredAccounts(), description), output);
}

// A stored value of an account as text (`json` false) or as a JSON value.
std::string StoredValueText(const TRegistry& key, const std::string& name, bool json) {
  const auto text = [json](const std::string& value) {
    return json ? JsonString(ListField(value)) : ListField(value);
  };
  switch (key.GetDataType(name)) {
    case TRegDataType::Integer: return std::to_string(key.ReadInteger(name));
    case TRegDataType::String: return text(key.ReadString(name));
    default: break;
  }
  const std::string data = key.ReadBinary(name);
  if (data.size() == 1) return std::to_string(static_cast<unsigned char>(data[0]));
  if (data.size() == sizeof(double) && SameText(name, "LastCheck")) {
    const std::string date = IsoDateText(key.ReadFloat(name));
    return json && date.empty() ? "null" : text(date);
  }
  if (data.size() == sizeof(double) && SameText(name, "Time")) {
    // The interval of the schedule, or the time of day of a daily check.
    const auto seconds = static_cast<int64_t>(key.ReadFloat(name) * kSecondsPerDay + 0.5);
    char clock[48];
    std::snprintf(clock, sizeof clock, "%lld:%02lld:%02lld", static_cast<long long>(seconds / 3600),
                  static_cast<long long>(seconds / 60 % 60), static_cast<long long>(seconds % 60));
    return text(clock);
  }
  std::string hex;
  for (const char c : data) {
    char digits[3];
    std::snprintf(digits, sizeof digits, "%02X", static_cast<unsigned char>(c));
    hex += digits;
  }
  return text(hex);
}

// Prints the values of the account key at `path` and of its sub-keys but the passwords, as
// "name<TAB>value" lines or as one JSON object.
void PrintStoredSettings(const std::string& path, bool json) {
  TRegistry key;
  if (!key.OpenKeyReadOnly(path)) throw TError("Could not retrieve account settings.");
  std::vector<std::pair<std::string, std::string>> values;
  const auto collect = [&](const std::string& prefix) {
    for (const std::string& name : key.GetValueNames()) {
      const std::string lower = LowerCase(name);
      if (lower.ends_with("password") || lower.ends_with("pass")) continue;
      values.emplace_back(prefix + name, StoredValueText(key, name, json));
    }
  };
  collect("");
  for (const std::string& sub : key.GetKeyNames()) {
    if (!key.OpenKeyReadOnly(path + "\\" + sub)) continue;
    collect(sub + "/");
  }
  std::string out;
  for (const auto& [name, value] : values) {
    if (json)
      out += (out.empty() ? "{" : ",") + JsonString(ListField(name)) + ":" + value;
    else
      out += ListField(name) + "\t" + value + "\n";
  }
  if (json) out += out.empty() ? "{}\n" : "}\n";
  std::fwrite(out.data(), 1, out.size(), stdout);
}

int AddAccount(const TCommandLine& line, TArguments& arguments) {
  const std::vector<std::string>& args = line.arguments;
  if (args.size() < 2 || args[1].rfind("--", 0) == 0)
    throw TUsageError("accounts add needs the account kind: pop3.");
  if (!SameText(args[1], "pop3"))
    throw TUsageError("only POP3 accounts can be added from the command line.");
  const TAccountOptions options = TakeAccountOptions(arguments);
  if (arguments.Operands().size() > 2) throw TUsageError("accounts add takes no more operands.");
  RequireNewAccountFields(options);
  if (!options.PasswordFromStdin && !::isatty(STDIN_FILENO))
    throw TUsageError(
        "accounts add needs the password: give it on standard input with --password-stdin, or "
        "run the command on a terminal.");

  TCommandSession session(line, TAccess::Change);
  TAccountList list;
  list.LoadAll();
  CheckAgainstList(options, list, -1);
  const std::string password = ReadPassword();
  std::unique_ptr<TPOP3Account> account = NewPOP3Account();
  ApplyAccountOptions(options, password, *account);
  const std::string description = account->Description;
  list.Add(std::move(account));
  PrintAccountLine(description);
  return 0;
}

// The position of the account in the loaded list; raises TUsageError when there is none.
int IndexOfDescription(const TAccountList& list, std::string_view description) {
  const std::string wanted = Trim(description);
  for (int i = 0; i < list.Count(); ++i)
    if (SameText(list.Items(i)->Description, wanted)) return i;
  throw TUsageError("There is no account with the description \"" + wanted + "\".");
}

// The position of the account whose description is exactly `description`; raises TUsageError
// when there is none, naming an account that differs in letter case only.
int IndexOfExactDescription(const TAccountList& list, const std::string& description) {
  for (int i = 0; i < list.Count(); ++i)
    if (list.Items(i)->Description == description) return i;
  const std::string none = "There is no account with the description \"" + description + "\"";
  for (int i = 0; i < list.Count(); ++i)
    if (SameText(list.Items(i)->Description, Trim(description)))
      throw TUsageError(none + "; remove takes it exactly as listed: \"" +
                        list.Items(i)->Description + "\".");
  throw TUsageError(none + ".");
}

int RemoveAccount(const TCommandLine& line, TArguments& arguments) {
  const bool deleteKilled = arguments.TakeFlag("--delete-killed-mail");
  const std::vector<std::string> operands = arguments.Operands();
  if (operands.size() != 2) throw TUsageError("accounts remove needs one description.");
  TCommandSession session(line, TAccess::Change);
  TAccountList list;
  list.LoadAll();
  const int index = IndexOfExactDescription(list, operands[1]);
  const TAccount& account = *list.Items(index);
  if (const int killed = account.Killed.Count(); killed > 0 && !deleteKilled) {
    const std::string holds = "The account \"" + account.Description + "\" holds " +
                              std::to_string(killed) + (killed == 1 ? " message" : " messages") +
                              " in Killed Mail";
    if (!::isatty(STDIN_FILENO))
      throw TUsageError(holds + "; give --delete-killed-mail to delete it with the account.");
    TConsoleDialogs dialogs(STDIN_FILENO, stderr);
    if (dialogs.Confirm(holds + ", which is deleted with it.\rAre you sure that you want to "
                                "delete this account?") != caYes) {
      std::fputs("tarnwell: the account was left as it was.\n", stderr);
      return 1;
    }
  }
  list.Remove(index);
  return 0;
}

int SetAccount(const TCommandLine& line, TArguments& arguments) {
  const TAccountOptions options = TakeAccountOptions(arguments);
  const std::vector<std::string> operands = arguments.Operands();
  if (operands.size() != 2) throw TUsageError("accounts set needs one description.");
  if (options == TAccountOptions())
    throw TUsageError("accounts set needs a setting to change; accounts --help lists them.");
  TCommandSession session(line, TAccess::Change);
  TAccountList list;
  list.LoadAll();
  const int index = IndexOfDescription(list, operands[1]);
  CheckAgainstList(options, list, index);
  std::optional<std::string> password;
  if (options.PasswordFromStdin) password = ReadPassword();
  ApplyAccountOptions(options, password, dynamic_cast<TPOP3Account&>(*list.Items(index)));
  list.Update(index);
  PrintAccountLine(list.Items(index)->Description);
  return 0;
}

// Changes nothing, but loading the accounts empties their Live Mail folders, which a running
// Tarnwell would miss: the test takes the folder as the changes do.
int TestAccount(const TCommandLine& line, TArguments& arguments) {
  const std::vector<std::string> operands = arguments.Operands();
  if (operands.size() != 2) throw TUsageError("accounts test needs one description.");
  TCommandSession session(line, TAccess::Change);
  TAccountList list;
  list.LoadAll();
  auto& account = dynamic_cast<TPOP3Account&>(*list.Items(IndexOfDescription(list, operands[1])));
  const bool passed = TestPOP3Account(account, [](const std::string& text) {
    std::printf("%s\n", ConsoleText(text).c_str());
    std::fflush(stdout);
  });
  return passed ? 0 : 1;
}

int ListAccounts(const TCommandLine& line, TArguments& arguments) {
  TListOutput output(arguments);
  if (arguments.Operands().size() != 1) throw TUsageError("accounts list takes no operands.");
  TCommandSession session(line, TAccess::Read);
  for (const TStoredAccount& account : ReadStoredAccounts()) PrintAccount(account, output);
  return 0;
}

int ShowAccount(const TCommandLine& line, TArguments& arguments) {
  const bool json = arguments.TakeFlag("--json");
  const std::vector<std::string> operands = arguments.Operands();
  if (operands.size() != 2) throw TUsageError("accounts show needs one description.");
  TCommandSession session(line, TAccess::Read);
  const TStoredAccount account = FindStoredAccount(ReadStoredAccounts(), operands[1]);
  PrintStoredSettings(std::string(TAccount::kAccountsKey) + "\\" + account.KeyName(), json);
  return 0;
}

int Accounts(const TCommandLine& line, TArguments& arguments) {
  const std::string verb = line.arguments.empty() ? std::string() : line.arguments.front();
  if (verb == "list") return ListAccounts(line, arguments);
  if (verb == "show") return ShowAccount(line, arguments);
  if (verb == "add") return AddAccount(line, arguments);
  if (verb == "remove") return RemoveAccount(line, arguments);
  if (verb == "set") return SetAccount(line, arguments);
  if (verb == "test") return TestAccount(line, arguments);
  throw TUsageError(verb.empty() ? "accounts needs list, show, add, remove, set or test."
                                 : "unknown accounts command \"" + verb + "\".");
}

}  // namespace

int RunAccounts(const TCommandLine& line) { return RunGuarded(kUsage, Accounts, line); }

}  // namespace tarnwell
