#pragma once

#include <string>
#include <string_view>

namespace tarnwell {

// Base64 of RFC 2045 without line breaks.
class TBase64 {
 public:
  // "=" padding; the result is 4 * ceil(n / 3) bytes long.
  [[nodiscard]] static std::string Encode(std::string_view bytes);
  // Groups of four characters give three bytes, two when the group ends in "=" and one when it
  // ends in "=="; characters outside the alphabet count as 0. A short last group gives the whole
  // bytes its characters hold.
  [[nodiscard]] static std::string Decode(std::string_view text);
};

}  // namespace tarnwell
