#pragma once

#include <sys/types.h>

#include <cstddef>

namespace tarnwell {

// The byte transport under a connection. The plain one reads and writes the socket; a TLS
// session slots in here, over the same socket, without the line protocols noticing.
class TByteChannel {
 public:
  virtual ~TByteChannel() = default;
  // As recv(2) and send(2) on a non-blocking socket: the bytes moved, 0 at the peer's end of
  // the stream (reads only), or -1 with errno set (EAGAIN when nothing can move now).
  virtual ssize_t Read(char* buffer, size_t size) = 0;
  virtual ssize_t Write(const char* data, size_t size) = 0;
  // Bytes the channel holds already decoded, which no readiness of the socket will announce.
  [[nodiscard]] virtual bool Pending() const { return false; }
};

}  // namespace tarnwell
