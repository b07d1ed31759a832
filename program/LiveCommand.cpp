#include "message/LiveMail.h"
#include "program/CommandLine.h"
#include "program/CommandSupport.h"
#include "program/ListOutput.h"

namespace tarnwell {

namespace {

const char* const kUsage =
    "Usage: tarnwell [--home DIR] live list [DESCRIPTION] [--json]\n"
    "list prints one line per message in Live Mail, of every account or of the account with that\n"
    "description, as the last check of the account left it, fields separated by tabs: the\n"
    "account, the file number, the status (Checked, Possible spam, Spam, Bounce or Friend), the\n"
    "date, the sender, the subject, the size in bytes, the reason (the deciding filter) and when\n"
    "the check last found the message on the server. The messages stay on the server, and the\n"
    "list is there whether Tarnwell runs or not; a check replaces it.\n"
    "  --json  one JSON object per line, the status as a keyword (\"possible-spam\")\n";

int ListLive(const TCommandLine& line, TArguments& arguments) {
  TListOutput output(arguments);
  const std::vector<std::string> operands = arguments.Operands();
  if (operands.size() > 2) throw TUsageError("live list takes at most one description.");
  TCommandSession session(line, TAccess::Read);
  for (const TStoredAccount& account : AccountsOrOne(operands)) {
    for (const auto& message : ReadLiveMailList(account.Folder() + kLiveMailListName)) {
      output.Text("account", account.Description)
          .Number("number", message->ID)
          .Named("status", TEmail::StatusName(message->Status & 0x7F),
                 StatusKeyword(message->Status & 0x7F))
          .Date("date", LocalMessageDate(*message))
          .MailText("sender", message->From)
          .MailText("subject", message->Subject)
          .Number("size", message->Length)
          .Text("reason", message->Reason)
          .Date("seen", message->LastSeen)
          .EndLine();
    }
  }
  return 0;
}

int Live(const TCommandLine& line, TArguments& arguments) {
  const std::string verb = line.arguments.empty() ? std::string() : line.arguments.front();
  if (verb == "list") return ListLive(line, arguments);
  throw TUsageError(verb.empty() ? "live needs list." : "unknown live command \"" + verb + "\".");
}

}  // namespace

int RunLive(const TCommandLine& line) { return RunGuarded(kUsage, Live, line); }

}  // namespace tarnwell
