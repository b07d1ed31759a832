#include <algorithm>
#include <cstdio>
#include <optional>

#include "accounts/AccountList.h"
#include "filtering/FilterTypes.h"
#include "message/Emails.h"
#include "message/QStrings.h"
#include "message/SvcString.h"
#include "program/CommandLine.h"
#include "program/CommandSupport.h"
#include "program/ListOutput.h"
#include "program/MailboxFiles.h"
#include "shell/Settings.h"

namespace tarnwell {

namespace {

const char* const kUsage =
    "Usage: tarnwell [--home DIR] killed list [DESCRIPTION] [--json]\n"
    "       tarnwell [--home DIR] killed show DESCRIPTION NUMBER\n"
    "       tarnwell [--home DIR] killed rescue DESCRIPTION NUMBER... [--include-headers]\n"
    "                [--copy-to ADDRESS]\n"
    "       tarnwell [--home DIR] killed rescue DESCRIPTION NUMBER... --maildir DIR | --mbox FILE\n"
    "       tarnwell [--home DIR] killed delete DESCRIPTION NUMBER...\n"
    "       tarnwell [--home DIR] killed purge [--days N]\n"
    "list prints one line per message in Killed Mail, of every account or of the account with\n"
    "that description, fields separated by tabs: the account, the file number, the date, the\n"
    "sender, the subject, the action and the reason; with --json one JSON object per line, the\n"
    "action as a keyword (\"kill\", \"complain\"). show prints the headers and the text of the\n"
    "message with that file number.\n"
    "rescue sends the messages back to the account's own address through its outgoing server,\n"
    "marked so that the next check does not filter them again, and prints the number and the\n"
    "address of each. It loads the accounts, so it waits, as the commands that change them do,\n"
    "until Tarnwell no longer runs on the folder.\n"
    "  --include-headers  put the message's headers at the top of the text\n"
    "  --copy-to ADDRESS  send a copy to this address too\n"
    "  --maildir DIR      put the messages into this Maildir folder as new mail instead\n"
    "  --mbox FILE        append the messages to this mbox file instead\n"
    "delete removes the messages from Killed Mail. purge removes the messages of every account\n"
    "that are at least N days old (by default the days the settings keep killed mail,\n"
    "AutoPurgeDays), whether or not automatic deletion is on, and prints the account and the\n"
    "number of messages removed.\n";

int ListKilled(const TCommandLine& line, TArguments& arguments) {
  TListOutput output(arguments);
  const std::vector<std::string> operands = arguments.Operands();
  if (operands.size() > 2) throw TUsageError("killed list takes at most one description.");
  TCommandSession session(line, TAccess::Read);
  for (const TStoredAccount& account : AccountsOrOne(operands)) {
    TEmailList killed(true);
    killed.SetFolder(account.KilledFolder());
    for (int i = 0; i < killed.Count(); ++i) {
      const TEmail& message = *killed[i];
      output.Text("account", account.Description)
          .Number("number", message.ID)
          .Date("date", LocalMessageDate(message))
          .MailText("sender", message.From)
          .MailText("subject", message.Subject)
          .Named("action", ActionName(message.Action), ActionKeyword(message.Action))
          .Text("reason", message.Reason)
          .EndLine();
    }
  }
  return 0;
}

// The positions in `killed` of the messages with the file numbers given after the description;
// every number is checked before anything is done.
std::vector<int> PositionsOf(const TEmailList& killed, const std::vector<std::string>& operands,
                             const std::string& description) {
  std::vector<int> positions;
  for (size_t i = 2; i < operands.size(); ++i) {
    const int32_t number = ParseNumberArgument(operands[i], 1, INT32_MAX, "The number");
    const TEmail* message = killed.FindByID(number);
    if (!message)
      throw TUsageError("There is no killed message " + std::to_string(number) +
                        " in the account \"" + description + "\".");
    const int position = killed.IndexOf(message);
    if (std::find(positions.begin(), positions.end(), position) == positions.end())
      positions.push_back(position);
  }
  return positions;
}

int ShowKilled(const TCommandLine& line, TArguments& arguments) {
  const std::vector<std::string> operands = arguments.Operands();
  if (operands.size() != 3) throw TUsageError("killed show needs a description and a number.");
  TCommandSession session(line, TAccess::Read);
  const TStoredAccount account = FindStoredAccount(ReadStoredAccounts(), operands[1]);
  TEmailList killed(true);
  killed.SetFolder(account.KilledFolder());
  TEmail& message = *killed[PositionsOf(killed, operands, account.Description).front()];
  message.LoadBody();
  std::string text;
  for (const std::string& header : message.Headers.Lines()) text += header + "\n";
  text += "\n";
  for (const std::string& bodyLine : message.Body) text += bodyLine + "\n";
  std::fwrite(text.data(), 1, text.size(), stdout);
  return 0;
}

// Sends the messages back through the account's outgoing server, as the Rescue command does.
void ForwardKilled(const TCommandLine& line, const std::vector<std::string>& operands,
                   bool includeHeaders, const std::string& copyTo) {
  TCommandSession session(line, TAccess::Change);
  // The list loads the kinds the stored accounts are read for, in the same order.
  const int index = FindStoredAccount(ReadStoredAccounts(), operands[1]).Position - 1;
  if (index >= kMaxSelectable)
    throw TUsageError("Only the first 256 accounts can receive rescued messages.");
  TAccountList list;
  list.LoadAll();
  TAccount& account = *list.Items(index);
  const std::vector<int> positions = PositionsOf(account.Killed, operands, account.Description);
  TAccountSet targets;
  targets.set(static_cast<size_t>(index));
  std::vector<int32_t> numbers;
  for (const int position : positions) numbers.push_back(account.Killed[position]->ID);
  list.OnSent = [&](TEmail& message, int order, int) {
    std::string to;
    for (const std::string& address : message.To) to += (to.empty() ? "" : ", ") + address;
    for (const std::string& address : message.Cc) to += ", " + address;
    std::printf("%d\t%s\n", numbers[static_cast<size_t>(order - 1)], ListField(to).c_str());
    std::fflush(stdout);
  };
  list.ForwardKilled(account, positions, includeHeaders, copyTo, targets);
}

// Writes the messages into a Maildir folder or an mbox file.
void RescueToFiles(const TCommandLine& line, const std::vector<std::string>& operands,
                   const std::optional<std::string>& maildir,
                   const std::optional<std::string>& mbox) {
  TCommandSession session(line, TAccess::Read);
  const TStoredAccount account = FindStoredAccount(ReadStoredAccounts(), operands[1]);
  TEmailList killed(true);
  killed.SetFolder(account.KilledFolder());
  for (const int position : PositionsOf(killed, operands, account.Description)) {
    TEmail& message = *killed[position];
    message.ReloadHeaders();
    message.StripStatusHeaders();
    message.LoadBody();
    std::vector<std::string> lines = message.Headers.Lines();
    lines.emplace_back();
    lines.insert(lines.end(), message.Body.begin(), message.Body.end());
    message.ClearBody();
    std::string where;
    if (maildir) {
      where = DeliverToMaildir(*maildir, lines);
    } else {
      AppendToMbox(*mbox, AddressOf(message.From), lines);
      where = *mbox;
    }
    std::printf("%d\t%s\n", message.ID, ListField(where).c_str());
    std::fflush(stdout);
  }
}

int RescueKilled(const TCommandLine& line, TArguments& arguments) {
  const std::optional<std::string> maildir = arguments.TakeValue("--maildir");
  const std::optional<std::string> mbox = arguments.TakeValue("--mbox");
  const bool includeHeaders = arguments.TakeFlag("--include-headers");
  const std::string copyTo = Trim(arguments.TakeValue("--copy-to").value_or(""));
  const std::vector<std::string> operands = arguments.Operands();
  if (operands.size() < 3)
    throw TUsageError("killed rescue needs a description and at least one number.");
  if (maildir && mbox) throw TUsageError("--maildir and --mbox cannot be given together.");
  if ((maildir && maildir->empty()) || (mbox && mbox->empty()))
    throw TUsageError(std::string(maildir ? "--maildir" : "--mbox") +
                      ": You cannot leave this field blank.");
  if ((maildir || mbox) && (includeHeaders || !copyTo.empty()))
    throw TUsageError(
        "--include-headers and --copy-to are for sending; the files get the whole message.");
  if (!copyTo.empty() && !IsValidAddress(copyTo))
    throw TUsageError("--copy-to: This is not a valid e-mail address.");
  if (maildir || mbox)
    RescueToFiles(line, operands, maildir, mbox);
  else
    ForwardKilled(line, operands, includeHeaders, copyTo);
  return 0;
}

int DeleteKilled(const TCommandLine& line, TArguments& arguments) {
  const std::vector<std::string> operands = arguments.Operands();
  if (operands.size() < 3)
    throw TUsageError("killed delete needs a description and at least one number.");
  TCommandSession session(line, TAccess::Change);
  const TStoredAccount account = FindStoredAccount(ReadStoredAccounts(), operands[1]);
  TEmailList killed(true);
  killed.SetFolder(account.KilledFolder());
  killed.DeleteMany(PositionsOf(killed, operands, account.Description), true);
  return 0;
}

int PurgeKilled(const TCommandLine& line, TArguments& arguments) {
  const std::optional<std::string> daysText = arguments.TakeValue("--days");
  if (arguments.Operands().size() != 1) throw TUsageError("killed purge takes no operands.");
  const std::optional<int32_t> days =
      daysText ? std::optional(ParseNumberArgument(*daysText, 1, 365, "--days")) : std::nullopt;
  TCommandSession session(line, TAccess::Change);
  TAccountList list;
  list.LoadAll();
  for (int i = 0; i < list.Count(); ++i) {
    TAccount& account = *list.Items(i);
    const int32_t removed = account.PurgeKilled(days.value_or(Settings().AutoPurgeDays), true);
    std::printf("%s\t%d\n", ListField(account.Description).c_str(), removed);
  }
  return 0;
}

int Killed(const TCommandLine& line, TArguments& arguments) {
  const std::string verb = line.arguments.empty() ? std::string() : line.arguments.front();
  if (verb == "list") return ListKilled(line, arguments);
  if (verb == "show") return ShowKilled(line, arguments);
  if (verb == "rescue") return RescueKilled(line, arguments);
  if (verb == "delete") return DeleteKilled(line, arguments);
  if (verb == "purge") return PurgeKilled(line, arguments);
  throw TUsageError(verb.empty() ? "killed needs list, show, rescue, delete or purge."
                                 : "unknown killed command \"" + verb + "\".");
}

}  // namespace

int RunKilled(const TCommandLine& line) { return RunGuarded(kUsage, Killed, line); }

}  // namespace tarnwell
