#pragma once

#include <sys/socket.h>
#include <sys/types.h>

#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/ByteChannel.h"
#include "platform/EventLoop.h"
#include "platform/HostLookup.h"
#include "platform/ServerError.h"
#include "platform/SocketErrors.h"

namespace tarnwell {

// A block of bytes handed to the connection whole; destroying it is the only sign that all of
// it has been sent (or dropped because the connection closed).
class TMemoryStream {
 public:
  virtual ~TMemoryStream() = default;
  std::string Data;
};

class TTlsChannel;

// A non-blocking TCP client whose happenings arrive as notifications while the event loop runs:
// `OnConnect` once the connection is up, `OnRead` when bytes have arrived, `OnDisconnect` when
// it has closed, `OnError` when the connect or the transfer failed.
class TLineConnection {
 public:
  enum class TNotifications { None, ConnectOnly, ReadWriteClose };
  using TNotify = std::function<void(TLineConnection&)>;
  // The handler marks the error handled by setting `code` to 0; an unhandled error raises
  // ESocketError from the event loop.
  using TErrorNotify = std::function<void(TLineConnection&, int& code)>;

  explicit TLineConnection(TEventLoop& loop = TEventLoop::Current());
  ~TLineConnection();
  TLineConnection(const TLineConnection&) = delete;
  TLineConnection& operator=(const TLineConnection&) = delete;

  // Numeric addresses (IPv4 and IPv6) are used as they are; names are looked up without
  // holding the loop, and Open waits for the answer. Raises ESocketError when the lookup fails
  // at once (the hosts file, names that cannot exist); a later failure arrives as the error of
  // Open. Close ends a lookup still running.
  void ResolveHost(std::string_view host);
  void SetPort(int port) { port_ = port; }
  [[nodiscard]] int Port() const { return port_; }
  [[nodiscard]] const std::string& Host() const { return host_; }
  void EnableNotifications(TNotifications which);

  // Starts connecting to the resolved addresses in turn, once the lookup has them.
  void Open();
  // Closes at once, dropping unsent output; `OnDisconnect` follows when it was connected.
  void Close();
  void ForceClose() { Close(); }
  [[nodiscard]] bool Connected() const { return connected_; }
  // The socket descriptor, -1 when there is none.
  [[nodiscard]] int Handle() const { return fd_; }

  // Sends the text, queueing what the socket cannot take at once. Nothing happens while not
  // connected.
  void SendText(std::string_view text);
  void SendStream(std::unique_ptr<TMemoryStream> stream);

  // The bytes received and not yet taken.
  [[nodiscard]] std::string ReceiveText();
  [[nodiscard]] int32_t ReceiveLength();
  // Takes up to `size` received bytes into `buffer`; returns how many.
  int32_t ReceiveBuffer(char* buffer, int32_t size);

  // Replaces the byte transport of the open connection.
  void SetChannel(std::unique_ptr<TByteChannel> channel);

  // With `on`, the connections that Open makes are TLS from the start: `OnConnect` comes once
  // the handshake is done and the certificate accepted. The certificate must be trusted and
  // name the host given to ResolveHost, or, with a `pin`, be exactly the pinned one.
  void SetTls(bool on, std::string_view pin = {});
  // Starts the TLS handshake on the open connection, checking the certificate against `host`
  // as SetTls does. Bytes received before it are dropped; sending waits for the handshake.
  void StartTls(std::string_view host, std::string_view pin = {});
  [[nodiscard]] bool Handshaking() const { return handshaking_; }
  [[nodiscard]] bool Secure() const { return secure_; }
  // Why the last handshake failed (kTlsFailed), naming the host, the reason and the
  // fingerprint of the certificate the server sent.
  [[nodiscard]] const std::string& TlsError() const { return tlsError_; }
  // What the last failed handshake says about the settings, and the fingerprint of the
  // certificate the server sent in it.
  [[nodiscard]] TTlsFault TlsFault() const { return tlsFault_; }
  [[nodiscard]] const std::string& TlsFingerprint() const { return tlsFingerprint_; }
  // A file of further trusted certificates beside the system's (empty for none).
  static void SetExtraCaFile(std::string path);

  // The computer's host name.
  [[nodiscard]] static std::string LocalHostName();

  TNotify OnConnect;
  TNotify OnRead;
  TNotify OnDisconnect;
  TErrorNotify OnError;

 private:
  struct TOutput {
    std::string text;
    std::unique_ptr<TMemoryStream> stream;
    size_t sent = 0;
    [[nodiscard]] std::string_view Rest() const {
      return std::string_view(stream ? stream->Data : text).substr(sent);
    }
  };

  void LookupDone(int code, std::vector<sockaddr_storage> addresses);
  void TryNextAddress();
  void OnSocketEvent(unsigned events);
  void FinishConnect();
  // Marks the connection up and tells the client.
  void FinishOpen();
  void ClearTlsFailure();
  void BeginHandshake(const std::string& host, const std::string& pin);
  void ContinueHandshake();
  // Reads what the socket holds; `notify` tells the client through OnRead.
  void ReadAvailable(bool notify);
  void Flush();
  void UpdateWatch();
  // Closes the socket and drops the output; the notifications are the caller's.
  void Shutdown();
  void Fail(int code);

  TEventLoop& loop_;
  std::string host_;
  int port_ = 0;
  THostLookup lookup_;
  // The failure of the last lookup, for the Open that follows it.
  int lookupError_ = 0;
  // Open was called while the lookup ran.
  bool openWanted_ = false;
  std::vector<sockaddr_storage> addresses_;
  size_t nextAddress_ = 0;
  int fd_ = -1;
  int watch_ = 0;
  bool connecting_ = false;
  bool connected_ = false;
  bool useTls_ = false;
  std::string pin_;
  bool handshaking_ = false;
  bool secure_ = false;
  // The handshake waits for the socket to become readable (or else writable).
  bool handshakeWantsRead_ = false;
  std::string tlsError_;
  TTlsFault tlsFault_ = TTlsFault::None;
  std::string tlsFingerprint_;
  TNotifications notifications_ = TNotifications::ConnectOnly;
  std::unique_ptr<TByteChannel> channel_;
  // The TLS session of `channel_`, when it is one.
  TTlsChannel* tls_ = nullptr;
  std::string input_;
  // Reads land here first, so `input_` only grows by what arrived.
  std::vector<char> readBuffer_;
  // Bytes of `input_` before this have been taken.
  size_t inputStart_ = 0;
  std::deque<TOutput> output_;
  // Cleared when the object dies, so a notification handler that destroys it is noticed.
  std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
};

}  // namespace tarnwell
