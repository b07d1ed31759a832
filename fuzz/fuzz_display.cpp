// Header bytes from outside turned into display text: whatever they hold, the result is valid
// UTF-8, and a list field made of it holds no control character.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "program/DisplayText.h"

namespace {

void Check(bool condition) {
  if (!condition) std::abort();
}

// Strict UTF-8: no overlong forms, no surrogates, nothing past U+10FFFF.
bool IsUtf8(std::string_view text) {
  for (size_t i = 0; i < text.size();) {
    const auto lead = static_cast<unsigned char>(text[i]);
    size_t length = lead < 0x80                    ? 1
                    : lead >= 0xC2 && lead <= 0xDF ? 2
                    : lead >= 0xE0 && lead <= 0xEF ? 3
                    : lead >= 0xF0 && lead <= 0xF4 ? 4
                                                   : 0;
    if (length == 0 || i + length > text.size()) return false;
    char32_t c = length == 1 ? lead : lead & (0x7F >> length);
    for (size_t k = 1; k < length; ++k) {
      const auto next = static_cast<unsigned char>(text[i + k]);
      if ((next & 0xC0) != 0x80) return false;
      c = (c << 6) | (next & 0x3F);
    }
    const char32_t least[] = {0, 0, 0x80, 0x800, 0x10000};
    if (c < least[length] || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) return false;
    i += length;
  }
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  const std::string plain = tarnwell::DisplayText(bytes);
  Check(IsUtf8(plain));
  // Valid UTF-8 stays as it is.
  Check(tarnwell::DisplayText(plain) == plain);
  const std::string decoded = tarnwell::DecodedDisplayText(bytes);
  Check(IsUtf8(decoded));
  const std::string field = tarnwell::CleanField(decoded);
  Check(IsUtf8(field));
  for (size_t i = 0; i < field.size(); ++i) {
    const auto c = static_cast<unsigned char>(field[i]);
    Check(c >= 0x20 && c != 0x7F);
    Check(!(c == 0xC2 && i + 1 < field.size() && static_cast<unsigned char>(field[i + 1]) <= 0x9F));
  }
  return 0;
}
