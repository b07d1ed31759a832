#include "transport/AccountTest.h"

#include <exception>
#include <vector>

#include "platform/DialUp.h"
#include "platform/EventLoop.h"
#include "platform/HostLookup.h"
#include "transport/POP3Account.h"

namespace tarnwell {

namespace {

bool LocateServer(const std::string& label, const std::string& host, const TTestProgress& show) {
  show("Locating server " + host + "...");
  bool done = false;
  bool found = false;
  THostLookup lookup;
  lookup.Start(host, [&](int code, std::vector<sockaddr_storage> addresses) {
    found = code == 0 && !addresses.empty();
    done = true;
  });
  WaitUntil([&] { return done; });
  if (!found)
    show("Could not contact the " + label + " server \"" + host +
         "\". \r\rYou should check that this is the correct name.");
  return found;
}

// Logs in to one server and out again; a failure logs out, ignoring what that raises.
bool TestServer(const std::string& label, const std::string& host,
                const std::function<void()>& login, const std::function<void()>& logout,
                const TTestProgress& show) {
  try {
    show("Logging in to " + host + "...");
    login();
    show("Logging out from " + host + "...");
    logout();
    return true;
  } catch (const std::exception& error) {
    try {
      logout();
    } catch (const std::exception&) {
    }
    show("The " + label + " server reported an error:\r" + error.what());
    return false;
  }
}

}  // namespace

bool TestPOP3Account(TPOP3Account& account, const TTestProgress& showProgress) {
  bool dialed = false;
  bool reachable = true;
  if (account.DialUp && !TDialUp::Current().IsAnyConnected()) {
    showProgress("Dialing...");
    reachable = account.DialIfNeeded(dialed);
    if (!dialed) showProgress("Unable to establish a dial-up connection.");
  }
  const std::string& pop3 = account.POP3Server;
  const std::string& smtp = account.SmtpInfo.SMTPServer;
  const bool ok = reachable && LocateServer("POP3", pop3, showProgress) &&
                  TestServer(
                      "POP3", pop3, [&] { account.LoginIncoming(); },
                      [&] { account.LogoutIncoming(); }, showProgress) &&
                  LocateServer("SMTP", smtp, showProgress) &&
                  TestServer(
                      "SMTP", smtp, [&] { account.LoginOutgoing(); },
                      [&] { account.LogoutOutgoing(); }, showProgress);
  if (dialed) {
    showProgress("Hanging up...");
    account.HangUpIfConnected();
  }
  if (ok) showProgress("Tarnwell successfully connected to the account.");
  return ok;
}

}  // namespace tarnwell
