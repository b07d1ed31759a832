// A message from outside, decoded as the filters (HTML reduced to text) and the message pages
// (HTML and its pictures kept) decode it: nothing may crash, read out of bounds, recurse without
// bound, make the text grow more than the reducers allow (a tab becomes four spaces) or keep more
// pictures, or more bytes of them, than the limit and the message allow.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "message/Headers.h"
#include "message/MIME.h"
#include "message/QStrings.h"

namespace {

struct TMessage {
  tarnwell::THeaders headers;
  std::vector<std::string> body;
};

TMessage Split(std::string_view text) {
  std::vector<std::string> lines;
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string_view::npos) end = text.size();
    std::string line(text.substr(start, end - start));
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines.push_back(std::move(line));
    start = end + 1;
  }
  size_t blank = 0;
  while (blank < lines.size() && !lines[blank].empty()) ++blank;
  std::vector<std::string> header(lines.begin(), lines.begin() + blank);
  tarnwell::UnfoldLines(header);
  TMessage message;
  message.headers = tarnwell::THeaders(std::move(header));
  if (blank < lines.size()) message.body.assign(lines.begin() + blank + 1, lines.end());
  return message;
}

size_t TextSize(const std::vector<std::string>& lines) {
  size_t size = 0;
  for (const std::string& line : lines) size += line.size() + 1;
  return size;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  for (const bool convertHtml : {false, true}) {
    TMessage message = Split(text);
    tarnwell::TDeMIME decoder;
    decoder.SetConvertHtml(convertHtml);
    // The pages keep the pictures their HTML shows.
    std::vector<tarnwell::TInlineImage> images;
    if (!convertHtml) decoder.KeepImages(&images);
    (void)decoder.DecodePart(message.headers, message.body);
    const size_t limit = 4 * size + 64;
    if (TextSize(message.body) > limit || TextSize(message.headers.Lines()) > limit) std::abort();
    size_t imageBytes = 0;
    for (const tarnwell::TInlineImage& image : images) imageBytes += image.bytes.size();
    if (images.size() > tarnwell::TMimeLimits::kMaxImages || imageBytes > size) std::abort();
    (void)tarnwell::TDeMIME::IsMime(message.headers);
  }
  return 0;
}
