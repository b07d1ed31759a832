#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>
#include <QTreeWidget>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "accounts/AccountList.h"
#include "mainwindow/ui/DlgRescue.h"
#include "mainwindow/ui/DlgRescueMsg.h"
#include "message/DomainLists.h"
#include "platform/ui/QtEventLoop.h"
#include "shell/ProgramFolders.h"
#include "shell/ui/DlgMessage.h"
#include "tests/accounts/ScriptedAccount.h"
#include "tests/support/ChildProcess.h"
#include "tests/support/SmtpServer.h"
#include "tests/support/program/ProgramEnvironment.h"
#include "tests/ui/StoredMessage.h"
#include "tests/ui/UiDriver.h"
#include "transport/POP3Account.h"

namespace tarnwell {
namespace {

using Lines = std::vector<std::string>;

// What the progress window shows: its text, its rows ("[x] " for a ticked one) and its bar.
struct TShown {
  std::string text;
  Lines rows;
  int value = 0;
  int maximum = 0;
  bool operator==(const TShown&) const = default;
};

std::ostream& operator<<(std::ostream& out, const TShown& shown) {
  out << "{" << shown.text << ", {";
  for (const std::string& row : shown.rows) out << row << "; ";
  return out << "}, " << shown.value << "/" << shown.maximum << "}";
}

TShown Shown(const TRescueDlg& window) {
  TShown shown;
  shown.text = window.findChild<QLabel*>(QStringLiteral("lblProgress"))->text().toStdString();
  const auto* tree = window.findChild<QTreeWidget*>(QStringLiteral("lvMessages"));
  for (int i = 0; i < tree->topLevelItemCount(); ++i) {
    const QTreeWidgetItem* row = tree->topLevelItem(i);
    shown.rows.push_back((row->checkState(0) == Qt::Checked ? "[x] " : "[ ] ") +
                         row->text(0).toStdString());
  }
  const auto* bar = window.findChild<QProgressBar*>(QStringLiteral("pbProgress"));
  shown.value = bar->value();
  shown.maximum = bar->maximum();
  return shown;
}

TRescueDlg* RescueWindow() {
  for (QWidget* widget : QApplication::topLevelWidgets())
    if (auto* window = qobject_cast<TRescueDlg*>(widget)) return window;
  return nullptr;
}

// Runs `after` after each call of the notification, behind what it did.
template <typename TNotify>
void After(TNotify& notify, std::function<void()> after) {
  notify = [inner = notify, after = std::move(after)](auto&&... arguments) {
    if (inner) inner(std::forward<decltype(arguments)>(arguments)...);
    after();
  };
}

const char* const kSpam =
    "From: Seller <deals@spammer.example>\nTo: pat@example.com\nSubject: Cheap viagra\n"
    "X-Mailer: Spam 1.0";
const char* const kAnonymous = "To: pat@example.com\nSubject: No sender";

// A program folder with its domain lists, the program's loop on Qt's, and an account list whose
// accounts are added as the tests need them; `owner` stands for the main window.
class RescueTest : public ::testing::Test, protected test::TProgramEnvironment {
 protected:
  RescueTest() {
    TEventLoop::Install(&loop);
    LoadDomainLists(TProgramFolders::DataFolder());
    owner.resize(500, 400);
    owner.show();
  }
  ~RescueTest() override { TEventLoop::Install(nullptr); }

  TPOP3Account& AddPop3(const std::string& description, const std::string& email, int smtpPort) {
    auto account = std::make_unique<TPOP3Account>();
    account->Description = description;
    account->Name = "Pat Doe";
    account->Email = email;
    account->DialUp = false;
    account->SmtpInfo.SMTPServer = "127.0.0.1";
    account->SmtpInfo.SMTPPort = smtpPort;
    list.Add(std::move(account));
    return static_cast<TPOP3Account&>(*list.Items(list.Count() - 1));
  }

  TQtEventLoop loop;
  TAccountList list;
  TQtMessageDialogs dialogs;
  QWidget owner;
};

TEST_F(RescueTest, TheDialogNeedsAnAccountOrAnAddressAndRefusesAnAddressThatIsNone) {
  TRescueMsgDlg dialog({"Home", "Work", "Mailing lists & news"}, 1, dialogs, &owner);
  auto* accounts = dialog.findChild<QListWidget*>(QStringLiteral("clbAccounts"));
  auto* copyTo = dialog.findChild<QLineEdit*>(QStringLiteral("edCopyTo"));
  auto* ok = dialog.findChild<QPushButton*>(QStringLiteral("btnOK"));
  const auto* headers = dialog.findChild<QCheckBox*>(QStringLiteral("chkInclHeaders"));
  ASSERT_TRUE(accounts && copyTo && ok && headers);
  EXPECT_EQ(dialog.windowTitle(), QStringLiteral("Rescue message"));
  EXPECT_EQ(headers->text(), QStringLiteral("&Include message headers"));
  EXPECT_FALSE(dialog.IncludeHeaders());
  ASSERT_EQ(accounts->count(), 3);
  EXPECT_EQ(accounts->item(2)->text(), QStringLiteral("Mailing lists & news"));
  EXPECT_EQ(accounts->currentRow(), 1);
  EXPECT_EQ(dialog.Targets(), TAccountSet().set(1));
  EXPECT_TRUE(ok->isEnabled());

  accounts->item(1)->setCheckState(Qt::Unchecked);
  EXPECT_FALSE(ok->isEnabled());
  QTest::keyClicks(copyTo, QStringLiteral("   "));
  EXPECT_FALSE(ok->isEnabled());
  QTest::keyClicks(copyTo, QStringLiteral("x"));
  EXPECT_TRUE(ok->isEnabled());
  copyTo->clear();
  EXPECT_FALSE(ok->isEnabled());
  accounts->item(2)->setCheckState(Qt::Checked);
  EXPECT_TRUE(ok->isEnabled());
  EXPECT_EQ(dialog.Targets(), TAccountSet().set(2));

  QTest::keyClicks(copyTo, QString(60, QLatin1Char('a')));
  EXPECT_EQ(copyTo->text().size(), 50);

  // An address that is none is refused with the message, and the dialog stays.
  dialog.show();
  for (const char* wrong : {"pat at example.com", "pat@example.invalidtld", "pat@"}) {
    copyTo->setText(QString::fromLatin1(wrong));
    std::string said;
    test::WhenModal(
        [&](QWidget* box) {
          said = static_cast<TMessageDlg*>(box)->ShownText().toStdString();
          test::Click(box, QStringLiteral("btnOK"));
        },
        &dialog);
    test::Click(&dialog, QStringLiteral("btnOK"));
    EXPECT_EQ(said, "This is not a valid e-mail address.") << wrong;
    EXPECT_TRUE(dialog.isVisible()) << wrong;
    EXPECT_EQ(dialog.focusWidget(), copyTo) << wrong;
  }
  copyTo->setText(QStringLiteral("  copy@example.org "));
  test::Click(&dialog, QStringLiteral("btnOK"));
  EXPECT_FALSE(dialog.isVisible());
  EXPECT_EQ(dialog.result(), QDialog::Accepted);
  EXPECT_EQ(dialog.CopyTo(), "copy@example.org");
}

TEST_F(RescueTest, TheProgressWindowFollowsARescueThroughARealServer) {
  test::TSmtpServer smtp;
  TPOP3Account& home = AddPop3("Home", "pat@example.com", smtp.Port());
  test::StoreMessage(home.Killed, kSpam, {"Buy now."});
  test::StoreMessage(home.Killed, kAnonymous, {"Who?"});
  int sentBefore = 0;
  list.OnSent = [&](TEmail&, int, int) { ++sentBefore; };

  TRescueDlg window(&owner);
  EXPECT_EQ(window.windowTitle(), QStringLiteral("Rescuing messages"));
  window.Attach(list);
  std::vector<TShown> shown;
  const auto look = [&] { shown.push_back(Shown(window)); };
  After(list.OnForwarding, look);
  After(list.OnLoginOutgoing, look);
  After(list.OnSending, look);
  After(list.OnSent, look);
  After(list.OnLogoutOutgoing, look);
  window.show();
  list.ForwardKilled(home, {0, 1}, false, "", TAccountSet().set(0));

  const Lines one = {"[ ] deals@spammer.example"};
  const Lines oneSent = {"[x] deals@spammer.example"};
  const Lines two = {"[x] deals@spammer.example", "[ ] (Unknown sender)"};
  const Lines twoSent = {"[x] deals@spammer.example", "[x] (Unknown sender)"};
  EXPECT_EQ(shown, (std::vector<TShown>{{"Preparing message...", {}, 0, 2},
                                        {"Sending message...", one, 0, 2},
                                        {"Logging in...", one, 0, 2},
                                        {"Logging out...", one, 0, 2},
                                        {"Message sent.", oneSent, 1, 2},
                                        {"Preparing message...", oneSent, 1, 2},
                                        {"Sending message...", two, 1, 2},
                                        {"Logging in...", two, 1, 2},
                                        {"Logging out...", two, 1, 2},
                                        {"Message sent.", twoSent, 2, 2}}));
  const std::vector<test::TSmtpServer::TReceived> received = smtp.Received();
  ASSERT_EQ(received.size(), 2u);
  for (const auto& message : received) {
    EXPECT_NE(message.data.find("X-Tarnwell-Forwarded: Y\r\n"), std::string::npos);
    EXPECT_EQ(message.envelope.back(), "TO pat@example.com");
  }

  // The user cannot change a row, neither by clicking its box nor by its key.
  auto* tree = window.findChild<QTreeWidget*>(QStringLiteral("lvMessages"));
  const QRect row = tree->visualItemRect(tree->topLevelItem(0));
  for (int x = 2; x < 30; x += 4) {
    QTest::mouseClick(tree->viewport(), Qt::LeftButton, {}, QPoint(x, row.center().y()));
    EXPECT_EQ(Shown(window).rows, twoSent) << x;
  }
  QTest::keyClick(tree, Qt::Key_Space);
  EXPECT_EQ(Shown(window).rows, twoSent);

  // Detached, the list has its own notifications back.
  window.Detach();
  TEmail message;
  list.OnSent(message, 1, 1);
  EXPECT_EQ(sentBefore, 1);
}

TEST_F(RescueTest, RescueSendsCopiesWhereTheDialogSaysWhileTheMainWindowIsDisabled) {
  test::TSmtpServer smtp;
  TPOP3Account& home = AddPop3("Home", "pat@example.com", smtp.Port());
  AddPop3("Work", "work@example.org", smtp.Port());
  AddPop3("Lists", "lists@example.org", smtp.Port());
  TEmail& spam = test::StoreMessage(home.Killed, kSpam, {"Buy now."});
  test::StoreMessage(home.Killed, kAnonymous, {"Who?"});

  Lines names;
  std::vector<bool> ticked;
  test::WhenModal([&](QWidget* dialog) {
    auto* accounts = dialog->findChild<QListWidget*>(QStringLiteral("clbAccounts"));
    for (int i = 0; i < accounts->count(); ++i) {
      names.push_back(accounts->item(i)->text().toStdString());
      ticked.push_back(accounts->item(i)->checkState() == Qt::Checked);
    }
    accounts->item(1)->setCheckState(Qt::Checked);
    dialog->findChild<QLineEdit*>(QStringLiteral("edCopyTo"))->setText("copy@example.org");
    dialog->findChild<QCheckBox*>(QStringLiteral("chkInclHeaders"))->setChecked(true);
    test::Click(dialog, QStringLiteral("btnOK"));
  });
  // While the copy is on its way.
  std::optional<bool> ownerEnabled;
  std::optional<TShown> shown;
  After(home.OnLoginOutgoing, [&] {
    ownerEnabled = owner.isEnabled();
    if (RescueWindow() && RescueWindow()->isVisible()) shown = Shown(*RescueWindow());
  });
  RescueMessages(list, home, {&spam}, dialogs, &owner);

  EXPECT_EQ(names, (Lines{"Home", "Work", "Lists"}));
  EXPECT_EQ(ticked, (std::vector<bool>{true, false, false}));
  EXPECT_EQ(ownerEnabled, false);
  EXPECT_EQ(shown, (TShown{"Logging in...", {"[ ] deals@spammer.example"}, 0, 1}));
  EXPECT_TRUE(owner.isEnabled());
  EXPECT_EQ(RescueWindow(), nullptr);

  // To the two accounts, and a copy on its own to the address.
  const std::vector<test::TSmtpServer::TReceived> received = smtp.Received();
  ASSERT_EQ(received.size(), 2u);
  const Lines toAccounts(received[0].envelope.end() - 2, received[0].envelope.end());
  EXPECT_EQ(toAccounts, (Lines{"TO pat@example.com", "TO work@example.org"}));
  EXPECT_EQ(received[1].envelope.back(), "TO copy@example.org");
  for (const auto& message : received) {
    EXPECT_NE(message.data.find("X-Tarnwell-Forwarded: Y\r\n"), std::string::npos);
    EXPECT_NE(message.data.find("Subject: Cheap viagra\r\n"), std::string::npos);
    // The headers head the text.
    EXPECT_NE(message.data.find("\r\nX-Mailer: Spam 1.0\r\n"), std::string::npos);
  }
}

TEST_F(RescueTest, CancellingTheDialogSendsNothing) {
  test::TSmtpServer smtp;
  TPOP3Account& home = AddPop3("Home", "pat@example.com", smtp.Port());
  TEmail& spam = test::StoreMessage(home.Killed, kSpam, {"Buy now."});
  test::WhenModal([](QWidget* dialog) { test::Click(dialog, QStringLiteral("btnCancel")); });
  RescueMessages(list, home, {&spam}, dialogs, &owner);
  EXPECT_TRUE(smtp.Received().empty());
  EXPECT_EQ(RescueWindow(), nullptr);
  EXPECT_TRUE(owner.isEnabled());
}

TEST_F(RescueTest, AFailedRescueSaysSoClosesTheWindowAndShowsTheError) {
  const test::TBoundPort refusing;
  TPOP3Account& home = AddPop3("Home", "pat@example.com", refusing.Port());
  TEmail& spam = test::StoreMessage(home.Killed, kSpam, {"Buy now."});
  std::string error;
  std::optional<TShown> shown;
  bool windowVisible = true;
  bool ownerEnabled = false;
  test::WhenModal([&](QWidget* dialog) {
    test::WhenModal(
        [&](QWidget* box) {
          error = static_cast<TMessageDlg*>(box)->ShownText().toStdString();
          if (TRescueDlg* window = RescueWindow()) {
            shown = Shown(*window);
            windowVisible = window->isVisible();
          }
          ownerEnabled = owner.isEnabled();
          test::Click(box, QStringLiteral("btnOK"));
        },
        dialog);
    test::Click(dialog, QStringLiteral("btnOK"));
  });
  RescueMessages(list, home, {&spam}, dialogs, &owner);

  EXPECT_NE(error.find("Connection refused"), std::string::npos) << error;
  EXPECT_EQ(shown, (TShown{"An error occurred.", {"[ ] deals@spammer.example"}, 0, 1}));
  EXPECT_FALSE(windowVisible);
  EXPECT_TRUE(ownerEnabled);
  EXPECT_EQ(RescueWindow(), nullptr);
  EXPECT_TRUE(home.Killed[0]->Body.empty());
}

TEST_F(RescueTest, AnAccountThatRestoresInPlacePutsTheMessagesBackWithoutAsking) {
  auto profile = std::make_unique<test::TScriptedAccount>(akMapi);
  profile->Description = "Outlook";
  profile->DialUp = false;
  list.Add(std::move(profile));
  auto& account = static_cast<test::TScriptedAccount&>(*list.Items(0));
  TEmail& first = test::StoreMessage(account.Killed, "Subject: First", {"1"});
  TEmail& second = test::StoreMessage(account.Killed, "Subject: Second", {"2"});
  EXPECT_TRUE(RestoresInPlace(account));
  RescueMessages(list, account, {&second, &first}, dialogs, &owner);
  EXPECT_EQ(account.Journal, (Lines{"restore Second", "restore First"}));
  EXPECT_EQ(dialogs.WaitWindow(), nullptr);
  EXPECT_TRUE(owner.isEnabled());
}

}  // namespace
}  // namespace tarnwell
