#pragma once

#include <string>
#include <string_view>

namespace tarnwell {

// Text from mail and from the program's files is bytes in whatever charset it came in; the
// core never converts it. These turn it into UTF-8 for the terminal and for JSON.

// Valid UTF-8 as it is; every byte that is not part of a valid UTF-8 sequence read as
// Windows-1252. So a header whose encoded words the check decoded into bytes of different
// charsets, Latin-1 beside UTF-8, shows both.
[[nodiscard]] std::string DisplayText(std::string_view bytes);

// As DisplayText, after decoding the encoded words (RFC 2047) of a header value with the charsets
// they name. A word in a charset the system does not know, or whose bytes that charset does not
// take, is shown as DisplayText of its bytes; a malformed word stays as it is.
[[nodiscard]] std::string DecodedDisplayText(std::string_view bytes);

// A field of a list line: control characters (tabs and line breaks above all, which would split
// the line, and the terminal's escapes) become blanks. Takes and gives UTF-8.
[[nodiscard]] std::string CleanField(std::string_view text);

}  // namespace tarnwell
