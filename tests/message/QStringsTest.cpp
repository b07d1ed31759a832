#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "message/QStrings.h"

namespace tarnwell {
namespace {

TEST(QStringsTest, FindFromFoldsBitFiveUnlessExact) {
  EXPECT_EQ(FindFrom("Hello World", "world", 1, false), 7u);
  EXPECT_EQ(FindFrom("Hello World", "world", 1, true), 0u);
  EXPECT_EQ(FindFrom("abcabc", "abc", 2, true), 4u);
  EXPECT_EQ(FindFrom("abc", "abc", 2, true), 0u);
  // The fold clears bit 5 of any byte, so "@" and "`" compare equal too.
  EXPECT_EQ(FindFrom("a@b", "`", 1, false), 2u);
  EXPECT_EQ(PosOf("lo", "Hello"), 4u);
  EXPECT_EQ(PosOf("x", "Hello"), 0u);
  EXPECT_EQ(PosOf("", "Hello"), 0u);
}

TEST(QStringsTest, ReplaceAllIsNonOverlappingAndEmptyReplacementComparesExactly) {
  EXPECT_EQ(ReplaceAll("aaa", "aa", "b", true), "ba");
  EXPECT_EQ(ReplaceAll("Foo foo FOO", "foo", "x", false), "x x x");
  EXPECT_EQ(ReplaceAll("Foo foo FOO", "foo", "", false), "Foo  FOO");
  EXPECT_EQ(ReplaceAll("abc", "", "x", true), "abc");
  EXPECT_EQ(CollapseSpaces("a    b  c"), "a  b c");
  EXPECT_EQ(RemoveChars(" -a-b-c- ", "-"), "abc");
  std::string text = "a.b.c";
  ReplaceChar(text, '.', '/');
  EXPECT_EQ(text, "a/b/c");
  EXPECT_EQ(CountChar("a.b.c", '.'), 2u);
}

TEST(QStringsTest, NextTokenAdvancesPastTheRunAndEndsEmpty) {
  const std::string text = "  ab12 cd";
  size_t pos = 1;
  EXPECT_EQ(NextToken(text, pos, kLetters), "ab");
  EXPECT_EQ(pos, 5u);
  EXPECT_EQ(NextToken(text, pos, kLetters), "cd");
  EXPECT_EQ(NextToken(text, pos, kLetters), "");
  EXPECT_EQ(NextToken(text, pos, kLetters), "");

  pos = 1;
  SkipBlanks(text, pos);
  EXPECT_EQ(pos, 3u);
  SkipUntil(text, kDigits, pos);
  EXPECT_EQ(pos, 5u);

  EXPECT_EQ(NthToken("a,b,,c", 3, kLetters), "c");
  EXPECT_EQ(NthToken("a,b,,c", 4, kLetters), "");
  EXPECT_EQ(CountTokens("a,b,,c", kLetters), 3u);
  EXPECT_EQ(NthWord("one two-three", 3), "three");
  EXPECT_EQ(FirstAlphaWord("12 abc3"), "abc");
  EXPECT_EQ(FirstNumber("abc 12 x 34"), "12");
  pos = 7;
  EXPECT_EQ(NextNumber("abc 12 x 34", pos), "34");
}

TEST(QStringsTest, CharacterSets) {
  EXPECT_TRUE(kAtomChars.Contains('?'));
  EXPECT_FALSE(kAddressChars.Contains('?'));
  EXPECT_TRUE(kAddressChars.Contains('@'));
  EXPECT_FALSE(kAtomChars.Contains('.'));
  EXPECT_TRUE(kUrlChars.Contains(':'));
  EXPECT_FALSE(kUrlChars.Contains('?'));
  EXPECT_TRUE(kZoneChars.Contains('+'));
  EXPECT_FALSE(kBlanks.Contains('\f'));
  EXPECT_FALSE(kLetters.Contains(static_cast<unsigned char>(0xC9)));

  EXPECT_TRUE(AllInSet("", kDigits));
  EXPECT_FALSE(NonEmptyAllInSet("", kDigits));
  EXPECT_TRUE(NonEmptyAllInSet("123", kDigits));
  EXPECT_TRUE(MostlyInSet("ab1", kLetters));
  EXPECT_FALSE(MostlyInSet("a1", kLetters));
  EXPECT_FALSE(MostlyInSet("", kLetters));
}

TEST(QStringsTest, IsUppercaseNeedsALetterAndNoLowerCase) {
  EXPECT_TRUE(IsUppercase("FREE MONEY 100%"));
  EXPECT_TRUE(
      IsUppercase("\xC9"
                  "COLE"));
  EXPECT_FALSE(
      IsUppercase("\xE9"
                  "COLE"));
  EXPECT_FALSE(IsUppercase("Free"));
  EXPECT_FALSE(IsUppercase("123 !"));
  EXPECT_FALSE(IsUppercase(""));
}

TEST(QStringsTest, ContainsWordNeedsNoLetterOnEitherSide) {
  EXPECT_TRUE(ContainsWord("the cat sat", "cat"));
  EXPECT_FALSE(ContainsWord("concatenate", "cat"));
  EXPECT_TRUE(ContainsWord("cat1", "cat"));
  EXPECT_TRUE(ContainsWord("scat cat", "cat"));
  EXPECT_FALSE(ContainsWord("the Cat", "cat"));
  EXPECT_FALSE(ContainsWord("caf\xE9", "caf"));
  EXPECT_FALSE(ContainsWord("anything", ""));
}

TEST(QStringsTest, SuffixesAndNumbers) {
  EXPECT_TRUE(EndsWith("report.txt", ".txt"));
  EXPECT_FALSE(EndsWith("report.TXT", ".txt"));
  EXPECT_TRUE(EndsWithText("report.TXT", ".txt"));
  EXPECT_FALSE(EndsWith("abc", ""));
  EXPECT_FALSE(EndsWithText("abc", ""));
  EXPECT_FALSE(EndsWithText("c", "abc"));

  EXPECT_TRUE(IsNumberInRange("42", 1, 100));
  EXPECT_TRUE(IsNumberInRange("-5", -10, 0));
  EXPECT_FALSE(IsNumberInRange("101", 1, 100));
  EXPECT_FALSE(IsNumberInRange("4x", 1, 100));
  EXPECT_FALSE(IsNumberInRange("", 0, 100));
  EXPECT_FALSE(IsNumberInRange("99999999999999999999", 0, 100));
}

TEST(QStringsTest, JoinLinesSkipsEmptyLines) {
  EXPECT_EQ(JoinLines({"a", "", "b"}), "a b ");
  EXPECT_EQ(JoinLines({}), "");
}

TEST(QStringsTest, JoinHtmlLinesKeepsATagSplitOverLinesWhole) {
  EXPECT_EQ(JoinHtmlLines({"<a", "href=x>link</a>", "text"}), "<ahref=x>link</a> text ");
  EXPECT_EQ(JoinHtmlLines({"<a\r\nhref=x>one\r\ntwo"}), "<ahref=x>one two ");
  EXPECT_EQ(JoinHtmlLines({"<b>", "", "c"}), "<b>  c ");
}

TEST(QStringsTest, UnfoldLinesJoinsContinuationsWithOneSpace) {
  std::vector<std::string> lines = {" lead", "Subject: a", "  b", "\t \tc", "To: x", " "};
  UnfoldLines(lines);
  EXPECT_EQ(lines, (std::vector<std::string>{" lead", "Subject: a b c", "To: x "}));
}

TEST(QStringsTest, UnfoldLinesKeepsAFirstContinuationLine) {
  std::vector<std::string> lines = {"\tfirst", "Subject: a"};
  UnfoldLines(lines);
  EXPECT_EQ(lines, (std::vector<std::string>{"\tfirst", "Subject: a"}));
}

TEST(QStringsTest, FoldLongLinesSplitsAtTheLastSpaceAndUnfoldsBack) {
  std::string line = "Subject:";
  for (int i = 0; i < 300; ++i) line += " word" + std::to_string(i % 10) + "xyz";
  ASSERT_GT(line.size(), 2 * 998u);
  std::vector<std::string> lines = {"From: a", line, "To: b"};
  FoldLongLines(lines);
  ASSERT_GE(lines.size(), 5u);
  EXPECT_EQ(lines.front(), "From: a");
  EXPECT_EQ(lines.back(), "To: b");
  EXPECT_EQ(lines[1], line.substr(0, line.rfind(' ', 997)));
  for (size_t i = 1; i + 1 < lines.size(); ++i) {
    EXPECT_LE(lines[i].size(), 998u);
    if (i > 1) {
      EXPECT_EQ(lines[i][0], '\t');
    }
    // Each split takes the last possible space: the next word would not have fitted.
    if (i + 2 < lines.size()) {
      EXPECT_GT(lines[i].size() + 1 + lines[i + 1].find(' '), 998u);
    }
  }
  UnfoldLines(lines);
  EXPECT_EQ(lines, (std::vector<std::string>{"From: a", line, "To: b"}));
}

TEST(QStringsTest, FoldLongLinesCutsALineWithoutSpacesAfterByte998) {
  const std::string line(2000, 'x');
  std::vector<std::string> lines = {line};
  FoldLongLines(lines);
  ASSERT_EQ(lines.size(), 3u);
  EXPECT_EQ(lines[0], std::string(998, 'x'));
  EXPECT_EQ(lines[1], "\t" + std::string(997, 'x'));
  EXPECT_EQ(lines[2], "\t" + std::string(5, 'x'));
}

TEST(QStringsTest, FoldLongLinesNeverLeavesAnEmptyLine) {
  std::vector<std::string> lines = {" " + std::string(1200, 'y')};
  FoldLongLines(lines);
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[0].size(), 998u);
  EXPECT_EQ(lines[1], "\t" + std::string(203, 'y'));
}

TEST(QStringsTest, CountNoun) {
  EXPECT_EQ(CountNoun(0, "message"), "no messages");
  EXPECT_EQ(CountNoun(1, "message"), "one message");
  EXPECT_EQ(CountNoun(3, "message"), "3 messages");
  EXPECT_EQ(CountNoun(2, "possible spam"), "2 possible spams");
}

TEST(QStringsTest, DurationText) {
  const struct {
    int64_t seconds;
    const char* text;
  } cases[] = {
      {0, ""},
      {1, "1 second"},
      {45, "45 seconds"},
      {60, "1 minute"},
      {90, "1 minute 30 seconds"},
      {3600, "1 hour"},
      {3661, "1 hour 1 minute 1 second"},
      {7322, "2 hours 2 minutes 2 seconds"},
      {90000, "25 hours"},
  };
  for (const auto& c : cases) EXPECT_EQ(DurationText(c.seconds), c.text) << c.seconds;
}

TEST(QStringsTest, CapitalizeAndTrim) {
  EXPECT_EQ(Capitalize("hello world"), "Hello world");
  EXPECT_EQ(Capitalize(""), "");
  EXPECT_EQ(Trim(" \t\r\na b\n"), "a b");
  EXPECT_EQ(Trim("   "), "");
  EXPECT_TRUE(SameText("Hello", "hELLO"));
  EXPECT_FALSE(SameText("Hello", "Hell"));
}

}  // namespace
}  // namespace tarnwell
