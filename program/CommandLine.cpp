#include "program/CommandLine.h"

#include "filtering/DataFiles.h"
#include "message/DomainLists.h"
#include "shell/ProgramFolders.h"

namespace tarnwell {

bool ParseCommandLine(const std::vector<std::string>& args, TCommandLine& line,
                      std::string& error) {
  size_t i = 0;
  for (; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (arg == "--home") {
      if (i + 1 >= args.size()) {
        error = "--home needs a folder.";
        return false;
      }
      line.home = args[++i];
    } else if (arg.rfind("--home=", 0) == 0) {
      line.home = arg.substr(7);
    } else if (arg == "--help" || arg == "-h") {
      line.help = true;
    } else if (arg == "--version") {
      line.version = true;
    } else {
      break;
    }
  }
  if (i < args.size()) {
    line.command = args[i++];
    line.arguments.assign(args.begin() + static_cast<std::ptrdiff_t>(i), args.end());
  }
  return true;
}

void PrepareProgramFolder(const TCommandLine& line) {
  TProgramFolders::SetProgramFolder(TProgramFolders::Resolve(line.home));
  InstallDataFiles();
  LoadDomainLists(TProgramFolders::ProgramFolder());
}

}  // namespace tarnwell
