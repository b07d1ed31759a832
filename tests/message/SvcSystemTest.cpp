#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <string>

#include "message/SvcSystem.h"
#include "platform/EventLoop.h"
#include "tests/support/TestSupport.h"

namespace tarnwell {
namespace {

constexpr const char* kRouteHeading =
    "Iface\tDestination\tGateway \tFlags\tRefCnt\tUse\tMetric\tMask\t\tMTU\tWindow\tIRTT\n";

TEST(SvcSystemTest, HasDefaultRouteNeedsAnUpRouteToEverywhere) {
  const struct {
    std::string table;
    bool expected;
  } cases[] = {
      {std::string(kRouteHeading) +
           "eth0\t0001A8C0\t00000000\t0001\t0\t0\t100\t00FFFFFF\t0\t0\t0\n"
           "eth0\t00000000\t0101A8C0\t0003\t0\t0\t100\t00000000\t0\t0\t0\n",
       true},
      {std::string(kRouteHeading) +
           "eth0\t0001A8C0\t00000000\t0001\t0\t0\t100\t00FFFFFF\t0\t0\t0\n",
       false},
      {std::string(kRouteHeading) + "eth0\t00000000\t0101A8C0\t0002\t0\t0\t100\t00000000\t0\t0\t0",
       false},
      {std::string(kRouteHeading), false},
      // The heading line itself is never a route.
      {"x\t00000000\tz\t0003\n", false},
      {"", false},
  };
  for (const auto& c : cases) EXPECT_EQ(HasDefaultRoute(c.table), c.expected) << c.table;
}

TEST(SvcSystemTest, ComputerNameIsTheStartOfTheHostName) {
  char host[256] = {};
  ASSERT_EQ(gethostname(host, sizeof host - 1), 0);
  const std::string name = ComputerName();
  EXPECT_LE(name.size(), 16u);
  EXPECT_EQ(std::string(host).substr(0, 16), name);
}

TEST(SvcSystemTest, ExpandEnvironment) {
  setenv("TARNWELL_TEST_VAR", "value", 1);
  unsetenv("TARNWELL_TEST_UNSET");
  EXPECT_EQ(ExpandEnvironment("a %TARNWELL_TEST_VAR% b"), "a value b");
  EXPECT_EQ(ExpandEnvironment("%TARNWELL_TEST_UNSET%"), "%TARNWELL_TEST_UNSET%");
  EXPECT_EQ(ExpandEnvironment("%TARNWELL_TEST_UNSET%%TARNWELL_TEST_VAR%"),
            "%TARNWELL_TEST_UNSET%value");
  EXPECT_EQ(ExpandEnvironment("100% sure %%"), "100% sure %%");
  EXPECT_EQ(ExpandEnvironment("%TARNWELL_TEST_VAR"), "%TARNWELL_TEST_VAR");

  setenv("TARNWELL_TEST_VAR", std::string(600, 'x').c_str(), 1);
  EXPECT_EQ(ExpandEnvironment("%TARNWELL_TEST_VAR%%TARNWELL_TEST_VAR%"), std::string(1024, 'x'));
  unsetenv("TARNWELL_TEST_VAR");
}

TEST(SvcSystemTest, SpecialFoldersFollowTheXdgFolders) {
  test::TTempDir dir;
  const char* oldConfig = std::getenv("XDG_CONFIG_HOME");
  const std::string savedConfig = oldConfig ? oldConfig : "";
  const std::string config = dir.Path() + "config";
  setenv("XDG_CONFIG_HOME", config.c_str(), 1);
  ASSERT_TRUE(ForceDirectories(config));
  test::WriteFileText(config + "/user-dirs.dirs",
                      "XDG_DOCUMENTS_DIR=\"/srv/docs\"\nXDG_DESKTOP_DIR=\"/srv/desk/\"\n");

  EXPECT_EQ(SpecialFolder(TSpecialFolder::Personal), "/srv/docs");
  EXPECT_EQ(SpecialFolder(TSpecialFolder::Desktop), "/srv/desk");
  EXPECT_EQ(SpecialFolder(TSpecialFolder::AppData), config);

  if (oldConfig) {
    setenv("XDG_CONFIG_HOME", savedConfig.c_str(), 1);
  } else {
    unsetenv("XDG_CONFIG_HOME");
  }
}

TEST(SvcSystemTest, SendToSpadeHandsTheTextToTheClipboard) {
  SetClipboardSink(nullptr);
  EXPECT_FALSE(SendToSpade("Received: x", "body"));

  std::string clipboard;
  SetClipboardSink([&](const std::string& text) { clipboard = text; });
  EXPECT_TRUE(SendToSpade("Received: x\r\nFrom: y", "body"));
  EXPECT_EQ(clipboard, "Received: x\r\nFrom: y\rbody");
  EXPECT_TRUE(SendToSpade("Received: x", ""));
  EXPECT_EQ(clipboard, "Received: x");
  SetClipboardSink(nullptr);
}

TEST(SvcSystemTest, PauseAndWaitRunPendingEvents) {
  TPollEventLoop loop;
  TEventLoop::Install(&loop);
  int ran = 0;
  loop.Post([&] { ++ran; });
  Pause(1);
  EXPECT_EQ(ran, 1);
  loop.Post([&] { ++ran; });
  WaitMilliseconds(2);
  EXPECT_EQ(ran, 2);
  TEventLoop::Install(nullptr);
}

}  // namespace
}  // namespace tarnwell
