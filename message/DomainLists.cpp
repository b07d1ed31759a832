#include "message/DomainLists.h"

#include <unordered_set>

#include "message/QStrings.h"
#include "platform/Files.h"

namespace tarnwell {

namespace {

using TDomainSet = std::unordered_set<std::string>;

TDomainSet gTopLevel;
TDomainSet gSecondLevel;
TDomainSet gGenericTopLevel;

TDomainSet ReadList(const std::string& path) {
  TDomainSet list;
  std::string data;
  if (!ReadWholeFile(path, data)) return list;
  size_t begin = 0;
  while (begin < data.size()) {
    size_t end = data.find('\n', begin);
    if (end == std::string::npos) end = data.size();
    const std::string entry = Trim(std::string_view(data).substr(begin, end - begin));
    if (!entry.empty()) list.insert(LowerCase(entry));
    begin = end + 1;
  }
  return list;
}

bool Contains(const TDomainSet& list, std::string_view entry) {
  return !list.empty() && list.count(LowerCase(entry)) > 0;
}

}  // namespace

void LoadDomainLists(const std::string& folder) {
  const std::string base = IncludeTrailingSlash(folder);
  gTopLevel = ReadList(base + "TLD.dat");
  gSecondLevel = ReadList(base + "SLD.dat");
  gGenericTopLevel = ReadList(base + "GTLD.dat");
}

bool IsListedTLD(std::string_view label) { return Contains(gTopLevel, label); }

bool IsListedSLD(std::string_view suffix) { return Contains(gSecondLevel, suffix); }

bool IsListedGTLD(std::string_view label) { return Contains(gGenericTopLevel, label); }

}  // namespace tarnwell
