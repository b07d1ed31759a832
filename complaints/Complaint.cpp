#include "complaints/Complaint.h"

#include <ctime>
#include <unordered_set>

#include "complaints/CommaText.h"
#include "filtering/FilterTypes.h"
#include "filtering/Filters.h"
#include "message/Emails.h"
#include "message/QStrings.h"
#include "message/SvcString.h"
#include "platform/DateTime.h"
#include "platform/Error.h"
#include "shell/LogFile.h"
#include "shell/ProgramFolders.h"
#include "shell/Settings.h"

namespace tarnwell {

namespace {

const char* const kTextSource = "Text";
const char* const kSenderHeaders[] = {"Errors-To",   "From",   "Reply-To",
                                      "Return-Path", "Sender", "X-Complain-To"};
constexpr uint8_t kAdminRecipients = rcAbuse | rcPostmaster | rcWebmaster;

// The locale's short date and long time.
std::string FormatCreated(TDateTime value) { return FormatDateTime(value, "%x %X"); }

bool ParseCreated(const std::string& text, TDateTime& value) {
  std::tm tm{};
  const char* rest = ::strptime(text.c_str(), "%x %X", &tm);
  if (!rest ||
      !Trim(std::string_view(rest, static_cast<size_t>(text.c_str() + text.size() - rest))).empty())
    return false;
  const TDateParts p{tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday, tm.tm_hour,
                     tm.tm_min,         tm.tm_sec,     0};
  if (!IsValidDate(p.year, p.month, p.day) || p.hour > 23 || p.minute > 59 || p.second > 59)
    return false;
  value = EncodeDateTime(p);
  return true;
}

std::vector<std::string> LowerCaseAll(std::vector<std::string> items) {
  for (std::string& item : items) item = LowerCase(item);
  return items;
}

// Appends items not yet in the list, in constant time per item.
class TUniqueList {
 public:
  explicit TUniqueList(std::vector<std::string>& list)
      : list_(list), seen_(list.begin(), list.end()) {}
  bool Contains(const std::string& item) const { return seen_.count(item) != 0; }
  void Add(const std::string& item) {
    if (seen_.insert(item).second) list_.push_back(item);
  }

 private:
  std::vector<std::string>& list_;
  std::unordered_set<std::string> seen_;
};

bool ContainsText(const std::vector<std::string>& list, std::string_view item) {
  for (const std::string& entry : list)
    if (SameText(entry, item)) return true;
  return false;
}

}  // namespace

TComplaint::TComplaint() : Created(TClock::Current().Now()) {}

void TComplaint::SetMessage(TEmail& message) {
  ReportedMessage = &message;
  Subject = message.Subject;
  if (!message.BodyLoaded) message.LoadBody();
}

void TComplaint::PrepareComplaint(const TFilter* filter) {
  Filter = filter;
  Recipients = filter ? filter->Recipients : Settings().ComplainAddr;
  ChooseRecipients();
  ExpandAdminAddresses();
  AdminTemplates.assign(AdminAddresses.size(), Settings().AdminComplaint);
  UserTemplates.assign(UserAddresses.size(), Settings().UserComplaint);
}

void TComplaint::PrepareErrorMessage(const TFilter* filter) {
  Kind = ckErrorMessage;
  Filter = filter;
  Recipients = filter ? filter->Recipients : Settings().RemoveAddr;
  ChooseRecipients();
  ExpandAdminAddresses();
  AdminTemplates.assign(AdminAddresses.size(), Settings().RemoveComplaint);
  UserTemplates.assign(UserAddresses.size(), Settings().RemoveComplaint);
}

void TComplaint::ChooseRecipients() {
  if (!ReportedMessage) return;
  const THeaders& headers = ReportedMessage->Headers;
  const std::string replyTo = AddressOf(headers.ValueOf("Reply-To"));
  const std::string from = AddressOf(headers.ValueOf("From"));
  const bool replyToValid = IsValidAddress(replyTo);
  const bool fromValid = IsValidAddress(from);
  // From and Reply-To are often the same address, which gets one message, not two.
  const auto addUser = [this](const std::string& address) {
    if (!ContainsText(UserAddresses, address)) UserAddresses.push_back(address);
  };
  if ((Recipients & rcReplyTo) && replyToValid) addUser(replyTo);
  if (((Recipients & rcSender) || ((Recipients & rcReplyTo) && UserAddresses.empty())) && fromValid)
    addUser(from);
  if (!(Recipients & kAdminRecipients) || !(replyToValid || fromValid)) return;
  const std::string domain = DomainPart(replyToValid ? replyTo : from);
  if (!ContainsText(Domains, domain)) Domains.push_back(domain);
}

void TComplaint::ExpandAdminAddresses() {
  for (const std::string& domain : Domains) {
    if (Recipients & rcAbuse) AdminAddresses.push_back("abuse@" + domain);
    if (Recipients & rcPostmaster) AdminAddresses.push_back("postmaster@" + domain);
    if (Recipients & rcWebmaster) AdminAddresses.push_back("webmaster@" + domain);
  }
}

void TComplaint::CollectCandidates() {
  if (!ReportedMessage) return;
  const THeaders& headers = ReportedMessage->Headers;
  TUniqueList senderDomains(AdminAddresses);
  TUniqueList domains(Domains);
  for (const char* name : kSenderHeaders) {
    const std::string address = LowerCase(AddressOf(headers.ValueOf(name)));
    if (!IsValidAddress(address)) continue;
    UserSources.emplace_back(name);
    UserAddresses.push_back(address);
    const std::string domain = DomainPart(address);
    if (IsValidDomain(domain)) senderDomains.Add(domain);
  }

  std::vector<std::string> hosts;
  headers.StdValues(shReceived, hosts, true);
  for (const std::string& host : hosts) {
    const std::string lower = LowerCase(host);
    domains.Add(IsIPv4(lower) ? lower : RegisteredDomain(lower));
  }

  std::string text;
  for (const std::string& line : ReportedMessage->Body) {
    text += line;
    text += '\n';
  }
  std::vector<std::string> addresses;
  std::vector<std::string> links;
  ExtractAddressesAndDomains(text, addresses, links);
  TUniqueList users(UserAddresses);
  for (const std::string& address : addresses) {
    if (users.Contains(address)) continue;
    UserSources.emplace_back(kTextSource);
    users.Add(address);
    domains.Add(DomainPart(address));
  }
  for (const std::string& link : links) domains.Add(link);
}

void TComplaint::BuildMessages(TEmailList& outbox, const TTemplates& templates) const {
  if (!ReportedMessage) return;
  const std::string code = std::to_string(AutoReplyCode(Filter));
  const auto build = [&](const std::vector<std::string>& addresses,
                         const std::vector<std::string>& names) {
    for (size_t i = 0; i < addresses.size() && i < names.size(); ++i) {
      const TTemplate* item = templates.Find(names[i]);
      if (!item) continue;
      std::unique_ptr<TEmail> message = item->BuildMessage(*ReportedMessage);
      message->Flags = Kind == ckErrorMessage ? TEmail::sfErrorMessageSent : TEmail::sfComplained;
      message->To = {addresses[i]};
      message->Headers.Add(std::string(kAutoReplyHeader) + ": " + code);
      outbox.Add(std::move(message))->ID = ReportedMessage->ID;
    }
  };
  build(UserAddresses, UserTemplates);
  build(AdminAddresses, AdminTemplates);
  build(OtherAddresses, OtherTemplates);
}

std::string TComplaint::AsText() const {
  std::string line = JoinCommaText(
      {ProgramVersion(), std::to_string(Kind), FormatCreated(Created), Subject,
       JoinCommaText(UserAddresses), JoinCommaText(UserSources), JoinCommaText(UserTemplates),
       JoinCommaText(Domains), JoinCommaText(AdminAddresses), JoinCommaText(AdminTemplates),
       JoinCommaText(OtherAddresses), JoinCommaText(OtherTemplates)});
  // A line break (a decoded subject may hold one) would split the entry in two lines of the
  // file; it is always inside quotes, where a blank keeps the quoting intact.
  for (char& c : line)
    if (c == '\r' || c == '\n') c = ' ';
  return line;
}

void TComplaint::FromText(std::string_view line) {
  const std::vector<std::string> fields = SplitCommaText(line);
  const auto field = [&](size_t i) -> const std::string* {
    return i < fields.size() ? &fields[i] : nullptr;
  };
  if (const std::string* kind = field(1)) {
    int64_t value = 0;
    if (ToInteger(*kind, value) && value >= 0 && value <= 255) Kind = static_cast<uint8_t>(value);
  }
  if (const std::string* created = field(2)) ParseCreated(*created, Created);
  if (const std::string* subject = field(3)) Subject = *subject;
  std::vector<std::string>* const lists[] = {&UserAddresses,  &UserSources,    &UserTemplates,
                                             &Domains,        &AdminAddresses, &AdminTemplates,
                                             &OtherAddresses, &OtherTemplates};
  for (size_t i = 0; i < 8; ++i) {
    const std::string* text = field(4 + i);
    if (!text) break;
    *lists[i] = SplitCommaText(*text);
    const bool addresses =
        lists[i] == &UserAddresses || lists[i] == &AdminAddresses || lists[i] == &OtherAddresses;
    if (addresses) *lists[i] = LowerCaseAll(std::move(*lists[i]));
  }
}

int CreateComplaints(TEmail& message, const TFilter* filter, uint8_t action, TEmailList& outbox,
                     const TTemplates& templates) {
  ProgramLog().Add("Creating complaints (" + ActionName(action) + ")");
  try {
    TComplaint complaint;
    complaint.SetMessage(message);
    if (action == acKillAfterComplaint)
      complaint.PrepareComplaint(filter);
    else
      complaint.PrepareErrorMessage(filter);
    complaint.BuildMessages(outbox, templates);
  } catch (const std::exception&) {
  }
  ProgramLog().Add("Done creating complaints (" + std::to_string(outbox.Count()) + ")");
  return outbox.Count();
}

void PrepareToSend(TEmail& message, const TComplaintSender& sender) {
  if (message.From.empty()) message.From = "\"" + sender.Name + "\" <" + sender.Email + ">";
  ExpandMacros(message, sender.Macros);
}

}  // namespace tarnwell
