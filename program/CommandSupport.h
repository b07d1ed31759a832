#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/Error.h"
#include "shell/Settings.h"

namespace tarnwell {

class TFilterList;
class TRegistryStore;
class TSingleInstance;
struct TCommandLine;

// Bad input on the command line: the command prints the text and ends with status 2.
class TUsageError : public TError {
 public:
  using TError::TError;
};

// The arguments of a command, taken one option at a time; what is left are its operands.
class TArguments {
 public:
  explicit TArguments(std::vector<std::string> args) : args_(std::move(args)) {}

  // "--name VALUE" or "--name=VALUE"; raises TUsageError when the value is missing or the
  // option is given twice.
  std::optional<std::string> TakeValue(std::string_view name);
  bool TakeFlag(std::string_view name);
  // The operands in order; raises TUsageError for an option no one took.
  std::vector<std::string> Operands() const;

 private:
  std::vector<std::string> args_;
};

enum class TAccess { Read, Change };

// What the commands on the program folder share: the folder prepared, its store opened and
// installed, the user's settings loaded and installed; undone when it ends. A command that
// changes the folder holds the program's single-instance lock meanwhile: a running program
// keeps the accounts and filters in memory and would write its own copy over the change.
class TCommandSession {
 public:
  TCommandSession(const TCommandLine& line, TAccess access);
  ~TCommandSession();
  TCommandSession(const TCommandSession&) = delete;
  TCommandSession& operator=(const TCommandSession&) = delete;

 private:
  std::unique_ptr<TSingleInstance> instance_;
  std::unique_ptr<TRegistryStore> store_;
  TSettings settings_;
};

// An account as the store holds it, read without loading the account, which would empty its
// Live Mail folder. Position counts from 1 in the order of the account list.
struct TStoredAccount {
  int Position = 0;
  int32_t ID = 0;
  uint8_t Type = 0;
  bool Active = true;
  std::string Description;
  std::string Email;
  std::string TypeName;
  std::string ConnectionName;
  // The connection security of the incoming and the outgoing server (0 none, 1 TLS, 2 an
  // upgrade); kinds without them and older stores read as none.
  int32_t POP3Security = 0;
  int32_t SMTPSecurity = 0;
  // The incoming server and the user name on it; empty for kinds without them.
  std::string POP3Server;
  std::string POP3UserName;
  // The account's key below the accounts key and its folder's name: the ID in ten digits.
  [[nodiscard]] std::string KeyName() const;
  // The account's folder, with a trailing "/".
  [[nodiscard]] std::string Folder() const;
  [[nodiscard]] std::string KilledFolder() const;
};
// The accounts of the kinds this program knows, in list order. Raises "Could not retrieve
// account settings." when a stored account cannot be read.
[[nodiscard]] std::vector<TStoredAccount> ReadStoredAccounts();
// Every stored account, or, when the operands after the command's verb name a description, the
// one account with it; raises TUsageError.
[[nodiscard]] std::vector<TStoredAccount> AccountsOrOne(const std::vector<std::string>& operands);
// The account of that description (trimmed, letter case ignored); raises TUsageError.
[[nodiscard]] TStoredAccount FindStoredAccount(const std::vector<TStoredAccount>& accounts,
                                               std::string_view description);

// A field of a tab-separated list line: the text as UTF-8 (DisplayText), with control characters
// as blanks, since tabs and line breaks would split the line.
[[nodiscard]] std::string ListField(std::string_view text);

// A whole number in [low, high]; raises TUsageError naming `what`.
[[nodiscard]] int32_t ParseNumberArgument(std::string_view text, int32_t low, int32_t high,
                                          std::string_view what);

// Tells of damage the loading of the filter list found and got over: a warning on standard
// error, kept in the log and the error file.
void WarnOfDamage(const TFilterList& list);

// Runs a command body: usage errors print their text and give 2, other errors 1.
int RunGuarded(const char* usage, int (*body)(const TCommandLine&, TArguments&),
               const TCommandLine& line);

}  // namespace tarnwell
