#include "filtering/SenderHeaders.h"

#include <string>

#include "filtering/Filters.h"
#include "message/Headers.h"
#include "message/QStrings.h"
#include "platform/Files.h"
#include "shell/ProgramFolders.h"

namespace tarnwell {

uint32_t ParseStdSenderHeaders(std::string_view text) {
  uint32_t named = 0;
  uint32_t ticked = 0;
  for (const std::string& line : SplitTextLines(text)) {
    const size_t equals = line.find('=');
    if (equals == std::string::npos) continue;
    const int number = THeaders::StdNumber(std::string_view(line).substr(0, equals));
    if (number <= 0) continue;
    const uint32_t bit = 1u << number;
    if (named & bit) continue;
    named |= bit;
    if (std::string_view(line).substr(equals + 1) != "0") ticked |= bit;
  }
  uint32_t offered = 0;
  for (const int number : kSenderHeaders) offered |= 1u << number;
  return ticked & offered;
}

uint32_t StandardSenderHeaders() {
  std::string text;
  if (!ReadWholeFile(TProgramFolders::ProgramFolder() + "StdSenderHeaders.dat", text))
    return TSenderFilter().Headers;
  return ParseStdSenderHeaders(text);
}

}  // namespace tarnwell
