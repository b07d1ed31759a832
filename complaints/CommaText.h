#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace tarnwell {

// A list of items as one line: "a,b c" reads as three items, "\"b c\"" as one. An item holding a
// blank, a control character, a comma or a double quote is written in double quotes with its
// quotes doubled; an empty item is written as nothing, a list of one empty item as "\"\"".
[[nodiscard]] std::string JoinCommaText(const std::vector<std::string>& items);
// Blanks and control characters between items are skipped; a quoted item runs to its closing
// quote; an unquoted one ends at a comma, a blank or a control character.
[[nodiscard]] std::vector<std::string> SplitCommaText(std::string_view text);

}  // namespace tarnwell
