#include "message/Headers.h"

#include <algorithm>
#include <array>

#include "message/QStrings.h"
#include "message/SvcString.h"

namespace tarnwell {
namespace {

constexpr std::array<std::string_view, kStdHeaderCount + 1> kStdNames = {
    "",
    "Cc",
    "Comments",
    "Content-Type",
    "Content-Transfer-Encoding",
    "Date",
    "Delivered-To",
    "Errors-To",
    "From",
    "In-Reply-To",
    "Message-Id",
    "MIME-Version",
    "Organization",
    "Priority",
    "Received",
    "Reply-To",
    "Return-Path",
    "Sender",
    "Subject",
    "To",
    "X-Complain-To"};

// Host names in a Received line are runs of atom characters, dots and "@"; "=" separates.
constexpr TCharSet kHostChars = (kAtomChars - TCharSet{"="}) | TCharSet{".@"};

bool StartsWithText(std::string_view line, std::string_view key) {
  return line.size() >= key.size() && SameText(line.substr(0, key.size()), key);
}

std::string SearchKey(std::string_view name) { return Trim(name) + ":"; }

// The tokens of a Received value: host-like runs, and every other byte on its own.
class TReceivedTokens {
 public:
  explicit TReceivedTokens(std::string_view text) : text_(text) {}

  std::string_view Next() {
    while (pos_ < text_.size() && kBlanks.Contains(text_[pos_])) ++pos_;
    if (pos_ >= text_.size()) return {};
    const size_t start = pos_++;
    if (kHostChars.Contains(text_[start])) {
      while (pos_ < text_.size() && kHostChars.Contains(text_[pos_])) ++pos_;
    }
    return text_.substr(start, pos_ - start);
  }

 private:
  std::string_view text_;
  size_t pos_ = 0;
};

}  // namespace

THeaders::THeaders(std::vector<std::string> lines) {
  lines_.reserve(lines.size());
  for (std::string& line : lines) {
    if (!line.empty()) lines_.push_back(std::move(line));
  }
}

int THeaders::Add(std::string_view line) {
  if (line.empty()) return -1;
  lines_.emplace_back(line);
  Changed();
  return Count() - 1;
}

void THeaders::AddStrings(const std::vector<std::string>& lines) {
  for (const std::string& line : lines) Add(line);
}

void THeaders::SetText(std::string_view text) {
  Clear();
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find_first_of("\r\n", start);
    if (end == std::string_view::npos) end = text.size();
    Add(text.substr(start, end - start));
    start = end;
    if (start < text.size() && text[start] == '\r') ++start;
    if (start < text.size() && text[start] == '\n') ++start;
  }
}

std::string THeaders::Text() const {
  std::string text;
  for (const std::string& line : lines_) {
    if (!text.empty()) text += "\r\n";
    text += line;
  }
  return text;
}

void THeaders::Clear() {
  lines_.clear();
  searchPos_ = -1;
  Changed();
}

void THeaders::Delete(int index) {
  if (index < 0 || index >= Count()) return;
  lines_.erase(lines_.begin() + index);
  Changed();
}

void THeaders::SetLine(int index, std::string line) {
  if (index < 0 || index >= Count()) return;
  lines_[index] = std::move(line);
  Changed();
}

std::string THeaders::NameAt(int index) const {
  if (index < 0 || index >= Count()) return {};
  const std::string& line = lines_[index];
  const size_t colon = line.find(':');
  return colon == std::string::npos ? std::string() : line.substr(0, colon);
}

std::string THeaders::ValueAt(int index) const {
  if (index < 0 || index >= Count()) return {};
  const std::string& line = lines_[index];
  const size_t colon = line.find(':');
  return colon == std::string::npos ? std::string()
                                    : Trim(std::string_view(line).substr(colon + 1));
}

bool THeaders::Matches(int index, std::string_view key) const {
  return StartsWithText(lines_[index], key);
}

int THeaders::LastMatch(std::string_view key, int before) const {
  for (int i = std::min(before, Count()) - 1; i >= 0; --i) {
    if (Matches(i, key)) return i;
  }
  return -1;
}

int THeaders::IndexOfName(std::string_view name) const {
  return LastMatch(SearchKey(name), Count());
}

std::string THeaders::ValueOf(std::string_view name) const { return ValueAt(IndexOfName(name)); }

int THeaders::IndexOfStd(int number) const {
  if (number < 1 || number > kStdHeaderCount) return -1;
  return IndexOfName(kStdNames[number]);
}

std::string THeaders::LineOfStd(int number) const {
  const int index = IndexOfStd(number);
  return index < 0 ? std::string() : lines_[index];
}

int THeaders::FindFirst(std::string_view name) {
  searchKey_ = SearchKey(name);
  searchPos_ = Count();
  return FindNext();
}

int THeaders::FindNext() {
  if (searchPos_ <= 0) return searchPos_ = -1;
  searchPos_ = LastMatch(searchKey_, searchPos_);
  return searchPos_;
}

std::string THeaders::StdValueAt(int index, int number) const {
  if (index < 0) return {};
  std::string value = ValueAt(index);
  if (number >= 1 && number <= kStdHeaderCount) {
    if (kAddressHeaders & StdBit(number)) return AddressOf(value);
    if (kDomainHeaders & StdBit(number)) return DomainPart(ParseAddress(value).address);
  }
  return value;
}

bool THeaders::StdValues(int number, std::vector<std::string>& list, bool validOnly) const {
  list.clear();
  if (number == shTo || number == shCc) {
    const int index = IndexOfStd(number);
    if (index >= 0) {
      const std::string value = ValueAt(index);
      size_t start = 0;
      while (true) {
        const size_t comma = value.find(',', start);
        const std::string_view piece = std::string_view(value).substr(
            start, comma == std::string::npos ? std::string::npos : comma - start);
        list.push_back(StripAngleBrackets(AddressOf(piece)));
        if (comma == std::string::npos) break;
        start = comma + 1;
      }
    }
  } else if (number == shReceived) {
    const std::string key = SearchKey(kStdNames[shReceived]);
    for (int i = LastMatch(key, Count()); i >= 0; i = LastMatch(key, i)) {
      ReceivedHosts(i, list, validOnly);
    }
  } else {
    list.push_back(StdValueAt(IndexOfStd(number), number));
  }
  return !list.empty();
}

void THeaders::ReceivedHosts(int index, std::vector<std::string>& list, bool validOnly) const {
  const std::string value = ValueAt(index);
  auto addCandidate = [&](std::string_view token) {
    std::string host = IsIPv4(token) ? std::string(token) : DomainPart(token);
    if (!validOnly || IsValidDomain(host)) list.push_back(std::move(host));
  };
  TReceivedTokens tokens(value);
  // The "from" clause, comments included, runs up to the first "by", whose host ends the scan.
  // Separators such as "(", "]" or "=" are passed over alone, so that "helo=host" keeps "host".
  while (true) {
    const std::string_view token = tokens.Next();
    if (token.empty()) return;
    if (token == "by") break;
    if (kAlphanumerics.Contains(token[0])) {
      addCandidate(token);
    } else if (token == "[") {
      const std::string_view address = tokens.Next();
      if (IsIPv4(address)) addCandidate(address);
    }
  }
  const std::string_view receiver = tokens.Next();
  if (!receiver.empty()) addCandidate(receiver);
}

void THeaders::SetStd(int number, std::string_view value) {
  const int index = IndexOfStd(number);
  if (index < 0) return;
  SetLine(index, std::string(kStdNames[number]) + ": " + std::string(value));
}

void THeaders::RemoveAll(std::string_view name) {
  const std::string key = SearchKey(name);
  const auto removed = std::remove_if(lines_.begin(), lines_.end(), [&](const std::string& line) {
    return StartsWithText(line, key);
  });
  if (removed == lines_.end()) return;
  lines_.erase(removed, lines_.end());
  searchPos_ = -1;
  Changed();
}

std::string THeaders::Take(std::string_view name) {
  const int index = IndexOfName(name);
  std::string value = ValueAt(index);
  Delete(index);
  return value;
}

std::string THeaders::TextWithoutStatus() const {
  const int status = IndexOfName("Status");
  const int uidl = IndexOfName("X-UIDL");
  std::string text;
  bool first = true;
  for (int i = 0; i < Count(); ++i) {
    if (i == status || i == uidl) continue;
    if (!first) text += "\r\n";
    text += lines_[i];
    first = false;
  }
  return text;
}

TStdSet THeaders::PresentSet() const {
  if (present_ == 0) {
    for (const std::string& line : lines_) {
      const size_t colon = line.find(':');
      if (colon == std::string::npos) continue;
      const int number = StdNumber(std::string_view(line).substr(0, colon));
      if (number > 0) present_ |= StdBit(number);
    }
  }
  return present_;
}

std::string THeaders::StdName(int number) {
  if (number < 1 || number > kStdHeaderCount) return {};
  return std::string(kStdNames[number]);
}

int THeaders::StdNumber(std::string_view name) {
  for (int number = 1; number <= kStdHeaderCount; ++number) {
    if (SameText(name, kStdNames[number])) return number;
  }
  return 0;
}

void THeaders::FillStdNames(std::vector<std::string>& list, const std::vector<int>& numbers) {
  list.clear();
  for (const int number : numbers) {
    if (number >= 1 && number <= kStdHeaderCount) list.push_back(StdName(number));
  }
}

void THeaders::CheckStdNames(std::vector<TCheckItem>& list, TStdSet set) {
  for (TCheckItem& item : list) {
    const int number = StdNumber(item.name);
    item.checked = number > 0 && (set & StdBit(number)) != 0;
  }
}

}  // namespace tarnwell
