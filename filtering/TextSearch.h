#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <unordered_map>
#include <vector>

namespace tarnwell {

class TTextFilter;
struct TEvaluationContext;

// Finds the patterns of many text filters in one pass over each body text (Aho-Corasick),
// instead of one search per filter. The results for a message are computed when the first text
// filter asks, and are the same as each filter searching for itself.
class TTextSearch {
 public:
  // Takes the patterns of these filters; filters whose pattern or case flag change later are
  // answered by their own search.
  void Build(const std::vector<const TTextFilter*>& filters);
  // Forgets the results of the previous message.
  void Reset() { computed_ = false; }
  // The result of `filter` on the context's texts; false when this search cannot answer for it.
  bool Lookup(const TTextFilter& filter, const TEvaluationContext& context, bool& result);
  [[nodiscard]] size_t PatternCount() const { return entries_.size(); }

 private:
  // A pattern as one or more filters search for it: exactly, or with case folded.
  struct TEntry {
    std::string text;  // lower-cased unless exact
    bool exact = false;
    int32_t next = -1;  // the next entry with the same lower-cased text
  };
  // Per entry and per text (bit t of each field).
  struct THit {
    uint8_t occurs = 0;
    uint8_t word = 0;
  };

  // A stretch [begin, end) of one text to be read, and which bits its results take. Matches ending
  // at or before `sharedLast[k]` also count for the texts of `sharedMask[k]`, whose bytes are the
  // same up to there.
  struct TLane {
    const unsigned char* text;
    size_t length;  // of the whole text
    size_t begin;
    size_t end;
    uint8_t mask;
    std::array<uint8_t, 2> sharedMask{};
    std::array<size_t, 2> sharedLast{};
  };

  // Stretches read side by side: more than three gain nothing on current processors.
  static constexpr size_t kLanes = 3;
  void Compile();
  void Scan(std::vector<TLane>& lanes);
  template <int N, bool Compact>
  void ScanLanes(TLane* lanes);
  // Records the entries that end at byte i of the lane, where the automaton reached `offset`.
  void Report(const TLane& lane, uint32_t offset, size_t i);
  void Compute(const TEvaluationContext& context);

  std::vector<TEntry> entries_;
  std::unordered_map<std::string, int32_t> index_;  // "E"/"F" + text → entry
  // The filters given to Build, with the pattern each had then, found without building a key.
  struct TKnownFilter {
    int32_t entry;
    std::string text;
    uint8_t caseMatters;
  };
  std::unordered_map<const TTextFilter*, TKnownFilter> known_;
  [[nodiscard]] int32_t EntryOf(const TTextFilter& filter) const;
  // The automaton reads every byte as its lower-case form; exact entries are checked byte for
  // byte where their folded form was found.
  std::array<uint8_t, 256> byteClass_{};
  int classes_ = 1;
  int stride_ = 1;                      // entries per table row
  bool compact_ = false;                // the table is `compactTable_`
  std::vector<uint32_t> table_;         // state row offset + class → next state's row offset
  std::vector<uint16_t> compactTable_;  // the same in 16 bits
  uint32_t reportFrom_ = 0;             // rows from here on are states that report
  std::vector<int32_t> firstEntry_;     // per state: the first entry ending there, or −1
  std::vector<int32_t> dictionary_;     // per state: the nearest suffix state where an entry
                                        // ends, or −1
  size_t longest_ = 0;                  // the longest entry's length
  std::vector<THit> hits_;
  std::vector<TLane> stretches_;  // per text, what is to be read of it
  std::vector<TLane> lanes_;      // the stretches cut into pieces
  // Per entry, bit t: found as a word in text t, so nothing is left to learn there.
  std::vector<uint8_t> done_;
  bool computed_ = false;
  uint8_t empty_ = 0;
  std::array<uint8_t, 2> upper_{};  // [exact, folded]: which texts are upper case
  std::array<bool, 2> upperKnown_{};
};

}  // namespace tarnwell
