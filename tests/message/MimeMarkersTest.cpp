#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "message/MimeMarkers.h"

namespace tarnwell {
namespace {

constexpr uint32_t kNone = TMimeMarkers::kNone;

// Markers of nested bodies, outermost first: prefixes of one another, one of dashes only, and
// one body inside another with the same marker.
const std::vector<std::string> kMarkers = {"--ab", "--a", "--abc", "-----", "--x", "--x", "--last"};

struct TCase {
  std::string line;
  uint32_t id;
  size_t offset = 0;
  bool lastCounts = true;
};

const TCase kCases[] = {
    {"plain text - no marker", kNone},
    {"--", kNone},
    {"--a", 1},
    {"--abc--", 0},
    // The outermost marker wins over one that comes earlier in the line.
    {"> quoted --a and --ab", 0, 17},
    {"x--ab--ab", 0, 1},
    {"---a", 1, 1},
    {"a------", 3, 1},
    {"--x", 4},
    {"--x", 4, 0, false},
    {"--last", 6},
    {"--last", kNone, 0, false},
    {"--last--x", 4, 6, false},
    {"--y--y--y--y--y--y--y--y--y", kNone},
};

// Outer markers that no line holds come first when `outer` is not 0, enough for the markers to
// be searched through automata.
void ExpectCases(uint32_t outer) {
  TMimeMarkers markers;
  for (uint32_t id = 0; id < outer; ++id) markers.Add("--outer" + std::to_string(id) + ".", id);
  for (uint32_t i = 0; i < kMarkers.size(); ++i) markers.Add(kMarkers[i], outer + i);
  for (const TCase& c : kCases) {
    const TMimeMarkers::TMatch match = markers.Outermost(c.line, c.lastCounts);
    const std::string where = std::to_string(outer) + " outer: " + c.line;
    if (c.id == kNone) {
      EXPECT_EQ(match.id, kNone) << where;
      continue;
    }
    EXPECT_EQ(match.id, outer + c.id) << where;
    EXPECT_EQ(match.offset, c.offset) << where;
    EXPECT_EQ(match.size, kMarkers[c.id].size()) << where;
  }
}

TEST(MimeMarkersTest, FindsTheOutermostMarkerALineContains) {
  for (const uint32_t outer : {0u, 1u, 2u, 9u, 30u}) ExpectCases(outer);
}

TEST(MimeMarkersTest, RemovingTheLastMarkerForgetsOnlyIt) {
  for (const uint32_t outer : {0u, 10u}) {
    TMimeMarkers markers;
    for (uint32_t id = 0; id < outer; ++id) markers.Add("--outer" + std::to_string(id), id);
    markers.Add("--x", outer);
    markers.Add("--x", outer + 1);
    markers.Add("--long-boundary", outer + 2);
    // Added and removed again, as the parts of one body come and go.
    for (int round = 0; round < 3; ++round) {
      for (uint32_t id = outer + 3; id < outer + 40; ++id) {
        markers.Add("--f" + std::to_string(id), id);
      }
      EXPECT_EQ(markers.Outermost("--f" + std::to_string(outer + 20), true).id, outer + 20);
      for (uint32_t id = outer + 3; id < outer + 40; ++id) markers.RemoveLast();
    }
    EXPECT_EQ(markers.LastId(), outer + 2);
    EXPECT_EQ(markers.Outermost("--long-boundary--", true).id, outer + 2);
    EXPECT_EQ(markers.Outermost("--f" + std::to_string(outer + 20), true).id, kNone);
    markers.Add("--g", outer + 3);
    EXPECT_EQ(markers.Outermost("--g --long-boundary", true).id, outer + 2);
    markers.RemoveLast();
    markers.RemoveLast();
    EXPECT_EQ(markers.Outermost("--long-boundary--", true).id, kNone);
    EXPECT_EQ(markers.Outermost("--x", false).id, outer);
    markers.RemoveLast();
    EXPECT_EQ(markers.Outermost("--x", false).id, kNone);
    EXPECT_EQ(markers.Outermost("--x", true).id, outer);
  }
}

}  // namespace
}  // namespace tarnwell
