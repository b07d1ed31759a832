#pragma once

#include <cstdint>
#include <ctime>
#include <string>

#include "platform/Clock.h"

namespace tarnwell {

inline constexpr double kMsPerDay = 86400000.0;
inline constexpr double kSecondsPerDay = 86400.0;

struct TDateParts {
  int year = 1899, month = 12, day = 30;
  int hour = 0, minute = 0, second = 0, ms = 0;
};

// Day number of a calendar date (0 = 30 December 1899); the date is not validated.
[[nodiscard]] int64_t EncodeDay(int year, int month, int day);
[[nodiscard]] bool IsValidDate(int year, int month, int day);
[[nodiscard]] TDateTime EncodeDateTime(const TDateParts& parts);
[[nodiscard]] TDateParts DecodeDateTime(TDateTime value);
// The whole-day part (the date without its time).
[[nodiscard]] int64_t DateOf(TDateTime value);
// 1 = Sunday … 7 = Saturday.
[[nodiscard]] int DayOfWeek(TDateTime value);

// Conversions between Unix time and local date-times through the system's time-zone rules.
[[nodiscard]] TDateTime UnixToLocalDateTime(std::time_t seconds);
[[nodiscard]] std::time_t LocalDateTimeToUnix(TDateTime value);
// True for values within the years 1 to 9999.
[[nodiscard]] bool InDateRange(TDateTime value);
// The broken-down form of a date-time (day of the week filled, daylight saving unknown).
[[nodiscard]] std::tm ToTm(TDateTime value);
// `value` through strftime's `format`; empty when it is out of range or the text does not fit.
[[nodiscard]] std::string FormatDateTime(TDateTime value, const char* format);

// The local offset from UTC at `value`, in minutes east of UTC.
[[nodiscard]] int LocalUtcOffsetMinutes(std::time_t at);

}  // namespace tarnwell
