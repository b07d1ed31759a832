#include "message/Macros.h"

#include "message/Emails.h"
#include "message/QStrings.h"

namespace tarnwell {

std::string ExpandMacroText(std::string_view text, const std::vector<TMacro>& macros) {
  std::string result(text);
  for (const TMacro& macro : macros) {
    if (macro.Name.empty()) continue;
    const size_t at = UpperCase(result).find(UpperCase(macro.Name));
    if (at != std::string::npos) result.replace(at, macro.Name.size(), macro.Value);
  }
  return result;
}

void ExpandMacros(TEmail& message, const std::vector<TMacro>& macros) {
  message.From = ExpandMacroText(message.From, macros);
  for (std::string& line : message.Body) line = ExpandMacroText(line, macros);
}

}  // namespace tarnwell
