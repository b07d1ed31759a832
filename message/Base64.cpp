#include "message/Base64.h"

#include <array>
#include <cstdint>

namespace tarnwell {
namespace {

constexpr std::string_view kAlphabet =
    "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

constexpr std::array<uint8_t, 256> MakeValues() {
  std::array<uint8_t, 256> values{};
  for (size_t i = 0; i < kAlphabet.size(); ++i) {
    values[static_cast<unsigned char>(kAlphabet[i])] = static_cast<uint8_t>(i);
  }
  return values;
}

constexpr std::array<uint8_t, 256> kValues = MakeValues();

}  // namespace

std::string TBase64::Encode(std::string_view bytes) {
  std::string text;
  text.reserve((bytes.size() + 2) / 3 * 4);
  size_t i = 0;
  for (; i + 3 <= bytes.size(); i += 3) {
    const uint32_t group = static_cast<uint32_t>(static_cast<unsigned char>(bytes[i])) << 16 |
                           static_cast<uint32_t>(static_cast<unsigned char>(bytes[i + 1])) << 8 |
                           static_cast<unsigned char>(bytes[i + 2]);
    text += kAlphabet[group >> 18];
    text += kAlphabet[(group >> 12) & 63];
    text += kAlphabet[(group >> 6) & 63];
    text += kAlphabet[group & 63];
  }
  const size_t rest = bytes.size() - i;
  if (rest > 0) {
    uint32_t group = static_cast<uint32_t>(static_cast<unsigned char>(bytes[i])) << 16;
    if (rest == 2) group |= static_cast<uint32_t>(static_cast<unsigned char>(bytes[i + 1])) << 8;
    text += kAlphabet[group >> 18];
    text += kAlphabet[(group >> 12) & 63];
    text += rest == 2 ? kAlphabet[(group >> 6) & 63] : '=';
    text += '=';
  }
  return text;
}

std::string TBase64::Decode(std::string_view text) {
  // Each group writes three bytes and keeps as many as it decodes.
  std::string bytes(text.size() / 4 * 3 + 3, '\0');
  char* out = bytes.data();
  for (size_t i = 0; i < text.size(); i += 4) {
    const std::string_view group = text.substr(i, 4);
    uint32_t bits = 0;
    for (size_t k = 0; k < 4; ++k) {
      bits <<= 6;
      if (k < group.size()) bits |= kValues[static_cast<unsigned char>(group[k])];
    }
    // Each of up to two "=" at the end of a group, or a short last group, gives one byte less.
    size_t used = group.size();
    for (int pad = 0; pad < 2 && used > 0 && group[used - 1] == '='; ++pad) --used;
    const size_t count = used == 0 ? 0 : used - 1;
    out[0] = static_cast<char>(bits >> 16);
    out[1] = static_cast<char>((bits >> 8) & 0xFF);
    out[2] = static_cast<char>(bits & 0xFF);
    out += count;
  }
  bytes.resize(static_cast<size_t>(out - bytes.data()));
  return bytes;
}

}  // namespace tarnwell
