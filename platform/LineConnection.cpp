#include "platform/LineConnection.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstring>
#include <utility>

#include "platform/TlsChannel.h"

namespace tarnwell {

namespace {

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

TLineConnection::TLineConnection(TEventLoop& loop) : loop_(loop) {}

TLineConnection::~TLineConnection() {
  *alive_ = false;
  Shutdown();
}

void TLineConnection::ResolveHost(std::string_view host) {
  host_ = TrimBlanks(host);
  addresses_.clear();
  lookupError_ = 0;
  openWanted_ = false;
  lookup_.Start(host_, [this](int code, std::vector<sockaddr_storage> addresses) {
    LookupDone(code, std::move(addresses));
  });
  if (!lookup_.Running() && lookupError_ != 0) throw ESocketError(lookupError_);
}

void TLineConnection::LookupDone(int code, std::vector<sockaddr_storage> addresses) {
  lookupError_ = code;
  addresses_ = std::move(addresses);
  if (!openWanted_) return;
  openWanted_ = false;
  Open();
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
  ClearTlsFailure();
  if (lookup_.Running()) {
    openWanted_ = true;
    return;
  }
  if (lookupError_ != 0 || addresses_.empty()) {
    Fail(lookupError_ != 0 ? lookupError_ : wsaDestinationRequired);
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
  if (handshaking_) {
    ContinueHandshake();
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
  if (useTls_) {
    BeginHandshake(host_, pin_);
    return;
  }
  FinishOpen();
}

void TLineConnection::FinishOpen() {
  connected_ = true;
  UpdateWatch();
  const std::shared_ptr<bool> alive = alive_;
  if (OnConnect) OnConnect(*this);
  if (!*alive || fd_ < 0) return;
  UpdateWatch();
  if (!output_.empty()) Flush();
  if (!*alive || fd_ < 0) return;
  if (channel_ && channel_->Pending()) ReadAvailable(true);
}

void TLineConnection::SetTls(bool on, std::string_view pin) {
  useTls_ = on;
  pin_ = pin;
}

void TLineConnection::StartTls(std::string_view host, std::string_view pin) {
  if (!connected_ || handshaking_ || secure_) return;
  // Bytes that came in the clear before the handshake must not pass for protected ones.
  input_.clear();
  inputStart_ = 0;
  BeginHandshake(host.empty() ? host_ : std::string(host), std::string(pin));
}

void TLineConnection::SetExtraCaFile(std::string path) {
  TTlsChannel::SetExtraCaFile(std::move(path));
}

void TLineConnection::ClearTlsFailure() {
  tlsError_.clear();
  tlsFault_ = TTlsFault::None;
  tlsFingerprint_.clear();
}

void TLineConnection::BeginHandshake(const std::string& host, const std::string& pin) {
  ClearTlsFailure();
  auto channel = std::make_unique<TTlsChannel>(fd_, host, pin);
  tls_ = channel.get();
  channel_ = std::move(channel);
  handshaking_ = true;
  handshakeWantsRead_ = false;
  ContinueHandshake();
}

void TLineConnection::ContinueHandshake() {
  bool wantsRead = false;
  const int result = tls_->Handshake(wantsRead);
  if (result == 0) {
    handshakeWantsRead_ = wantsRead;
    UpdateWatch();
    return;
  }
  if (result < 0) {
    tlsError_ = tls_->Error();
    tlsFault_ = tls_->Fault();
    tlsFingerprint_ = tls_->Fingerprint();
    Shutdown();
    Fail(kTlsFailed);
    return;
  }
  handshaking_ = false;
  secure_ = true;
  if (!connected_) {
    FinishOpen();
    return;
  }
  const std::shared_ptr<bool> alive = alive_;
  UpdateWatch();
  if (!output_.empty()) Flush();
  if (!*alive || fd_ < 0) return;
  if (channel_->Pending()) ReadAvailable(true);
}

void TLineConnection::ReadAvailable(bool notify) {
  if (!channel_ || handshaking_) return;
  if (inputStart_ > 0) {
    input_.erase(0, inputStart_);
    inputStart_ = 0;
  }
  size_t total = 0;
  bool ended = false;
  int error = 0;
  if (readBuffer_.empty()) readBuffer_.resize(kReadChunk);
  // Bytes the TLS session has decoded already would get no readiness report of their own.
  while (total < kReadPerEvent || channel_->Pending()) {
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
  if (handshaking_) return;
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
  } else if (handshaking_) {
    events = handshakeWantsRead_ ? TEventLoop::evRead : TEventLoop::evWrite;
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
  tls_ = nullptr;
  channel_.reset();
  handshaking_ = false;
  secure_ = false;
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
  lookup_.Cancel();
  openWanted_ = false;
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
  if (fd_ < 0) return;
  tls_ = nullptr;
  secure_ = false;
  channel_ = std::move(channel);
}

std::string TLineConnection::LocalHostName() {
  char name[HOST_NAME_MAX + 1] = {};
  if (::gethostname(name, sizeof name - 1) != 0) throw ESocketError(SocketErrorFromErrno(errno));
  return name;
}

}  // namespace tarnwell
