#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace tarnwell {

// The standard header numbers, as stored in filter records.
enum TStdHeader : int {
  shCc = 1,
  shComments = 2,
  shContentType = 3,
  shContentTransferEncoding = 4,
  shDate = 5,
  shDeliveredTo = 6,
  shErrorsTo = 7,
  shFrom = 8,
  shInReplyTo = 9,
  shMessageId = 10,
  shMimeVersion = 11,
  shOrganization = 12,
  shPriority = 13,
  shReceived = 14,
  shReplyTo = 15,
  shReturnPath = 16,
  shSender = 17,
  shSubject = 18,
  shTo = 19,
  shXComplainTo = 20,
};
inline constexpr int kStdHeaderCount = 20;

// A set of standard header numbers: bit n stands for number n.
using TStdSet = uint32_t;
[[nodiscard]] constexpr TStdSet StdBit(int number) { return TStdSet{1} << number; }

// Headers whose value is an address, and those whose value holds a domain after an "@".
inline constexpr TStdSet kAddressHeaders =
    StdBit(shCc) | StdBit(shDeliveredTo) | StdBit(shErrorsTo) | StdBit(shFrom) | StdBit(shReplyTo) |
    StdBit(shReturnPath) | StdBit(shSender) | StdBit(shTo) | StdBit(shXComplainTo);
inline constexpr TStdSet kDomainHeaders = StdBit(shComments) | StdBit(shMessageId);

// One row of a check list: a name and its tick.
struct TCheckItem {
  std::string name;
  bool checked = false;
};

// The header block of one message: one unfolded header per line, "name:value". Look-ups by name
// ignore letter case, need the colon right after the name and find the last occurrence.
class THeaders {
 public:
  THeaders() = default;
  explicit THeaders(std::vector<std::string> lines);

  // Appends a non-empty line and returns its index; an empty text gives -1 and is not stored.
  int Add(std::string_view line);
  void AddStrings(const std::vector<std::string>& lines);
  // Replaces the list by the lines of a text broken at CR LF, CR or LF; blank lines are dropped.
  void SetText(std::string_view text);
  // The lines joined with CR LF.
  [[nodiscard]] std::string Text() const;
  void Clear();
  void Delete(int index);
  void SetLine(int index, std::string line);

  [[nodiscard]] int Count() const { return static_cast<int>(lines_.size()); }
  [[nodiscard]] const std::string& operator[](int index) const { return lines_[index]; }
  [[nodiscard]] const std::vector<std::string>& Lines() const { return lines_; }

  // Before the first ":"; empty without one or for an invalid index.
  [[nodiscard]] std::string NameAt(int index) const;
  // After the first ":", blanks trimmed; empty without one or for an invalid index.
  [[nodiscard]] std::string ValueAt(int index) const;
  [[nodiscard]] int IndexOfName(std::string_view name) const;
  [[nodiscard]] bool HasHeader(std::string_view name) const { return IndexOfName(name) >= 0; }
  [[nodiscard]] std::string ValueOf(std::string_view name) const;
  [[nodiscard]] int IndexOfStd(int number) const;
  // The whole last line of a standard header; empty when there is none.
  [[nodiscard]] std::string LineOfStd(int number) const;

  // The lines of one name from the last to the first; -1 when no more match.
  int FindFirst(std::string_view name);
  int FindNext();

  // The value at `index` as the standard header `number` reads it: the address of an address
  // header, the domain of a Comments or Message-Id value; empty for index -1.
  [[nodiscard]] std::string StdValueAt(int index, int number) const;
  // Empties `list` and fills it with the values of a standard header (addresses for To and Cc,
  // host names for Received); true when the list is not empty.
  bool StdValues(int number, std::vector<std::string>& list, bool validOnly) const;
  // Appends the host names and addresses that one Received line names; with `validOnly`, only
  // valid domains and IPv4 addresses.
  void ReceivedHosts(int index, std::vector<std::string>& list, bool validOnly) const;

  // Replaces the last line of a standard header by "name: value"; nothing when it is absent.
  void SetStd(int number, std::string_view value);
  void RemoveAll(std::string_view name);
  // The value of the last line of that name, which is deleted.
  std::string Take(std::string_view name);
  // The lines joined with CR LF, without the last "Status" and the last "X-UIDL" line.
  [[nodiscard]] std::string TextWithoutStatus() const;
  // The standard numbers present; kept until the list changes.
  [[nodiscard]] TStdSet PresentSet() const;

  // "Cc" for 1 ... "X-Complain-To" for 20; empty for other numbers.
  [[nodiscard]] static std::string StdName(int number);
  // Ignores letter case; 0 for other names.
  [[nodiscard]] static int StdNumber(std::string_view name);
  // Replaces `list` by the names of `numbers`; numbers outside 1 to 20 are left out.
  static void FillStdNames(std::vector<std::string>& list, const std::vector<int>& numbers);
  // Ticks the rows whose names are standard headers in `set` and clears the others.
  static void CheckStdNames(std::vector<TCheckItem>& list, TStdSet set);

 private:
  [[nodiscard]] bool Matches(int index, std::string_view key) const;
  [[nodiscard]] int LastMatch(std::string_view key, int before) const;
  void Changed() { present_ = 0; }

  std::vector<std::string> lines_;
  std::string searchKey_;
  int searchPos_ = -1;
  mutable TStdSet present_ = 0;
};

}  // namespace tarnwell
