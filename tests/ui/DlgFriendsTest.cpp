#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QGroupBox>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>

#include "filtering/FilterList.h"
#include "filtering/Filters.h"
#include "filtering/ui/DlgFriends.h"
#include "message/Emails.h"
#include "message/MessageText.h"
#include "shell/ui/DlgMessage.h"
#include "tests/program/CommandRunner.h"
#include "tests/support/TestSupport.h"
#include "tests/support/program/ProgramEnvironment.h"
#include "tests/ui/UiDriver.h"

namespace tarnwell {
namespace {

using enum TFriendType;

const char* const kTypeButtons[] = {"rbUser", "rbDomain", "rbMailingList"};

class DlgFriendsTest : public ::testing::Test, protected test::TProgramEnvironment {
 protected:
  DlgFriendsTest() {
    list.AutoSave = false;
    ann = AddFriend("ann@friends.org", User);
  }

  TFilter* AddFriend(const std::string& entry, TFriendType type) {
    auto filter = std::make_unique<TFriendFilter>();
    EXPECT_FALSE(EnterFriend(*filter, entry, type, list, true, {}));
    return list.Add(std::move(filter));
  }

  std::unique_ptr<TFriendsDlg> Dialog(TFilter& filter, bool adding,
                                      const TFriendSource& source = {}) {
    return std::make_unique<TFriendsDlg>(filter, adding, list, own, dialogs, nullptr, source);
  }

  static QLineEdit* Edit(const TFriendsDlg& dialog) {
    return dialog.findChild<QLineEdit*>(QStringLiteral("edAddress"));
  }
  static QRadioButton* TypeButton(const TFriendsDlg& dialog, TFriendType type) {
    return dialog.findChild<QRadioButton*>(
        QString::fromLatin1(kTypeButtons[static_cast<int>(type)]));
  }
  // The type whose button is checked; each dialog has exactly one.
  static TFriendType Checked(const TFriendsDlg& dialog) {
    int checked = 0;
    TFriendType type = User;
    for (const TFriendType t : {User, Domain, MailingList})
      if (TypeButton(dialog, t)->isChecked()) {
        ++checked;
        type = t;
      }
    EXPECT_EQ(checked, 1);
    return type;
  }
  static void Choose(TFriendsDlg& dialog, TFriendType type) { TypeButton(dialog, type)->click(); }
  static void Type(TFriendsDlg& dialog, const QString& text) {
    Edit(dialog)->clear();
    QTest::keyClicks(Edit(dialog), text);
  }

  // Clicks OK on the shown dialog, which refuses: the text it showed, the dialog staying open.
  static QString Refused(TFriendsDlg& dialog) {
    QString shown;
    test::WhenModal(
        [&shown](QWidget* message) {
          shown = static_cast<TMessageDlg*>(message)->ShownText();
          static_cast<QDialog*>(message)->accept();
        },
        &dialog);
    test::Click(&dialog, QStringLiteral("btnOK"));
    EXPECT_TRUE(dialog.isVisible()) << shown.toStdString();
    EXPECT_NE(dialog.result(), QDialog::Accepted);
    return shown;
  }

  static std::unique_ptr<TEmail> Message(const std::string& from, const std::string& to) {
    auto message = std::make_unique<TEmail>();
    ParseMessageText("From: " + from + "\nTo: " + to + "\nSubject: Hello\n\nHi\n", *message);
    return message;
  }

  TFilterList list;
  TFilter* ann = nullptr;
  std::vector<std::string> own = {"Pat@Example.com"};
  TQtMessageDialogs dialogs;
};

TEST_F(DlgFriendsTest, OpensAStoredFriendAsItsTypeWithEachTypesText) {
  const struct {
    std::string text1;
    uint8_t condition1;
    std::string text2;
    bool mailingList;
    TFriendType type;
    // The edit's text for User, Domain and MailingList, as the buttons switch to them.
    std::array<std::string, 3> texts;
  } cases[] = {
      {"bob",
       cnEquals,
       "example.net",
       false,
       User,
       {"bob@example.net", "example.net", "bob@example.net"}},
      {"", cnNone, "example.net", false, Domain, {"example.net", "example.net", "example.net"}},
      // A domain that kept the user part of what it was before.
      {"bob",
       cnNone,
       "example.net",
       false,
       Domain,
       {"bob@example.net", "example.net", "bob@example.net"}},
      {"news",
       cnEquals,
       "lists.example.org",
       true,
       MailingList,
       {"news@lists.example.org", "lists.example.org", "news@lists.example.org"}},
      {"",
       cnNone,
       "lists.example.org",
       true,
       MailingList,
       {"lists.example.org", "lists.example.org", "lists.example.org"}},
  };
  for (const auto& c : cases) {
    TFriendFilter filter;
    filter.SetText1(c.text1);
    filter.Condition1 = c.condition1;
    filter.SetText2(c.text2);
    if (c.mailingList) filter.Headers |= 1u << 19;
    const auto dialog = Dialog(filter, false);
    dialog->show();
    const std::string what = filter.Description();
    EXPECT_EQ(Checked(*dialog), c.type) << what;
    EXPECT_EQ(Edit(*dialog)->text().toStdString(), c.texts[static_cast<size_t>(c.type)]) << what;
    for (const TFriendType type : {User, Domain, MailingList, c.type}) {
      Choose(*dialog, type);
      EXPECT_EQ(Checked(*dialog), type) << what;
      EXPECT_EQ(Edit(*dialog)->text().toStdString(), c.texts[static_cast<size_t>(type)]) << what;
    }
  }
}

TEST_F(DlgFriendsTest, EachTypeKeepsItsOwnEntryWhileTheDialogIsOpen) {
  TFriendFilter filter;
  const auto dialog = Dialog(filter, true);
  dialog->show();
  EXPECT_EQ(Checked(*dialog), User);
  EXPECT_EQ(Edit(*dialog)->text(), QString());
  Type(*dialog, QStringLiteral("  bob@example.net  "));
  Choose(*dialog, Domain);
  EXPECT_EQ(Edit(*dialog)->text(), QString());
  Type(*dialog, QStringLiteral("example.org"));
  Choose(*dialog, MailingList);
  Type(*dialog, QStringLiteral("news@example.org"));
  Choose(*dialog, User);
  // Kept trimmed.
  EXPECT_EQ(Edit(*dialog)->text(), QStringLiteral("bob@example.net"));
  Choose(*dialog, Domain);
  EXPECT_EQ(Edit(*dialog)->text(), QStringLiteral("example.org"));
  Choose(*dialog, MailingList);
  EXPECT_EQ(Edit(*dialog)->text(), QStringLiteral("news@example.org"));

  test::Click(dialog.get(), QStringLiteral("btnOK"));
  EXPECT_EQ(dialog->result(), QDialog::Accepted);
  EXPECT_EQ(filter.Description(), "Mailing list 'news@example.org'");
}

TEST_F(DlgFriendsTest, TheAddressHoldsFiftyCharacters) {
  TFriendFilter filter;
  const auto dialog = Dialog(filter, true);
  dialog->show();
  Type(*dialog, QString(60, QLatin1Char('a')));
  EXPECT_EQ(Edit(*dialog)->text().size(), 50);
}

TEST_F(DlgFriendsTest, OkRefusesInOrderKeepingTheDialogOpenAndTheFilterAsItWas) {
  const struct {
    TFriendType type;
    QString entry;
    QString shown;
  } cases[] = {
      {User, QStringLiteral("   "), QStringLiteral("You cannot leave this field blank.")},
      {Domain, QStringLiteral("ann @friends.org"),
       QStringLiteral("This is not a valid e-mail address.")},
      {User, QStringLiteral("friends.org"), QStringLiteral("This is not a valid e-mail address.")},
      {User, QStringLiteral("a@b@friends.org"),
       QStringLiteral("This is not a valid e-mail address.")},
      {Domain, QStringLiteral("ann@friends.org"),
       QStringLiteral("This is not a valid domain name.")},
      {User, QStringLiteral(" ann@friends.org"),
       QStringLiteral("You already have a similar filter.")},
      {User, QStringLiteral("pat@EXAMPLE.com"),
       QStringLiteral("You cannot add your own e-mail address to the Friends list.")},
  };
  TFriendFilter filter;
  const auto dialog = Dialog(filter, true);
  dialog->show();
  for (const auto& c : cases) {
    Choose(*dialog, c.type);
    Type(*dialog, c.entry);
    EXPECT_EQ(Refused(*dialog), c.shown) << c.entry.toStdString();
    // The entry stays for the user to mend, selected.
    EXPECT_EQ(Edit(*dialog)->text(), c.entry);
    EXPECT_EQ(filter.Text2(), "");
    EXPECT_EQ(filter.Origin, orSystem);
  }
  Choose(*dialog, Domain);
  Type(*dialog, QStringLiteral("friends.org"));
  test::Click(dialog.get(), QStringLiteral("btnOK"));
  EXPECT_EQ(dialog->result(), QDialog::Accepted);
  EXPECT_EQ(filter.Description(), "Domain is 'friends.org'");
  EXPECT_EQ(filter.Origin, orUser);
}

TEST_F(DlgFriendsTest, EditingIntoACopyOfAnotherFriendIsAllowedCancelChangesNothing) {
  TFilter* bob = AddFriend("bob@friends.org", User);
  auto dialog = Dialog(*bob, false);
  dialog->show();
  Type(*dialog, QStringLiteral("ann@friends.org"));
  test::Click(dialog.get(), QStringLiteral("btnCancel"));
  EXPECT_EQ(bob->Description(), "User is 'bob@friends.org'");

  dialog = Dialog(*bob, false);
  dialog->show();
  Type(*dialog, QStringLiteral("ann@friends.org"));
  test::Click(dialog.get(), QStringLiteral("btnOK"));
  EXPECT_EQ(dialog->result(), QDialog::Accepted);
  EXPECT_EQ(bob->Description(), "User is 'ann@friends.org'");
}

TEST_F(DlgFriendsTest, FromAMessageOffersItsSenderItsDomainAndItsRecipient) {
  const auto message = Message("Ann Baker <Ann@Mail.Friends.org>", "News <news@lists.example.org>");
  TFriendFilter filter;
  const auto dialog = Dialog(filter, true, {message.get(), false, false});
  dialog->show();
  EXPECT_EQ(Checked(*dialog), User);
  EXPECT_EQ(Edit(*dialog)->text(), QStringLiteral("Ann@Mail.Friends.org"));
  Choose(*dialog, Domain);
  EXPECT_EQ(Edit(*dialog)->text(), QStringLiteral("Mail.Friends.org"));
  Choose(*dialog, MailingList);
  EXPECT_EQ(Edit(*dialog)->text(), QStringLiteral("news@lists.example.org"));
  // Live Mail: no Message group, nothing to rescue.
  EXPECT_FALSE(dialog->findChild<QGroupBox*>(QStringLiteral("gbMessage"))->isVisible());
  test::Click(dialog.get(), QStringLiteral("btnOK"));
  EXPECT_EQ(dialog->result(), QDialog::Accepted);
  EXPECT_FALSE(dialog->Rescue());
  EXPECT_EQ(filter.Description(), "Mailing list 'news@lists.example.org'");
}

TEST_F(DlgFriendsTest, FromKilledMailTheMessageGroupOffersToRescueOrRestore) {
  const auto message = Message("bob@example.net", "me@example.com");
  for (const bool restores : {false, true}) {
    TFriendFilter filter;
    const auto dialog = Dialog(filter, true, {message.get(), true, restores});
    dialog->show();
    auto* rescue = dialog->findChild<QCheckBox*>(QStringLiteral("chkRescue"));
    EXPECT_TRUE(dialog->findChild<QGroupBox*>(QStringLiteral("gbMessage"))->isVisible());
    EXPECT_EQ(rescue->text(), restores ? QStringLiteral("&Restore message automatically")
                                       : QStringLiteral("&Rescue message automatically"));
    EXPECT_TRUE(rescue->isChecked());
    EXPECT_TRUE(dialog->Rescue());
    rescue->setChecked(false);
    EXPECT_FALSE(dialog->Rescue());
  }
}

TEST_F(DlgFriendsTest, WithoutTheMessageGroupTheDialogIsShorter) {
  const auto message = Message("bob@example.net", "me@example.com");
  TFriendFilter filter;
  const auto live = Dialog(filter, true, {message.get(), false, false});
  const auto killed = Dialog(filter, true, {message.get(), true, false});
  live->show();
  killed->show();
  EXPECT_EQ(live->width(), killed->width());
  EXPECT_LT(live->height(), killed->height());
  const QGroupBox* group = killed->findChild<QGroupBox*>(QStringLiteral("gbMessage"));
  EXPECT_GE(killed->height() - live->height(), group->height());
}

TEST_F(DlgFriendsTest, HelpIsEnabledByWhatItOpens) {
  TFriendFilter filter;
  const auto dialog = Dialog(filter, true);
  auto* help = dialog->findChild<QPushButton*>(QStringLiteral("btnHelp"));
  EXPECT_EQ(help->text(), QStringLiteral("&Help"));
  EXPECT_FALSE(help->isEnabled());
  int opened = 0;
  dialog->SetHelp([&opened] { ++opened; });
  dialog->show();
  test::Click(dialog.get(), QStringLiteral("btnHelp"));
  EXPECT_EQ(opened, 1);
  EXPECT_TRUE(dialog->isVisible());
  EXPECT_EQ(dialog->windowTitle(), QStringLiteral("Friend Properties"));
}

// The command line's `filters add friend` refuses what the dialog refuses, with the same text.
TEST_F(DlgFriendsTest, TheCommandLineRefusesTheSameEntriesWithTheSameTexts) {
  test::TTempDir home;
  const auto run = [&home](std::vector<std::string> args, const std::string& input = "") {
    args.insert(args.begin(), {"--home", home.Path()});
    return test::RunTarnwell(args, input);
  };
  ASSERT_EQ(run({"accounts", "add", "pop3", "--description", "Home", "--name", "Pat", "--email",
                 "pat@example.com", "--pop3", "127.0.0.1:1110", "--user", "pat", "--smtp",
                 "127.0.0.1", "--password-stdin"},
                "pw\n")
                .status,
            0);
  ASSERT_EQ(run({"filters", "add", "friend", "--address", "ann@friends.org"}).status, 0);
  TFilterList stored(home / "Filters.dat");
  stored.Load(true);
  stored.AutoSave = false;

  const struct {
    TFriendType type;
    const char* option;
    std::string entry;
    // The entry itself is at fault: the command line names the option.
    bool ofEntry;
  } cases[] = {
      {User, "--address", " ", true},
      {Domain, "--domain", "friends .org", true},
      {User, "--address", "friends.org", true},
      {Domain, "--domain", "ann@friends.org", true},
      {User, "--address", "ann@friends.org", false},
      {MailingList, "--mailing-list", "PAT@example.com", false},
  };
  for (const auto& c : cases) {
    const test::TRunResult command = run({"filters", "add", "friend", c.option, c.entry});
    EXPECT_EQ(command.status, 2) << c.entry;

    TFriendFilter filter;
    TFriendsDlg dialog(filter, true, stored, {"pat@example.com"}, dialogs);
    dialog.show();
    Choose(dialog, c.type);
    Type(dialog, QString::fromStdString(c.entry));
    const std::string shown = Refused(dialog).toStdString();
    ASSERT_FALSE(shown.empty()) << c.entry;
    EXPECT_EQ(
        command.err,
        "tarnwell: " + (c.ofEntry ? std::string(c.option) + ": " : std::string()) + shown + "\n");
  }
}

}  // namespace
}  // namespace tarnwell
