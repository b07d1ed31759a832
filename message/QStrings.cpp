#include "message/QStrings.h"

#include <algorithm>
#include <charconv>

namespace tarnwell {

namespace {

constexpr size_t kMaxHeaderLine = 998;

constexpr unsigned char AsciiUpper(unsigned char c) {
  return c >= 'a' && c <= 'z' ? static_cast<unsigned char>(c - 32) : c;
}
constexpr unsigned char AsciiLower(unsigned char c) {
  return c >= 'A' && c <= 'Z' ? static_cast<unsigned char>(c + 32) : c;
}

// Windows-1252 letters beyond ASCII.
constexpr TCharSet kUpperLetters = TCharSet::Range('A', 'Z') | TCharSet{"\x8A\x8C\x8E\x9F"} |
                                   (TCharSet::Range(0xC0, 0xDE) - TCharSet{"\xD7"});
constexpr TCharSet kLowerLetters = TCharSet::Range('a', 'z') |
                                   TCharSet{"\x83\x9A\x9C\x9E\xAA\xB5\xBA"} |
                                   (TCharSet::Range(0xDF, 0xFF) - TCharSet{"\xF7"});

// A 1-based position as an index, with positions before the text read as its start.
size_t IndexOf(size_t pos) { return pos == 0 ? 0 : pos - 1; }

}  // namespace

std::string Trim(std::string_view text) { return TrimRight(TrimLeft(text)); }

std::string TrimLeft(std::string_view text) {
  size_t i = 0;
  while (i < text.size() && kBlanks.Contains(text[i])) ++i;
  return std::string(text.substr(i));
}

std::string TrimRight(std::string_view text) {
  size_t n = text.size();
  while (n > 0 && kBlanks.Contains(text[n - 1])) --n;
  return std::string(text.substr(0, n));
}

std::string LowerCase(std::string_view text) {
  std::string result(text);
  for (char& c : result) c = static_cast<char>(AsciiLower(static_cast<unsigned char>(c)));
  return result;
}

std::string UpperCase(std::string_view text) {
  std::string result(text);
  for (char& c : result) c = static_cast<char>(AsciiUpper(static_cast<unsigned char>(c)));
  return result;
}

bool SameText(std::string_view a, std::string_view b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return AsciiLower(static_cast<unsigned char>(x)) ==
                  AsciiLower(static_cast<unsigned char>(y));
         });
}

size_t PosOf(std::string_view pattern, std::string_view text) {
  if (pattern.empty()) return 0;
  const size_t at = text.find(pattern);
  return at == std::string_view::npos ? 0 : at + 1;
}

size_t FindFrom(std::string_view text, std::string_view pattern, size_t start, bool exact) {
  const size_t from = IndexOf(start);
  if (pattern.empty() || from >= text.size() || pattern.size() > text.size() - from) return 0;
  if (exact) {
    const size_t at = text.find(pattern, from);
    return at == std::string_view::npos ? 0 : at + 1;
  }
  const auto folded = [](char c) { return static_cast<unsigned char>(c) & ~0x20U; };
  const size_t last = text.size() - pattern.size();
  for (size_t i = from; i <= last; ++i) {
    size_t k = 0;
    while (k < pattern.size() && folded(text[i + k]) == folded(pattern[k])) ++k;
    if (k == pattern.size()) return i + 1;
  }
  return 0;
}

std::string ReplaceAll(std::string_view text, std::string_view pattern,
                       std::string_view replacement, bool exact) {
  if (pattern.empty()) return std::string(text);
  const bool compareExactly = exact || replacement.empty();
  std::string result;
  result.reserve(text.size());
  size_t from = 0;
  for (;;) {
    const size_t pos = FindFrom(text, pattern, from + 1, compareExactly);
    if (pos == 0) break;
    result.append(text.substr(from, pos - 1 - from));
    result.append(replacement);
    from = pos - 1 + pattern.size();
  }
  result.append(text.substr(from));
  return result;
}

void ReplaceChar(std::string& text, char oldChar, char newChar) {
  std::replace(text.begin(), text.end(), oldChar, newChar);
}

std::string RemoveChars(std::string_view text, std::string_view chars) {
  const TCharSet removed{chars};
  std::string kept;
  kept.reserve(text.size());
  for (const char c : text) {
    if (!removed.Contains(c)) kept.push_back(c);
  }
  return Trim(kept);
}

std::string CollapseSpaces(std::string_view text) { return ReplaceAll(text, "  ", " ", true); }

size_t CountChar(std::string_view text, char c) {
  return static_cast<size_t>(std::count(text.begin(), text.end(), c));
}

void SkipBlanks(std::string_view text, size_t& pos) {
  size_t i = IndexOf(pos);
  while (i < text.size() && kBlanks.Contains(text[i])) ++i;
  pos = i + 1;
}

void SkipUntil(std::string_view text, const TCharSet& set, size_t& pos) {
  size_t i = IndexOf(pos);
  while (i < text.size() && !set.Contains(text[i])) ++i;
  pos = i + 1;
}

std::string NextToken(std::string_view text, size_t& pos, const TCharSet& set) {
  SkipUntil(text, set, pos);
  const size_t begin = pos - 1;
  size_t end = begin;
  while (end < text.size() && set.Contains(text[end])) ++end;
  pos = end + 1;
  return std::string(text.substr(std::min(begin, text.size()), end - begin));
}

std::string NthToken(std::string_view text, size_t n, const TCharSet& set) {
  size_t pos = 1;
  std::string token;
  for (size_t i = 0; i < n; ++i) {
    token = NextToken(text, pos, set);
    if (token.empty()) break;
  }
  return n == 0 ? std::string() : token;
}

size_t CountTokens(std::string_view text, const TCharSet& set) {
  size_t count = 0;
  size_t pos = 1;
  while (!NextToken(text, pos, set).empty()) ++count;
  return count;
}

std::string NthWord(std::string_view text, size_t n) { return NthToken(text, n, kAlphanumerics); }

std::string FirstAlphaWord(std::string_view text) {
  size_t pos = 1;
  return NextToken(text, pos, kLetters);
}

std::string NextAlphaWord(std::string_view text, size_t& pos) {
  return NextToken(text, pos, kLetters);
}

std::string FirstNumber(std::string_view text) {
  size_t pos = 1;
  return NextToken(text, pos, kDigits);
}

std::string NextNumber(std::string_view text, size_t& pos) { return NextToken(text, pos, kDigits); }

bool IsLetter(unsigned char c) { return kUpperLetters.Contains(c) || kLowerLetters.Contains(c); }

bool IsUpperLetter(unsigned char c) { return kUpperLetters.Contains(c); }

bool AllInSet(std::string_view text, const TCharSet& set) {
  return std::all_of(text.begin(), text.end(), [&](char c) { return set.Contains(c); });
}

bool NonEmptyAllInSet(std::string_view text, const TCharSet& set) {
  return !text.empty() && AllInSet(text, set);
}

bool MostlyInSet(std::string_view text, const TCharSet& set) {
  const auto in = std::count_if(text.begin(), text.end(), [&](char c) { return set.Contains(c); });
  return static_cast<size_t>(in) * 2 > text.size();
}

bool IsUppercase(std::string_view text) {
  bool anyLetter = false;
  for (const char c : text) {
    const auto b = static_cast<unsigned char>(c);
    if (kLowerLetters.Contains(b)) return false;
    anyLetter = anyLetter || kUpperLetters.Contains(b);
  }
  return anyLetter;
}

bool ContainsWord(std::string_view text, std::string_view word) {
  if (word.empty()) return false;
  for (size_t at = text.find(word); at != std::string_view::npos; at = text.find(word, at + 1)) {
    const size_t after = at + word.size();
    const bool letterBefore = at > 0 && IsLetter(static_cast<unsigned char>(text[at - 1]));
    const bool letterAfter =
        after < text.size() && IsLetter(static_cast<unsigned char>(text[after]));
    if (!letterBefore && !letterAfter) return true;
  }
  return false;
}

bool EndsWith(std::string_view text, std::string_view suffix) {
  return !suffix.empty() && text.ends_with(suffix);
}

bool EndsWithText(std::string_view text, std::string_view suffix) {
  return !suffix.empty() && suffix.size() <= text.size() &&
         SameText(text.substr(text.size() - suffix.size()), suffix);
}

bool ToInteger(std::string_view text, int64_t& value) {
  size_t i = 0;
  while (i < text.size() && kBlanks.Contains(text[i])) ++i;
  if (i < text.size() && text[i] == '+') ++i;
  const char* first = text.data() + i;
  const char* last = text.data() + text.size();
  if (first == last) return false;
  const auto [end, error] = std::from_chars(first, last, value);
  return error == std::errc() && end == last;
}

bool IsNumberInRange(std::string_view text, int64_t low, int64_t high) {
  int64_t n = 0;
  return ToInteger(text, n) && low <= n && n <= high;
}

std::vector<std::string> SplitTextLines(std::string_view text) {
  std::vector<std::string> lines;
  size_t start = 0;
  while (start < text.size()) {
    size_t end = start;
    while (end < text.size() && text[end] != '\r' && text[end] != '\n') ++end;
    lines.emplace_back(text.substr(start, end - start));
    if (end < text.size() && text[end] == '\r' && end + 1 < text.size() && text[end + 1] == '\n')
      ++end;
    start = end + 1;
  }
  return lines;
}

std::string JoinLines(const std::vector<std::string>& lines) {
  size_t length = 0;
  for (const std::string& line : lines) length += line.size() + 1;
  std::string result;
  result.reserve(length);
  for (const std::string& line : lines) {
    if (line.empty()) continue;
    result += line;
    result += ' ';
  }
  return result;
}

std::string JoinHtmlLines(const std::vector<std::string>& lines) {
  std::string result;
  bool inTag = false;
  for (const std::string& line : lines) {
    for (const char c : line) {
      if (c == '\r') continue;
      if (c == '\n') {
        if (!inTag) result += ' ';
        continue;
      }
      if (c == '<') inTag = true;
      if (c == '>') inTag = false;
      result += c;
    }
    if (!inTag) result += ' ';
  }
  return result;
}

void UnfoldLines(std::vector<std::string>& lines) {
  std::vector<std::string> unfolded;
  unfolded.reserve(lines.size());
  for (std::string& line : lines) {
    const bool continuation = !line.empty() && (line[0] == ' ' || line[0] == '\t');
    if (!continuation || unfolded.empty()) {
      unfolded.push_back(std::move(line));
      continue;
    }
    const size_t text = line.find_first_not_of(" \t");
    unfolded.back() += ' ';
    if (text != std::string::npos) unfolded.back().append(line, text, std::string::npos);
  }
  lines = std::move(unfolded);
}

void FoldLongLines(std::vector<std::string>& lines) {
  std::vector<std::string> folded;
  folded.reserve(lines.size());
  for (std::string& line : lines) {
    if (line.size() <= kMaxHeaderLine) {
      folded.push_back(std::move(line));
      continue;
    }
    std::string_view rest = line;
    std::string prefix;
    for (;;) {
      if (prefix.size() + rest.size() <= kMaxHeaderLine) {
        folded.push_back(prefix + std::string(rest));
        break;
      }
      // A space at the very start would leave an empty line, which ends a header block.
      const size_t limit = kMaxHeaderLine - 1 - prefix.size();
      const size_t space = rest.rfind(' ', limit);
      if (space != std::string_view::npos && space > 0) {
        folded.push_back(prefix + std::string(rest.substr(0, space)));
        rest.remove_prefix(space + 1);
      } else {
        const size_t cut = kMaxHeaderLine - prefix.size();
        folded.push_back(prefix + std::string(rest.substr(0, cut)));
        rest.remove_prefix(cut);
      }
      prefix = "\t";
    }
  }
  lines = std::move(folded);
}

std::string CountNoun(int64_t n, std::string_view noun) {
  std::string result = n == 0 ? "no" : n == 1 ? "one" : std::to_string(n);
  result += ' ';
  result += noun;
  if (n != 1) result += 's';
  return result;
}

std::string Capitalize(std::string_view text) {
  std::string result(text);
  if (!result.empty()) {
    result[0] = static_cast<char>(AsciiUpper(static_cast<unsigned char>(result[0])));
  }
  return result;
}

std::string DurationText(int64_t seconds) {
  struct TUnit {
    int64_t value;
    const char* singular;
    const char* plural;
  };
  const TUnit units[] = {{seconds / 3600, "hour", "hours"},
                         {seconds / 60 % 60, "minute", "minutes"},
                         {seconds % 60, "second", "seconds"}};
  std::string result;
  for (const TUnit& unit : units) {
    if (unit.value == 0) continue;
    result += std::to_string(unit.value);
    result += ' ';
    result += unit.value == 1 ? unit.singular : unit.plural;
    result += ' ';
  }
  return Trim(result);
}

}  // namespace tarnwell
