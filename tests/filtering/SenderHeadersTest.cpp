#include <gtest/gtest.h>

#include <string>

#include "filtering/Filters.h"
#include "filtering/SenderHeaders.h"
#include "message/Headers.h"
#include "shell/ProgramFolders.h"
#include "tests/support/TestSupport.h"

namespace tarnwell {
namespace {

using namespace std::string_literals;

// The names of the ticked headers, in number order, joined by commas.
std::string Names(uint32_t set) {
  std::string names;
  for (int number = 1; number <= kStdHeaderCount; ++number) {
    if (!((set >> number) & 1u)) continue;
    if (!names.empty()) names += ",";
    names += THeaders::StdName(number);
  }
  return names;
}

TEST(SenderHeadersTest, LinesNameTheTickedHeaders) {
  const struct {
    std::string text;
    std::string ticked;
  } cases[] = {
      {"", ""},
      {"From=1\r\nReceived=1\r\nTo=0\r\n", "From,Received"},
      {"[Headers]\nfrom=yes\nREPLY-TO=1", "From,Reply-To"},
      // Only exactly "0" leaves a header unticked; an empty value ticks it.
      {"From=0 \nSender=\nTo=00\nCc=0", "From,Sender,To"},
      // The first line naming a header counts.
      {"From=0\nFrom=1\nCc=1\ncc=0", "Cc"},
      // Headers a sender filter does not look in, and lines that name none, count for nothing.
      {"Subject=1\nX-Mailer=1\n From=1\nFrom =1\nFrom\n=1\nDate=1", ""},
      {"Message-Id=1\rX-Complain-To=1\rComments=1", "Comments,Message-Id,X-Complain-To"},
      {"Errors-To=1=0\nReturn-Path=1\0garbage"s, "Errors-To,Return-Path"},
  };
  for (const auto& c : cases) EXPECT_EQ(Names(ParseStdSenderHeaders(c.text)), c.ticked) << c.text;
}

TEST(SenderHeadersTest, ANewSenderFilterTakesTheFileElseTheDefaultSet) {
  test::TTempDir folder;
  TProgramFolders::SetProgramFolder(folder.Path());
  EXPECT_EQ(StandardSenderHeaders(), TSenderFilter().Headers);
  test::WriteFileText(folder / "StdSenderHeaders.dat", "To=1\r\nFrom=0\r\n");
  EXPECT_EQ(Names(StandardSenderHeaders()), "To");
}

}  // namespace
}  // namespace tarnwell
