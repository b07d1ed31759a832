#include <cstdio>
#include <string>
#include <vector>

#include "program/CommandLine.h"
#include "shell/ProgramFolders.h"

namespace {

const char* const kUsage =
    "Usage: tarnwell [--home DIR] COMMAND [ARGUMENTS]\n"
    "Commands:\n"
    "  classify FILE...   classify messages with the program folder's filters\n"
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
  if (line.command.empty() && line.help) {
    std::fputs(kUsage, stdout);
    return 0;
  }
  if (line.command.empty())
    std::fputs("tarnwell: the program itself does not run yet; use a command.\n", stderr);
  else
    std::fprintf(stderr, "tarnwell: unknown command \"%s\".\n", line.command.c_str());
  std::fputs(kUsage, stderr);
  return 2;
}
