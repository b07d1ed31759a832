#include "program/ListOutput.h"

#include <cmath>
#include <cstdio>

#include "accounts/Account.h"
#include "filtering/FilterTypes.h"
#include "message/Emails.h"
#include "message/QStrings.h"
#include "platform/DateTime.h"
#include "program/CommandSupport.h"
#include "program/DisplayText.h"

namespace tarnwell {

namespace {

// The display name in lower case with a "-" for each blank: "Possible spam" is
// "possible-spam".
std::string KeywordOf(std::string_view name) {
  std::string keyword;
  for (const char c : name)
    keyword += c == ' ' ? '-' : (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c;
  return keyword;
}

}  // namespace

TListOutput::TListOutput(TArguments& arguments) : json_(arguments.TakeFlag("--json")) {}

TListOutput& TListOutput::Field(std::string_view key, std::string column, std::string json) {
  fields_.emplace_back(std::string(key), json_ ? std::move(json) : std::move(column));
  return *this;
}

TListOutput& TListOutput::Text(std::string_view key, std::string_view bytes) {
  const std::string text = ListField(bytes);
  return Field(key, text, JsonString(text));
}

TListOutput& TListOutput::MailText(std::string_view key, std::string_view bytes) {
  const std::string text = CleanField(DecodedDisplayText(bytes));
  return Field(key, text, JsonString(text));
}

TListOutput& TListOutput::Named(std::string_view key, std::string_view name,
                                std::string_view keyword) {
  return Field(key, ListField(name), JsonString(keyword));
}

TListOutput& TListOutput::Number(std::string_view key, int64_t value) {
  return Field(key, std::to_string(value), std::to_string(value));
}

TListOutput& TListOutput::Flag(std::string_view key, bool value) {
  return Field(key, value ? "yes" : "no", value ? "true" : "false");
}

TListOutput& TListOutput::Date(std::string_view key, TDateTime value) {
  const std::string text = IsoDateText(value);
  return Field(key, text, text.empty() ? "null" : JsonString(text));
}

void TListOutput::EndLine() {
  std::string line;
  for (size_t i = 0; i < fields_.size(); ++i) {
    if (json_) {
      line += i == 0 ? "{" : ",";
      line += JsonString(fields_[i].first) + ":" + fields_[i].second;
    } else {
      if (i > 0) line += '\t';
      line += fields_[i].second;
    }
  }
  if (json_) line += fields_.empty() ? "{}" : "}";
  line += '\n';
  std::fwrite(line.data(), 1, line.size(), stdout);
  fields_.clear();
}

std::string IsoDateText(TDateTime value) {
  if (value == 0 || !InDateRange(value)) return std::string();
  const TDateParts p = DecodeDateTime(value);
  const int offset = LocalUtcOffsetMinutes(LocalDateTimeToUnix(value));
  const int distance = offset < 0 ? -offset : offset;
  char text[40];
  std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02d%c%02d:%02d", p.year, p.month,
                p.day, p.hour, p.minute, p.second, offset < 0 ? '-' : '+', distance / 60,
                distance % 60);
  return text;
}

namespace {

// The offset from UTC in minutes of a zone of a Date header; false when `token` is none.
bool ZoneOffset(std::string_view token, int& minutes) {
  if (token.size() == 5 && (token[0] == '+' || token[0] == '-') &&
      token.find_first_not_of("0123456789", 1) == std::string_view::npos) {
    const int hours = (token[1] - '0') * 10 + (token[2] - '0');
    const int rest = (token[3] - '0') * 10 + (token[4] - '0');
    if (rest > 59) return false;
    minutes = (token[0] == '-' ? -1 : 1) * (hours * 60 + rest);
    return true;
  }
  static const struct {
    const char* name;
    int hours;
  } kZones[] = {{"UT", 0},   {"UTC", 0},  {"GMT", 0},  {"Z", 0},    {"EST", -5}, {"EDT", -4},
                {"CST", -6}, {"CDT", -5}, {"MST", -7}, {"MDT", -6}, {"PST", -8}, {"PDT", -7}};
  for (const auto& zone : kZones) {
    if (!SameText(token, zone.name)) continue;
    minutes = zone.hours * 60;
    return true;
  }
  return false;
}

}  // namespace

TDateTime LocalMessageDate(const TEmail& message) {
  if (message.Date == 0) return 0;
  // The zone follows the time (and an AM or PM), as the parser of the date reads it.
  const std::string value = message.Headers.ValueOf("Date");
  const size_t colon = value.find(':');
  if (colon == std::string::npos) return message.Date;
  size_t pos = value.find_first_of(" +-", colon);
  int minutes = 0;
  bool zoned = false;
  while (pos != std::string::npos && !zoned) {
    const size_t start = value.find_first_not_of(" ", pos);
    if (start == std::string::npos) break;
    const size_t end = value.find_first_of(" ", start + 1);
    std::string_view token = std::string_view(value).substr(start, end - start);
    if (SameText(token, "AM") || SameText(token, "PM")) {
      pos = end;
      continue;
    }
    zoned = ZoneOffset(token, minutes);
    break;
  }
  if (!zoned) return message.Date;
  // The Unix time of the moment, then its local date and time.
  constexpr double kUnixEpochDay = 25569;
  const double utc = message.Date - minutes / (24.0 * 60.0);
  return UnixToLocalDateTime(
      static_cast<std::time_t>(std::llround((utc - kUnixEpochDay) * kSecondsPerDay)));
}

std::string JsonString(std::string_view utf8) {
  std::string out = "\"";
  for (const char c : utf8) {
    switch (c) {
      case '"': out += "\\\""; break;
      case '\\': out += "\\\\"; break;
      case '\n': out += "\\n"; break;
      case '\r': out += "\\r"; break;
      case '\t': out += "\\t"; break;
      default:
        if (static_cast<unsigned char>(c) < 0x20) {
          char escape[8];
          std::snprintf(escape, sizeof escape, "\\u%04x", static_cast<unsigned char>(c));
          out += escape;
        } else {
          out += c;
        }
    }
  }
  return out + "\"";
}

std::string ActionKeyword(uint8_t action) {
  static const char* const kKeywords[] = {"ignore", "accept",   "mark",
                                          "kill",   "complain", "error-message"};
  return action < 6 ? kKeywords[action] : "unknown";
}

std::string StatusKeyword(uint8_t status) { return KeywordOf(TEmail::StatusName(status)); }

std::string OriginKeyword(uint8_t origin) { return KeywordOf(OriginName(origin)); }

std::string KindKeyword(uint8_t kind) { return KeywordOf(KindName(kind)); }

std::string AccountTypeKeyword(uint8_t type) {
  switch (type) {
    case akPOP3: return "pop3";
    case akMapi: return "mapi";
    case akHotmail: return "hotmail";
    case akAOL: return "aol";
    case akYahoo: return "yahoo";
    default: return "unknown";
  }
}

}  // namespace tarnwell
