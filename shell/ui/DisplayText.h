#pragma once

#include <QString>
#include <string_view>

namespace tarnwell {

// Bytes of mail and of the program's files as text for the windows, by the rules of
// message/DisplayText.h: valid UTF-8 as UTF-8, other bytes as Windows-1252.
[[nodiscard]] QString DisplayString(std::string_view bytes);

// Bytes in a declared charset, decoded by Qt when it knows the charset and the bytes are of it;
// otherwise (and without a charset) as DisplayString.
[[nodiscard]] QString DisplayString(std::string_view bytes, std::string_view charset);

// A header value with its encoded words (RFC 2047) decoded in the charsets they name.
[[nodiscard]] QString DecodedDisplayString(std::string_view value);

// The text on one line: control characters, line breaks and tabs above all, become blanks.
[[nodiscard]] QString OneLine(QString text);

}  // namespace tarnwell
