#include "tests/support/NtlmServer.h"

#include <stdexcept>

#include "tests/support/SmtpServer.h"

namespace tarnwell::test {

namespace {
// The realm the users are kept under; the sample server is told to look there.
constexpr const char* kRealm = "tarnwell.test";
}  // namespace

TNtlmServer::TNtlmServer(TMode mode, const std::string& user, const std::string& password,
                         const std::string& keyword, const TStartTls& startTls) {
  const std::string sampleServer = FindProgram("sasl-sample-server");
  const std::string saslpasswd = FindProgram("saslpasswd2");
  const std::string database = dir_ / "sasldb2";
  if (RunProgram({saslpasswd, "-f", database, "-p", "-c", "-u", kRealm, user}, password) != 0)
    throw std::runtime_error("saslpasswd2 could not make the user database");
  WriteFileText(dir_ / "sample.conf", "sasldb_path: " + database + "\nmech_list: NTLM\n");
  std::vector<std::string> command{PythonWithAiosmtpd(),
                                   SupportFile("ntlm_relay.py"),
                                   std::to_string(port_.Port()),
                                   mode == TMode::Pop3 ? "pop3" : "smtp",
                                   keyword,
                                   dir_.Path(),
                                   kRealm,
                                   sampleServer};
  if (!startTls.cert.empty()) {
    command.push_back(startTls.cert);
    command.push_back(startTls.key);
  }
  process_ = std::make_unique<TChildProcess>(command, dir_ / "relay.log");
  process_->WaitForPort(port_.Port());
}

TNtlmServer::~TNtlmServer() { process_.reset(); }

}  // namespace tarnwell::test
