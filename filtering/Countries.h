#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace tarnwell {

// The country table of the country filter: the codes (top-level domain labels) in file order,
// with each country's name and whether the user blocks it. Indices count from 0.
class TLandInfo {
 public:
  // Replaces the table with the lines of a Countries.dat file ("code,name=flag") and remembers
  // the file for saving. Raises TError when the file cannot be read.
  void LoadFromFile(const std::string& fileName);
  // Writes the table back to its file when a flag has changed since loading or the last save.
  void SaveIfDirty();

  // Flips the toggle state and gives every country that flag, so the first call blocks all.
  void ToggleAll();
  [[nodiscard]] bool IsBlocked(int index) const { return blocked_.at(Slot(index)) != 0; }
  void SetBlocked(int index, bool flag);

  [[nodiscard]] int Count() const { return static_cast<int>(codes_.size()); }
  [[nodiscard]] const std::string& Code(int index) const { return codes_.at(Slot(index)); }
  [[nodiscard]] const std::string& Name(int index) const { return names_.at(Slot(index)); }
  // The index of a code or a name, letter case ignored; -1 when there is none.
  [[nodiscard]] int IndexOfCode(std::string_view code) const;
  [[nodiscard]] int IndexOfName(std::string_view name) const;

  [[nodiscard]] const std::vector<std::string>& Codes() const { return codes_; }
  [[nodiscard]] const std::vector<std::string>& Names() const { return names_; }
  [[nodiscard]] const std::string& FileName() const { return fileName_; }
  [[nodiscard]] bool Dirty() const { return dirty_; }
  [[nodiscard]] bool ToggleState() const { return toggleState_; }

 private:
  // A negative index becomes huge, so at() rejects it like any other out-of-range one.
  static size_t Slot(int index) { return static_cast<size_t>(index); }

  std::vector<std::string> codes_;
  std::vector<std::string> names_;
  std::vector<unsigned char> blocked_;
  std::string fileName_;
  bool dirty_ = false;
  bool toggleState_ = false;
};

}  // namespace tarnwell
