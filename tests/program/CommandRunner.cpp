#include "tests/program/CommandRunner.h"

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <stdexcept>

#include "tests/support/ChildProcess.h"
#include "tests/support/TestSupport.h"

namespace tarnwell::test {

namespace {

// The program's argument vector; `argv` owns the texts the pointers point into.
std::vector<char*> ArgumentPointers(const std::vector<std::string>& args,
                                    std::vector<std::string>& argv) {
  argv = {TARNWELL_BINARY};
  argv.insert(argv.end(), args.begin(), args.end());
  std::vector<char*> pointers;
  for (std::string& arg : argv) pointers.push_back(arg.data());
  pointers.push_back(nullptr);
  return pointers;
}

int ExitStatus(pid_t pid) {
  const int status = WaitForExit(pid);
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

}  // namespace

TRunResult RunTarnwell(const std::vector<std::string>& args, const std::string& input) {
  TTempDir files;
  WriteFileText(files / "in", input);
  std::vector<std::string> argv;
  const std::vector<char*> pointers = ArgumentPointers(args, argv);
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
  TRunResult result;
  result.status = ExitStatus(pid);
  result.out = ReadFileText(files / "out");
  result.err = ReadFileText(files / "err");
  return result;
}

TRunResult RunTarnwellOnTerminal(const std::vector<std::string>& args, const std::string& prompt,
                                 const std::string& answer) {
  std::vector<std::string> argv;
  const std::vector<char*> pointers = ArgumentPointers(args, argv);
  int terminal = -1;
  const pid_t pid = ::forkpty(&terminal, nullptr, nullptr, nullptr);
  if (pid < 0) throw std::runtime_error("forkpty failed");
  if (pid == 0) {
    ::execv(pointers[0], pointers.data());
    ::_exit(127);
  }
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(kWaitMs);
  std::string shown;
  bool answered = false;
  for (;;) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - std::chrono::steady_clock::now());
    pollfd watch{terminal, POLLIN, 0};
    if (left.count() <= 0 || ::poll(&watch, 1, static_cast<int>(left.count())) == 0) {
      ::kill(pid, SIGKILL);
      ::close(terminal);
      WaitForExit(pid);
      throw std::runtime_error("tarnwell did not end on its terminal; it showed:\n" + shown);
    }
    char buffer[512];
    const ssize_t n = ::read(terminal, buffer, sizeof buffer);
    // Reading fails once the program has ended and its side of the terminal is closed.
    if (n <= 0) break;
    shown.append(buffer, static_cast<size_t>(n));
    if (!answered && shown.find(prompt) != std::string::npos) {
      answered = true;
      if (::write(terminal, answer.data(), answer.size()) != static_cast<ssize_t>(answer.size()))
        throw std::runtime_error("the answer could not be typed");
    }
  }
  ::close(terminal);
  TRunResult result;
  result.status = ExitStatus(pid);
  result.out = shown;
  return result;
}

TRunResult RunTarnwellIn(const std::string& home, std::vector<std::string> args,
                         const std::string& input) {
  args.insert(args.begin(), {"--home", home});
  return RunTarnwell(args, input);
}

TRunResult AddAccountIn(const std::string& home, const std::string& description, int pop3Port,
                        const std::string& user, const std::vector<std::string>& options) {
  std::vector<std::string> args{"accounts",
                                "add",
                                "pop3",
                                "--description",
                                description,
                                "--name",
                                user,
                                "--email",
                                user + "@example.com",
                                "--pop3",
                                "127.0.0.1:" + std::to_string(pop3Port),
                                "--user",
                                user,
                                "--smtp",
                                "127.0.0.1",
                                "--pop3-security",
                                "none",
                                "--smtp-security",
                                "none",
                                "--password-stdin"};
  args.insert(args.end(), options.begin(), options.end());
  return RunTarnwellIn(home, args, "pw\n");
}

}  // namespace tarnwell::test
