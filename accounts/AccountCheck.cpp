#include "accounts/Account.h"
#include "accounts/AccountKinds.h"
#include "filtering/AutoReply.h"
#include "filtering/FilterList.h"
#include "filtering/Filters.h"
#include "message/LiveMail.h"
#include "message/QStrings.h"
#include "platform/EventLoop.h"
#include "platform/Files.h"
#include "platform/ServerError.h"
#include "shell/LogFile.h"
#include "shell/Settings.h"

namespace tarnwell {

namespace {

void Log(const std::string& text) { ProgramLog().Add(text); }

bool settleAfterCheck = true;

// One error telling what `first` and then `then` say, on lines of their own.
std::exception_ptr Joined(const std::exception_ptr& first, const std::exception& then) {
  try {
    std::rethrow_exception(first);
  } catch (const std::exception& error) {
    std::exception_ptr joined;
    WithPlaceOf(ServerPlaceOf(error) ? error : then, std::string(error.what()) + "\r" + then.what(),
                [&joined](const auto& e) { joined = std::make_exception_ptr(e); });
    return joined;
  } catch (...) {
    return first;
  }
}

}  // namespace

void SetSettleAfterCheck(bool settle) { settleAfterCheck = settle; }

bool SettlesAfterCheck() { return settleAfterCheck; }

void TAccount::Check() {
  Cancelled = false;
  Log("Starting check: " + Description);
  NewCount = PossibleCount = SpamCount = FriendlyCount = 0;
  KilledCount = SentCount = 0;
  try {
    LoginIncoming();
    std::exception_ptr failure;
    try {
      ReadMessageList();
      ReadMessageBodies();
      FilterMessages();
    } catch (...) {
      failure = std::current_exception();
    }
    SaveLiveMailList();
    FinishIncoming(failure);
    if (!Cancelled) {
      SendComplaints(true);
      ExecuteEvents();
    }
  } catch (const std::exception& error) {
    ClearOutbox();
    ReportError(error);
  } catch (...) {
    ClearOutbox();
    ReportError(TError("An unknown error occurred."));
  }
  ProcessMessages();
  if (settleAfterCheck) {
    WaitMs(500);
    ProcessMessages();
  }
  DetermineNextCheck();
}

void TAccount::SaveLiveMailList() {
  // Only the commands read the list; a check does not fail for it.
  try {
    WriteLiveMailList(Inbox, FolderPath() + kLiveMailListName);
  } catch (const std::exception& error) {
    Log(std::string("Could not save the Live Mail list: ") + error.what());
  }
}

void TAccount::FinishIncoming(std::exception_ptr failure) {
  MessageCount = Inbox.Count();
  // Every step runs even when one fails, the logout above all; the first failure is raised.
  const auto keepFirst = [&failure] {
    if (!failure) failure = std::current_exception();
  };
  try {
    SaveNextIDs();
  } catch (...) {
    keepFirst();
  }
  LastCheck = TClock::Current().Now();
  try {
    SaveLastCheck();
  } catch (...) {
    keepFirst();
  }
  // The server deletes the killed messages when the session ends, so their copies are made
  // durable, in one go, first.
  bool abandon = false;
  if (unflushedKills_) {
    // Without copies on the disk the deletions must not take effect: the session is dropped
    // instead of ended, and the server keeps the messages.
    abandon = !Killed.Flush();
    if (abandon && !failure)
      failure = std::make_exception_ptr(
          TError("Killed Mail could not be written to the disk, so the session was broken off "
                 "and the spam stays on the server."));
    unflushedKills_ = false;
  }
  try {
    if (abandon)
      AbandonIncoming();
    else
      LogoutIncoming();
  } catch (const std::exception& error) {
    // A logout that leaves deletions in doubt belongs to the report of what ended the session.
    failure = failure ? Joined(failure, error) : std::current_exception();
  } catch (...) {
    keepFirst();
  }
  if (failure) std::rethrow_exception(failure);
}

void TAccount::ReadMessageList() {
  const TDateTime now = TClock::Current().Now();
  Log("Reading message list: " + Description);
  Notify(OnReadingList);
  bool readUid = false;
  std::exception_ptr failure;
  try {
    // A record fetched only to learn its UID is kept for the step that adds it.
    std::unique_ptr<TEmail> fetched;
    std::string uid = GetFirstUID();
    if (uid.empty()) {
      fetched = GetFirstMessage(std::string());
      if (fetched) uid = fetched->UID;
    }
    int32_t position = 0;
    while (!uid.empty() && !Cancelled) {
      readUid = true;
      Notify(OnProgress);
      const int found = Inbox.IndexOfUID(uid);
      if (found >= 0) {
        Inbox[found]->LastSeen = now;
      } else {
        std::unique_ptr<TEmail> message;
        if (fetched && fetched->Headers.Count() > 0)
          message = std::move(fetched);
        else
          message = position == 0 ? GetFirstMessage(std::string())
                                  : GetMessage(position + 1, std::string());
        if (message) {
          message->LastSeen = now;
          Inbox.Add(std::move(message));
          ++NewCount;
        }
      }
      fetched.reset();
      ++position;
      uid = GetUID(position + 1);
      if (uid.empty()) {
        fetched = GetMessage(position + 1, std::string());
        if (fetched) uid = fetched->UID;
      }
    }
  } catch (...) {
    failure = std::current_exception();
  }

  try {
    Inbox.DeleteNotSeenSince(now);
  } catch (...) {
  }
  if (Cancelled || !readUid) {
    try {
      Inbox.DeleteAll();
    } catch (...) {
    }
  }
  MessageCount = Inbox.Count();
  try {
    Inbox.SaveNew();
  } catch (...) {
  }
  for (int i = 0; i < Inbox.Count(); ++i)
    if (IsRead(i)) Inbox[i]->SetRead(true);
  Log("Done reading message list: " + Description);
  if (failure) std::rethrow_exception(failure);
}

void TAccount::ReadMessageBodies() {
  Notify(OnReadingBodies);
  Log("Reading message bodies: " + Description);
  const bool textFilters = Settings().TextFiltersActive();
  int unsaved = 0;
  std::string saveError;
  for (int index = 0; index < Inbox.Count() && !Cancelled; ++index) {
    TEmail* message = Inbox[index];
    if (IsTooLarge(index)) {
      message->Status = msChecked;
    } else if (textFilters && message->Status == msNew) {
      bool fetched = false;
      try {
        ReadBody(index, index + 1);
        fetched = true;
      } catch (const std::exception& error) {
        message->ClearBody();
        MessageFailed(error, "The text of message " + Label(index) + " could not be retrieved");
      }
      if (fetched) {
        try {
          message->WriteBody();
        } catch (const std::exception& error) {
          // Not kept, so the steps that need the whole text fetch it again.
          message->BodyState = TEmail::bsNotRetrieved;
          if (unsaved++ == 0) saveError = error.what();
        }
        message->ClearBody();
      }
    }
    Notify(OnProgress);
  }
  if (unsaved > 0)
    ReportError(TError("The texts of " + std::to_string(unsaved) +
                       " messages could not be saved in Live Mail, so they were filtered on "
                       "their headers alone: " +
                       saveError));
  if (Cancelled) return;
  Log("Done reading message bodies: " + Description);
}

void TAccount::FilterMessages() {
  Notify(OnFiltering);
  Log("Filtering: " + Description);
  for (int index = Inbox.Count() - 1; index >= 0 && !Cancelled; --index) {
    TEmail* message = Inbox[index];
    if (IsTooLarge(index) || IsSkipped(index)) {
      message->Status = msChecked;
    } else {
      uint8_t classification = msChecked;
      try {
        if (!FilterList) throw TError("There is no filter list.");
        classification = FilterList->ClassifyStored(*message).Status;
        // Only the handling of spam and bounces reads the lines, which are loaded after the
        // texts of the classification have gone.
        if (classification == msSpam || classification == msBounce) Inbox.LoadBody(index);
      } catch (...) {
        classification = msChecked;
      }
      switch (classification) {
        case msChecked:
        case msFriend:
          HandleFriendlyMessage(index);
          message->Status = classification;
          break;
        case msPossibleSpam: HandlePossibleSpam(index); break;
        case msSpam: HandleSpam(index, index + 1); break;
        case msBounce: HandleBounce(index, index + 1); break;
        default: break;
      }
    }
    Notify(OnProgress);
  }
  Log("Done filtering: " + Description);
}

void TAccount::HandleFriendlyMessage(int index) {
  Log("Handling friendly message " + std::to_string(index + 1) + " (of " +
      std::to_string(Inbox.Count()) + ")");
  try {
    TEmail* message = Inbox[index];
    TFilter* filter = FilterList ? FilterList->Current() : nullptr;
    if (filter) {
      if (message->Status == msNew && filter->Kind == fkFriend) ++FriendlyCount;
      message->Reason = filter->Description();
    } else {
      message->Reason.clear();
    }
    message->ClearBody();
  } catch (...) {
  }
  Log("Done handling friendly message " + std::to_string(index + 1));
}

void TAccount::HandlePossibleSpam(int index) {
  const std::string position = Position(index);
  Log("Handling possible spam " + position);
  try {
    TEmail* message = Inbox[index];
    if (message->Status == msNew) ++PossibleCount;
    TFilter* filter = FilterList ? FilterList->Current() : nullptr;
    message->Reason = filter ? filter->Description() : std::string();
    message->Status = msPossibleSpam;
    message->ClearBody();
  } catch (...) {
  }
  Log("Done handling possible spam " + position);
}

void TAccount::HandleSpam(int index, int32_t number) {
  const std::string position = Position(index);
  Log("Handling spam " + position);
  try {
    KillSpam(index, number);
  } catch (const std::exception& error) {
    MessageFailed(error, "");
  } catch (...) {
  }
  Log("Done handling spam " + position);
}

void TAccount::KillSpam(int index, int32_t number) {
  TEmail* message = Inbox[index];
  const std::string label = "The spam message " + Label(index);
  const auto fail = [&](const std::string& what, const std::exception& error) {
    message->StripStatusHeaders();
    message->ClearBody();
    if (!IncomingConnected()) throw;
    WithPlaceOf(error, label + " " + what + ": " + error.what(), [](const auto& e) { throw e; });
  };
  if (message->Status == msNew) {
    ++SpamCount;
    ++SpamSinceReset;
  }
  message->Status = msSpam;
  const bool saveKills = Settings().SaveKills;
  if (saveKills) {
    try {
      TakeWholeText(index, number);
    } catch (const std::exception& error) {
      fail("was left on the server: its text could not be retrieved", error);
    }
  }
  TFilter* filter = FilterList ? FilterList->Current() : nullptr;
  const uint8_t action = filter ? filter->Action : static_cast<uint8_t>(acKill);
  message->Action = action;
  if (action == acKillAfterComplaint || action == acKillAfterErrorMessage) {
    try {
      BuildComplaints(*this, *message, filter, action);
    } catch (...) {
    }
  }
  if (!saveKills) {
    // Without a copy to keep, Live Mail lets the message go even when the server keeps it; it
    // comes back as new at the next check.
    try {
      DeleteMessage(index, number);
    } catch (const std::exception& error) {
      Inbox.Delete(index);
      if (!IncomingConnected()) throw;
      WithPlaceOf(error, label + " could not be deleted from the server: " + error.what(),
                  [](const auto& e) { throw e; });
    }
    Inbox.Delete(index);
    ++KilledCount;
    return;
  }
  SaveOriginal(index, number);
  std::string reason;
  try {
    if (filter) reason = filter->Description();
  } catch (...) {
    reason.clear();
  }
  message->Reason = reason;
  message->Headers.Add("X-Tarnwell-UID: " + message->UID);
  message->Headers.Add("X-Tarnwell-Length: " + std::to_string(message->Length));
  message->Headers.Add("X-Tarnwell-Action: " + std::to_string(action));
  message->Headers.Add("X-Tarnwell-Reason: " + reason);
  // The Killed Mail copy is on the disk before the server is asked to delete the message,
  // and the Live Mail record stays until the server has deleted it, so at every moment the
  // message is on the server or in Killed Mail. A copy left by a check whose deletions the
  // server never carried out serves again.
  const bool deferred = DeletesAtLogout();
  int killedIndex = Killed.IndexOfCopy(message->UID, message->Length);
  const bool reused = killedIndex >= 0;
  if (!reused) {
    try {
      Killed.AddCopy(*message, deferred ? TDurability::NoSync : TDurability::Sync);
    } catch (const std::exception& error) {
      fail("was left on the server: it could not be written to Killed Mail", error);
    }
    killedIndex = Killed.Count() - 1;
  }
  unflushedKills_ |= deferred;
  try {
    DeleteMessage(index, number);
  } catch (const std::exception& error) {
    if (!reused) Killed.Delete(killedIndex);
    fail("could not be deleted from the server and stays in Live Mail", error);
  }
  Inbox.Delete(index);
  ++KilledCount;
}

void TAccount::TakeWholeText(int index, int32_t number) {
  TEmail* message = Inbox[index];
  if (message->BodyLoaded) return;
  ReadBody(index, number);
  if (!message->BodyLoaded) throw TError("The server gave no text.");
  // Killed Mail is written from memory, so a Live Mail file that cannot be written costs
  // nothing here.
  try {
    message->WriteBody();
  } catch (const std::exception&) {
  }
}

void TAccount::MessageFailed(const std::exception& error, const std::string& what) {
  // A lost session ends the check; the messages still to come cannot be handled without it.
  if (!IncomingConnected()) throw;
  const std::string text = what.empty() ? error.what() : what + ": " + error.what();
  Log(text);
  WithPlaceOf(error, text, [this](const auto& e) { ReportError(e); });
}

std::string TAccount::Label(int index) const {
  const TEmail* message = Inbox[index];
  constexpr size_t kLongest = 60;
  std::string label = std::to_string(index + 1);
  if (!message->Subject.empty())
    label += " (\"" +
             (message->Subject.size() > kLongest ? message->Subject.substr(0, kLongest) + "..."
                                                 : message->Subject) +
             "\")";
  return label;
}

void TAccount::HandleBounce(int index, int32_t number) {
  const std::string position = Position(index);
  Log("Handling bounce " + position);
  try {
    const TSettings& settings = Settings();
    TEmail* message = Inbox[index];
    if (settings.BounceKill) {
      if (settings.BounceSetKill && FilterList) {
        try {
          int64_t code = 0;
          if (FindAutoReplyCode(message->Body, code) && code > 0 &&
              code / kAutoReplyKindFactor <= 255) {
            TFilter* filter =
                FilterList->FindByID(static_cast<uint8_t>(code / kAutoReplyKindFactor),
                                     static_cast<int32_t>(code % kAutoReplyKindFactor));
            if (filter && (filter->Action == acKillAfterComplaint ||
                           filter->Action == acKillAfterErrorMessage)) {
              filter->Action = acKill;
              FilterList->Modified = true;
            }
          }
        } catch (...) {
        }
      }
      bool deleted = false;
      try {
        DeleteMessage(index, number);
        deleted = true;
      } catch (...) {
      }
      Inbox.Delete(index);
      if (deleted) --NewCount;
    } else {
      message->ClearBody();
    }
  } catch (...) {
  }
  Log("Done handling bounce " + position);
}

void TAccount::Refilter(TFilter* filter) {
  NewCount = PossibleCount = SpamCount = FriendlyCount = 0;
  try {
    for (int index = 0; index < Inbox.Count(); ++index) {
      if (IsTooLarge(index)) continue;
      TEmail* message = Inbox[index];
      if (!FilterList) throw TError("There is no filter list.");
      const uint8_t classification = FilterList->ClassifyStored(*message, filter).Status;
      switch (classification) {
        case msChecked:
        case msFriend:
          HandleFriendlyMessage(index);
          message->Status = classification;
          break;
        case msPossibleSpam: HandlePossibleSpam(index); break;
        case msSpam: {
          TFilter* current = FilterList->Current();
          message->Reason = current ? current->Description() : std::string();
          message->Status = msSpam;
          break;
        }
        default: break;
      }
      message->ClearBody();
    }
  } catch (...) {
    MessageCount = Inbox.Count();
    SaveNextIDs();
    throw;
  }
  MessageCount = Inbox.Count();
  SaveNextIDs();
}

}  // namespace tarnwell
