#include "message/DisplayText.h"

#include <algorithm>

#include "message/Base64.h"

namespace tarnwell {

namespace {

// Windows-1252 at 0x80 to 0x9F; the five bytes it leaves out keep their C1 code points.
constexpr char16_t kWindows1252[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

void AppendUtf8(std::string& out, char32_t c) {
  if (c < 0x80) {
    out += static_cast<char>(c);
  } else if (c < 0x800) {
    out += static_cast<char>(0xC0 | (c >> 6));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else {
    out += static_cast<char>(0xE0 | (c >> 12));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  }
}

// The length of the UTF-8 sequence at `i`, or 0 when none starts there (overlong forms,
// surrogates and code points past U+10FFFF included).
size_t SequenceAt(std::string_view text, size_t i) {
  const auto byte = [&text](size_t k) { return static_cast<unsigned char>(text[k]); };
  const unsigned char lead = byte(i);
  if (lead < 0x80) return 1;
  size_t length = 0;
  unsigned char low = 0x80;
  unsigned char high = 0xBF;
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3;
    if (lead == 0xE0) low = 0xA0;
    if (lead == 0xED) high = 0x9F;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4;
    if (lead == 0xF0) low = 0x90;
    if (lead == 0xF4) high = 0x8F;
  } else {
    return 0;
  }
  if (i + length > text.size()) return 0;
  if (byte(i + 1) < low || byte(i + 1) > high) return 0;
  for (size_t k = 2; k < length; ++k)
    if (byte(i + k) < 0x80 || byte(i + k) > 0xBF) return 0;
  return length;
}

bool IsBase64Char(char c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '+' ||
         c == '/' || c == '=';
}

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

bool DecodeQ(std::string_view text, std::string& bytes) {
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '_') {
      bytes += ' ';
    } else if (text[i] != '=') {
      bytes += text[i];
    } else {
      const int high = i + 1 < text.size() ? HexValue(text[i + 1]) : -1;
      const int low = i + 2 < text.size() ? HexValue(text[i + 2]) : -1;
      if (high < 0 || low < 0) return false;
      bytes += static_cast<char>(high * 16 + low);
      i += 2;
    }
  }
  return true;
}

// Reads the word "=?charset?B|Q?text?=" that starts with the "=?" at `start`; `end` is the
// position after its "?=".
bool ParseWord(std::string_view value, size_t start, TTextPiece& word, size_t& end) {
  const auto isTokenChar = [](char c) { return c > ' ' && c < 0x7F && c != '?'; };
  size_t i = start + 2;
  while (i < value.size() && isTokenChar(value[i])) ++i;
  if (i == start + 2 || i + 2 >= value.size() || value[i] != '?' || value[i + 2] != '?')
    return false;
  const std::string_view charset = value.substr(start + 2, i - start - 2);
  // RFC 2231 lets a language follow the charset after a "*".
  word.Charset = std::string(charset.substr(0, charset.find('*')));
  const char encoding = value[i + 1];
  const size_t textStart = i + 3;
  size_t textEnd = textStart;
  while (textEnd < value.size() && isTokenChar(value[textEnd])) ++textEnd;
  if (textEnd + 1 >= value.size() || value[textEnd] != '?' || value[textEnd + 1] != '=')
    return false;
  const std::string_view text = value.substr(textStart, textEnd - textStart);
  word.Bytes.clear();
  if (encoding == 'B' || encoding == 'b') {
    for (const char c : text)
      if (!IsBase64Char(c)) return false;
    word.Bytes = TBase64::Decode(text);
  } else if (encoding != 'Q' && encoding != 'q') {
    return false;
  } else if (!DecodeQ(text, word.Bytes)) {
    return false;
  }
  word.Encoded = true;
  end = textEnd + 2;
  return true;
}

bool IsBlankRun(std::string_view text) {
  return text.find_first_not_of(" \t\r\n") == std::string_view::npos;
}

void AddPlain(std::vector<TTextPiece>& pieces, std::string_view plain) {
  if (!plain.empty()) pieces.push_back({std::string(), std::string(plain), false});
}

}  // namespace

std::string DisplayText(std::string_view bytes) {
  std::string out;
  out.reserve(bytes.size());
  for (size_t i = 0; i < bytes.size();) {
    const size_t length = SequenceAt(bytes, i);
    if (length > 0) {
      out.append(bytes.substr(i, length));
      i += length;
      continue;
    }
    AppendUtf8(out, Windows1252Char(static_cast<unsigned char>(bytes[i++])));
  }
  return out;
}

std::vector<size_t> DisplayTextStarts(std::string_view bytes) {
  std::vector<size_t> starts;
  starts.reserve(bytes.size() + 1);
  for (size_t i = 0; i < bytes.size();) {
    starts.push_back(i);
    i += std::max<size_t>(SequenceAt(bytes, i), 1);
  }
  starts.push_back(bytes.size());
  return starts;
}

char16_t Windows1252Char(unsigned char byte) {
  return byte >= 0x80 && byte <= 0x9F ? kWindows1252[byte - 0x80] : byte;
}

std::vector<TTextPiece> SplitEncodedWords(std::string_view value) {
  std::vector<TTextPiece> pieces;
  size_t plainStart = 0;
  bool afterWord = false;
  for (size_t at = value.find("=?"); at != std::string_view::npos; at = value.find("=?", at)) {
    TTextPiece word;
    size_t end = 0;
    if (!ParseWord(value, at, word, end)) {
      at += 2;
      continue;
    }
    const std::string_view plain = value.substr(plainStart, at - plainStart);
    // Blanks between two encoded words are no part of the text (RFC 2047, 6.2).
    if (!(afterWord && IsBlankRun(plain))) AddPlain(pieces, plain);
    pieces.push_back(std::move(word));
    plainStart = at = end;
    afterWord = true;
  }
  AddPlain(pieces, value.substr(plainStart));
  return pieces;
}

}  // namespace tarnwell
