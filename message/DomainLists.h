#pragma once

#include <string>
#include <string_view>

namespace tarnwell {

// Loads TLD.dat, SLD.dat and GTLD.dat from `folder`, replacing the lists held before. A file
// that cannot be read leaves its list empty.
void LoadDomainLists(const std::string& folder);
// Look-ups ignore letter case.
[[nodiscard]] bool IsListedTLD(std::string_view label);
[[nodiscard]] bool IsListedSLD(std::string_view suffix);
[[nodiscard]] bool IsListedGTLD(std::string_view label);

}  // namespace tarnwell
