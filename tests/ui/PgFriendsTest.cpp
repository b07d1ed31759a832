#include <gtest/gtest.h>

#include <QCheckBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalSpy>
#include <QTest>
#include <QTreeView>

#include "accounts/AccountList.h"
#include "filtering/FilterList.h"
#include "filtering/ui/FriendListModel.h"
#include "filtering/ui/PgFriends.h"
#include "message/Emails.h"
#include "message/MessageText.h"
#include "platform/Files.h"
#include "shell/ui/DlgMessage.h"
#include "tests/accounts/AccountTestSupport.h"
#include "tests/support/TestSupport.h"
#include "tests/ui/UiDriver.h"

namespace tarnwell {
namespace {

using test::WhenModal;
using TTexts = std::vector<std::string>;

class PgFriendsTest : public test::AccountFixture {
 protected:
  PgFriendsTest() {
    test::AddScriptedAccount(accounts, "Home");
    page = std::make_unique<TFriendsPg>(*filters, accounts, dialogs);
    page->resize(600, 400);
    QObject::connect(page.get(), &TWindowPage::FiltersChanged, page.get(),
                     [this](TFilter* filter) { classified.push_back(filter); });
  }

  TFilter* Friend(const std::string& entry, TFriendType type, uint8_t origin = orUser) {
    auto filter = std::make_unique<TFriendFilter>();
    EXPECT_FALSE(EnterFriend(*filter, entry, type, *filters, true, {})) << entry;
    filter->Origin = origin;
    return filters->Add(std::move(filter));
  }

  [[nodiscard]] TTexts Rows() const {
    TTexts rows;
    for (int row = 0; row < page->Model()->rowCount(); ++row)
      rows.push_back(page->Model()->index(row, 0).data().toString().toStdString());
    return rows;
  }
  [[nodiscard]] TTexts Selected() const {
    TTexts selected;
    for (const TFilter* filter : page->SelectedFriends()) selected.push_back(filter->Description());
    return selected;
  }
  void SelectRows(std::initializer_list<int> rows) {
    QItemSelection selection;
    for (const int row : rows) {
      const QModelIndex index = page->Model()->index(row, 0);
      selection.select(index, index);
    }
    page->List()->selectionModel()->select(selection, QItemSelectionModel::ClearAndSelect);
  }
  [[nodiscard]] QPushButton* Button(const char* name) const {
    auto* button = page->findChild<QPushButton*>(QString::fromLatin1(name));
    EXPECT_NE(button, nullptr) << name;
    return button;
  }
  [[nodiscard]] bool Enabled(const char* name) const { return Button(name)->isEnabled(); }

  // Answers the friend dialog the command opens with `answer`.
  static void WithFriendDialog(std::function<void(TFriendsDlg& dialog)> answer) {
    WhenModal([answer = std::move(answer)](QWidget* dialog) {
      auto* friends = qobject_cast<TFriendsDlg*>(dialog);
      ASSERT_NE(friends, nullptr);
      answer(*friends);
    });
  }
  // Enters `entry` as `type` in the friend dialog and clicks OK.
  static void Enter(TFriendsDlg& dialog, TFriendType type, const QString& entry) {
    const char* names[] = {"rbUser", "rbDomain", "rbMailingList"};
    dialog.findChild<QRadioButton*>(QString::fromLatin1(names[static_cast<int>(type)]))
        ->setChecked(true);
    dialog.findChild<QLineEdit*>(QStringLiteral("edAddress"))->setText(entry);
    test::Click(&dialog, QStringLiteral("btnOK"));
  }
  // Acknowledges the message shown over `dialog`, keeping its text in `shown`.
  static void Acknowledge(QString& shown, QWidget& dialog) {
    WhenModal(
        [&shown](QWidget* message) {
          shown = static_cast<TMessageDlg*>(message)->ShownText();
          static_cast<QDialog*>(message)->accept();
        },
        &dialog);
  }
  // Answers the next message dialog with `button`, keeping its text in `shown`; no other modal
  // window may show meanwhile.
  static void Answer(QString& shown, const char* button) {
    WhenModal([&shown, button](QWidget* dialog) {
      shown = static_cast<TMessageDlg*>(dialog)->ShownText();
      test::Click(dialog, QString::fromLatin1(button));
    });
  }

  static std::unique_ptr<TEmail> Message(const std::string& from, const std::string& to) {
    auto message = std::make_unique<TEmail>();
    ParseMessageText("From: " + from + "\nTo: " + to + "\nSubject: Hello\n\nHi\n", *message);
    return message;
  }

  TAccountList accounts;
  TQtMessageDialogs dialogs;
  std::unique_ptr<TFriendsPg> page;
  // What the page asked to classify the live mail with, each time.
  std::vector<TFilter*> classified;
};

TEST_F(PgFriendsTest, ListsEveryFriendByDescriptionIgnoringCaseAndTheHeaderReversesIt) {
  Friend("Bob@zeta.org", TFriendType::User);
  Friend("Alpha.net", TFriendType::Domain);
  Friend("news@lists.example.org", TFriendType::MailingList);
  Friend("carl@example.com", TFriendType::User, orUpdate);
  page->Refresh();

  EXPECT_EQ(page->findChild<QLabel*>(QStringLiteral("pnlCaption"))->text(),
            QStringLiteral("    Friends"));
  EXPECT_EQ(page->Model()->headerData(0, Qt::Horizontal, Qt::DisplayRole).toString(),
            QStringLiteral("Address"));
  EXPECT_EQ(page->List()->header()->count(), 1);
  const TTexts ascending = {"Domain is 'Alpha.net'", "Mailing list 'news@lists.example.org'",
                            "User is 'ann@friends.org'", "User is 'Bob@zeta.org'",
                            "User is 'carl@example.com'"};
  EXPECT_EQ(Rows(), ascending);

  SelectRows({3, 4});
  page->show();
  QHeaderView* header = page->List()->header();
  QTest::mouseClick(header->viewport(), Qt::LeftButton, {},
                    QPoint(header->sectionViewportPosition(0) + 8, header->height() / 2));
  EXPECT_EQ(Rows(), TTexts(ascending.rbegin(), ascending.rend()));
  EXPECT_EQ(Selected(), (TTexts{"User is 'carl@example.com'", "User is 'Bob@zeta.org'"}));
  QTest::mouseClick(header->viewport(), Qt::LeftButton, {},
                    QPoint(header->sectionViewportPosition(0) + 8, header->height() / 2));
  EXPECT_EQ(Rows(), ascending);
  EXPECT_EQ(Selected(), (TTexts{"User is 'Bob@zeta.org'", "User is 'carl@example.com'"}));
}

TEST_F(PgFriendsTest, CommandsFollowTheSelectionAndTheRows) {
  Friend("bob@example.net", TFriendType::User);
  page->Refresh();
  QSignalSpy changed(page.get(), &TWindowPage::SelectionChanged);
  EXPECT_TRUE(Enabled("sbAdd"));
  EXPECT_FALSE(Enabled("sbRemove"));
  EXPECT_FALSE(Enabled("sbProperties"));
  EXPECT_FALSE(page->DeleteEnabled());
  EXPECT_TRUE(Enabled("sbSaveCopy"));
  // The address-book wizard is not there to run.
  EXPECT_FALSE(Enabled("sbImport"));

  SelectRows({0});
  EXPECT_TRUE(Enabled("sbRemove"));
  EXPECT_TRUE(Enabled("sbProperties"));
  EXPECT_TRUE(page->DeleteEnabled());
  EXPECT_GE(changed.count(), 1);
  page->SelectAll();
  EXPECT_EQ(Selected().size(), 2u);
  EXPECT_TRUE(Enabled("sbRemove"));
  EXPECT_FALSE(Enabled("sbProperties"));

  std::vector<int> all;
  for (const TFilter* filter : page->SelectedFriends()) all.push_back(filters->IndexOf(filter));
  filters->DeleteMany(all);
  page->Refresh();
  EXPECT_EQ(Rows(), TTexts{});
  EXPECT_FALSE(Enabled("sbSaveCopy"));
  EXPECT_FALSE(Enabled("sbRemove"));
  EXPECT_TRUE(Enabled("sbAdd"));
}

TEST_F(PgFriendsTest, HintsShowWhileTheSettingIsOn) {
  const struct {
    const char* name;
    const char* caption;
    const char* hint;
  } buttons[] = {{"sbAdd", "Add", "Add a friend"},
                 {"sbRemove", "Remove", "Remove a friend"},
                 {"sbProperties", "Properties", "View or edit a friend"},
                 {"sbImport", "Import addresses", "Import an address book"},
                 {"sbSaveCopy", "Save a copy", "Save a copy of your friends list"}};
  settings.ShowHints = true;
  page->show();
  for (const auto& b : buttons) {
    EXPECT_EQ(Button(b.name)->text(), QString::fromLatin1(b.caption));
    EXPECT_EQ(Button(b.name)->toolTip(), QString::fromLatin1(b.hint));
  }
  page->hide();
  settings.ShowHints = false;
  page->show();
  for (const auto& b : buttons) EXPECT_EQ(Button(b.name)->toolTip(), QString()) << b.name;
}

TEST_F(PgFriendsTest, AddPutsTheNewFriendInTheListSelectedAndClassifiesAgain) {
  // An equal friend is refused and the dialog stays; Cancel then adds nothing.
  QString shown;
  WithFriendDialog([&shown](TFriendsDlg& dialog) {
    Acknowledge(shown, dialog);
    Enter(dialog, TFriendType::User, QStringLiteral("ann@friends.org"));
    EXPECT_TRUE(dialog.isVisible());
    test::Click(&dialog, QStringLiteral("btnCancel"));
  });
  Button("sbAdd")->click();
  EXPECT_EQ(shown, QStringLiteral("You already have a similar filter."));
  EXPECT_EQ(Rows(), TTexts{"User is 'ann@friends.org'"});
  EXPECT_EQ(classified.size(), 0u);

  // The window's Insert comes here.
  WithFriendDialog([](TFriendsDlg& dialog) {
    Enter(dialog, TFriendType::MailingList, QStringLiteral("news@example.org"));
  });
  page->Add();
  EXPECT_EQ(Rows(), (TTexts{"Mailing list 'news@example.org'", "User is 'ann@friends.org'"}));
  EXPECT_EQ(Selected(), TTexts{"Mailing list 'news@example.org'"});
  ASSERT_EQ(classified.size(), 1u);
  TFilter* added = classified[0];
  ASSERT_NE(added, nullptr);
  EXPECT_EQ(filters->IndexOf(added), filters->IndexOf(page->SelectedFriends()[0]));
  EXPECT_EQ(added->Origin, orUser);
  EXPECT_EQ(added->Action, acAccept);
  // The new friend is on disk at once, not only when the window closes.
  TFilterList stored(dir / "Filters.dat");
  stored.Load(true);
  std::vector<TFilter*> friends;
  stored.FiltersOfKind(fkFriend, kAllOrigins, friends);
  EXPECT_EQ(friends.size(), 2u);
}

TEST_F(PgFriendsTest, TheOwnAddressOfAnAccountCannotBeAdded) {
  QString shown;
  WithFriendDialog([&shown](TFriendsDlg& dialog) {
    Acknowledge(shown, dialog);
    Enter(dialog, TFriendType::User, QStringLiteral("ME@example.com"));
    test::Click(&dialog, QStringLiteral("btnCancel"));
  });
  page->Add();
  EXPECT_EQ(shown, QStringLiteral("You cannot add your own e-mail address to the Friends list."));
}

TEST_F(PgFriendsTest, RemoveAsksByNumberThenSelectsTheRowAtTheOldPosition) {
  Friend("bob@example.net", TFriendType::User);
  Friend("carl@example.net", TFriendType::User);
  Friend("dan@example.net", TFriendType::User);
  page->Refresh();

  SelectRows({1});
  QString shown;
  Answer(shown, "btnNo");
  Button("sbRemove")->click();
  EXPECT_EQ(shown, QStringLiteral("Are you sure that you want to delete this filter?"));
  EXPECT_EQ(Rows().size(), 4u);
  EXPECT_EQ(classified.size(), 0u);

  SelectRows({1, 2});
  Answer(shown, "btnYes");
  // The window's Delete runs Remove.
  page->Delete();
  EXPECT_EQ(shown, QStringLiteral("Are you sure that you want to delete these filters?"));
  EXPECT_EQ(Rows(), (TTexts{"User is 'ann@friends.org'", "User is 'dan@example.net'"}));
  EXPECT_EQ(Selected(), TTexts{"User is 'dan@example.net'"});
  EXPECT_EQ(classified, std::vector<TFilter*>{nullptr});
  // Deleting writes the filter file.
  TFilterList stored(dir / "Filters.dat");
  stored.Load(true);
  std::vector<TFilter*> friends;
  stored.FiltersOfKind(fkFriend, kAllOrigins, friends);
  EXPECT_EQ(friends.size(), 2u);

  // Past the end, the last row.
  SelectRows({1});
  Answer(shown, "btnYes");
  page->Delete();
  EXPECT_EQ(Selected(), TTexts{"User is 'ann@friends.org'"});
}

TEST_F(PgFriendsTest, PropertiesEditsTheOneSelectedFriendAndMayMakeACopyOfAnother) {
  TFilter* bob = Friend("bob@example.net", TFriendType::User);
  page->Refresh();
  SelectRows({1});
  QString opened;
  WithFriendDialog([&opened](TFriendsDlg& dialog) {
    opened = dialog.Address();
    Enter(dialog, TFriendType::Domain, QStringLiteral("zeta.example.net"));
  });
  Button("sbProperties")->click();
  EXPECT_EQ(opened, QStringLiteral("bob@example.net"));
  EXPECT_EQ(Rows(), (TTexts{"Domain is 'zeta.example.net'", "User is 'ann@friends.org'"}));
  EXPECT_EQ(Selected(), TTexts{"Domain is 'zeta.example.net'"});
  EXPECT_TRUE(filters->Modified);

  // Ctrl+Enter: into a copy of ann, which an edit may be.
  WithFriendDialog([](TFriendsDlg& dialog) {
    Enter(dialog, TFriendType::User, QStringLiteral("ann@friends.org"));
  });
  page->Properties();
  EXPECT_EQ(bob->Description(), "User is 'ann@friends.org'");
  EXPECT_EQ(Rows(), (TTexts{"User is 'ann@friends.org'", "User is 'ann@friends.org'"}));

  // Cancel leaves the friend as it was.
  WithFriendDialog([](TFriendsDlg& dialog) {
    dialog.findChild<QLineEdit*>(QStringLiteral("edAddress"))->setText(QStringLiteral("x@y.z"));
    test::Click(&dialog, QStringLiteral("btnCancel"));
  });
  page->Properties();
  EXPECT_EQ(bob->Description(), "User is 'ann@friends.org'");
}

TEST_F(PgFriendsTest, ADoubleClickOpensProperties) {
  page->show();
  page->Refresh();
  QString opened;
  WithFriendDialog([&opened](TFriendsDlg& dialog) {
    opened = dialog.Address();
    test::Click(&dialog, QStringLiteral("btnCancel"));
  });
  const QRect row = page->List()->visualRect(page->Model()->index(0, 0));
  test::DoubleClick(page->List()->viewport(), row.center());
  EXPECT_EQ(opened, QStringLiteral("ann@friends.org"));
}

TEST_F(PgFriendsTest, SaveACopyWritesTheFriendsAndAsksBeforeReplacingTheFile) {
  Friend("bob@example.net", TFriendType::User);
  Friend("lists.example.org", TFriendType::MailingList);
  page->Refresh();
  const std::string path = dir / "Friends.dat";
  ASSERT_FALSE(FileExists(path));

  QString shown;
  Answer(shown, "btnOK");
  Button("sbSaveCopy")->click();
  EXPECT_EQ(shown, DialogText("Your Friends list has been saved in the file \"Friends.dat\".\r\r"
                              "To restore this list, select:\r    Friends, \r    Import "
                              "addresses,\r    Saved Friends list."));
  // Only the friends, in the order of the list, as the saved list's import reads them back.
  TFilterList saved(path);
  saved.Load(false);
  std::vector<std::string> read;
  for (int i = 0; i < saved.Count(); ++i) {
    EXPECT_EQ(saved.Filter(i)->Kind, fkFriend);
    read.push_back(saved.Filter(i)->Description());
  }
  EXPECT_EQ(read, (TTexts{"User is 'ann@friends.org'", "User is 'bob@example.net'",
                          "Mailing list 'lists.example.org'"}));

  // Declining keeps the old file.
  Friend("carl@example.net", TFriendType::User);
  page->Refresh();
  const std::string before = test::ReadFileText(path);
  Answer(shown, "btnNo");
  page->findChild<QPushButton*>(QStringLiteral("sbSaveCopy"))->click();
  EXPECT_EQ(shown, QStringLiteral("The file \"Friends.dat\" already exists. Are you sure that you "
                                  "want to replace it?"));
  EXPECT_EQ(test::ReadFileText(path), before);

  WhenModal([&shown](QWidget* question) {
    Answer(shown, "btnOK");
    test::Click(question, QStringLiteral("btnYes"));
  });
  Button("sbSaveCopy")->click();
  TFilterList replaced(path);
  replaced.Load(false);
  EXPECT_EQ(replaced.Count(), 4);
  EXPECT_TRUE(shown.startsWith(QStringLiteral("Your Friends list has been saved")));
}

TEST_F(PgFriendsTest, ImportAddressesRunsTheWizardItIsGivenAndRefreshes) {
  EXPECT_FALSE(Enabled("sbImport"));
  int runs = 0;
  page->SetImportWizard([this, &runs](TFilterList& list) {
    ++runs;
    test::AddFriend(list, "zoe", "example.org");
    return true;
  });
  EXPECT_TRUE(Enabled("sbImport"));
  Button("sbImport")->click();
  EXPECT_EQ(runs, 1);
  EXPECT_EQ(Rows(), (TTexts{"User is 'ann@friends.org'", "User is 'zoe@example.org'"}));
}

TEST_F(PgFriendsTest, ShowingThePageBringsItsRowsUpToDateKeepingTheSelection) {
  SelectRows({0});
  Friend("aaron@example.net", TFriendType::User);
  page->SetShowing(true);
  EXPECT_EQ(Rows(), (TTexts{"User is 'aaron@example.net'", "User is 'ann@friends.org'"}));
  EXPECT_EQ(Selected(), TTexts{"User is 'ann@friends.org'"});
}

// "Add a friend" of the message pages.
TEST_F(PgFriendsTest, AFriendFromAMessageIsAddedAndTheCallerToldWhetherToRescueIt) {
  const auto message = Message("Bob <bob@example.net>", "me@example.com");
  const std::vector<std::string> own = OwnAddresses(accounts);
  EXPECT_EQ(own, TTexts{"me@example.com"});

  // Live Mail: nothing to rescue.
  QString opened;
  WithFriendDialog([&opened](TFriendsDlg& dialog) {
    opened = dialog.Address();
    test::Click(&dialog, QStringLiteral("btnOK"));
  });
  TFriendFromMessage result =
      AddFriendFromMessage(*filters, {message.get(), false, false}, own, dialogs, nullptr);
  EXPECT_EQ(opened, QStringLiteral("bob@example.net"));
  ASSERT_NE(result.Added, nullptr);
  EXPECT_EQ(result.Added->Description(), "User is 'bob@example.net'");
  EXPECT_GE(filters->IndexOf(result.Added), 0);
  EXPECT_FALSE(result.Rescue);

  // Killed Mail: as the box says.
  for (const bool ticked : {true, false}) {
    WithFriendDialog([ticked](TFriendsDlg& dialog) {
      dialog.findChild<QCheckBox*>(QStringLiteral("chkRescue"))->setChecked(ticked);
      Enter(dialog, TFriendType::Domain,
            ticked ? QStringLiteral("example.net") : QStringLiteral("example.org"));
    });
    result = AddFriendFromMessage(*filters, {message.get(), true, false}, own, dialogs, nullptr);
    ASSERT_NE(result.Added, nullptr);
    EXPECT_EQ(result.Rescue, ticked);
  }

  // Cancel adds nothing and rescues nothing.
  const int count = filters->Count();
  WithFriendDialog([](TFriendsDlg& dialog) { test::Click(&dialog, QStringLiteral("btnCancel")); });
  result = AddFriendFromMessage(*filters, {message.get(), true, false}, own, dialogs, nullptr);
  EXPECT_EQ(result.Added, nullptr);
  EXPECT_FALSE(result.Rescue);
  EXPECT_EQ(filters->Count(), count);
}

TEST_F(PgFriendsTest, AFriendFromAMessageThatTheListGainedMeanwhileIsRefused) {
  const auto message = Message("carl@example.net", "me@example.com");
  QString shown;
  WithFriendDialog([this, &shown](TFriendsDlg& dialog) {
    // The same friend arrives as the dialog closes.
    QObject::connect(&dialog, &QDialog::accepted, &dialog, [this, &shown] {
      test::AddFriend(*filters, "carl", "example.net");
      Answer(shown, "btnOK");
    });
    test::Click(&dialog, QStringLiteral("btnOK"));
  });
  const int count = filters->Count();
  const TFriendFromMessage result = AddFriendFromMessage(*filters, {message.get(), true, false},
                                                         OwnAddresses(accounts), dialogs, nullptr);
  EXPECT_EQ(shown, QStringLiteral("You already have a similar filter."));
  EXPECT_EQ(result.Added, nullptr);
  EXPECT_FALSE(result.Rescue);
  EXPECT_EQ(filters->Count(), count + 1);
}

}  // namespace
}  // namespace tarnwell
