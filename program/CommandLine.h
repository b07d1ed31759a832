#pragma once

#include <optional>
#include <string>
#include <vector>

namespace tarnwell {

// The options every command takes, and the arguments after the command's name.
struct TCommandLine {
  std::optional<std::string> home;
  std::string command;
  std::vector<std::string> arguments;
  bool help = false;
  bool version = false;
};

// Splits `--home DIR` (or `--home=DIR`), `--help` and `--version` off the front of the
// arguments; the first other argument names the command. False with `error` set on bad input.
bool ParseCommandLine(const std::vector<std::string>& args, TCommandLine& line, std::string& error);

// Sets up the program folder of the command line and copies the shipped data files into it.
void PrepareProgramFolder(const TCommandLine& line);

int RunClassify(const TCommandLine& line);
int RunAccounts(const TCommandLine& line);
int RunFilters(const TCommandLine& line);
int RunKilled(const TCommandLine& line);
int RunLive(const TCommandLine& line);
int RunLog(const TCommandLine& line);
int RunSettings(const TCommandLine& line);
// Runs one check against an embedded demo mail server in a throw-away program folder.
int RunDemo(const TCommandLine& line);

}  // namespace tarnwell
