#include "filtering/TextSearch.h"

#include <algorithm>
#include <cstring>
#include <deque>

#include "filtering/Filters.h"
#include "message/QStrings.h"

namespace tarnwell {

void TTextSearch::Build(const std::vector<const TTextFilter*>& filters) {
  entries_.clear();
  index_.clear();
  for (const TTextFilter* filter : filters) {
    const bool exact = filter->CaseMatters == 1;
    const std::string text = exact ? filter->Text1() : LowerLocale(filter->Text1());
    if (index_.emplace((exact ? "E" : "F") + text, static_cast<int32_t>(entries_.size())).second)
      entries_.push_back(TEntry{text, exact, -1});
  }
  Compile();
  computed_ = false;
}

void TTextSearch::Compile() {
  // Bytes that occur in no pattern share class 0, which keeps the table small; every byte is
  // read as its lower-case form.
  std::array<uint8_t, 256> lower{};
  for (int b = 0; b < 256; ++b)
    lower[b] = static_cast<uint8_t>(LowerLocale(std::string(1, static_cast<char>(b)))[0]);
  byteClass_.fill(0);
  classes_ = 1;
  for (const TEntry& entry : entries_)
    for (const char c : entry.text) {
      uint8_t& cls = byteClass_[lower[static_cast<unsigned char>(c)]];
      if (cls == 0) cls = static_cast<uint8_t>(classes_++);
    }
  for (int b = 0; b < 256; ++b) byteClass_[b] = byteClass_[lower[b]];

  // The trie of the folded patterns, −1 for a missing edge.
  std::vector<int32_t> next(classes_, -1);
  firstEntry_.assign(1, -1);
  for (size_t id = 0; id < entries_.size(); ++id) {
    TEntry& entry = entries_[id];
    if (entry.text.empty()) continue;
    int32_t state = 0;
    for (const char c : entry.text) {
      const size_t edge =
          static_cast<size_t>(state) * classes_ + byteClass_[static_cast<unsigned char>(c)];
      if (next[edge] < 0) {
        next[edge] = static_cast<int32_t>(firstEntry_.size());
        firstEntry_.push_back(-1);
        next.resize(next.size() + classes_, -1);
      }
      state = next[edge];
    }
    entry.next = firstEntry_[state];
    firstEntry_[state] = static_cast<int32_t>(id);
  }

  // Breadth first: failure links complete the transitions, and each state links to its nearest
  // suffix state where an entry ends.
  const size_t states = firstEntry_.size();
  std::vector<int32_t> fail(states, 0);
  dictionary_.assign(states, -1);
  std::deque<int32_t> queue;
  for (int cls = 0; cls < classes_; ++cls) {
    if (next[cls] < 0)
      next[cls] = 0;
    else
      queue.push_back(next[cls]);
  }
  while (!queue.empty()) {
    const int32_t state = queue.front();
    queue.pop_front();
    const int32_t suffix = fail[state];
    if (state != 0) dictionary_[state] = firstEntry_[suffix] >= 0 ? suffix : dictionary_[suffix];
    for (int cls = 0; cls < classes_; ++cls) {
      int32_t& edge = next[static_cast<size_t>(state) * classes_ + cls];
      const int32_t viaSuffix = next[static_cast<size_t>(suffix) * classes_ + cls];
      if (edge < 0) {
        edge = viaSuffix;
      } else {
        fail[edge] = viaSuffix;
        queue.push_back(edge);
      }
    }
  }
  // The scan table holds the next row's offset for each state and class, marked where
  // something is to be reported, so the loop over a text reads one entry per byte. A table that
  // allows it is stored in 16 bits (rows padded to a multiple of 8 classes, offsets divided by
  // 8), which keeps more of it in the cache.
  const int padded = (classes_ + 7) & ~7;
  compact_ = states * static_cast<size_t>(padded) / 8 < 0x8000;
  stride_ = compact_ ? padded : classes_;
  table_.clear();
  compactTable_.clear();
  if (compact_)
    compactTable_.assign(states * static_cast<size_t>(stride_), 0);
  else
    table_.assign(states * static_cast<size_t>(stride_), 0);
  for (size_t state = 0; state < states; ++state) {
    for (int cls = 0; cls < classes_; ++cls) {
      const int32_t target = next[state * classes_ + cls];
      const int32_t offset = target * stride_;
      const bool reports = firstEntry_[target] >= 0 || dictionary_[target] >= 0;
      const size_t at = state * static_cast<size_t>(stride_) + cls;
      if (compact_)
        compactTable_[at] = static_cast<uint16_t>((offset >> 3) | (reports ? 0x8000 : 0));
      else
        table_[at] = reports ? ~offset : offset;
    }
  }
  hits_.assign(entries_.size(), THit{});
  done_.assign(entries_.size(), 0);
}

void TTextSearch::Report(const TLane& lane, size_t i) {
  const unsigned char* bytes = lane.bytes;
  const bool letterAfter = i + 1 < lane.length && IsLetter(bytes[i + 1]);
  const int32_t state = lane.offset / stride_;
  for (int32_t s = firstEntry_[state] >= 0 ? state : dictionary_[state]; s >= 0;
       s = dictionary_[s]) {
    for (int32_t id = firstEntry_[s]; id >= 0; id = entries_[id].next) {
      if (done_[id] & lane.mask) continue;
      const TEntry& e = entries_[id];
      const size_t start = i + 1 - e.text.size();
      if (e.exact && std::memcmp(bytes + start, e.text.data(), e.text.size()) != 0) continue;
      THit& hit = hits_[id];
      hit.occurs |= lane.mask;
      if (!letterAfter && (start == 0 || !IsLetter(bytes[start - 1]))) {
        hit.word |= lane.mask;
        done_[id] |= lane.mask;
      }
    }
  }
}

// One step of the automaton: the next row offset; true when something ends there.
template <bool Compact>
static inline bool Step(const void* table, int32_t& offset, uint8_t cls) {
  if constexpr (Compact) {
    const uint16_t entry = static_cast<const uint16_t*>(table)[offset + cls];
    offset = static_cast<int32_t>(entry & 0x7FFF) << 3;
    return entry & 0x8000;
  } else {
    const int32_t entry = static_cast<const int32_t*>(table)[offset + cls];
    offset = entry >= 0 ? entry : ~entry;
    return entry < 0;
  }
}

template <int N, bool Compact>
void TTextSearch::ScanLanes(TLane* lanes) {
  const void* table = Compact ? static_cast<const void*>(compactTable_.data())
                              : static_cast<const void*>(table_.data());
  const uint8_t* cls = byteClass_.data();
  // Each byte's step waits for the previous one's table look-up; running the texts side by
  // side, with their states in registers, lets those waits overlap.
  const unsigned char* bytes[N];
  int32_t offset[N];
  size_t common = lanes[0].length;
  for (int l = 0; l < N; ++l) {
    bytes[l] = lanes[l].bytes;
    offset[l] = 0;
    common = std::min(common, lanes[l].length);
  }
  for (size_t i = 0; i < common; ++i) {
#pragma GCC unroll 3
    for (int l = 0; l < N; ++l) {
      if (Step<Compact>(table, offset[l], cls[bytes[l][i]])) {
        lanes[l].offset = offset[l];
        Report(lanes[l], i);
      }
    }
  }
  for (int l = 0; l < N; ++l) {
    TLane& lane = lanes[l];
    int32_t state = offset[l];
    for (size_t i = common; i < lane.length; ++i) {
      if (Step<Compact>(table, state, cls[lane.bytes[i]])) {
        lane.offset = state;
        Report(lane, i);
      }
    }
  }
}

void TTextSearch::Scan(TLane* lanes, int count) {
  switch (count * 2 + compact_) {
    case 2: ScanLanes<1, false>(lanes); break;
    case 3: ScanLanes<1, true>(lanes); break;
    case 4: ScanLanes<2, false>(lanes); break;
    case 5: ScanLanes<2, true>(lanes); break;
    case 6: ScanLanes<3, false>(lanes); break;
    case 7: ScanLanes<3, true>(lanes); break;
    default: break;
  }
}

void TTextSearch::Compute(const TEvaluationContext& context) {
  std::fill(hits_.begin(), hits_.end(), THit{});
  std::fill(done_.begin(), done_.end(), 0);
  empty_ = 0;
  upperKnown_ = {false, false};
  TLane lanes[3];
  int count = 0;
  int sameAsPrevious = 0;  // bit t: text t equals text t − 1
  for (int t = 0; t < 3; ++t) {
    const std::string& text = context.BodyTexts[t];
    if (text.empty()) empty_ |= static_cast<uint8_t>(1u << t);
    // Identical texts (a body without MIME structure) share the first one's results.
    if (t > 0 && text == context.BodyTexts[t - 1]) {
      sameAsPrevious |= 1 << t;
      continue;
    }
    lanes[count++] = TLane{reinterpret_cast<const unsigned char*>(text.data()), text.size(), 0,
                           static_cast<uint8_t>(1u << t)};
  }
  if (!entries_.empty()) Scan(lanes, count);
  for (int t = 1; t < 3; ++t) {
    if (!(sameAsPrevious & (1 << t))) continue;
    for (THit& hit : hits_) {
      hit.occurs |= static_cast<uint8_t>((hit.occurs >> (t - 1) & 1u) << t);
      hit.word |= static_cast<uint8_t>((hit.word >> (t - 1) & 1u) << t);
    }
  }
  computed_ = true;
}

bool TTextSearch::Lookup(const TTextFilter& filter, const TEvaluationContext& context,
                         bool& result) {
  const bool exact = filter.CaseMatters == 1;
  const auto it =
      index_.find((exact ? "E" : "F") + (exact ? filter.Text1() : LowerLocale(filter.Text1())));
  if (it == index_.end()) return false;
  if (!computed_) Compute(context);
  const bool empty = entries_[it->second].text.empty();
  const THit& hit = hits_[it->second];
  switch (filter.Condition1) {
    case cnContains: result = empty || hit.occurs != 0; break;
    case cnContainsWord: result = !empty && hit.word != 0; break;
    case cnNotContains: result = !empty && hit.occurs != 0x7; break;
    case cnBlank: result = empty_ != 0; break;
    case cnUppercase: {
      const int set = exact ? 0 : 1;
      if (!upperKnown_[set]) {
        const auto& texts = exact ? context.BodyTexts : context.LowerBodyTexts();
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
