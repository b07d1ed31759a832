#include "program/AccountOptions.h"

#include <termios.h>
#include <unistd.h>

#include <cstdio>
#include <string_view>

#include "accounts/AccountFields.h"
#include "accounts/AccountList.h"
#include "message/QStrings.h"
#include "program/CommandSupport.h"
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

std::optional<TServerOption> TakeServer(TArguments& arguments, std::string_view option) {
  const std::optional<std::string> text = TakeText(arguments, option);
  if (!text) return std::nullopt;
  try {
    return ParseServer(*text, option);
  } catch (const TError& error) {
    throw TUsageError(error.what());
  }
}

std::optional<int32_t> TakeSecurity(TArguments& arguments, std::string_view option) {
  const std::optional<std::string> text = arguments.TakeValue(option);
  if (!text) return std::nullopt;
  if (*text == "none") return scNone;
  if (*text == "tls") return scTls;
  if (*text == "starttls") return scStartTls;
  throw TUsageError(std::string(option) + " takes none, tls or starttls.");
}

// A certificate's SHA-256 fingerprint; "none" or an empty value removes the pin.
std::optional<std::string> TakePin(TArguments& arguments, std::string_view option) {
  const std::optional<std::string> text = arguments.TakeValue(option);
  if (!text) return std::nullopt;
  if (text->empty() || *text == "none") return std::string();
  std::optional<std::string> pin = CertificatePin(*text);
  if (!pin)
    throw TUsageError(std::string(option) +
                      " takes a SHA-256 fingerprint: 64 hexadecimal digits, colons allowed.");
  return pin;
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

}  // namespace

TAccountOptions TakeAccountOptions(TArguments& arguments) {
  TAccountOptions options;
  options.Description = TakeText(arguments, "--description");
  options.Name = TakeText(arguments, "--name");
  options.Email = TakeText(arguments, "--email");
  if (options.Email && !IsAccountAddress(*options.Email))
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

}  // namespace tarnwell
