#include "filtering/Countries.h"

#include <algorithm>

#include "platform/Error.h"
#include "platform/Files.h"

namespace tarnwell {

namespace {

bool IsBlank(std::string_view line) {
  return line.find_first_not_of(" \t") == std::string_view::npos;
}

bool SameText(std::string_view a, std::string_view b) {
  return std::ranges::equal(a, b, [](unsigned char x, unsigned char y) {
    return (x >= 'A' && x <= 'Z' ? x + 32 : x) == (y >= 'A' && y <= 'Z' ? y + 32 : y);
  });
}

int IndexOf(const std::vector<std::string>& list, std::string_view text) {
  const auto it =
      std::ranges::find_if(list, [&](const std::string& s) { return SameText(s, text); });
  return it == list.end() ? -1 : static_cast<int>(it - list.begin());
}

}  // namespace

void TLandInfo::LoadFromFile(const std::string& fileName) {
  std::string data;
  if (!ReadWholeFile(fileName, data)) throw TError("Could not read the file \"" + fileName + "\".");
  codes_.clear();
  names_.clear();
  blocked_.clear();
  std::string_view rest = data;
  while (!rest.empty()) {
    const size_t end = rest.find('\n');
    std::string_view line = rest.substr(0, end);
    rest = end == std::string_view::npos ? std::string_view() : rest.substr(end + 1);
    if (line.ends_with('\r')) line.remove_suffix(1);
    if (IsBlank(line)) continue;
    // The line ends in "=" and the flag; the code stops at the first comma, so a name may hold
    // commas of its own.
    const size_t comma = line.find(',');
    const size_t nameStart = comma == std::string_view::npos ? 0 : comma + 1;
    const size_t nameEnd = line.size() < 2 ? 0 : line.size() - 2;
    codes_.emplace_back(comma == std::string_view::npos ? std::string_view()
                                                        : line.substr(0, comma));
    names_.emplace_back(nameStart < nameEnd ? line.substr(nameStart, nameEnd - nameStart)
                                            : std::string_view());
    blocked_.push_back(line.back() == '0' ? 0 : 1);
  }
  fileName_ = fileName;
  dirty_ = false;
  toggleState_ = false;
}

void TLandInfo::SaveIfDirty() {
  if (!dirty_) return;
  std::string data;
  for (size_t i = 0; i < codes_.size(); ++i)
    data += codes_[i] + "," + names_[i] + "=" + (blocked_[i] ? "1" : "0") + "\r\n";
  WriteFileAtomic(fileName_, data);
  dirty_ = false;
}

void TLandInfo::ToggleAll() {
  toggleState_ = !toggleState_;
  std::ranges::fill(blocked_, toggleState_ ? 1 : 0);
  dirty_ = true;
}

void TLandInfo::SetBlocked(int index, bool flag) {
  blocked_.at(Slot(index)) = flag ? 1 : 0;
  dirty_ = true;
}

int TLandInfo::IndexOfCode(std::string_view code) const { return IndexOf(codes_, code); }

int TLandInfo::IndexOfName(std::string_view name) const { return IndexOf(names_, name); }

}  // namespace tarnwell
