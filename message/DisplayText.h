#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace tarnwell {

// Text from mail and from the program's files is bytes in whatever charset it came in; the core
// never converts it. These are the rules every front end shares for showing it.

// Valid UTF-8 as it is; every byte that is not part of a valid UTF-8 sequence read as
// Windows-1252. So a header whose encoded words the check decoded into bytes of different
// charsets, Latin-1 beside UTF-8, shows both.
[[nodiscard]] std::string DisplayText(std::string_view bytes);

// Where each character of DisplayText(bytes) begins in `bytes`, in order, and the size of `bytes`
// last: what a front end shows of the text maps back to the bytes it stands for.
[[nodiscard]] std::vector<size_t> DisplayTextStarts(std::string_view bytes);

// The character of `byte` in Windows-1252; the five bytes it leaves out keep their C1 code points.
[[nodiscard]] char16_t Windows1252Char(unsigned char byte);

// A run of a header value: plain bytes, or an encoded word decoded to the bytes of its charset.
struct TTextPiece {
  // Empty for plain bytes; of an encoded word without the RFC 2231 language.
  std::string Charset;
  std::string Bytes;
  bool Encoded = false;
};

// A header value cut at its encoded words (RFC 2047). Blanks between two words are no part of
// the text and are left out; a malformed word stays plain text.
[[nodiscard]] std::vector<TTextPiece> SplitEncodedWords(std::string_view value);

}  // namespace tarnwell
