#include "message/MimeMarkers.h"

#include <algorithm>
#include <cstring>
#include <numeric>

namespace tarnwell {
namespace {

constexpr uint32_t kNoNode = UINT32_MAX;
constexpr uint32_t kNoMarker = UINT32_MAX;

// Where the first "--" of a line starts, or npos; no marker starts before it.
size_t FirstDashes(std::string_view line) {
  size_t at = 0;
  while (at + 1 < line.size()) {
    const auto* dash =
        static_cast<const char*>(std::memchr(line.data() + at, '-', line.size() - at - 1));
    if (!dash) break;
    at = static_cast<size_t>(dash - line.data());
    if (line[at + 1] == '-') return at;
    at += 2;
  }
  return std::string_view::npos;
}

// Where `marker` first occurs in `line`, or npos; in time linear in the line whatever the marker
// (glibc's memmem falls back to the two-way algorithm where its quick search would not be linear).
size_t Find(std::string_view line, std::string_view marker) {
  const void* found = ::memmem(line.data(), line.size(), marker.data(), marker.size());
  return found ? static_cast<size_t>(static_cast<const char*>(found) - line.data())
               : std::string_view::npos;
}

}  // namespace

// Aho-Corasick automaton over a run of markers, numbered from 0 in the order they were added.
class TMimeMarkers::TAutomaton {
 public:
  explicit TAutomaton(const std::vector<std::string_view>& markers) {
    BuildTrie(markers);
    LinkFailures();
  }

  // Reads `line` from `from` on. Of the markers numbered below `limit` that occur, keeps the
  // lowest number in `found` (if lower than it was) and the index of its first occurrence's last
  // byte in `end`.
  void Scan(std::string_view line, size_t from, uint32_t limit, uint32_t& found,
            size_t& end) const {
    uint32_t state = 0;
    for (size_t i = from; i < line.size(); ++i) {
      const auto byte = static_cast<unsigned char>(line[i]);
      uint32_t next = Child(state, byte);
      while (next == kNoNode && state != 0) {
        state = nodes_[state].failure;
        next = Child(state, byte);
      }
      state = next == kNoNode ? 0 : next;
      const uint32_t out = nodes_[state].lowestOut;
      if (out < limit && out < found) {
        found = out;
        end = i;
        if (found == 0) return;
      }
    }
  }

 private:
  struct TNode {
    uint32_t failure = 0;
    uint32_t firstEdge = 0;
    uint32_t edgeCount = 0;
    // The lowest number of the markers that end here, this node's own or its failure chain's.
    uint32_t lowestOut = kNoMarker;
  };
  struct TEdge {
    unsigned char byte;
    uint32_t child;
  };

  // The markers in byte order share their common beginnings with the one before.
  void BuildTrie(const std::vector<std::string_view>& markers) {
    std::vector<size_t> order(markers.size());
    std::iota(order.begin(), order.end(), size_t{0});
    std::stable_sort(order.begin(), order.end(),
                     [&markers](size_t a, size_t b) { return markers[a] < markers[b]; });
    size_t bytes = 0;
    for (const std::string_view marker : markers) bytes += marker.size();
    nodes_.reserve(bytes + 1);
    std::vector<TEdge> edges;
    std::vector<uint32_t> parents;
    edges.reserve(bytes);
    parents.reserve(bytes);
    nodes_.emplace_back();
    std::vector<uint32_t> path{0};
    std::string_view previous;
    for (const size_t number : order) {
      const std::string_view marker = markers[number];
      const size_t common = static_cast<size_t>(
          std::mismatch(marker.begin(), marker.end(), previous.begin(), previous.end()).first -
          marker.begin());
      path.resize(common + 1);
      for (size_t k = common; k < marker.size(); ++k) {
        const auto child = static_cast<uint32_t>(nodes_.size());
        nodes_.emplace_back();
        edges.push_back({static_cast<unsigned char>(marker[k]), child});
        parents.push_back(path.back());
        path.push_back(child);
      }
      TNode& last = nodes_[path.back()];
      last.lowestOut = std::min(last.lowestOut, static_cast<uint32_t>(number));
      previous = marker;
    }
    // Each node's edges together, kept in the byte order in which the sorted markers made them.
    for (const uint32_t parent : parents) ++nodes_[parent].edgeCount;
    uint32_t first = 0;
    for (TNode& node : nodes_) {
      node.firstEdge = first;
      first += node.edgeCount;
    }
    edges_.resize(edges.size());
    std::vector<uint32_t> placed(nodes_.size(), 0);
    for (size_t i = 0; i < edges.size(); ++i) {
      edges_[nodes_[parents[i]].firstEdge + placed[parents[i]]++] = edges[i];
    }
  }

  // Breadth first, so that a node's failure, which is shallower, is complete before it.
  void LinkFailures() {
    std::vector<uint32_t> queue{0};
    for (size_t head = 0; head < queue.size(); ++head) {
      const uint32_t node = queue[head];
      const TNode& from = nodes_[node];
      for (uint32_t e = from.firstEdge; e < from.firstEdge + from.edgeCount; ++e) {
        const TEdge& edge = edges_[e];
        uint32_t failure = 0;
        if (node != 0) {
          uint32_t state = nodes_[node].failure;
          uint32_t next = Child(state, edge.byte);
          while (next == kNoNode && state != 0) {
            state = nodes_[state].failure;
            next = Child(state, edge.byte);
          }
          if (next != kNoNode) failure = next;
        }
        TNode& child = nodes_[edge.child];
        child.failure = failure;
        child.lowestOut = std::min(child.lowestOut, nodes_[failure].lowestOut);
        queue.push_back(edge.child);
      }
    }
  }

  [[nodiscard]] uint32_t Child(uint32_t node, unsigned char byte) const {
    const TNode& from = nodes_[node];
    const auto first = edges_.begin() + from.firstEdge;
    const auto last = first + from.edgeCount;
    const auto edge = std::lower_bound(first, last, byte,
                                       [](const TEdge& e, unsigned char b) { return e.byte < b; });
    return edge != last && edge->byte == byte ? edge->child : kNoNode;
  }

  std::vector<TNode> nodes_;
  std::vector<TEdge> edges_;
};

TMimeMarkers::TMimeMarkers() = default;
TMimeMarkers::~TMimeMarkers() = default;

TMimeMarkers::TRun TMimeMarkers::Build(size_t begin, size_t end) const {
  std::vector<std::string_view> markers;
  markers.reserve(end - begin);
  for (size_t i = begin; i < end; ++i) markers.emplace_back(entries_[i].marker);
  return {begin, end - begin, end - begin, std::make_unique<TAutomaton>(markers)};
}

void TMimeMarkers::Add(std::string marker, uint32_t id) {
  entries_.push_back({std::move(marker), id});
  if (entries_.size() - RunsEnd() < kDirectMarkers) return;
  runs_.push_back(Build(RunsEnd(), entries_.size()));
  // The invariant that bounds the number of runs: each holds more than twice the next.
  while (runs_.size() >= 2 && 2 * runs_.back().live >= runs_[runs_.size() - 2].live) {
    const size_t begin = runs_[runs_.size() - 2].begin;
    runs_.pop_back();
    runs_.back() = Build(begin, entries_.size());
  }
}

void TMimeMarkers::RemoveLast() {
  entries_.pop_back();
  if (entries_.size() >= RunsEnd()) return;
  TRun& run = runs_.back();
  if (--run.live == 0) {
    runs_.pop_back();
  } else if (2 * run.live < run.built) {
    run = Build(run.begin, run.begin + run.live);
  }
}

TMimeMarkers::TMatch TMimeMarkers::Outermost(std::string_view line, bool lastCounts) const {
  const size_t from = FirstDashes(line);
  if (from == std::string_view::npos) return {};
  const size_t count = entries_.size() - (lastCounts || entries_.empty() ? 0 : 1);
  // Every marker of a run lies outside every marker of the runs after it.
  for (const TRun& run : runs_) {
    if (run.begin >= count) return {};
    uint32_t found = kNoMarker;
    size_t end = 0;
    const auto limit = static_cast<uint32_t>(std::min(run.live, count - run.begin));
    run.automaton->Scan(line, from, limit, found, end);
    if (found == kNoMarker) continue;
    const TEntry& entry = entries_[run.begin + found];
    return {entry.id, end + 1 - entry.marker.size(), entry.marker.size()};
  }
  for (size_t i = RunsEnd(); i < count; ++i) {
    const size_t at = Find(line, entries_[i].marker);
    if (at != std::string_view::npos) return {entries_[i].id, at, entries_[i].marker.size()};
  }
  return {};
}

}  // namespace tarnwell
