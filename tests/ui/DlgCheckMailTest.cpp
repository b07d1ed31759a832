#include <gtest/gtest.h>

#include <QLabel>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTreeWidget>
#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "accounts/AccountList.h"
#include "accounts/ui/DlgCheckMail.h"
#include "demo/DemoPop3Server.h"
#include "filtering/FilterList.h"
#include "message/DomainLists.h"
#include "message/SvcString.h"
#include "platform/Registry.h"
#include "platform/TlsChannel.h"
#include "platform/ui/QtEventLoop.h"
#include "shell/ProgramFolders.h"
#include "tests/support/Certificates.h"
#include "tests/support/TlsProxy.h"
#include "tests/support/program/ProgramEnvironment.h"
#include "tests/ui/UiDriver.h"
#include "transport/POP3Account.h"
#include "transport/Security.h"

namespace tarnwell {
namespace {

using TTexts = std::vector<std::string>;

// What the dialog shows at one notification of a check.
struct TSeen {
  std::string event;
  std::string label;
  TTexts rows;
  bool visible = false;
  bool operator==(const TSeen&) const = default;
};

std::ostream& operator<<(std::ostream& out, const TSeen& seen) {
  out << "{" << seen.event << ", " << seen.label << ", {";
  for (const std::string& row : seen.rows) out << row << "; ";
  return out << "}, " << (seen.visible ? "shown" : "hidden") << "}";
}

// Runs `after` after each call of the notification, behind what it did.
void After(TAccountNotify& notify, std::function<void(TAccount&)> after) {
  notify = [inner = notify, after = std::move(after)](TAccount& account) {
    if (inner) inner(account);
    after(account);
  };
}

void After(TErrorNotify& notify, std::function<void()> after) {
  notify = [inner = notify, after = std::move(after)](const std::exception& error) {
    if (inner) inner(error);
    after();
  };
}

const char* const kPassword = "pop-s3cret";

test::TTestCertificates& Certificates() {
  static test::TTestCertificates certificates;
  return certificates;
}

// A program folder, the program's loop on Qt's, a demo POP3 server with a few messages and an
// account list of real POP3 accounts on it, followed by the dialog; around each batch the
// calls the application makes while its main window is open.
class CheckMailDlgTest : public ::testing::Test, protected test::TProgramEnvironment {
 protected:
  CheckMailDlgTest() {
    TEventLoop::Install(&loop);
    SetSettleAfterCheck(false);
    LoadDomainLists(TProgramFolders::DataFolder());
    filters = std::make_unique<TFilterList>(dir / "Filters.dat");
    filters->Load(true);
    filters->AutoSave = false;
    list.Init(filters.get());
    server = std::make_unique<TDemoPop3Server>("pat", kPassword);
    for (const char* subject : {"Lunch on Saturday?", "Your order has shipped", "Minutes"})
      server->AddMessage(std::string("From: ann@example.org\nTo: pat@example.com\nSubject: ") +
                         subject + "\nDate: Mon, 10 Mar 2025 09:15:00 +0000\n\nHello.\n");
    dialog.Create(list);
    list.OnCheckStart = [this](TAccountList&) {
      dialog.PrepareForCheck(list);
      if (windowOpen) dialog.Show();
    };
    list.OnCheckFinished = [this](TAccountList&) { dialog.FinishCheck(list); };
    After(list.OnLoginIncoming, [this](TAccount& a) { Note("login " + a.Description); });
    After(list.OnReadingList, [this](TAccount& a) { Note("list " + a.Description); });
    After(list.OnLogoutIncoming, [this](TAccount& a) { Note("logout " + a.Description); });
    After(list.OnError, [this] { Note("error"); });
  }
  ~CheckMailDlgTest() override {
    dialog.hide();
    SetSettleAfterCheck(true);
    TEventLoop::Install(nullptr);
  }

  TPOP3Account& Add(const std::string& description, const std::string& password = kPassword) {
    auto account = std::make_unique<TPOP3Account>();
    account->Description = description;
    account->Name = "Pat Doe";
    account->Email = "pat@example.com";
    account->DialUp = false;
    account->POP3Server = "127.0.0.1";
    account->POP3Port = server->Port();
    account->POP3UserName = "pat";
    account->Password = ScramblePassword(password);
    list.Add(std::move(account));
    return static_cast<TPOP3Account&>(*list.Items(list.Count() - 1));
  }

  void CheckAll() { list.CheckSelected({}, TriggerBit(ctOnDemand)); }

  [[nodiscard]] std::string Label() const {
    return dialog.findChild<QLabel*>(QStringLiteral("lblProgress"))->text().toStdString();
  }
  [[nodiscard]] TTexts Rows() const {
    const auto* tree = dialog.findChild<QTreeWidget*>(QStringLiteral("lvAccounts"));
    TTexts rows;
    for (int i = 0; i < tree->topLevelItemCount(); ++i) {
      const QTreeWidgetItem* row = tree->topLevelItem(i);
      rows.push_back((row->checkState(0) == Qt::Checked ? "[x] " : "[ ] ") +
                     row->text(1).toStdString());
    }
    return rows;
  }
  [[nodiscard]] QPushButton* Button(const char* name) const {
    return dialog.findChild<QPushButton*>(QString::fromLatin1(name));
  }
  [[nodiscard]] std::string Errors() const {
    return dialog.findChild<QPlainTextEdit*>(QStringLiteral("memErrors"))
        ->toPlainText()
        .toStdString();
  }
  void Note(const std::string& event) {
    seen.push_back({event, Label(), Rows(), dialog.isVisible()});
    if (onNote) onNote(event);
  }

  TQtEventLoop loop;
  std::unique_ptr<TFilterList> filters;
  TAccountList list;
  std::unique_ptr<TDemoPop3Server> server;
  TCheckMailDlg dialog;
  bool windowOpen = true;
  std::vector<TSeen> seen;
  std::function<void(const std::string& event)> onNote;
};

TEST_F(CheckMailDlgTest, FollowsARealCheckAndStaysOpenWithTheErrorsOfTheBatch) {
  Add("Home");
  Add("Work", "wrong password");
  Add("Shop");
  int listedMaximum = -1;
  onNote = [&](const std::string& event) {
    if (event == "list Home") listedMaximum = dialog.ProgressMaximum();
  };
  CheckAll();

  const std::vector<TSeen> expected = {
      {"login Home", "Logging in...", {"[ ] Home"}, true},
      {"list Home", "Checking for new messages...", {"[ ] Home"}, true},
      {"logout Home", "Logging out...", {"[x] Home"}, true},
      {"login Work", "Logging in...", {"[x] Home", "[ ] Work"}, true},
      {"error", "An error occurred.", {"[x] Home", "[ ] Work"}, true},
      {"login Shop", "Logging in...", {"[x] Home", "[ ] Work", "[ ] Shop"}, true},
      {"list Shop", "Checking for new messages...", {"[x] Home", "[ ] Work", "[ ] Shop"}, true},
      {"logout Shop", "Logging out...", {"[x] Home", "[ ] Work", "[x] Shop"}, true},
  };
  EXPECT_EQ(seen, expected);
  EXPECT_EQ(listedMaximum, 3);

  EXPECT_TRUE(dialog.isVisible());
  EXPECT_EQ(Label(), "An error occurred.");
  EXPECT_TRUE(dialog.BatchFailed());
  EXPECT_TRUE(dialog.Closable());
  EXPECT_EQ(Button("btnStop")->text(), QStringLiteral("&Close"));
  ASSERT_EQ(list.Errors.size(), 3u);
  // The program's line breaks in an error's text break its line.
  std::string error = list.Errors[1];
  std::replace(error.begin(), error.end(), '\r', '\n');
  EXPECT_EQ(Errors(), list.Errors[0] + "\n" + error + "\n");
  EXPECT_EQ(list.Errors[0], "Account: \"Work\"");

  // The error pane opens below the progress and closes again.
  const int collapsed = dialog.height();
  EXPECT_FALSE(dialog.ErrorsShown());
  test::Click(&dialog, QStringLiteral("btnErrors"));
  EXPECT_TRUE(dialog.ErrorsShown());
  EXPECT_TRUE(dialog.findChild<QPlainTextEdit*>(QStringLiteral("memErrors"))->isVisible());
  EXPECT_EQ(Button("btnErrors")->text(), QStringLiteral("Hide &errors"));
  EXPECT_GT(dialog.height(), collapsed);
  test::Click(&dialog, QStringLiteral("btnErrors"));
  EXPECT_EQ(Button("btnErrors")->text(), QStringLiteral("Show &errors"));
  EXPECT_EQ(dialog.height(), collapsed);

  test::Click(&dialog, QStringLiteral("btnStop"));
  EXPECT_FALSE(dialog.isVisible());

  // The next batch starts afresh, and one without errors ends with the dialog hidden.
  list.Items(1)->Active = false;
  seen.clear();
  CheckAll();
  ASSERT_FALSE(seen.empty());
  EXPECT_TRUE(seen.back().visible);
  EXPECT_EQ(seen.back().rows, (TTexts{"[x] Home", "[x] Shop"}));
  EXPECT_FALSE(dialog.isVisible());
  EXPECT_FALSE(dialog.BatchFailed());
  EXPECT_EQ(Errors(), "");
  EXPECT_EQ(Button("btnStop")->text(), QStringLiteral("&Stop"));
}

TEST_F(CheckMailDlgTest, StopCancelsTheBatchAndTheOutcomeSaysAborted) {
  Add("Home");
  Add("Work");
  // Closing the window during the check does nothing: only Stop stops it.
  onNote = [this](const std::string& event) {
    if (event != "login Home") return;
    dialog.close();
    dialog.reject();
    Note(dialog.isVisible() ? "still shown" : "closed");
  };
  // Stop as the user presses it, while the check lets events run.
  test::When([this] { return Label() == "Checking for new messages..."; },
             [this] { test::Click(&dialog, QStringLiteral("btnStop")); });
  CheckAll();

  ASSERT_GE(seen.size(), 3u);
  EXPECT_EQ(seen[1].event, "still shown");
  EXPECT_EQ(seen.back().event, "logout Home");
  EXPECT_EQ(seen.back().rows, TTexts{"[ ] Home"});
  EXPECT_TRUE(dialog.isVisible());
  EXPECT_EQ(Label(), "Aborted.");
  EXPECT_EQ(Button("btnStop")->text(), QStringLiteral("&Close"));
  EXPECT_TRUE(list.Cancelled);

  // Closed now, the dialog only hides: it serves the next batch.
  dialog.close();
  EXPECT_FALSE(dialog.isVisible());
  seen.clear();
  CheckAll();
  EXPECT_EQ(seen.back().rows, (TTexts{"[x] Home", "[x] Work"}));
  EXPECT_FALSE(dialog.isVisible());
}

// A scripted answer to the offer to trust a certificate: it pins the certificate on yes, as the
// trust dialog does.
struct TOffered {
  std::string account;
  std::string host;
  std::string fingerprint;
  std::string text;
  QWidget* owner = nullptr;
};

TEST_F(CheckMailDlgTest, ARefusedCertificateIsOfferedForTrustAndPinnedOnlyOnYes) {
  const test::TTestCertificates::TPair untrusted = Certificates().Untrusted();
  test::TTlsProxy proxy(server->Port(), untrusted.cert, untrusted.key);
  const struct {
    const char* name;
    bool windowOpen;
    bool answer;
  } cases[] = {
      {"yes, window open", true, true}, {"yes, from the tray", false, true}, {"no", true, false}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    while (list.Count() > 0) list.Remove(0);
    TPOP3Account& secure = Add("Secure");
    secure.POP3Security = scTls;
    secure.POP3Port = proxy.Port();
    windowOpen = c.windowOpen;
    std::vector<TOffered> offers;
    dialog.MainWindow = [] { return nullptr; };
    dialog.OfferToTrust = [&](TAccount& account, const TBatchError& refusal, QWidget* owner) {
      offers.push_back({account.Description, refusal.Server->Host, refusal.Server->Fingerprint,
                        refusal.Text, owner});
      if (c.answer) static_cast<TPOP3Account&>(account).POP3CertPin = refusal.Server->Fingerprint;
      return c.answer;
    };

    CheckAll();
    EXPECT_EQ(dialog.isVisible(), c.windowOpen);
    ASSERT_TRUE(
        WaitUntil([&] { return !offers.empty(); }, TClock::Current().MonotonicMs() + 10000));
    ASSERT_EQ(offers.size(), 1u);
    EXPECT_EQ(offers[0].account, "Secure");
    EXPECT_EQ(offers[0].host, "127.0.0.1");
    EXPECT_TRUE(SameFingerprint(offers[0].fingerprint, Certificates().Fingerprint(untrusted)))
        << offers[0].fingerprint;
    EXPECT_NE(offers[0].text.find("was refused"), std::string::npos) << offers[0].text;
    EXPECT_EQ(offers[0].owner, c.windowOpen ? static_cast<QWidget*>(&dialog) : nullptr);
    TRegistry registry;
    ASSERT_TRUE(
        registry.OpenKey(std::string(TAccount::kAccountsKey) + "\\" + secure.KeyName(), false));
    EXPECT_EQ(registry.ReadString("POP3CertPin"), c.answer ? offers[0].fingerprint : "");

    // With the certificate pinned the next check goes through; declined, it fails again without
    // asking a second time.
    dialog.hide();
    CheckAll();
    loop.Pump(0);
    loop.Pump(0);
    EXPECT_EQ(list.BatchErrors.empty(), c.answer);
    EXPECT_EQ(offers.size(), 1u);
  }
}

}  // namespace
}  // namespace tarnwell
