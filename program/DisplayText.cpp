#include "program/DisplayText.h"

#include <iconv.h>

#include <cctype>
#include <cerrno>

#include "message/QStrings.h"

namespace tarnwell {

namespace {

// The bytes in the charset converted to UTF-8; false when the system does not know the charset
// or the bytes are not of it.
bool Convert(const std::string& charset, const std::string& bytes, std::string& out) {
  // Only a plain name reaches iconv: a suffix such as "//TRANSLIT" would change its rules.
  for (const char c : charset)
    if (!std::isalnum(static_cast<unsigned char>(c)) && c != '-' && c != '_' && c != '.' &&
        c != ':' && c != '+')
      return false;
  const iconv_t converter = ::iconv_open("UTF-8", charset.c_str());
  if (converter == reinterpret_cast<iconv_t>(-1)) return false;
  std::string input = bytes;
  char* in = input.data();
  size_t inLeft = input.size();
  std::string result;
  char buffer[256];
  bool ok = true;
  // The last round, without input, ends a stateful charset's shift sequence.
  for (bool flushing = false;;) {
    char* outPointer = buffer;
    size_t outLeft = sizeof buffer;
    const size_t done = flushing ? ::iconv(converter, nullptr, nullptr, &outPointer, &outLeft)
                                 : ::iconv(converter, &in, &inLeft, &outPointer, &outLeft);
    result.append(buffer, sizeof buffer - outLeft);
    if (done != static_cast<size_t>(-1)) {
      if (flushing) break;
      flushing = true;
    } else if (errno != E2BIG) {
      ok = false;
      break;
    }
  }
  ::iconv_close(converter);
  if (ok) out += result;
  return ok;
}

std::string WordText(const TTextPiece& word) {
  std::string text;
  if (SameText(word.Charset, "UTF-8") || !Convert(word.Charset, word.Bytes, text))
    text = DisplayText(word.Bytes);
  return text;
}

}  // namespace

std::string DecodedDisplayText(std::string_view bytes) {
  std::string out;
  for (const TTextPiece& piece : SplitEncodedWords(bytes))
    out += piece.Encoded ? WordText(piece) : DisplayText(piece.Bytes);
  return out;
}

std::string CleanField(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    const auto byte = static_cast<unsigned char>(text[i]);
    const auto next = [&](size_t k) {
      return i + k < text.size() ? static_cast<unsigned char>(text[i + k]) : 0;
    };
    if (byte < 0x20 || byte == 0x7F) {
      out += ' ';
    } else if (byte == 0xC2 && next(1) >= 0x80 && next(1) <= 0x9F) {
      out += ' ';  // a C1 control
      ++i;
    } else if (byte == 0xE2 && next(1) == 0x80 && (next(2) == 0xA8 || next(2) == 0xA9)) {
      out += ' ';  // the line and paragraph separators
      i += 2;
    } else {
      out += static_cast<char>(byte);
    }
  }
  return out;
}

}  // namespace tarnwell
