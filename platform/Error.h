#pragma once

#include <exception>
#include <stdexcept>
#include <string>

namespace tarnwell {

// The one exception type of the program: a message text meant for the user or the log.
class TError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
  explicit TError(const std::string& message) : std::runtime_error(message) {}
};

// The failure `text` with the reason the system gave, `cause`'s text, on a line of its own. A
// cause that is this failure already is passed on as it is.
[[nodiscard]] inline TError ErrorWithReason(const std::string& text, const std::exception& cause) {
  const std::string reason = cause.what();
  if (reason.rfind(text, 0) == 0) return TError(reason);
  return TError(reason.empty() ? text : text + "\r" + reason);
}

}  // namespace tarnwell
