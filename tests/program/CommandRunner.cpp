#include "tests/program/CommandRunner.h"

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <stdexcept>

#include "tests/support/ChildProcess.h"
#include "tests/support/TestSupport.h"

namespace tarnwell::test {

TRunResult RunTarnwell(const std::vector<std::string>& args, const std::string& input) {
  TTempDir files;
  WriteFileText(files / "in", input);
  std::vector<std::string> argv = {TARNWELL_BINARY};
  argv.insert(argv.end(), args.begin(), args.end());
  std::vector<char*> pointers;
  for (std::string& arg : argv) pointers.push_back(arg.data());
  pointers.push_back(nullptr);
  const pid_t pid = ::fork();
  if (pid < 0) throw std::runtime_error("fork failed");
  if (pid == 0) {
    const int in = ::open((files / "in").c_str(), O_RDONLY);
    const int out = ::open((files / "out").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    const int err = ::open((files / "err").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    if (in < 0 || out < 0 || err < 0) ::_exit(127);
    ::dup2(in, 0);
    ::dup2(out, 1);
    ::dup2(err, 2);
    ::execv(pointers[0], pointers.data());
    ::_exit(127);
  }
  const int status = WaitForExit(pid);
  TRunResult result;
  result.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  result.out = ReadFileText(files / "out");
  result.err = ReadFileText(files / "err");
  return result;
}

}  // namespace tarnwell::test
