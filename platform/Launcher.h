#pragma once

#include <sys/types.h>

#include <string>
#include <string_view>
#include <vector>

namespace tarnwell {

// Starts `program` with `arguments`, without a shell, and returns at once: the process id, or -1
// when it could not be started. A program without "/" is looked up on the PATH. Programs that
// ended since are collected on each start, so none lingers as a zombie for long.
pid_t StartProgram(const std::string& program, const std::vector<std::string>& arguments);

// The parameter text of a command line as arguments: blanks separate them, double quotes group
// blanks into one argument and are dropped, and "" inside quotes stands for one quote.
[[nodiscard]] std::vector<std::string> SplitParameters(std::string_view parameters);

// Collects the programs started earlier that have ended.
void ReapPrograms();

}  // namespace tarnwell
