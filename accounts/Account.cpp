#include "accounts/Account.h"

#include <cstdio>
#include <ctime>

#include "message/QStrings.h"
#include "message/SvcString.h"
#include "message/SvcSystem.h"
#include "platform/DateTime.h"
#include "platform/DialUp.h"
#include "platform/Files.h"
#include "platform/Registry.h"
#include "shell/LogFile.h"
#include "shell/ProgramFolders.h"
#include "shell/Settings.h"

namespace tarnwell {

namespace {

constexpr const char* kSoundFiles[4] = {"New mail 1.wav", "Possible spam 1.wav", "Spam 1.wav",
                                        "Friend 1.wav"};

void Log(const std::string& text) { ProgramLog().Add(text); }

// A value of an event sub-key: a missing or mistyped one leaves the default.
void ReadEventBool(const TRegistry& registry, const char* name, bool& value) {
  if (registry.GetDataType(name) == TRegDataType::Integer) value = registry.ReadBool(name);
}

void ReadEventString(const TRegistry& registry, const char* name, std::string& value) {
  if (registry.GetDataType(name) == TRegDataType::String) value = registry.ReadString(name);
}

}  // namespace

std::string AccountTypeName(uint8_t type) {
  switch (type) {
    case akPOP3: return "Internet (POP3)";
    case akMapi: return "MAPI";
    case akHotmail: return "MSN/Hotmail";
    case akAOL: return "AOL";
    case akYahoo: return "Yahoo webmail";
    default: return std::string();
  }
}

std::string ShortDateTimeText(TDateTime value) { return FormatDateTime(value, "%x %X"); }

TAccount::TAccount(uint8_t type) : Type(type) {
  DialUp = IsModemConnection();
  CheckTypes = DialUp ? 6 : 5;
  MinutesInterval = 10.0 / 1440.0;
  HoursInterval = 2.0 / 24.0;
  DailyTime = 0.5;
  MinimumInterval = 1.0 / 1440.0;
  const std::string sounds = TProgramFolders::SoundsFolder();
  for (size_t i = 0; i < Events.size(); ++i) Events[i].Sound = sounds + kSoundFiles[i];
}

TAccount::~TAccount() { ClearOutbox(); }

void TAccount::ClearOutbox() {
  while (Outbox.Count() > 0) Outbox.Extract(Outbox.Count() - 1);
}

void TAccount::SetCancelled(bool value) {
  Cancelled = value;
  if (value) Notify(OnCancel);
}

void TAccount::SetLogging(bool) {}

std::string TAccount::GetFirstUID() { return GetUID(1); }

std::string TAccount::GetUID(int32_t number) {
  if (number < 1 || static_cast<size_t>(number) > UIDs.size()) return std::string();
  return UIDs[static_cast<size_t>(number) - 1];
}

bool TAccount::IsTooLarge(int index) {
  const TSettings& settings = Settings();
  return settings.Skip && Inbox[index]->Length > settings.SkipSize;
}

bool TAccount::IsSkipped(int) { return false; }

bool TAccount::IsRead(int) { return false; }

bool TAccount::LoginIncoming() {
  LoggedIn = false;
  Log("Logging in to incoming server: " + Description);
  Notify(OnLoginIncoming);
  return false;
}

void TAccount::LogoutIncoming() {
  UIDs.clear();
  Log("Logging out from incoming server: " + Description);
  if (LoggedIn) Notify(OnLogoutIncoming);
  LoggedIn = false;
}

bool TAccount::LoginOutgoing() {
  Log("Logging in to outgoing server: " + Description);
  Notify(OnLoginOutgoing);
  return false;
}

void TAccount::LogoutOutgoing() {
  LoggedIn = false;
  Log("Logging out from outgoing server: " + Description);
  Notify(OnLogoutOutgoing);
}

int32_t TAccount::MacroCount() { return 2; }

std::string TAccount::MacroName(int32_t n) {
  switch (n) {
    case 1: return "%DATETIME";
    case 2: return "%EMAIL";
    default: return std::string();
  }
}

std::string TAccount::MacroValue(int32_t n) {
  switch (n) {
    case 1: return FormatMessageDate(TClock::Current().Now());
    case 2: return Email;
    default: return std::string();
  }
}

std::string TAccount::KeyName() const {
  char name[16];
  std::snprintf(name, sizeof name, "%010d", ID);
  return name;
}

std::string TAccount::FolderPath() const {
  return TProgramFolders::AccountsFolder() + KeyName() + "/";
}

std::string TAccount::TypeName() const { return AccountTypeName(Type); }

std::string TAccount::ConnectionName() const {
  return DialUp ? Connection : std::string("Direct connection");
}

void TAccount::SetID(int32_t id) {
  ID = id;
  SetFolders();
}

void TAccount::SetFolders() {
  const std::string folder = FolderPath();
  Inbox.SetFolder(folder + "Inbox");
  Killed.SetFolder(folder + "Killed");
  // The stored next number can lag behind the folder when the program ended between a kill and
  // the saving of the numbers; a stale number would overwrite killed mail.
  for (int i = 0; i < Killed.Count(); ++i)
    if (Killed[i]->ID >= Killed.NextID) Killed.NextID = Killed[i]->ID + 1;
}

void TAccount::Load(TRegistry& registry) {
  ID = registry.ReadInteger("ID");
  (void)registry.ReadInteger("Type");
  Active = registry.ReadBool("Active");
  Description = registry.ReadString("Description");
  Name = registry.ReadString("Name");
  Email = registry.ReadString("Email");
  Password = registry.ReadString("Password");
  DialUp = registry.ReadBool("DialUp");
  ForceDial = registry.ReadBool("ForceDial");
  Connection = registry.ReadString("Connection");
  StayConnected = registry.ReadBool("StayConnected");
  registry.ReadBinaryData("CheckTypes", &CheckTypes, 1);
  IntervalType = static_cast<uint8_t>(registry.ReadInteger("IntervalType"));
  switch (IntervalType) {
    case itMinutes: MinutesInterval = registry.ReadFloat("Time"); break;
    case itHours: HoursInterval = registry.ReadFloat("Time"); break;
    case itDaily: DailyTime = registry.ReadFloat("Time"); break;
    default: break;
  }
  LastCheck = registry.ReadFloat("LastCheck");
  DetermineNextCheck();

  const std::string path = registry.CurrentPath();
  for (size_t i = 0; i < Events.size(); ++i) {
    if (!registry.OpenKeyReadOnly(path + "\\" + kEventKeys[i])) continue;
    TEventParam& event = Events[i];
    ReadEventBool(registry, "SoundEnabled", event.SoundEnabled);
    ReadEventString(registry, "Sound", event.Sound);
    ReadEventBool(registry, "AppEnabled", event.AppEnabled);
    ReadEventBool(registry, "UseEmailApp", event.UseEmailApp);
    ReadEventString(registry, "Application", event.Application);
  }
  if (!registry.OpenKey(path, false)) throw ERegistryError("The key \"" + path + "\" is gone.");

  Inbox.NextID = registry.ReadInteger("NextInboxID");
  Killed.NextID = registry.ReadInteger("NextKilledID");
  RasUserName = registry.ReadString("RasUserName");
  RasPassword = UnscramblePassword(registry.ReadString("RasPassword"));
  if (registry.ValueExists("ForceRun")) ForceRun = registry.ReadBool("ForceRun");
  SetFolders();
}

void TAccount::Save(TRegistry& registry) {
  const std::string path = std::string(kAccountsKey) + "\\" + KeyName();
  if (!registry.OpenKey(path, true))
    throw ERegistryError("The key \"" + path + "\" cannot be made.");
  registry.WriteInteger("ID", ID);
  registry.WriteInteger("Type", Type);
  registry.WriteBool("Active", Active);
  registry.WriteString("Description", Description);
  registry.WriteString("Name", Name);
  registry.WriteString("Email", Email);
  registry.WriteString("Password", Password);
  registry.WriteBool("DialUp", DialUp);
  registry.WriteBool("ForceDial", ForceDial);
  registry.WriteString("Connection", Connection);
  registry.WriteBool("StayConnected", StayConnected);
  registry.WriteBinaryData("CheckTypes", &CheckTypes, 1);
  registry.WriteInteger("IntervalType", IntervalType);
  TDateTime time = 0;
  switch (IntervalType) {
    case itMinutes: time = MinutesInterval; break;
    case itHours: time = HoursInterval; break;
    case itDaily: time = DailyTime; break;
    default: break;
  }
  registry.WriteFloat("Time", time);
  registry.WriteFloat("LastCheck", LastCheck);

  for (size_t i = 0; i < Events.size(); ++i) {
    if (!registry.OpenKey(path + "\\" + kEventKeys[i], true))
      throw ERegistryError("The key \"" + path + "\\" + kEventKeys[i] + "\" cannot be made.");
    const TEventParam& event = Events[i];
    registry.WriteBool("SoundEnabled", event.SoundEnabled);
    registry.WriteString("Sound", Trim(event.Sound));
    registry.WriteBool("AppEnabled", event.AppEnabled);
    registry.WriteBool("UseEmailApp", event.UseEmailApp);
    registry.WriteString("Application", Trim(event.Application));
  }
  if (!registry.OpenKey(path, true)) throw ERegistryError("The key \"" + path + "\" is gone.");

  registry.WriteInteger("NextInboxID", Inbox.NextID);
  registry.WriteInteger("NextKilledID", Killed.NextID);
  registry.WriteString("RasUserName", RasUserName);
  registry.WriteString("RasPassword", ScramblePassword(RasPassword));
  registry.WriteBool("ForceRun", ForceRun);
}

void TAccount::SaveSettings() {
  try {
    TRegistryStore& store = TRegistryStore::Current();
    TRegistryTransaction transaction(store);
    TRegistry registry(store);
    if (!registry.OpenKey(kAccountsKey, true)) throw TError("");
    Save(registry);
    transaction.Commit();
  } catch (const std::exception& error) {
    throw ErrorWithReason("Could not save account settings.", error);
  }
}

void TAccount::SaveNextIDs() {
  try {
    TRegistryStore& store = TRegistryStore::Current();
    TRegistryTransaction transaction(store);
    TRegistry registry(store);
    if (!registry.OpenKey(std::string(kAccountsKey) + "\\" + KeyName(), true)) throw TError("");
    registry.WriteInteger("NextInboxID", Inbox.NextID);
    registry.WriteInteger("NextKilledID", Killed.NextID);
    transaction.Commit();
  } catch (const std::exception& error) {
    throw ErrorWithReason("Could not update account settings.", error);
  }
}

void TAccount::SaveLastCheck() {
  const std::string path = std::string(kAccountsKey) + "\\" + KeyName();
  TRegistryStore* store = nullptr;
  try {
    store = &TRegistryStore::Current();
  } catch (const ERegistryError&) {
    return;
  }
  TRegistry registry(*store);
  try {
    if (!registry.OpenKey(path, true)) return;
  } catch (const ERegistryError&) {
    return;
  }
  registry.WriteFloat("LastCheck", LastCheck);
}

void TAccount::DetermineNextCheck() {
  Log("Determining time for next check: " + Description);
  if (CheckTypes & TriggerBit(ctSchedule)) {
    const TDateTime now = TClock::Current().Now();
    const auto today = static_cast<TDateTime>(DateOf(now));
    switch (IntervalType) {
      case itMinutes: NextCheck = now + MinutesInterval; break;
      case itHours: NextCheck = now + HoursInterval; break;
      case itDaily: NextCheck = (now - today > DailyTime ? today + 1 : today) + DailyTime; break;
      default: break;
    }
  } else {
    NextCheck = 0;
  }
  const std::string time = ShortDateTimeText(NextCheck);
  if (time.empty())
    Log("Error while trying to determine next check: " + Description);
  else
    Log("Done determining time for next check: " + Description + ", Time: " + time);
}

bool TAccount::IsDue(TCheckTrigger trigger) const {
  if (!Active) return false;
  switch (trigger) {
    case ctStartup:
    case ctConnection: return (CheckTypes & TriggerBit(trigger)) != 0;
    case ctSchedule:
      // Without the schedule bit there is no next check (it is 0), not one that is always due.
      return IntervalType != itManual && (CheckTypes & TriggerBit(ctSchedule)) &&
             TClock::Current().Now() >= NextCheck;
    case ctOnDemand: return true;
  }
  return false;
}

int32_t TAccount::PurgeKilled(int32_t days, bool remove) {
  const int64_t today = DateOf(TClock::Current().Now());
  int32_t count = 0;
  for (int i = 0; i < Killed.Count();) {
    const std::string base = Killed[i]->BasePath();
    // A message whose text was never retrieved has no text file; its header file dates it.
    std::time_t written = FileModTime(base + ".txt");
    if (written == 0) written = FileModTime(base + ".hdr");
    if (written == 0) throw TError("The killed message \"" + base + "\" cannot be dated.");
    if (today - DateOf(UnixToLocalDateTime(written)) >= days) {
      ++count;
      if (remove) {
        Killed.Delete(i);
        continue;
      }
    }
    ++i;
  }
  return count;
}

bool TAccount::DialIfNeeded(bool& dialed) {
  dialed = false;
  TDialUp& dialUp = TDialUp::Current();
  if (!DialUp || dialUp.IsAnyConnected()) return true;
  dialUp.RefreshEntries();
  int index = -1;
  const std::vector<std::string>& entries = dialUp.Entries();
  for (size_t i = 0; i < entries.size(); ++i) {
    if (SameText(entries[i], Connection)) {
      index = static_cast<int>(i);
      break;
    }
  }
  dialed = dialUp.DialEntryAs(index, RasUserName, RasPassword) == 0;
  return dialUp.IsAnyConnected();
}

void TAccount::HangUpIfConnected() {
  TDialUp& dialUp = TDialUp::Current();
  if (dialUp.IsDialedConnected()) dialUp.HangUpDialed();
}

std::string TAccount::Position(int index) const {
  return std::to_string(index + 1) + " (of " + std::to_string(Inbox.Count()) + ")";
}

void TAccount::ReportError(const std::exception& error) {
  if (OnError) OnError(error);
}

}  // namespace tarnwell
