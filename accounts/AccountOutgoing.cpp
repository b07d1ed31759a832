#include "accounts/Account.h"
#include "message/Macros.h"
#include "shell/LogFile.h"

namespace tarnwell {

bool TAccount::SendComplaints(bool clearOutbox) {
  ProgramLog().Add("Sending complaints: " + Description);
  Cancelled = false;
  bool result = true;
  if (Outbox.Count() > 0) {
    try {
      LoginOutgoing();
      const int count = Outbox.Count();
      for (int i = 0; i < count && !Cancelled; ++i) {
        TEmail& message = *Outbox[i];
        if (message.From.empty()) message.From = "\"" + Name + "\" <" + Email + ">";
        ExpandMacros(message);
        if (OnSending) OnSending(message, i + 1, count);
        SendMessage(message);
        if (OnSent) OnSent(message, i + 1, count);
        message.Flags |= TEmail::sfQueued;
        ++SentCount;
      }
    } catch (const std::exception& error) {
      if (OnSendError) OnSendError(error);
      result = false;
    }
    LogoutOutgoing();
    if (clearOutbox) ClearOutbox();
  }
  ProgramLog().Add("Done sending complaints: " + Description);
  return result;
}

int32_t TAccount::UnsentCount() const {
  int32_t unsent = 0;
  for (int i = 0; i < Outbox.Count(); ++i)
    if (!(Outbox[i]->Flags & TEmail::sfQueued)) ++unsent;
  return unsent;
}

void TAccount::ExpandMacros(TEmail& message) {
  std::vector<TMacro> macros;
  for (int32_t n = 1; n <= MacroCount(); ++n) macros.push_back({MacroName(n), MacroValue(n)});
  tarnwell::ExpandMacros(message, macros);
}

void TAccount::SendQueuedComplaints(TEmailList& reported) {
  try {
    bool dialed = false;
    if (DialIfNeeded(dialed)) {
      SendComplaints(false);
      for (int i = 0; i < Outbox.Count(); ++i) {
        const TEmail& sent = *Outbox[i];
        if (!(sent.Flags & TEmail::sfQueued)) continue;
        try {
          const auto marks = static_cast<uint8_t>(sent.Flags & ~TEmail::sfQueued);
          TEmail* target = reported.FindByID(sent.ID);
          if (!target || (target->Flags & marks)) continue;
          target->ReloadHeaders();
          target->SetSentFlags(static_cast<uint8_t>(target->Flags | marks));
          target->SaveHeaders();
          target->StripStatusHeaders();
        } catch (...) {
        }
      }
      if (dialed) HangUpIfConnected();
    }
  } catch (...) {
    ClearOutbox();
    throw;
  }
  ClearOutbox();
}

}  // namespace tarnwell
