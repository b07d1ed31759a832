#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QHelpEvent>
#include <QLabel>
#include <QListView>
#include <QLocale>
#include <QMenu>
#include <QRadioButton>
#include <QTest>
#include <QToolBar>
#include <QToolButton>
#include <QToolTip>

#include "accounts/AccountList.h"
#include "app/ui/DesktopUi.h"
#include "mainwindow/ui/FmMain.h"
#include "mainwindow/ui/HotButton.h"
#include "mainwindow/ui/MessagePages.h"
#include "platform/DateTime.h"
#include "platform/Files.h"
#include "platform/Registry.h"
#include "shell/Synchronization.h"
#include "shell/ui/DlgMessage.h"
#include "tests/accounts/AccountTestSupport.h"
#include "tests/ui/UiDriver.h"

namespace tarnwell {
namespace {

using test::TScriptedAccount;

// A message page as far as the window drives it: it has a number of selected messages and
// writes what it is asked to `journal`. The real pages replace it where they are tested.
class TJournalPage : public TMessagePage {
 public:
  TJournalPage(std::string name, std::vector<std::string>& journal, QWidget* parent)
      : TMessagePage(parent), name_(std::move(name)), journal_(journal) {}

  void SetAccount(TAccount* account) override { Account = account; }
  void Reload() override { Note("reload"); }
  void Redraw() override {}
  [[nodiscard]] int SelectedCount() const override { return Selected; }
  void DeleteSelected() override {
    Note("delete " + std::to_string(Selected));
    Selected = 0;
    emit SelectionChanged();
  }
  void SelectAll() override { Note("select all"); }
  void SetShowing(bool showing) override { Showing = showing; }
  [[nodiscard]] bool Details() const override { return false; }
  void PrintSelected(QPrinter&) override { Note("print"); }
  void AddFilter() override { Note("add filter"); }
  void SendComplaint() override { Note("complain"); }
  void SendToSpade(bool withText) override { Note(withText ? "spade with text" : "spade"); }
  void SelectSpam() override { Note("select spam"); }
  void SaveLayout() override { Note("save layout"); }
  void RestoreLayout() override {}

  void Select(int count) {
    Selected = count;
    emit SelectionChanged();
  }

  TAccount* Account = nullptr;
  int Selected = 0;
  bool Showing = false;

 private:
  void Note(const std::string& what) { journal_.push_back(name_ + ": " + what); }

  std::string name_;
  std::vector<std::string>& journal_;
};

// A page other than a message page as far as the window drives it, writing what it is asked to
// `journal`.
class TJournalWindowPage : public TWindowPage {
 public:
  TJournalWindowPage(std::string name, std::vector<std::string>& journal, QWidget* parent)
      : TWindowPage(parent), List(new QListView(this)), name_(std::move(name)), journal_(journal) {}

  void Refresh() override { Note("refresh"); }
  [[nodiscard]] bool DeleteEnabled() const override { return Rows > 0; }
  void Delete() override { Note("delete"); }
  void Add() override { Note("add"); }
  void Properties() override { Note("properties"); }
  void SelectAll() override { Note("select all"); }
  void SetShowing(bool showing) override { Showing = showing; }

  void SetRows(int rows) {
    Rows = rows;
    emit SelectionChanged();
  }
  void Change(TFilter* filter) { emit FiltersChanged(filter); }

  QListView* List;
  int Rows = 0;
  bool Showing = false;

 private:
  void Note(const std::string& what) { journal_.push_back(name_ + ": " + what); }

  std::string name_;
  std::vector<std::string>& journal_;
};

// The window over a real account list of scripted accounts, with journal pages. Its members are
// open to the tables of cases below.
class FmMainTest : public test::AccountFixture {
 public:
  FmMainTest() {
    list.Init(filters.get());
    TScriptedAccount::SharedJournal = &journal;
  }
  ~FmMainTest() override { TScriptedAccount::SharedJournal = nullptr; }

  TScriptedAccount& Add(const std::string& description, bool active = true) {
    return test::AddScriptedAccount(list, description, active);
  }

  // The window over the list, shown, with the journal's message pages (or none) and, when asked,
  // journal pages for Filters and Friends.
  TFmMain& Open(bool withPages = true, bool withOtherPages = false) {
    TMainWindowLinks links;
    links.Accounts = &list;
    links.Filters = filters.get();
    links.Gate = &gate;
    links.Dialogs = &dialogs;
    links.ToggleSuspend = [this] {
      list.Suspended = !list.Suspended;
      journal.push_back(list.Suspended ? "suspended" : "resumed");
    };
    links.ShowAbout = [this] { journal.push_back("about"); };
    links.RunEmailProgram = [this] { journal.push_back("e-mail program"); };
    TMessagePageFactory pages = [this](int index, TAccountList&, QWidget* parent) {
      auto page =
          std::make_unique<TJournalPage>(index == piKilled ? "killed" : "inbox", journal, parent);
      (index == piKilled ? killed : inbox) = page.get();
      return page;
    };
    TWindowPageFactory otherPages = [this](int index,
                                           QWidget* parent) -> std::unique_ptr<TWindowPage> {
      if (index != piFilters && index != piFriends) return nullptr;
      auto page = std::make_unique<TJournalWindowPage>(index == piFilters ? "filters" : "friends",
                                                       journal, parent);
      (index == piFilters ? filtersPage : friendsPage) = page.get();
      return page;
    };
    if (realPages) pages = &MakeMessagePage;
    if (desktopPages) pages = MessagePageFactory(DesktopPageActions(dialogs));
    window = std::make_unique<TFmMain>(std::move(links), withPages ? pages : nullptr,
                                       withOtherPages ? otherPages : nullptr);
    window->OpenDocument = [this](const std::string& target) {
      journal.push_back("open " + target);
    };
    window->show();
    journal.clear();
    return *window;
  }

  [[nodiscard]] QAction* Action(const char* name) const {
    return window->findChild<QAction*>(QString::fromLatin1(name));
  }
  [[nodiscard]] QComboBox* Selector() const {
    return window->findChild<QComboBox*>(QStringLiteral("cbAccounts"));
  }
  [[nodiscard]] std::vector<std::string> Entries() const {
    std::vector<std::string> entries;
    for (int i = 0; i < Selector()->count(); ++i)
      entries.push_back(Selector()->itemText(i).toStdString());
    return entries;
  }
  void ClickWithControl(const char* name) const {
    QTest::mouseClick(window->findChild<QToolButton*>(QString::fromLatin1(name)), Qt::LeftButton,
                      Qt::ControlModifier);
  }
  void CheckAll() { list.CheckSelected({}, TriggerBit(ctOnDemand)); }
  void SelectKilled(int count) { killed->Select(count); }
  void DisableAccounts() {
    for (int i = 0; i < list.Count(); ++i) list.Items(i)->Active = false;
    window->FillAccounts();
  }
  // Answers the next modal dialog with the button `name` (accepts it when empty), noting the
  // text of a message dialog in the journal.
  void Answer(const char* name) {
    test::WhenModal([this, name = std::string(name)](QWidget* dialog) {
      if (auto* message = qobject_cast<TMessageDlg*>(dialog))
        journal.push_back("asked: " + message->ShownText().toStdString());
      if (name.empty())
        static_cast<QDialog*>(dialog)->accept();
      else
        test::Click(dialog, QString::fromStdString(name));
    });
  }

  TAccountList list;
  TSynchronization gate;
  TQtMessageDialogs dialogs;
  std::vector<std::string> journal;
  TJournalPage* killed = nullptr;
  TJournalPage* inbox = nullptr;
  // Open() makes the real message pages instead of the journal's, bare or with the desktop's
  // commands.
  bool realPages = false;
  bool desktopPages = false;
  TJournalWindowPage* filtersPage = nullptr;
  TJournalWindowPage* friendsPage = nullptr;
  std::unique_ptr<TFmMain> window;
};

using Journal = std::vector<std::string>;

TEST_F(FmMainTest, OpeningSuspendsCheckingUntilItClosesUnlessTheUserTookTheSuspensionOver) {
  Add("Home");
  struct {
    const char* name;
    bool suspendedBefore;
    int presses;
    bool suspendedAfter;
  } const cases[] = {
      {"left alone", false, 0, false},
      {"resumed by the user", false, 1, false},
      {"suspended again by the user", false, 2, true},
      {"suspended before", true, 0, true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    list.Suspended = c.suspendedBefore;
    TFmMain& main = Open();
    EXPECT_TRUE(list.Suspended);
    EXPECT_EQ(main.SuspendedByWindow(), !c.suspendedBefore);
    EXPECT_TRUE(Action("tbtSuspend")->isChecked());
    for (int i = 0; i < c.presses; ++i) Action("tbtSuspend")->trigger();
    EXPECT_EQ(Action("tbtSuspend")->isChecked(), list.Suspended);
    EXPECT_TRUE(main.close());
    EXPECT_EQ(list.Suspended, c.suspendedAfter);
  }
}

TEST_F(FmMainTest, ClosingIsRefusedWhileACheckHoldsTheGateAndStoresTheLayoutWhenItCloses) {
  settings.SaveAll();
  Add("Home");
  TScriptedAccount& work = Add("Work");
  Add("Off", false);
  Add("Play");
  int saves = 0;
  work.OnSaved = [&] { ++saves; };
  TFmMain& main = Open();
  main.setGeometry(40, 50, 700, 500);
  Selector()->setCurrentIndex(2);
  filters->Modified = true;

  gate.Enter(TSynchronization::skCheck);
  EXPECT_FALSE(main.close());
  EXPECT_TRUE(main.isVisible());
  EXPECT_TRUE(list.Suspended);
  // Nor do the window's checks run meanwhile.
  journal.clear();
  Action("tbtCheck")->trigger();
  Action("tbtCheckAll")->trigger();
  EXPECT_TRUE(journal.empty());
  gate.Leave();
  // A check that runs from the window's own command holds the gate for the window.
  work.Mailbox = {Mail("w1", "bob@example.net", "Hi")};
  bool refused = false;
  work.OnFetch = [&](int32_t) { refused = !main.close() && main.isVisible(); };
  Action("tbtCheckAll")->trigger();
  EXPECT_TRUE(refused);
  EXPECT_EQ(saves, 0);

  journal.clear();
  ASSERT_TRUE(main.close());
  EXPECT_EQ(journal, (Journal{"killed: save layout", "inbox: save layout", "resumed"}));
  EXPECT_GT(saves, 0);
  EXPECT_FALSE(filters->IsModified());
  TSettings stored;
  stored.Load();
  EXPECT_EQ(stored.LastAcct, 2);
  EXPECT_EQ(stored.WindowState, 0);
  EXPECT_EQ(stored.Window.left, 40);
  EXPECT_EQ(stored.Window.top, 50);
  EXPECT_EQ(stored.Window.right, 740);
  EXPECT_EQ(stored.Window.bottom, 550);
  EXPECT_NE(stored.BandInfo[0].width, 0);
  EXPECT_TRUE(gate.IsFree());

  // The next window views the account it showed last, "Play" (the third enabled one).
  settings.Load();
  Open();
  EXPECT_EQ(window->ViewedAccount(), list.Items(3));
  EXPECT_EQ(window->geometry(), QRect(40, 50, 700, 500));
}

TEST_F(FmMainTest, WithoutAnEnabledAccountTheSelectorSaysSoAndNothingCanBeChecked) {
  Add("Home", false);
  TFmMain& main = Open();
  EXPECT_EQ(Entries(), (Journal{"(No accounts)"}));
  EXPECT_FALSE(Selector()->isEnabled());
  EXPECT_EQ(main.ViewedAccount(), nullptr);
  EXPECT_EQ(killed->Account, nullptr);
  EXPECT_FALSE(Action("tbtCheck")->isEnabled());
  EXPECT_FALSE(Action("tbtCheckAll")->isEnabled());
  EXPECT_FALSE(window->findChild<QToolButton*>(QStringLiteral("sbNextAcct"))->isEnabled());
  EXPECT_FALSE(main.HandleKey(Qt::Key_C, Qt::AltModifier));
  EXPECT_TRUE(main.LastCheckText().isEmpty());

  list.Items(0)->Active = true;
  main.FillAccounts();
  EXPECT_EQ(Entries(), (Journal{"Home"}));
  EXPECT_TRUE(Action("tbtCheck")->isEnabled());
  EXPECT_EQ(inbox->Account, list.Items(0));
}

TEST_F(FmMainTest, TheSelectorCountsNewMailAndControlClicksLookForIt) {
  Add("Home");
  TScriptedAccount& work = Add("Work");
  Add("Play");
  TScriptedAccount& news = Add("News");
  work.Mailbox = {Mail("w1", "bob@example.net", "Hi"), Mail("w2", "ann@friends.org", "Lunch")};
  news.Mailbox = {Mail("n1", "bob@example.net", "Digest")};
  TFmMain& main = Open();
  ASSERT_EQ(Selector()->currentIndex(), 0);
  // Only the checked account's reply is seen here: nothing has new mail yet.
  ClickWithControl("sbNextAcct");
  EXPECT_EQ(Selector()->currentIndex(), 0);

  CheckAll();
  main.FillAccounts();
  EXPECT_EQ(Entries(), (Journal{"Home", "Work (2 new)", "Play", "News (1 new)"}));
  QTest::mouseClick(window->findChild<QToolButton*>(QStringLiteral("sbNextAcct")), Qt::LeftButton);
  EXPECT_EQ(main.ViewedAccount(), &work);
  EXPECT_EQ(killed->Account, &work);
  // The search takes in the selected account itself.
  ClickWithControl("sbNextAcct");
  EXPECT_EQ(main.ViewedAccount(), &work);
  Selector()->setCurrentIndex(2);
  ClickWithControl("sbNextAcct");
  EXPECT_EQ(main.ViewedAccount(), &news);
  EXPECT_FALSE(window->findChild<QToolButton*>(QStringLiteral("sbNextAcct"))->isEnabled());
  Selector()->setCurrentIndex(2);
  ClickWithControl("sbPreviousAcct");
  EXPECT_EQ(main.ViewedAccount(), &work);
  Selector()->setCurrentIndex(0);
  ClickWithControl("sbPreviousAcct");
  EXPECT_EQ(Selector()->currentIndex(), 0);
  EXPECT_FALSE(window->findChild<QToolButton*>(QStringLiteral("sbPreviousAcct"))->isEnabled());
}

struct TKeyCase {
  const char* name;
  int key;
  Qt::KeyboardModifiers modifiers;
  // Puts the window into the state the case needs.
  std::function<void(FmMainTest&)> setUp;
  Journal expected;
  // The button that answers the dialog the key opens ("" accepts it); none opens without.
  const char* answer = nullptr;
};

std::ostream& operator<<(std::ostream& out, const TKeyCase& c) { return out << c.name; }

class FmMainKeyTest : public FmMainTest, public testing::WithParamInterface<TKeyCase> {};

const auto kSelectTwo = [](FmMainTest& t) { t.SelectKilled(2); };
const auto kNothing = [](FmMainTest&) {};
const Journal kAskedAndDeleted{"asked: Are you sure that you want to delete these messages?",
                               "killed: delete 2"};

// The window's keys go to the command, the page or the hot button they stand for, each only
// while that is enabled; the checks show in the scripted server's journal.
TEST_P(FmMainKeyTest, TheKeyActsOnlyWhenWhatItStandsForIsEnabled) {
  const TKeyCase& c = GetParam();
  Add("Home");
  Open();
  c.setUp(*this);
  window->UpdateCommands();
  journal.clear();
  if (c.answer) Answer(c.answer);
  QTest::keyClick(window.get(), static_cast<Qt::Key>(c.key), c.modifiers);
  EXPECT_EQ(journal, c.expected);
  EXPECT_TRUE(gate.IsFree());
}

INSTANTIATE_TEST_SUITE_P(
    Keys, FmMainKeyTest,
    testing::Values(
        TKeyCase{"Alt+C", Qt::Key_C, Qt::AltModifier, kNothing, {"Home: login", "Home: logout"}},
        TKeyCase{"Alt+C without an enabled account",
                 Qt::Key_C,
                 Qt::AltModifier,
                 [](FmMainTest& t) { t.DisableAccounts(); },
                 {}},
        TKeyCase{"Alt+L", Qt::Key_L, Qt::AltModifier, kNothing, {"Home: login", "Home: logout"}},
        TKeyCase{"Alt+L without an enabled account",
                 Qt::Key_L,
                 Qt::AltModifier,
                 [](FmMainTest& t) { t.DisableAccounts(); },
                 {}},
        TKeyCase{"Alt+N", Qt::Key_N, Qt::AltModifier, kNothing, {"resumed"}},
        TKeyCase{"Alt+E",
                 Qt::Key_E,
                 Qt::AltModifier,
                 [](FmMainTest&) { Settings().EmailClient = "thunderbird"; },
                 {"e-mail program"}},
        TKeyCase{"Alt+E without an e-mail program", Qt::Key_E, Qt::AltModifier, kNothing, {}},
        TKeyCase{"Alt+H", Qt::Key_H, Qt::AltModifier, kNothing, {"open " + DocumentationFile()}},
        TKeyCase{"F1", Qt::Key_F1, Qt::NoModifier, kNothing, {"open " + DocumentationFile()}},
        TKeyCase{"Alt+P",
                 Qt::Key_P,
                 Qt::AltModifier,
                 [](FmMainTest& t) {
                   t.window->PrinterInstalled = true;
                   t.SelectKilled(2);
                 },
                 {"killed: print"},
                 ""},
        TKeyCase{"Alt+P without a printer", Qt::Key_P, Qt::AltModifier, kSelectTwo, {}},
        TKeyCase{"Alt+D", Qt::Key_D, Qt::AltModifier, kSelectTwo, kAskedAndDeleted, "btnYes"},
        TKeyCase{"Alt+D without a selection", Qt::Key_D, Qt::AltModifier, kNothing, {}},
        TKeyCase{"Delete", Qt::Key_Delete, Qt::NoModifier, kSelectTwo, kAskedAndDeleted, "btnYes"},
        TKeyCase{
            "Shift+Delete", Qt::Key_Delete, Qt::ShiftModifier, kSelectTwo, {"killed: delete 2"}},
        TKeyCase{"Delete without a selection", Qt::Key_Delete, Qt::NoModifier, kNothing, {}},
        TKeyCase{"Ctrl+Enter", Qt::Key_Return, Qt::ControlModifier, kNothing, {"killed: complain"}},
        TKeyCase{"Insert", Qt::Key_Insert, Qt::NoModifier, kNothing, {"killed: add filter"}},
        TKeyCase{"Ctrl+A", Qt::Key_A, Qt::ControlModifier, kNothing, {"killed: select all"}},
        TKeyCase{"Alt+S", Qt::Key_S, Qt::AltModifier, kNothing, {"killed: spade"}},
        TKeyCase{"Alt+Shift+S",
                 Qt::Key_S,
                 Qt::AltModifier | Qt::ShiftModifier,
                 kNothing,
                 {"killed: spade with text"}},
        TKeyCase{"Ctrl+S on Live Mail",
                 Qt::Key_S,
                 Qt::ControlModifier,
                 [](FmMainTest& t) { t.window->SelectPage(piInbox); },
                 {"inbox: select spam"}},
        TKeyCase{"Ctrl+S on Killed Mail", Qt::Key_S, Qt::ControlModifier, kNothing, {}},
        TKeyCase{"Insert without pages",
                 Qt::Key_Insert,
                 Qt::NoModifier,
                 [](FmMainTest& t) { t.Open(false); },
                 {}}),
    [](const testing::TestParamInfo<TKeyCase>& info) {
      std::string name;
      for (const char c : std::string(info.param.name))
        if (std::isalnum(static_cast<unsigned char>(c))) name += c;
      return name;
    });

TEST_F(FmMainTest, PageKeysSelectTheMessagePagesAndLeaveThePagesToComeAlone) {
  Add("Home");
  TFmMain& main = Open();
  EXPECT_EQ(main.ActivePage(), piKilled);
  EXPECT_TRUE(killed->Showing);
  QTest::keyClick(&main, Qt::Key_M, Qt::AltModifier);
  EXPECT_EQ(main.ActivePage(), piInbox);
  EXPECT_TRUE(inbox->Showing);
  EXPECT_FALSE(killed->Showing);
  for (const int key : {Qt::Key_A, Qt::Key_F, Qt::Key_R, Qt::Key_T, Qt::Key_U}) {
    EXPECT_FALSE(main.HandleKey(key, Qt::AltModifier)) << key;
    EXPECT_EQ(main.ActivePage(), piInbox);
  }
  QTest::keyClick(&main, Qt::Key_K, Qt::AltModifier);
  EXPECT_EQ(main.ActivePage(), piKilled);
  EXPECT_TRUE(journal.empty());
}

// The pages other than the message pages get their hot buttons, the window's keys and its
// Delete; a page the factory does not make leaves its button disabled.
TEST_F(FmMainTest, TheOtherPagesGetTheirHotButtonsKeysAndTheWindowsDelete) {
  Add("Home");
  Settings().FontSize = 14;
  TFmMain& main = Open(true, true);
  EXPECT_EQ(friendsPage->List->font().pointSize(), 14);
  EXPECT_FALSE(main.HotButton(piUpdates)->isEnabled());
  EXPECT_FALSE(main.HandleKey(Qt::Key_U, Qt::AltModifier));
  QTest::keyClick(&main, Qt::Key_R, Qt::AltModifier);
  EXPECT_EQ(main.ActivePage(), piFriends);
  EXPECT_TRUE(friendsPage->Showing);
  EXPECT_FALSE(filtersPage->Showing);
  EXPECT_FALSE(Action("tbtDelete")->isEnabled());
  friendsPage->SetRows(2);
  EXPECT_TRUE(Action("tbtDelete")->isEnabled());
  EXPECT_FALSE(Action("tbtPrint")->isEnabled());
  QTest::keyClick(&main, Qt::Key_Insert);
  QTest::keyClick(&main, Qt::Key_Return, Qt::ControlModifier);
  QTest::keyClick(&main, Qt::Key_A, Qt::ControlModifier);
  // No question from the window: the page's Remove asks its own.
  QTest::keyClick(&main, Qt::Key_Delete);
  QTest::keyClick(&main, Qt::Key_Delete, Qt::ShiftModifier);
  QTest::keyClick(&main, Qt::Key_S, Qt::AltModifier);
  EXPECT_EQ(journal, (Journal{"friends: refresh", "friends: add", "friends: properties",
                              "friends: select all", "friends: delete", "friends: delete"}));
  friendsPage->SetRows(0);
  journal.clear();
  EXPECT_FALSE(main.HandleKey(Qt::Key_Delete, Qt::NoModifier));
  QTest::keyClick(&main, Qt::Key_F, Qt::AltModifier);
  main.RefreshPages();
  EXPECT_EQ(journal, (Journal{"filters: refresh", "filters: refresh"}));
  EXPECT_TRUE(gate.IsFree());
}

TEST_F(FmMainTest, TheWindowsKeysAndDeleteReachTheRealMessagePages) {
  TScriptedAccount& home = Add("Home");
  AddSubjectFilter("viagra", acKill);
  home.Mailbox = {Mail("u1", "ann@example.net", "Minutes"), Mail("k1", "eve@example.net", "viagra"),
                  Mail("k2", "eve@example.net", "viagra again")};
  CheckAll();
  ASSERT_EQ(home.Killed.Count(), 2);
  realPages = true;
  TFmMain& main = Open();
  ASSERT_EQ(main.ActivePage(), piKilled);
  QTest::keyClick(&main, Qt::Key_A, Qt::ControlModifier);
  EXPECT_EQ(main.Page(piKilled)->SelectedCount(), 2);
  // Shift deletes without a question; were one asked, it would be answered No.
  Answer("btnNo");
  QTest::keyClick(&main, Qt::Key_Delete, Qt::ShiftModifier);
  EXPECT_EQ(home.Killed.Count(), 0);
  EXPECT_FALSE(Action("tbtDelete")->isEnabled());

  QTest::keyClick(&main, Qt::Key_M, Qt::AltModifier);
  QTest::keyClick(&main, Qt::Key_A, Qt::ControlModifier);
  ASSERT_EQ(main.Page(piInbox)->SelectedCount(), 1);
  journal.clear();
  QTest::keyClick(&main, Qt::Key_Delete);
  EXPECT_EQ(journal, (Journal{"asked: Are you sure that you want to delete this message?\n\nThe "
                              "message will be permanently removed from your inbox."}));
  EXPECT_EQ(home.Inbox.Count(), 1);
  EXPECT_TRUE(gate.IsFree());
}

// "Add a friend" and "Add a filter" on a Live Mail message: the new friend or filter classifies
// the Live Mail again at once, and the page that lists it is refreshed.
TEST_F(FmMainTest, AFriendOrAFilterFromALiveMessageClassifiesTheLiveMailAgain) {
  TScriptedAccount& home = Add("Home");
  home.Mailbox = {Mail("u1", "ann@example.net", "Minutes of the meeting")};
  CheckAll();
  ASSERT_EQ(home.Inbox[0]->Status, msChecked);
  desktopPages = true;
  TFmMain& main = Open(true, true);
  main.SelectPage(piInbox);
  QTest::keyClick(&main, Qt::Key_A, Qt::ControlModifier);
  journal.clear();
  // The friend dialog opens on the sender's address.
  test::WhenModal([](QWidget* dialog) { test::Click(dialog, QStringLiteral("btnOK")); });
  test::Click(main.Page(piInbox), QStringLiteral("sbAddFriend"));
  EXPECT_EQ(home.Inbox[0]->Status, msFriend);
  EXPECT_EQ(journal, Journal{"friends: refresh"});

  std::vector<TFilter*> friends;
  filters->FiltersOfKind(fkFriend, kAllOrigins, friends);
  const auto added = std::find_if(friends.begin(), friends.end(),
                                  [](TFilter* f) { return f->Text2() == "example.net"; });
  ASSERT_NE(added, friends.end());
  filters->Delete(filters->IndexOf(*added));
  home.Refilter(nullptr);
  ASSERT_EQ(home.Inbox[0]->Status, msChecked);
  journal.clear();
  // The wizard makes a subject filter of the message's subject (type page, subject page, last
  // page); its action kills.
  test::WhenModal([](QWidget* dialog) {
    dialog->findChild<QRadioButton*>(QStringLiteral("rbSubject"))->click();
    for (int page = 0; page < 3; ++page) test::Click(dialog, QStringLiteral("btnNext"));
  });
  test::Click(main.Page(piInbox), QStringLiteral("sbAddFilter"));
  EXPECT_EQ(home.Inbox[0]->Status, msSpam);
  EXPECT_EQ(journal, Journal{"filters: refresh"});
  EXPECT_TRUE(gate.IsFree());
}

TEST_F(FmMainTest, AChangeOfFiltersOnAPageClassifiesTheLiveMailAgain) {
  TScriptedAccount& home = Add("Home");
  home.Mailbox = {Mail("h1", "bob@example.net", "Cheap watches")};
  CheckAll();
  Open(true, true);
  filtersPage->Change(AddSubjectFilter("watches", acKill));
  EXPECT_EQ(home.Inbox[0]->Status, msSpam);
  EXPECT_EQ(journal, (Journal{"inbox: reload"}));
  EXPECT_TRUE(gate.IsFree());
}

TEST_F(FmMainTest, DeletingAsksByThePageAndTheNumberSelectedUnlessShiftIsHeld) {
  Add("Home");
  struct {
    int page;
    int count;
    const char* answer;
    Journal expected;
  } const cases[] = {
      {piKilled,
       1,
       "btnYes",
       {"asked: Are you sure that you want to delete this message?", "killed: delete 1"}},
      {piKilled, 3, "btnNo", {"asked: Are you sure that you want to delete these messages?"}},
      {piInbox,
       1,
       "btnNo",
       {"asked: Are you sure that you want to delete this message?\n\nThe message will be "
        "permanently removed from your inbox."}},
      {piInbox,
       2,
       "btnYes",
       {"asked: Are you sure that you want to delete these messages?\n\nThe messages will be "
        "permanently removed from your inbox.",
        "inbox: delete 2"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::to_string(c.page) + " " + std::to_string(c.count));
    TFmMain& main = Open();
    main.SelectPage(c.page);
    (c.page == piKilled ? killed : inbox)->Select(c.count);
    journal.clear();
    Answer(c.answer);
    test::Click(&main, QStringLiteral("tbtDelete"));
    EXPECT_EQ(journal, c.expected);
    EXPECT_EQ(Action("tbtDelete")->isEnabled(), std::string(c.answer) == "btnNo");
  }
  TFmMain& main = Open();
  killed->Select(2);
  QTest::mouseClick(main.findChild<QToolButton*>(QStringLiteral("tbtDelete")), Qt::LeftButton,
                    Qt::ShiftModifier);
  EXPECT_EQ(journal, (Journal{"killed: delete 2"}));
  EXPECT_FALSE(Action("tbtDelete")->isEnabled());
}

TEST_F(FmMainTest, ApplyingAFilterClassifiesTheLiveMailOfEveryEnabledAccountAgain) {
  TScriptedAccount& home = Add("Home");
  TScriptedAccount& off = Add("Off");
  home.Mailbox = {Mail("h1", "bob@example.net", "Cheap watches")};
  off.Mailbox = {Mail("o1", "bob@example.net", "Cheap watches")};
  CheckAll();
  off.Active = false;
  ASSERT_EQ(home.Inbox[0]->Status, msChecked);
  Open();
  TFilter* filter = AddSubjectFilter("watches", acKill);
  window->ApplyFilter(filter);
  EXPECT_EQ(home.Inbox[0]->Status, msSpam);
  EXPECT_EQ(off.Inbox[0]->Status, msChecked);
  // Spam found this way stays in Live Mail.
  EXPECT_EQ(home.Inbox.Count(), 1);
  EXPECT_EQ(journal, (Journal{"inbox: reload"}));
  EXPECT_TRUE(gate.IsFree());
}

TEST_F(FmMainTest, PrintAndDeleteFollowTheSelectionOfTheMessagePageShowing) {
  Add("Home");
  TFmMain& main = Open();
  main.PrinterInstalled = true;
  EXPECT_FALSE(Action("tbtDelete")->isEnabled());
  EXPECT_FALSE(Action("tbtPrint")->isEnabled());
  killed->Select(1);
  EXPECT_TRUE(Action("tbtDelete")->isEnabled());
  EXPECT_TRUE(Action("tbtPrint")->isEnabled());
  main.SelectPage(piInbox);
  EXPECT_FALSE(Action("tbtDelete")->isEnabled());
  inbox->Select(4);
  EXPECT_TRUE(Action("tbtPrint")->isEnabled());
  main.PrinterInstalled = false;
  main.UpdateCommands();
  EXPECT_FALSE(Action("tbtPrint")->isEnabled());
  EXPECT_TRUE(Action("tbtDelete")->isEnabled());
}

TEST_F(FmMainTest, TheStatusBarShowsTheViewedAccountsChecksWithTheDateWhenNotToday) {
  const QLocale before;
  QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedKingdom));
  TScriptedAccount& home = Add("Home");
  TScriptedAccount& work = Add("Work");
  home.LastCheck = EncodeDateTime({2024, 3, 14, 8, 30, 0, 0});
  home.NextCheck = EncodeDateTime({2024, 3, 14, 9, 10, 0, 0});
  work.LastCheck = EncodeDateTime({2024, 3, 13, 17, 45, 0, 0});
  work.NextCheck = EncodeDateTime({2024, 3, 15, 8, 0, 0, 0});
  TFmMain& main = Open();
  const auto panels = [&main] {
    return Journal{main.findChild<QLabel*>(QStringLiteral("pnlLastCheck"))->text().toStdString(),
                   main.findChild<QLabel*>(QStringLiteral("pnlNextCheck"))->text().toStdString()};
  };
  // The open window suspended checking, so nothing is planned.
  EXPECT_EQ(panels(), (Journal{" Last checked at 08:30", ""}));
  Action("tbtSuspend")->trigger();
  EXPECT_EQ(panels(), (Journal{" Last checked at 08:30", " Next check at 09:10"}));
  Selector()->setCurrentIndex(1);
  EXPECT_EQ(panels(),
            (Journal{" Last checked at 13/03/2024 17:45", " Next check at 15/03/2024 08:00"}));
  work.LastCheck = 0;
  main.FillAccounts();
  EXPECT_EQ(panels(), (Journal{"", " Next check at 15/03/2024 08:00"}));
  QLocale::setDefault(before);
}

TEST_F(FmMainTest, TheHelpMenuOpensTheGuideThePagesAndTheStoredAddresses) {
  Add("Home");
  Open();
  QMenu* menu = window->findChild<QMenu*>(QStringLiteral("mnHelp"));
  Journal captions;
  for (const QAction* item : menu->actions())
    captions.push_back(item->isSeparator() ? "-" : item->text().toStdString());
  EXPECT_EQ(captions,
            (Journal{"&Documentation", "&Common Questions", "&Tutorial", "-", "&Halvora Web Site",
                     "Customer &Support", "-", "&About Halvora Tarnwell"}));
  ASSERT_FALSE(DocumentationFile().empty());
  EXPECT_TRUE(FileExists(DocumentationFile()));
  for (const char* item :
       {"miDocumentation", "miQuestions", "miTutorial", "miHomePage", "miSupport", "miAbout"})
    Action(item)->trigger();
  EXPECT_EQ(journal,
            (Journal{"open " + DocumentationFile(), std::string("open ") + kQuestionsUrl,
                     std::string("open ") + kTutorialUrl, std::string("open ") + kHomePageUrl,
                     std::string("open ") + kCustSupportUrl, "about"}));

  TRegistry registry;
  ASSERT_TRUE(registry.OpenKey("\\Software\\Halvora\\Tarnwell", true));
  registry.WriteString("HomePageUrl", "https://mirror.example.org/tarnwell");
  registry.WriteString("CustSupportUrl", " ");
  journal.clear();
  Action("miHomePage")->trigger();
  Action("miSupport")->trigger();
  EXPECT_EQ(journal, (Journal{"open https://mirror.example.org/tarnwell",
                              std::string("open ") + kCustSupportUrl}));
}

TEST_F(FmMainTest, TheToolBarShowsCaptionsAndHintsAsTheSettingsSay) {
  Add("Home");
  const char* const names[] = {"tbtCheck",  "tbtCheckAll",     "tbtSuspend", "tbtPrint",
                               "tbtDelete", "tbtEmailProgram", "tbtHelp"};
  Open();
  Journal captions;
  Journal hints;
  for (const char* name : names) {
    captions.push_back(Action(name)->text().toStdString());
    hints.push_back(Action(name)->toolTip().toStdString());
  }
  EXPECT_EQ(captions,
            (Journal{"&Check", "Check A&ll", "Suspe&nd", "&Print", "&Delete", "&E-mail", "&Help"}));
  EXPECT_EQ(hints, (Journal{"Check this account", "Check all accounts", "Unsuspend Tarnwell",
                            "Print the selected item", "Delete the selected item",
                            "Run your e-mail program", "Display online help"}));
  EXPECT_EQ(window->findChild<QToolBar*>(QStringLiteral("tbMain"))->toolButtonStyle(),
            Qt::ToolButtonTextUnderIcon);
  EXPECT_EQ(window->windowTitle(), QStringLiteral("Halvora Tarnwell"));
  EXPECT_EQ(window->minimumSize(), QSize(560, 370));

  // A hint hides with a delay, so none shows before the one that must.
  for (const bool hints : {false, true}) {
    settings.ShowHints = hints;
    for (const char* name : {"tbtCheck", "sbNextAcct"}) {
      auto* button = window->findChild<QToolButton*>(QString::fromLatin1(name));
      const QPoint at = button->rect().center();
      QToolTip::hideText();
      QHelpEvent help(QEvent::ToolTip, at, button->mapToGlobal(at));
      QApplication::sendEvent(button, &help);
      EXPECT_EQ(QToolTip::isVisible(), hints) << name;
    }
  }
  QToolTip::hideText();
  settings.ToolBarText = false;
  Open();
  EXPECT_EQ(window->findChild<QToolBar*>(QStringLiteral("tbMain"))->toolButtonStyle(),
            Qt::ToolButtonIconOnly);
}

TEST(MainWindowBoundsTest, AStoredRectangleIsClippedToTheWorkAreaElseADefaultIsCentred) {
  const QSize minimum(560, 370);
  struct {
    const char* name;
    TBounds stored;
    QRect screen;
    QRect workArea;
    QRect expected;
  } const cases[] = {
      {"none on a small screen", {}, {0, 0, 800, 600}, {0, 0, 800, 570}, {120, 80, 560, 410}},
      {"none on a larger one", {}, {0, 0, 1024, 768}, {0, 0, 1024, 740}, {137, 45, 750, 650}},
      {"inside", {100, 100, 900, 700}, {0, 0, 1024, 768}, {0, 0, 1024, 740}, {100, 100, 800, 600}},
      {"over the panel at the top",
       {-50, 0, 700, 500},
       {0, 0, 1024, 768},
       {0, 30, 1024, 738},
       {0, 30, 700, 470}},
      {"mostly outside, grown to the minimum",
       {900, 500, 1700, 1100},
       {0, 0, 1024, 768},
       {0, 0, 1024, 740},
       {464, 370, 560, 370}},
      {"wholly outside",
       {2000, 2000, 2600, 2500},
       {0, 0, 800, 600},
       {0, 0, 800, 600},
       {120, 95, 560, 410}},
      {"empty", {300, 300, 300, 500}, {0, 0, 1024, 768}, {0, 0, 1024, 740}, {137, 45, 750, 650}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(MainWindowBounds(c.stored, c.screen, c.workArea, minimum), c.expected);
  }
}

}  // namespace
}  // namespace tarnwell
