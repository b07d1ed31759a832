#include <malloc.h>

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
    "  classify SOURCE... classify messages (files, -, a Maildir, an mbox) with the program\n"
    "                     folder's filters (classify --help)\n"
    "  accounts ...       list, show, add, change, remove and test accounts (accounts --help)\n"
    "  filters ...        list, add, change and remove filters, block countries\n"
    "                     (filters --help)\n"
    "  killed ...         list, show, rescue, delete and purge the messages in Killed Mail\n"
    "                     (killed --help)\n"
    "  live list          the messages in Live Mail as the last check left them (live --help)\n"
    "  log [-f]           print (and follow) the program log\n"
    "  settings ...       list, get and set the settings (settings --help)\n"
    "  demo [--keep]      one check against an embedded demo mail server, with a report\n"
    "Options:\n"
    "  --home DIR         the program folder (default: $TARNWELL_HOME, else\n"
    "                     ~/.local/share/tarnwell)\n"
    "  --help, --version\n";

}  // namespace

int main(int argc, char** argv) {
  using namespace tarnwell;
  // The buffers of a large message go back to the system when they are freed. Otherwise glibc
  // raises its threshold for taking blocks straight from the system to the size of each large
  // block freed, so that the next ones come from the heap, which keeps what it has once had.
  // Fixing the threshold also fixes the free memory the heap keeps at its top, at twice that,
  // as glibc's own adjustment does: less would be given back and taken again for every message.
  mallopt(M_MMAP_THRESHOLD, 1024 * 1024);
  mallopt(M_TRIM_THRESHOLD, 2 * 1024 * 1024);
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
  if (line.command == "live") return RunLive(line);
  if (line.command == "log") return RunLog(line);
  if (line.command == "settings") return RunSettings(line);
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
