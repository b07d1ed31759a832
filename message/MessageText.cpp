#include "message/MessageText.h"

#include "message/Emails.h"
#include "message/MIME.h"
#include "message/QStrings.h"

namespace tarnwell {

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
    size_t end = text.find('\n', start);
    if (end == std::string_view::npos) end = text.size();
    size_t stop = end;
    if (stop > start && text[stop - 1] == '\r') --stop;
    const std::string_view line = text.substr(start, stop - start);
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
    start = end + 1;
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
    size_t end = text.find('\n', start);
    if (end == std::string_view::npos) end = text.size();
    size_t stop = end;
    if (stop > start && text[stop - 1] == '\r') --stop;
    if (stop == start) {
      body = std::min(end + 1, text.size());
      break;
    }
    headerLines.emplace_back(text.substr(start, stop - start));
    start = end + 1;
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
