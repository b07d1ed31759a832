#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace tarnwell {

// A set of byte values, usable in constant expressions.
class TCharSet {
 public:
  constexpr TCharSet() = default;
  constexpr explicit TCharSet(std::string_view members) {
    for (const char c : members) Add(static_cast<unsigned char>(c));
  }
  [[nodiscard]] static constexpr TCharSet Range(unsigned char first, unsigned char last) {
    TCharSet set;
    for (unsigned c = first; c <= last; ++c) set.Add(static_cast<unsigned char>(c));
    return set;
  }

  [[nodiscard]] constexpr bool Contains(unsigned char c) const {
    return (bits_[c >> 6] >> (c & 63)) & 1U;
  }
  [[nodiscard]] constexpr bool Contains(char c) const {
    return Contains(static_cast<unsigned char>(c));
  }
  [[nodiscard]] constexpr TCharSet operator|(const TCharSet& other) const {
    TCharSet set;
    for (int i = 0; i < 4; ++i) set.bits_[i] = bits_[i] | other.bits_[i];
    return set;
  }
  // The members of this set that are not in `other`.
  [[nodiscard]] constexpr TCharSet operator-(const TCharSet& other) const {
    TCharSet set;
    for (int i = 0; i < 4; ++i) set.bits_[i] = bits_[i] & ~other.bits_[i];
    return set;
  }
  [[nodiscard]] constexpr bool operator==(const TCharSet&) const = default;

 private:
  constexpr void Add(unsigned char c) { bits_[c >> 6] |= uint64_t{1} << (c & 63); }

  uint64_t bits_[4]{};
};

inline constexpr TCharSet kBlanks{" \t\n\r"};
inline constexpr TCharSet kLetters = TCharSet::Range('A', 'Z') | TCharSet::Range('a', 'z');
inline constexpr TCharSet kDigits = TCharSet::Range('0', '9');
inline constexpr TCharSet kAlphanumerics = kLetters | kDigits;
// The atom characters of RFC 822.
inline constexpr TCharSet kAtomChars = kAlphanumerics | TCharSet{"!#$%&'*+-/=?^_`{|}~"};
inline constexpr TCharSet kAddressChars = (kAtomChars - TCharSet{"?"}) | TCharSet{".@"};
inline constexpr TCharSet kUrlChars = kAlphanumerics | TCharSet{"%-./:@_"};
inline constexpr TCharSet kZoneChars = kAlphanumerics | TCharSet{"+-"};

// Blanks (space, tab, line feed, carriage return) removed at the ends.
[[nodiscard]] std::string Trim(std::string_view text);
[[nodiscard]] std::string TrimLeft(std::string_view text);
[[nodiscard]] std::string TrimRight(std::string_view text);
// ASCII case conversion; other bytes are kept.
[[nodiscard]] std::string LowerCase(std::string_view text);
[[nodiscard]] std::string UpperCase(std::string_view text);
// Equal but for the case of ASCII letters.
[[nodiscard]] bool SameText(std::string_view a, std::string_view b);

// Search and replace. Positions count from 1; 0 means "not found".
[[nodiscard]] size_t PosOf(std::string_view pattern, std::string_view text);
// The first occurrence at or after `start`. Without `exact`, bytes are compared with bit 5
// cleared, which folds the case of ASCII letters.
[[nodiscard]] size_t FindFrom(std::string_view text, std::string_view pattern, size_t start,
                              bool exact);
// Every non-overlapping occurrence, left to right; an empty replacement compares exactly.
// An empty pattern leaves the text as it is.
[[nodiscard]] std::string ReplaceAll(std::string_view text, std::string_view pattern,
                                     std::string_view replacement, bool exact);
void ReplaceChar(std::string& text, char oldChar, char newChar);
// Removes every byte listed in `chars`, then trims blanks.
[[nodiscard]] std::string RemoveChars(std::string_view text, std::string_view chars);
// One pass replacing two spaces by one.
[[nodiscard]] std::string CollapseSpaces(std::string_view text);
[[nodiscard]] size_t CountChar(std::string_view text, char c);

// Tokenizer. `pos` counts from 1 and is advanced past what was read.
void SkipBlanks(std::string_view text, size_t& pos);
void SkipUntil(std::string_view text, const TCharSet& set, size_t& pos);
// Skips bytes not in `set`, then returns the run of bytes in it; empty at the end of the text.
[[nodiscard]] std::string NextToken(std::string_view text, size_t& pos, const TCharSet& set);
// The n-th token (from 1); empty when there are fewer.
[[nodiscard]] std::string NthToken(std::string_view text, size_t n, const TCharSet& set);
[[nodiscard]] size_t CountTokens(std::string_view text, const TCharSet& set);
[[nodiscard]] std::string NthWord(std::string_view text, size_t n);
[[nodiscard]] std::string FirstAlphaWord(std::string_view text);
[[nodiscard]] std::string NextAlphaWord(std::string_view text, size_t& pos);
[[nodiscard]] std::string FirstNumber(std::string_view text);
[[nodiscard]] std::string NextNumber(std::string_view text, size_t& pos);

// Character classes. Letters and case follow Windows-1252, which agrees with ASCII.
[[nodiscard]] bool IsLetter(unsigned char c);
[[nodiscard]] bool IsUpperLetter(unsigned char c);
// True for an empty text.
[[nodiscard]] bool AllInSet(std::string_view text, const TCharSet& set);
[[nodiscard]] bool NonEmptyAllInSet(std::string_view text, const TCharSet& set);
// More than half of the bytes are in the set.
[[nodiscard]] bool MostlyInSet(std::string_view text, const TCharSet& set);
// Has a letter, and every letter is upper case.
[[nodiscard]] bool IsUppercase(std::string_view text);
// Some occurrence of `word` is neither preceded nor followed by a letter.
[[nodiscard]] bool ContainsWord(std::string_view text, std::string_view word);
// An empty suffix gives false.
[[nodiscard]] bool EndsWith(std::string_view text, std::string_view suffix);
[[nodiscard]] bool EndsWithText(std::string_view text, std::string_view suffix);
[[nodiscard]] bool IsNumberInRange(std::string_view text, int64_t low, int64_t high);
// The text as a whole as a decimal integer (leading blanks and a sign allowed).
[[nodiscard]] bool ToInteger(std::string_view text, int64_t& value);

// Lines.
// The lines of a text file: CR, LF and CR LF each end a line; a final line end does not start
// another line.
[[nodiscard]] std::vector<std::string> SplitTextLines(std::string_view text);
// Every non-empty line followed by one space.
[[nodiscard]] std::string JoinLines(const std::vector<std::string>& lines);
// Joins so that an HTML tag split over lines stays whole.
[[nodiscard]] std::string JoinHtmlLines(const std::vector<std::string>& lines);
// Appends each line that starts with a space or tab to the line before it (header unfolding).
void UnfoldLines(std::vector<std::string>& lines);
// Splits header lines longer than 998 bytes into continuation lines.
void FoldLongLines(std::vector<std::string>& lines);

// Empties a string or a list of lines, giving its memory back when its room is larger than
// `kept` bytes or items (what a large message left) and keeping it for reuse otherwise.
template <typename T>
void EmptyAndTrim(T& container, size_t kept) {
  if (container.capacity() > kept)
    T().swap(container);
  else
    container.clear();
}

// Formatting.
// "no messages", "one message", "3 messages".
[[nodiscard]] std::string CountNoun(int64_t n, std::string_view noun);
[[nodiscard]] std::string Capitalize(std::string_view text);
// "1 hour 2 minutes 5 seconds"; empty for 0.
[[nodiscard]] std::string DurationText(int64_t seconds);

}  // namespace tarnwell
