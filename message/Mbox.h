#pragma once

#include <string>
#include <string_view>

#include "message/MessageText.h"

namespace tarnwell {

// Splits an mbox file, read in pieces, into its messages. A message begins after a "From " line
// at the start of the file or after an empty line; the empty line before it, and the one at the
// end of the file, belong to the format, not to the message. Body lines that start with one or
// more ">" and then "From " lose one ">" (mboxrd quoting, which also reads mboxo files right
// unless a body line began with ">From " itself). Line ends are kept as they are, LF or CR LF.
// Only one message is in memory at a time.
class TMboxSplitter {
 public:
  // Calls `take` with the text of each message that `piece` completes.
  template <typename F>
  void Add(std::string_view piece, F&& take) {
    lines_.Add(piece, [&](std::string_view line) {
      if (TakeLine(line)) take(std::string_view(done_));
    });
  }
  // Calls `take` with the messages still open at the end of the file.
  template <typename F>
  void Finish(F&& take) {
    lines_.Finish([&](std::string_view line) {
      if (TakeLine(line)) take(std::string_view(done_));
    });
    if (EndFile()) take(std::string_view(done_));
  }
  // False once the text has begun with something other than a "From " line: it is no mbox, and
  // nothing of it is passed on. An empty file is an mbox without messages.
  [[nodiscard]] bool IsMbox() const { return state_ != TState::NotMbox; }

 private:
  enum class TState { Start, InMessage, NotMbox };

  // True when the line ended a message, which is then in `done_`.
  bool TakeLine(std::string_view line);
  // Moves the open message to `done_`; false when none is open.
  bool EndMessage();
  // The same at the end of the file, where a held empty line is the format's.
  bool EndFile();

  TLineSplitter lines_;
  TState state_ = TState::Start;
  std::string message_;
  std::string done_;
  // An empty line held back until the next line shows whether it ends the message.
  std::string blank_;
};

}  // namespace tarnwell
