#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QApplication>
#include <QPushButton>
#include <deque>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "accounts/AccountList.h"
#include "accounts/ui/DlgNewAccount.h"
#include "accounts/ui/DlgTestAccount.h"
#include "accounts/ui/DlgTrustCertificate.h"
#include "platform/LineConnection.h"
#include "platform/Registry.h"
#include "platform/ui/QtEventLoop.h"
#include "shell/ui/DlgMessage.h"
#include "tests/program/CommandRunner.h"
#include "tests/support/Certificates.h"
#include "tests/support/ChildProcess.h"
#include "tests/support/Dovecot.h"
#include "tests/support/SmtpServer.h"
#include "tests/support/program/ProgramEnvironment.h"
#include "tests/ui/NewAccountDriver.h"
#include "tests/ui/UiDriver.h"
#include "transport/AccountSettings.h"
#include "transport/POP3Account.h"

namespace tarnwell {
namespace {

using Lines = std::vector<std::string>;
using enum TNewAccountDlg::TPage;

const char* const kPassword = "pop-s3cret";

test::TTestCertificates& Certificates() {
  static std::unique_ptr<test::TTestCertificates> certificates;
  if (!certificates) certificates = std::make_unique<test::TTestCertificates>();
  return *certificates;
}

// Dovecot with a certificate of the test authority, which the system does not trust, and the
// user "wizard".
test::TDovecot& Dovecot() {
  static std::unique_ptr<test::TDovecot> dovecot;
  if (!dovecot) {
    const auto good = Certificates().Good();
    dovecot = std::make_unique<test::TDovecot>(test::TDovecot::TTls{good.cert, good.key});
    dovecot->AddUser("wizard", kPassword);
  }
  return *dovecot;
}

// A port on 127.0.0.1 that takes connections and never answers.
class TSilentServer {
 public:
  TSilentServer() : fd_(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0)) {
    port_ = test::BindLoopbackPort(fd_, "no port for the silent server");
    ::listen(fd_, 4);
  }
  ~TSilentServer() { ::close(fd_); }
  TSilentServer(const TSilentServer&) = delete;
  TSilentServer& operator=(const TSilentServer&) = delete;
  [[nodiscard]] int Port() const { return port_; }

 private:
  int fd_;
  int port_ = 0;
};

// What a trust dialog showed.
struct TOffer {
  std::string intro;
  std::string server;
  std::string reason;
  std::string fingerprint;
  bool operator==(const TOffer&) const = default;
};

std::ostream& operator<<(std::ostream& out, const TOffer& offer) {
  return out << "{" << offer.intro << " | " << offer.server << " | " << offer.reason << " | "
             << offer.fingerprint << "}";
}

// What one press of "&Test now" showed.
struct TTestSeen {
  std::vector<TOffer> offers;
  // The test window's text when the test had ended.
  std::string outcome;
  bool wizardDisabled = false;
  bool nextDisabled = false;
};

// The wizard on the test page, with the servers of the test: the Dovecot's TLS port and an
// SMTP server with STARTTLS and the same certificate, both with the user "wizard".
class TestAccountWindowTest : public ::testing::Test, protected test::TProgramEnvironment {
 protected:
  TestAccountWindowTest()
      : smtp(
            "wizard", kPassword,
            {test::TSmtpTlsMode::StartTls, Certificates().Good().cert, Certificates().Good().key}) {
    TEventLoop::Install(&loop);
    entry = test::CompleteEntry();
    entry["edPop3Server"] = "127.0.0.1:" + std::to_string(Dovecot().TlsPort());
    entry["edSmtpServer"] = "127.0.0.1:" + std::to_string(smtp.Port());
    entry["chkSmtpAuth"] = "yes";
    entry["edUserName"] = "wizard";
    entry["edPassword"] = kPassword;
  }
  ~TestAccountWindowTest() override {
    TLineConnection::SetExtraCaFile("");
    TEventLoop::Install(nullptr);
  }

  void Open() {
    wizard = std::make_unique<TNewAccountDlg>(list, dialogs);
    wizard->show();
    test::Enter(*wizard, entry);
    test::GoTo(*wizard, tsTest);
  }

  [[nodiscard]] TTestAccountDlg* TestWindow() const {
    return wizard->findChild<TTestAccountDlg*>();
  }

  // Presses "&Test now", answers the trust dialogs with `answers` in turn ("&Yes" when true)
  // and presses "Close" when the test has ended.
  TTestSeen Test(std::deque<bool> answers = {}) {
    TTestSeen seen;
    std::function<void()> watch = [&] {
      test::When(
          [this] {
            QWidget* modal = QApplication::activeModalWidget();
            if (qobject_cast<TTrustCertificateDlg*>(modal)) return true;
            const TTestAccountDlg* window = TestWindow();
            return window && window->isVisible() && !window->Running() && modal == wizard.get();
          },
          [&] {
            QWidget* modal = QApplication::activeModalWidget();
            if (auto* trust = qobject_cast<TTrustCertificateDlg*>(modal)) {
              seen.offers.push_back({test::LabelText(*trust, "lblIntro"),
                                     test::LabelText(*trust, "lblServer"),
                                     test::LabelText(*trust, "lblReason"),
                                     test::LabelText(*trust, "lblFingerprint")});
              const bool yes = !answers.empty() && answers.front();
              if (!answers.empty()) answers.pop_front();
              test::Click(trust, yes ? QStringLiteral("btnYes") : QStringLiteral("btnNo"));
              watch();
              return;
            }
            seen.outcome = test::LabelText(*TestWindow(), "lblProgress");
            seen.wizardDisabled = !wizard->isEnabled();
            seen.nextDisabled =
                !wizard->findChild<QPushButton*>(QStringLiteral("btnNext"))->isEnabled();
            test::Click(TestWindow(), QStringLiteral("btnClose"));
          });
    };
    watch();
    test::Click(wizard.get(), QStringLiteral("btnTest"));
    EXPECT_EQ(TestWindow(), nullptr);
    EXPECT_TRUE(wizard->isEnabled());
    return seen;
  }

  [[nodiscard]] std::string FocusedName() const {
    const QWidget* focused = wizard->focusWidget();
    return focused ? focused->objectName().toStdString() : "(none)";
  }

  TQtEventLoop loop;
  test::TSmtpServer smtp;
  test::TWizardEntry entry;
  TAccountList list;
  TQtMessageDialogs dialogs;
  std::unique_ptr<TNewAccountDlg> wizard;
};

TEST_F(TestAccountWindowTest, TheTestLogsInToBothServersWithTheWizardDisabled) {
  TLineConnection::SetExtraCaFile(Certificates().CaFile());
  Open();
  const TTestSeen seen = Test();
  EXPECT_EQ(seen.outcome, "Tarnwell successfully connected to the account.");
  EXPECT_TRUE(seen.offers.empty());
  EXPECT_TRUE(seen.wizardDisabled);
  EXPECT_TRUE(seen.nextDisabled);
  EXPECT_EQ(FocusedName(), "btnNext");
  EXPECT_EQ(wizard->CurrentPage(), tsTest);
}

TEST_F(TestAccountWindowTest, AWrongPasswordShowsTheServersAnswer) {
  TLineConnection::SetExtraCaFile(Certificates().CaFile());
  entry["edPassword"] = "wrong";
  Open();
  const TTestSeen seen = Test();
  EXPECT_TRUE(seen.outcome.starts_with(
      "The POP3 server reported an error:\rThe user name or password is incorrect, or another "
      "program is reading e-mail.\r (-ERR "))
      << seen.outcome;
  EXPECT_NE(seen.outcome.find("Authentication failed"), std::string::npos) << seen.outcome;
  EXPECT_TRUE(seen.offers.empty());
  EXPECT_EQ(FocusedName(), "btnBack");
}

TEST_F(TestAccountWindowTest, ARefusedCertificateIsPinnedOnlyOnYesAndTheTestThenPasses) {
  const std::string fingerprint = Certificates().Fingerprint(Certificates().Good());
  const std::string reason =
      "The certificate of 127.0.0.1 was refused: unable to get local issuer certificate.";
  const std::string lines = fingerprint.substr(0, 47) + "\r" + fingerprint.substr(48);
  const TOffer pop3{
      "The POP3 server of this account sent a certificate that Tarnwell does not "
      "trust, so no secure connection was made.",
      "127.0.0.1:" + std::to_string(Dovecot().TlsPort()), reason, lines};
  TOffer smtpOffer = pop3;
  smtpOffer.intro.replace(smtpOffer.intro.find("POP3"), 4, "SMTP");
  smtpOffer.server = "127.0.0.1:" + std::to_string(smtp.Port());
  Open();

  TTestSeen seen = Test({false});
  EXPECT_EQ(seen.offers, std::vector<TOffer>{pop3});
  EXPECT_EQ(seen.outcome, "The POP3 server reported an error:\r" + reason +
                              " Its SHA-256 fingerprint is " + fingerprint + ".");
  EXPECT_EQ(FocusedName(), "btnBack");
  EXPECT_EQ(wizard->BuildAccount()->POP3CertPin, "");

  seen = Test({true, true});
  EXPECT_EQ(seen.offers, (std::vector<TOffer>{pop3, smtpOffer}));
  EXPECT_EQ(seen.outcome, "Tarnwell successfully connected to the account.");
  EXPECT_EQ(FocusedName(), "btnNext");

  test::GoTo(*wizard, tsDone);
  test::PressNext(*wizard);
  std::unique_ptr<TAccount> account = wizard->TakeAccount();
  ASSERT_NE(account, nullptr);
  list.Add(std::move(account));
  TRegistry stored;
  ASSERT_TRUE(stored.OpenKeyReadOnly(std::string(TAccount::kAccountsKey) + "\\" +
                                     list.Items(0)->KeyName()));

  // The command line pins the fingerprint the refusal gave just so.
  test::TTempDir home;
  const auto run = [&home](std::vector<std::string> args, const std::string& input = "") {
    args.insert(args.begin(), {"--home", home.Path()});
    return test::RunTarnwell(args, input);
  };
  ASSERT_EQ(run({"accounts", "add", "pop3", "--description", "Home", "--name", "Pat", "--email",
                 "pat@example.com", "--pop3", "127.0.0.1", "--user", "pat", "--smtp", "127.0.0.1",
                 "--password-stdin"},
                "pw\n")
                .status,
            0);
  ASSERT_EQ(
      run({"accounts", "set", "Home", "--pin-pop3", fingerprint, "--pin-smtp", fingerprint}).status,
      0);
  TRegistryStore commandStore(home / "Registry.db");
  TRegistry pinned(commandStore);
  ASSERT_TRUE(pinned.OpenKeyReadOnly(std::string(TAccount::kAccountsKey) + "\\0000000001"));
  for (const char* value : {"POP3CertPin", "SMTPCertPin"}) {
    EXPECT_EQ(stored.ReadString(value), pinned.ReadString(value)) << value;
    EXPECT_EQ(stored.ReadString(value), *CertificatePin(fingerprint)) << value;
  }
}

TEST_F(TestAccountWindowTest, CloseStopsARunningTestAndClosesTheWindow) {
  const TSilentServer silent;
  entry["edPop3Server"] = "127.0.0.1:" + std::to_string(silent.Port());
  entry["cbPop3Security"] = "None";
  Open();
  std::string shown;
  bool runningAfterClose = false;
  bool closeEnabledAfterClose = true;
  test::When(
      [this] {
        const TTestAccountDlg* window = TestWindow();
        return window && test::LabelText(*window, "lblProgress").starts_with("Logging in to");
      },
      [&] {
        shown = test::LabelText(*TestWindow(), "lblProgress");
        test::Click(TestWindow(), QStringLiteral("btnClose"));
        runningAfterClose = TestWindow()->Running();
        closeEnabledAfterClose =
            TestWindow()->findChild<QPushButton*>(QStringLiteral("btnClose"))->isEnabled();
      });
  test::Click(wizard.get(), QStringLiteral("btnTest"));
  EXPECT_EQ(shown, "Logging in to 127.0.0.1...");
  EXPECT_TRUE(runningAfterClose);
  EXPECT_FALSE(closeEnabledAfterClose);
  EXPECT_EQ(TestWindow(), nullptr);
  EXPECT_TRUE(wizard->isEnabled());
  EXPECT_EQ(FocusedName(), "btnBack");
}

}  // namespace
}  // namespace tarnwell
