#pragma once

#include <functional>
#include <optional>
#include <string>

#include "platform/ServerError.h"

namespace tarnwell {

class TPOP3Account;

using TTestProgress = std::function<void(const std::string& text)>;

// The error a server ended a test with, for the front ends that offer to trust a certificate
// it was refused for.
struct TTestFailure {
  std::string Text;
  TServerPlace Place;
};

// The test of a POP3 account that the new-account wizard offers: it dials when the account
// needs it, finds each server's address and logs in to and out of the POP3 server and then the
// SMTP server, stopping at the first failure. No message is fetched or deleted. Each step and
// the outcome reach `showProgress` with the texts of the test window; true when all succeeded.
// A server's error is also put into `failure` when one is given. Cancelling the account
// (`SetCancelled`) stops the test, which then fails.
[[nodiscard]] bool TestPOP3Account(TPOP3Account& account, const TTestProgress& showProgress,
                                   std::optional<TTestFailure>* failure = nullptr);

}  // namespace tarnwell
