#include <termios.h>
#include <unistd.h>

#include <cctype>
#include <cstdio>
#include <memory>

#include "accounts/AccountList.h"
#include "message/QStrings.h"
#include "message/SvcString.h"
#include "program/CommandLine.h"
#include "program/CommandSupport.h"
#include "transport/POP3Account.h"
#include "transport/Security.h"

namespace tarnwell {

namespace {

const char* const kUsage =
    "Usage: tarnwell [--home DIR] accounts list\n"
    "       tarnwell [--home DIR] accounts add pop3 --description D --name N --email E\n"
    "                --pop3 HOST[:PORT] --user U --smtp HOST[:PORT] [--smtp-auth] [--spa]\n"
    "                [--pop3-security S] [--smtp-security S] [--pin-pop3 SHA256]\n"
    "                [--pin-smtp SHA256] [--timeout S] [--password-stdin]\n"
    "       tarnwell [--home DIR] accounts remove DESCRIPTION\n"
    "       tarnwell [--home DIR] accounts set DESCRIPTION --active yes|no\n"
    "list prints one line per account, fields separated by tabs: the position, \"yes\" or\n"
    "\"no\" for active, the description, the account type, the connection, the e-mail\n"
    "address and the security of the incoming and the outgoing server. add and set print\n"
    "the account's line afterwards.\n"
    "  --description D   the account's name in Tarnwell (unique)\n"
    "  --name N          your full name, the sender name of complaints\n"
    "  --email E         your address on this account\n"
    "  --pop3 HOST:PORT  the incoming server (port 995 with tls, else 110, when left out)\n"
    "  --user U          the POP3 user name\n"
    "  --smtp HOST:PORT  the outgoing server (port 25, 465 with tls or 587 with starttls,\n"
    "                    when left out)\n"
    "  --smtp-auth       the outgoing server wants a login (with the POP3 user and password)\n"
    "  --spa             log in with Secure Password Authentication\n"
    "  --pop3-security S, --smtp-security S\n"
    "                    tls (TLS from the start; the default for POP3), starttls (a plain\n"
    "                    connection upgraded with STLS or STARTTLS; the default for SMTP)\n"
    "                    or none\n"
    "  --pin-pop3 SHA256, --pin-smtp SHA256\n"
    "                    accept exactly the certificate with this SHA-256 fingerprint (for\n"
    "                    a server whose certificate the system does not trust)\n"
    "  --timeout S       server timeout in seconds, 30 to 300 (default 60)\n"
    "  --password-stdin  read the password from the first line of standard input; without\n"
    "                    it the password is asked for on the terminal, if there is one\n"
    "Passwords are never taken from the command line, where other users could see them.\n";

constexpr size_t kMaxPasswordLength = 256;

const char* SecurityName(int32_t security) {
  switch (security) {
    case scTls: return "tls";
    case scStartTls: return "starttls";
    default: return "none";
  }
}

void PrintAccount(const TStoredAccount& account) {
  std::printf("%d\t%s\t%s\t%s\t%s\t%s\t%s\t%s\n", account.Position, account.Active ? "yes" : "no",
              ListField(account.Description).c_str(), account.TypeName.c_str(),
              ListField(account.ConnectionName).c_str(), ListField(account.Email).c_str(),
              SecurityName(account.POP3Security), SecurityName(account.SMTPSecurity));
}

void PrintAccountLine(std::string_view description) {
  PrintAccount(FindStoredAccount(ReadStoredAccounts(), description));
}

// A field the wizard requires, trimmed.
std::string Required(TArguments& arguments, std::string_view option) {
  const std::string value = Trim(arguments.TakeValue(option).value_or(""));
  if (value.empty())
    throw TUsageError(std::string(option) + ": You cannot leave this field blank.");
  return value;
}

struct TServer {
  std::string Host;
  int32_t Port = 0;
};

// "host", "host:port", "[v6 address]" or "[v6 address]:port"; an IPv6 address without brackets
// has no port.
TServer ParseServer(std::string_view text, int32_t defaultPort, std::string_view option) {
  TServer server{std::string(text), defaultPort};
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

int32_t ParseSecurity(TArguments& arguments, std::string_view option, const char* fallback) {
  const std::string text = arguments.TakeValue(option).value_or(fallback);
  if (text == "none") return scNone;
  if (text == "tls") return scTls;
  if (text == "starttls") return scStartTls;
  throw TUsageError(std::string(option) + " takes none, tls or starttls.");
}

// A certificate's SHA-256 fingerprint: 64 hexadecimal digits, colons and letter case free.
std::string ParsePin(TArguments& arguments, std::string_view option) {
  const std::string text = arguments.TakeValue(option).value_or("");
  if (text.empty()) return text;
  const TUsageError bad(std::string(option) +
                        " takes a SHA-256 fingerprint: 64 hexadecimal digits, colons allowed.");
  std::string digits;
  for (const char c : text) {
    if (c == ':') continue;
    if (!std::isxdigit(static_cast<unsigned char>(c))) throw bad;
    digits += static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  }
  if (digits.size() != 64) throw bad;
  return digits;
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

// Asks on the terminal with the echo off.
std::string AskPassword() {
  std::fputs("Password: ", stderr);
  std::fflush(stderr);
  termios saved{};
  const bool quiet = ::tcgetattr(STDIN_FILENO, &saved) == 0;
  if (quiet) {
    termios silent = saved;
    silent.c_lflag &= static_cast<tcflag_t>(~ECHO);
    ::tcsetattr(STDIN_FILENO, TCSAFLUSH, &silent);
  }
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

int AddAccount(const TCommandLine& line, TArguments& arguments) {
  const std::vector<std::string>& args = line.arguments;
  if (args.size() < 2 || args[1].rfind("--", 0) == 0)
    throw TUsageError("accounts add needs the account kind: pop3.");
  if (!SameText(args[1], "pop3"))
    throw TUsageError("only POP3 accounts can be added from the command line.");
  auto account = std::make_unique<TPOP3Account>();
  account->Description = Required(arguments, "--description");
  account->Name = Required(arguments, "--name");
  account->Email = Required(arguments, "--email");
  // No provider takes passwords in clear any more: TLS and STARTTLS unless told otherwise.
  account->POP3Security = ParseSecurity(arguments, "--pop3-security", "tls");
  account->SmtpInfo.SMTPSecurity = ParseSecurity(arguments, "--smtp-security", "starttls");
  account->POP3CertPin = ParsePin(arguments, "--pin-pop3");
  account->SmtpInfo.SMTPCertPin = ParsePin(arguments, "--pin-smtp");
  const TServer pop3 = ParseServer(Required(arguments, "--pop3"),
                                   account->POP3Security == scTls ? 995 : 110, "--pop3");
  account->POP3UserName = Required(arguments, "--user");
  const int32_t smtpPort = account->SmtpInfo.SMTPSecurity == scTls        ? 465
                           : account->SmtpInfo.SMTPSecurity == scStartTls ? 587
                                                                          : 25;
  const TServer smtp = ParseServer(Required(arguments, "--smtp"), smtpPort, "--smtp");
  const bool smtpAuth = arguments.TakeFlag("--smtp-auth");
  const bool spa = arguments.TakeFlag("--spa");
  const std::optional<std::string> timeout = arguments.TakeValue("--timeout");
  const bool passwordFromStdin = arguments.TakeFlag("--password-stdin");
  if (arguments.Operands().size() > 2) throw TUsageError("accounts add takes no more operands.");
  if (account->Email.find_first_of(" \t") != std::string::npos ||
      account->Email.find('@') == std::string::npos)
    throw TUsageError("--email: This is not a valid e-mail address.");
  if (timeout) account->Timeout = ParseNumberArgument(*timeout, 30, 300, "--timeout");

  TCommandSession session(line, TAccess::Change);
  TAccountList list;
  list.LoadAll();
  if (list.HasDescription(account->Description))
    throw TUsageError("An account with this description already exists.");

  std::string password;
  if (passwordFromStdin) {
    password = Trim(ReadLine(stdin));
    if (password.empty()) throw TUsageError("--password-stdin: You cannot leave this field blank.");
  } else if (::isatty(STDIN_FILENO)) {
    password = Trim(AskPassword());
  }
  if (password.empty())
    std::fputs("tarnwell: the account has no password yet; Tarnwell asks for it at start-up.\n",
               stderr);

  // As the new-account wizard makes a POP3 account on a direct connection.
  account->DialUp = false;
  account->CheckTypes = 5;
  for (TEventParam& event : account->Events) event.SoundEnabled = true;
  account->Password = Trim(ScramblePassword(password));
  account->POP3Server = pop3.Host;
  account->POP3Port = pop3.Port;
  account->SPA = spa;
  account->SmtpInfo.SMTPServer = smtp.Host;
  account->SmtpInfo.SMTPPort = smtp.Port;
  account->SmtpInfo.SMTPSPA = spa;
  account->SmtpInfo.SMTPAuth = smtpAuth;
  if (smtpAuth) {
    account->SmtpInfo.SMTPAuthUser = account->POP3UserName;
    account->SmtpInfo.SMTPAuthPass = password;
  }
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

int RemoveAccount(const TCommandLine& line, TArguments& arguments) {
  const std::vector<std::string> operands = arguments.Operands();
  if (operands.size() != 2) throw TUsageError("accounts remove needs one description.");
  TCommandSession session(line, TAccess::Change);
  TAccountList list;
  list.LoadAll();
  list.Remove(IndexOfDescription(list, operands[1]));
  return 0;
}

int SetAccount(const TCommandLine& line, TArguments& arguments) {
  const std::optional<std::string> active = arguments.TakeValue("--active");
  const std::vector<std::string> operands = arguments.Operands();
  if (operands.size() != 2) throw TUsageError("accounts set needs one description.");
  if (!active) throw TUsageError("accounts set needs --active yes or --active no.");
  if (*active != "yes" && *active != "no") throw TUsageError("--active takes yes or no.");
  TCommandSession session(line, TAccess::Change);
  TAccountList list;
  list.LoadAll();
  const int index = IndexOfDescription(list, operands[1]);
  list.Items(index)->Active = *active == "yes";
  list.Update(index);
  PrintAccountLine(operands[1]);
  return 0;
}

int ListAccounts(const TCommandLine& line, TArguments& arguments) {
  if (arguments.Operands().size() != 1) throw TUsageError("accounts list takes no operands.");
  TCommandSession session(line, TAccess::Read);
  for (const TStoredAccount& account : ReadStoredAccounts()) PrintAccount(account);
  return 0;
}

int Accounts(const TCommandLine& line, TArguments& arguments) {
  const std::string verb = line.arguments.empty() ? std::string() : line.arguments.front();
  if (verb == "list") return ListAccounts(line, arguments);
  if (verb == "add") return AddAccount(line, arguments);
  if (verb == "remove") return RemoveAccount(line, arguments);
  if (verb == "set") return SetAccount(line, arguments);
  throw TUsageError(verb.empty() ? "accounts needs list, add, remove or set."
                                 : "unknown accounts command \"" + verb + "\".");
}

}  // namespace

int RunAccounts(const TCommandLine& line) { return RunGuarded(kUsage, Accounts, line); }

}  // namespace tarnwell
