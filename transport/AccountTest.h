#pragma once

#include <functional>
#include <string>

namespace tarnwell {

class TPOP3Account;

using TTestProgress = std::function<void(const std::string& text)>;

// The test of a POP3 account that the new-account wizard offers: it dials when the account
// needs it, finds each server's address and logs in to and out of the POP3 server and then the
// SMTP server, stopping at the first failure. No message is fetched or deleted. Each step and
// the outcome reach `showProgress` with the texts of the test window; true when all succeeded.
[[nodiscard]] bool TestPOP3Account(TPOP3Account& account, const TTestProgress& showProgress);

}  // namespace tarnwell
