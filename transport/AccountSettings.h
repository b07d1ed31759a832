#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace tarnwell {

class TPOP3Account;
struct TServerPlace;

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

// The settings of a POP3 account as the command line's `accounts add` and `accounts set` and
// the account windows take them, each checked on its own as it is taken; what is not given stays
// empty. Every one of them writes them with `ApplyAccountOptions`, so that the same input is
// stored the same way whichever took it.
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
  // The command line's: the password comes from standard input.
  bool PasswordFromStdin = false;
  bool operator==(const TAccountOptions&) const = default;
};

// An address as the account's own: it holds an "@" and no blank or tab.
[[nodiscard]] bool IsAccountAddress(std::string_view address);

// "host", "host:port", "[v6 address]" or "[v6 address]:port"; an IPv6 address without brackets
// has no port. Raises TError for anything else, naming `field` ("--pop3: the port after ...").
[[nodiscard]] TServerOption ParseServer(std::string_view text, std::string_view field);

// A certificate's SHA-256 fingerprint as the account pins it: 64 upper-case hexadecimal digits.
// Colons and letter case are free in `text`; none when it is no fingerprint.
[[nodiscard]] std::optional<std::string> CertificatePin(std::string_view text);

// A new POP3 account as `accounts add` and the New Account Wizard start it: on a direct
// connection, checked at start-up and on the schedule, with the sounds of its events on, and,
// as no provider takes passwords in clear any more, TLS for POP3 and STARTTLS for SMTP. Made
// once the program folder is set: the default event sounds lie in it.
[[nodiscard]] std::unique_ptr<TPOP3Account> NewPOP3Account();

// Sets the account's fields from the options given (and `password`, in clear, when there is
// one), leaving the others as they are. A port left out is the default of the server's
// security; a security changed alone takes the port along when it was the old security's
// default. With the outgoing login on, its user name and password follow the POP3 ones when
// they were the same before or the login is turned on now.
void ApplyAccountOptions(const TAccountOptions& options, const std::optional<std::string>& password,
                         TPOP3Account& account);

// The pin of the certificate that a server refused at `place`; none when the failure there was
// not a refused certificate with a fingerprint.
[[nodiscard]] std::optional<std::string> RefusedCertificatePin(const TServerPlace& place);
// Pins the certificate refused at `place` for the account's server of that role, as
// `accounts set --pin-pop3` or `--pin-smtp` does; false, changing nothing, when there is none.
bool PinRefusedCertificate(TPOP3Account& account, const TServerPlace& place);

}  // namespace tarnwell
