#include "filtering/TextSearch.h"

#include <deque>

#include "filtering/Filters.h"
#include "message/QStrings.h"

namespace tarnwell {

int TTextSearch::TAutomaton::Add(const std::string& pattern) {
  auto [it, inserted] = index.emplace(pattern, static_cast<int>(patterns.size()));
  if (inserted) patterns.push_back(pattern);
  return it->second;
}

void TTextSearch::TAutomaton::Compile() {
  // Bytes that occur in no pattern share one class, which keeps the table small.
  byteClass.fill(0);
  classes = 1;
  for (const std::string& p : patterns)
    for (const char c : p) {
      auto& cls = byteClass[static_cast<unsigned char>(c)];
      if (cls == 0) cls = static_cast<uint8_t>(classes++);
    }
  // Trie first, with −1 for missing edges.
  std::vector<int32_t> trie(classes, -1);
  output.assign(1, -1);
  for (size_t id = 0; id < patterns.size(); ++id) {
    const std::string& p = patterns[id];
    if (p.empty()) continue;
    int state = 0;
    for (const char c : p) {
      const int cls = byteClass[static_cast<unsigned char>(c)];
      int32_t& edge = trie[static_cast<size_t>(state) * classes + cls];
      if (edge < 0) {
        edge = static_cast<int32_t>(output.size());
        output.push_back(-1);
        trie.resize(trie.size() + classes, -1);
      }
      state = trie[static_cast<size_t>(state) * classes + cls];
    }
    output[state] = static_cast<int32_t>(id);
  }
  const size_t states = output.size();
  next = std::move(trie);
  // Breadth-first: failure links turn the trie into a full transition table, and each state
  // links to the nearest suffix state where a pattern ends.
  std::vector<int32_t> fail(states, 0);
  firstOutput.assign(states, -1);
  dictionary.assign(states, -1);
  std::deque<int32_t> queue;
  for (int cls = 0; cls < classes; ++cls) {
    int32_t& edge = next[cls];
    if (edge < 0) {
      edge = 0;
    } else {
      queue.push_back(edge);
    }
  }
  if (output[0] >= 0) firstOutput[0] = 0;
  while (!queue.empty()) {
    const int32_t state = queue.front();
    queue.pop_front();
    const int32_t suffix = fail[state];
    dictionary[state] = output[suffix] >= 0 ? suffix : dictionary[suffix];
    firstOutput[state] = output[state] >= 0 ? state : dictionary[state];
    for (int cls = 0; cls < classes; ++cls) {
      int32_t& edge = next[static_cast<size_t>(state) * classes + cls];
      const int32_t viaSuffix = next[static_cast<size_t>(suffix) * classes + cls];
      if (edge < 0) {
        edge = viaSuffix;
      } else {
        fail[edge] = viaSuffix;
        queue.push_back(edge);
      }
    }
  }
  hits.assign(patterns.size(), THit{});
  done.assign(patterns.size(), false);
}

void TTextSearch::TAutomaton::Scan(const std::string& text, int bit) {
  const uint8_t mask = static_cast<uint8_t>(1u << bit);
  std::fill(done.begin(), done.end(), false);
  const auto* bytes = reinterpret_cast<const unsigned char*>(text.data());
  const size_t length = text.size();
  int32_t state = 0;
  for (size_t i = 0; i < length; ++i) {
    state = next[static_cast<size_t>(state) * classes + byteClass[bytes[i]]];
    if (firstOutput[state] < 0) continue;
    const bool letterAfter = i + 1 < length && IsLetter(bytes[i + 1]);
    for (int32_t s = firstOutput[state]; s >= 0; s = dictionary[s]) {
      const int32_t id = output[s];
      if (!done[id]) {
        THit& hit = hits[id];
        hit.occurs |= mask;
        const size_t start = i + 1 - patterns[id].size();
        if (!letterAfter && (start == 0 || !IsLetter(bytes[start - 1]))) {
          hit.word |= mask;
          done[id] = true;
        }
      }
    }
  }
}

void TTextSearch::Build(const std::vector<const TTextFilter*>& filters) {
  for (TAutomaton& automaton : automata_) automaton = TAutomaton{};
  for (const TTextFilter* filter : filters) {
    const bool exact = filter->CaseMatters == 1;
    automata_[exact ? 0 : 1].Add(exact ? filter->Text1() : LowerLocale(filter->Text1()));
  }
  for (TAutomaton& automaton : automata_) automaton.Compile();
  computed_ = false;
}

void TTextSearch::Compute(const TEvaluationContext& context) {
  const std::array<const std::array<std::string, 3>*, 2> texts = {&context.BodyTexts,
                                                                  &context.LowerBodyTexts};
  for (int set = 0; set < 2; ++set) {
    TAutomaton& automaton = automata_[set];
    std::fill(automaton.hits.begin(), automaton.hits.end(), THit{});
    empty_[set] = 0;
    upperKnown_[set] = false;
    for (int t = 0; t < 3; ++t) {
      const std::string& text = (*texts[set])[t];
      if (text.empty()) empty_[set] |= static_cast<uint8_t>(1u << t);
      // Identical texts (a body without MIME structure) share the first one's results.
      if (t > 0 && text == (*texts[set])[t - 1]) {
        for (THit& hit : automaton.hits) {
          hit.occurs |= static_cast<uint8_t>((hit.occurs >> (t - 1) & 1u) << t);
          hit.word |= static_cast<uint8_t>((hit.word >> (t - 1) & 1u) << t);
        }
        continue;
      }
      if (!automaton.patterns.empty()) automaton.Scan(text, t);
    }
  }
  computed_ = true;
}

bool TTextSearch::Lookup(const TTextFilter& filter, const TEvaluationContext& context,
                         bool& result) {
  const bool exact = filter.CaseMatters == 1;
  const int set = exact ? 0 : 1;
  TAutomaton& automaton = automata_[set];
  const std::string key = exact ? filter.Text1() : LowerLocale(filter.Text1());
  const auto it = automaton.index.find(key);
  if (it == automaton.index.end()) return false;
  if (!computed_) Compute(context);
  const std::string& pattern = automaton.patterns[it->second];
  const THit& hit = automaton.hits[it->second];
  switch (filter.Condition1) {
    case cnContains: result = pattern.empty() || hit.occurs != 0; break;
    case cnContainsWord: result = !pattern.empty() && hit.word != 0; break;
    case cnNotContains: result = !pattern.empty() && hit.occurs != 0x7; break;
    case cnBlank: result = empty_[set] != 0; break;
    case cnUppercase: {
      if (!upperKnown_[set]) {
        const auto& texts = exact ? context.BodyTexts : context.LowerBodyTexts;
        upper_[set] = 0;
        for (int t = 0; t < 3; ++t)
          if (IsUppercase(texts[t])) upper_[set] |= static_cast<uint8_t>(1u << t);
        upperKnown_[set] = true;
      }
      result = upper_[set] != 0;
      break;
    }
    default: result = false; break;
  }
  return true;
}

}  // namespace tarnwell
