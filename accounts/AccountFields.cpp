#include "accounts/AccountFields.h"

#include <charconv>
#include <cmath>

#include "message/QStrings.h"

namespace tarnwell {

bool IsBlankField(std::string_view text) { return Trim(text).empty(); }

std::string PortRangeText() {
  return "You must enter a number between " + std::to_string(kLowestPort) + " and " +
         std::to_string(kHighestPort) + " in this field.";
}

std::optional<int32_t> PortFieldValue(std::string_view text) {
  const std::string number = Trim(text);
  int64_t value = 0;
  const char* end = number.data() + number.size();
  const auto [stop, error] = std::from_chars(number.data(), end, value);
  if (number.empty() || error != std::errc() || stop != end || value < kLowestPort ||
      value > kHighestPort)
    return std::nullopt;
  return static_cast<int32_t>(value);
}

TDateTime MinutesSpan(int32_t minutes) { return minutes / 1440.0; }

TDateTime HoursSpan(int32_t hours) { return hours / 24.0; }

namespace {

// A stored span can lie a rounding error below the whole unit it was made from.
int32_t WholeUnits(TDateTime span, double unitsPerDay) {
  return static_cast<int32_t>(std::floor(span * unitsPerDay + 1e-6));
}

}  // namespace

int32_t WholeMinutes(TDateTime span) { return WholeUnits(span, 1440.0); }

int32_t WholeHours(TDateTime span) { return WholeUnits(span, 24.0); }

}  // namespace tarnwell
