#include <cstdio>

#include "filtering/FilterTypes.h"
#include "message/Emails.h"
#include "platform/DateTime.h"
#include "program/CommandLine.h"
#include "program/CommandSupport.h"

namespace tarnwell {

namespace {

const char* const kUsage =
    "Usage: tarnwell [--home DIR] killed list [DESCRIPTION]\n"
    "       tarnwell [--home DIR] killed show DESCRIPTION NUMBER\n"
    "list prints one line per message in Killed Mail, of every account or of the account with\n"
    "that description, fields separated by tabs: the account, the file number, the date\n"
    "(yyyy-mm-dd hh:mm), the sender, the subject, the action and the reason. show prints the\n"
    "headers and the text of the message with that file number.\n";

std::string DateField(TDateTime date) {
  if (date == 0) return std::string();
  const TDateParts p = DecodeDateTime(date);
  char text[32];
  std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d", p.year, p.month, p.day, p.hour,
                p.minute);
  return text;
}

int ListKilled(const TCommandLine& line, TArguments& arguments) {
  const std::vector<std::string> operands = arguments.Operands();
  if (operands.size() > 2) throw TUsageError("killed list takes at most one description.");
  TCommandSession session(line, TAccess::Read);
  std::vector<TStoredAccount> accounts = ReadStoredAccounts();
  if (operands.size() == 2) accounts = {FindStoredAccount(accounts, operands[1])};
  for (const TStoredAccount& account : accounts) {
    TEmailList killed(true);
    killed.SetFolder(account.KilledFolder());
    for (int i = 0; i < killed.Count(); ++i) {
      const TEmail& message = *killed[i];
      std::printf("%s\t%d\t%s\t%s\t%s\t%s\t%s\n", ListField(account.Description).c_str(),
                  message.ID, DateField(message.Date).c_str(), ListField(message.From).c_str(),
                  ListField(message.Subject).c_str(), ActionName(message.Action).c_str(),
                  ListField(message.Reason).c_str());
    }
  }
  return 0;
}

int ShowKilled(const TCommandLine& line, TArguments& arguments) {
  const std::vector<std::string> operands = arguments.Operands();
  if (operands.size() != 3) throw TUsageError("killed show needs a description and a number.");
  const int32_t number = ParseNumberArgument(operands[2], 1, INT32_MAX, "The number");
  TCommandSession session(line, TAccess::Read);
  const TStoredAccount account = FindStoredAccount(ReadStoredAccounts(), operands[1]);
  TEmailList killed(true);
  killed.SetFolder(account.KilledFolder());
  TEmail* message = killed.FindByID(number);
  if (!message)
    throw TUsageError("There is no killed message " + std::to_string(number) +
                      " in the account \"" + account.Description + "\".");
  message->LoadBody();
  std::string text;
  for (const std::string& header : message->Headers.Lines()) text += header + "\n";
  text += "\n";
  for (const std::string& bodyLine : message->Body) text += bodyLine + "\n";
  std::fwrite(text.data(), 1, text.size(), stdout);
  return 0;
}

int Killed(const TCommandLine& line, TArguments& arguments) {
  const std::string verb = line.arguments.empty() ? std::string() : line.arguments.front();
  if (verb == "list") return ListKilled(line, arguments);
  if (verb == "show") return ShowKilled(line, arguments);
  throw TUsageError(verb.empty() ? "killed needs list or show."
                                 : "unknown killed command \"" + verb + "\".");
}

}  // namespace

int RunKilled(const TCommandLine& line) { return RunGuarded(kUsage, Killed, line); }

}  // namespace tarnwell
