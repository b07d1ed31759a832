#include "tests/support/TlsProxy.h"

#include <vector>

#include "tests/support/SmtpServer.h"

namespace tarnwell::test {

TTlsProxy::TTlsProxy(int backendPort, const std::string& cert, const std::string& key) {
  process_ = std::make_unique<TChildProcess>(
      std::vector<std::string>{PythonWithAiosmtpd(), SupportFile("tls_proxy.py"),
                               std::to_string(port_.Port()), std::to_string(backendPort), cert,
                               key},
      dir_ / "proxy.log");
  process_->WaitForPort(port_.Port());
}

TTlsProxy::~TTlsProxy() { process_.reset(); }

}  // namespace tarnwell::test
