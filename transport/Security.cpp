#include "transport/Security.h"

namespace tarnwell {

int32_t DefaultPOP3Port(int32_t security) { return security == scTls ? 995 : 110; }

int32_t DefaultSMTPPort(int32_t security) {
  switch (security) {
    case scTls: return 465;
    case scStartTls: return 587;
    default: return 25;
  }
}

int32_t PortAfterSecurity(int32_t port, int32_t from, int32_t to, int32_t (*defaultPort)(int32_t)) {
  return port == defaultPort(from) ? defaultPort(to) : port;
}

}  // namespace tarnwell
