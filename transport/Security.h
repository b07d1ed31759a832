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

}  // namespace tarnwell
