#include "tests/support/Certificates.h"

#include <stdexcept>

#include "tests/support/ChildProcess.h"

namespace tarnwell::test {

namespace {

constexpr const char* kNewKey = " -newkey ec -pkeyopt ec_paramgen_curve:prime256v1 -nodes";
constexpr const char* kLocalNames = "DNS:localhost,IP:127.0.0.1";

}  // namespace

TTestCertificates::TTestCertificates() : openssl_(FindProgram("openssl")) {
  for (const char* authority : {"ca", "rogue"}) {
    Run(openssl_ + " req -x509" + kNewKey + " -keyout " + authority + ".key -out " + authority +
        ".pem -days 30 -subj '/CN=Tarnwell test " + authority + "'");
  }
  Sign("good", "ca", kLocalNames, "30");
  Sign("wronghost", "ca", "DNS:mail.example.net", "30");
  Sign("expired", "ca", kLocalNames, "-1");
  Sign("untrusted", "rogue", kLocalNames, "30");
  Run(openssl_ + " req -x509" + kNewKey +
      " -keyout selfsigned.key -out selfsigned.pem -days 30 -subj /CN=localhost -addext "
      "subjectAltName=" +
      kLocalNames);
}

void TTestCertificates::Run(const std::string& command) const {
  if (RunProgram({"/bin/sh", "-c", "cd '" + dir_.Path() + "' && " + command + " 2>/dev/null"}) != 0)
    throw std::runtime_error("openssl failed: " + command);
}

void TTestCertificates::Sign(const std::string& name, const std::string& authority,
                             const std::string& names, const std::string& days) const {
  WriteFileText(dir_ / (name + ".ext"), "subjectAltName=" + names + "\n");
  Run(openssl_ + " req" + kNewKey + " -keyout " + name + ".key -out " + name +
      ".csr -subj /CN=" + name);
  Run(openssl_ + " x509 -req -in " + name + ".csr -CA " + authority + ".pem -CAkey " + authority +
      ".key -CAcreateserial -days " + days + " -extfile " + name + ".ext -out " + name + ".pem");
}

std::string TTestCertificates::Fingerprint(const TPair& pair) const {
  Run(openssl_ + " x509 -in '" + pair.cert + "' -noout -fingerprint -sha256 > fingerprint.txt");
  std::string text = ReadFileText(dir_ / "fingerprint.txt");
  const size_t equals = text.find('=');
  if (equals == std::string::npos) throw std::runtime_error("openssl gave no fingerprint");
  text.erase(0, equals + 1);
  while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.pop_back();
  return text;
}

}  // namespace tarnwell::test
