#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/Clock.h"

namespace tarnwell {

class TRegistryStore;

struct TBandInfo {
  int32_t breakFlag = 0;
  int32_t width = 0;
  int32_t height = 0;
};

struct TBounds {
  int32_t left = 0, top = 0, right = 0, bottom = 0;
};

// The program-wide preferences, persisted under "\Software\Halvora\Tarnwell\Settings". Items
// are numbered 1 to 60; load and save walk them in that order.
class TSettings {
 public:
  static constexpr const char* kKeyPath = "\\Software\\Halvora\\Tarnwell\\Settings";
  static constexpr int kItemCount = 60;
  // The kind of the message-text filters, by which `ActiveFilters` says whether message texts
  // are fetched and searched at all.
  static constexpr unsigned kTextFilterKind = 5;

  enum class TGroup { All, Layout, LastAccount, Columns };

  // Without a store, the program's store is used when loading and saving.
  explicit TSettings(TRegistryStore* store = nullptr) : store_(store) {}

  // Reads items 1 to 60; raises "An error occurred during startup: Could not retrieve program
  // settings." (with "\r(" value name ")" when a value failed). Items read before keep their
  // values.
  void Load();
  // Writes the group's items; on failure writes the trace to "Settings.log" and raises "Could
  // not save program settings.".
  void Save(TGroup group);
  void SaveAll() { Save(TGroup::All); }

  void SaveLayout(const TBounds& bounds, int windowState, const std::vector<TBandInfo>& bands,
                  int updatesSplit, int killedSplit, int inboxSplit);
  [[nodiscard]] bool TextFiltersActive() const { return (ActiveFilters >> kTextFilterKind) & 1u; }
  [[nodiscard]] bool HasLayout() const { return BandInfo[0].width != 0; }
  [[nodiscard]] bool HasColumns() const { return ColsInbox[0] != 0; }
  // Sets the widths of columns 0 to 8 while the stored Live Mail width is not 0.
  void ApplyColumns(std::vector<int>& inbox, std::vector<int>& killed) const;
  void SaveColumns(const std::vector<int>& inbox, const std::vector<int>& killed);
  void SaveLastAccount(int index);
  // Reads the "HistoryOther" list (store false) or writes it as values "1", "2", … (store true).
  void History(std::vector<std::string>& list, bool store);

  // Item fields, named after their values.
  TBounds Window;
  bool ToolBarText = true;
  int32_t LastAcct = 0;
  // One bit per filter kind: bit n stands for kind n.
  uint8_t ActiveFilters = 0xFE;
  bool SaveKills = true;
  bool AutoPurge = true;
  int32_t AutoPurgeDays = 30;
  bool AutoPurgePrompt = false;
  bool BounceKill = true;
  bool BounceSetKill = true;
  bool Skip = true;
  int32_t SkipSize = 102400;
  std::string UserComplaint = "Standard user complaint";
  std::string AdminComplaint = "Standard administrator complaint";
  bool AutoCheckUpdates = true;
  int32_t LastUpdate = 94;
  bool FTPProxy = false;
  std::string FTPProxyName;
  int32_t FTPProxyPort = 21;
  uint8_t IconMode = 0;
  bool ResetCountOnClose = true;
  int32_t SplitInbox = 0;
  int32_t SplitKilled = 0;
  std::string EmailClient;
  std::string RemoveComplaint = "Standard error message";
  uint8_t RemoveAddr = 0x02;
  uint8_t ComplainAddr = 0x0C;
  std::array<TBandInfo, 10> BandInfo{};
  bool RecentComplaints = true;
  int32_t NumRecentComplaints = 50;
  bool ShowPopUp = false;
  uint8_t StdAction = 3;
  int32_t FontSize = 8;
  bool AcceptFriendsOnly = false;
  int32_t SplitUpdates = 0;
  bool EnableSounds = true;
  bool ShowHints = true;
  bool UsePassword = false;
  std::string Password;  // scrambled
  uint8_t WindowState = 0;
  bool HidePopup = true;
  int32_t HidePopUpAfter = 10;
  bool AutoRead = true;
  int32_t AutoReadAfter = 5;
  std::string PrinterFont = "Arial";
  int32_t PrinterFontSize = 10;
  std::array<int32_t, 10> ColsInbox{};
  std::array<int32_t, 10> ColsKilled{};
  TDateTime LastUpdateCheck = 0;
  bool Logging = false;

 private:
  [[nodiscard]] TRegistryStore& Store() const;
  TRegistryStore* store_;
};

// The settings of the program: those installed by the start-up, else the defaults.
TSettings& Settings();
void InstallSettings(TSettings* settings);

}  // namespace tarnwell
