#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <functional>
#include <regex>
#include <string>
#include <thread>
#include <vector>

#include "platform/Files.h"
#include "tests/program/CommandRunner.h"
#include "tests/support/ChildProcess.h"
#include "tests/support/Dovecot.h"
#include "tests/support/ScriptedServer.h"
#include "tests/support/TestSupport.h"
#include "tests/support/XDesktop.h"

namespace tarnwell {
namespace {

using test::TXDesktop;

// Looks at `probe` every 50 ms until it holds; fails the test with `what` after 20 seconds.
bool Eventually(const std::function<bool()>& probe, const std::string& what) {
  const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(test::kWaitMs);
  while (!probe()) {
    if (std::chrono::steady_clock::now() > end) {
      ADD_FAILURE() << "waited in vain: " << what;
      return false;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  return true;
}

int CountLines(const std::string& text, const std::string& part) {
  int count = 0;
  for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++count;
  return count;
}

// The pixels of the icon once they stay the same for longer than a blink, or "" when they keep
// changing.
std::string SteadyIcon(TXDesktop& desktop, uint32_t icon) {
  for (int attempt = 0; attempt < 20; ++attempt) {
    const std::string first = desktop.Pixels(icon);
    bool steady = true;
    for (int i = 0; i < 8 && steady; ++i) {
      std::this_thread::sleep_for(std::chrono::milliseconds(150));
      steady = desktop.Pixels(icon) == first;
    }
    if (steady) return first;
  }
  return "";
}

// A desktop as a user has one, with the program on it: the demo's servers behind one account.
// The icon docks in the tray, the first check's notice shows beside it, a click on the icon
// acknowledges the news, the menu's "Check Now" checks the account (the server has new mail by
// then, so the icon changes), the icon docks again in a tray that restarted, and "Exit" ends the
// program cleanly.
TEST(DesktopTest, LivesInTheTrayChecksFromItsMenuAndEndsWithExit) {
  test::TTempDir temp;
  TXDesktop desktop(temp.Path());
  test::TEnvironmentVariable tmp("TMPDIR", temp.Path());
  test::TChildProcess program({TARNWELL_BINARY, "demo", "--desktop", "--keep"},
                              temp / "program.log", {"DISPLAY=" + desktop.Display()});

  const uint32_t icon = desktop.DockedIcon("tarnwell");
  const TXDesktop::TGeometry place = desktop.Geometry(icon);
  EXPECT_GE(place.Width, 16);
  EXPECT_GE(place.Height, 16);

  std::smatch folder;
  std::string output;
  ASSERT_TRUE(Eventually(
      [&] {
        output = test::ReadFileText(temp / "program.log");
        return std::regex_search(output, folder, std::regex("program folder +(\\S+)"));
      },
      "the demo's program folder"));
  const std::string log = folder[1].str() + "Tarnwell.log";
  const auto logText = [&] { return test::FileExists(log) ? test::ReadFileText(log) : ""; };
  // Each check of the account ends by working out when the next one is due.
  const auto checksEnded = [&] {
    return CountLines(logText(), "Done determining time for next check: Demo account") - 1;
  };
  ASSERT_TRUE(Eventually([&] { return checksEnded() == 1; }, "the check at start-up"));

  // The notice of what the check brought shows in the corner above the tray, and Escape closes
  // it; while it shows, the icon has no menu.
  std::vector<uint32_t> notices;
  ASSERT_TRUE(Eventually([&] { return !(notices = desktop.Windows("tarnwell", false)).empty(); },
                         "the pop-up notice"));
  const TXDesktop::TGeometry notice = desktop.Geometry(notices.front());
  const TXDesktop::TGeometry screen = desktop.Screen();
  EXPECT_GT(notice.X + notice.Width, screen.Width - 40);
  EXPECT_LE(notice.X + notice.Width, screen.Width);
  EXPECT_GT(notice.Y + notice.Height, screen.Height - 80);
  EXPECT_LE(notice.Y + notice.Height, place.Y) << "the notice covers the tray";
  desktop.Activate(notices.front());
  desktop.Keys({"Escape"});
  ASSERT_TRUE(Eventually([&] { return desktop.Windows("tarnwell", false).empty(); },
                         "the notice to close"));

  // The first check brought mail and killed spam, which blinks on top; a click takes it off and
  // stops the blinking.
  desktop.Click(icon, 1);
  const std::string acknowledged = SteadyIcon(desktop, icon);
  ASSERT_FALSE(acknowledged.empty()) << "the icon still blinks after the click";

  desktop.Click(icon, 3);
  ASSERT_TRUE(
      Eventually([&] { return !desktop.Windows("tarnwell", false).empty(); }, "the tray menu"));
  // "&Check Now", then its first item: the demo account.
  desktop.Keys({"c", "Return"});
  ASSERT_TRUE(Eventually([&] { return checksEnded() == 2; }, "the check from the menu"));
  EXPECT_EQ(CountLines(logText(), "Starting check: Demo account"), 2);
  // The new message blinks between the new-mail image and the normal one.
  EXPECT_TRUE(Eventually([&] { return desktop.Pixels(icon) != acknowledged; },
                         "the icon to show the new mail"));

  ASSERT_TRUE(Eventually([&] { return !(notices = desktop.Windows("tarnwell", false)).empty(); },
                         "the notice of the new message"));
  desktop.Activate(notices.front());
  desktop.Keys({"Escape"});
  ASSERT_TRUE(Eventually([&] { return desktop.Windows("tarnwell", false).empty(); },
                         "the notice to close"));
  // When the desktop's panel restarts, the icon comes back in the new tray.
  desktop.RestartTray();
  desktop.Click(desktop.DockedIcon("tarnwell"), 3);
  ASSERT_TRUE(
      Eventually([&] { return !desktop.Windows("tarnwell", false).empty(); }, "the tray menu"));
  desktop.Keys({"x"});
  EXPECT_EQ(program.Wait(), 0);
  EXPECT_NE(logText().find("FormDestroy OK"), std::string::npos) << logText();
}

// The program log of the demo whose output goes to "program.log" in `temp`; empty when the
// demo does not name its folder.
std::string ProgramLogOf(const test::TTempDir& temp) {
  std::smatch folder;
  std::string output;
  if (!Eventually(
          [&] {
            output = test::ReadFileText(temp / "program.log");
            return std::regex_search(output, folder, std::regex("program folder +(\\S+)"));
          },
          "the demo's program folder"))
    return "";
  return folder[1].str() + "Tarnwell.log";
}

// Right-clicks the icon and waits for its menu.
bool OpenTrayMenu(TXDesktop& desktop, uint32_t icon) {
  desktop.Click(icon, 3);
  return Eventually([&] { return !desktop.Windows("tarnwell", false).empty(); }, "the tray menu");
}

// Waits for the pop-up notice and closes it with Escape.
bool CloseNotice(TXDesktop& desktop) {
  std::vector<uint32_t> notices;
  if (!Eventually([&] { return !(notices = desktop.Windows("tarnwell", false)).empty(); },
                  "the pop-up notice"))
    return false;
  desktop.Activate(notices.front());
  desktop.Keys({"Escape"});
  return Eventually([&] { return desktop.Windows("tarnwell", false).empty(); },
                    "the notice to close");
}

// Opens the main window with the tray menu's "Open"; the window, or 0 when it did not show.
uint32_t OpenMainWindow(TXDesktop& desktop, uint32_t icon) {
  if (!OpenTrayMenu(desktop, icon)) return 0;
  desktop.Keys({"o"});
  std::vector<uint32_t> windows;
  if (!Eventually(
          [&] {
            windows = desktop.Windows("tarnwell", false);
            return windows.size() == 1 && desktop.Geometry(windows.front()).Width >= 560;
          },
          "the main window"))
    return 0;
  return windows.front();
}

// The main window opens from the tray menu, suspending the checks while it shows; the window
// manager's close button closes it, and the program stays in the tray, checking again.
TEST(DesktopTest, TheMainWindowOpensFromTheTrayAndClosingItLeavesTheProgramThere) {
  test::TTempDir temp;
  TXDesktop desktop(temp.Path());
  test::TEnvironmentVariable tmp("TMPDIR", temp.Path());
  test::TChildProcess program({TARNWELL_BINARY, "demo", "--desktop", "--keep"},
                              temp / "program.log", {"DISPLAY=" + desktop.Display()});
  const uint32_t icon = desktop.DockedIcon("tarnwell");
  const std::string log = ProgramLogOf(temp);
  ASSERT_FALSE(log.empty());
  const auto logText = [&] { return test::FileExists(log) ? test::ReadFileText(log) : ""; };
  ASSERT_TRUE(CloseNotice(desktop));

  const uint32_t window = OpenMainWindow(desktop, icon);
  ASSERT_NE(window, 0u);
  EXPECT_GE(desktop.Geometry(window).Height, 370);
  EXPECT_TRUE(Eventually([&] { return CountLines(logText(), "Checking suspended") == 1; },
                         "the checks to be suspended"));

  desktop.Close(window);
  ASSERT_TRUE(Eventually([&] { return desktop.Windows("tarnwell", false).empty(); },
                         "the main window to close"));
  EXPECT_TRUE(Eventually([&] { return CountLines(logText(), "Checking resumed") == 1; },
                         "the checks to resume"));
  EXPECT_EQ(desktop.Windows("tarnwell", true).size(), 1u);

  ASSERT_TRUE(OpenTrayMenu(desktop, icon));
  desktop.Keys({"x"});
  EXPECT_EQ(program.Wait(), 0);
}

// The program on a folder of its own in `temp` ("home"), with the account "Home" of the user "pat"
// (password "pw") on the POP3 server at `pop3Port`, checked at start-up and when asked, the
// program's log on and `commands` run on the folder; its output goes to "program.log".
class TProgramOnTheDesktop {
 public:
  TProgramOnTheDesktop(const test::TTempDir& temp, int pop3Port,
                       const std::vector<std::vector<std::string>>& commands = {})
      : home_(temp / "home/") {
    const test::TRunResult added =
        test::AddAccountIn(home_, "Home", pop3Port, "pat", {"--interval", "manual"});
    EXPECT_EQ(added.status, 0) << added.err;
    std::vector<std::vector<std::string>> all = commands;
    all.push_back({"settings", "set", "Logging", "1"});
    for (const std::vector<std::string>& command : all) {
      const test::TRunResult run = test::RunTarnwellIn(home_, command);
      EXPECT_EQ(run.status, 0) << run.err;
    }
    desktop_ = std::make_unique<TXDesktop>(temp.Path());
    program_ = std::make_unique<test::TChildProcess>(
        std::vector<std::string>{TARNWELL_BINARY, "--home", home_}, temp / "program.log",
        std::vector<std::string>{"DISPLAY=" + desktop_->Display()});
  }

  [[nodiscard]] TXDesktop& Desktop() { return *desktop_; }
  [[nodiscard]] const std::string& Home() const { return home_; }
  // Closes the main window with the window manager's key and ends the program with the tray
  // menu's "Exit"; the program's exit status, or -1 when the window stays or the menu does not
  // show.
  int CloseAndExit(uint32_t window, uint32_t icon) {
    desktop_->Close(window);
    if (!Eventually([&] { return desktop_->Windows("tarnwell", false).empty(); },
                    "the main window to close") ||
        !OpenTrayMenu(*desktop_, icon))
      return -1;
    desktop_->Keys({"x"});
    return program_->Wait();
  }
  [[nodiscard]] std::string Log() const {
    return test::FileExists(home_ + "Tarnwell.log") ? test::ReadFileText(home_ + "Tarnwell.log")
                                                    : "";
  }
  [[nodiscard]] int ChecksStarted() const { return CountLines(Log(), "Starting check: Home"); }
  // Each check of the account ends by working out when the next one is due, as the start-up
  // does before the first.
  [[nodiscard]] int ChecksEnded() const {
    return CountLines(Log(), "Done determining time for next check: Home") - 1;
  }
  // The killed messages kept in the program folder.
  [[nodiscard]] size_t KilledFiles() const {
    return ListFiles(home_ + "Accounts/0000000001/Killed", ".hdr").size();
  }

 private:
  std::string home_;
  std::unique_ptr<TXDesktop> desktop_;
  std::unique_ptr<test::TChildProcess> program_;
};

// The windows of the program that are not in the tray, whose title is `title`.
std::vector<uint32_t> WindowsTitled(TXDesktop& desktop, const std::string& title) {
  std::vector<uint32_t> found;
  for (const uint32_t window : desktop.Windows("tarnwell", false))
    if (desktop.Title(window) == title) found.push_back(window);
  return found;
}

// After the check at start-up has filled Killed Mail and Live Mail, the main window's Delete key
// asks first and deletes nothing when the answer is No, and with Shift it deletes the selected
// message without a question: on Killed Mail from the program folder, on Live Mail from the
// server.
TEST(DesktopTest, DeleteAsksFirstAndShiftDeleteDeletesWithoutAQuestion) {
  test::TDovecot dovecot;
  dovecot.AddUser("pat", "pw");
  for (const std::string subject :
       {"Lunch on Saturday", "Minutes of the meeting", "Cheap viagra now", "Viagra again"})
    dovecot.Deliver("pat", "From: Ann <ann@example.org>\nTo: pat@example.com\nSubject: " + subject +
                               "\n\nText.\n");
  test::TTempDir temp;
  TProgramOnTheDesktop session(
      temp, dovecot.Port(),
      {{"filters", "add", "subject", "--pattern", "viagra", "--action", "kill"}});
  TXDesktop& desktop = session.Desktop();
  const uint32_t icon = desktop.DockedIcon("tarnwell");
  ASSERT_TRUE(Eventually([&] { return session.ChecksEnded() == 1; }, "the check at start-up"));
  ASSERT_EQ(session.KilledFiles(), 2u);
  ASSERT_EQ(dovecot.Messages("pat").size(), 2u);

  // Killed Mail shows first, its first message selected.
  const uint32_t window = OpenMainWindow(desktop, icon);
  ASSERT_NE(window, 0u);
  desktop.Activate(window);
  desktop.Keys({"Delete"});
  std::vector<uint32_t> questions;
  ASSERT_TRUE(Eventually([&] { return !(questions = WindowsTitled(desktop, "Confirm")).empty(); },
                         "the question"));
  desktop.Activate(questions.front());
  desktop.Keys({"alt+n"});
  ASSERT_TRUE(Eventually([&] { return desktop.Windows("tarnwell", false).size() == 1; },
                         "the question to close"));
  EXPECT_EQ(session.KilledFiles(), 2u);

  // No question holds the deletion up: nobody answers one.
  desktop.Activate(window);
  desktop.Keys({"shift+Delete"});
  ASSERT_TRUE(Eventually([&] { return session.KilledFiles() == 1; }, "the killed message to go"));
  desktop.Keys({"alt+m", "shift+Delete"});
  ASSERT_TRUE(Eventually([&] { return dovecot.Messages("pat").size() == 1; },
                         "the message to go from the server"));
  EXPECT_TRUE(WindowsTitled(desktop, "Confirm").empty());

  ASSERT_EQ(session.CloseAndExit(window, icon), 0);
  const std::string killed = test::RunTarnwellIn(session.Home(), {"killed", "list"}).out;
  EXPECT_EQ(CountLines(killed, "\n"), 1) << killed;
  EXPECT_EQ(CountLines(killed, "\tCheap viagra now\t") + CountLines(killed, "\tViagra again\t"), 1)
      << killed;
}

// While a check that the main window started runs, closing the window is refused and the window
// stays; once the check has ended, the window closes. The server holds the check up: it greets
// the program only while the test turns its event loop.
TEST(DesktopTest, TheMainWindowStaysWhileACheckRunsAndClosesAfterIt) {
  test::TScriptedServer server;
  // The check at start-up, then the one from the window, of an empty mailbox.
  for (int check = 0; check < 2; ++check) {
    if (check > 0) server.Accept();
    server.Send("+OK ready\r\n")
        .Expect("USER pat\r\n")
        .Send("+OK\r\n")
        .Expect("PASS pw\r\n")
        .Send("+OK\r\n")
        .Expect("STAT\r\n")
        .Send("+OK 0 0\r\n")
        .Expect("UIDL\r\n")
        .Send("+OK\r\n.\r\n")
        .Expect("LIST\r\n")
        .Send("+OK\r\n.\r\n")
        .Expect("QUIT\r\n")
        .Send("+OK\r\n")
        .Close();
  }
  test::TTempDir temp;
  TProgramOnTheDesktop session(temp, server.Port());
  TXDesktop& desktop = session.Desktop();
  const uint32_t icon = desktop.DockedIcon("tarnwell");
  test::PumpUntil([&] { return session.ChecksEnded() == 1; }, "the check at start-up");
  const uint32_t window = OpenMainWindow(desktop, icon);
  ASSERT_NE(window, 0u);

  desktop.Activate(window);
  desktop.Keys({"alt+c"});
  ASSERT_TRUE(Eventually([&] { return session.ChecksStarted() == 2; }, "the check to start"));
  desktop.Close(window);
  // The window stays, with the check's progress over it.
  std::vector<std::string> titles;
  for (const uint32_t shown : desktop.Windows("tarnwell", false))
    titles.push_back(shown == window ? "main window" : desktop.Title(shown));
  std::sort(titles.begin(), titles.end());
  EXPECT_EQ(titles, (std::vector<std::string>{"Checking e-mail", "main window"}));
  test::PumpUntil([&] { return session.ChecksEnded() == 2; }, "the check to end");
  // Refused, not put off until the check's end.
  desktop.Settle(window);
  EXPECT_EQ(desktop.Windows("tarnwell", false), std::vector<uint32_t>{window});

  EXPECT_EQ(session.CloseAndExit(window, icon), 0);
  EXPECT_TRUE(server.Finished()) << server.Transcript();
}

}  // namespace
}  // namespace tarnwell
