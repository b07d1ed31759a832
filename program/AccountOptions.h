#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace tarnwell {

class TAccountList;
class TArguments;
class TPOP3Account;

// A server as given: the host, and the port, or 0 for the default of the connection security.
struct TServerOption {
  std::string Host;
  int32_t Port = 0;
  bool operator==(const TServerOption&) const = default;
};

// When the schedule checks: `IntervalType` with its count of minutes or hours, or the daily
// time in minutes after midnight.
struct TIntervalOption {
  uint8_t IntervalType = 0;
  int32_t Amount = 0;
  bool operator==(const TIntervalOption&) const = default;
};

// The settings `accounts add` and `accounts set` take, each checked on its own as it is taken;
// what is not given stays empty.
struct TAccountOptions {
  std::optional<std::string> Description;
  std::optional<std::string> Name;
  std::optional<std::string> Email;
  std::optional<int32_t> POP3Security;
  std::optional<int32_t> SMTPSecurity;
  std::optional<std::string> POP3CertPin;
  std::optional<std::string> SMTPCertPin;
  std::optional<TServerOption> POP3Server;
  std::optional<std::string> POP3UserName;
  std::optional<TServerOption> SMTPServer;
  std::optional<bool> SMTPAuth;
  std::optional<bool> SPA;
  std::optional<int32_t> Timeout;
  std::optional<TIntervalOption> Interval;
  std::optional<bool> Active;
  bool PasswordFromStdin = false;
  bool operator==(const TAccountOptions&) const = default;
};

// Takes the options from `arguments`; raises TUsageError for a value the account dialogs
// would refuse.
[[nodiscard]] TAccountOptions TakeAccountOptions(TArguments& arguments);
// Raises TUsageError for the first field a new account needs that was not given, in the order
// of the new-account wizard.
void RequireNewAccountFields(const TAccountOptions& options);
// Raises TUsageError when the options do not fit the account at `index` of `list` (-1 for a
// new account): another account has the description.
void CheckAgainstList(const TAccountOptions& options, const TAccountList& list, int index);
// Reads the password: from the terminal with the echo off when standard input is one,
// otherwise the first line of standard input. Trimmed; raises TUsageError when blank.
[[nodiscard]] std::string ReadPassword();
// Sets the account's fields from the options given (and `password`, in clear, when there is
// one), leaving the others as they are. A port left out is the default of the server's
// security; a security changed alone takes the port along when it was the old security's
// default. With the outgoing login on, its user name and password follow the POP3 ones when
// they were the same before or the login is turned on now.
void ApplyAccountOptions(const TAccountOptions& options, const std::optional<std::string>& password,
                         TPOP3Account& account);

}  // namespace tarnwell
