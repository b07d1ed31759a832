#include "program/AccountOptions.h"

#include <termios.h>
#include <unistd.h>

#include <cctype>
#include <cstdio>
#include <string_view>

#include "accounts/AccountFields.h"
#include "accounts/AccountList.h"
#include "message/QStrings.h"
#include "message/SvcString.h"
#include "program/CommandSupport.h"
#include "transport/POP3Account.h"
#include "transport/Security.h"

namespace tarnwell {

namespace {

constexpr size_t kMaxPasswordLength = 256;
const std::string kBlank = ": " + std::string(kBlankField);

// A text field, trimmed; the dialogs refuse a blank one.
std::optional<std::string> TakeText(TArguments& arguments, std::string_view option) {
  std::optional<std::string> value = arguments.TakeValue(option);
  if (!value) return value;
  if (IsBlankField(*value)) throw TUsageError(std::string(option) + kBlank);
  value = Trim(*value);
  return value;
}

// "host", "host:port", "[v6 address]" or "[v6 address]:port"; an IPv6 address without brackets
// has no port.
TServerOption ParseServer(std::string_view text, std::string_view option) {
  TServerOption server{std::string(text), 0};
  std::string_view port;
  if (!text.empty() && text.front() == '[') {
    const size_t close = text.find(']');
    if (close == std::string_view::npos)
      throw TUsageError(std::string(option) + ": the \"]\" after the address is missing.");
    server.Host = std::string(text.substr(1, close - 1));
    const std::string_view rest = text.substr(close + 1);
    if (!rest.empty()) {
      if (rest.front() != ':')
        throw TUsageError(std::string(option) + ": a \":\" and a port may follow the \"]\".");
      port = rest.substr(1);
    }
  } else if (const size_t colon = text.find(':');
             colon != std::string_view::npos &&
             text.find(':', colon + 1) == std::string_view::npos) {
    server.Host = std::string(text.substr(0, colon));
    port = text.substr(colon + 1);
  }
  if (server.Host.empty() || server.Host.find_first_of(" \t") != std::string::npos)
    throw TUsageError(std::string(option) + ": the server name is missing or holds a blank.");
  if (server.Host.size() < text.size() && port.empty() && text.back() == ':')
    throw TUsageError(std::string(option) + ": the port after the \":\" is missing.");
  if (!port.empty())
    server.Port = ParseNumberArgument(port, 1, 65535, std::string(option) + " port");
  return server;
}

std::optional<TServerOption> TakeServer(TArguments& arguments, std::string_view option) {
  const std::optional<std::string> text = TakeText(arguments, option);
  if (!text) return std::nullopt;
  return ParseServer(*text, option);
}

std::optional<int32_t> TakeSecurity(TArguments& arguments, std::string_view option) {
  const std::optional<std::string> text = arguments.TakeValue(option);
  if (!text) return std::nullopt;
  if (*text == "none") return scNone;
  if (*text == "tls") return scTls;
  if (*text == "starttls") return scStartTls;
  throw TUsageError(std::string(option) + " takes none, tls or starttls.");
}

// A certificate's SHA-256 fingerprint: 64 hexadecimal digits, colons and letter case free.
// "none" or an empty value removes the pin.
std::optional<std::string> TakePin(TArguments& arguments, std::string_view option) {
  const std::optional<std::string> text = arguments.TakeValue(option);
  if (!text) return std::nullopt;
  if (text->empty() || *text == "none") return std::string();
  const TUsageError bad(std::string(option) +
                        " takes a SHA-256 fingerprint: 64 hexadecimal digits, colons allowed.");
  std::string digits;
  for (const char c : *text) {
    if (c == ':') continue;
    if (!std::isxdigit(static_cast<unsigned char>(c))) throw bad;
    digits += static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  }
  if (digits.size() != 64) throw bad;
  return digits;
}

// `--option` turns a setting on and `--no-option` off.
std::optional<bool> TakeSwitch(TArguments& arguments, const std::string& option) {
  const bool on = arguments.TakeFlag("--" + option);
  const bool off = arguments.TakeFlag("--no-" + option);
  if (on && off) throw TUsageError("--" + option + " and --no-" + option + " exclude each other.");
  if (!on && !off) return std::nullopt;
  return on;
}

// The schedule as the account dialog offers it: every 1 to 59 minutes ("10m"), every 1 to 24
// hours ("2h"), daily at a time of day ("08:30"), or "manual".
TIntervalOption ParseInterval(const std::string& text) {
  if (SameText(text, "manual")) return {itManual, 0};
  const char unit = text.empty() ? '\0' : text.back();
  if (unit == 'm' || unit == 'h') {
    const bool minutes = unit == 'm';
    return {
        minutes ? itMinutes : itHours,
        ParseNumberArgument(std::string_view(text).substr(0, text.size() - 1), 1, minutes ? 59 : 24,
                            minutes ? "--interval minutes" : "--interval hours")};
  }
  const size_t colon = text.find(':');
  if (colon != std::string::npos && colon >= 1 && colon <= 2 && text.size() == colon + 3) {
    const int32_t hour = ParseNumberArgument(text.substr(0, colon), 0, 23, "--interval hour");
    const int32_t minute = ParseNumberArgument(text.substr(colon + 1), 0, 59, "--interval minute");
    return {itDaily, hour * 60 + minute};
  }
  throw TUsageError(
      "--interval takes minutes (10m, 1 to 59), hours (2h, 1 to 24), a time of day (08:30) or "
      "manual.");
}

std::string ReadLine(FILE* in) {
  std::string line;
  for (int c; (c = std::fgetc(in)) != EOF && c != '\n';) {
    if (line.size() > kMaxPasswordLength) throw TUsageError("The password is too long.");
    line += static_cast<char>(c);
  }
  if (!line.empty() && line.back() == '\r') line.pop_back();
  return line;
}

// Asks on the terminal with the echo off. The echo goes off before the prompt shows, since
// switching it drops what was typed before: an answer typed at the prompt is kept.
std::string AskPassword() {
  termios saved{};
  const bool quiet = ::tcgetattr(STDIN_FILENO, &saved) == 0;
  if (quiet) {
    termios silent = saved;
    silent.c_lflag &= static_cast<tcflag_t>(~ECHO);
    ::tcsetattr(STDIN_FILENO, TCSAFLUSH, &silent);
  }
  std::fputs("Password: ", stderr);
  std::fflush(stderr);
  std::string password;
  try {
    password = ReadLine(stdin);
  } catch (...) {
    if (quiet) ::tcsetattr(STDIN_FILENO, TCSAFLUSH, &saved);
    throw;
  }
  if (quiet) ::tcsetattr(STDIN_FILENO, TCSAFLUSH, &saved);
  std::fputs("\n", stderr);
  return password;
}

void ApplyServer(const std::optional<TServerOption>& server, const std::optional<int32_t>& security,
                 int32_t (*defaultPort)(int32_t), std::string& host, int32_t& port,
                 int32_t& storedSecurity) {
  const int32_t oldSecurity = storedSecurity;
  if (security) storedSecurity = *security;
  if (server) {
    host = server->Host;
    port = server->Port != 0 ? server->Port : defaultPort(storedSecurity);
  } else {
    port = PortAfterSecurity(port, oldSecurity, storedSecurity, defaultPort);
  }
}

void ApplyInterval(const TIntervalOption& interval, TAccount& account) {
  account.IntervalType = interval.IntervalType;
  const auto schedule = TriggerBit(ctSchedule);
  if (interval.IntervalType == itManual)
    account.CheckTypes = static_cast<uint8_t>(account.CheckTypes & ~schedule);
  else
    account.CheckTypes = static_cast<uint8_t>(account.CheckTypes | schedule);
  switch (interval.IntervalType) {
    case itMinutes: account.MinutesInterval = MinutesSpan(interval.Amount); break;
    case itHours: account.HoursInterval = HoursSpan(interval.Amount); break;
    case itDaily: account.DailyTime = MinutesSpan(interval.Amount); break;
    default: break;
  }
}

}  // namespace

TAccountOptions TakeAccountOptions(TArguments& arguments) {
  TAccountOptions options;
  options.Description = TakeText(arguments, "--description");
  options.Name = TakeText(arguments, "--name");
  options.Email = TakeText(arguments, "--email");
  if (options.Email && (options.Email->find_first_of(" \t") != std::string::npos ||
                        options.Email->find('@') == std::string::npos))
    throw TUsageError("--email: This is not a valid e-mail address.");
  options.POP3Security = TakeSecurity(arguments, "--pop3-security");
  options.SMTPSecurity = TakeSecurity(arguments, "--smtp-security");
  options.POP3CertPin = TakePin(arguments, "--pin-pop3");
  options.SMTPCertPin = TakePin(arguments, "--pin-smtp");
  options.POP3Server = TakeServer(arguments, "--pop3");
  options.POP3UserName = TakeText(arguments, "--user");
  options.SMTPServer = TakeServer(arguments, "--smtp");
  options.SMTPAuth = TakeSwitch(arguments, "smtp-auth");
  options.SPA = TakeSwitch(arguments, "spa");
  if (const std::optional<std::string> timeout = arguments.TakeValue("--timeout"))
    options.Timeout = ParseNumberArgument(*timeout, 30, 300, "--timeout");
  if (const std::optional<std::string> interval = arguments.TakeValue("--interval"))
    options.Interval = ParseInterval(*interval);
  if (const std::optional<std::string> active = arguments.TakeValue("--active")) {
    if (*active != "yes" && *active != "no") throw TUsageError("--active takes yes or no.");
    options.Active = *active == "yes";
  }
  options.PasswordFromStdin = arguments.TakeFlag("--password-stdin");
  return options;
}

void RequireNewAccountFields(const TAccountOptions& options) {
  const struct {
    bool given;
    const char* option;
  } fields[] = {
      {options.Description.has_value(), "--description"},
      {options.Name.has_value(), "--name"},
      {options.Email.has_value(), "--email"},
      {options.POP3Server.has_value(), "--pop3"},
      {options.POP3UserName.has_value(), "--user"},
      {options.SMTPServer.has_value(), "--smtp"},
  };
  for (const auto& field : fields)
    if (!field.given) throw TUsageError(std::string(field.option) + kBlank);
}

void CheckAgainstList(const TAccountOptions& options, const TAccountList& list, int index) {
  if (!options.Description) return;
  for (int i = 0; i < list.Count(); ++i)
    if (i != index && SameText(list.Items(i)->Description, *options.Description))
      throw TUsageError("An account with this description already exists.");
}

std::string ReadPassword() {
  const bool terminal = ::isatty(STDIN_FILENO);
  const std::string password = Trim(terminal ? AskPassword() : ReadLine(stdin));
  if (password.empty())
    throw TUsageError(std::string(terminal ? "Password" : "--password-stdin") + kBlank);
  return password;
}

void ApplyAccountOptions(const TAccountOptions& options, const std::optional<std::string>& password,
                         TPOP3Account& account) {
  if (options.Description) account.Description = *options.Description;
  if (options.Name) account.Name = *options.Name;
  if (options.Email) account.Email = *options.Email;
  ApplyServer(options.POP3Server, options.POP3Security, DefaultPOP3Port, account.POP3Server,
              account.POP3Port, account.POP3Security);
  TSMTPInfo& smtp = account.SmtpInfo;
  ApplyServer(options.SMTPServer, options.SMTPSecurity, DefaultSMTPPort, smtp.SMTPServer,
              smtp.SMTPPort, smtp.SMTPSecurity);
  if (options.POP3CertPin) account.POP3CertPin = *options.POP3CertPin;
  if (options.SMTPCertPin) smtp.SMTPCertPin = *options.SMTPCertPin;

  const bool loginWasOn = smtp.SMTPAuth;
  const bool userFollows = smtp.SMTPAuthUser == account.POP3UserName;
  const bool passwordFollows = smtp.SMTPAuthPass == UnscramblePassword(account.Password);
  if (options.POP3UserName) account.POP3UserName = *options.POP3UserName;
  if (password) account.Password = Trim(ScramblePassword(*password));
  if (options.SMTPAuth) smtp.SMTPAuth = *options.SMTPAuth;
  if (smtp.SMTPAuth) {
    if (!loginWasOn || userFollows) smtp.SMTPAuthUser = account.POP3UserName;
    if (!loginWasOn || passwordFollows) smtp.SMTPAuthPass = UnscramblePassword(account.Password);
  }
  if (options.SPA) {
    account.SPA = *options.SPA;
    smtp.SMTPSPA = *options.SPA;
  }

  if (options.Timeout) account.Timeout = *options.Timeout;
  if (options.Interval) ApplyInterval(*options.Interval, account);
  if (options.Active) account.Active = *options.Active;
}

}  // namespace tarnwell
