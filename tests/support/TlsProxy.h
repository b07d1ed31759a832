#pragma once

#include <memory>
#include <string>

#include "tests/support/ChildProcess.h"
#include "tests/support/TestSupport.h"

namespace tarnwell::test {

// TLS from the connect on Port(), passed on in the clear to a test server on 127.0.0.1.
class TTlsProxy {
 public:
  TTlsProxy(int backendPort, const std::string& cert, const std::string& key);
  ~TTlsProxy();
  TTlsProxy(const TTlsProxy&) = delete;
  TTlsProxy& operator=(const TTlsProxy&) = delete;

  [[nodiscard]] int Port() const { return port_.Port(); }

 private:
  TTempDir dir_;
  TBoundPort port_;
  std::unique_ptr<TChildProcess> process_;
};

}  // namespace tarnwell::test
