#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "accounts/AccountFields.h"

namespace tarnwell {
namespace {

TEST(AccountFieldsTest, APortFieldTakesAWholeNumberFromZeroTo65535) {
  const struct {
    std::string text;
    std::optional<int32_t> port;
  } cases[] = {
      {"0", 0},      {"110", 110}, {" 995 ", 995},      {"65535", 65535}, {"65536", {}},
      {"-1", {}},    {"", {}},     {"   ", {}},         {"pop", {}},      {"11O", {}},
      {"1 10", {}},  {"0x6E", {}}, {"99999999999", {}}, {"+110", {}},     {"1e3", {}},
      {"110.0", {}},
  };
  for (const auto& c : cases) EXPECT_EQ(PortFieldValue(c.text), c.port) << '"' << c.text << '"';
  EXPECT_EQ(PortRangeText(), "You must enter a number between 0 and 65535 in this field.");
}

TEST(AccountFieldsTest, ABlankFieldHasNothingButBlanks) {
  for (const char* blank : {"", " ", "\t", "  \t "}) EXPECT_TRUE(IsBlankField(blank)) << blank;
  for (const char* text : {"a", " a ", "\ta"}) EXPECT_FALSE(IsBlankField(text)) << text;
}

// Each whole number the schedule offers comes back from the span made of it, also through the
// stored double; 24 hours is a whole day.
TEST(AccountFieldsTest, ScheduleSpansGiveTheirNumbersBack) {
  for (int32_t minutes = 1; minutes < 24 * 60; ++minutes)
    EXPECT_EQ(WholeMinutes(MinutesSpan(minutes)), minutes);
  for (int32_t hours = 1; hours <= 24; ++hours) EXPECT_EQ(WholeHours(HoursSpan(hours)), hours);
  EXPECT_EQ(HoursSpan(24), 1.0);
  EXPECT_EQ(MinutesSpan(720), 0.5);
  // Whole units: a span a little short of the next one counts the ones it holds.
  EXPECT_EQ(WholeHours(HoursSpan(2) + MinutesSpan(59)), 2);
  EXPECT_EQ(WholeMinutes(MinutesSpan(10) + 29.0 / 86400.0), 10);
}

}  // namespace
}  // namespace tarnwell
