#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "platform/Clock.h"

namespace tarnwell {

// How the account dialogs and the command line take an account's fields, so that both store
// the same values for the same entries.

// The refusal of a required field that is empty after trimming.
inline constexpr std::string_view kBlankField = "You cannot leave this field blank.";
[[nodiscard]] bool IsBlankField(std::string_view text);

inline constexpr int32_t kLowestPort = 0;
inline constexpr int32_t kHighestPort = 65535;
// The refusal of a port field: "You must enter a number between 0 and 65535 in this field."
[[nodiscard]] std::string PortRangeText();
// The port a port field holds: a whole number from 0 to 65535, blanks around it allowed;
// none for any other text.
[[nodiscard]] std::optional<int32_t> PortFieldValue(std::string_view text);

// The schedule's spans and times of day from the whole minutes and hours that the dialog and
// the command line offer; 24 hours is one whole day.
[[nodiscard]] TDateTime MinutesSpan(int32_t minutes);
[[nodiscard]] TDateTime HoursSpan(int32_t hours);
// The whole minutes and hours in a span; a span made by the two above gives its number back.
[[nodiscard]] int32_t WholeMinutes(TDateTime span);
[[nodiscard]] int32_t WholeHours(TDateTime span);

}  // namespace tarnwell
