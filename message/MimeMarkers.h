#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace tarnwell {

// The delimiter markers of the multipart bodies a line may lie in, nested any number deep, and
// which of them a line contains anywhere. The innermost few markers are looked for one by one;
// the others are kept in Aho-Corasick automata over runs of them, each run more than twice the
// next, so that a line is read once per run (a number that grows with the logarithm of the
// markers) and a marker is built into an automaton again only as often as its run grows by half.
class TMimeMarkers {
 public:
  static constexpr uint32_t kNone = UINT32_MAX;
  // The innermost markers searched for one by one, before they make a run.
  static constexpr size_t kDirectMarkers = 8;

  struct TMatch {
    uint32_t id = kNone;
    // Where the marker first occurs in the line, and its length.
    size_t offset = 0;
    size_t size = 0;
  };

  TMimeMarkers();
  ~TMimeMarkers();
  TMimeMarkers(const TMimeMarkers&) = delete;
  TMimeMarkers& operator=(const TMimeMarkers&) = delete;

  // Markers start with "--" and are removed last first.
  void Add(std::string marker, uint32_t id);
  void RemoveLast();
  // The id of the last marker added, or kNone.
  [[nodiscard]] uint32_t LastId() const { return entries_.empty() ? kNone : entries_.back().id; }

  // The marker added first among those `line` contains; the last one added counts only with
  // `lastCounts`.
  [[nodiscard]] TMatch Outermost(std::string_view line, bool lastCounts) const;

 private:
  struct TEntry {
    std::string marker;
    uint32_t id;
  };
  class TAutomaton;
  // Entries [begin, begin + live) in an automaton built when they were `built` (the ones past
  // `live` have been removed since).
  struct TRun {
    size_t begin = 0;
    size_t live = 0;
    size_t built = 0;
    std::unique_ptr<TAutomaton> automaton;
  };

  [[nodiscard]] TRun Build(size_t begin, size_t end) const;
  [[nodiscard]] size_t RunsEnd() const {
    return runs_.empty() ? 0 : runs_.back().begin + runs_.back().live;
  }

  std::vector<TEntry> entries_;
  // The entries up to the last kDirectMarkers or fewer, in consecutive runs, the outermost first.
  std::vector<TRun> runs_;
};

}  // namespace tarnwell
