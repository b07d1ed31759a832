#pragma once

#include <stdexcept>
#include <string>

namespace tarnwell {

// The one exception type of the program: a message text meant for the user or the log.
class TError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
  explicit TError(const std::string& message) : std::runtime_error(message) {}
};

}  // namespace tarnwell
