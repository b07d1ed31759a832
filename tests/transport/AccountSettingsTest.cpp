#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/Error.h"
#include "platform/LineConnection.h"
#include "platform/ServerError.h"
#include "tests/support/SmtpServer.h"
#include "tests/support/TestSupport.h"
#include "tests/support/program/ProgramEnvironment.h"
#include "tests/transport/TlsServers.h"
#include "transport/AccountSettings.h"
#include "transport/AccountTest.h"
#include "transport/POP3Account.h"
#include "transport/Security.h"

namespace tarnwell {
namespace {

using Lines = std::vector<std::string>;
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

// The test Dovecot with the test authority's certificate, and an SMTP server with STARTTLS and
// the same certificate that wants the same login.
class AccountTestTest : public ::testing::Test, protected test::TProgramEnvironment {
 protected:
  AccountTestTest()
      : smtp(
            "account-implicit", "pop-s3cret",
            {test::TSmtpTlsMode::StartTls, Certificates().Good().cert, Certificates().Good().key}) {
    account = NewPOP3Account();
    TAccountOptions options;
    options.Description = "Home";
    options.Email = "me@example.com";
    options.POP3Server = TServerOption{"127.0.0.1", test::TlsDovecot().TlsPort()};
    options.POP3UserName = "account-implicit";
    options.SMTPServer = TServerOption{"127.0.0.1", smtp.Port()};
    options.SMTPAuth = true;
    ApplyAccountOptions(options, "pop-s3cret", *account);
  }
  ~AccountTestTest() override { TLineConnection::SetExtraCaFile(""); }

  bool Test(std::optional<TTestFailure>& failure) {
    shown.clear();
    return TestPOP3Account(
        *account, [this](const std::string& text) { shown.push_back(text); }, &failure);
  }

  test::TSmtpServer smtp;
  std::unique_ptr<TPOP3Account> account;
  Lines shown;
};

TEST_F(AccountTestTest, ARefusedCertificateIsReportedWithItsPlaceAndPassesOncePinned) {
  const std::string fingerprint = Certificates().Fingerprint(Certificates().Good());
  const std::string refusal =
      "The certificate of 127.0.0.1 was refused: unable to get local "
      "issuer certificate. Its SHA-256 fingerprint is " +
      fingerprint + ".";
  std::optional<TTestFailure> failure;
  EXPECT_FALSE(Test(failure));
  ASSERT_TRUE(failure);
  EXPECT_EQ(failure->Text, refusal);
  EXPECT_EQ(shown.back(), "The POP3 server reported an error:\r" + refusal);
  EXPECT_EQ(failure->Place.Role, "POP3");
  EXPECT_EQ(failure->Place.Port, test::TlsDovecot().TlsPort());
  EXPECT_EQ(failure->Place.Tls, TTlsFault::Certificate);
  EXPECT_EQ(failure->Place.Fingerprint, fingerprint);
  ASSERT_TRUE(PinRefusedCertificate(*account, failure->Place));

  EXPECT_FALSE(Test(failure));
  ASSERT_TRUE(failure);
  EXPECT_EQ(failure->Place.Role, "SMTP");
  EXPECT_EQ(failure->Place.Port, smtp.Port());
  EXPECT_EQ(shown.back(), "The SMTP server reported an error:\r" + refusal);
  ASSERT_TRUE(PinRefusedCertificate(*account, failure->Place));

  EXPECT_TRUE(Test(failure));
  EXPECT_FALSE(failure);
  EXPECT_EQ(shown.back(), "Tarnwell successfully connected to the account.");
  EXPECT_EQ(account->POP3CertPin, *CertificatePin(fingerprint));
  EXPECT_EQ(account->SmtpInfo.SMTPCertPin, *CertificatePin(fingerprint));
}

TEST_F(AccountTestTest, CancellingTheAccountStopsTheTestBeforeItsNextStep) {
  TLineConnection::SetExtraCaFile(Certificates().CaFile());
  int located = 0;
  const bool passed = TestPOP3Account(*account, [&](const std::string& text) {
    shown.push_back(text);
    if (text.starts_with("Locating server") && ++located == 2) account->SetCancelled(true);
  });
  EXPECT_FALSE(passed);
  EXPECT_EQ(shown, (Lines{"Locating server 127.0.0.1...", "Logging in to 127.0.0.1...",
                          "Logging out from 127.0.0.1...", "Locating server 127.0.0.1..."}));
}

}  // namespace
}  // namespace tarnwell
