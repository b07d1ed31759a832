#include "complaints/CommaText.h"

namespace tarnwell {

namespace {

bool IsSeparator(char c) {
  const auto u = static_cast<unsigned char>(c);
  return u <= ' ' || u == 127;
}

bool NeedsQuotes(std::string_view item) {
  for (const char c : item)
    if (IsSeparator(c) || c == ',' || c == '"') return true;
  return false;
}

void SkipSeparators(std::string_view text, size_t& pos) {
  while (pos < text.size() && IsSeparator(text[pos])) ++pos;
}

}  // namespace

std::string JoinCommaText(const std::vector<std::string>& items) {
  if (items.size() == 1 && items.front().empty()) return "\"\"";
  std::string text;
  for (size_t i = 0; i < items.size(); ++i) {
    if (i > 0) text += ',';
    const std::string& item = items[i];
    if (!NeedsQuotes(item)) {
      text += item;
      continue;
    }
    text += '"';
    for (const char c : item) {
      if (c == '"') text += '"';
      text += c;
    }
    text += '"';
  }
  return text;
}

std::vector<std::string> SplitCommaText(std::string_view text) {
  std::vector<std::string> items;
  size_t pos = 0;
  SkipSeparators(text, pos);
  while (pos < text.size()) {
    std::string item;
    if (text[pos] == '"') {
      // An unterminated quote takes the rest of the text.
      for (++pos; pos < text.size(); ++pos) {
        if (text[pos] == '"') {
          if (pos + 1 < text.size() && text[pos + 1] == '"') {
            item += '"';
            ++pos;
            continue;
          }
          ++pos;
          break;
        }
        item += text[pos];
      }
    } else {
      const size_t start = pos;
      while (pos < text.size() && !IsSeparator(text[pos]) && text[pos] != ',') ++pos;
      item.assign(text, start, pos - start);
    }
    items.push_back(std::move(item));
    SkipSeparators(text, pos);
    if (pos < text.size() && text[pos] == ',') {
      ++pos;
      SkipSeparators(text, pos);
      // A comma at the end still separates: the empty item after it is part of the list.
      if (pos == text.size()) items.emplace_back();
    }
  }
  return items;
}

}  // namespace tarnwell
