#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace tarnwell {

class TEmail;

// Splits message text at CR LF or LF into lines.
[[nodiscard]] std::vector<std::string> SplitMessageLines(std::string_view text);
// The same into `lines`, whose strings are reused and keep their memory. Strings `lines` lacks
// are taken from `spare`, and those it has too many are put there, so that a caller reading
// many messages in turn allocates hardly any.
void SplitMessageLines(std::string_view text, std::vector<std::string>& lines,
                       std::vector<std::string>* spare = nullptr);

// Fills a message record from RFC 5322 text (headers, an empty line, the body) as an account
// does with what it retrieves: the header lines unfolded and their encoded words decoded, the
// body lines kept as they are. The strings already in `email.Body`, and those of `spare`, are
// reused for its lines, as SplitMessageLines does.
void ParseMessageText(std::string_view text, TEmail& email,
                      std::vector<std::string>* spare = nullptr);

}  // namespace tarnwell
