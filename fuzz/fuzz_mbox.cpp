// An mbox file from outside: given whole or in pieces it splits the same, into one message per
// separator line, and no message is longer than the file.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "message/Mbox.h"
#include "message/MessageText.h"

namespace {

void Check(bool condition) {
  if (!condition) std::abort();
}

struct TSplit {
  std::vector<std::string> messages;
  bool isMbox = false;
};

TSplit Split(std::string_view text, size_t step) {
  TSplit split;
  tarnwell::TMboxSplitter splitter;
  const auto take = [&](std::string_view message) { split.messages.emplace_back(message); };
  for (size_t at = 0; at < text.size(); at += step) splitter.Add(text.substr(at, step), take);
  splitter.Finish(take);
  split.isMbox = splitter.IsMbox();
  return split;
}

// The separator lines counted on their own: "From " lines first or after an empty line.
size_t Separators(std::string_view text) {
  size_t count = 0;
  bool afterEmpty = true;
  for (size_t start = 0; start < text.size();) {
    size_t end = text.find('\n', start);
    end = end == std::string_view::npos ? text.size() : end + 1;
    const std::string_view line = text.substr(start, end - start);
    if (afterEmpty && line.starts_with("From ")) ++count;
    afterEmpty = tarnwell::WithoutLineEnd(line).empty();
    start = end;
  }
  return count;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  const TSplit whole = Split(text, text.size() + 1);
  const TSplit pieces = Split(text, size == 0 ? 1 : data[0] % 13 + 1);
  Check(whole.messages == pieces.messages);
  Check(whole.isMbox == pieces.isMbox);
  Check(whole.isMbox == (text.empty() || text.starts_with("From ")));
  Check(whole.messages.size() == (whole.isMbox ? Separators(text) : 0));
  size_t total = 0;
  for (const std::string& message : whole.messages) total += message.size();
  Check(total <= size);
  return 0;
}
