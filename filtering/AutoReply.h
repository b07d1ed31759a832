#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace tarnwell {

class TFilter;

// Every complaint and error message the program sends carries this header with a code that
// names the filter that caused it, so that a returned copy (a bounce) leads back to the filter.
inline constexpr const char* kAutoReplyHeader = "X-Tarnwell-AutoReply";
inline constexpr int64_t kAutoReplyKindFactor = 10000000;

// The filter's kind × 10000000 + its number; 0 without a filter.
[[nodiscard]] int64_t AutoReplyCode(const TFilter* filter);
// The first run of digits in the first line that holds the header's name; false when there is
// no such line or number, or the number is too large to name a filter.
bool FindAutoReplyCode(const std::vector<std::string>& lines, int64_t& code);

}  // namespace tarnwell
