#pragma once

#include <cstdint>

namespace tarnwell {

// How a mail connection is secured, as stored with the account.
enum TSecurity : int32_t {
  scNone = 0,
  // TLS from the connect (POP3 on 995, SMTP on 465).
  scTls = 1,
  // A plain connect upgraded by STLS (POP3) or STARTTLS (SMTP).
  scStartTls = 2,
};

// The port a server takes by default with `security`: POP3 995 with TLS, else 110; SMTP 465
// with TLS, 587 with STARTTLS, else 25.
[[nodiscard]] int32_t DefaultPOP3Port(int32_t security);
[[nodiscard]] int32_t DefaultSMTPPort(int32_t security);
// The port of a server whose security changes from `from` to `to`: on the old security's
// default port it moves to the new one's, any other port stays.
[[nodiscard]] int32_t PortAfterSecurity(int32_t port, int32_t from, int32_t to,
                                        int32_t (*defaultPort)(int32_t));

}  // namespace tarnwell
