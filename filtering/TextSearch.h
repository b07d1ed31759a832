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
  [[nodiscard]] size_t PatternCount() const {
    return automata_[0].patterns.size() + automata_[1].patterns.size();
  }

 private:
  // Per pattern and per text (bit t of each field).
  struct THit {
    uint8_t occurs = 0;
    uint8_t word = 0;
  };
  struct TAutomaton {
    std::vector<std::string> patterns;
    std::unordered_map<std::string, int> index;
    std::array<uint8_t, 256> byteClass{};
    int classes = 1;
    std::vector<int32_t> next;         // state × class → state
    std::vector<int32_t> output;       // the pattern ending exactly in the state, or −1
    std::vector<int32_t> dictionary;   // the nearest suffix state where a pattern ends, or −1
    std::vector<int32_t> firstOutput;  // the state itself when a pattern ends there, else
                                       // `dictionary`: where reporting starts
    std::vector<THit> hits;
    std::vector<bool> done;  // found as a word in the current text: nothing left to learn

    int Add(const std::string& pattern);
    void Compile();
    void Scan(const std::string& text, int bit);
  };

  void Compute(const TEvaluationContext& context);

  // [0] exact patterns on the raw texts, [1] lower-cased patterns on the lower-cased texts.
  std::array<TAutomaton, 2> automata_;
  bool computed_ = false;
  // Per text set: which of the three texts are empty, and which are upper case.
  std::array<uint8_t, 2> empty_{};
  std::array<uint8_t, 2> upper_{};
  std::array<bool, 2> upperKnown_{};
};

}  // namespace tarnwell
