#include "platform/TlsChannel.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <openssl/err.h>
#include <openssl/evp.h>
#include <openssl/ssl.h>
#include <openssl/x509v3.h>
#include <sys/socket.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdint>
#include <memory>
#include <utility>

#include "platform/Error.h"

namespace tarnwell {

namespace {

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

}  // namespace

TTlsChannel::TTlsChannel(int fd, std::string host, std::string pin)
    : host_(std::move(host)), pin_(std::move(pin)), verifyError_(X509_V_OK) {
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

TTlsChannel::~TTlsChannel() {
  if (!failed_ && SSL_is_init_finished(ssl_)) SSL_shutdown(ssl_);
  SSL_free(ssl_);
  ERR_clear_error();
}

int TTlsChannel::Handshake(bool& wantsRead) {
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
    fault_ = TTlsFault::Certificate;
    error_ = "The certificate of " + host_ + " is not the pinned one." + fingerprint;
  } else if (verifyError_ != X509_V_OK) {
    fault_ = TTlsFault::Certificate;
    error_ = "The certificate of " + host_ +
             " was refused: " + X509_verify_cert_error_string(verifyError_) + "." + fingerprint;
  } else {
    const unsigned long code = ERR_peek_last_error();
    // A plain server's greeting, read as a TLS record, has no valid version.
    if (code != 0 && ERR_GET_LIB(code) == ERR_LIB_SSL &&
        ERR_GET_REASON(code) == SSL_R_WRONG_VERSION_NUMBER)
      fault_ = TTlsFault::NotTls;
    const char* reason = code != 0 ? ERR_reason_error_string(code) : nullptr;
    error_ = "The secure connection to " + host_ + " failed: " +
             (reason ? std::string(reason) : std::string("the server closed the connection")) + ".";
  }
  ERR_clear_error();
  return -1;
}

ssize_t TTlsChannel::Read(char* buffer, size_t size) {
  if (failed_) {
    errno = ECONNABORTED;
    return -1;
  }
  ERR_clear_error();
  errno = 0;
  const int n = SSL_read(ssl_, buffer, static_cast<int>(std::min<size_t>(size, INT_MAX)));
  return n > 0 ? n : Failure(n);
}

ssize_t TTlsChannel::Write(const char* data, size_t size) {
  if (failed_) {
    errno = ECONNABORTED;
    return -1;
  }
  ERR_clear_error();
  errno = 0;
  const int n = SSL_write(ssl_, data, static_cast<int>(std::min<size_t>(size, INT_MAX)));
  return n > 0 ? n : Failure(n);
}

bool TTlsChannel::Pending() const { return SSL_pending(ssl_) > 0; }

void TTlsChannel::SetExtraCaFile(std::string path) { ExtraCaFile() = std::move(path); }

ssize_t TTlsChannel::Failure(int result) {
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
int TTlsChannel::Verify(int ok, X509_STORE_CTX* store) {
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
  if (!ok && self->verifyError_ == X509_V_OK) self->verifyError_ = X509_STORE_CTX_get_error(store);
  return ok;
}

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

}  // namespace tarnwell
