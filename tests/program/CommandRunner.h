#pragma once

#include <string>
#include <vector>

namespace tarnwell::test {

struct TRunResult {
  int status = -1;
  std::string out;
  std::string err;
};

// Runs the built tarnwell with `args` to its end, `input` on its standard input (a file, so
// never a terminal), and collects its exit status and output.
TRunResult RunTarnwell(const std::vector<std::string>& args, const std::string& input = "");
// Runs the built tarnwell with `args` on a terminal of its own and types `answer` once the
// terminal shows `prompt`. `out` holds what the terminal showed (both outputs and the echo).
TRunResult RunTarnwellOnTerminal(const std::vector<std::string>& args, const std::string& prompt,
                                 const std::string& answer);
// The same on the program folder `home`.
TRunResult RunTarnwellIn(const std::string& home, std::vector<std::string> args,
                         const std::string& input = "");

}  // namespace tarnwell::test
