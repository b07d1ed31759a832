#include "message/Mbox.h"

#include "message/QStrings.h"

namespace tarnwell {

namespace {

constexpr std::string_view kSeparator = "From ";

// The room a large message leaves behind is given back rather than kept for the next ones.
constexpr size_t kKeptRoom = 1024 * 1024;

}  // namespace

bool TMboxSplitter::TakeLine(std::string_view line) {
  if (state_ == TState::NotMbox) return false;
  const bool from = line.starts_with(kSeparator);
  if (state_ == TState::Start) {
    state_ = from ? TState::InMessage : TState::NotMbox;
    return false;
  }
  if (WithoutLineEnd(line).empty()) {
    message_ += blank_;
    blank_.assign(line);
    return false;
  }
  if (from && !blank_.empty()) {
    blank_.clear();
    return EndMessage();
  }
  message_ += blank_;
  blank_.clear();
  const size_t quotes = line.find_first_not_of('>');
  if (quotes != 0 && quotes != std::string_view::npos &&
      line.substr(quotes).starts_with(kSeparator))
    line.remove_prefix(1);
  message_ += line;
  return false;
}

bool TMboxSplitter::EndMessage() {
  if (state_ != TState::InMessage) return false;
  done_.swap(message_);
  EmptyAndTrim(message_, kKeptRoom);
  return true;
}

bool TMboxSplitter::EndFile() {
  blank_.clear();
  const bool ended = EndMessage();
  // Finishing again passes nothing on.
  if (ended) state_ = TState::Start;
  return ended;
}

}  // namespace tarnwell
