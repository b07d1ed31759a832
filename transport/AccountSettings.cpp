#include "transport/AccountSettings.h"

#include <cctype>

#include "accounts/AccountFields.h"
#include "message/QStrings.h"
#include "message/SvcString.h"
#include "platform/Error.h"
#include "platform/ServerError.h"
#include "transport/POP3Account.h"
#include "transport/Security.h"

namespace tarnwell {

namespace {

int32_t ParsePort(std::string_view text, std::string_view field) {
  int64_t value = 0;
  bool ok = !text.empty() && text.size() <= 10;
  for (const char c : text) {
    ok = ok && c >= '0' && c <= '9';
    if (ok) value = value * 10 + (c - '0');
  }
  if (!ok || value < 1 || value > 65535)
    throw TError(std::string(field) + " port must be a number from 1 to 65535.");
  return static_cast<int32_t>(value);
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

bool IsAccountAddress(std::string_view address) {
  return address.find_first_of(" \t") == std::string_view::npos &&
         address.find('@') != std::string_view::npos;
}

TServerOption ParseServer(std::string_view text, std::string_view field) {
  const std::string name(field);
  TServerOption server{std::string(text), 0};
  std::string_view port;
  if (!text.empty() && text.front() == '[') {
    const size_t close = text.find(']');
    if (close == std::string_view::npos)
      throw TError(name + ": the \"]\" after the address is missing.");
    server.Host = std::string(text.substr(1, close - 1));
    const std::string_view rest = text.substr(close + 1);
    if (!rest.empty()) {
      if (rest.front() != ':') throw TError(name + ": a \":\" and a port may follow the \"]\".");
      port = rest.substr(1);
    }
  } else if (const size_t colon = text.find(':');
             colon != std::string_view::npos &&
             text.find(':', colon + 1) == std::string_view::npos) {
    server.Host = std::string(text.substr(0, colon));
    port = text.substr(colon + 1);
  }
  if (server.Host.empty() || server.Host.find_first_of(" \t") != std::string::npos)
    throw TError(name + ": the server name is missing or holds a blank.");
  if (server.Host.size() < text.size() && port.empty() && text.back() == ':')
    throw TError(name + ": the port after the \":\" is missing.");
  if (!port.empty()) server.Port = ParsePort(port, field);
  return server;
}

std::optional<std::string> CertificatePin(std::string_view text) {
  std::string digits;
  for (const char c : text) {
    if (c == ':') continue;
    if (!std::isxdigit(static_cast<unsigned char>(c))) return std::nullopt;
    digits += static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  }
  if (digits.size() != 64) return std::nullopt;
  return digits;
}

std::unique_ptr<TPOP3Account> NewPOP3Account() {
  auto account = std::make_unique<TPOP3Account>();
  account->DialUp = false;
  account->CheckTypes = static_cast<uint8_t>(TriggerBit(ctStartup) | TriggerBit(ctSchedule));
  for (TEventParam& event : account->Events) event.SoundEnabled = true;
  account->POP3Security = scTls;
  account->SmtpInfo.SMTPSecurity = scStartTls;
  return account;
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

std::optional<std::string> RefusedCertificatePin(const TServerPlace& place) {
  if (place.Tls != TTlsFault::Certificate) return std::nullopt;
  return CertificatePin(place.Fingerprint);
}

bool PinRefusedCertificate(TPOP3Account& account, const TServerPlace& place) {
  const std::optional<std::string> pin = RefusedCertificatePin(place);
  if (!pin) return false;
  TAccountOptions options;
  if (place.Role == "POP3")
    options.POP3CertPin = pin;
  else if (place.Role == "SMTP")
    options.SMTPCertPin = pin;
  else
    return false;
  ApplyAccountOptions(options, std::nullopt, account);
  return true;
}

}  // namespace tarnwell
