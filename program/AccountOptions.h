#pragma once

#include <string>

#include "transport/AccountSettings.h"

namespace tarnwell {

class TAccountList;
class TArguments;

// Takes the options from `arguments`; raises TUsageError for a value the account dialogs
// would refuse.
[[nodiscard]] TAccountOptions TakeAccountOptions(TArguments& arguments);
// Raises TUsageError for the first field a new account needs that was not given, in the order
// of the new-account wizard.
void RequireNewAccountFields(const TAccountOptions& options);
// Raises TUsageError when the options do not fit the account at `index` of `list` (-1 for a
// new account): another account has the description.
void CheckAgainstList(const TAccountOptions& options, const TAccountList& list, int index);
// Reads the password: from the terminal with the echo off when standard input is one,
// otherwise the first line of standard input. Trimmed; raises TUsageError when blank.
[[nodiscard]] std::string ReadPassword();

}  // namespace tarnwell
