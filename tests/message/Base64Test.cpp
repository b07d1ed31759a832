#include <gtest/gtest.h>

#include <string>

#include "message/Base64.h"

namespace tarnwell {
namespace {

TEST(Base64Test, EncodePadsToWholeGroups) {
  struct TCase {
    std::string bytes;
    std::string text;
  };
  const TCase cases[] = {
      {"", ""},
      {"f", "Zg=="},
      {"fo", "Zm8="},
      {"foo", "Zm9v"},
      {"foob", "Zm9vYg=="},
      {"fooba", "Zm9vYmE="},
      {"foobar", "Zm9vYmFy"},
      {std::string("\0\xFF\xFE", 3), "AP/+"},
      {"\xFB\xEF", "++8="},
  };
  for (const TCase& c : cases) {
    EXPECT_EQ(TBase64::Encode(c.bytes), c.text) << c.text;
    EXPECT_EQ(TBase64::Decode(c.text), c.bytes) << c.text;
  }
}

TEST(Base64Test, DecodeCountsForeignCharactersAsZeroAndKeepsShortGroups) {
  struct TCase {
    std::string text;
    std::string bytes;
  };
  const TCase cases[] = {
      // "*" and " " stand for the value 0, as "A" does: "Zm9A" is "fo@".
      {"Zm9*", "fo@"},
      {"Z m9", TBase64::Decode("ZAm9")},
      {"Zm9vYg", "foob"},
      {"Zm9vYmE", "fooba"},
      {"Zm9vY", "foo"},
      {"Zg==Zg==", "ff"},
      {"Zg=", "f"},
      {"====", std::string("\0", 1)},
  };
  for (const TCase& c : cases) EXPECT_EQ(TBase64::Decode(c.text), c.bytes) << c.text;
}

TEST(Base64Test, EveryByteSurvivesTheRoundTrip) {
  std::string bytes;
  for (int i = 0; i < 256; ++i) bytes += static_cast<char>(i);
  for (size_t length = 0; length <= bytes.size(); length += 37) {
    const std::string part = bytes.substr(bytes.size() - length);
    const std::string text = TBase64::Encode(part);
    EXPECT_EQ(text.size(), (part.size() + 2) / 3 * 4);
    EXPECT_EQ(TBase64::Decode(text), part);
  }
}

}  // namespace
}  // namespace tarnwell
