#include "filtering/TextSearch.h"

#include <algorithm>
#include <cstring>
#include <deque>
#include <type_traits>

#include "filtering/Filters.h"
#include "message/QStrings.h"

namespace tarnwell {

void TTextSearch::Build(const std::vector<const TTextFilter*>& filters) {
  entries_.clear();
  index_.clear();
  known_.clear();
  for (const TTextFilter* filter : filters) {
    const bool exact = filter->CaseMatters == 1;
    const std::string text = exact ? filter->Text1() : LowerLocale(filter->Text1());
    const auto [it, added] =
        index_.emplace((exact ? "E" : "F") + text, static_cast<int32_t>(entries_.size()));
    if (added) entries_.push_back(TEntry{text, exact, -1});
    known_[filter] = TKnownFilter{it->second, filter->Text1(), filter->CaseMatters};
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
  // The scan table holds, for each state and class, the offset of the next state's row, so
  // that the step from byte to byte is one load and one addition. States where something is to
  // be reported are numbered last: an offset at or past `reportFrom_` says so without a flag to
  // mask off. A table whose offsets fit is stored in 16 bits, which keeps more of it in the
  // cache.
  std::vector<int32_t> renumbered(states);
  int32_t quiet = 0;
  for (size_t state = 0; state < states; ++state)
    if (firstEntry_[state] < 0 && dictionary_[state] < 0) renumbered[state] = quiet++;
  int32_t loud = quiet;
  for (size_t state = 0; state < states; ++state)
    if (firstEntry_[state] >= 0 || dictionary_[state] >= 0) renumbered[state] = loud++;
  std::vector<int32_t> first(states), dictionary(states);
  for (size_t state = 0; state < states; ++state) {
    first[renumbered[state]] = firstEntry_[state];
    dictionary[renumbered[state]] = dictionary_[state] < 0 ? -1 : renumbered[dictionary_[state]];
  }
  firstEntry_ = std::move(first);
  dictionary_ = std::move(dictionary);
  stride_ = classes_;
  reportFrom_ = static_cast<uint32_t>(quiet) * static_cast<uint32_t>(stride_);
  compact_ = states * static_cast<size_t>(stride_) <= 0x10000;
  table_.clear();
  compactTable_.clear();
  if (compact_)
    compactTable_.assign(states * static_cast<size_t>(stride_), 0);
  else
    table_.assign(states * static_cast<size_t>(stride_), 0);
  for (size_t state = 0; state < states; ++state) {
    for (int cls = 0; cls < classes_; ++cls) {
      const auto offset = static_cast<uint32_t>(renumbered[next[state * classes_ + cls]]) * stride_;
      const size_t at = static_cast<size_t>(renumbered[state]) * stride_ + cls;
      if (compact_)
        compactTable_[at] = static_cast<uint16_t>(offset);
      else
        table_[at] = offset;
    }
  }
  longest_ = 0;
  for (const TEntry& entry : entries_) longest_ = std::max(longest_, entry.text.size());
  hits_.assign(entries_.size(), THit{});
  done_.assign(entries_.size(), 0);
}

void TTextSearch::Report(const TLane& lane, uint32_t offset, size_t i) {
  const unsigned char* bytes = lane.text;
  uint8_t mask = lane.mask;
  for (size_t k = 0; k < lane.sharedMask.size(); ++k)
    if (i <= lane.sharedLast[k]) mask |= lane.sharedMask[k];
  const bool letterAfter = i + 1 < lane.length && IsLetter(bytes[i + 1]);
  const auto state = static_cast<int32_t>(offset / static_cast<uint32_t>(stride_));
  for (int32_t s = firstEntry_[state] >= 0 ? state : dictionary_[state]; s >= 0;
       s = dictionary_[s]) {
    for (int32_t id = firstEntry_[s]; id >= 0; id = entries_[id].next) {
      if ((done_[id] & mask) == mask) continue;
      const TEntry& e = entries_[id];
      const size_t start = i + 1 - e.text.size();
      if (e.exact && std::memcmp(bytes + start, e.text.data(), e.text.size()) != 0) continue;
      THit& hit = hits_[id];
      hit.occurs |= mask;
      if (!letterAfter && (start == 0 || !IsLetter(bytes[start - 1]))) {
        hit.word |= mask;
        done_[id] |= mask;
      }
    }
  }
}

template <int N, bool Compact>
void TTextSearch::ScanLanes(TLane* lanes) {
  using TEntryType = std::conditional_t<Compact, uint16_t, uint32_t>;
  const TEntryType* table;
  if constexpr (Compact)
    table = compactTable_.data();
  else
    table = table_.data();
  const uint32_t reportFrom = reportFrom_;
  const uint8_t* cls = byteClass_.data();
  // Each byte's step waits for the previous one's table look-up; running the lanes side by
  // side, with their states in registers, lets those waits overlap. What is to be reported is
  // noted and reported after each block, so that the loop over the bytes calls nothing and
  // keeps all it needs in registers.
  const unsigned char* bytes[N];
  uint32_t offset[N];
  size_t common = lanes[0].end - lanes[0].begin;
  for (int l = 0; l < N; ++l) {
    bytes[l] = lanes[l].text + lanes[l].begin;
    offset[l] = 0;
    common = std::min(common, lanes[l].end - lanes[l].begin);
  }
  constexpr size_t kBlock = 256;
  struct TPending {
    uint32_t offset;
    uint32_t lane;
    size_t at;
  };
  TPending pending[kBlock * N];
  for (size_t block = 0; block < common; block += kBlock) {
    const size_t stop = std::min(common, block + kBlock);
    size_t count = 0;
    for (size_t i = block; i < stop; ++i) {
#pragma GCC unroll 3
      for (int l = 0; l < N; ++l) {
        offset[l] = table[offset[l] + cls[bytes[l][i]]];
        if (offset[l] >= reportFrom) pending[count++] = {offset[l], static_cast<uint32_t>(l), i};
      }
    }
    for (size_t k = 0; k < count; ++k) {
      const TLane& lane = lanes[pending[k].lane];
      Report(lane, pending[k].offset, lane.begin + pending[k].at);
    }
  }
  for (int l = 0; l < N; ++l) {
    const TLane& lane = lanes[l];
    uint32_t state = offset[l];
    for (size_t i = lane.begin + common; i < lane.end; ++i) {
      state = table[state + cls[lane.text[i]]];
      if (state >= reportFrom) Report(lane, state, i);
    }
  }
}

void TTextSearch::Scan(std::vector<TLane>& lanes) {
  // Lanes of similar length side by side, longest first.
  std::sort(lanes.begin(), lanes.end(),
            [](const TLane& a, const TLane& b) { return a.end - a.begin > b.end - b.begin; });
  for (size_t at = 0; at < lanes.size(); at += kLanes) {
    const size_t count = std::min<size_t>(kLanes, lanes.size() - at);
    TLane* group = lanes.data() + at;
    switch (count * 2 + compact_) {
      case 2: ScanLanes<1, false>(group); break;
      case 3: ScanLanes<1, true>(group); break;
      case 4: ScanLanes<2, false>(group); break;
      case 5: ScanLanes<2, true>(group); break;
      case 6: ScanLanes<3, false>(group); break;
      case 7: ScanLanes<3, true>(group); break;
      default: break;
    }
  }
}

namespace {

size_t CommonPrefixLength(std::string_view a, std::string_view b) {
  const size_t n = std::min(a.size(), b.size());
  if (a.data() == b.data()) return n;
  // Large blocks first, as texts mostly agree for long stretches, then smaller ones where they
  // part.
  size_t i = 0;
  for (const size_t block : {size_t{4096}, size_t{64}})
    while (i + block <= n && std::memcmp(a.data() + i, b.data() + i, block) == 0) i += block;
  while (i < n && a[i] == b[i]) ++i;
  return i;
}

}  // namespace

void TTextSearch::Compute(const TEvaluationContext& context) {
  std::fill(hits_.begin(), hits_.end(), THit{});
  std::fill(done_.begin(), done_.end(), 0);
  empty_ = 0;
  upperKnown_ = {false, false};
  for (int t = 0; t < 3; ++t)
    if (context.BodyText(t).empty()) empty_ |= static_cast<uint8_t>(1u << t);
  computed_ = true;
  if (entries_.empty() || longest_ == 0) return;

  // The texts mostly differ only here and there (the decoded text of a plain message is the
  // raw one without its line-end blanks), so a text whose beginning equals an earlier text's
  // takes that text's matches there and is read only from shortly before the two part.
  stretches_.clear();
  std::array<int, 3> whole{-1, -1, -1};  // the stretch that reads text t from its start
  for (int t = 0; t < 3; ++t) {
    const std::string_view text = context.BodyText(t);
    if (text.empty()) continue;
    const auto* bytes = reinterpret_cast<const unsigned char*>(text.data());
    const auto bit = static_cast<uint8_t>(1u << t);
    size_t shared = 0;
    int from = -1;
    for (int s = 0; s < t; ++s) {
      if (whole[s] < 0) continue;
      const size_t length = CommonPrefixLength(text, context.BodyText(s));
      if (length > shared) {
        shared = length;
        from = s;
      }
    }
    if (from >= 0 && shared > 2 * longest_) {
      TLane& source = stretches_[whole[from]];
      const size_t k = source.sharedMask[0] == 0 ? 0 : 1;
      source.sharedMask[k] = bit;
      // A match ending there still has its following byte in the shared part.
      source.sharedLast[k] = shared - 2;
      stretches_.push_back(TLane{bytes, text.size(), shared - longest_, text.size(), bit});
    } else {
      whole[t] = static_cast<int>(stretches_.size());
      stretches_.push_back(TLane{bytes, text.size(), 0, text.size(), bit});
    }
  }

  // Long stretches are cut into pieces read side by side. A piece starts early enough to see
  // every match that ends in it; a match seen twice sets the same bits twice.
  size_t total = 0;
  for (const TLane& stretch : stretches_) total += stretch.end - stretch.begin;
  constexpr size_t kSmallest = 1024;
  const size_t piece = std::max({(total + kLanes - 1) / kLanes, kSmallest, 4 * longest_});
  lanes_.clear();
  for (const TLane& stretch : stretches_) {
    for (size_t at = stretch.begin; at < stretch.end;) {
      TLane lane = stretch;
      lane.begin = at == stretch.begin ? at : at + 1 - longest_;
      lane.end = stretch.end - at < piece + piece / 4 ? stretch.end : at + piece;
      lanes_.push_back(lane);
      at = lane.end;
    }
  }
  Scan(lanes_);
}

int32_t TTextSearch::EntryOf(const TTextFilter& filter) const {
  const auto known = known_.find(&filter);
  if (known != known_.end() && known->second.caseMatters == filter.CaseMatters &&
      known->second.text == filter.Text1())
    return known->second.entry;
  const bool exact = filter.CaseMatters == 1;
  const auto it =
      index_.find((exact ? "E" : "F") + (exact ? filter.Text1() : LowerLocale(filter.Text1())));
  return it == index_.end() ? -1 : it->second;
}

bool TTextSearch::Lookup(const TTextFilter& filter, const TEvaluationContext& context,
                         bool& result) {
  const int32_t entry = EntryOf(filter);
  if (entry < 0) return false;
  const bool exact = filter.CaseMatters == 1;
  if (!computed_) Compute(context);
  const bool empty = entries_[entry].text.empty();
  const THit& hit = hits_[entry];
  switch (filter.Condition1) {
    case cnContains: result = empty || hit.occurs != 0; break;
    case cnContainsWord: result = !empty && hit.word != 0; break;
    case cnNotContains: result = !empty && hit.occurs != 0x7; break;
    case cnBlank: result = empty_ != 0; break;
    case cnUppercase: {
      const int set = exact ? 0 : 1;
      if (!upperKnown_[set]) {
        upper_[set] = 0;
        for (int t = 0; t < 3; ++t)
          if (IsUppercase(exact ? context.BodyText(t) : context.LowerBodyText(t)))
            upper_[set] |= static_cast<uint8_t>(1u << t);
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
