#include "tests/support/ChildProcess.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <thread>

extern char** environ;

namespace tarnwell::test {

namespace {

std::vector<char*> ArgPointers(std::vector<std::string>& strings) {
  std::vector<char*> pointers;
  for (std::string& s : strings) pointers.push_back(s.data());
  pointers.push_back(nullptr);
  return pointers;
}

bool PortAccepts(int port) {
  const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return false;
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(static_cast<uint16_t>(port));
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  const bool ok = ::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
  ::close(fd);
  return ok;
}

std::string ReadLog(const std::string& path) {
  std::ifstream in(path);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

}  // namespace

TBoundPort::TBoundPort() : fd_(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0)) {
  if (fd_ < 0) throw std::runtime_error("socket failed");
  // Lets the server bind beside this socket while it does not listen; the kernel still hands
  // the port to no bind to port 0.
  const int one = 1;
  ::setsockopt(fd_, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
  port_ = BindLoopbackPort(fd_, "no free port");
}

int BindLoopbackPort(int fd, const char* what) {
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t length = sizeof address;
  if (::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
      ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
    ::close(fd);
    throw std::runtime_error(what);
  }
  return ntohs(address.sin_port);
}

TBoundPort::~TBoundPort() { ::close(fd_); }

std::string FindProgram(const std::string& name) {
  std::string path = std::getenv("PATH") ? std::getenv("PATH") : "";
  path += ":/usr/sbin:/sbin:/usr/local/sbin:/usr/bin:/bin";
  std::stringstream folders(path);
  std::string folder;
  while (std::getline(folders, folder, ':')) {
    if (folder.empty()) continue;
    const std::string candidate = folder + "/" + name;
    if (::access(candidate.c_str(), X_OK) == 0) return candidate;
  }
  throw std::runtime_error("the program " + name +
                           " is not installed (scripts/install-deps.sh installs it)");
}

int WaitForExit(pid_t pid, int timeoutMs) {
  const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  int status = 0;
  for (;;) {
    const pid_t ended = ::waitpid(pid, &status, WNOHANG);
    if (ended > 0) return status;
    if (ended < 0 && errno != EINTR) throw std::runtime_error("waitpid failed");
    if (std::chrono::steady_clock::now() > end) break;
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
  // A pid of -1 would signal every process there is.
  if (pid > 0) {
    ::kill(pid, SIGKILL);
    ::waitpid(pid, &status, 0);
  }
  throw std::runtime_error("the program did not end within " + std::to_string(timeoutMs) + " ms");
}

int RunProgram(const std::vector<std::string>& argv, const std::string& input, int timeoutMs) {
  int pipeFds[2];
  if (::pipe2(pipeFds, O_CLOEXEC) != 0) throw std::runtime_error("pipe failed");
  const pid_t pid = ::fork();
  if (pid < 0) throw std::runtime_error("fork failed");
  if (pid == 0) {
    ::dup2(pipeFds[0], 0);
    const int null = ::open("/dev/null", O_WRONLY);
    ::dup2(null, 1);
    std::vector<std::string> args = argv;
    ::execv(args[0].c_str(), ArgPointers(args).data());
    ::_exit(127);
  }
  ::close(pipeFds[0]);
  size_t written = 0;
  while (written < input.size()) {
    const ssize_t n = ::write(pipeFds[1], input.data() + written, input.size() - written);
    if (n <= 0) break;
    written += static_cast<size_t>(n);
  }
  ::close(pipeFds[1]);
  const int status = WaitForExit(pid, timeoutMs);
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

TChildProcess::TChildProcess(const std::vector<std::string>& argv, const std::string& logFile,
                             const std::vector<std::string>& extraEnvironment)
    : logFile_(logFile) {
  std::vector<std::string> environment;
  for (char** e = environ; *e; ++e) environment.emplace_back(*e);
  environment.insert(environment.end(), extraEnvironment.begin(), extraEnvironment.end());
  pid_ = ::fork();
  if (pid_ < 0) throw std::runtime_error("fork failed");
  if (pid_ == 0) {
    // Its own process group, so that stopping it stops what it started.
    ::setpgid(0, 0);
    const int null = ::open("/dev/null", O_RDONLY);
    ::dup2(null, 0);
    const int out = logFile.empty() ? ::open("/dev/null", O_WRONLY)
                                    : ::open(logFile.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0600);
    ::dup2(out, 1);
    ::dup2(out, 2);
    std::vector<std::string> args = argv;
    ::execve(args[0].c_str(), ArgPointers(args).data(), ArgPointers(environment).data());
    ::_exit(127);
  }
  ::setpgid(pid_, pid_);
}

TChildProcess::~TChildProcess() { Stop(); }

bool TChildProcess::Running() {
  if (pid_ <= 0) return false;
  int status = 0;
  if (::waitpid(pid_, &status, WNOHANG) == pid_) {
    Ended(status);
    return false;
  }
  return true;
}

int TChildProcess::Wait(int timeoutMs) {
  const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  while (Running()) {
    if (std::chrono::steady_clock::now() > end) {
      Stop();
      throw std::runtime_error("the program did not end within " + std::to_string(timeoutMs) +
                               " ms");
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
  return exitStatus_;
}

void TChildProcess::Ended(int status) {
  exitStatus_ = WIFSIGNALED(status) ? 128 + WTERMSIG(status) : WEXITSTATUS(status);
  pid_ = -1;
}

void TChildProcess::WaitForPort(int port, int timeoutMs) {
  const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  while (!PortAccepts(port)) {
    if (!Running())
      throw std::runtime_error("the server ended before it listened:\n" + ReadLog(logFile_));
    if (std::chrono::steady_clock::now() > end)
      throw std::runtime_error("the server did not listen on port " + std::to_string(port) + ":\n" +
                               ReadLog(logFile_));
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
}

void TChildProcess::Stop() {
  if (pid_ <= 0) return;
  ::kill(-pid_, SIGTERM);
  const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(3);
  int status = 0;
  while (::waitpid(pid_, &status, WNOHANG) == 0) {
    if (std::chrono::steady_clock::now() > end) {
      ::kill(-pid_, SIGKILL);
      ::waitpid(pid_, &status, 0);
      break;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
  pid_ = -1;
}

}  // namespace tarnwell::test
