#pragma once

#include <array>
#include <cstdint>
#include <exception>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "filtering/FilterTypes.h"
#include "message/Emails.h"
#include "message/MIME.h"
#include "platform/Clock.h"
#include "platform/Error.h"

namespace tarnwell {

class TAccount;
class TFilter;
class TFilterList;
class TRegistry;

// The kinds of account, stored as the account's `Type`.
enum TAccountKind : uint8_t {
  akPOP3 = 1,
  akMapi = 3,
  akHotmail = 4,
  akAOL = 5,
  akYahoo = 6,
};

// The occasions of a check. Bits 0 to 2 of `CheckTypes` say which of the first three apply.
enum TCheckTrigger : uint8_t {
  ctStartup = 0,
  ctConnection = 1,
  ctSchedule = 2,
  ctOnDemand = 3,
};
// A set of occasions, bit n = occasion n.
using TTriggerSet = uint8_t;
[[nodiscard]] constexpr TTriggerSet TriggerBit(TCheckTrigger trigger) {
  return static_cast<TTriggerSet>(1u << trigger);
}

enum TIntervalType : uint8_t {
  itMinutes = 0,
  itHours = 1,
  itDaily = 2,
  itManual = 3,
};

// The four events of a check, in the order of `TEmailEvents`.
enum TEventKind : int {
  evNewMail = 0,
  evPossibleSpam = 1,
  evSpam = 2,
  evFriendlyMail = 3,
};

// One event's sound and program.
struct TEventParam {
  bool SoundEnabled = false;
  std::string Sound;
  bool AppEnabled = false;
  bool UseEmailApp = false;
  std::string Application;
};
using TEmailEvents = std::array<TEventParam, 4>;

// Raised by a kind's `FindServerNumber` for a Live Mail message that left the server.
class TNoMessageException : public TError {
 public:
  TNoMessageException() : TError("The message was not found on the server.") {}
};

using TAccountNotify = std::function<void(TAccount& account)>;
using TErrorNotify = std::function<void(const std::exception& error)>;
// Position counts from 1.
using TSendNotify = std::function<void(TEmail& message, int position, int count)>;

// Whether a check ends by letting the front end's windows catch up with it: pending events run,
// half a second passes, and they run again. On unless a front end without windows turns it off.
void SetSettleAfterCheck(bool settle);
[[nodiscard]] bool SettlesAfterCheck();

// What every account kind shares: settings, schedule, events, the Live Mail and Killed Mail
// folders, the queue of outgoing complaints and the check itself. The protocol work is the
// kinds' (the pure virtual operations below).
class TAccount {
 public:
  static constexpr const char* kAccountsKey = "\\Software\\Halvora\\Tarnwell\\Accounts";
  static constexpr const char* kEventKeys[4] = {"OnNewMail", "OnPossibleSpam", "OnSpam",
                                                "OnFriendlyMail"};

  // The defaults of a new account of kind `type`.
  explicit TAccount(uint8_t type);
  virtual ~TAccount();
  TAccount(const TAccount&) = delete;
  TAccount& operator=(const TAccount&) = delete;

  // The operations of a kind, in this order.
  virtual void SetCancelled(bool value);
  virtual void SetLogging(bool on);
  [[nodiscard]] virtual std::string GetFirstUID();
  // The `number`-th UID of the server's list (from 1), or empty.
  [[nodiscard]] virtual std::string GetUID(int32_t number);
  [[nodiscard]] virtual std::unique_ptr<TEmail> GetFirstMessage(const std::string& uid) = 0;
  // The headers of server message `number` as a new record, or none when there is no such
  // message. An empty `uid` lets the kind find the record's UID.
  [[nodiscard]] virtual std::unique_ptr<TEmail> GetMessage(int32_t number,
                                                           const std::string& uid) = 0;
  [[nodiscard]] virtual bool IsTooLarge(int index);
  [[nodiscard]] virtual bool IsSkipped(int index);
  [[nodiscard]] virtual bool IsRead(int index);
  // Fetches the whole text of the Live Mail message at `index` (server number hint `number`)
  // into its record and marks the text retrieved.
  virtual void ReadBody(int index, int32_t number) = 0;
  virtual void SaveOriginal(int index, int32_t number) = 0;
  // Sends one message over the open outgoing session.
  virtual void SendMessage(TEmail& message) = 0;
  virtual bool LoginIncoming();
  virtual void LogoutIncoming();
  // Ends the incoming session so that nothing done in it takes effect on the server (a POP3
  // session closed without QUIT); a kind without such a way logs out.
  virtual void AbandonIncoming() { LogoutIncoming(); }
  virtual bool LoginOutgoing();
  virtual void LogoutOutgoing();
  // The server's number of the Live Mail message at `index`; raises `TNoMessageException`.
  [[nodiscard]] virtual int32_t FindServerNumber(int index) = 0;
  // Sends a message built to pass a killed message back to the user, marked as forwarded.
  virtual void ForwardMessage(TEmail& message) = 0;
  virtual void RestoreMessage(TEmail& message) = 0;
  virtual bool SendComplaints(bool clearOutbox);
  virtual void RetrieveMessages(const std::vector<int>& indexes) = 0;
  virtual void DeleteMessages(const std::vector<int>& indexes) = 0;
  // Deletes the Live Mail message at `index` from the server only.
  virtual void DeleteMessage(int index, int32_t number) = 0;
  // True when the server carries out deletions only when the session ends normally (POP3), so
  // the copies of killed messages need to be on the disk by the logout rather than one by one.
  [[nodiscard]] virtual bool DeletesAtLogout() const { return false; }
  // False once the incoming session has been lost: a failure that closed it ends the check,
  // while a refusal of one message leaves it open for the messages still to come.
  [[nodiscard]] virtual bool IncomingConnected() const { return true; }
  // Reads the account from `registry`, which is open at the account's key.
  virtual void Load(TRegistry& registry);
  // Writes the account under its own key, which it opens (creating it).
  virtual void Save(TRegistry& registry);
  [[nodiscard]] virtual int32_t MacroCount();
  // Macros count from 1.
  [[nodiscard]] virtual std::string MacroName(int32_t n);
  [[nodiscard]] virtual std::string MacroValue(int32_t n);

  // One complete check of the account.
  void Check();
  // Classifies Live Mail again without the server, with `filter` alone or the whole list.
  void Refilter(TFilter* filter = nullptr);
  // Sends what the complaint dialogs queued and marks the messages of `reported` they are about.
  void SendQueuedComplaints(TEmailList& reported);
  void ExpandMacros(TEmail& message);
  void ExecuteEvents();
  void DetermineNextCheck();
  [[nodiscard]] bool IsDue(TCheckTrigger trigger) const;
  // Counts the Killed messages at least `days` days old, deleting them when `remove` is set.
  // A message that cannot be dated raises.
  int32_t PurgeKilled(int32_t days, bool remove);
  // True when the account can reach its servers, dialing when it has to; `dialed` tells
  // whether this call made the connection.
  bool DialIfNeeded(bool& dialed);
  void HangUpIfConnected();

  void SaveSettings();
  void SaveNextIDs();
  void SaveLastCheck();
  void SetID(int32_t id);
  void SetFolders();
  // The account's key below the accounts key, and its folder with a trailing "/".
  [[nodiscard]] std::string KeyName() const;
  [[nodiscard]] std::string FolderPath() const;
  [[nodiscard]] std::string TypeName() const;
  [[nodiscard]] std::string ConnectionName() const;
  [[nodiscard]] TEventParam& Event(int i) { return Events.at(static_cast<size_t>(i)); }
  [[nodiscard]] int32_t InboxPossibleSpam() const { return Inbox.CountStatus(msPossibleSpam); }
  [[nodiscard]] int32_t InboxSpam() const { return Inbox.CountStatus(msSpam); }
  // Takes every message out of `Outbox` (it has no folder, so no files are touched).
  void ClearOutbox();
  // The messages of `Outbox` that have not been sent.
  [[nodiscard]] int32_t UnsentCount() const;

  int32_t ID = 0;
  bool Active = true;
  std::string Description;
  std::string Name;
  std::string Email;
  bool DialUp = false;
  bool ForceDial = false;
  std::string Connection;
  std::string RasUserName;
  std::string RasPassword;  // in clear
  bool StayConnected = true;
  uint8_t CheckTypes = 5;
  uint8_t IntervalType = itMinutes;
  TDateTime MinutesInterval;
  TDateTime HoursInterval;
  TDateTime DailyTime;
  TDateTime MinimumInterval;
  TEmailEvents Events;
  bool ForceRun = false;
  TDateTime LastCheck = 0;
  TDateTime NextCheck = 0;
  TFilterList* FilterList = nullptr;

  TAccountNotify OnLoginIncoming;
  TAccountNotify OnReadingList;
  TAccountNotify OnReadingBodies;
  TAccountNotify OnFiltering;
  TAccountNotify OnProgress;
  TAccountNotify OnLogoutIncoming;
  TAccountNotify OnCancel;
  TErrorNotify OnError;
  TAccountNotify OnLoginOutgoing;
  TSendNotify OnSending;
  TSendNotify OnSent;
  TAccountNotify OnLogoutOutgoing;
  TErrorNotify OnSendError;

  TDeMIME Decoder;
  std::vector<std::string> UIDs;
  const uint8_t Type;
  std::string Password;  // scrambled, as stored
  bool LoggedIn = false;
  bool Cancelled = false;
  TEmailList Inbox{false};
  TEmailList Killed{true};
  TEmailList Outbox{false};
  int32_t MessageCount = 0;
  int32_t NewCount = 0;
  int32_t FriendlyCount = 0;
  int32_t PossibleCount = 0;
  int32_t SpamCount = 0;
  int32_t SpamSinceReset = 0;
  // Also found by the last check: spam messages the server deleted (or was asked to delete at
  // the logout), and complaints and error messages sent. Set to 0 at the start of each.
  int32_t KilledCount = 0;
  int32_t SentCount = 0;

 protected:
  void ReadMessageList();
  void ReadMessageBodies();
  void FilterMessages();
  void HandleFriendlyMessage(int index);
  void HandlePossibleSpam(int index);
  void HandleSpam(int index, int32_t number);
  void HandleBounce(int index, int32_t number);

 private:
  // Writes what the check leaves in Live Mail, with its statuses, for the commands to list.
  void SaveLiveMailList();
  // Step 5 of the check: counts, next numbers, last check and logout. Raises `failure`, the
  // error of the steps before, when there is one, else its own first error.
  void FinishIncoming(std::exception_ptr failure);
  // Kills the spam message at `index`; raises, with what was and was not done, when it stays.
  void KillSpam(int index, int32_t number);
  // Makes sure the message at `index` holds its whole text in memory, fetching it when the
  // Live Mail file cannot give it; raises when it cannot.
  void TakeWholeText(int index, int32_t number);
  // Called inside the handler of `error`: reports the failure to handle one message, prefixed
  // by `what`, or passes the error on when the incoming session was lost with it.
  void MessageFailed(const std::exception& error, const std::string& what);
  // "N" or "N ("subject")", naming a Live Mail message in an error.
  [[nodiscard]] std::string Label(int index) const;
  // "N (of M)" of the per-message log lines.
  [[nodiscard]] std::string Position(int index) const;
  void Notify(const TAccountNotify& notify) {
    if (notify) notify(*this);
  }
  void ReportError(const std::exception& error);

  // Killed copies written since the last flush of the Killed folder.
  bool unflushedKills_ = false;
};

// The name shown for an account kind; empty for codes without a kind.
[[nodiscard]] std::string AccountTypeName(uint8_t type);
// The text of a date-time in the system's short date and time form; empty when it is out of
// the calendar's range.
[[nodiscard]] std::string ShortDateTimeText(TDateTime value);

}  // namespace tarnwell
