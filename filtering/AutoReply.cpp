#include "filtering/AutoReply.h"

#include "filtering/Filters.h"
#include "message/QStrings.h"

namespace tarnwell {

int64_t AutoReplyCode(const TFilter* filter) {
  return filter ? int64_t{filter->Kind} * kAutoReplyKindFactor + filter->ID : 0;
}

bool FindAutoReplyCode(const std::vector<std::string>& lines, int64_t& code) {
  for (const std::string& line : lines) {
    if (line.find(kAutoReplyHeader) == std::string::npos) continue;
    size_t pos = 0;
    while (pos < line.size() && !kDigits.Contains(line[pos])) ++pos;
    if (pos == line.size()) return false;
    int64_t value = 0;
    for (; pos < line.size() && kDigits.Contains(line[pos]); ++pos) {
      // A number beyond any filter's code cannot name one.
      if (value > INT32_MAX * int64_t{10}) return false;
      value = value * 10 + (line[pos] - '0');
    }
    code = value;
    return true;
  }
  return false;
}

}  // namespace tarnwell
