#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "message/DisplayText.h"

namespace tarnwell {
namespace {

TEST(DisplayTextTest, ValidUtf8StaysAndEveryOtherByteIsWindows1252) {
  const std::pair<std::string, std::string> cases[] = {
      {"plain", "plain"},
      {"Gr\xC3\xBC\xC3\x9F"
       "e",
       "Gr\xC3\xBC\xC3\x9F"
       "e"},
      {"\x80\x9F\xA0\xFF", "\xE2\x82\xAC\xC5\xB8\xC2\xA0\xC3\xBF"},
      // Unassigned in Windows-1252: the C1 code point.
      {"\x81", "\xC2\x81"},
      // A cut sequence, an overlong form, a surrogate, past U+10FFFF.
      {"\xC3", "\xC3\x83"},
      {"\xC0\xAF", "\xC3\x80\xC2\xAF"},
      {"\xED\xA0\x80", "\xC3\xAD\xC2\xA0\xE2\x82\xAC"},
      {"\xF4\x90\x80\x80", "\xC3\xB4\xC2\x90\xE2\x82\xAC\xE2\x82\xAC"},
      {"\xF0\x9F\x98\x80", "\xF0\x9F\x98\x80"},
  };
  for (const auto& [bytes, expected] : cases) EXPECT_EQ(DisplayText(bytes), expected) << bytes;
  EXPECT_EQ(Windows1252Char(0x80), u'\u20AC');
  EXPECT_EQ(Windows1252Char(0x9F), u'\u0178');
  EXPECT_EQ(Windows1252Char(0x41), u'A');
  EXPECT_EQ(Windows1252Char(0xE9), u'\u00E9');
}

TEST(DisplayTextTest, StartsMapEachShownCharacterBackToItsBytes) {
  const std::pair<std::string, std::vector<size_t>> cases[] = {
      {"", {0}},
      {"ab", {0, 1, 2}},
      {"Caf\xC3\xA9!", {0, 1, 2, 3, 5, 6}},
      // Bytes of no valid sequence stand for one character each.
      {"\xC3x\x80\xC3\xA9", {0, 1, 2, 3, 5}},
      {"\xF0\x9F\x98\x80\xED\xA0\x80", {0, 4, 5, 6, 7}},
  };
  for (const auto& [bytes, expected] : cases) {
    const std::vector<size_t> starts = DisplayTextStarts(bytes);
    EXPECT_EQ(starts, expected) << bytes;
    // Shown piece by piece, the characters make the text as shown whole.
    std::string pieces;
    for (size_t i = 0; i + 1 < starts.size(); ++i)
      pieces += DisplayText(std::string_view(bytes).substr(starts[i], starts[i + 1] - starts[i]));
    EXPECT_EQ(pieces, DisplayText(bytes)) << bytes;
  }
}

TEST(DisplayTextTest, HeaderValuesAreCutAtTheirEncodedWords) {
  struct TPiece {
    std::string charset;
    std::string bytes;
    bool encoded;
    bool operator==(const TTextPiece& piece) const {
      return piece.Charset == charset && piece.Bytes == bytes && piece.Encoded == encoded;
    }
  };
  struct TCase {
    std::string value;
    std::vector<TPiece> expected;
  };
  const TCase cases[] = {
      {"", {}},
      {"no words", {{"", "no words", false}}},
      {"=?UTF-8?B?w6k=?=", {{"UTF-8", "\xC3\xA9", true}}},
      {"Re: =?iso-8859-1?q?Caf=E9_au?= lait",
       {{"", "Re: ", false}, {"iso-8859-1", "Caf\xE9 au", true}, {"", " lait", false}}},
      // Blanks between words are dropped, others are kept.
      {"=?a?Q?x?= \t =?b?Q?y?= z =?c?Q?w?=",
       {{"a", "x", true}, {"b", "y", true}, {"", " z ", false}, {"c", "w", true}}},
      {"=?utf-8*en?Q?hi?=", {{"utf-8", "hi", true}}},
      // Malformed: no end, a bad encoding, a bad hexadecimal pair, a blank in the text, no
      // charset, a base64 character out of place.
      {"=?utf-8?Q?open", {{"", "=?utf-8?Q?open", false}}},
      {"=?utf-8?X?abc?=", {{"", "=?utf-8?X?abc?=", false}}},
      {"=?utf-8?Q?=G1?=", {{"", "=?utf-8?Q?=G1?=", false}}},
      {"=?utf-8?Q?a b?=", {{"", "=?utf-8?Q?a b?=", false}}},
      {"=??Q?a?=", {{"", "=??Q?a?=", false}}},
      {"=?utf-8?B?w6k*?=", {{"", "=?utf-8?B?w6k*?=", false}}},
      // A word after a malformed one is still found.
      {"=?x=?utf-8?Q?ok?=", {{"", "=?x", false}, {"utf-8", "ok", true}}},
  };
  for (const TCase& c : cases) {
    const std::vector<TTextPiece> pieces = SplitEncodedWords(c.value);
    ASSERT_EQ(pieces.size(), c.expected.size()) << c.value;
    for (size_t i = 0; i < pieces.size(); ++i) EXPECT_TRUE(c.expected[i] == pieces[i]) << c.value;
  }
}

}  // namespace
}  // namespace tarnwell
