// The New Account Wizard's pages on a computer with two dial-up peers, the test window while a
// test runs and after its outcomes, and the offer to trust a refused certificate.
#include <stdlib.h>

#include <QAbstractButton>
#include <QComboBox>
#include <QLineEdit>
#include <QRadioButton>
#include <filesystem>
#include <string>
#include <vector>

#include "accounts/AccountList.h"
#include "accounts/ui/DlgNewAccount.h"
#include "accounts/ui/DlgTestAccount.h"
#include "accounts/ui/DlgTrustCertificate.h"
#include "platform/DialUp.h"
#include "platform/Registry.h"
#include "platform/ServerError.h"
#include "shell/ProgramFolders.h"
#include "shell/Settings.h"
#include "shell/ui/DlgMessage.h"
#include "tests/ui/screenshots/Shots.h"

namespace tarnwell {
namespace {

// The peers of pppd on a laptop that still has a modem and a mobile stick.
class TTwoPeers : public TNoDialUp {
 public:
  int RefreshEntries() override { return 0; }
  [[nodiscard]] const std::vector<std::string>& Entries() const override { return peers_; }

 private:
  std::vector<std::string> peers_{"provider", "mobile-stick"};
};

const char* const kFingerprint =
    "5E:0B:9C:41:D2:7A:66:18:F3:2C:90:AB:4D:E1:77:08:C5:3A:62:9F:1B:D4:E8:20:07:6C:B3:95:AF:48:"
    "11:DE";

void Set(TNewAccountDlg& wizard, const char* name, const char* text) {
  wizard.findChild<QLineEdit*>(QString::fromLatin1(name))->setText(QString::fromUtf8(text));
}

void Press(QWidget& window, const char* name) {
  window.findChild<QAbstractButton*>(QString::fromLatin1(name))->click();
}

void ShootWizard() {
  TAccountList accounts;
  TQtMessageDialogs dialogs;
  TNewAccountDlg wizard(accounts, dialogs);
  wizard.SetFirstStart(true);
  wizard.SetHelp([](int) {});
  Set(wizard, "edDescription", "Home e-mail");
  shots::Shoot(wizard, "new-account-description");
  Press(wizard, "btnNext");
  Set(wizard, "edName", "Alex Example");
  Set(wizard, "edEmail", "alex.example@mail.example.com");
  shots::Shoot(wizard, "new-account-name");
  Press(wizard, "btnNext");
  Set(wizard, "edPop3Server", "pop.mail.example.com");
  Set(wizard, "edSmtpServer", "smtp.mail.example.com:2525");
  wizard.findChild<QComboBox*>(QStringLiteral("cbSmtpSecurity"))->setCurrentIndex(1);
  Press(wizard, "chkSmtpAuth");
  shots::Shoot(wizard, "new-account-servers");
  const QSize size = wizard.size();
  wizard.resize(wizard.minimumSize());
  shots::Shoot(wizard, "new-account-servers-small");
  wizard.resize(size);
  Press(wizard, "btnNext");
  Set(wizard, "edPassword", "correct horse");
  shots::Shoot(wizard, "new-account-user-name");
  Press(wizard, "btnNext");
  wizard.findChild<QRadioButton*>(QStringLiteral("rbDialUp"))->click();
  shots::Shoot(wizard, "new-account-dial-up");
  Press(wizard, "btnNext");
  wizard.findChild<QComboBox*>(QStringLiteral("cbConnection"))->setCurrentIndex(1);
  shots::Shoot(wizard, "new-account-connection");
  Press(wizard, "btnNext");
  shots::Shoot(wizard, "new-account-test");
  Press(wizard, "btnNext");
  shots::Shoot(wizard, "new-account-info");
  Press(wizard, "btnNext");
  shots::Shoot(wizard, "new-account-done");
}

void ShootTestWindow() {
  QWidget owner;
  owner.resize(560, 420);
  TTestAccountDlg during(&owner);
  during.Started();
  during.ShowProgress("Logging in to pop.mail.example.com...");
  shots::Shoot(during, "test-account-running");

  const struct {
    const char* text;
    const char* name;
    bool passed;
  } outcomes[] = {
      {"Tarnwell successfully connected to the account.", "test-account-passed", true},
      {"The POP3 server reported an error:\rThe user name or password is incorrect, or another "
       "program is reading e-mail.\r (-ERR [AUTH] Authentication failed.)",
       "test-account-wrong-password", false},
      {"Could not contact the POP3 server \"pop.mail.example.con\". \r\rYou should check that "
       "this is the correct name.",
       "test-account-unknown-server", false},
  };
  for (const auto& outcome : outcomes) {
    TTestAccountDlg after(&owner);
    after.ShowProgress(outcome.text);
    after.Finished(outcome.passed);
    shots::Shoot(after, outcome.name);
  }
  const std::string refusal = std::string(
                                  "The certificate of pop.mail.example.com was refused: "
                                  "self-signed certificate. Its SHA-256 fingerprint is ") +
                              kFingerprint + ".";
  TTestAccountDlg refused(&owner);
  refused.ShowProgress("The POP3 server reported an error:\r" + refusal);
  refused.Finished(false);
  shots::Shoot(refused, "test-account-refused-certificate");

  TServerPlace place{"POP3", "pop.mail.example.com", 995, TTlsFault::Certificate, kFingerprint};
  TTrustCertificateDlg trust(place, refusal);
  shots::Shoot(trust, "trust-certificate");
  place.Role = "SMTP";
  place.Host = "smtp.mail.example.com";
  place.Port = 587;
  TTrustCertificateDlg pinned(place,
                              std::string("The certificate of smtp.mail.example.com is not the "
                                          "pinned one. Its SHA-256 fingerprint is ") +
                                  kFingerprint + ".");
  shots::Shoot(pinned, "trust-certificate-not-pinned");
}

void ShootNewAccount() {
  std::string home = (std::filesystem::temp_directory_path() / "tarnwell-shots-XXXXXX").string();
  if (!::mkdtemp(home.data())) return;
  home += "/";
  TProgramFolders::SetProgramFolder(home);
  {
    TRegistryStore store(home + "Registry.db");
    TRegistryStore::Install(&store);
    TSettings settings(&store);
    InstallSettings(&settings);
    TTwoPeers peers;
    TDialUp::Install(&peers);
    ShootWizard();
    ShootTestWindow();
    TDialUp::Install(nullptr);
    InstallSettings(nullptr);
    TRegistryStore::Install(nullptr);
  }
  std::filesystem::remove_all(home);
}

const shots::TShotSet kSet("accounts-4-new-account", &ShootNewAccount);

}  // namespace
}  // namespace tarnwell
