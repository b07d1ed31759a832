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
// Adds to the program folder `home` the account `description` of `user` (password "pw", address
// user@example.com) on the POP3 server at 127.0.0.1:`pop3Port` and the SMTP server of
// 127.0.0.1, both without TLS; `options` are more options of "accounts add".
TRunResult AddAccountIn(const std::string& home, const std::string& description, int pop3Port,
                        const std::string& user, const std::vector<std::string>& options = {});

}  // namespace tarnwell::test
