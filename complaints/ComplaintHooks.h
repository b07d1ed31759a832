#pragma once

namespace tarnwell {

// Lets the accounts' check build complaints and error messages for the spam it kills, into
// each account's Outbox, from the installed templates.
void InstallComplaintHooks();
void RemoveComplaintHooks();

}  // namespace tarnwell
