#pragma once

#include <string>
#include <string_view>

#include "message/DisplayText.h"

namespace tarnwell {

// The command line's display text: UTF-8 for the terminal and for JSON, by the rules of
// message/DisplayText.h.

// As DisplayText, after decoding the encoded words (RFC 2047) of a header value with the charsets
// they name. A word in a charset the system does not know, or whose bytes that charset does not
// take, is shown as DisplayText of its bytes; a malformed word stays as it is.
[[nodiscard]] std::string DecodedDisplayText(std::string_view bytes);

// A field of a list line: control characters (tabs and line breaks above all, which would split
// the line, and the terminal's escapes) become blanks. Takes and gives UTF-8.
[[nodiscard]] std::string CleanField(std::string_view text);

}  // namespace tarnwell
