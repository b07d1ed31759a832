#include "platform/LineConnection.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstring>
#include <utility>

namespace tarnwell {

namespace {

struct TErrorEntry {
  int code;
  const char* text;
};

constexpr TErrorEntry kErrorTexts[] = {
    {10004, "Interrupted system call"},
    {10009, "Bad file number"},
    {10013, "Permission denied"},
    {10014, "Bad address"},
    {10022, "Invalid argument"},
    {10024, "Too many open files"},
    {10035, "Operation would block"},
    {10036, "Operation now in progress"},
    {10037, "Operation already in progress"},
    {10038, "Socket operation on non-socket"},
    {10039, "Destination address required"},
    {10040, "Message too long"},
    {10041, "Protocol wrong type for socket"},
    {10042, "Protocol not available"},
    {10043, "Protocol not supported"},
    {10044, "Socket type not supported"},
    {10045, "Operation not supported on socket"},
    {10046, "Protocol family not supported"},
    {10047, "Address family not supported by protocol family"},
    {10048, "Address already in use"},
    {10049, "Can't assign requested address"},
    {10050, "Network is down"},
    {10051, "Network is unreachable"},
    {10052, "Network dropped connection on reset"},
    {10053, "Software caused connection abort"},
    {10054, "Connection reset by peer"},
    {10055, "No buffer space available"},
    {10056, "Socket is already connected"},
    {10057, "Socket is not connected"},
    {10058, "Can't send after socket shutdown"},
    {10059, "Too many references: can't splice"},
    {10060, "Connection timed out"},
    {10061, "Connection refused"},
    {10062, "Too many levels of symbolic links"},
    {10063, "File name too long"},
    {10064, "Host is down"},
    {10065, "No route to host"},
    {10066, "Directory not empty"},
    {10067, "Too many processes"},
    {10068, "Too many users"},
    {10069, "Disc quota exceeded"},
    {10070, "Stale NFS file handle"},
    {10071, "Too many levels of remote in path"},
    {10091, "Network sub-system is unusable"},
    {10092, "WinSock DLL cannot support this application"},
    {10093, "WinSock not initialized"},
    {11001, "Host not found"},
    {11002, "Non-authoritative host not found"},
    {11003, "Non-recoverable error"},
    {11004, "No Data"},
    {-2, "The operation was aborted manually."},
    {-1, "The operation timed out."},
};

// At most this much is read per readiness report, so one busy peer cannot hold the loop.
constexpr size_t kReadChunk = 64 * 1024;
constexpr size_t kReadPerEvent = 1024 * 1024;

class TSocketChannel : public TByteChannel {
 public:
  explicit TSocketChannel(int fd) : fd_(fd) {}
  ssize_t Read(char* buffer, size_t size) override { return ::recv(fd_, buffer, size, 0); }
  ssize_t Write(const char* data, size_t size) override {
    return ::send(fd_, data, size, MSG_NOSIGNAL);
  }

 private:
  int fd_;
};

std::string TrimBlanks(std::string_view text) {
  const size_t first = text.find_first_not_of(" \t\r\n");
  if (first == std::string_view::npos) return {};
  const size_t last = text.find_last_not_of(" \t\r\n");
  return std::string(text.substr(first, last - first + 1));
}

// Four decimal numbers from 0 to 255 joined by dots, nothing else.
bool ParseDottedQuad(std::string_view text, in_addr& address) {
  uint32_t value = 0;
  int parts = 0;
  size_t pos = 0;
  while (parts < 4) {
    if (pos >= text.size() || text[pos] < '0' || text[pos] > '9') return false;
    unsigned part = 0;
    size_t digits = 0;
    while (pos < text.size() && text[pos] >= '0' && text[pos] <= '9') {
      part = part * 10 + static_cast<unsigned>(text[pos] - '0');
      if (++digits > 3 || part > 255) return false;
      ++pos;
    }
    value = (value << 8) | part;
    if (++parts < 4) {
      if (pos >= text.size() || text[pos] != '.') return false;
      ++pos;
    }
  }
  if (pos != text.size()) return false;
  address.s_addr = htonl(value);
  return true;
}

void SetAddressPort(sockaddr_storage& address, int port) {
  const auto netPort = htons(static_cast<uint16_t>(port));
  if (address.ss_family == AF_INET) {
    reinterpret_cast<sockaddr_in&>(address).sin_port = netPort;
  } else if (address.ss_family == AF_INET6) {
    reinterpret_cast<sockaddr_in6&>(address).sin6_port = netPort;
  }
}

socklen_t AddressLength(const sockaddr_storage& address) {
  return address.ss_family == AF_INET6 ? sizeof(sockaddr_in6) : sizeof(sockaddr_in);
}

}  // namespace

std::string ErrorText(int code) {
  for (const TErrorEntry& entry : kErrorTexts)
    if (entry.code == code) return entry.text;
  return "Internal error (code " + std::to_string(code) + ")";
}

int SocketErrorFromErrno(int error) {
  switch (error) {
    case EINTR: return 10004;
    case EBADF: return 10009;
    case EACCES:
    case EPERM: return 10013;
    case EFAULT: return 10014;
    case EINVAL: return 10022;
    case EMFILE:
    case ENFILE: return 10024;
    case EAGAIN: return 10035;
    case EINPROGRESS: return 10036;
    case EALREADY: return 10037;
    case ENOTSOCK: return 10038;
    case EDESTADDRREQ: return 10039;
    case EMSGSIZE: return 10040;
    case EPROTOTYPE: return 10041;
    case ENOPROTOOPT: return 10042;
    case EPROTONOSUPPORT: return 10043;
    case ESOCKTNOSUPPORT: return 10044;
    case EOPNOTSUPP: return 10045;
    case EPFNOSUPPORT: return 10046;
    case EAFNOSUPPORT: return 10047;
    case EADDRINUSE: return 10048;
    case EADDRNOTAVAIL: return 10049;
    case ENETDOWN: return 10050;
    case ENETUNREACH: return 10051;
    case ENETRESET: return 10052;
    case ECONNABORTED: return 10053;
    case ECONNRESET:
    case EPIPE: return 10054;
    case ENOBUFS:
    case ENOMEM: return 10055;
    case EISCONN: return 10056;
    case ENOTCONN: return 10057;
    case ESHUTDOWN: return 10058;
    case ETOOMANYREFS: return 10059;
    case ETIMEDOUT: return 10060;
    case ECONNREFUSED: return 10061;
    case ELOOP: return 10062;
    case ENAMETOOLONG: return 10063;
    case EHOSTDOWN: return 10064;
    case EHOSTUNREACH: return 10065;
    case ENOTEMPTY: return 10066;
    case EUSERS: return 10068;
    case EDQUOT: return 10069;
    case ESTALE: return 10070;
    case EREMOTE: return 10071;
    default:
      // Outside every range the clients give a meaning to, so the text names the raw errno.
      return 20000 + error;
  }
}

int SocketErrorFromLookup(int result) {
  switch (result) {
    case EAI_AGAIN: return wsaTryAgain;
    case EAI_FAIL: return wsaNoRecovery;
#ifdef EAI_NODATA
    case EAI_NODATA: return wsaNoData;
#endif
    case EAI_MEMORY: return 10055;
    case EAI_SYSTEM: return SocketErrorFromErrno(errno);
    default: return wsaHostNotFound;
  }
}

TLineConnection::TLineConnection(TEventLoop& loop) : loop_(loop) {}

TLineConnection::~TLineConnection() {
  *alive_ = false;
  Shutdown();
}

void TLineConnection::ResolveHost(std::string_view host) {
  host_ = TrimBlanks(host);
  addresses_.clear();
  in_addr v4{};
  if (ParseDottedQuad(host_, v4)) {
    sockaddr_storage storage{};
    auto& address = reinterpret_cast<sockaddr_in&>(storage);
    address.sin_family = AF_INET;
    address.sin_addr = v4;
    addresses_.push_back(storage);
    return;
  }
  addrinfo hints{};
  hints.ai_family = AF_UNSPEC;
  hints.ai_socktype = SOCK_STREAM;
  addrinfo* found = nullptr;
  const int result = ::getaddrinfo(host_.c_str(), nullptr, &hints, &found);
  if (result != 0) throw ESocketError(SocketErrorFromLookup(result));
  for (const addrinfo* ai = found; ai; ai = ai->ai_next) {
    if (ai->ai_family != AF_INET && ai->ai_family != AF_INET6) continue;
    sockaddr_storage storage{};
    std::memcpy(&storage, ai->ai_addr, ai->ai_addrlen);
    addresses_.push_back(storage);
  }
  ::freeaddrinfo(found);
  if (addresses_.empty()) throw ESocketError(wsaNoData);
}

void TLineConnection::EnableNotifications(TNotifications which) {
  notifications_ = which;
  UpdateWatch();
}

void TLineConnection::Open() {
  Shutdown();
  input_.clear();
  inputStart_ = 0;
  nextAddress_ = 0;
  if (addresses_.empty()) {
    Fail(wsaDestinationRequired);
    return;
  }
  TryNextAddress();
}

// Connects to the next address; a refusal there moves on to the one after, and the error of
// the last address is the one reported.
void TLineConnection::TryNextAddress() {
  int error = 0;
  while (nextAddress_ < addresses_.size()) {
    sockaddr_storage address = addresses_[nextAddress_++];
    SetAddressPort(address, port_);
    const int fd = ::socket(address.ss_family, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (fd < 0) {
      error = errno;
      continue;
    }
    const int one = 1;
    ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    if (::connect(fd, reinterpret_cast<const sockaddr*>(&address), AddressLength(address)) != 0 &&
        errno != EINPROGRESS) {
      error = errno;
      ::close(fd);
      continue;
    }
    fd_ = fd;
    connecting_ = true;
    channel_ = std::make_unique<TSocketChannel>(fd_);
    watch_ =
        loop_.Watch(fd_, TEventLoop::evWrite, [this](unsigned events) { OnSocketEvent(events); });
    return;
  }
  Fail(SocketErrorFromErrno(error));
}

void TLineConnection::OnSocketEvent(unsigned events) {
  if (connecting_) {
    FinishConnect();
    return;
  }
  const std::shared_ptr<bool> alive = alive_;
  if (events & TEventLoop::evError) {
    int error = 0;
    socklen_t length = sizeof error;
    ::getsockopt(fd_, SOL_SOCKET, SO_ERROR, &error, &length);
    if (error != 0) {
      // Bytes that arrived before the failure still reach the client.
      ReadAvailable(true);
      if (!*alive || fd_ < 0) return;
      Shutdown();
      Fail(SocketErrorFromErrno(error));
      return;
    }
  }
  if (events & TEventLoop::evRead) {
    ReadAvailable(true);
    if (!*alive || fd_ < 0) return;
  }
  if (events & TEventLoop::evWrite) Flush();
}

void TLineConnection::FinishConnect() {
  int error = 0;
  socklen_t length = sizeof error;
  if (::getsockopt(fd_, SOL_SOCKET, SO_ERROR, &error, &length) != 0) error = errno;
  if (error != 0) {
    Shutdown();
    if (nextAddress_ < addresses_.size()) {
      TryNextAddress();
      return;
    }
    Fail(SocketErrorFromErrno(error));
    return;
  }
  connecting_ = false;
  connected_ = true;
  UpdateWatch();
  const std::shared_ptr<bool> alive = alive_;
  if (OnConnect) OnConnect(*this);
  if (!*alive || fd_ < 0) return;
  UpdateWatch();
  if (!output_.empty()) Flush();
}

void TLineConnection::ReadAvailable(bool notify) {
  if (!channel_) return;
  if (inputStart_ > 0) {
    input_.erase(0, inputStart_);
    inputStart_ = 0;
  }
  size_t total = 0;
  bool ended = false;
  int error = 0;
  if (readBuffer_.empty()) readBuffer_.resize(kReadChunk);
  while (total < kReadPerEvent) {
    const ssize_t n = channel_->Read(readBuffer_.data(), readBuffer_.size());
    if (n > 0) {
      input_.append(readBuffer_.data(), static_cast<size_t>(n));
      total += static_cast<size_t>(n);
      continue;
    }
    if (n == 0) {
      ended = true;
    } else if (errno == EINTR) {
      continue;
    } else if (errno != EAGAIN && errno != EWOULDBLOCK) {
      error = errno;
    }
    break;
  }
  const std::shared_ptr<bool> alive = alive_;
  if (total > 0 && notify && OnRead) {
    OnRead(*this);
    if (!*alive || fd_ < 0) return;
  }
  if (error != 0) {
    Shutdown();
    Fail(SocketErrorFromErrno(error));
  } else if (ended) {
    Shutdown();
    if (OnDisconnect) OnDisconnect(*this);
  }
}

void TLineConnection::Flush() {
  const std::shared_ptr<bool> alive = alive_;
  while (!output_.empty() && channel_) {
    const std::string_view rest = output_.front().Rest();
    if (!rest.empty()) {
      const ssize_t n = channel_->Write(rest.data(), rest.size());
      if (n < 0) {
        if (errno == EINTR) continue;
        if (errno == EAGAIN || errno == EWOULDBLOCK) break;
        const int error = errno;
        Shutdown();
        Fail(SocketErrorFromErrno(error));
        return;
      }
      output_.front().sent += static_cast<size_t>(n);
      if (static_cast<size_t>(n) < rest.size()) continue;
    }
    // Destroying a finished stream tells its owner; the queue is consistent by then.
    TOutput done = std::move(output_.front());
    output_.pop_front();
    done = TOutput{};
    if (!*alive) return;
  }
  UpdateWatch();
}

void TLineConnection::UpdateWatch() {
  if (watch_ == 0) return;
  unsigned events = 0;
  if (connecting_) {
    events = TEventLoop::evWrite;
  } else if (connected_) {
    if (notifications_ == TNotifications::ReadWriteClose) events |= TEventLoop::evRead;
    if (!output_.empty()) events |= TEventLoop::evWrite;
  }
  loop_.SetWatchEvents(watch_, events);
}

void TLineConnection::Shutdown() {
  if (watch_ != 0) {
    loop_.Unwatch(watch_);
    watch_ = 0;
  }
  channel_.reset();
  if (fd_ >= 0) {
    ::shutdown(fd_, SHUT_RD);
    ::close(fd_);
    fd_ = -1;
  }
  connecting_ = false;
  connected_ = false;
  // Dropped streams report their end like sent ones.
  std::deque<TOutput> dropped;
  dropped.swap(output_);
}

void TLineConnection::Close() {
  const bool wasConnected = connected_;
  Shutdown();
  if (wasConnected && OnDisconnect) OnDisconnect(*this);
}

void TLineConnection::Fail(int code) {
  if (OnError) OnError(*this, code);
  if (code != 0) throw ESocketError(code);
}

void TLineConnection::SendText(std::string_view text) {
  if (!connected_ || text.empty()) return;
  output_.push_back(TOutput{std::string(text), nullptr, 0});
  if (output_.size() == 1) Flush();
}

void TLineConnection::SendStream(std::unique_ptr<TMemoryStream> stream) {
  if (!connected_) return;
  output_.push_back(TOutput{std::string(), std::move(stream), 0});
  if (output_.size() == 1) Flush();
}

std::string TLineConnection::ReceiveText() {
  if (connected_ && inputStart_ == input_.size()) ReadAvailable(false);
  std::string text;
  if (inputStart_ == 0) {
    text.swap(input_);
  } else {
    text.assign(input_, inputStart_);
    input_.clear();
  }
  inputStart_ = 0;
  return text;
}

int32_t TLineConnection::ReceiveLength() {
  if (connected_ && inputStart_ == input_.size()) ReadAvailable(false);
  return static_cast<int32_t>(std::min<size_t>(input_.size() - inputStart_, INT32_MAX));
}

int32_t TLineConnection::ReceiveBuffer(char* buffer, int32_t size) {
  if (size <= 0) return 0;
  const size_t n = std::min(static_cast<size_t>(size), input_.size() - inputStart_);
  std::memcpy(buffer, input_.data() + inputStart_, n);
  inputStart_ += n;
  if (inputStart_ == input_.size()) {
    input_.clear();
    inputStart_ = 0;
  }
  return static_cast<int32_t>(n);
}

void TLineConnection::SetChannel(std::unique_ptr<TByteChannel> channel) {
  if (fd_ >= 0) channel_ = std::move(channel);
}

std::string TLineConnection::LocalHostName() {
  char name[HOST_NAME_MAX + 1] = {};
  if (::gethostname(name, sizeof name - 1) != 0) throw ESocketError(SocketErrorFromErrno(errno));
  return name;
}

}  // namespace tarnwell
