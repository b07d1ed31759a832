#include "shell/Settings.h"

#include <cstring>
#include <functional>

#include "platform/Error.h"
#include "platform/Files.h"
#include "platform/Registry.h"
#include "shell/ProgramFolders.h"

namespace tarnwell {

namespace {

TSettings* installedSettings = nullptr;

enum class TKind { NotStored, Bool, ByteInt, Int, String, Binary, DateTime, WriteOnlyString };

struct TItem {
  const char* name;
  TKind kind;
  void* field;
  size_t size;  // bytes of a binary item
};

const char* const kStartupPrefix = "An error occurred during startup: ";
const char* const kLoadFailed = "Could not retrieve program settings.";

void ReadItem(const TRegistry& reg, const TItem& item) {
  switch (item.kind) {
    case TKind::NotStored:
    case TKind::WriteOnlyString: return;
    case TKind::Bool: *static_cast<bool*>(item.field) = reg.ReadInteger(item.name) != 0; return;
    case TKind::ByteInt:
      *static_cast<uint8_t*>(item.field) = static_cast<uint8_t>(reg.ReadInteger(item.name));
      return;
    case TKind::Int: *static_cast<int32_t*>(item.field) = reg.ReadInteger(item.name); return;
    case TKind::String: *static_cast<std::string*>(item.field) = reg.ReadString(item.name); return;
    case TKind::Binary:
    case TKind::DateTime: reg.ReadBinaryData(item.name, item.field, item.size); return;
  }
}

void WriteItem(TRegistry& reg, const TItem& item) {
  switch (item.kind) {
    case TKind::NotStored: return;
    case TKind::Bool: reg.WriteInteger(item.name, *static_cast<bool*>(item.field) ? 1 : 0); return;
    case TKind::ByteInt: reg.WriteInteger(item.name, *static_cast<uint8_t*>(item.field)); return;
    case TKind::Int: reg.WriteInteger(item.name, *static_cast<int32_t*>(item.field)); return;
    case TKind::String:
    case TKind::WriteOnlyString:
      reg.WriteString(item.name, *static_cast<std::string*>(item.field));
      return;
    case TKind::Binary:
    case TKind::DateTime: reg.WriteBinaryData(item.name, item.field, item.size); return;
  }
}

std::vector<int> GroupItems(TSettings::TGroup group) {
  switch (group) {
    case TSettings::TGroup::Layout: return {2, 24, 25, 30, 37, 43};
    case TSettings::TGroup::LastAccount: return {5};
    case TSettings::TGroup::Columns: return {50, 51};
    case TSettings::TGroup::All: break;
  }
  std::vector<int> all;
  for (int i = 1; i <= TSettings::kItemCount; ++i) all.push_back(i);
  return all;
}

}  // namespace

// The item table in number order; `installDir` stands in for item 60, which is written from the
// program folder and never read.
static std::vector<TItem> Items(TSettings& s, std::string& installDir) {
  return {
      {"DialUpConnection", TKind::NotStored, nullptr, 0},
      {"Window", TKind::Binary, &s.Window, sizeof s.Window},
      {"WindowsCaption", TKind::NotStored, nullptr, 0},
      {"ToolBarText", TKind::Bool, &s.ToolBarText, 0},
      {"LastAcct", TKind::Int, &s.LastAcct, 0},
      {"ActiveFilters", TKind::Binary, &s.ActiveFilters, 1},
      {"SaveKills", TKind::Bool, &s.SaveKills, 0},
      {"AutoPurge", TKind::Bool, &s.AutoPurge, 0},
      {"AutoPurgeDays", TKind::Int, &s.AutoPurgeDays, 0},
      {"AutoPurgePrompt", TKind::Bool, &s.AutoPurgePrompt, 0},
      {"BounceKill", TKind::Bool, &s.BounceKill, 0},
      {"BounceSetKill", TKind::Bool, &s.BounceSetKill, 0},
      {"Skip", TKind::Bool, &s.Skip, 0},
      {"SkipSize", TKind::Int, &s.SkipSize, 0},
      {"UserComplaint", TKind::String, &s.UserComplaint, 0},
      {"AdminComplaint", TKind::String, &s.AdminComplaint, 0},
      {"AutoCheckUpdates", TKind::Bool, &s.AutoCheckUpdates, 0},
      {"LastUpdate", TKind::Int, &s.LastUpdate, 0},
      {"FTPProxy", TKind::Bool, &s.FTPProxy, 0},
      {"FTPProxyName", TKind::String, &s.FTPProxyName, 0},
      {"FTPProxyPort", TKind::Int, &s.FTPProxyPort, 0},
      {"IconMode", TKind::ByteInt, &s.IconMode, 0},
      {"ResetCountOnClose", TKind::Bool, &s.ResetCountOnClose, 0},
      {"SplitInbox", TKind::Int, &s.SplitInbox, 0},
      {"SplitKilled", TKind::Int, &s.SplitKilled, 0},
      {"EmailClient", TKind::String, &s.EmailClient, 0},
      {"RemoveComplaint", TKind::String, &s.RemoveComplaint, 0},
      {"RemoveAddr", TKind::Binary, &s.RemoveAddr, 1},
      {"ComplainAddr", TKind::Binary, &s.ComplainAddr, 1},
      {"BandInfo", TKind::Binary, s.BandInfo.data(), sizeof s.BandInfo},
      {"RecentComplaints", TKind::Bool, &s.RecentComplaints, 0},
      {"NumRecentComplaints", TKind::Int, &s.NumRecentComplaints, 0},
      {"ShowPopUp", TKind::Bool, &s.ShowPopUp, 0},
      {"StdAction", TKind::ByteInt, &s.StdAction, 0},
      {"FontSize", TKind::Int, &s.FontSize, 0},
      {"AcceptFriendsOnly", TKind::Bool, &s.AcceptFriendsOnly, 0},
      {"SplitUpdates", TKind::Int, &s.SplitUpdates, 0},
      {"EnableSounds", TKind::Bool, &s.EnableSounds, 0},
      {"TopParam", TKind::NotStored, nullptr, 0},
      {"ShowHints", TKind::Bool, &s.ShowHints, 0},
      {"UsePassword", TKind::Bool, &s.UsePassword, 0},
      {"Password", TKind::String, &s.Password, 0},
      {"WindowState", TKind::ByteInt, &s.WindowState, 0},
      {"HidePopup", TKind::Bool, &s.HidePopup, 0},
      {"HidePopUpAfter", TKind::Int, &s.HidePopUpAfter, 0},
      {"AutoRead", TKind::Bool, &s.AutoRead, 0},
      {"AutoReadAfter", TKind::Int, &s.AutoReadAfter, 0},
      {"PrinterFont", TKind::String, &s.PrinterFont, 0},
      {"PrinterFontSize", TKind::Int, &s.PrinterFontSize, 0},
      {"ColsInbox", TKind::Binary, s.ColsInbox.data(), sizeof s.ColsInbox},
      {"ColsKilled", TKind::Binary, s.ColsKilled.data(), sizeof s.ColsKilled},
      {"UseHTTPProxy", TKind::NotStored, nullptr, 0},
      {"HTTPProxy", TKind::NotStored, nullptr, 0},
      {"HTTPProxyPort", TKind::NotStored, nullptr, 0},
      {"HTTPProxyUser", TKind::NotStored, nullptr, 0},
      {"HTTPProxyPassword", TKind::NotStored, nullptr, 0},
      {"MainFolder", TKind::NotStored, nullptr, 0},
      {"LastUpdateCheck", TKind::DateTime, &s.LastUpdateCheck, sizeof s.LastUpdateCheck},
      {"Logging", TKind::Bool, &s.Logging, 0},
      {"Install Dir", TKind::WriteOnlyString, &installDir, 0},
  };
}

static_assert(sizeof(TBounds) == 16 && sizeof(TBandInfo) * 10 == 120,
              "stored records must keep their sizes");

TRegistryStore& TSettings::Store() const { return store_ ? *store_ : TRegistryStore::Current(); }

void TSettings::Load() {
  TRegistry reg(Store());
  if (!reg.OpenKeyReadOnly(kKeyPath)) throw TError(std::string(kStartupPrefix) + kLoadFailed);
  std::string installDir;
  for (const TItem& item : Items(*this, installDir)) {
    try {
      ReadItem(reg, item);
    } catch (const TError&) {
      throw TError(std::string(kStartupPrefix) + kLoadFailed + "\r(" + item.name + ")");
    }
  }
}

void TSettings::Save(TGroup group) {
  std::vector<std::string> trace{kKeyPath};
  std::string installDir = TProgramFolders::ProgramFolder();
  const std::vector<TItem> items = Items(*this, installDir);
  try {
    TRegistryTransaction transaction(Store());
    TRegistry reg(Store());
    if (!reg.OpenKey(kKeyPath, true)) throw TError("The settings key cannot be opened.");
    for (const int number : GroupItems(group)) {
      const TItem& item = items[number - 1];
      trace.push_back(item.name);
      WriteItem(reg, item);
    }
    transaction.Commit();
  } catch (const std::exception& error) {
    trace.push_back(kKeyPath);
    std::string text;
    for (const std::string& line : trace) text += line + "\r\n";
    try {
      WriteFileDirect(TProgramFolders::ProgramFolder() + "Settings.log", text);
    } catch (const TError&) {
    }
    throw ErrorWithReason("Could not save program settings.", error);
  }
}

void TSettings::SaveLayout(const TBounds& bounds, int windowState,
                           const std::vector<TBandInfo>& bands, int updatesSplit, int killedSplit,
                           int inboxSplit) {
  if (windowState != 2) Window = bounds;
  WindowState = static_cast<uint8_t>(windowState);
  SplitUpdates = updatesSplit;
  SplitKilled = killedSplit;
  SplitInbox = inboxSplit;
  for (size_t i = 0; i < bands.size() && i < BandInfo.size(); ++i) BandInfo[i] = bands[i];
  Save(TGroup::Layout);
}

void TSettings::ApplyColumns(std::vector<int>& inbox, std::vector<int>& killed) const {
  for (size_t pos = 0; pos <= 8 && ColsInbox[pos] != 0; ++pos) {
    if (pos < inbox.size()) inbox[pos] = ColsInbox[pos];
    if (pos < killed.size()) killed[pos] = ColsKilled[pos];
  }
}

void TSettings::SaveColumns(const std::vector<int>& inbox, const std::vector<int>& killed) {
  // Widths past the last column are 0, which ends the stored list.
  for (size_t i = 0; i < ColsInbox.size(); ++i) {
    ColsInbox[i] = i < inbox.size() ? inbox[i] : 0;
    ColsKilled[i] = i < killed.size() ? killed[i] : 0;
  }
  Save(TGroup::Columns);
}

void TSettings::SaveLastAccount(int index) {
  LastAcct = index < 0 ? 0 : index;
  Save(TGroup::LastAccount);
}

void TSettings::History(std::vector<std::string>& list, bool store) {
  TRegistry reg(Store());
  if (!reg.OpenKey(std::string(kKeyPath) + "\\HistoryOther", true))
    throw TError("The history key cannot be opened.");
  if (store) {
    TRegistryTransaction transaction(Store());
    for (size_t i = 0; i < list.size(); ++i) reg.WriteString(std::to_string(i + 1), list[i]);
    transaction.Commit();
    return;
  }
  list.clear();
  const size_t count = reg.ValueCount();
  for (size_t i = 1; i <= count; ++i) list.push_back(reg.ReadString(std::to_string(i)));
}

TSettings& Settings() {
  static TSettings defaults;
  return installedSettings ? *installedSettings : defaults;
}

void InstallSettings(TSettings* settings) { installedSettings = settings; }

}  // namespace tarnwell
