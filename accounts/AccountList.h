#pragma once

#include <bitset>
#include <cstdint>
#include <exception>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "accounts/Account.h"
#include "platform/ServerError.h"

namespace tarnwell {

class TAccountList;
class TRegistry;

// Account positions 0 to 255; accounts further down the list cannot be selected for checks.
inline constexpr int kMaxSelectable = 256;
using TAccountSet = std::bitset<kMaxSelectable>;

// An error of a batch as a front end may word it: the account it happened in, its text, the
// server it happened at, and the complaints it kept from being sent, which are dropped.
struct TBatchError {
  // 0 and empty outside an account's check.
  int32_t AccountID = 0;
  std::string Account;
  std::string Text;
  std::optional<TServerPlace> Server;
  int32_t UnsentComplaints = 0;
};

using TListNotify = std::function<void(TAccountList& list)>;
using TForwardNotify = std::function<void(TAccountList& list, int position, int count)>;
// Shows the timed confirmation of the purge and returns its result: 1 Yes, 3 when it closed by
// itself unanswered, anything else No.
using TPurgeConfirmation = std::function<int(const std::string& text)>;

// The one list of the program's accounts: loading and saving them, their folders, and the
// check batches with their totals.
class TAccountList {
 public:
  TAccountList() = default;
  ~TAccountList();
  TAccountList(const TAccountList&) = delete;
  TAccountList& operator=(const TAccountList&) = delete;

  // Loading and persistence.
  void Init(TFilterList* filterList);
  void LoadAll();
  // Rewrites the whole accounts key in one transaction of the store.
  void SaveAll();
  // Gives a new account an ID and its folders, appends it and saves; the list takes it.
  void Add(std::unique_ptr<TAccount> account);
  void Update(int index);
  void Remove(int index);
  // False when "NextAcctID" cannot be read; `registry` is open at the accounts key.
  bool ReadNextID(TRegistry& registry);
  void WriteNextID(TRegistry& registry);
  [[nodiscard]] bool FoldersExist(int32_t id) const;
  bool CreateFolders(int32_t id);
  bool RemoveFolders(int32_t id);

  // Checking.
  void CheckAccounts(TTriggerSet triggers);
  void CheckSelected(const TAccountSet& selection, TTriggerSet triggers);
  void ScheduledCheck();
  void Stop() { Cancelled = true; }
  [[nodiscard]] bool CanCheck() const { return !Suspended && !Busy; }
  void ResetCounters();
  // The daily purge of old killed mail; 1 unless the confirmation answered otherwise.
  int32_t PurgeOld();
  // Passes the Killed messages at `positions` of `account` back to the addresses of the
  // accounts in `targets` (and to `copyTo`).
  void ForwardKilled(TAccount& account, const std::vector<int>& positions, bool includeHeaders,
                     const std::string& copyTo, const TAccountSet& targets);
  void RestoreKilled(TAccount& account, const std::vector<int>& positions);
  // Adds the lines of `error` to `Errors`, and the error to `BatchErrors`; `unsent` complaints
  // of the current account are dropped with it.
  void AddError(const std::exception& error, int32_t unsent = 0);

  // Queries.
  [[nodiscard]] int Count() const { return static_cast<int>(accounts_.size()); }
  [[nodiscard]] TAccount* Items(int index) const;
  [[nodiscard]] int32_t ActiveIndex(int n) const;
  [[nodiscard]] int32_t ActivePosition(const std::string& description) const;
  [[nodiscard]] bool HasEmail(const std::string& address) const;
  [[nodiscard]] bool HasDescription(const std::string& text) const;
  [[nodiscard]] bool HasKind(uint8_t type) const;
  [[nodiscard]] TAccountSet ActiveSet() const;
  [[nodiscard]] int SelectedCount() const { return static_cast<int>(Selection.count()); }
  [[nodiscard]] int32_t InboxTotal() const;
  [[nodiscard]] int32_t PossibleTotal() const;
  [[nodiscard]] int32_t NewTotal() const;
  [[nodiscard]] int32_t NewPossibleTotal() const;
  [[nodiscard]] int32_t NewSpamTotal() const;
  [[nodiscard]] std::string Summary() const;
  void SetLogging(bool on);

  // Dial-up helpers.
  bool ConnectionActive();
  bool ConnectionChanged();
  [[nodiscard]] bool HasConnectionTrigger() const;
  [[nodiscard]] TAccountSet DialableSubset(const TAccountSet& set) const;
  bool DialEntry(const std::string& entry, const std::string& user, const std::string& password);
  void HangUp();

  int32_t NextAcctID = 1;
  bool Busy = false;
  bool Suspended = false;
  bool Cancelled = false;
  TAccount* Current = nullptr;
  TAccountSet Selection;
  std::string ActiveConnection;
  std::vector<std::string> UserNames;
  std::vector<std::string> Domains;
  TFilterList* FilterList = nullptr;
  std::vector<std::string> Errors;
  // The same errors, one record each, for front ends that word them themselves.
  std::vector<TBatchError> BatchErrors;
  bool Logging = false;
  int32_t ChangeTotal = 0;
  int32_t SpamTotal = 0;
  bool StartPending = false;
  bool Started = false;

  TListNotify OnCheckStart;
  TAccountNotify OnLoginIncoming;
  TAccountNotify OnReadingList;
  TAccountNotify OnReadingBodies;
  TAccountNotify OnFiltering;
  TAccountNotify OnProgress;
  TAccountNotify OnLogoutIncoming;
  TErrorNotify OnError;
  TListNotify OnCheckFinished;
  TAccountNotify OnLoginOutgoing;
  TSendNotify OnSending;
  TSendNotify OnSent;
  TAccountNotify OnLogoutOutgoing;
  TErrorNotify OnSendError;
  TForwardNotify OnForwarding;
  // Fired by the main window right after it reset the counters.
  std::function<void()> OnCountersReset;
  TAccountNotify OnAccountChecked;
  TListNotify OnBatchDone;
  TPurgeConfirmation ConfirmPurge;

 private:
  // Installs the list's relays in the account's notifications.
  void Attach(TAccount& account);
  void StartNotify();
  void CheckOne(TAccount& account);
  void DialAndCheck(TAccountSet set);
  void TraverseFolders();
  void HandOwnNames();
  // The ID is held by a listed account or by a stored key of an unknown kind.
  [[nodiscard]] bool IdInUse(int32_t id) const;

  std::vector<std::unique_ptr<TAccount>> accounts_;
  // Keys of kinds this program does not know: kept as they are by `SaveAll`.
  std::vector<std::string> foreignKeys_;
};

}  // namespace tarnwell
