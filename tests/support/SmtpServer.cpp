#include "tests/support/SmtpServer.h"

#include <unistd.h>

#include <filesystem>
#include <sstream>
#include <stdexcept>

namespace tarnwell::test {

std::string SupportFile(const std::string& name) {
  return std::filesystem::path(__FILE__).parent_path().string() + "/" + name;
}

std::string PythonWithAiosmtpd() {
  for (const char* candidate : {"/usr/bin/python3", "/usr/local/bin/python3"}) {
    if (::access(candidate, X_OK) == 0 && RunProgram({candidate, "-c", "import aiosmtpd"}) == 0)
      return candidate;
  }
  const std::string python = FindProgram("python3");
  if (RunProgram({python, "-c", "import aiosmtpd"}) == 0) return python;
  throw std::runtime_error("no python3 with aiosmtpd (the package python3-aiosmtpd)");
}

TSmtpServer::TSmtpServer(const std::string& user, const std::string& password,
                         const TSmtpTls& tls) {
  std::filesystem::create_directories(dir_ / "mail");
  std::vector<std::string> argv{PythonWithAiosmtpd(), SupportFile("smtp_server.py")};
  if (tls.mode != TSmtpTlsMode::None) {
    argv.insert(argv.end(),
                {tls.mode == TSmtpTlsMode::StartTls ? "--starttls" : "--tls", tls.cert, tls.key});
  }
  argv.insert(argv.end(), {std::to_string(port_.Port()), dir_ / "mail"});
  if (!user.empty()) {
    argv.push_back(user);
    argv.push_back(password);
  }
  process_ = std::make_unique<TChildProcess>(argv, dir_ / "server.log");
  process_->WaitForPort(port_.Port());
}

TSmtpServer::~TSmtpServer() { process_.reset(); }

std::vector<TSmtpServer::TReceived> TSmtpServer::Received() const {
  std::vector<TReceived> messages;
  for (int n = 1;; ++n) {
    char base[16];
    std::snprintf(base, sizeof base, "%04d", n);
    const std::string path = dir_ / ("mail/" + std::string(base));
    if (!FileExists(path + ".eml")) break;
    TReceived message;
    std::istringstream envelope(ReadFileText(path + ".env"));
    for (std::string line; std::getline(envelope, line);) message.envelope.push_back(line);
    message.data = ReadFileText(path + ".eml");
    messages.push_back(std::move(message));
  }
  return messages;
}

}  // namespace tarnwell::test
