#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace tarnwell {

class TFilter;

// The rules of the filter dialogs, kept here so that the command line accepts and refuses what
// the dialogs do, with the same texts.

// The conditions each dialog offers, in the order it lists them.
extern const std::vector<uint8_t> kSenderConditions;
extern const std::vector<uint8_t> kSubjectConditions;
extern const std::vector<uint8_t> kTextConditions;
extern const std::vector<uint8_t> kHeaderConditions;
// The actions a user's filter can take.
extern const std::vector<uint8_t> kFilterActions;
// The names the header dialog offers: the standard headers, then a few other common ones.
extern const std::vector<std::string> kHeaderFilterNames;

inline constexpr const char* kBlankFieldText = "You cannot leave this field blank.";
inline constexpr const char* kNothingToDoText = "This filter will not do anything.";
inline constexpr const char* kUserNameHeaderText =
    "You cannot filter on this header when you have entered a condition on the user name.";
inline constexpr const char* kTooLongText = "at most 50 characters.";

// What a refusal is about: the dialog puts the focus there, the command line names its option.
enum class TFilterField { Filter, UserPattern, DomainPattern, Headers, HeaderName, Pattern };

struct TFilterRefusal {
  TFilterField Field = TFilterField::Filter;
  std::string Text;
};

// What the sender dialog holds: conditions, patterns as typed, the ticked headers and the
// "Case matters" tick.
struct TSenderEntry {
  uint8_t UserCondition = 0;
  std::string User;
  uint8_t DomainCondition = 0;
  std::string Domain;
  uint32_t Headers = 0;
  bool CaseTicked = false;
};

// Subject and message text filters.
struct TPatternEntry {
  uint8_t Condition = 0;
  std::string Pattern;
  bool CaseTicked = false;
};

struct THeaderEntry {
  std::string Name;
  uint8_t Condition = 0;
  std::string Pattern;
  bool AddressOnly = false;
  bool CaseTicked = false;
};

// The first reason to refuse the entry, in the order the dialogs check; none when it may be
// written into the filter.
[[nodiscard]] std::optional<TFilterRefusal> CheckSender(const TSenderEntry& entry);
[[nodiscard]] std::optional<TFilterRefusal> CheckPattern(const TPatternEntry& entry);
[[nodiscard]] std::optional<TFilterRefusal> CheckHeader(const THeaderEntry& entry);

// A sender filter with a condition on the user name looks only in headers whose address has a
// user part.
[[nodiscard]] bool CanLookIn(int header, uint8_t userCondition);
// The refusal for ticked headers that the user condition rules out; none when all may stay.
[[nodiscard]] std::optional<TFilterRefusal> CheckSenderHeaders(uint32_t headers,
                                                               uint8_t userCondition);

// "Case matters" can be chosen while a condition takes a pattern; otherwise it is ticked exactly
// for "Is uppercase".
[[nodiscard]] bool CaseChoosable(uint8_t condition1, uint8_t condition2 = 0);
[[nodiscard]] bool CaseMattersFor(bool ticked, uint8_t condition1, uint8_t condition2 = 0);
// Whether a header filter can compare the address part of the header named `name`.
[[nodiscard]] bool IsAddressHeader(const std::string& name);

// Write an accepted entry into the filter: patterns kept only for conditions that take one
// (sender patterns and the header name trimmed), the case and the header filter's address
// option as the dialogs store them. Texts are cut to 50 characters.
void WriteSender(const TSenderEntry& entry, TFilter& filter);
void WritePattern(const TPatternEntry& entry, TFilter& filter);
void WriteHeader(const THeaderEntry& entry, TFilter& filter);

// The recipients after the action changed to `action`: the settings' recipients of complaints
// for "Kill after complaining", of error messages for "Kill after error message", else
// `recipients` as they were.
[[nodiscard]] uint8_t RecipientsForAction(uint8_t action, uint8_t recipients);

}  // namespace tarnwell
