#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/Clock.h"

namespace tarnwell {

class TArguments;
class TEmail;

// The lines of a list: one item a line, its fields separated by tabs in a fixed order, or with
// `--json` one JSON object a line whose keys name the fields. Text is shown as UTF-8 with
// control characters as blanks, dates in ISO 8601 in local time.
class TListOutput {
 public:
  // Takes "--json" from the arguments.
  explicit TListOutput(TArguments& arguments);
  explicit TListOutput(bool json) : json_(json) {}

  [[nodiscard]] bool Json() const { return json_; }

  // Text of the program or the user (descriptions, names of accounts, filter descriptions).
  TListOutput& Text(std::string_view key, std::string_view bytes);
  // A header value of a message: its encoded words are decoded first.
  TListOutput& MailText(std::string_view key, std::string_view bytes);
  // A value out of a fixed set: its display name in the columns, its keyword in JSON.
  TListOutput& Named(std::string_view key, std::string_view name, std::string_view keyword);
  TListOutput& Number(std::string_view key, int64_t value);
  // "yes" or "no" in the columns, true or false in JSON.
  TListOutput& Flag(std::string_view key, bool value);
  // Empty in the columns and null in JSON when there is no date (0).
  TListOutput& Date(std::string_view key, TDateTime value);
  // A value the caller gives in both forms: `column` as a column, `json` as a JSON value.
  TListOutput& Field(std::string_view key, std::string column, std::string json);
  // Prints the line and starts the next.
  void EndLine();

 private:
  bool json_ = false;
  std::vector<std::pair<std::string, std::string>> fields_;
};

// ISO 8601 in local time with its offset from UTC, "2024-03-14T09:00:00+01:00"; empty for 0
// and for dates outside the years 1 to 9999.
[[nodiscard]] std::string IsoDateText(TDateTime value);
// The moment of a message's Date header in local time. The record's `Date` is the time as the
// sender wrote it, without its zone, as the windowed program shows it; a list applies the zone
// ("+0100", "-0500", "GMT", "EST" and the other names of RFC 5322). A date without a zone is taken
// as local time. 0 when there is no readable date.
[[nodiscard]] TDateTime LocalMessageDate(const TEmail& message);
// A JSON string holding `utf8`.
[[nodiscard]] std::string JsonString(std::string_view utf8);

// The keywords of the fixed sets in JSON and on the command line.
[[nodiscard]] std::string ActionKeyword(uint8_t action);
[[nodiscard]] std::string StatusKeyword(uint8_t status);
[[nodiscard]] std::string OriginKeyword(uint8_t origin);
[[nodiscard]] std::string KindKeyword(uint8_t kind);
[[nodiscard]] std::string AccountTypeKeyword(uint8_t type);

}  // namespace tarnwell
