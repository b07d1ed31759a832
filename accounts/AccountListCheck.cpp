#include <algorithm>
#include <cstdlib>

#include "accounts/AccountList.h"
#include "message/QStrings.h"
#include "platform/DialUp.h"
#include "platform/EventLoop.h"

namespace tarnwell {

namespace {

// Clears the batch state however the batch ends.
class TBatchGuard {
 public:
  explicit TBatchGuard(TAccountList& list) : list_(list) { list_.Busy = true; }
  ~TBatchGuard() {
    list_.Current = nullptr;
    list_.Busy = false;
  }
  TBatchGuard(const TBatchGuard&) = delete;
  TBatchGuard& operator=(const TBatchGuard&) = delete;

 private:
  TAccountList& list_;
};

}  // namespace

void TAccountList::CheckAccounts(TTriggerSet triggers) {
  // Checks let events run, so a menu command can ask for a batch while one is running.
  if (Busy) return;
  {
    TBatchGuard guard(*this);
    Cancelled = false;
    ChangeTotal = 0;
    StartPending = false;
    Started = false;
    const int selectable = std::min(Count(), kMaxSelectable);
    if (Selection.none()) {
      for (int i = 0; i < selectable; ++i)
        for (int t = ctStartup; t <= ctOnDemand; ++t)
          if ((triggers & TriggerBit(static_cast<TCheckTrigger>(t))) &&
              Items(i)->IsDue(static_cast<TCheckTrigger>(t)))
            Selection.set(static_cast<size_t>(i));
    }
    Selection &= ActiveSet();
    if (Selection.any()) {
      Errors.clear();
      BatchErrors.clear();
      StartPending = true;
      for (int i = 0; i < selectable && !Cancelled; ++i) {
        if (!Selection.test(static_cast<size_t>(i)) || Items(i)->DialUp) continue;
        CheckOne(*Items(i));
        Selection.reset(static_cast<size_t>(i));
      }
      if (Selection.any()) {
        if (ConnectionActive()) {
          WaitMs(2000);
          for (int i = 0; i < selectable && !Cancelled; ++i)
            if (Selection.test(static_cast<size_t>(i))) CheckOne(*Items(i));
        } else {
          DialAndCheck(DialableSubset(Selection));
        }
      }
    }
  }
  if (OnCheckFinished && Started) OnCheckFinished(*this);
  if (OnBatchDone) OnBatchDone(*this);
}

void TAccountList::CheckSelected(const TAccountSet& selection, TTriggerSet triggers) {
  if (Busy) return;
  try {
    Selection = selection;
    CheckAccounts(triggers);
  } catch (...) {
  }
}

void TAccountList::ScheduledCheck() {
  if (!CanCheck()) return;
  try {
    Selection.reset();
    if (HasConnectionTrigger() && ConnectionChanged()) {
      WaitMs(1000);
      CheckAccounts(TriggerBit(ctConnection) | TriggerBit(ctSchedule));
    } else {
      CheckAccounts(TriggerBit(ctSchedule));
    }
  } catch (...) {
  }
}

void TAccountList::StartNotify() {
  if (!StartPending) return;
  if (OnCheckStart) OnCheckStart(*this);
  Started = true;
  StartPending = false;
}

void TAccountList::CheckOne(TAccount& account) {
  StartNotify();
  Current = &account;
  const int32_t before = account.NewCount;
  account.Check();
  if (OnAccountChecked) OnAccountChecked(account);
  ChangeTotal += std::abs(account.NewCount - before);
  SpamTotal += account.SpamCount;
}

void TAccountList::DialAndCheck(TAccountSet set) {
  TDialUp::Current().RefreshEntries();
  const int selectable = std::min(Count(), kMaxSelectable);
  bool dialed = false;
  bool hangUp = true;
  while (set.any() && !Cancelled) {
    int first = 0;
    while (!set.test(static_cast<size_t>(first))) ++first;
    TAccount& lead = *Items(first);
    const std::string entry = lead.ConnectionName();
    hangUp = true;
    dialed = DialEntry(entry, lead.RasUserName, lead.RasPassword);
    for (int j = first; j < selectable && !Cancelled; ++j) {
      if (!set.test(static_cast<size_t>(j)) || Items(j)->ConnectionName() != entry) continue;
      CheckOne(*Items(j));
      if (Items(j)->StayConnected) hangUp = false;
      set.reset(static_cast<size_t>(j));
    }
    // Another entry is about to be dialed; after a stop, the rule for the last group applies.
    if (set.any() && !Cancelled) HangUp();
  }
  if (dialed && hangUp) HangUp();
}

bool TAccountList::ConnectionActive() {
  try {
    TDialUp& dialUp = TDialUp::Current();
    if (dialUp.IsAnyConnected()) {
      const std::vector<std::string>& connections = dialUp.Connections();
      ActiveConnection = connections.empty() ? std::string() : connections.front();
      return true;
    }
    ActiveConnection.clear();
    return false;
  } catch (...) {
    return false;
  }
}

bool TAccountList::ConnectionChanged() {
  const std::string previous = ActiveConnection;
  return ConnectionActive() && ActiveConnection != previous;
}

bool TAccountList::HasConnectionTrigger() const {
  for (const auto& account : accounts_)
    if (account->Active && account->DialUp && (account->CheckTypes & TriggerBit(ctConnection)))
      return true;
  return false;
}

TAccountSet TAccountList::DialableSubset(const TAccountSet& set) const {
  TAccountSet subset;
  for (int i = 0; i < Count() && i < kMaxSelectable; ++i) {
    const TAccount& account = *accounts_[static_cast<size_t>(i)];
    if (set.test(static_cast<size_t>(i)) && account.DialUp && account.ForceDial)
      subset.set(static_cast<size_t>(i));
  }
  return subset;
}

bool TAccountList::DialEntry(const std::string& entry, const std::string& user,
                             const std::string& password) {
  try {
    TDialUp& dialUp = TDialUp::Current();
    int index = -1;
    const std::vector<std::string>& entries = dialUp.Entries();
    for (size_t i = 0; i < entries.size(); ++i) {
      if (SameText(entries[i], entry)) {
        index = static_cast<int>(i);
        break;
      }
    }
    return dialUp.DialEntryAs(index, user, password) == 0;
  } catch (...) {
    return false;
  }
}

void TAccountList::HangUp() {
  try {
    TDialUp& dialUp = TDialUp::Current();
    if (dialUp.IsDialedConnected()) dialUp.HangUpDialed();
  } catch (...) {
  }
}

}  // namespace tarnwell
