#pragma once

namespace tarnwell {

struct TCommandLine;

// The command line runs the program itself rather than a command: no command, an option
// such as "--headless", or one of the program's switches.
[[nodiscard]] bool RunsProgram(const TCommandLine& line);

// `tarnwell [--home DIR] [--headless] [SWITCHES]`: the program, until it ends; its exit status.
int RunProgram(const TCommandLine& line);

}  // namespace tarnwell
