#include <gtest/gtest.h>

#include <QApplication>
#include <QBuffer>
#include <QClipboard>
#include <QDate>
#include <QHeaderView>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QScrollBar>
#include <QSignalSpy>
#include <QSplitter>
#include <QTest>
#include <QTextBlock>
#include <QTime>
#include <QTreeView>
#include <filesystem>
#include <set>

#include "accounts/AccountList.h"
#include "mainwindow/ui/ColumnShare.h"
#include "mainwindow/ui/MessageListModel.h"
#include "mainwindow/ui/MessagePages.h"
#include "mainwindow/ui/MessagePreview.h"
#include "mainwindow/ui/PgInbox.h"
#include "mainwindow/ui/PgKilled.h"
#include "mainwindow/ui/SafeDocument.h"
#include "message/MessageText.h"
#include "message/SvcSystem.h"
#include "shell/ui/DlgMessage.h"
#include "shell/ui/StatusImages.h"
#include "tests/accounts/AccountTestSupport.h"
#include "tests/ui/PrivacyProbes.h"
#include "tests/ui/UiDriver.h"

namespace tarnwell {
namespace {

using Col = TMessageListModel::TColumn;
using test::TScriptedAccount;
using test::TServerMessage;
using test::WhenModal;

// The images of a row's icon: the mark at the left, on Live Mail the status image beside it;
// -1 where there is none.
struct TImages {
  int mark = -1;
  int status = -1;
  bool operator==(const TImages&) const = default;
};

std::ostream& operator<<(std::ostream& out, const TImages& images) {
  return out << "{" << images.mark << ", " << images.status << "}";
}

int ImageAt(const QImage& picture, int x) {
  const QImage part = picture.copy(x, 0, 16, 16);
  for (int i = 0; i < kStatusImageCount; ++i)
    if (StatusImage(i).pixmap(16, 16).toImage().convertToFormat(part.format()) == part) return i;
  return -1;
}

TImages Images(const QVariant& decoration, bool live) {
  const QIcon icon = decoration.value<QIcon>();
  if (icon.isNull()) return {};
  const QImage picture = icon.pixmap(live ? 34 : 16, 16).toImage();
  return {ImageAt(picture, 0), live ? ImageAt(picture, 18) : -1};
}

QString ShortDateTime(int year, int month, int day, int hour, int minute) {
  return QLocale().toString(QDate(year, month, day), QLocale::ShortFormat) + QLatin1Char(' ') +
         QLocale().toString(QTime(hour, minute), QLocale::ShortFormat);
}

// A message with a date of its own ("" for none) and `extra` header lines.
TServerMessage Dated(const std::string& uid, const std::string& from, const std::string& subject,
                     const std::string& date, const std::string& extra = "",
                     const std::string& body = "Hello.\n") {
  return {uid, "From: " + from + "\nTo: Me <me@example.com>\nSubject: " + subject + "\n" +
                   (date.empty() ? "" : "Date: " + date + "\n") + extra + "\n" + body};
}

class PgMessagesTest : public test::AccountFixture {
 protected:
  PgMessagesTest() {
    settings.AutoRead = true;
    settings.AutoReadAfter = 5;
    list.Init(filters.get());
    home = &test::AddScriptedAccount(list, "Home");
    actions.AddFilter = [this](TPgMessages&) { calls.push_back("add filter"); };
    actions.AddFriend = [this](TPgMessages&) { calls.push_back("add friend"); };
    actions.SendError = [this](TPgMessages&) { calls.push_back("send error"); };
    actions.SendComplaint = [this](TPgMessages&) { calls.push_back("send complaint"); };
    actions.Rescue = [this](TPgMessages& page) {
      calls.push_back("rescue " + std::to_string(page.SelectedIndexes().size()));
    };
    actions.Delete = [this](TPgMessages&) { calls.push_back("delete"); };
  }

  void Check() { list.CheckSelected({}, TriggerBit(ctOnDemand)); }
  // Moves the program's time on by `ms` and runs what fell due.
  void Advance(int ms) {
    loop.Pump(ms);
    loop.Pump(0);
  }

  // The page of the account with the test's handlers, as the page that shows.
  template <typename TPage>
  std::unique_ptr<TPage> Open() {
    auto page = std::make_unique<TPage>(list);
    page->SetActions(actions);
    page->SetAccount(home);
    page->SetShowing(true);
    return page;
  }
  std::unique_ptr<TPgInbox> Inbox() { return Open<TPgInbox>(); }
  std::unique_ptr<TPgKilled> Killed() { return Open<TPgKilled>(); }

  // A record written into `folder` through the message store, as a check leaves it.
  static TEmail& Store(TEmailList& folder, const TServerMessage& text, int32_t length,
                       uint8_t action = 0, const std::string& reason = "") {
    auto message = std::make_unique<TEmail>();
    ParseMessageText(text.text, *message);
    message->BodyState = TEmail::bsRetrieved;
    message->Length = length;
    message->Action = action;
    message->Reason = reason;
    message->UID = text.uid;
    message->Status = msChecked;
    TEmail* added = folder.Add(std::move(message));
    added->Save();
    added->ClearBody();
    return *added;
  }

  static QString Cell(const TPgMessages& page, int row, int column, int role = Qt::DisplayRole) {
    return page.Model()->data(page.Model()->index(row, column), role).toString();
  }
  static std::vector<std::string> ColumnTexts(const TPgMessages& page, int column) {
    std::vector<std::string> texts;
    for (int row = 0; row < page.Model()->rowCount(); ++row)
      texts.push_back(Cell(page, row, column).toStdString());
    return texts;
  }
  static bool Bold(const TPgMessages& page, int row) {
    return page.Model()
        ->data(page.Model()->index(row, Col::colSubject), Qt::FontRole)
        .value<QFont>()
        .bold();
  }
  static void SelectRows(TPgMessages& page, std::initializer_list<int> rows) {
    QItemSelection selection;
    for (const int row : rows)
      selection.select(page.Model()->index(row, 0),
                       page.Model()->index(row, TMessageListModel::kColumnCount - 1));
    page.List()->selectionModel()->select(selection, QItemSelectionModel::ClearAndSelect);
  }
  static std::set<int> SelectedRows(const TPgMessages& page) {
    std::set<int> rows;
    for (const QModelIndex& index : page.List()->selectionModel()->selectedRows())
      rows.insert(index.row());
    return rows;
  }
  static bool Enabled(const TPgMessages& page, const char* name) {
    if (auto* button = page.findChild<QPushButton*>(QString::fromLatin1(name)))
      return button->isEnabled();
    auto* action = page.findChild<QAction*>(QString::fromLatin1(name));
    EXPECT_NE(action, nullptr) << name;
    return action && action->isEnabled();
  }
  static QString Label(const TPgMessages& page, const char* name) {
    return page.findChild<QLabel*>(QString::fromLatin1(name))->text();
  }
  static QString Shown(const TPgMessages& page) {
    return page.Preview()->document()->toPlainText();
  }
  static void ClickHeader(TPgMessages& page, int column) {
    QHeaderView* header = page.List()->header();
    QTest::mouseClick(header->viewport(), Qt::LeftButton, {},
                      QPoint(header->sectionViewportPosition(column) + 4, header->height() / 2));
  }

  TAccountList list;
  TScriptedAccount* home = nullptr;
  TMessagePageActions actions;
  std::vector<std::string> calls;
};

TEST_F(PgMessagesTest, LiveMailListsWhatTheCheckLeftLastMessageFirst) {
  home->Mailbox = {Mail("u1", "Bob Smith <bob@example.net>", "Hi"),
                   Mail("u2", "Ann <ann@friends.org>", "Lunch"),
                   Mail("u3", "fred@example.net", "=?UTF-8?Q?Gro=C3=9Fe?= lottery"),
                   Mail("u4", "Eve <eve@example.net>", "viagra")};
  Check();
  home->Inbox[0]->Flags = TEmail::sfComplained;
  auto page = Inbox();

  EXPECT_EQ(Label(*page, "pnlCaption"), QStringLiteral("    Live Mail  (3 messages)"));
  EXPECT_EQ(ColumnTexts(*page, Col::colSender),
            (std::vector<std::string>{"fred@example.net", "Ann", "Bob Smith"}));
  EXPECT_EQ(ColumnTexts(*page, Col::colSubject),
            (std::vector<std::string>{"Große lottery", "Lunch", "Hi"}));
  const std::string date = ShortDateTime(2024, 3, 14, 8, 0).toStdString();
  EXPECT_EQ(ColumnTexts(*page, Col::colDate), (std::vector<std::string>{date, date, date}));
  EXPECT_EQ(Cell(*page, 0, Col::colSizeOrAction), QString::number(home->Mailbox[2].text.size()));
  EXPECT_EQ(Cell(*page, 0, Col::colReason), QString::fromStdString(markFilter->Description()));
  EXPECT_EQ(Cell(*page, 2, Col::colReason), QString());
  EXPECT_EQ(Images(page->Model()->data(page->Model()->index(0, 0), Qt::DecorationRole), true),
            (TImages{-1, siPossibleSpam}));
  EXPECT_EQ(Images(page->Model()->data(page->Model()->index(1, 0), Qt::DecorationRole), true),
            (TImages{-1, siFriend}));
  EXPECT_EQ(Images(page->Model()->data(page->Model()->index(2, 0), Qt::DecorationRole), true),
            (TImages{siComplaintSent, -1}));
  EXPECT_EQ(page->Model()->headerData(Col::colSizeOrAction, Qt::Horizontal, Qt::DisplayRole),
            QStringLiteral("Size"));
  // Unread messages are bold; the first row is selected and shown.
  EXPECT_TRUE(Bold(*page, 0));
  EXPECT_EQ(SelectedRows(*page), (std::set<int>{0}));
  EXPECT_EQ(page->CurrentMessage(), home->Inbox[2]);
  EXPECT_EQ(Label(*page, "lblTo"), QStringLiteral("me@example.com"));
  EXPECT_TRUE(Shown(*page).contains(QStringLiteral("Hello.")));

  auto killed = Killed();
  home->Killed[0]->Flags = TEmail::sfComplained | TEmail::sfErrorMessageSent;
  killed->Redraw();
  EXPECT_EQ(Label(*killed, "pnlCaption"), QStringLiteral("    Killed Mail  (1 messages)"));
  EXPECT_EQ(ColumnTexts(*killed, Col::colSender), (std::vector<std::string>{"Eve"}));
  EXPECT_EQ(ColumnTexts(*killed, Col::colSizeOrAction), (std::vector<std::string>{"Kill"}));
  EXPECT_EQ(ColumnTexts(*killed, Col::colReason),
            (std::vector<std::string>{killFilter->Description()}));
  EXPECT_EQ(Images(killed->Model()->data(killed->Model()->index(0, 0), Qt::DecorationRole), false),
            (TImages{siBothSent, -1}));
  EXPECT_EQ(killed->Model()->headerData(Col::colSizeOrAction, Qt::Horizontal, Qt::DisplayRole),
            QStringLiteral("Action"));
}

TEST_F(PgMessagesTest, AnEmptyPageSaysSoAndDisablesListAndPreview) {
  auto page = Inbox();
  EXPECT_EQ(Label(*page, "pnlCaption"), QStringLiteral("    Live Mail"));
  EXPECT_FALSE(page->List()->isEnabled());
  EXPECT_FALSE(page->Preview()->isEnabled());
  EXPECT_EQ(page->CurrentMessage(), nullptr);
  EXPECT_FALSE(Enabled(*page, "sbDetails"));
  EXPECT_FALSE(Enabled(*page, "miSelectAll"));

  home->Mailbox = {Mail("u1", "bob@example.net", "Hi")};
  Check();
  page->Reload();
  EXPECT_EQ(Label(*page, "pnlCaption"), QStringLiteral("    Live Mail  (1 messages)"));
  EXPECT_TRUE(page->List()->isEnabled());
  EXPECT_TRUE(page->Preview()->isEnabled());

  TPgKilled killed(list);
  EXPECT_EQ(Label(killed, "pnlCaption"), QStringLiteral("    Killed Mail"));
  EXPECT_FALSE(killed.List()->isEnabled());
}

// The subjects of the rows, top to bottom.
using TOrder = std::vector<std::string>;

struct TSortCase {
  int column;
  TOrder ascending;
  TOrder descending;
};

TEST_F(PgMessagesTest, EveryColumnSortsByItsKindOfValueAndAgainReversed) {
  Store(home->Killed, Dated("k0", "carol@example.com", "beta", "Sat, 09 Mar 2024 10:00:00 +0000"),
        1000, acKill, "Zeta rule");
  Store(home->Killed, Dated("k1", "Bob <bob@example.com>", "Alpha", "Sun, 10 Mar 2024 09:00:00"),
        1000, acMark, "alpha rule");
  Store(home->Killed, Dated("k2", "alice@example.com", "gamma", ""), 1000, acKillAfterErrorMessage,
        "Beta rule");
  Store(home->Killed, Dated("k3", "Dave <dave@example.com>", "Delta", "Fri, 29 Dec 2023 23:00:00"),
        1000, acKill, "gamma rule");
  auto page = Killed();
  page->resize(900, 500);
  page->show();
  EXPECT_EQ(ColumnTexts(*page, Col::colSubject), (TOrder{"Delta", "gamma", "Alpha", "beta"}));
  EXPECT_EQ(Cell(*page, 1, Col::colDate), QString());

  const std::vector<TSortCase> cases = {
      // The position in the list.
      {Col::colIcon, {"beta", "Alpha", "gamma", "Delta"}, {"Delta", "gamma", "Alpha", "beta"}},
      // Letter case aside: "alice@example.com", "Bob", "carol@example.com", "Dave".
      {Col::colSender, {"gamma", "Alpha", "beta", "Delta"}, {"Delta", "beta", "Alpha", "gamma"}},
      {Col::colSubject, {"Alpha", "beta", "Delta", "gamma"}, {"gamma", "Delta", "beta", "Alpha"}},
      // By the date, not its text; no date comes first.
      {Col::colDate, {"gamma", "Delta", "beta", "Alpha"}, {"Alpha", "beta", "Delta", "gamma"}},
      // By the action's number (2 Mark, 3 Kill, 5 Kill after error message), not its name; the
      // two of the same action keep the order of the list, last first.
      {Col::colSizeOrAction,
       {"Alpha", "Delta", "beta", "gamma"},
       {"gamma", "Delta", "beta", "Alpha"}},
      {Col::colReason, {"Alpha", "gamma", "Delta", "beta"}, {"beta", "Delta", "gamma", "Alpha"}},
  };
  for (const TSortCase& sort : cases) {
    ClickHeader(*page, sort.column);
    EXPECT_EQ(ColumnTexts(*page, Col::colSubject), sort.ascending) << "column " << sort.column;
    ClickHeader(*page, sort.column);
    EXPECT_EQ(ColumnTexts(*page, Col::colSubject), sort.descending) << "column " << sort.column;
  }

  Store(home->Inbox, Dated("s0", "a@example.com", "900 bytes", ""), 900);
  Store(home->Inbox, Dated("s1", "a@example.com", "10000 bytes", ""), 10000);
  Store(home->Inbox, Dated("s2", "a@example.com", "95 bytes", ""), 95);
  Store(home->Inbox, Dated("s3", "a@example.com", "unknown size", ""), 0);
  auto live = Inbox();
  live->resize(900, 500);
  live->show();
  ClickHeader(*live, Col::colSizeOrAction);
  EXPECT_EQ(ColumnTexts(*live, Col::colSubject),
            (TOrder{"unknown size", "95 bytes", "900 bytes", "10000 bytes"}));
  EXPECT_EQ(ColumnTexts(*live, Col::colSizeOrAction), (TOrder{"-", "95", "900", "10000"}));
  ClickHeader(*live, Col::colSizeOrAction);
  EXPECT_EQ(ColumnTexts(*live, Col::colSubject),
            (TOrder{"10000 bytes", "900 bytes", "95 bytes", "unknown size"}));
}

TEST_F(PgMessagesTest, SortingKeepsTheSelectedMessages) {
  for (const char* subject : {"c", "a", "d", "b"})
    Store(home->Killed, Dated(subject, "x@example.com", subject, ""), 10, acKill);
  auto page = Killed();
  page->show();
  SelectRows(*page, {0, 1});  // "b" and "d"
  ClickHeader(*page, Col::colSubject);
  EXPECT_EQ(ColumnTexts(*page, Col::colSubject), (TOrder{"a", "b", "c", "d"}));
  EXPECT_EQ(SelectedRows(*page), (std::set<int>{1, 3}));
  EXPECT_EQ(page->SelectedIndexes(), (std::vector<int>{2, 3}));
}

TEST_F(PgMessagesTest, CommandsFollowTheSelection) {
  home->Mailbox = {Mail("u1", "bob@example.net", "One"), Mail("u2", "bob@example.net", "Two"),
                   Mail("u3", "bob@example.net", "Three")};
  Check();
  auto page = Inbox();
  page->show();

  struct TCase {
    std::initializer_list<int> rows;
    bool single;  // "Add a filter", "Add a friend"
  };
  for (const TCase& selection : {TCase{{1}, true}, TCase{{0, 2}, false}}) {
    SelectRows(*page, selection.rows);
    EXPECT_EQ(Enabled(*page, "sbAddFilter"), selection.single);
    EXPECT_EQ(Enabled(*page, "sbAddFriend"), selection.single);
    for (const char* name : {"sbError", "sbComplain", "sbDetails", "miDelete", "miMarkRead"})
      EXPECT_TRUE(Enabled(*page, name)) << name;
    EXPECT_FALSE(Enabled(*page, "miMarkUnread"));
  }

  // Both selected are marked read, in their files too.
  page->ListMenu()->findChild<QAction*>(QStringLiteral("miMarkRead"))->trigger();
  EXPECT_TRUE(home->Inbox[0]->Read);
  EXPECT_FALSE(home->Inbox[1]->Read);
  EXPECT_TRUE(home->Inbox[2]->Read);
  EXPECT_NE(test::ReadFileText(home->Inbox[0]->BasePath() + ".hdr").find("X-Tarnwell-Read: Y"),
            std::string::npos);
  EXPECT_FALSE(Bold(*page, 0));
  EXPECT_TRUE(Bold(*page, 1));
  EXPECT_FALSE(Enabled(*page, "miMarkRead"));
  EXPECT_TRUE(Enabled(*page, "miMarkUnread"));
  SelectRows(*page, {0, 1});
  EXPECT_TRUE(Enabled(*page, "miMarkRead"));
  EXPECT_TRUE(Enabled(*page, "miMarkUnread"));
  page->ListMenu()->findChild<QAction*>(QStringLiteral("miMarkUnread"))->trigger();
  EXPECT_FALSE(home->Inbox[2]->Read);
  EXPECT_FALSE(home->Inbox[1]->Read);

  // The buttons, Insert, Ctrl+Enter and the menu's Delete reach their handlers.
  SelectRows(*page, {1});
  for (const char* name : {"sbAddFilter", "sbAddFriend", "sbError", "sbComplain"})
    test::Click(page.get(), QString::fromLatin1(name));
  page->AddFilter();
  page->SendComplaint();
  page->ListMenu()->findChild<QAction*>(QStringLiteral("miDelete"))->trigger();
  EXPECT_EQ(calls,
            (std::vector<std::string>{"add filter", "add friend", "send error", "send complaint",
                                      "add filter", "send complaint", "delete"}));

  // Without their handlers (the dialogs they open) those commands stay off.
  auto bare = MakeMessagePage(piInbox, list, nullptr);
  bare->SetAccount(home);
  for (const char* name : {"sbAddFilter", "sbAddFriend", "sbError", "sbComplain", "miDelete"})
    EXPECT_FALSE(Enabled(static_cast<TPgMessages&>(*bare), name)) << name;
  EXPECT_TRUE(Enabled(static_cast<TPgMessages&>(*bare), "sbDetails"));
  bare->AddFilter();
  EXPECT_EQ(calls.size(), 7u);
}

TEST_F(PgMessagesTest, RescueWorksOnTheSelectedKilledMessages) {
  home->Mailbox = {Mail("u1", "eve@example.net", "viagra 1"),
                   Mail("u2", "eve@example.net", "viagra 2")};
  Check();
  auto page = Killed();
  EXPECT_TRUE(Enabled(*page, "sbRescue"));
  page->SelectAll();
  test::Click(page.get(), QStringLiteral("sbRescue"));
  EXPECT_EQ(calls, (std::vector<std::string>{"rescue 2"}));
  EXPECT_EQ(
      MakeMessagePage(piKilled, list, nullptr)->findChild<QPushButton*>("sbRescue")->isEnabled(),
      false);
  EXPECT_EQ(MakeMessagePage(piFilters, list, nullptr), nullptr);
}

TEST_F(PgMessagesTest, DeletingSelectsTheRowAtTheOldPlace) {
  home->Mailbox = {Mail("u1", "a@example.net", "One"), Mail("u2", "a@example.net", "Two"),
                   Mail("u3", "a@example.net", "Three"), Mail("u4", "a@example.net", "Four")};
  Check();
  auto page = Inbox();
  SelectRows(*page, {1, 2});  // "Three" and "Two"
  page->DeleteSelected();
  EXPECT_EQ(std::vector<std::string>(home->Journal.end() - 2, home->Journal.end()),
            (std::vector<std::string>{"delete u2", "delete u3"}));
  EXPECT_EQ(ColumnTexts(*page, Col::colSubject), (TOrder{"Four", "One"}));
  EXPECT_EQ(SelectedRows(*page), (std::set<int>{1}));
  EXPECT_EQ(page->CurrentMessage(), home->Inbox[0]);

  // The server refuses: the error is shown and the message stays.
  home->FailDelete = true;
  QString shown;
  WhenModal([&shown](QWidget* dialog) {
    shown = static_cast<TMessageDlg*>(dialog)->ShownText();
    static_cast<QDialog*>(dialog)->accept();
  });
  page->DeleteSelected();
  EXPECT_EQ(shown, QStringLiteral("The server could not delete the message."));
  EXPECT_EQ(ColumnTexts(*page, Col::colSubject), (TOrder{"Four", "One"}));

  home->Mailbox.push_back(Mail("k1", "eve@example.net", "viagra"));
  home->Mailbox.push_back(Mail("k2", "eve@example.net", "viagra again"));
  home->FailDelete = false;
  Check();
  auto killed = Killed();
  const std::string gone = home->Killed[1]->BasePath();
  SelectRows(*killed, {0});
  killed->DeleteSelected();
  EXPECT_FALSE(test::FileExists(gone + ".hdr"));
  EXPECT_FALSE(test::FileExists(gone + ".txt"));
  EXPECT_EQ(home->Killed.Count(), 1);
  EXPECT_EQ(SelectedRows(*killed), (std::set<int>{0}));
  EXPECT_EQ(Label(*killed, "pnlCaption"), QStringLiteral("    Killed Mail  (1 messages)"));
}

TEST_F(PgMessagesTest, TheReadMarkComesAfterTheIntervalOnlyWhileThePageShows) {
  home->Mailbox = {Mail("u1", "a@example.net", "One"), Mail("u2", "a@example.net", "Two")};
  Check();
  auto page = Inbox();
  TEmail& shown = *home->Inbox[1];
  ASSERT_EQ(page->CurrentMessage(), &shown);
  Advance(4900);
  EXPECT_FALSE(shown.Read);
  Advance(100);
  EXPECT_TRUE(shown.Read);
  EXPECT_FALSE(Bold(*page, 0));
  EXPECT_FALSE(page->ReadTimer().Enabled());

  // Another page was shown before the interval ended; shown again, the interval starts anew.
  SelectRows(*page, {1});
  TEmail& next = *home->Inbox[0];
  page->SetShowing(false);
  Advance(10000);
  EXPECT_FALSE(next.Read);
  page->SetShowing(true);
  Advance(4000);
  EXPECT_FALSE(next.Read);
  Advance(1000);
  EXPECT_TRUE(next.Read);

  // Off in the settings: never.
  settings.AutoRead = false;
  page->MarkSelected(false);
  SelectRows(*page, {0});
  SelectRows(*page, {1});
  Advance(60000);
  EXPECT_FALSE(next.Read);
}

TEST_F(PgMessagesTest, TheReadMarkIsNotAppliedWhileACheckRuns) {
  home->Mailbox = {Mail("u1", "a@example.net", "One")};
  Check();
  auto page = Inbox();
  TEmail& shown = *home->Inbox[0];
  ASSERT_EQ(page->CurrentMessage(), &shown);
  // The interval ends while the next check fetches a new message.
  home->Mailbox.push_back(Mail("u2", "a@example.net", "Two"));
  bool busy = false;
  home->OnFetch = [&](int32_t) {
    busy = list.Busy;
    Advance(6000);
  };
  Check();
  ASSERT_TRUE(busy);
  EXPECT_FALSE(shown.Read);
  Advance(6000);
  EXPECT_FALSE(shown.Read);
}

TEST_F(PgMessagesTest, SelectSpamSelectsExactlyTheMessagesClassifiedAsSpamAgain) {
  home->Mailbox = {Mail("u1", "a@example.net", "cheap pills"), Mail("u2", "b@example.net", "Hi"),
                   Mail("u3", "c@example.net", "cheap pills again"),
                   Mail("u4", "Ann <ann@friends.org>", "cheap pills for you"),
                   Mail("u5", "d@example.net", "lottery")};
  Check();
  auto page = Inbox();
  AddSubjectFilter("cheap pills", acKill);
  home->Refilter();
  page->Redraw();

  page->SelectSpam();
  std::set<std::string> selected;
  for (const int position : page->SelectedIndexes())
    selected.insert(home->Inbox[position]->Subject);
  EXPECT_EQ(selected, (std::set<std::string>{"cheap pills", "cheap pills again"}));
  EXPECT_EQ(home->Inbox.Count(), 5);
  const int row = page->Model()->RowOfPosition(0);
  EXPECT_EQ(Images(page->Model()->data(page->Model()->index(row, 0), Qt::DecorationRole), true),
            (TImages{-1, siSpam}));
}

TEST_F(PgMessagesTest, ThePreviewShowsDetailsHtmlOrPlainTextAndGreyWithoutTheText) {
  settings.ActiveFilters = static_cast<uint8_t>(settings.ActiveFilters & ~(1u << 5));
  home->Mailbox = {
      Dated("plain", "a@example.net", "Plain", "Thu, 14 Mar 2024 08:00:00 +0000", "",
            "Text with <b>tags</b> as they are.\n"),
      Dated("html", "Web Shop <shop@example.net>", "Html", "Thu, 14 Mar 2024 09:00:00 +0000",
            "Reply-To: Orders <orders@example.net>\nMIME-Version: 1.0\n"
            "Content-Type: text/html; charset=utf-8\n",
            "<html><body><p>Big <b>sale</b> today</p></body></html>\n")};
  Check();
  auto page = Inbox();
  const QColor normal = page->palette().color(QPalette::Text);
  const QColor grey = page->palette().color(QPalette::Disabled, QPalette::Text);
  ASSERT_NE(normal, grey);

  // Only the headers were fetched: the notice, in grey.
  EXPECT_EQ(page->CurrentMessage(), home->Inbox[1]);
  EXPECT_TRUE(Shown(*page).startsWith(QStringLiteral("This message was not retrieved")));
  EXPECT_EQ(page->Preview()->palette().color(QPalette::Text), grey);
  EXPECT_EQ(Label(*page, "lblReplyTo"), QStringLiteral("Orders"));
  EXPECT_TRUE(Enabled(*page, "miRetrieve"));
  EXPECT_FALSE(Enabled(*page, "miPreviewSelectAll"));

  static_cast<TPgInbox&>(*page).Retrieve();
  EXPECT_EQ(home->Journal.back(), "retrieve html");
  EXPECT_EQ(Shown(*page).trimmed(), QStringLiteral("Big sale today"));
  EXPECT_EQ(page->Preview()->document()->defaultFont().pointSize(), 12);
  EXPECT_EQ(page->Preview()->palette().color(QPalette::Text), normal);
  EXPECT_FALSE(Enabled(*page, "miRetrieve"));
  EXPECT_TRUE(Enabled(*page, "miPreviewSelectAll"));
  EXPECT_FALSE(home->Inbox[1]->BodyLoaded);

  page->SetDetails(true);
  const QString details = Shown(*page);
  EXPECT_TRUE(details.startsWith(QStringLiteral("From: Web Shop <shop@example.net>\n")));
  EXPECT_TRUE(details.contains(QStringLiteral("text/html; charset=utf-8\n\n<html><body>")));
  EXPECT_EQ(page->Preview()->document()->defaultFont().pointSize(), 10);
  page->SetDetails(false);

  SelectRows(*page, {1});
  static_cast<TPgInbox&>(*page).Retrieve();
  EXPECT_TRUE(Shown(*page).startsWith(QStringLiteral("Text with <b>tags</b> as they are.")));
  EXPECT_EQ(Label(*page, "lblReplyTo"), QString());
}

TEST_F(PgMessagesTest, ThePreviewHasThePicturesOfTheMessagesOwnParts) {
  QImage image(8, 8, QImage::Format_RGB32);
  image.fill(Qt::red);
  QByteArray png;
  QBuffer buffer(&png);
  buffer.open(QIODevice::WriteOnly);
  image.save(&buffer, "PNG");
  Store(home->Killed,
        {"k1",
         "From: shop@example.net\nSubject: Logo\nMIME-Version: 1.0\n"
         "Content-Type: multipart/related; boundary=\"rel\"\n\n--rel\n"
         "Content-Type: text/html; charset=utf-8\n\n"
         "<p>Our logo: <img src=\"cid:logo@example.net\"></p>\n--rel\nContent-Type: image/png\n"
         "Content-ID: <logo@example.net>\nContent-Transfer-Encoding: base64\n\n" +
             png.toBase64().toStdString() + "\n--rel--\n"},
        1000, acKill);
  auto page = Killed();
  EXPECT_TRUE(Shown(*page).contains(QStringLiteral("Our logo:")));
  auto& document = static_cast<TSafeDocument&>(*page->Preview()->document());
  EXPECT_EQ(document.Picture(QUrl(QStringLiteral("cid:logo@example.net"))).toImage(),
            image.convertToFormat(QImage::Format_RGB32));
}

TEST_F(PgMessagesTest, ARetrievalThatFailsIsShownAndTheMessageStays) {
  settings.ActiveFilters = static_cast<uint8_t>(settings.ActiveFilters & ~(1u << 5));
  home->Mailbox = {Mail("u1", "a@example.net", "Gone")};
  Check();
  auto page = Inbox();
  home->Mailbox.clear();
  QString shown;
  WhenModal([&shown](QWidget* dialog) {
    shown = static_cast<TMessageDlg*>(dialog)->ShownText();
    static_cast<QDialog*>(dialog)->accept();
  });
  static_cast<TPgInbox&>(*page).Retrieve();
  EXPECT_EQ(shown, QStringLiteral("The message was not found on the server."));
  EXPECT_EQ(page->CurrentMessage(), home->Inbox[0]);
  EXPECT_TRUE(Shown(*page).startsWith(QStringLiteral("This message was not retrieved")));
}

TEST_F(PgMessagesTest, SelectAllSelectsThePreviewsTextWhenItHasTheFocusElseEveryRow) {
  home->Mailbox = {Mail("u1", "a@example.net", "One", "First text.\n"),
                   Mail("u2", "a@example.net", "Two", "Second text.\n")};
  Check();
  auto page = Inbox();
  page->show();
  QApplication::setActiveWindow(page.get());
  page->Preview()->setFocus();
  ASSERT_TRUE(QTest::qWaitFor([&] { return page->Preview()->hasFocus(); }));
  page->SelectAll();
  EXPECT_EQ(page->Preview()->textCursor().selectedText().trimmed(), QStringLiteral("Second text."));
  EXPECT_EQ(page->SelectedCount(), 1);
  page->List()->setFocus();
  ASSERT_TRUE(QTest::qWaitFor([&] { return page->List()->hasFocus(); }));
  page->SelectAll();
  EXPECT_EQ(page->SelectedCount(), 2);
}

TEST_F(PgMessagesTest, AltSHandsTheHeadersAndWithShiftTheTextToTheClipboard) {
  InstallSpadeClipboard();
  home->Mailbox = {Mail("u1", "a@example.net", "Hi", "Line one\nLine two\n")};
  Check();
  auto page = Inbox();
  page->SendToSpade(false);
  const QString headers = QApplication::clipboard()->text();
  EXPECT_TRUE(headers.startsWith(QStringLiteral("From: a@example.net\nTo: me@example.com\n")));
  EXPECT_FALSE(headers.contains(QStringLiteral("Line one")));
  page->SendToSpade(true);
  EXPECT_TRUE(QApplication::clipboard()->text().startsWith(headers +
                                                           QStringLiteral("\nLine one\nLine two")));
  SetClipboardSink(nullptr);
}

TEST_F(PgMessagesTest, TheLayoutGoesToTheSettingsAndComesBack) {
  home->Mailbox = {Mail("u1", "a@example.net", "Hi")};
  Check();
  {
    auto page = Killed();
    page->resize(800, 600);
    page->show();
    QApplication::processEvents();
    page->List()->header()->resizeSection(Col::colSubject, 333);
    page->findChild<QSplitter*>()->setSizes({150, 350});
    page->SaveLayout();
  }
  EXPECT_EQ(settings.ColsKilled[Col::colSubject], 333);
  EXPECT_EQ(settings.SplitKilled, 150);
  settings.ColsInbox = settings.ColsKilled;
  auto page = Killed();
  // Wide enough for every column at the stored width.
  page->resize(1200, 600);
  page->RestoreLayout();
  page->show();
  QApplication::processEvents();
  EXPECT_EQ(page->List()->header()->sectionSize(Col::colSubject), 333);
  EXPECT_EQ(page->findChild<QSplitter*>()->sizes().value(0), 150);
}

TEST(SharedWidthsTest, YieldingColumnsGiveUpWidthInTurnDownToTheLeastAndTheLastFills) {
  using Widths = std::vector<int>;
  const struct {
    int available;
    Widths preferred;
    Widths shared;
  } cases[] = {
      {600, {100, 200, 100}, {100, 200, 300}},
      {400, {100, 200, 100}, {100, 200, 100}},
      // The second column gives first, then the first.
      {300, {100, 200, 100}, {100, 100, 100}},
      {230, {100, 200, 100}, {70, 60, 100}},
      {0, {100, 200, 100}, {60, 60, 100}},
      // A column already narrower than the least width keeps it.
      {100, {40, 200, 100}, {40, 60, 100}},
      {-5, {}, {}},
  };
  for (const auto& c : cases)
    EXPECT_EQ(SharedWidths(c.preferred, c.available, {1, 0}, 60), c.shared) << c.available;
}

TEST_F(PgMessagesTest, TheColumnsShareTheListsWidthAndComeBackToTheUsersWidths) {
  home->Mailbox = {Mail("u1", "Bob Smith <bob@example.net>", "Minutes of the meeting")};
  Check();
  // The user's widths: the icon, sender, subject, date, size and reason columns.
  using Widths = std::vector<int>;
  const Widths stored = {40, 200, 300, 130, 70, 150};
  std::copy(stored.begin(), stored.end(), settings.ColsInbox.begin());
  settings.ColsKilled = settings.ColsInbox;
  const int fixed = 40 + 130 + 70 + 150;
  const auto widths = [](const TPgMessages& page) {
    Widths sizes;
    for (int column = 0; column < TMessageListModel::kColumnCount; ++column)
      sizes.push_back(page.List()->header()->sectionSize(column));
    return sizes;
  };
  const auto saved = [this](TPgMessages& page) {
    page.SaveLayout();
    return Widths(settings.ColsInbox.begin(),
                  settings.ColsInbox.begin() + TMessageListModel::kColumnCount);
  };
  const auto scrolls = [](const TPgMessages& page) {
    return page.List()->horizontalScrollBar()->isVisible();
  };

  // Built narrow, as in a small window: the subject gives up width down to 60 pixels, then the
  // sender, and the columns fill the list without a scroll bar.
  auto page = Inbox();
  page->resize(780, 400);
  page->RestoreLayout();
  page->show();
  QApplication::processEvents();
  const int narrow = page->List()->viewport()->width();
  ASSERT_GT(narrow, fixed + 2 * TColumnShare::kMinimumWidth);
  ASSERT_LT(narrow, fixed + TColumnShare::kMinimumWidth + 200);
  EXPECT_EQ(widths(*page), (Widths{40, narrow - fixed - TColumnShare::kMinimumWidth,
                                   TColumnShare::kMinimumWidth, 130, 70, 150}));
  EXPECT_FALSE(scrolls(*page));
  EXPECT_EQ(saved(*page), stored);

  // Wider: the user's widths come back, the last column taking the rest.
  page->resize(1400, 400);
  QApplication::processEvents();
  const int wide = page->List()->viewport()->width();
  ASSERT_GT(wide, 890);
  EXPECT_EQ(widths(*page), (Widths{40, 200, 300, 130, 70, wide - 740}));
  EXPECT_FALSE(scrolls(*page));
  EXPECT_EQ(saved(*page), stored);

  // Too narrow for the least widths: they keep those, and the list scrolls.
  page->resize(500, 400);
  QApplication::processEvents();
  EXPECT_EQ(widths(*page), (Widths{40, 60, 60, 130, 70, 150}));
  EXPECT_TRUE(scrolls(*page));
  EXPECT_EQ(saved(*page), stored);

  // A column the user drags is the user's new width, kept as the list grows.
  page->resize(1400, 400);
  QApplication::processEvents();
  page->List()->header()->resizeSection(Col::colSender, 120);
  EXPECT_EQ(widths(*page), (Widths{40, 120, 300, 130, 70, wide - 660}));
  page->resize(780, 400);
  QApplication::processEvents();
  page->resize(1400, 400);
  QApplication::processEvents();
  EXPECT_EQ(widths(*page), (Widths{40, 120, 300, 130, 70, wide - 660}));
  EXPECT_EQ(saved(*page), (Widths{40, 120, 300, 130, 70, 150}));
}

TEST_F(PgMessagesTest, AMessageCannotMakeThePreviewConnectReadFilesOrRunAnything) {
  const test::TListener listener;
  const std::string server = listener.Address();
  test::TTempDir bait;
  test::WriteFileText(bait / "canary.png", "not an image");
  test::WriteFileText(bait / "canary.css", "p { color: red }");
  const std::string html =
      "<html><head>\n"
      "<link rel=\"stylesheet\" href=\"" +
      server +
      "/style.css\">\n"
      "<link rel=\"stylesheet\" href=\"file://" +
      bait.Path() +
      "canary.css\">\n"
      "<style>@import url(" +
      server + "/import.css); p { background-image: url(" + server +
      "/bg.png) }</style>\n"
      "<meta http-equiv=\"refresh\" content=\"0; url=" +
      server +
      "/refresh\">\n"
      "<script>document.write('SCRIPT RAN'); new Image().src = '" +
      server +
      "/s.png';</script>\n"
      "</head><body background=\"" +
      server +
      "/body.png\">\n"
      "<p>Visible text</p>\n"
      "<img src=\"" +
      server +
      "/t.png\"> <img src=\"file:///etc/passwd\">\n"
      "<img src=\"file://" +
      bait.Path() + "canary.png\"> <img src=\"" + bait.Path() +
      "canary.png\"> <img src=\"canary.png\">\n"
      "<img src=\"cid:part1@example.net\"> <img src=\"data:image/png;base64,iVBORw0KGgo=\">\n"
      "<iframe src=\"" +
      server +
      "/frame.html\"></iframe>\n"
      "<p><a href=\"" +
      server +
      "/click\">click here</a></p>\n"
      "</body></html>\n";
  home->Mailbox = {Dated("h1", "spam@example.net", "Pictures", "Thu, 14 Mar 2024 09:00:00 +0000",
                         "MIME-Version: 1.0\nContent-Type: text/html\n", html)};
  Check();
  const test::TFileWatch watch(bait.Path());
  // A bare file name would be looked for in the working folder.
  const std::filesystem::path before = std::filesystem::current_path();
  std::filesystem::current_path(bait.Path());
  auto page = Inbox();
  page->resize(900, 700);
  page->show();
  QApplication::processEvents();
  std::filesystem::current_path(before);

  const QTextDocument& document = *page->Preview()->document();
  EXPECT_TRUE(document.toPlainText().contains(QStringLiteral("Visible text")));
  EXPECT_FALSE(document.toPlainText().contains(QStringLiteral("SCRIPT RAN")));

  // A click on the link opens nothing and leaves the message in the preview.
  QSignalSpy clicked(page->Preview(), &QTextBrowser::anchorClicked);
  QTextCursor link = document.find(QStringLiteral("click here"));
  ASSERT_FALSE(link.isNull());
  link.setPosition(link.selectionStart() + 2);
  const QPoint at = page->Preview()->cursorRect(link).center();
  QTest::mouseClick(page->Preview()->viewport(), Qt::LeftButton, {}, at);
  QApplication::processEvents();
  EXPECT_EQ(clicked.count(), 1);
  EXPECT_TRUE(page->Preview()->source().isEmpty());
  EXPECT_TRUE(document.toPlainText().contains(QStringLiteral("Visible text")));

  EXPECT_FALSE(listener.Connected());
  EXPECT_FALSE(watch.Touched());
}

}  // namespace
}  // namespace tarnwell
