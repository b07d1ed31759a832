#include <gtest/gtest.h>
#include <sys/wait.h>

#include "accounts/AccountEvents.h"
#include "platform/DialUp.h"
#include "platform/Launcher.h"
#include "platform/Sound.h"
#include "tests/support/ChildProcess.h"
#include "tests/support/TestSupport.h"

namespace tarnwell {
namespace {

struct TSplitCase {
  const char* name;
  const char* parameters;
  std::vector<std::string> arguments;
};
void PrintTo(const TSplitCase& c, std::ostream* os) { *os << c.name; }

class SplitParametersTest : public ::testing::TestWithParam<TSplitCase> {};

TEST_P(SplitParametersTest, BlanksSeparateAndQuotesGroup) {
  EXPECT_EQ(SplitParameters(GetParam().parameters), GetParam().arguments);
}

INSTANTIATE_TEST_SUITE_P(
    Texts, SplitParametersTest,
    ::testing::Values(TSplitCase{"Empty", "", {}}, TSplitCase{"Blanks", "   ", {}},
                      TSplitCase{"Plain", "-a  -b\t-c", {"-a", "-b", "-c"}},
                      TSplitCase{"Quoted", "\"two words\" x", {"two words", "x"}},
                      TSplitCase{"QuotesInside", "pre\"fix one\"post", {"prefix onepost"}},
                      TSplitCase{"EmptyQuotes", "\"\"", {""}},
                      TSplitCase{"DoubledQuote", "\"say \"\"hi\"\"\"", {"say \"hi\""}},
                      TSplitCase{"Unclosed", "\"unclosed quote", {"unclosed quote"}}),
    [](const auto& info) { return std::string(info.param.name); });

int WaitForChild(pid_t pid) {
  const int status = test::WaitForExit(pid);
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

TEST(LauncherTest, StartsTheProgramWithItsArgumentsWithoutAShell) {
  test::TTempDir dir;
  const std::string file = dir / "made by touch; not a shell";
  const pid_t pid = StartProgram("touch", {file});
  ASSERT_GT(pid, 0);
  EXPECT_EQ(WaitForChild(pid), 0);
  EXPECT_TRUE(test::FileExists(file));
  EXPECT_EQ(StartProgram("/nonexistent/program", {}), -1);
  EXPECT_EQ(StartProgram("", {}), -1);
  ReapPrograms();
}

TEST(LauncherTest, EventLauncherSplitsACommandLine) {
  test::TTempDir dir;
  const std::string file = dir / "with space";
  TDirectLauncher launcher;
  launcher.Launch("touch \"" + file + "\"");
  test::WaitForExit(-1);
  EXPECT_TRUE(test::FileExists(file));
  launcher.Launch("   ");
}

TEST(SoundTest, PlayingIsSilentWhenItCannotPlay) {
  TCanberraPlayer player;
  EXPECT_FALSE(player.PlayFile(""));
  EXPECT_FALSE(player.PlayFile("/nonexistent/sound.wav"));
  PlaySoundFile("/nonexistent/sound.wav");
}

TEST(DialUpTest, ASystemWithoutDialUpHasNoEntriesNoConnectionAndFailsEveryDial) {
  TDialUp& dialUp = TDialUp::Current();
  EXPECT_EQ(dialUp.RefreshEntries(), TDialUp::kNotAvailable);
  EXPECT_TRUE(dialUp.Entries().empty());
  EXPECT_EQ(dialUp.RefreshConnections(), TDialUp::kNotAvailable);
  EXPECT_TRUE(dialUp.Connections().empty());
  EXPECT_EQ(dialUp.DialEntryAs(0, "u", "p"), TDialUp::kNotAvailable);
  EXPECT_FALSE(dialUp.IsAnyConnected());
  EXPECT_FALSE(dialUp.IsDialedConnected());
  EXPECT_NE(dialUp.HangUpDialed(), 0);
}

}  // namespace
}  // namespace tarnwell
