#pragma once

#include <string>
#include <utility>

#include "platform/Error.h"

namespace tarnwell {

// What a failed secure connection says about the connection's settings.
enum class TTlsFault {
  None,
  // The server answered the handshake in the clear, or not at all: a plain server on the port
  // that the settings use with TLS from the connect.
  NotTls,
  // The certificate was refused, or is not the pinned one.
  Certificate,
};

// Where a failure at a mail server happened.
struct TServerPlace {
  // "POP3" or "SMTP".
  std::string Role;
  std::string Host;
  int Port = 0;
  TTlsFault Tls = TTlsFault::None;
  // The SHA-256 fingerprint of the certificate the server sent, with TTlsFault::Certificate.
  std::string Fingerprint;
};

// A failure at a mail server. Its text is the one every front end shows; the place is for the
// front ends that also say where it happened and what setting would fit.
class EServerError : public TError {
 public:
  EServerError(const std::string& text, TServerPlace place)
      : TError(text), place_(std::move(place)) {}
  [[nodiscard]] const TServerPlace& Place() const { return place_; }

 private:
  TServerPlace place_;
};

// The place of `error` when it happened at a server, else null.
[[nodiscard]] inline const TServerPlace* ServerPlaceOf(const std::exception& error) {
  const auto* server = dynamic_cast<const EServerError*>(&error);
  return server ? &server->Place() : nullptr;
}

// Hands `use` an error saying `text` that happened where `cause` did, so that an error which
// tells more about a server's failure still names the server. `use` takes the error by its own
// type (a generic lambda), so that it can throw it whole.
template <typename F>
void WithPlaceOf(const std::exception& cause, const std::string& text, F&& use) {
  if (const TServerPlace* place = ServerPlaceOf(cause))
    use(EServerError(text, *place));
  else
    use(TError(text));
}

}  // namespace tarnwell
