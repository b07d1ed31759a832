#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace tarnwell {

class TEmail;

// Splits message text at CR LF or LF into lines.
[[nodiscard]] std::vector<std::string> SplitMessageLines(std::string_view text);
// The same into `lines`, whose strings are reused (and keep their memory) where there are
// enough of them.
void SplitMessageLines(std::string_view text, std::vector<std::string>& lines);

// Fills a message record from RFC 5322 text (headers, an empty line, the body) as an account
// does with what it retrieves: the header lines unfolded and their encoded words decoded, the
// body lines kept as they are. The strings already in `email.Body` are reused for its lines.
void ParseMessageText(std::string_view text, TEmail& email);

}  // namespace tarnwell
