#include "platform/SingleInstance.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "platform/Files.h"

namespace tarnwell {

namespace {

constexpr const char* kMessagePrefix = "InvokeTarnwell ";
// Longer than any message of ours; a peer that sends more is not an instance of ours.
constexpr size_t kMaxMessage = 64;
constexpr int kMaxClients = 16;

bool FillAddress(const std::string& path, sockaddr_un& address) {
  address = {};
  address.sun_family = AF_UNIX;
  if (path.size() >= sizeof address.sun_path) return false;
  std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
  return true;
}

// A connected socket to the listener at `path`, or -1 with errno set.
int ConnectTo(const std::string& path) {
  sockaddr_un address;
  if (!FillAddress(path, address)) {
    errno = ENAMETOOLONG;
    return -1;
  }
  const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return -1;
  // A listener that stopped taking connections must not hold the second instance for long.
  const timeval timeout{2, 0};
  ::setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &timeout, sizeof timeout);
  if (::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
    const int saved = errno;
    ::close(fd);
    errno = saved;
    return -1;
  }
  return fd;
}

bool ParseMessage(std::string_view text, int32_t& code) {
  const std::string_view prefix = kMessagePrefix;
  if (text.substr(0, prefix.size()) != prefix) return false;
  text.remove_prefix(prefix.size());
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), code);
  return error == std::errc() && end == text.data() + text.size() && !text.empty();
}

// The folder as the file system names it: the same folder named two ways is still one program.
std::string RealFolder(const std::string& programFolder) {
  std::string folder = IncludeTrailingSlash(programFolder);
  if (char* real = ::realpath(folder.c_str(), nullptr)) {
    folder = IncludeTrailingSlash(real);
    std::free(real);
  }
  return folder;
}

std::string FolderHash(std::string_view text) {
  uint64_t hash = 14695981039346656037ull;
  for (const char c : text) {
    hash ^= static_cast<unsigned char>(c);
    hash *= 1099511628211ull;
  }
  char hex[17];
  std::snprintf(hex, sizeof hex, "%016llx", static_cast<unsigned long long>(hash));
  return hex;
}

}  // namespace

int32_t ChooseInvokeCode(bool suspend, bool resume, bool about, bool settings) {
  if (suspend) return icSuspend;
  if (resume) return icResume;
  if (about) return icAbout;
  if (settings) return icSettings;
  return icOpen;
}

std::string InstanceSocketPath(const std::string& programFolder) {
  const std::string folder = RealFolder(programFolder);
  const char* runtime = std::getenv("XDG_RUNTIME_DIR");
  if (runtime && *runtime == '/' && DirectoryExists(runtime) && ::access(runtime, W_OK) == 0)
    return IncludeTrailingSlash(runtime) + "tarnwell-" + FolderHash(folder) + ".socket";
  return folder + "Tarnwell.socket";
}

std::string InstanceLockPath(const std::string& programFolder) {
  return RealFolder(programFolder) + "Tarnwell.lock";
}

TSingleInstance::TSingleInstance(std::string lockPath, std::string socketPath, TEventLoop& loop)
    : lockPath_(std::move(lockPath)), socketPath_(std::move(socketPath)), loop_(loop) {}

TSingleInstance::~TSingleInstance() {
  while (!clients_.empty()) CloseClient(clients_.begin()->first);
  listenWatch_.reset();
  if (listenFd_ >= 0) {
    ::close(listenFd_);
    ::unlink(socketPath_.c_str());
  }
  if (lockFd_ >= 0) {
    // Removed while it is still locked, so a later instance never locks a file that is gone.
    ::unlink(lockPath_.c_str());
    ::close(lockFd_);
  }
}

bool TSingleInstance::Acquire(TInvokeHandler handler) {
  for (;;) {
    lockFd_ = ::open(lockPath_.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (lockFd_ < 0) break;
    if (::flock(lockFd_, LOCK_EX | LOCK_NB) != 0) {
      const int saved = errno;
      ::close(lockFd_);
      lockFd_ = -1;
      if (saved == EWOULDBLOCK) return false;
      break;
    }
    // An instance that ended removes the file it locked; a lock on that file counts for
    // nothing, so the one at the path is taken instead.
    struct stat held, named;
    if (::fstat(lockFd_, &held) == 0 && ::stat(lockPath_.c_str(), &named) == 0 &&
        held.st_dev == named.st_dev && held.st_ino == named.st_ino)
      break;
    ::close(lockFd_);
    lockFd_ = -1;
  }
  if (lockFd_ < 0) {
    // Without a lock, a listening socket alone tells that another instance runs.
    const int fd = ConnectTo(socketPath_);
    if (fd >= 0) {
      ::close(fd);
      return false;
    }
  }
  handler_ = std::move(handler);
  if (Listen() && lockFd_ >= 0) NameSocket();
  return true;
}

void TSingleInstance::NameSocket() {
  // Written over what an instance that died left, which names a socket no one listens on.
  const std::string line = socketPath_ + "\n";
  const auto size = static_cast<off_t>(line.size());
  if (::pwrite(lockFd_, line.data(), line.size(), 0) != size || ::ftruncate(lockFd_, size) != 0)
    listenError_ = "Cannot name the socket in \"" + lockPath_ + "\": " + std::strerror(errno) + ".";
}

std::string TSingleInstance::NamedSocket() const {
  const int fd = ::open(lockPath_.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return socketPath_;
  // No socket path fits a longer line.
  char buffer[sizeof sockaddr_un::sun_path + 1];
  const ssize_t n = ::read(fd, buffer, sizeof buffer);
  ::close(fd);
  const std::string_view text(buffer, n > 0 ? static_cast<size_t>(n) : 0);
  const size_t end = text.find('\n');
  // Until the running instance has written its line, ours is the likeliest.
  if (end == std::string_view::npos || end == 0) return socketPath_;
  return std::string(text.substr(0, end));
}

bool TSingleInstance::Listen() {
  sockaddr_un address;
  if (!FillAddress(socketPath_, address)) {
    listenError_ = "The socket path \"" + socketPath_ + "\" is too long.";
    return false;
  }
  // Whatever is left at the path belongs to an instance that is gone.
  ::unlink(socketPath_.c_str());
  const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
  if (fd < 0 || ::bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0 ||
      ::chmod(socketPath_.c_str(), 0600) != 0 || ::listen(fd, 8) != 0) {
    listenError_ = "Cannot listen on \"" + socketPath_ + "\": " + std::strerror(errno) + ".";
    if (fd >= 0) ::close(fd);
    return false;
  }
  listenFd_ = fd;
  listenWatch_ = std::make_unique<TFdWatch>(
      fd, TEventLoop::evRead, [this](unsigned) { AcceptClients(); }, loop_);
  return true;
}

void TSingleInstance::AcceptClients() {
  for (;;) {
    const int fd = ::accept4(listenFd_, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
    if (fd < 0) return;
    if (static_cast<int>(clients_.size()) >= kMaxClients) {
      ::close(fd);
      continue;
    }
    const int id = nextClient_++;
    TClient& client = clients_[id];
    client.fd = fd;
    client.watch = std::make_unique<TFdWatch>(
        fd, TEventLoop::evRead, [this, id](unsigned) { ReadClient(id); }, loop_);
  }
}

void TSingleInstance::ReadClient(int id) {
  auto it = clients_.find(id);
  if (it == clients_.end()) return;
  TClient& client = it->second;
  char buffer[kMaxMessage + 1];
  const ssize_t n = ::read(client.fd, buffer, sizeof buffer);
  if (n < 0 && (errno == EAGAIN || errno == EINTR)) return;
  if (n > 0) client.data.append(buffer, static_cast<size_t>(n));
  const bool complete = n == 0 || client.data.find('\n') != std::string::npos;
  if (!complete && n > 0 && client.data.size() <= kMaxMessage) return;
  std::string data = std::move(client.data);
  CloseClient(id);
  if (!complete) return;
  data.resize(std::min(data.size(), data.find('\n')));
  int32_t code = 0;
  // The handler may run a dialog that lets events run, so the client is gone before it starts.
  if (ParseMessage(data, code) && handler_) handler_(code);
}

void TSingleInstance::CloseClient(int id) {
  auto it = clients_.find(id);
  if (it == clients_.end()) return;
  it->second.watch.reset();
  ::close(it->second.fd);
  clients_.erase(it);
}

bool TSingleInstance::Send(int32_t code) {
  const std::string message = kMessagePrefix + std::to_string(code) + "\n";
  // The running instance may hold the lock a moment before it listens.
  for (int attempt = 0; attempt < 100; ++attempt) {
    const int fd = ConnectTo(NamedSocket());
    if (fd >= 0) {
      const ssize_t n = ::send(fd, message.data(), message.size(), MSG_NOSIGNAL);
      ::close(fd);
      return n == static_cast<ssize_t>(message.size());
    }
    if (errno != ENOENT && errno != ECONNREFUSED && errno != EAGAIN) return false;
    ::poll(nullptr, 0, 20);
  }
  return false;
}

}  // namespace tarnwell
