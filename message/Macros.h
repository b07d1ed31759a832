#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace tarnwell {

class TEmail;

// A placeholder of outgoing messages ("%EMAIL", …) and the text that replaces it.
struct TMacro {
  std::string Name;
  std::string Value;
};

// For each placeholder in order, its first occurrence (case ignored) is replaced.
[[nodiscard]] std::string ExpandMacroText(std::string_view text, const std::vector<TMacro>& macros);
// Replaces the placeholders in the From and in each text line of a message about to be sent.
void ExpandMacros(TEmail& message, const std::vector<TMacro>& macros);

}  // namespace tarnwell
