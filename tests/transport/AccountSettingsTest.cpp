#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "platform/Error.h"
#include "platform/ServerError.h"
#include "tests/support/TestSupport.h"
#include "tests/transport/TlsServers.h"
#include "transport/AccountSettings.h"
#include "transport/POP3Account.h"

namespace tarnwell {
namespace {

using test::Certificates;

TEST(AccountSettingsTest, ServersTakeAPortAndRefusalsNameTheirField) {
  const struct {
    const char* text;
    TServerOption server;
    const char* refusal;
  } cases[] = {
      {"pop.example.com", {"pop.example.com", 0}, ""},
      {"pop.example.com:1995", {"pop.example.com", 1995}, ""},
      {"[::1]:110", {"::1", 110}, ""},
      {"[2001:db8::5]", {"2001:db8::5", 0}, ""},
      {"2001:db8::5", {"2001:db8::5", 0}, ""},
      {"pop.example.com:", {}, "Incoming: the port after the \":\" is missing."},
      {"pop.example.com:0", {}, "Incoming port must be a number from 1 to 65535."},
      {"pop.example.com:65536", {}, "Incoming port must be a number from 1 to 65535."},
      {"pop.example.com:12a", {}, "Incoming port must be a number from 1 to 65535."},
      {"pop example.com", {}, "Incoming: the server name is missing or holds a blank."},
      {":110", {}, "Incoming: the server name is missing or holds a blank."},
      {"[::1", {}, "Incoming: the \"]\" after the address is missing."},
      {"[::1]110", {}, "Incoming: a \":\" and a port may follow the \"]\"."},
  };
  for (const auto& c : cases) {
    if (*c.refusal) {
      EXPECT_EQ(test::ErrorOf([&] { (void)ParseServer(c.text, "Incoming"); }), c.refusal) << c.text;
    } else {
      EXPECT_EQ(ParseServer(c.text, "Incoming"), c.server) << c.text;
    }
  }
}

TEST(AccountSettingsTest, APinIsTheFingerprintsDigitsInUpperCase) {
  const std::string digits(64, 'A');
  std::string colons;
  for (int i = 0; i < 32; ++i) colons += (i > 0 ? ":" : "") + std::string("aa");
  EXPECT_EQ(CertificatePin(colons), digits);
  EXPECT_EQ(CertificatePin(digits), digits);
  EXPECT_EQ(CertificatePin(digits.substr(1)), std::nullopt);
  EXPECT_EQ(CertificatePin(digits + "A"), std::nullopt);
  EXPECT_EQ(CertificatePin(digits.substr(1) + "G"), std::nullopt);
  EXPECT_EQ(CertificatePin(""), std::nullopt);
}

TEST(AccountSettingsTest, OnlyARefusedCertificateWithAFingerprintIsPinnedForItsServer) {
  const std::string fingerprint = Certificates().Fingerprint(Certificates().Good());
  const std::string pin = *CertificatePin(fingerprint);
  const struct {
    TServerPlace place;
    std::string pop3Pin;
    std::string smtpPin;
  } cases[] = {
      {{"POP3", "127.0.0.1", 995, TTlsFault::Certificate, fingerprint}, pin, ""},
      {{"SMTP", "127.0.0.1", 587, TTlsFault::Certificate, fingerprint}, "", pin},
      {{"POP3", "127.0.0.1", 995, TTlsFault::NotTls, fingerprint}, "", ""},
      {{"POP3", "127.0.0.1", 995, TTlsFault::Certificate, ""}, "", ""},
      {{"HTTP", "127.0.0.1", 443, TTlsFault::Certificate, fingerprint}, "", ""},
  };
  for (const auto& c : cases) {
    TPOP3Account account;
    EXPECT_EQ(PinRefusedCertificate(account, c.place), !(c.pop3Pin + c.smtpPin).empty())
        << c.place.Role;
    EXPECT_EQ(account.POP3CertPin, c.pop3Pin) << c.place.Role;
    EXPECT_EQ(account.SmtpInfo.SMTPCertPin, c.smtpPin) << c.place.Role;
  }
}

}  // namespace
}  // namespace tarnwell
