#include <gtest/gtest.h>

#include "platform/DateTime.h"
#include "shell/ErrorReport.h"
#include "shell/LogFile.h"
#include "tests/support/TestSupport.h"

namespace tarnwell {
namespace {

std::vector<std::string> FileLines(const std::string& path) {
  const std::string text = test::ReadFileText(path);
  std::vector<std::string> lines;
  size_t start = 0;
  while (start < text.size()) {
    const size_t end = text.find("\r\n", start);
    EXPECT_NE(end, std::string::npos) << "every line ends with CR LF";
    if (end == std::string::npos) break;
    lines.push_back(text.substr(start, end - start));
    start = end + 2;
  }
  return lines;
}

class LogFileTest : public ::testing::Test {
 protected:
  test::TTempDir dir;
  test::TManualClock clock{EncodeDateTime({2026, 3, 7, 9, 5, 4})};
  std::string file = dir / "Tarnwell.log";
};

TEST_F(LogFileTest, LineHasTheTimeStampAndControlCharactersAsCodes) {
  TLogFile log;
  log.SetEnabled(true);
  log.SetFileName(file);
  EXPECT_EQ(log.Add("a\r\nb\tc"), 0);
  EXPECT_EQ(FileLines(file), std::vector<std::string>{"26-03-07 09:05:04 [a<13><10>b<9>c]"});
}

TEST_F(LogFileTest, DisabledLogIgnoresLinesAndSettingTheNameDeletesTheOldFile) {
  test::WriteFileText(file, "previous run\r\n");
  TLogFile log;
  log.SetFileName(file);
  EXPECT_FALSE(test::FileExists(file));
  EXPECT_EQ(log.Add("lost"), -1);
  EXPECT_FALSE(test::FileExists(file));
}

TEST_F(LogFileTest, The10001stLineDropsTheFirst) {
  TLogFile log;
  log.SetEnabled(true);
  log.SetFileName(file);
  std::vector<std::string> many;
  for (int i = 1; i <= 9999; ++i) many.push_back("line " + std::to_string(i));
  log.AddStrings(many);
  log.Add("line 10000");
  EXPECT_EQ(FileLines(file).size(), 10000u);
  log.Add("line 10001");
  const auto lines = FileLines(file);
  ASSERT_EQ(lines.size(), 10000u);
  EXPECT_EQ(lines.front(), "26-03-07 09:05:04 [line 2]");
  EXPECT_EQ(lines.back(), "26-03-07 09:05:04 [line 10001]");
}

TEST_F(LogFileTest, MoreLinesAtOnceThanTheCapLeaveTheLastOfThem) {
  TLogFile log;
  log.SetEnabled(true);
  log.SetFileName(file);
  log.Add("before");
  std::vector<std::string> many;
  for (int i = 1; i <= 10002; ++i) many.push_back("line " + std::to_string(i));
  log.AddStrings(many);
  const auto lines = FileLines(file);
  ASSERT_EQ(lines.size(), 10000u);
  EXPECT_EQ(lines.front(), "26-03-07 09:05:04 [line 3]");
  EXPECT_EQ(lines.back(), "26-03-07 09:05:04 [line 10002]");
  log.Add("after");
  EXPECT_EQ(FileLines(file).front(), "26-03-07 09:05:04 [line 4]");
}

TEST_F(LogFileTest, TurningLoggingOffAndOnStartsTheFileAgain) {
  TLogFile log;
  log.SetEnabled(true);
  log.SetFileName(file);
  log.Add("first");
  log.SetEnabled(false);
  log.Add("while off");
  log.SetEnabled(true);
  log.SetFileName(file);  // the same name: the file is kept
  clock.Advance(1000);
  log.Add("after");
  log.Add("more");
  EXPECT_EQ(FileLines(file),
            (std::vector<std::string>{"26-03-07 09:05:05 [after]", "26-03-07 09:05:05 [more]"}));
}

TEST_F(LogFileTest, UnwritableFolderMovesTheLogToTheDocumentsFolder) {
  test::TTempDir home;
  setenv("HOME", home.Path().c_str(), 1);
  setenv("XDG_CONFIG_HOME", (home / ".config").c_str(), 1);
  TLogFile log;
  log.SetEnabled(true);
  log.SetFileName(dir / "missing-folder/Tarnwell.log");
  log.Add("kept");
  EXPECT_EQ(log.FileName(), home / "Tarnwell.log");
  EXPECT_EQ(FileLines(home / "Tarnwell.log"), std::vector<std::string>{"26-03-07 09:05:04 [kept]"});
  unsetenv("XDG_CONFIG_HOME");
}

TEST_F(LogFileTest, ErrorFileKeepsBothReportsAndAtMost500OlderLines) {
  const std::string err = dir / "Tarnwell.err";
  const auto report = [&](const char* text) {
    try {
      try {
        throw std::runtime_error("inner cause");
      } catch (...) {
        std::throw_with_nested(std::runtime_error(text));
      }
    } catch (...) {
      WriteErrorReport(err, DescribeExceptionChain(std::current_exception()));
    }
  };
  report("first");
  report("second");
  auto lines = FileLines(err);
  ASSERT_EQ(lines.size(), 12u);
  EXPECT_EQ(lines[0], "26-03-07 09:05:04 [Level 0]");
  EXPECT_NE(lines[1].find("first"), std::string::npos);
  EXPECT_EQ(lines[3], "26-03-07 09:05:04 [Level 1]");
  EXPECT_NE(lines[4].find("inner cause"), std::string::npos);
  EXPECT_EQ(lines[5], "26-03-07 09:05:04 [E0000001, 00000000]");
  EXPECT_NE(lines[7].find("second"), std::string::npos);

  std::string big;
  for (int i = 1; i <= 800; ++i) big += "old " + std::to_string(i) + "\r\n";
  test::WriteFileText(err, big);
  report("third");
  lines = FileLines(err);
  ASSERT_EQ(lines.size(), 506u);
  EXPECT_EQ(lines[0], "old 301");
  EXPECT_EQ(lines[499], "old 800");
  EXPECT_EQ(lines[500], "26-03-07 09:05:04 [Level 0]");
}

TEST(ErrorReportTest, SignalsMapToTheNearestSystemCodeName) {
  struct {
    int signal, code;
    const char* name;
  } cases[] = {
      {SIGSEGV, SEGV_MAPERR, "EXCEPTION_ACCESS_VIOLATION"},
      {SIGFPE, FPE_INTDIV, "EXCEPTION_INT_DIVIDE_BY_ZERO"},
      {SIGILL, ILL_ILLOPC, "EXCEPTION_ILLEGAL_INSTRUCTION"},
      {SIGBUS, BUS_ADRALN, "EXCEPTION_DATATYPE_MISALIGNMENT"},
      {SIGTRAP, TRAP_BRKPT, "EXCEPTION_BREAKPOINT"},
  };
  for (const auto& c : cases)
    EXPECT_EQ(ExceptionCodeName(SignalExceptionCode(c.signal, c.code)), c.name);
  EXPECT_EQ(ExceptionCodeName(0x12AB), "000012AB");
}

}  // namespace
}  // namespace tarnwell
