#include <cstdio>
#include <string>
#include <vector>

#include "program/CommandLine.h"
#include "program/Program.h"
#include "shell/ProgramFolders.h"

namespace {

const char* const kUsage =
    "Usage: tarnwell [--home DIR] COMMAND [ARGUMENTS]\n"
    "       tarnwell [--home DIR] [--headless] [SWITCHES]   run the program (--headless --help)\n"
    "Commands:\n"
    "  classify FILE...   classify messages with the program folder's filters\n"
    "  accounts ...       list, add, remove and switch accounts (accounts --help)\n"
    "  filters ...        list, add and remove filters, block countries (filters --help)\n"
    "  killed ...         list and show the messages in Killed Mail (killed --help)\n"
    "  demo [--keep]      one check against an embedded demo mail server, with a report\n"
    "Options:\n"
    "  --home DIR         the program folder (default: $TARNWELL_HOME, else\n"
    "                     ~/.local/share/tarnwell)\n"
    "  --help, --version\n";

}  // namespace

int main(int argc, char** argv) {
  using namespace tarnwell;
  TCommandLine line;
  std::string error;
  if (!ParseCommandLine(std::vector<std::string>(argv + 1, argv + argc), line, error)) {
    std::fprintf(stderr, "tarnwell: %s\n%s", error.c_str(), kUsage);
    return 2;
  }
  if (line.version) {
    std::printf("Tarnwell %s\n", ProgramVersionFull().c_str());
    return 0;
  }
  if (line.command == "classify") return RunClassify(line);
  if (line.command == "accounts") return RunAccounts(line);
  if (line.command == "filters") return RunFilters(line);
  if (line.command == "killed") return RunKilled(line);
  if (line.command == "demo") return RunDemo(line);
  if (line.command.empty() && line.help) {
    std::fputs(kUsage, stdout);
    return 0;
  }
  if (RunsProgram(line)) return RunProgram(line);
  std::fprintf(stderr, "tarnwell: unknown command \"%s\".\n", line.command.c_str());
  std::fputs(kUsage, stderr);
  return 2;
}
