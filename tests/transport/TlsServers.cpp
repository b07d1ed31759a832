#include "tests/transport/TlsServers.h"

#include <memory>

namespace tarnwell::test {

TTestCertificates& Certificates() {
  static std::unique_ptr<TTestCertificates> certificates;
  if (!certificates) certificates = std::make_unique<TTestCertificates>();
  return *certificates;
}

TDovecot& TlsDovecot() {
  static std::unique_ptr<TDovecot> dovecot;
  if (!dovecot) {
    dovecot = std::make_unique<TDovecot>(
        TDovecot::TTls{Certificates().Good().cert, Certificates().Good().key});
    for (const char* user : {"implicit", "upgraded", "account-implicit", "account-upgraded"})
      dovecot->AddUser(user, "pop-s3cret");
  }
  return *dovecot;
}

}  // namespace tarnwell::test
