#pragma once

#include <string>
#include <string_view>

namespace tarnwell {

class TAccount;
struct TBatchError;

// What one check of `account` found, on one line:
// Account "Home": 5 new, 1 from friends, 1 possible spam, 2 killed, 1 complaint sent, 0 errors
[[nodiscard]] std::string CheckReportLine(const TAccount& account, int errors);

// One error of a check on one line: the account, the server's role and address, the error's
// own text, and what to do where a setting would help (a TLS setting, a certificate to pin) or
// where complaints were lost. `command` starts the commands it suggests: "tarnwell", with the
// "--home" option the program ran with.
[[nodiscard]] std::string CheckErrorLine(const TBatchError& error, std::string_view command);

// A word as the shell gives it back: as it is when it holds only characters the shell leaves
// alone, otherwise in single quotes.
[[nodiscard]] std::string ShellWord(std::string_view word);

// The progress of one step of a check, as a terminal shows it and redraws it in place:
// "Home: Filtering messages... 120 of 1000".
class TProgressLine {
 public:
  // A step over `total` messages; 0 when the total is not known.
  void Start(std::string_view account, std::string_view step, int total);
  // Counts one message; true when the text has moved on enough to be drawn again, at most about
  // a hundred times a step.
  bool Advance();
  [[nodiscard]] std::string Text() const;

 private:
  std::string head_;
  int total_ = 0;
  int done_ = 0;
};

}  // namespace tarnwell
