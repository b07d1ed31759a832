#include "platform/DateTime.h"

#include <cmath>

namespace tarnwell {

namespace {

// Days from 1970-01-01 of a proleptic Gregorian date (H. Hinnant's algorithm).
int64_t DaysFromCivil(int64_t y, int m, int d) {
  y -= m <= 2;
  const int64_t era = (y >= 0 ? y : y - 399) / 400;
  const int64_t yoe = y - era * 400;
  const int64_t doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + doe - 719468;
}

void CivilFromDays(int64_t z, int& year, int& month, int& day) {
  z += 719468;
  const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  const int64_t doe = z - era * 146097;
  const int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const int64_t mp = (5 * doy + 2) / 153;
  day = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
  month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
  year = static_cast<int>(yoe + era * 400 + (month <= 2));
}

// 1899-12-30 counted from 1970-01-01.
constexpr int64_t kEpochOffsetDays = -25569;

}  // namespace

int64_t EncodeDay(int year, int month, int day) {
  return DaysFromCivil(year, month, day) - kEpochOffsetDays;
}

bool IsValidDate(int year, int month, int day) {
  if (year < 1 || year > 9999 || month < 1 || month > 12 || day < 1) return false;
  static const int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
  return day <= kDays[month - 1] + (month == 2 && leap ? 1 : 0);
}

TDateTime EncodeDateTime(const TDateParts& p) {
  const double time =
      ((p.hour * 60.0 + p.minute) * 60.0 + p.second) / kSecondsPerDay + p.ms / kMsPerDay;
  return static_cast<double>(EncodeDay(p.year, p.month, p.day)) + time;
}

TDateParts DecodeDateTime(TDateTime value) {
  TDateParts p;
  // Round to the millisecond first so that 23:59:59.9999 does not decode as 24:00.
  const int64_t totalMs = std::llround(value * kMsPerDay);
  int64_t days = totalMs / 86400000;
  int64_t msOfDay = totalMs % 86400000;
  if (msOfDay < 0) {
    msOfDay += 86400000;
    --days;
  }
  CivilFromDays(days + kEpochOffsetDays, p.year, p.month, p.day);
  p.hour = static_cast<int>(msOfDay / 3600000);
  p.minute = static_cast<int>(msOfDay / 60000 % 60);
  p.second = static_cast<int>(msOfDay / 1000 % 60);
  p.ms = static_cast<int>(msOfDay % 1000);
  return p;
}

int64_t DateOf(TDateTime value) {
  const TDateParts p = DecodeDateTime(value);
  return EncodeDay(p.year, p.month, p.day);
}

int DayOfWeek(TDateTime value) {
  // Day 0 (30 December 1899) was a Saturday.
  const int64_t d = DateOf(value);
  return static_cast<int>(((d % 7) + 7 + 6) % 7) + 1;
}

bool InDateRange(TDateTime value) {
  return std::isfinite(value) && value >= static_cast<double>(EncodeDay(1, 1, 1)) &&
         value < static_cast<double>(EncodeDay(9999, 12, 31) + 1);
}

std::tm ToTm(TDateTime value) {
  const TDateParts p = DecodeDateTime(value);
  std::tm tm{};
  tm.tm_year = p.year - 1900;
  tm.tm_mon = p.month - 1;
  tm.tm_mday = p.day;
  tm.tm_hour = p.hour;
  tm.tm_min = p.minute;
  tm.tm_sec = p.second;
  tm.tm_wday = DayOfWeek(value) - 1;
  tm.tm_isdst = -1;
  return tm;
}

std::string FormatDateTime(TDateTime value, const char* format) {
  if (!InDateRange(value)) return std::string();
  const std::tm tm = ToTm(value);
  char buffer[128];
  const size_t n = std::strftime(buffer, sizeof buffer, format, &tm);
  return std::string(buffer, n);
}

TDateTime UnixToLocalDateTime(std::time_t seconds) {
  std::tm local{};
  localtime_r(&seconds, &local);
  TDateParts p;
  p.year = local.tm_year + 1900;
  p.month = local.tm_mon + 1;
  p.day = local.tm_mday;
  p.hour = local.tm_hour;
  p.minute = local.tm_min;
  p.second = local.tm_sec;
  return EncodeDateTime(p);
}

std::time_t LocalDateTimeToUnix(TDateTime value) {
  const TDateParts p = DecodeDateTime(value);
  std::tm local{};
  local.tm_year = p.year - 1900;
  local.tm_mon = p.month - 1;
  local.tm_mday = p.day;
  local.tm_hour = p.hour;
  local.tm_min = p.minute;
  local.tm_sec = p.second;
  local.tm_isdst = -1;
  return std::mktime(&local);
}

int LocalUtcOffsetMinutes(std::time_t at) {
  std::tm local{};
  localtime_r(&at, &local);
  return static_cast<int>(local.tm_gmtoff / 60);
}

}  // namespace tarnwell
