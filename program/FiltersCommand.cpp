#include <algorithm>
#include <cstdio>
#include <memory>

#include "filtering/Countries.h"
#include "filtering/FilterChecks.h"
#include "filtering/FilterList.h"
#include "filtering/Filters.h"
#include "filtering/FriendChecks.h"
#include "filtering/SenderHeaders.h"
#include "message/Headers.h"
#include "message/QStrings.h"
#include "message/SvcString.h"
#include "platform/Files.h"
#include "program/CommandLine.h"
#include "program/CommandSupport.h"
#include "program/ListOutput.h"
#include "shell/ProgramFolders.h"

namespace tarnwell {

namespace {

const char* const kUsage =
    "Usage: tarnwell [--home DIR] filters list [KIND] [--json]\n"
    "       tarnwell [--home DIR] filters add sender [--user-condition C] [--user PATTERN]\n"
    "                [--domain-condition C] [--domain PATTERN] [--headers NAME,...] [ACTION]\n"
    "       tarnwell [--home DIR] filters add subject|text [--condition C] [--pattern PATTERN]\n"
    "                [ACTION]\n"
    "       tarnwell [--home DIR] filters add header --header NAME [--condition C]\n"
    "                [--pattern PATTERN] [--address-only] [ACTION]\n"
    "       tarnwell [--home DIR] filters add friend --address ADDRESS | --domain DOMAIN |\n"
    "                --mailing-list ADDRESS-OR-DOMAIN\n"
    "       tarnwell [--home DIR] filters set KIND ID OPTION...\n"
    "       tarnwell [--home DIR] filters remove KIND ID\n"
    "       tarnwell [--home DIR] filters block|unblock COUNTRY-CODE...\n"
    "       tarnwell [--home DIR] filters blocked [--json]\n"
    "list prints one line per filter, fields separated by tabs: the kind, the ID, the origin,\n"
    "the action, the hits and the description. add and set print the filter's line; block and\n"
    "unblock print the code, the name and the new state of each country; blocked lists the\n"
    "blocked countries. KIND is sender, friend, subject, text, country or header. With --json\n"
    "list and blocked print one JSON object per line, with keywords for kind, origin and action\n"
    "(such as \"subject\", \"user\", \"kill\").\n"
    "Conditions are named as in the filter dialogs, letter case ignored, \"-\" for a blank:\n"
    "contains, contains-word, does-not-contain, equals, does-not-equal, starts-with,\n"
    "does-not-start-with, ends-with, does-not-end-with, is-present, is-missing, is-blank,\n"
    "is-not-blank, starts-with-a-number, is-mostly-numbers, is-numeric, is-uppercase, and\n"
    "none for a sender filter without a condition on that part.\n"
    "ACTION is any of:\n"
    "  --action A        accept, mark, kill, complain or error-message (or the action's name,\n"
    "                    such as \"Kill after complaining\"); default: the settings' action;\n"
    "                    changed to complain or error-message, the settings' recipients for it\n"
    "  --recipients R,.. for complain and error-message: sender, reply-to, abuse, postmaster,\n"
    "                    webmaster; default: the settings' recipients for the action\n"
    "  --case            letter case matters (only with a condition that takes a pattern);\n"
    "                    --no-case for set\n"
    "A sender filter's part without its condition: \"equals\" for --user, \"ends-with\" for\n"
    "--domain, none when the part is left out. It looks in the headers --headers names (Cc,\n"
    "Comments, Errors-To, From, Message-Id, Received, Reply-To, Return-Path, Sender, To,\n"
    "X-Complain-To); by default those ticked in StdSenderHeaders.dat, else Comments, Errors-To,\n"
    "From, Message-Id, Received, Reply-To, Return-Path and Sender.\n"
    "set changes the options it is given and keeps the other fields; a condition changed to\n"
    "another that takes a pattern keeps the pattern. A friend takes --address, --domain or\n"
    "--mailing-list; a header filter also --no-address-only. Of the system filters only the\n"
    "action changes (the bounce filter, text 1, not at all): the country filter's to mark or\n"
    "kill; the header filters' to ignore, mark, kill or complain, with --recipients for complain\n"
    "(not sender for header 1), and for headers 2 to 4 also to error-message. System filters\n"
    "cannot be removed.\n";

std::string Lower(std::string_view text) {
  std::string lower(text);
  for (char& c : lower)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c + 32);
  return lower;
}

// The option name with a blank for each "-", as condition names are written on the command line.
std::string Spaced(std::string_view text) {
  std::string spaced(text);
  std::replace(spaced.begin(), spaced.end(), '-', ' ');
  return spaced;
}

uint8_t KindByName(std::string_view name) {
  for (const uint8_t kind : {fkSender, fkFriend, fkSubject, fkText, fkCountry, fkHeader})
    if (SameText(KindName(kind), name)) return kind;
  throw TUsageError("unknown filter kind \"" + std::string(name) +
                    "\"; use sender, friend, subject, text, country or header.");
}

std::string ConditionList(const std::vector<uint8_t>& offered) {
  std::string text;
  for (const uint8_t condition : offered) {
    if (!text.empty()) text += ", ";
    std::string name = condition == cnNone ? "none" : Lower(ConditionName(condition));
    std::replace(name.begin(), name.end(), ' ', '-');
    text += name;
  }
  return text;
}

uint8_t ParseCondition(std::string_view option, const std::string& text,
                       const std::vector<uint8_t>& offered, std::string_view kind) {
  const std::string name = Spaced(Trim(text));
  uint8_t condition = ConditionByName(name);
  if (condition == cnNone && !SameText(name, "none") && !SameText(name, ConditionName(cnNone)))
    throw TUsageError(std::string(option) + ": unknown condition \"" + text + "\".");
  if (std::find(offered.begin(), offered.end(), condition) == offered.end())
    throw TUsageError(std::string(option) + ": \"" + ConditionName(condition) +
                      "\" is not a condition of " + std::string(kind) +
                      " filters; use one of: " + ConditionList(offered) + ".");
  return condition;
}

// A dialog disables the pattern of a condition that takes none; here it is refused.
std::string PatternFor(std::string_view option, const std::optional<std::string>& pattern,
                       uint8_t condition) {
  if (pattern && !IsTextCondition(condition))
    throw TUsageError(std::string(option) + ": the condition \"" + ConditionName(condition) +
                      "\" takes no pattern.");
  return pattern.value_or("");
}

// The dialogs' refusal, with the option it is about in front.
void Refuse(const std::optional<TFilterRefusal>& refusal) {
  if (!refusal) return;
  const char* option = nullptr;
  switch (refusal->Field) {
    case TFilterField::Filter: break;
    case TFilterField::UserPattern: option = "--user"; break;
    case TFilterField::DomainPattern: option = "--domain"; break;
    case TFilterField::Headers: option = "--headers"; break;
    case TFilterField::HeaderName: option = "--header"; break;
    case TFilterField::Pattern: option = "--pattern"; break;
  }
  throw TUsageError(option ? std::string(option) + ": " + refusal->Text : refusal->Text);
}

// The items of a comma-separated list, trimmed.
std::vector<std::string> SplitCommas(const std::string& text) {
  std::vector<std::string> items;
  size_t start = 0;
  for (;;) {
    const size_t comma = text.find(',', start);
    items.push_back(Trim(text.substr(start, comma == std::string::npos ? comma : comma - start)));
    if (comma == std::string::npos) return items;
    start = comma + 1;
  }
}

std::string ActionList(const std::vector<uint8_t>& offered) {
  std::string text;
  for (size_t i = 0; i < offered.size(); ++i) {
    if (i > 0) text += i + 1 == offered.size() ? " or " : ", ";
    text += ActionKeyword(offered[i]);
  }
  return text;
}

uint8_t ParseAction(const std::string& text, const std::vector<uint8_t>& offered) {
  for (uint8_t action = acIgnore; action <= acKillAfterErrorMessage; ++action) {
    if (!SameText(text, ActionKeyword(action)) && !SameText(text, ActionName(action))) continue;
    if (std::find(offered.begin(), offered.end(), action) == offered.end())
      throw TUsageError("--action: \"" + ActionName(action) +
                        "\" is not an action of this filter; use " + ActionList(offered) + ".");
    return action;
  }
  throw TUsageError("--action: unknown action \"" + text + "\"; use " + ActionList(offered) + ".");
}

uint8_t ParseRecipients(const std::string& text) {
  static const struct {
    const char* name;
    uint8_t bit;
  } kRecipients[] = {{"sender", rcSender},
                     {"reply-to", rcReplyTo},
                     {"abuse", rcAbuse},
                     {"postmaster", rcPostmaster},
                     {"webmaster", rcWebmaster}};
  uint8_t set = 0;
  for (const std::string& name : SplitCommas(text)) {
    bool known = false;
    for (const auto& entry : kRecipients) {
      if (!SameText(name, entry.name)) continue;
      set |= entry.bit;
      known = true;
    }
    if (!known)
      throw TUsageError("--recipients: unknown recipient \"" + name +
                        "\"; use sender, reply-to, abuse, postmaster or webmaster.");
  }
  if (set == 0) throw TUsageError("--recipients: name at least one recipient.");
  return set;
}

// The action and recipients options of every editable kind. An action changed to complaining
// or to an error message starts from the settings' recipients for it, as in the filter dialogs;
// a new filter's always does.
void TakeAction(TArguments& arguments, TFilter& filter, bool adding) {
  const uint8_t previous = filter.Action;
  if (const std::optional<std::string> action = arguments.TakeValue("--action"))
    filter.Action = ParseAction(*action, kFilterActions);
  if (adding || filter.Action != previous)
    filter.Recipients = RecipientsForAction(filter.Action, filter.Recipients);
  if (const std::optional<std::string> recipients = arguments.TakeValue("--recipients")) {
    if (filter.Action != acKillAfterComplaint && filter.Action != acKillAfterErrorMessage)
      throw TUsageError(
          "--recipients: only for the actions \"Kill after complaining\" and \"Kill after error "
          "message\".");
    filter.Recipients = ParseRecipients(*recipients);
  }
}

// --case or --no-case; the filter's own setting without either.
bool TakeCase(TArguments& arguments, const TFilter& filter) {
  const bool matters = arguments.TakeFlag("--case");
  const bool ignored = arguments.TakeFlag("--no-case");
  if (matters && ignored) throw TUsageError("--case and --no-case exclude each other.");
  return matters || (!ignored && filter.CaseMatters);
}

// The pattern given, else the filter's own while its condition, old and new, takes one: a
// condition changed to one without a pattern drops it.
std::optional<std::string> GivenOrKept(std::optional<std::string> given, uint8_t previous,
                                       uint8_t condition, const std::string& kept) {
  if (!given && IsTextCondition(previous) && IsTextCondition(condition)) return kept;
  return given;
}

uint32_t ParseSenderHeaders(const std::string& text) {
  uint32_t set = 0;
  for (const std::string& name : SplitCommas(text)) {
    const int number = THeaders::StdNumber(name);
    if (std::find(kSenderHeaders.begin(), kSenderHeaders.end(), number) == kSenderHeaders.end())
      throw TUsageError("--headers: a sender filter cannot look in \"" + name +
                        "\"; use Cc, Comments, Errors-To, From, Message-Id, Received, Reply-To, "
                        "Return-Path, Sender, To or X-Complain-To.");
    set |= 1u << number;
  }
  return set;
}

// The options of a sender filter, applied to a new one (`adding`) or to one being changed: each
// option given changes its field, the others keep theirs.
void EditSender(TArguments& arguments, TFilter& filter, bool adding) {
  const std::optional<std::string> user = arguments.TakeValue("--user");
  const std::optional<std::string> domain = arguments.TakeValue("--domain");
  const std::optional<std::string> userCondition = arguments.TakeValue("--user-condition");
  const std::optional<std::string> domainCondition = arguments.TakeValue("--domain-condition");
  const std::optional<std::string> headers = arguments.TakeValue("--headers");
  TSenderEntry entry;
  // A pattern given alone for a part without a text condition asks for an equal user name or a
  // domain that ends with it, as the wizard makes them.
  entry.UserCondition = userCondition ? ParseCondition("--user-condition", *userCondition,
                                                       kSenderConditions, "sender")
                        : user && !IsTextCondition(filter.Condition1) ? uint8_t(cnEquals)
                                                                      : filter.Condition1;
  entry.DomainCondition = domainCondition ? ParseCondition("--domain-condition", *domainCondition,
                                                           kSenderConditions, "sender")
                          : domain && !IsTextCondition(filter.Condition2) ? uint8_t(cnEndsWith)
                                                                          : filter.Condition2;
  entry.User = PatternFor("--user",
                          GivenOrKept(user, filter.Condition1, entry.UserCondition, filter.Text1()),
                          entry.UserCondition);
  entry.Domain = PatternFor(
      "--domain", GivenOrKept(domain, filter.Condition2, entry.DomainCondition, filter.Text2()),
      entry.DomainCondition);
  entry.Headers = headers ? ParseSenderHeaders(*headers) : filter.Headers;
  if (headers) Refuse(CheckSenderHeaders(entry.Headers, entry.UserCondition));
  // Choosing "Is uppercase" ticks "Case matters", as in the dialog.
  entry.CaseTicked = TakeCase(arguments, filter) || entry.UserCondition == cnUppercase ||
                     entry.DomainCondition == cnUppercase;
  Refuse(CheckSender(entry));
  WriteSender(entry, filter);
  TakeAction(arguments, filter, adding);
}

// Subject and message text filters: one condition and one pattern taken as typed.
void EditPattern(TArguments& arguments, TFilter& filter, bool adding) {
  const bool subject = filter.Kind == fkSubject;
  TPatternEntry entry;
  entry.Condition = filter.Condition1;
  if (const std::optional<std::string> condition = arguments.TakeValue("--condition"))
    entry.Condition =
        ParseCondition("--condition", *condition, subject ? kSubjectConditions : kTextConditions,
                       subject ? "subject" : "message text");
  entry.Pattern = PatternFor("--pattern",
                             GivenOrKept(arguments.TakeValue("--pattern"), filter.Condition1,
                                         entry.Condition, filter.Text1()),
                             entry.Condition);
  Refuse(CheckPattern(entry));
  entry.CaseTicked = TakeCase(arguments, filter);
  WritePattern(entry, filter);
  TakeAction(arguments, filter, adding);
}

void EditHeader(TArguments& arguments, TFilter& filter, bool adding) {
  THeaderEntry entry;
  entry.Name = arguments.TakeValue("--header").value_or(filter.Text1());
  entry.Condition = filter.Condition1;
  if (const std::optional<std::string> condition = arguments.TakeValue("--condition"))
    entry.Condition = ParseCondition("--condition", *condition, kHeaderConditions, "header");
  entry.Pattern = PatternFor("--pattern",
                             GivenOrKept(arguments.TakeValue("--pattern"), filter.Condition1,
                                         entry.Condition, filter.Text2()),
                             entry.Condition);
  Refuse(CheckHeader(entry));
  const bool addressOnly = arguments.TakeFlag("--address-only");
  const bool wholeValue = arguments.TakeFlag("--no-address-only");
  if (addressOnly && wholeValue)
    throw TUsageError("--address-only and --no-address-only exclude each other.");
  if (addressOnly && !(IsAddressHeader(entry.Name) && IsTextCondition(entry.Condition)))
    throw TUsageError(
        "--address-only: only for an address header with a condition that takes a pattern.");
  entry.AddressOnly = addressOnly || (!wholeValue && filter.HasOption(foAddressOnly));
  entry.CaseTicked = TakeCase(arguments, filter);
  WriteHeader(entry, filter);
  TakeAction(arguments, filter, adding);
}

// A friend's address, domain or mailing list, checked as the friend dialog checks it; only a new
// friend must differ from the others.
void EditFriend(TArguments& arguments, TFilter& filter, const TFilterList& list, bool adding) {
  const std::optional<std::string> address = arguments.TakeValue("--address");
  const std::optional<std::string> domain = arguments.TakeValue("--domain");
  const std::optional<std::string> mailingList = arguments.TakeValue("--mailing-list");
  if (!!address + !!domain + !!mailingList != 1)
    throw TUsageError("a friend needs one of --address, --domain and --mailing-list.");
  const char* option = address ? "--address" : domain ? "--domain" : "--mailing-list";
  const TFriendType type = address  ? TFriendType::User
                           : domain ? TFriendType::Domain
                                    : TFriendType::MailingList;
  std::vector<std::string> ownAddresses;
  for (const TStoredAccount& account : ReadStoredAccounts()) ownAddresses.push_back(account.Email);
  const std::string& entry = address ? *address : domain ? *domain : *mailingList;
  if (const std::optional<TFriendRefusal> refusal =
          EnterFriend(filter, entry, type, list, adding, ownAddresses))
    throw TUsageError(refusal->OfEntry ? std::string(option) + ": " + refusal->Text
                                       : refusal->Text);
}

// What the filters page lets the user change on a system filter, by its place among them: the
// actions offered and the recipients that can be chosen for complaining (none: no recipients).
struct TSystemChoices {
  std::vector<uint8_t> actions;
  uint8_t recipients = 0;
};

constexpr uint8_t kAllRecipients = rcSender | rcReplyTo | rcAbuse | rcPostmaster | rcWebmaster;

TSystemChoices SystemChoices(int position) {
  switch (position) {
    case 1: return {{acMark, acKill}, 0};
    // The invalid sender address cannot be complained to.
    case 2: return {{acIgnore, acMark, acKill, acKillAfterComplaint}, kAllRecipients & ~rcSender};
    case 3:
    case 4:
    case 5:
      return {{acIgnore, acMark, acKill, acKillAfterComplaint, acKillAfterErrorMessage},
              kAllRecipients};
    default: return {};
  }
}

void EditSystem(TArguments& arguments, TFilter& filter, int position) {
  const TSystemChoices choices = SystemChoices(position);
  if (choices.actions.empty()) throw TUsageError("This system filter cannot be changed.");
  if (const std::optional<std::string> action = arguments.TakeValue("--action"))
    filter.Action = ParseAction(*action, choices.actions);
  if (const std::optional<std::string> recipients = arguments.TakeValue("--recipients")) {
    if (choices.recipients == 0 || filter.Action != acKillAfterComplaint)
      throw TUsageError(
          "--recipients: only for the action \"Kill after complaining\" of this filter.");
    const uint8_t set = ParseRecipients(*recipients);
    if (set & ~choices.recipients)
      throw TUsageError(
          "--recipients: the sender's address is invalid; use reply-to, abuse, postmaster or "
          "webmaster.");
    filter.Recipients = set;
  }
  try {
    (void)arguments.Operands();
  } catch (const TUsageError&) {
    throw TUsageError(
        "Of a system filter only the action, and the recipients of complaints, can be changed.");
  }
}

// The options of the filter's kind applied to it.
void EditFilter(TArguments& arguments, TFilter& filter, const TFilterList& list, bool adding) {
  switch (filter.Kind) {
    case fkSender: EditSender(arguments, filter, adding); break;
    case fkSubject:
    case fkText: EditPattern(arguments, filter, adding); break;
    case fkHeader: EditHeader(arguments, filter, adding); break;
    case fkFriend:
      if (arguments.TakeValue("--action"))
        throw TUsageError("--action: a friend's action is always \"Accept\".");
      EditFriend(arguments, filter, list, adding);
      break;
    default: throw TUsageError("This filter cannot be changed.");
  }
}

void PrintFilter(const TFilter& filter, TListOutput& output) {
  output.Named("kind", KindName(filter.Kind), KindKeyword(filter.Kind))
      .Number("id", filter.ID)
      .Named("origin", OriginName(filter.Origin), OriginKeyword(filter.Origin))
      .Named("action", ActionName(filter.Action), ActionKeyword(filter.Action))
      .Number("hits", filter.Hits)
      .Text("description", filter.Description())
      .EndLine();
}

struct TFiltersOpened {
  TFiltersOpened(const TCommandLine& line, TAccess access)
      : session(line, access), list(TProgramFolders::ProgramFolder() + "Filters.dat") {
    list.Load(true);
    WarnOfDamage(list);
  }
  TCommandSession session;
  TFilterList list;
};

int ListFilters(const TCommandLine& line, TArguments& arguments) {
  TListOutput output(arguments);
  const std::vector<std::string> operands = arguments.Operands();
  if (operands.size() > 2) throw TUsageError("filters list takes at most one kind.");
  const int kind = operands.size() == 2 ? KindByName(operands[1]) : -1;
  TFiltersOpened opened(line, TAccess::Read);
  for (int i = 0; i < opened.list.Count(); ++i) {
    const TFilter& filter = *opened.list.Filter(i);
    if (kind < 0 || filter.Kind == kind) PrintFilter(filter, output);
  }
  return 0;
}

int AddFilter(const TCommandLine& line, TArguments& arguments) {
  const std::vector<std::string>& args = line.arguments;
  if (args.size() < 2 || args[1].rfind("--", 0) == 0)
    throw TUsageError("filters add needs the kind: sender, subject, text, header or friend.");
  const uint8_t kind = KindByName(args[1]);
  if (kind == fkCountry) throw TUsageError("countries are blocked with \"filters block\".");
  TFiltersOpened opened(line, TAccess::Change);
  std::unique_ptr<TFilter> filter = CreateFilterOfKind(kind);
  if (kind == fkSender) {
    // The parts left out have no condition, and the headers are the standard ones.
    filter->Condition2 = cnNone;
    filter->Headers = StandardSenderHeaders();
  }
  EditFilter(arguments, *filter, opened.list, true);
  if (arguments.Operands().size() != 2) throw TUsageError("filters add takes no more operands.");
  filter->Origin = orUser;
  TFilter* added = opened.list.Add(std::move(filter));
  opened.list.Save();
  TListOutput output(false);
  PrintFilter(*added, output);
  return 0;
}

// Raises TUsageError when there is no such filter.
TFilter& FindFilter(const TFilterList& list, uint8_t kind, int32_t id) {
  TFilter* filter = list.FindByID(kind, id);
  if (!filter)
    throw TUsageError("There is no " + Lower(KindName(kind)) + " filter with the ID " +
                      std::to_string(id) + ".");
  return *filter;
}

int RemoveFilter(const TCommandLine& line, TArguments& arguments) {
  const std::vector<std::string> operands = arguments.Operands();
  if (operands.size() != 3) throw TUsageError("filters remove needs a kind and an ID.");
  const uint8_t kind = KindByName(operands[1]);
  const int32_t id = ParseNumberArgument(operands[2], 0, INT32_MAX, "The ID");
  TFiltersOpened opened(line, TAccess::Change);
  TFilter& filter = FindFilter(opened.list, kind, id);
  if (filter.Origin == orSystem) throw TUsageError("System filters cannot be removed.");
  opened.list.Delete(opened.list.IndexOf(&filter));
  opened.list.SaveIfModified();
  return 0;
}

int SetFilter(const TCommandLine& line, TArguments& arguments) {
  const std::vector<std::string>& args = line.arguments;
  if (args.size() < 3 || args[1].starts_with("-") || args[2].starts_with("-"))
    throw TUsageError("filters set needs a kind and an ID, then what to change.");
  const uint8_t kind = KindByName(args[1]);
  const int32_t id = ParseNumberArgument(args[2], 0, INT32_MAX, "The ID");
  if (args.size() == 3) throw TUsageError("filters set needs what to change, such as --action.");
  TFiltersOpened opened(line, TAccess::Change);
  TFilter& filter = FindFilter(opened.list, kind, id);
  // Changed on a copy, so that a refused change leaves the filter as it was.
  const std::unique_ptr<TFilter> changed = filter.Clone();
  if (filter.Origin == orSystem) {
    int position = 0;
    while (position < opened.list.SystemFilterCount() &&
           opened.list.SystemFilter(position) != &filter)
      ++position;
    EditSystem(arguments, *changed, position);
  } else {
    EditFilter(arguments, *changed, opened.list, false);
  }
  if (arguments.Operands().size() != 3) throw TUsageError("filters set takes no more operands.");
  filter = *changed;
  opened.list.FilterChanged(opened.list.IndexOf(&filter));
  TListOutput output(false);
  PrintFilter(filter, output);
  return 0;
}

int BlockCountries(const TCommandLine& line, TArguments& arguments, bool block) {
  const std::vector<std::string> operands = arguments.Operands();
  if (operands.size() < 2) throw TUsageError("name at least one country code, such as \"tk\".");
  TFiltersOpened opened(line, TAccess::Change);
  const TLandInfo& countries = *opened.list.Countries();
  // Every code is checked before any country changes.
  std::vector<int> indexes;
  for (size_t i = 1; i < operands.size(); ++i) {
    const int index = countries.IndexOfCode(Trim(operands[i]));
    if (index < 0) throw TUsageError("There is no country with the code \"" + operands[i] + "\".");
    indexes.push_back(index);
  }
  for (const int index : indexes) {
    opened.list.SetCountryBlocked(index, block);
    std::printf("%s\t%s\t%s\n", countries.Code(index).c_str(), countries.Name(index).c_str(),
                block ? "blocked" : "not blocked");
  }
  return 0;
}

int ListBlocked(const TCommandLine& line, TArguments& arguments) {
  TListOutput output(arguments);
  if (arguments.Operands().size() != 1) throw TUsageError("filters blocked takes no operands.");
  TFiltersOpened opened(line, TAccess::Read);
  const TLandInfo& countries = *opened.list.Countries();
  for (int i = 0; i < countries.Count(); ++i)
    if (countries.IsBlocked(i))
      output.Text("code", countries.Code(i)).Text("name", countries.Name(i)).EndLine();
  return 0;
}

int Filters(const TCommandLine& line, TArguments& arguments) {
  const std::string verb = line.arguments.empty() ? std::string() : line.arguments.front();
  if (verb == "list") return ListFilters(line, arguments);
  if (verb == "add") return AddFilter(line, arguments);
  if (verb == "remove") return RemoveFilter(line, arguments);
  if (verb == "set") return SetFilter(line, arguments);
  if (verb == "block") return BlockCountries(line, arguments, true);
  if (verb == "unblock") return BlockCountries(line, arguments, false);
  if (verb == "blocked") return ListBlocked(line, arguments);
  throw TUsageError(verb.empty()
                        ? "filters needs list, add, set, remove, block, unblock or blocked."
                        : "unknown filters command \"" + verb + "\".");
}

}  // namespace

int RunFilters(const TCommandLine& line) { return RunGuarded(kUsage, Filters, line); }

}  // namespace tarnwell
