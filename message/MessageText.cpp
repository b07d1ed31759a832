#include "message/MessageText.h"

#include "message/Emails.h"
#include "message/MIME.h"
#include "message/QStrings.h"

namespace tarnwell {

std::vector<std::string> SplitMessageLines(std::string_view text) {
  std::vector<std::string> lines;
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string_view::npos) end = text.size();
    size_t stop = end;
    if (stop > start && text[stop - 1] == '\r') --stop;
    lines.emplace_back(text.substr(start, stop - start));
    start = end + 1;
  }
  return lines;
}

void ParseMessageText(std::string_view text, TEmail& email) {
  std::vector<std::string> lines = SplitMessageLines(text);
  size_t blank = 0;
  while (blank < lines.size() && !lines[blank].empty()) ++blank;
  std::vector<std::string> headerLines(std::make_move_iterator(lines.begin()),
                                       std::make_move_iterator(lines.begin() + blank));
  UnfoldLines(headerLines);
  email.Headers = THeaders(std::move(headerLines));
  TDeMIME decoder;
  decoder.DecodeHeaders(email.Headers);
  email.ParseHeaders();
  email.Body.assign(std::make_move_iterator(lines.begin() + std::min(blank + 1, lines.size())),
                    std::make_move_iterator(lines.end()));
  email.BodyState = TEmail::bsRetrieved;
  email.BodyLoaded = true;
  email.Length = static_cast<int32_t>(std::min<size_t>(text.size(), INT32_MAX));
}

}  // namespace tarnwell
