#include "message/MessageText.h"

#include "message/Emails.h"
#include "message/MIME.h"
#include "message/QStrings.h"

namespace tarnwell {

namespace {

// The line that starts at `start`, without its CR LF or LF; `next` is where the one after it
// starts (past the end after the last line).
std::string_view LineAt(std::string_view text, size_t start, size_t& next) {
  const size_t end = text.find('\n', start);
  next = end == std::string_view::npos ? text.size() + 1 : end + 1;
  return WithoutLineEnd(text.substr(start, next - start));
}

}  // namespace

std::string_view WithoutLineEnd(std::string_view line) {
  if (!line.empty() && line.back() == '\n') line.remove_suffix(1);
  if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
  return line;
}

std::vector<std::string> SplitMessageLines(std::string_view text) {
  std::vector<std::string> lines;
  SplitMessageLines(text, lines);
  return lines;
}

void SplitMessageLines(std::string_view text, std::vector<std::string>& lines,
                       std::vector<std::string>* spare) {
  size_t count = 0;
  size_t start = 0;
  while (start < text.size()) {
    size_t next = 0;
    const std::string_view line = LineAt(text, start, next);
    start = next;
    if (count == lines.size()) {
      if (spare && !spare->empty()) {
        lines.push_back(std::move(spare->back()));
        spare->pop_back();
      } else {
        lines.emplace_back();
      }
    }
    lines[count].assign(line);
    ++count;
  }
  if (!spare) {
    lines.resize(count);
    return;
  }
  while (lines.size() > count) {
    spare->push_back(std::move(lines.back()));
    lines.pop_back();
  }
}

void ParseMessageText(std::string_view text, TEmail& email, std::vector<std::string>* spare) {
  // The header lines end at the first empty line.
  std::vector<std::string> headerLines;
  size_t start = 0;
  size_t body = text.size();
  while (start < text.size()) {
    size_t next = 0;
    const std::string_view line = LineAt(text, start, next);
    if (line.empty()) {
      body = std::min(next, text.size());
      break;
    }
    headerLines.emplace_back(line);
    start = next;
  }
  UnfoldLines(headerLines);
  email.Headers = THeaders(std::move(headerLines));
  TDeMIME decoder;
  decoder.DecodeHeaders(email.Headers);
  email.ParseHeaders();
  SplitMessageLines(text.substr(body), email.Body, spare);
  email.BodyState = TEmail::bsRetrieved;
  email.BodyLoaded = true;
  email.Length = static_cast<int32_t>(std::min<size_t>(text.size(), INT32_MAX));
}

}  // namespace tarnwell
