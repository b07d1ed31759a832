#include "complaints/ComplaintHooks.h"

#include "accounts/Account.h"
#include "accounts/AccountKinds.h"
#include "complaints/Complaint.h"

namespace tarnwell {

void InstallComplaintHooks() {
  InstallComplaintBuilder([](TAccount& account, TEmail& message, TFilter* filter, uint8_t action) {
    CreateComplaints(message, filter, action, account.Outbox);
  });
}

void RemoveComplaintHooks() { InstallComplaintBuilder(nullptr); }

}  // namespace tarnwell
