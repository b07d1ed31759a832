#include <gtest/gtest.h>

#include "filtering/ui/ShownText.h"

namespace tarnwell {
namespace {

TEST(ShownTextTest, SelectionsMapBackToTheBytesTheyShow) {
  struct TCase {
    std::string bytes;
    bool lines;
    QString text;
    int from, to;
    std::string slice;
  };
  const TCase cases[] = {
      // Each kind of line end is one line break, CR LF included.
      {"a\r\nb\rc\nd", true, QStringLiteral("a\nb\nc\nd"), 1, 3, "\r\nb"},
      {"a\r\nb\rc\nd", true, QStringLiteral("a\nb\nc\nd"), 3, 7, "\rc\nd"},
      // On one line, control characters are blanks but stand for their bytes.
      {"a\tb\r\nc", false, QStringLiteral("a b  c"), 3, 5, "\r\n"},
      // UTF-8 beside a byte that is none: each character has the bytes it came from.
      {"Caf\xC3\xA9 \x80", true, QStringLiteral("Caf\u00E9 \u20AC"), 3, 6, "\xC3\xA9 \x80"},
      // A character past U+FFFF is two units; the selection may be given either way round.
      {"x\xF0\x9F\x98\x80y", true, QStringLiteral("x\U0001F600y"), 4, 1, "\xF0\x9F\x98\x80y"},
  };
  for (const TCase& c : cases) {
    const TShownText shown(c.bytes, c.lines);
    EXPECT_EQ(shown.Text(), c.text) << c.bytes;
    EXPECT_EQ(shown.Slice(c.from, c.to), c.slice) << c.bytes;
    EXPECT_EQ(shown.Slice(0, static_cast<int>(shown.Text().size())), c.bytes) << c.bytes;
  }
}

TEST(ShownTextTest, LimitCountsBytesAndSplitsNoCharacter) {
  const TShownText shown("x\xF0\x9F\x98\x80y\xC3\xA9z", true);
  // Units: x, the two halves of U+1F600, y, é, z.
  ASSERT_EQ(shown.Text().size(), 6);
  EXPECT_EQ(shown.Limit(0, 6, 100), 6);
  EXPECT_EQ(shown.Limit(0, 6, 6), 4);
  // Seven bytes end inside é, and four inside U+1F600, whose two units stay together.
  EXPECT_EQ(shown.Limit(0, 6, 7), 4);
  EXPECT_EQ(shown.Limit(0, 6, 4), 1);
  EXPECT_EQ(shown.Limit(3, 6, 3), 5);
}

}  // namespace
}  // namespace tarnwell
