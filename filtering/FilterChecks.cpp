#include "filtering/FilterChecks.h"

#include "filtering/Filters.h"
#include "message/Headers.h"
#include "message/QStrings.h"
#include "shell/Settings.h"

namespace tarnwell {

const std::vector<uint8_t> kSenderConditions = {0,  3,  4,  5,  6,  7,  8,  9,
                                                14, 10, 11, 12, 13, 15, 16, 17};
const std::vector<uint8_t> kSubjectConditions = {3, 4, 5, 6, 8, 9, 10, 11, 12, 2, 17};
const std::vector<uint8_t> kTextConditions = {3, 4, 5, 12, 17};
const std::vector<uint8_t> kHeaderConditions = {3,  4,  5, 6, 7,  8,  9,  10, 11,
                                                12, 13, 1, 2, 14, 15, 16, 17};
const std::vector<uint8_t> kFilterActions = {acAccept, acMark, acKill, acKillAfterComplaint,
                                             acKillAfterErrorMessage};

const std::vector<std::string> kHeaderFilterNames = [] {
  std::vector<std::string> names;
  for (int number = 1; number <= kStdHeaderCount; ++number)
    names.push_back(THeaders::StdName(number));
  for (const char* name : {"X-Advertisement", "X-Authentication-Warning", "X-BulkEmail",
                           "X-Distribution", "X-Info", "X-Mailer", "X-Removal", "X-Sender"})
    names.emplace_back(name);
  return names;
}();

namespace {

// The pattern `stored` of a condition that takes one must not be empty, nor blank where
// `blanksCount`, nor longer than the record holds.
std::optional<TFilterRefusal> CheckText(TFilterField field, uint8_t condition,
                                        const std::string& stored, bool blanksCount) {
  if (!IsTextCondition(condition)) return std::nullopt;
  if ((blanksCount ? Trim(stored) : stored).empty()) return TFilterRefusal{field, kBlankFieldText};
  if (stored.size() > kShortStringCapacity) return TFilterRefusal{field, kTooLongText};
  return std::nullopt;
}

uint32_t LookedIn(const TSenderEntry& entry) {
  return entry.UserCondition != cnNone ? entry.Headers & PersonalHeaders : entry.Headers;
}

std::string PatternOf(uint8_t condition, const std::string& pattern) {
  return IsTextCondition(condition) ? pattern : std::string();
}

}  // namespace

std::optional<TFilterRefusal> CheckSender(const TSenderEntry& entry) {
  if ((entry.UserCondition == cnNone && entry.DomainCondition == cnNone) || LookedIn(entry) == 0)
    return TFilterRefusal{TFilterField::Filter, kNothingToDoText};
  if (auto refusal =
          CheckText(TFilterField::UserPattern, entry.UserCondition, Trim(entry.User), false))
    return refusal;
  return CheckText(TFilterField::DomainPattern, entry.DomainCondition, Trim(entry.Domain), false);
}

std::optional<TFilterRefusal> CheckPattern(const TPatternEntry& entry) {
  return CheckText(TFilterField::Pattern, entry.Condition, entry.Pattern, false);
}

std::optional<TFilterRefusal> CheckHeader(const THeaderEntry& entry) {
  const std::string name = Trim(entry.Name);
  if (name.empty()) return TFilterRefusal{TFilterField::HeaderName, kBlankFieldText};
  if (name.size() > kShortStringCapacity)
    return TFilterRefusal{TFilterField::HeaderName, kTooLongText};
  return CheckText(TFilterField::Pattern, entry.Condition, entry.Pattern, true);
}

bool CanLookIn(int header, uint8_t userCondition) {
  return userCondition == cnNone || ((PersonalHeaders >> header) & 1u);
}

std::optional<TFilterRefusal> CheckSenderHeaders(uint32_t headers, uint8_t userCondition) {
  if (userCondition != cnNone && (headers & ~PersonalHeaders))
    return TFilterRefusal{TFilterField::Headers, kUserNameHeaderText};
  return std::nullopt;
}

bool CaseChoosable(uint8_t condition1, uint8_t condition2) {
  return IsTextCondition(condition1) || IsTextCondition(condition2);
}

bool CaseMattersFor(bool ticked, uint8_t condition1, uint8_t condition2) {
  return CaseChoosable(condition1, condition2)
             ? ticked
             : condition1 == cnUppercase || condition2 == cnUppercase;
}

bool IsAddressHeader(const std::string& name) {
  return (AddressHeaders >> THeaders::StdNumber(Trim(name))) & 1u;
}

void WriteSender(const TSenderEntry& entry, TFilter& filter) {
  filter.Condition1 = entry.UserCondition;
  filter.SetText1(PatternOf(entry.UserCondition, Trim(entry.User)));
  filter.Condition2 = entry.DomainCondition;
  filter.SetText2(PatternOf(entry.DomainCondition, Trim(entry.Domain)));
  filter.CaseMatters =
      CaseMattersFor(entry.CaseTicked, entry.UserCondition, entry.DomainCondition) ? 1 : 0;
  filter.Headers = LookedIn(entry);
}

void WritePattern(const TPatternEntry& entry, TFilter& filter) {
  filter.Condition1 = entry.Condition;
  filter.SetText1(PatternOf(entry.Condition, entry.Pattern));
  filter.CaseMatters = CaseMattersFor(entry.CaseTicked, entry.Condition) ? 1 : 0;
}

void WriteHeader(const THeaderEntry& entry, TFilter& filter) {
  filter.SetText1(Trim(entry.Name));
  filter.Condition1 = entry.Condition;
  filter.SetText2(PatternOf(entry.Condition, entry.Pattern));
  filter.CaseMatters = CaseMattersFor(entry.CaseTicked, entry.Condition) ? 1 : 0;
  if (entry.AddressOnly && IsAddressHeader(entry.Name))
    filter.Options |= foAddressOnly;
  else
    filter.Options &= static_cast<uint8_t>(~foAddressOnly);
}

uint8_t RecipientsForAction(uint8_t action, uint8_t recipients) {
  if (action == acKillAfterComplaint) return Settings().ComplainAddr;
  if (action == acKillAfterErrorMessage) return Settings().RemoveAddr;
  return recipients;
}

}  // namespace tarnwell
