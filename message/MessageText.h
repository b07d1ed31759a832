#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "message/QStrings.h"

namespace tarnwell {

class TEmail;

// Splits message text at CR LF or LF into lines.
[[nodiscard]] std::vector<std::string> SplitMessageLines(std::string_view text);
// The same into `lines`, whose strings are reused and keep their memory. Strings `lines` lacks
// are taken from `spare`, and those it has too many are put there, so that a caller reading
// many messages in turn allocates hardly any.
void SplitMessageLines(std::string_view text, std::vector<std::string>& lines,
                       std::vector<std::string>* spare = nullptr);

// A line as SplitMessageLines gives it: without its LF and a CR before that.
[[nodiscard]] std::string_view WithoutLineEnd(std::string_view line);

// Splits text that arrives in pieces into the lines SplitMessageLines gives for the whole text,
// each passed on, with its line end, as soon as its LF has arrived; nothing of the text is kept
// but the start of a line still open.
class TLineSplitter {
 public:
  // Calls `take` with each line that `piece` completes.
  template <typename F>
  void Add(std::string_view piece, F&& take) {
    size_t start = 0;
    while (start < piece.size()) {
      const size_t end = piece.find('\n', start);
      if (end == std::string_view::npos) {
        partial_.append(piece.substr(start));
        return;
      }
      if (partial_.empty()) {
        take(piece.substr(start, end + 1 - start));
      } else {
        partial_.append(piece.substr(start, end + 1 - start));
        take(std::string_view(partial_));
        ForgetPartial();
      }
      start = end + 1;
    }
  }
  // Part of a line has arrived without its line end.
  [[nodiscard]] bool HasPartial() const { return !partial_.empty(); }
  // Calls `take` with what is left, a last line without a line end, if anything is.
  template <typename F>
  void Finish(F&& take) {
    if (partial_.empty()) return;
    take(std::string_view(partial_));
    ForgetPartial();
  }

 private:
  // A long line gives its memory back rather than keep it for the short ones after it.
  void ForgetPartial() { EmptyAndTrim(partial_, 64 * 1024); }

  std::string partial_;
};

// Fills a message record from RFC 5322 text (headers, an empty line, the body) as an account
// does with what it retrieves: the header lines unfolded and their encoded words decoded, the
// body lines kept as they are. The strings already in `email.Body`, and those of `spare`, are
// reused for its lines, as SplitMessageLines does.
void ParseMessageText(std::string_view text, TEmail& email,
                      std::vector<std::string>* spare = nullptr);

}  // namespace tarnwell
