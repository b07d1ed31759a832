#include "platform/LineConnection.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <openssl/err.h>
#include <openssl/evp.h>
#include <openssl/ssl.h>
#include <openssl/x509v3.h>
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
    {-4, "The secure connection failed."},
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

// OpenSSL's own socket BIO writes with write(2), which raises SIGPIPE on a closed connection;
// this one sends as the plain channel does.
int BioWrite(BIO* bio, const char* data, int size) {
  const int fd = static_cast<int>(reinterpret_cast<intptr_t>(BIO_get_data(bio)));
  BIO_clear_retry_flags(bio);
  const ssize_t n = ::send(fd, data, static_cast<size_t>(size), MSG_NOSIGNAL);
  if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR))
    BIO_set_retry_write(bio);
  return static_cast<int>(n);
}

int BioRead(BIO* bio, char* buffer, int size) {
  const int fd = static_cast<int>(reinterpret_cast<intptr_t>(BIO_get_data(bio)));
  BIO_clear_retry_flags(bio);
  const ssize_t n = ::recv(fd, buffer, static_cast<size_t>(size), 0);
  if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR)) BIO_set_retry_read(bio);
  return static_cast<int>(n);
}

long BioControl(BIO*, int command, long, void*) { return command == BIO_CTRL_FLUSH ? 1 : 0; }

int BioCreate(BIO* bio) {
  BIO_set_init(bio, 1);
  return 1;
}

BIO_METHOD* SocketBioMethod() {
  static BIO_METHOD* method = [] {
    BIO_METHOD* m = BIO_meth_new(BIO_get_new_index() | BIO_TYPE_SOURCE_SINK, "tarnwell socket");
    if (!m) throw TError("OpenSSL cannot make a socket channel.");
    BIO_meth_set_write(m, BioWrite);
    BIO_meth_set_read(m, BioRead);
    BIO_meth_set_ctrl(m, BioControl);
    BIO_meth_set_create(m, BioCreate);
    return m;
  }();
  return method;
}

std::string& ExtraCaFile() {
  static std::string path;
  return path;
}

// One client context for every connection, made again when the trusted certificates change;
// each session holds its own reference to the context it started with.
SSL_CTX* ClientContext() {
  static std::unique_ptr<SSL_CTX, decltype(&SSL_CTX_free)> context{nullptr, SSL_CTX_free};
  static std::string loadedExtra;
  if (!context || loadedExtra != ExtraCaFile()) {
    context.reset(SSL_CTX_new(TLS_client_method()));
    if (!context) throw TError("OpenSSL cannot make a TLS context.");
    SSL_CTX_set_min_proto_version(context.get(), TLS1_2_VERSION);
    SSL_CTX_set_default_verify_paths(context.get());
    if (!ExtraCaFile().empty() &&
        SSL_CTX_load_verify_locations(context.get(), ExtraCaFile().c_str(), nullptr) != 1) {
      ERR_clear_error();
      throw TError("The certificate file " + ExtraCaFile() + " cannot be read.");
    }
    // Mail servers often hang up after QUIT without closing the TLS session first; the line
    // protocols mark their own ends, so that is an ordinary end of the stream.
    SSL_CTX_set_options(context.get(), SSL_OP_IGNORE_UNEXPECTED_EOF);
    SSL_CTX_set_mode(context.get(),
                     SSL_MODE_ENABLE_PARTIAL_WRITE | SSL_MODE_ACCEPT_MOVING_WRITE_BUFFER);
    loadedExtra = ExtraCaFile();
  }
  return context.get();
}

std::string FingerprintOf(X509* certificate) {
  unsigned char* der = nullptr;
  const int length = i2d_X509(certificate, &der);
  if (length <= 0) return {};
  std::string text = CertificateFingerprint(
      std::string_view(reinterpret_cast<const char*>(der), static_cast<size_t>(length)));
  OPENSSL_free(der);
  return text;
}

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

// A TLS client session over the connection's socket.
class TTlsChannel : public TByteChannel {
 public:
  TTlsChannel(int fd, std::string host, std::string pin)
      : host_(std::move(host)), pin_(std::move(pin)) {
    // Without a name to check, any trusted certificate would pass.
    if (host_.empty()) throw TError("A secure connection needs the server's name.");
    ssl_ = SSL_new(ClientContext());
    if (!ssl_) throw TError("OpenSSL cannot make a TLS session.");
    SSL_set_app_data(ssl_, this);
    BIO* bio = BIO_new(SocketBioMethod());
    if (!bio) {
      SSL_free(ssl_);
      throw TError("OpenSSL cannot make a socket channel.");
    }
    BIO_set_data(bio, reinterpret_cast<void*>(static_cast<intptr_t>(fd)));
    SSL_set_bio(ssl_, bio, bio);
    SSL_set_verify(ssl_, SSL_VERIFY_PEER, Verify);
    in6_addr address{};
    if (::inet_pton(AF_INET, host_.c_str(), &address) == 1 ||
        ::inet_pton(AF_INET6, host_.c_str(), &address) == 1) {
      X509_VERIFY_PARAM_set1_ip_asc(SSL_get0_param(ssl_), host_.c_str());
    } else {
      SSL_set_tlsext_host_name(ssl_, host_.c_str());
      SSL_set1_host(ssl_, host_.c_str());
    }
    SSL_set_connect_state(ssl_);
  }

  ~TTlsChannel() override {
    if (!failed_ && SSL_is_init_finished(ssl_)) SSL_shutdown(ssl_);
    SSL_free(ssl_);
    ERR_clear_error();
  }

  TTlsChannel(const TTlsChannel&) = delete;
  TTlsChannel& operator=(const TTlsChannel&) = delete;

  // 1 when done, 0 while it waits for the socket (`wantsRead` says which way), -1 when it
  // failed (Error() says why).
  int Handshake(bool& wantsRead) {
    ERR_clear_error();
    const int result = SSL_do_handshake(ssl_);
    if (result == 1) return 1;
    const int error = SSL_get_error(ssl_, result);
    if (error == SSL_ERROR_WANT_READ || error == SSL_ERROR_WANT_WRITE) {
      wantsRead = error == SSL_ERROR_WANT_READ;
      return 0;
    }
    failed_ = true;
    const std::string fingerprint =
        fingerprint_.empty() ? std::string() : " Its SHA-256 fingerprint is " + fingerprint_ + ".";
    if (pinMismatch_) {
      error_ = "The certificate of " + host_ + " is not the pinned one." + fingerprint;
    } else if (verifyError_ != X509_V_OK) {
      error_ = "The certificate of " + host_ +
               " was refused: " + X509_verify_cert_error_string(verifyError_) + "." + fingerprint;
    } else {
      const unsigned long code = ERR_peek_last_error();
      const char* reason = code != 0 ? ERR_reason_error_string(code) : nullptr;
      error_ = "The secure connection to " + host_ + " failed: " +
               (reason ? std::string(reason) : std::string("the server closed the connection")) +
               ".";
    }
    ERR_clear_error();
    return -1;
  }

  ssize_t Read(char* buffer, size_t size) override {
    if (failed_) {
      errno = ECONNABORTED;
      return -1;
    }
    ERR_clear_error();
    errno = 0;
    const int n = SSL_read(ssl_, buffer, static_cast<int>(std::min<size_t>(size, INT_MAX)));
    return n > 0 ? n : Failure(n);
  }

  ssize_t Write(const char* data, size_t size) override {
    if (failed_) {
      errno = ECONNABORTED;
      return -1;
    }
    ERR_clear_error();
    errno = 0;
    const int n = SSL_write(ssl_, data, static_cast<int>(std::min<size_t>(size, INT_MAX)));
    return n > 0 ? n : Failure(n);
  }

  [[nodiscard]] bool Pending() const override { return SSL_pending(ssl_) > 0; }
  [[nodiscard]] const std::string& Error() const { return error_; }

 private:
  ssize_t Failure(int result) {
    switch (SSL_get_error(ssl_, result)) {
      case SSL_ERROR_WANT_READ:
      case SSL_ERROR_WANT_WRITE: errno = EAGAIN; return -1;
      case SSL_ERROR_ZERO_RETURN: return 0;
      case SSL_ERROR_SYSCALL:
        failed_ = true;
        if (errno == 0) return 0;
        return -1;
      default:
        failed_ = true;
        ERR_clear_error();
        errno = ECONNABORTED;
        return -1;
    }
  }

  // Called for each certificate of the chain; with a pin only the pinned certificate passes,
  // whatever the chain says.
  static int Verify(int ok, X509_STORE_CTX* store) {
    auto* ssl =
        static_cast<SSL*>(X509_STORE_CTX_get_ex_data(store, SSL_get_ex_data_X509_STORE_CTX_idx()));
    auto* self = static_cast<TTlsChannel*>(SSL_get_app_data(ssl));
    X509* leaf = X509_STORE_CTX_get0_cert(store);
    if (self->fingerprint_.empty() && leaf) self->fingerprint_ = FingerprintOf(leaf);
    if (!self->pin_.empty()) {
      if (!self->fingerprint_.empty() && SameFingerprint(self->fingerprint_, self->pin_)) return 1;
      self->pinMismatch_ = true;
      return 0;
    }
    if (!ok && self->verifyError_ == X509_V_OK)
      self->verifyError_ = X509_STORE_CTX_get_error(store);
    return ok;
  }

  SSL* ssl_ = nullptr;
  std::string host_;
  std::string pin_;
  std::string fingerprint_;
  std::string error_;
  int verifyError_ = X509_V_OK;
  bool pinMismatch_ = false;
  // After a fatal error OpenSSL must not be asked to send anything more.
  bool failed_ = false;
};

std::string CertificateFingerprint(std::string_view der) {
  unsigned char digest[EVP_MAX_MD_SIZE];
  unsigned int length = 0;
  if (EVP_Digest(der.data(), der.size(), digest, &length, EVP_sha256(), nullptr) != 1) return {};
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string text;
  for (unsigned int i = 0; i < length; ++i) {
    if (i > 0) text += ':';
    text += kHex[digest[i] >> 4];
    text += kHex[digest[i] & 15];
  }
  return text;
}

bool SameFingerprint(std::string_view a, std::string_view b) {
  const auto normal = [](std::string_view text) {
    std::string hex;
    for (const char c : text) {
      if (c == ':' || c == ' ' || c == '\t') continue;
      hex += static_cast<char>(c >= 'a' && c <= 'z' ? c - 'a' + 'A' : c);
    }
    return hex;
  };
  const std::string left = normal(a);
  return !left.empty() && left == normal(b);
}

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
  tlsError_.clear();
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

void TLineConnection::SetExtraCaFile(std::string path) { ExtraCaFile() = std::move(path); }

void TLineConnection::BeginHandshake(const std::string& host, const std::string& pin) {
  tlsError_.clear();
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
