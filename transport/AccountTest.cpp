#include "transport/AccountTest.h"

#include <exception>
#include <vector>

#include "platform/DialUp.h"
#include "platform/EventLoop.h"
#include "platform/HostLookup.h"
#include "transport/POP3Account.h"

namespace tarnwell {

namespace {

// One test: the account, where its steps are shown and where a server's error goes.
struct TTestRun {
  TPOP3Account& account;
  const TTestProgress& show;
  std::optional<TTestFailure>* failure;

  [[nodiscard]] bool Stopped() const { return account.Cancelled; }

  bool LocateServer(const std::string& label, const std::string& host) const {
    if (Stopped()) return false;
    show("Locating server " + host + "...");
    bool done = false;
    bool found = false;
    THostLookup lookup;
    lookup.Start(host, [&](int code, std::vector<sockaddr_storage> addresses) {
      found = code == 0 && !addresses.empty();
      done = true;
    });
    WaitUntil([&] { return done || Stopped(); });
    if (!done) return false;
    if (!found)
      show("Could not contact the " + label + " server \"" + host +
           "\". \r\rYou should check that this is the correct name.");
    return found;
  }

  // Logs in to one server and out again; a failure logs out, ignoring what that raises.
  bool TestServer(const std::string& label, const std::string& host,
                  const std::function<void()>& login, const std::function<void()>& logout) const {
    if (Stopped()) return false;
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
      if (const TServerPlace* place = ServerPlaceOf(error); place && failure)
        *failure = TTestFailure{error.what(), *place};
      show("The " + label + " server reported an error:\r" + error.what());
      return false;
    }
  }
};

}  // namespace

bool TestPOP3Account(TPOP3Account& account, const TTestProgress& showProgress,
                     std::optional<TTestFailure>* failure) {
  if (failure) failure->reset();
  const TTestRun run{account, showProgress, failure};
  bool dialed = false;
  bool reachable = true;
  if (account.DialUp && !TDialUp::Current().IsAnyConnected()) {
    showProgress("Dialing...");
    reachable = account.DialIfNeeded(dialed);
    if (!dialed) showProgress("Unable to establish a dial-up connection.");
  }
  const std::string& pop3 = account.POP3Server;
  const std::string& smtp = account.SmtpInfo.SMTPServer;
  const bool ok =
      reachable && run.LocateServer("POP3", pop3) &&
      run.TestServer(
          "POP3", pop3, [&] { account.LoginIncoming(); }, [&] { account.LogoutIncoming(); }) &&
      run.LocateServer("SMTP", smtp) &&
      run.TestServer(
          "SMTP", smtp, [&] { account.LoginOutgoing(); }, [&] { account.LogoutOutgoing(); });
  if (dialed) {
    showProgress("Hanging up...");
    account.HangUpIfConnected();
  }
  if (ok) showProgress("Tarnwell successfully connected to the account.");
  return ok;
}

}  // namespace tarnwell
