#pragma once

#include <cstdint>
#include <functional>
#include <memory>

namespace tarnwell {

class TAccount;
class TEmail;
class TFilter;

// Account kinds are registered by the folders that implement them, so that the account list
// creates them by their `Type` without depending on those folders.
using TAccountCreator = std::function<std::unique_ptr<TAccount>()>;
// Registers (or replaces) the creator of kind `type`; an empty creator removes the kind.
void RegisterAccountKind(uint8_t type, TAccountCreator creator);
// A new account of kind `type`, or none when no such kind is registered.
[[nodiscard]] std::unique_ptr<TAccount> CreateAccountOfKind(uint8_t type);
[[nodiscard]] bool IsAccountKindRegistered(uint8_t type);

// Builds the complaint (action 4) or the error message (action 5) about a message being killed
// into the account's `Outbox`, from the filter that killed it (none when it is not known), and
// logs that work. Installed by the complaint code; without one, killing sends nothing.
using TComplaintBuilder =
    std::function<void(TAccount& account, TEmail& message, TFilter* filter, uint8_t action)>;
void InstallComplaintBuilder(TComplaintBuilder builder);
// Runs the installed builder; false when there is none.
bool BuildComplaints(TAccount& account, TEmail& message, TFilter* filter, uint8_t action);

}  // namespace tarnwell
