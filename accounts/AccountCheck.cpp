#include "accounts/Account.h"
#include "accounts/AccountKinds.h"
#include "filtering/AutoReply.h"
#include "filtering/FilterList.h"
#include "filtering/Filters.h"
#include "message/QStrings.h"
#include "platform/EventLoop.h"
#include "platform/Files.h"
#include "shell/LogFile.h"
#include "shell/Settings.h"

namespace tarnwell {

namespace {

void Log(const std::string& text) { ProgramLog().Add(text); }

}  // namespace

void TAccount::Check() {
  Cancelled = false;
  Log("Starting check: " + Description);
  NewCount = PossibleCount = SpamCount = FriendlyCount = 0;
  try {
    LoginIncoming();
    try {
      ReadMessageList();
      ReadMessageBodies();
      FilterMessages();
    } catch (...) {
      FinishIncoming();
      throw;
    }
    FinishIncoming();
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
  WaitMs(500);
  ProcessMessages();
  DetermineNextCheck();
}

void TAccount::FinishIncoming() {
  MessageCount = Inbox.Count();
  // The logout must happen even when the numbers cannot be stored; that failure is reported
  // afterwards.
  std::exception_ptr failure;
  try {
    SaveNextIDs();
  } catch (...) {
    failure = std::current_exception();
  }
  LastCheck = TClock::Current().Now();
  try {
    SaveLastCheck();
  } catch (...) {
    if (!failure) failure = std::current_exception();
  }
  // The server deletes the killed messages when the session ends, so their copies are made
  // durable, in one go, first.
  if (unflushedKills_) {
    if (!Killed.Flush() && !failure)
      failure = std::make_exception_ptr(TError("Killed Mail could not be written to the disk."));
    unflushedKills_ = false;
  }
  LogoutIncoming();
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
  const bool textFilters = (Settings().ActiveFilters >> fkText) & 1u;
  for (int index = 0; index < Inbox.Count(); ++index) {
    if (Cancelled) return;
    TEmail* message = Inbox[index];
    if (IsTooLarge(index)) {
      message->Status = msChecked;
    } else if (textFilters && message->Status == msNew) {
      ReadBody(index, index + 1);
      message->SaveBody();
      message->ClearBody();
    }
    Notify(OnProgress);
  }
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
        Inbox.LoadBody(index);
        if (!FilterList) throw TError("There is no filter list.");
        classification = FilterList->Classify(*message).Status;
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
    TEmail* message = Inbox[index];
    if (message->Status == msNew) {
      ++SpamCount;
      ++SpamSinceReset;
    }
    message->Status = msSpam;
    const bool saveKills = Settings().SaveKills;
    if (saveKills && message->BodyState == TEmail::bsNotRetrieved) {
      ReadBody(index, number);
      message->SaveBody();
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
    if (saveKills) {
      SaveOriginal(index, number);
      std::string reason;
      try {
        if (filter) reason = filter->Description();
      } catch (...) {
        reason.clear();
      }
      message->Reason = reason;
      if (!message->BodyLoaded && message->BodyState != TEmail::bsNotRetrieved) message->LoadBody();
      message->Headers.Add("X-Tarnwell-UID: " + message->UID);
      message->Headers.Add("X-Tarnwell-Length: " + std::to_string(message->Length));
      message->Headers.Add("X-Tarnwell-Action: " + std::to_string(action));
      message->Headers.Add("X-Tarnwell-Reason: " + reason);
      // The Killed Mail copy is on the disk before the server is asked to delete the message,
      // and the Live Mail record stays until the server has deleted it, so at every moment the
      // message is on the server or in Killed Mail.
      int killedIndex = -1;
      try {
        const bool deferred = DeletesAtLogout();
        Killed.AddCopy(*message, deferred ? TDurability::NoSync : TDurability::Sync);
        unflushedKills_ |= deferred;
        killedIndex = Killed.Count() - 1;
      } catch (const std::exception& error) {
        message->StripStatusHeaders();
        message->ClearBody();
        ReportError(TError("The spam message " + std::to_string(index + 1) +
                           " was left on the server: it could not be written to Killed Mail (" +
                           error.what() + ")"));
        throw;
      }
      try {
        DeleteMessage(index, number);
      } catch (...) {
        Killed.Delete(killedIndex);
        message->StripStatusHeaders();
        message->ClearBody();
        throw;
      }
      Inbox.Delete(index);
    } else {
      try {
        DeleteMessage(index, number);
      } catch (...) {
      }
      Inbox.Delete(index);
    }
  } catch (...) {
  }
  Log("Done handling spam " + position);
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
      Inbox.LoadBody(index);
      if (!FilterList) throw TError("There is no filter list.");
      const uint8_t classification = FilterList->Classify(*message, filter).Status;
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
