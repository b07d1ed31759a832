#include <gtest/gtest.h>

#include <set>
#include <sstream>

#include "filtering/Countries.h"
#include "platform/Error.h"
#include "tests/support/TestSupport.h"

namespace tarnwell {
namespace {

struct TRow {
  std::string code;
  std::string name;
  bool blocked;
};

// Lines in every form a hand-edited file may take: CR LF and LF, blank lines, a comma in the
// name, flags other than 0 and 1, no comma, no final line break.
const char* const kOddFile =
    "uk,United Kingdom=0\r\n"
    "\r\n"
    "vg,Virgin Islands, British=1\n"
    "   \n"
    "de,Germany=Y\r\n"
    "No comma here=0\n"
    "ab\n"
    "fr,France=0";

const TRow kOddRows[] = {
    {"uk", "United Kingdom", false},
    {"vg", "Virgin Islands, British", true},
    {"de", "Germany", true},
    {"", "No comma here", false},
    {"", "", true},
    {"fr", "France", false},
};

class CountriesTest : public ::testing::Test {
 protected:
  void Load(const std::string& text) {
    test::WriteFileText(file_, text);
    table_.LoadFromFile(file_);
  }

  test::TTempDir dir_;
  std::string file_ = dir_ / "Countries.dat";
  TLandInfo table_;
};

TEST_F(CountriesTest, ParsesEveryLineInFileOrder) {
  Load(kOddFile);
  ASSERT_EQ(table_.Count(), static_cast<int>(std::size(kOddRows)));
  for (int i = 0; i < table_.Count(); ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(table_.Code(i), kOddRows[i].code);
    EXPECT_EQ(table_.Name(i), kOddRows[i].name);
    EXPECT_EQ(table_.IsBlocked(i), kOddRows[i].blocked);
  }
  EXPECT_EQ(table_.FileName(), file_);
  EXPECT_FALSE(table_.Dirty());
}

TEST_F(CountriesTest, SaveWritesTheDigitOneForEveryBlockedFlag) {
  Load(kOddFile);
  table_.SetBlocked(0, true);
  table_.SaveIfDirty();
  EXPECT_FALSE(table_.Dirty());
  EXPECT_EQ(test::ReadFileText(file_),
            "uk,United Kingdom=1\r\n"
            "vg,Virgin Islands, British=1\r\n"
            "de,Germany=1\r\n"
            ",No comma here=0\r\n"
            ",=1\r\n"
            "fr,France=0\r\n");
}

TEST_F(CountriesTest, ToggleAllBlocksAllThenUnblocksAllWhateverTheFlags) {
  Load("a,A=1\nb,B=0\nc,C=1\n");
  EXPECT_FALSE(table_.ToggleState());
  for (const bool expected : {true, false, true}) {
    table_.ToggleAll();
    EXPECT_TRUE(table_.Dirty());
    EXPECT_EQ(table_.ToggleState(), expected);
    for (int i = 0; i < table_.Count(); ++i) EXPECT_EQ(table_.IsBlocked(i), expected) << i;
    table_.SaveIfDirty();
    table_.SetBlocked(1, !expected);
  }
}

TEST_F(CountriesTest, SaveIfDirtyWritesOnlyAfterAChange) {
  Load("a,A=0\n");
  test::WriteFileText(file_, "changed behind our back");
  table_.SaveIfDirty();
  EXPECT_EQ(test::ReadFileText(file_), "changed behind our back");

  table_.SetBlocked(0, false);
  EXPECT_TRUE(table_.Dirty());
  table_.SaveIfDirty();
  EXPECT_FALSE(table_.Dirty());
  EXPECT_EQ(test::ReadFileText(file_), "a,A=0\r\n");

  test::WriteFileText(file_, "changed again");
  table_.SaveIfDirty();
  EXPECT_EQ(test::ReadFileText(file_), "changed again");
}

TEST_F(CountriesTest, AnUnreadableFileRaisesAnError) {
  EXPECT_THROW(table_.LoadFromFile(dir_ / "missing.dat"), TError);
  EXPECT_THROW(table_.LoadFromFile(dir_.Path()), TError);
}

TEST_F(CountriesTest, FindsCodesAndNamesIgnoringCase) {
  Load(kOddFile);
  EXPECT_EQ(table_.IndexOfCode("DE"), 2);
  EXPECT_EQ(table_.IndexOfName("virgin islands, british"), 1);
  EXPECT_EQ(table_.IndexOfCode("us"), -1);
  EXPECT_EQ(table_.IndexOfName("Virgin Islands"), -1);
}

std::set<std::string> Lines(const std::string& text) {
  std::set<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.insert(line.substr(0, line.size() - 1));
  return lines;
}

// The shipped table: every code a known top-level domain, each once, nothing blocked, and an
// untouched table saves back byte for byte.
TEST_F(CountriesTest, ShippedTableIsConsistentWithTheDomainList) {
  const std::string data = TARNWELL_SOURCE_DATA_DIR;
  const std::string shipped = test::ReadFileText(data + "/Countries.dat");
  const std::set<std::string> tlds = Lines(test::ReadFileText(data + "/TLD.dat"));
  Load(shipped);
  ASSERT_GT(table_.Count(), 200);
  std::set<std::string> codes;
  for (int i = 0; i < table_.Count(); ++i) {
    SCOPED_TRACE(table_.Name(i));
    EXPECT_TRUE(tlds.contains(table_.Code(i)));
    EXPECT_TRUE(codes.insert(table_.Code(i)).second);
    EXPECT_FALSE(table_.Name(i).empty());
    EXPECT_FALSE(table_.IsBlocked(i));
  }
  EXPECT_EQ(table_.Name(table_.IndexOfCode("uk")), "United Kingdom");
  EXPECT_EQ(table_.IndexOfCode("gb"), -1);
  EXPECT_EQ(table_.Code(table_.IndexOfName("Virgin Islands, British")), "vg");

  table_.SetBlocked(0, false);
  table_.SaveIfDirty();
  EXPECT_EQ(test::ReadFileText(file_), shipped);
}

}  // namespace
}  // namespace tarnwell
