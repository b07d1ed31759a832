#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "complaints/Complaint.h"

namespace tarnwell {

// The complaints sent by hand, newest first, one line of "Recent.lst" in the Complaints folder
// each.
class TRecentComplaints {
 public:
  // `MaxCount` comes from the setting NumRecentComplaints.
  TRecentComplaints();
  // Saves first when modified; a failure is ignored.
  ~TRecentComplaints();
  TRecentComplaints(const TRecentComplaints&) = delete;
  TRecentComplaints& operator=(const TRecentComplaints&) = delete;

  // Reads the file and upgrades an older one; when that fails, writes the file from what the
  // list holds. Raises TError when that cannot be written either.
  void Load();
  // Raises TError when the file cannot be written.
  void Save();
  void Close();
  // Puts the complaint first, dropping the last entry beyond `MaxCount`.
  void Add(const TComplaint& complaint);
  void Delete(int index);
  // Swaps the entry with the first one.
  void PromoteEntry(int index);
  // The first entry whose user addresses hold one of `addresses` (case ignored).
  bool FindSender(const std::vector<std::string>& addresses, int& index);
  // The entry parsed into a complaint owned by the list, valid until the next call.
  TComplaint& Entry(int index);
  // Its first user address, else its first administrator address, else its first other one.
  [[nodiscard]] std::string Caption(int index);
  // Rewrites the lines of an older file (eleven fields without a version) and saves.
  void Upgrade();

  [[nodiscard]] static std::string FileName();
  [[nodiscard]] int Count() const { return static_cast<int>(lines_.size()); }
  [[nodiscard]] const std::vector<std::string>& Lines() const { return lines_; }

  int MaxCount;
  bool Modified = false;

 private:
  [[nodiscard]] bool ValidIndex(int index) const { return index >= 0 && index < Count(); }

  std::vector<std::string> lines_;
  TComplaint scratch_;
};

// One line of an older Recent.lst in the current form.
[[nodiscard]] std::string UpgradeRecentLine(std::string_view line);

}  // namespace tarnwell
