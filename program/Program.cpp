#include "program/Program.h"

#include <unistd.h>

#include <cstdio>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "app/AppWindow.h"
#include "app/UserInterface.h"
#include "message/QStrings.h"
#include "program/CheckReport.h"
#include "program/CommandLine.h"
#include "program/ConsoleUi.h"
#include "program/DesktopProgram.h"
#include "shell/ProgramFolders.h"

namespace tarnwell {

namespace {

const char* const kUsage =
    "Usage: tarnwell [--home DIR] [--headless] [SWITCHES]\n"
    "Runs Tarnwell: checks the accounts at start and on their schedules until it is ended\n"
    "(Exit in the tray menu, SIGTERM or Ctrl+C). On a desktop (DISPLAY or WAYLAND_DISPLAY) it\n"
    "shows a tray icon and windows; with --headless or /ONCE, or without a display, it shows\n"
    "none and its messages go to standard error.\n"
    "Switches (letter case ignored):\n"
    "  /ONCE, --once       check every account once and end: status 0 when every check\n"
    "                      succeeded, 1 when one reported an error or Tarnwell runs already\n"
    "                      on the program folder (nothing is checked then), 2 when set-up\n"
    "                      is missing. It prints a line per checked account on standard\n"
    "                      output (new, from friends, possible spam, killed, complaints sent,\n"
    "                      errors), and the check's progress on a terminal\n"
    "  --quiet             leave out the lines and the progress; errors are still printed\n"
    "  /SUSPENDED, SUSPEND, --suspended\n"
    "                      start with checking suspended\n"
    "  /APPDELAY SECONDS   wait before starting the programs of account events\n"
    "  /OPEN, OPEN, --open, ABOUT, SETTINGS\n"
    "                      open the main window, the About box or the settings (with a\n"
    "                      display)\n"
    "  RESUME              (to a running Tarnwell) resume checking\n"
    "A second Tarnwell on the same program folder passes its switches to the running one\n"
    "and ends. Anything else on the command line is refused with status 2.\n";

bool IsSwitch(const std::string& arg) { return ParseSwitches({arg}).Unknown.empty(); }

}  // namespace

bool RunsProgram(const TCommandLine& line) {
  const std::string& command = line.command;
  return command.empty() || command.front() == '/' || command.front() == '-' || IsSwitch(command);
}

int RunProgram(const TCommandLine& line) {
  std::vector<std::string> args;
  if (!line.command.empty()) args.push_back(line.command);
  args.insert(args.end(), line.arguments.begin(), line.arguments.end());
  std::optional<std::string> home = line.home;
  bool quiet = false;
  bool headless = false;
  std::vector<std::string> switches;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (arg == "--help" || arg == "-h") {
      std::fputs(kUsage, stdout);
      return 0;
    }
    if (arg == "--home" && i + 1 < args.size()) {
      home = args[++i];
    } else if (arg.rfind("--home=", 0) == 0) {
      home = arg.substr(7);
    } else if (arg == "--quiet") {
      quiet = true;
    } else if (arg == "--headless") {
      headless = true;
    } else {
      switches.push_back(arg);
    }
  }
  // A mistyped switch would otherwise start a program that checks, and deletes spam, at once.
  const std::vector<std::string> unknown = ParseSwitches(switches).Unknown;
  if (!unknown.empty()) {
    const std::string& arg = unknown.front();
    if (arg == "--home")
      std::fputs("tarnwell: --home needs a folder.\n", stderr);
    else
      std::fprintf(stderr, "tarnwell: unknown switch \"%s\".\n", arg.c_str());
    std::fputs(kUsage, stderr);
    return 2;
  }
  try {
    TProgramFolders::SetProgramFolder(TProgramFolders::Resolve(home));
  } catch (const std::exception& error) {
    std::fprintf(stderr, "tarnwell: %s\n", error.what());
    return esFailed;
  }
  // "/ONCE" is for scripts and timers: its report goes to the terminal, and a dialog waiting for
  // an answer would hold up the run.
  if (!headless && !ParseSwitches(switches).CheckOnce) {
    bool named = false;
    const std::string why = WhyNoDesktop(named);
    if (why.empty()) return RunDesktopProgram(switches);
    if (named) std::fprintf(stderr, "tarnwell: %s; Tarnwell runs without windows.\n", why.c_str());
  }
  TConsoleUi ui;
  TCheckReporting reporting;
  if (!quiet && ParseSwitches(switches).CheckOnce) reporting.Lines = stdout;
  reporting.Progress = !quiet && ::isatty(STDERR_FILENO);
  if (home) reporting.Command += " --home " + ShellWord(*home);
  ui.SetCheckReporting(std::move(reporting));
  InstallUserInterface(ui.Parts());
  int status = esOk;
  {
    TAppWindow app(switches);
    status = app.Run();
    if (app.Forwarded() && status == esOk)
      std::fputs("Halvora Tarnwell is running already; it was passed the command.\n", stderr);
  }
  InstallUserInterface({});
  return status;
}

}  // namespace tarnwell
