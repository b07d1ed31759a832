#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "complaints/Templates.h"
#include "filtering/AutoReply.h"
#include "platform/Clock.h"

namespace tarnwell {

class TEmail;
class TEmailList;
class TFilter;

// Who receives a message about one reported spam message and from which template, and the
// outgoing messages made from that.
class TComplaint {
 public:
  enum : uint8_t { ckComplaint = 1, ckErrorMessage = 2 };

  TComplaint();

  // Takes the message (not owned) and its subject, loading its text when it is not loaded.
  void SetMessage(TEmail& message);
  // Recipients from the filter's set, else the setting ComplainAddr; the default templates.
  void PrepareComplaint(const TFilter* filter);
  // An error message: recipients from the filter's set, else the setting RemoveAddr.
  void PrepareErrorMessage(const TFilter* filter);
  // Adds the sender addresses and the domain that `Recipients` asks for.
  void ChooseRecipients();
  void ExpandAdminAddresses();
  // Every candidate for the complaint dialog; `AdminAddresses` receives the sender domains.
  void CollectCandidates();
  // Appends one message per recipient whose template exists. Each carries the reported
  // message's file number as its `ID`.
  void BuildMessages(TEmailList& outbox, const TTemplates& templates = Templates()) const;

  // One line of the recent-complaints list, and back; a short line fills what it holds.
  [[nodiscard]] std::string AsText() const;
  void FromText(std::string_view line);

  uint8_t Kind = ckComplaint;
  TDateTime Created = 0;
  std::string Subject;
  std::vector<std::string> Domains;
  std::vector<std::string> AdminAddresses;
  std::vector<std::string> UserAddresses;
  std::vector<std::string> UserSources;
  std::vector<std::string> OtherAddresses;
  std::vector<std::string> AdminTemplates;
  std::vector<std::string> UserTemplates;
  std::vector<std::string> OtherTemplates;
  TEmail* ReportedMessage = nullptr;
  uint8_t Recipients = 0;
  const TFilter* Filter = nullptr;
};

// What a check does for a spam message killed with action 4 ("Kill after complaining") or 5
// ("Kill after error message"): a complaint or an error message from `filter` (may be none)
// into `outbox`, logged. An error ends the work for this message only. Returns the number of
// messages in `outbox` afterwards.
int CreateComplaints(TEmail& message, const TFilter* filter, uint8_t action, TEmailList& outbox,
                     const TTemplates& templates = Templates());

// The sending account as far as its queued messages need it.
struct TComplaintSender {
  std::string Name;
  std::string Email;
  // In the account's order: StandardMacros, then its kind's own.
  std::vector<TMacro> Macros;
};
// Before a queued message is sent: a missing From becomes "\"Name\" <Email>", then the
// placeholders are replaced in the From and in each text line.
void PrepareToSend(TEmail& message, const TComplaintSender& sender);

}  // namespace tarnwell
