#pragma once

#include <memory>
#include <string>

#include "platform/EventLoop.h"

namespace tarnwell::test {

// A name server on 127.0.0.1 (UDP) driven by the event loop the client waits in. It gives every
// question the same answer; a silent one reads the questions and drops them. While it lives the
// host lookups of the program ask it instead of the system's name servers.
class TFakeResolver {
 public:
  enum class TAnswer {
    Silent,
    // 127.0.0.1 for A questions, no addresses for the others.
    Loopback,
    // The name exists but has no addresses.
    NoAddresses,
    NoSuchName,
    ServerFailure,
    FormatError,
  };

  explicit TFakeResolver(TAnswer answer);
  ~TFakeResolver();
  TFakeResolver(const TFakeResolver&) = delete;
  TFakeResolver& operator=(const TFakeResolver&) = delete;

  // How many questions arrived.
  [[nodiscard]] int Questions() const { return questions_; }

 private:
  void OnQuestion();

  TAnswer answer_;
  int fd_ = -1;
  std::unique_ptr<TFdWatch> watch_;
  int questions_ = 0;
};

}  // namespace tarnwell::test
