#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "filtering/Filters.h"
#include "filtering/TextSearch.h"

namespace tarnwell {

class TEmail;
class THeaders;
class TLandInfo;
class TDeMIME;

struct TClassification {
  bool Matched = false;
  uint8_t Status = msChecked;
};

// All filters of the program, grouped by kind, with the engine that classifies a message.
// The main list also keeps the six system filters and the country table; short-lived lists
// read other files of the same format (updates, a saved friends list).
class TFilterList {
 public:
  static constexpr int32_t kVersion = 573;
  static constexpr int32_t kPreviousVersion = 512;
  static constexpr size_t kHeaderSize = 36;

  explicit TFilterList(std::string fileName = std::string());
  ~TFilterList();
  TFilterList(const TFilterList&) = delete;
  TFilterList& operator=(const TFilterList&) = delete;

  // Reads `FileName`; a missing file gives a new list, written out. A damaged one (filters that
  // cannot be read, a cut-off end, system filters to set up again) is kept as it was under the
  // first free name of "FileName.damaged", "FileName.damaged.1", … before anything is written
  // over it, and the list is written back as it loaded; `LoadWarning` then says so. Raises when
  // the damaged file cannot be kept.
  void Load(bool useSystemFilters);
  // What the last `Load` found damaged and where the file as it was is kept, for the caller to
  // tell the user; empty when the file was sound or missing.
  [[nodiscard]] const std::string& LoadWarning() const { return loadWarning_; }
  [[nodiscard]] const std::string& DamagedCopy() const { return damagedCopy_; }
  // Adds the filter in its kind's group and gives it the next number of its kind.
  TFilter* Add(std::unique_ptr<TFilter> filter);
  void FilterChanged(int index);
  void Delete(int index);
  void DeleteMany(const std::vector<int>& indexes);
  void DeleteUpdate(int32_t updateNumber);
  [[nodiscard]] int CountOfKind(uint8_t kind, TOriginSet origins) const;
  [[nodiscard]] bool FindEqual(const TFilter& filter, int& index) const;
  [[nodiscard]] int IndexOfNth(int n, uint8_t kind, TOriginSet origins) const;
  [[nodiscard]] TFilter* FindByID(uint8_t kind, int32_t id) const;
  [[nodiscard]] TFilter* SystemFilter(int n) const;
  [[nodiscard]] int SystemFilterCount() const;
  void SetRecipientsForAction(uint8_t action, uint8_t recipients);
  void SetActionOf(const std::vector<int>& indexes, const TFilter& model);
  void Save();
  void SaveIfModified();
  // Writes the filters of the kinds in `kinds` (bit n = kind n) to a file of the filter format.
  void WriteFile(uint32_t kinds, const std::string& fileName);
  void FiltersOfKind(uint8_t kind, TOriginSet origins, std::vector<TFilter*>& out) const;
  [[nodiscard]] bool IsModified() const;
  [[nodiscard]] TFilter* Filter(int index) const;
  [[nodiscard]] int Count() const { return static_cast<int>(entries_.size()); }
  [[nodiscard]] int IndexOf(const TFilter* filter) const;
  void SetCountryBlocked(int country, bool flag);
  void SetOwnNames(std::vector<std::string> users, std::vector<std::string> domains);
  void AddSystemFilters();
  void DeleteSystemFilters();
  // Takes every filter out of the list without freeing it (moving a short-lived list's filters
  // into the main list).
  std::vector<std::unique_ptr<TFilter>> TakeAll();

  // Classifies a message with every filter, or with `only` alone.
  TClassification Classify(TEmail& message, TFilter* only = nullptr);
  // The same for a message of a folder, with its body as LoadBody would load it but read from
  // its file straight into the texts the filters search, so that a large message is never in
  // memory as lines and as texts at once; the message's own lines are not touched.
  TClassification ClassifyStored(TEmail& message, TFilter* only = nullptr);

  [[nodiscard]] TFilter* Current() const { return current_; }
  [[nodiscard]] TLandInfo* Countries() const { return countries_.get(); }
  [[nodiscard]] const std::string& FileName() const { return fileName_; }
  void SetLogging(bool logging) { logging_ = logging; }
  [[nodiscard]] const int32_t* NextIDs() const { return nextID_.data(); }

  bool AutoSave = true;
  bool Modified = false;

 private:
  // False when the file is missing, cannot be opened or holds no whole header; adds what it
  // found damaged to `damage`.
  bool ReadFile(std::vector<std::string>& damage);
  void KeepDamagedFile(const std::vector<std::string>& damage);
  void WriteIfAutoSave();
  TClassification Classify(TEmail& message, TFilter* only, bool stored);
  // From the stored body (see ClassifyStored) or the loaded lines.
  void BuildContext(TEmail& message, bool stored);
  // Sets the body texts of the context from the lines `forEachLine` gives (it calls its
  // argument with each line and says whether all could be read); `size` is what they are
  // expected to take. False when they could not be read.
  template <typename TLines>
  bool SetBodyTexts(const THeaders& headers, const TLines& forEachLine, size_t size);
  void LogResult(const TEmail& message, uint8_t status);
  // Lets the user interface run now and then during a long classification.
  void ProcessEventsNow();
  [[nodiscard]] std::vector<TFilter*>& SubList(uint8_t kind) { return subLists_[kind]; }

  std::string fileName_;
  std::string loadWarning_;
  std::string damagedCopy_;
  bool useSystemFilters_ = false;
  bool logging_ = false;
  std::vector<std::unique_ptr<TFilter>> entries_;
  std::array<int32_t, 8> nextID_{};
  std::array<std::vector<TFilter*>, 8> subLists_;
  TNotAFriend notAFriend_;
  std::unique_ptr<TDeMIME> decoder_;
  std::vector<std::string> scratch_;
  std::unique_ptr<TLandInfo> countries_;
  TFilter* current_ = nullptr;
  std::vector<std::string> ownUserNames_;
  std::vector<std::string> ownDomainNames_;
  TEvaluationContext context_;
  TTextSearch textSearch_;
  bool searchDirty_ = true;
  unsigned triedSinceEvents_ = 0;
  int64_t lastEventsMs_ = 0;
};

}  // namespace tarnwell
