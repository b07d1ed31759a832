#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QHeaderView>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>
#include <QTreeView>
#include <map>
#include <set>

#include "filtering/Countries.h"
#include "filtering/FilterList.h"
#include "filtering/Filters.h"
#include "filtering/ui/DlgFind.h"
#include "filtering/ui/FilterPageModels.h"
#include "filtering/ui/PgFilters.h"
#include "filtering/ui/SpeedPopUp.h"
#include "message/Emails.h"
#include "message/MessageText.h"
#include "shell/ui/DlgMessage.h"
#include "tests/support/program/ProgramEnvironment.h"
#include "tests/ui/UiDriver.h"

namespace tarnwell {
namespace {

using test::WhenModal;

struct TFilterValues {
  std::string name;
  uint8_t kind = fkSubject;
  uint8_t origin = orUser;
  uint8_t condition1 = cnContains;
  std::string text1;
  uint8_t condition2 = cnNone;
  std::string text2;
  uint8_t caseMatters = 0;
  uint8_t action = acKill;
  int32_t hits = 0;
};

// A filter of `kind` whose first condition is "Contains" `text1`.
TFilterValues Pattern(std::string name, uint8_t kind, std::string text1, uint8_t origin = orUser) {
  TFilterValues values;
  values.name = std::move(name);
  values.kind = kind;
  values.origin = origin;
  values.text1 = std::move(text1);
  return values;
}

// The page over a program folder's real filter list, with editors that answer as the test says
// and remember what they were asked.
class PgFiltersTest : public ::testing::Test, protected test::TProgramEnvironment {
 protected:
  PgFiltersTest() : filters(dir / "Filters.dat") {
    filters.Load(true);
    editors.EditFilter = [this](TFilter& filter, bool isNew, QWidget*) {
      edited.push_back(isNew ? "new" : names[&filter]);
      return answer ? answer(filter) : false;
    };
    editors.EditActionOf = [this](TFilter& scratch, QWidget*) {
      edited.push_back("several");
      asked = scratch;
      return answer ? answer(scratch) : false;
    };
  }

  TFilter* Add(const TFilterValues& values) {
    std::unique_ptr<TFilter> filter = CreateFilterOfKind(values.kind);
    filter->Origin = values.origin;
    filter->Condition1 = values.condition1;
    filter->SetText1(values.text1);
    filter->Condition2 = values.condition2;
    filter->SetText2(values.text2);
    filter->CaseMatters = values.caseMatters;
    filter->Action = values.action;
    filter->Hits = values.hits;
    TFilter* added = filters.Add(std::move(filter));
    names[added] = values.name;
    return added;
  }
  void AddAll(const std::vector<TFilterValues>& rows) {
    for (const TFilterValues& values : rows) Add(values);
    filters.Save();
  }

  std::unique_ptr<TFiltersPg> Open() {
    auto page = std::make_unique<TFiltersPg>(filters, dialogs, editors);
    page->resize(800, 500);
    page->show();
    qRegisterMetaType<TFilter*>();
    spy = std::make_unique<QSignalSpy>(page.get(), &TFiltersPg::FiltersChanged);
    return page;
  }

  // The names of the filters a tab shows, in order.
  std::vector<std::string> Rows(const TFiltersPg& page, uint8_t kind) {
    std::vector<std::string> rows;
    const TFilterListModel& model = *page.Model(kind);
    for (int row = 0; row < model.rowCount(); ++row) rows.push_back(names[model.Filter(row)]);
    return rows;
  }
  std::set<std::string> Selected(const TFiltersPg& page) {
    std::set<std::string> selected;
    for (TFilter* filter : page.SelectedFilters()) selected.insert(names[filter]);
    return selected;
  }
  void Select(TFiltersPg& page, const std::set<std::string>& which) {
    const TFilterListModel& model = *page.Model(page.CurrentKind());
    QItemSelection selection;
    for (int row = 0; row < model.rowCount(); ++row)
      if (which.contains(names[model.Filter(row)]))
        selection.select(model.index(row, 0), model.index(row, model.columnCount() - 1));
    page.List(page.CurrentKind())
        ->selectionModel()
        ->select(selection, QItemSelectionModel::ClearAndSelect);
  }
  static QString Cell(const QAbstractItemModel& model, int row, int column,
                      int role = Qt::DisplayRole) {
    return model.data(model.index(row, column), role).toString();
  }
  static void ClickHeader(QTreeView* list, int column) {
    QHeaderView* header = list->header();
    QTest::mouseClick(header->viewport(), Qt::LeftButton, {},
                      QPoint(header->sectionViewportPosition(column) + 4, header->height() / 2));
  }
  static bool Enabled(const TFiltersPg& page, const char* name) {
    if (auto* button = page.findChild<QPushButton*>(QString::fromLatin1(name)))
      return button->isEnabled();
    auto* action = page.findChild<QAction*>(QString::fromLatin1(name));
    EXPECT_NE(action, nullptr) << name;
    return action && action->isEnabled();
  }
  // The filters of `kind` as Filters.dat holds them now.
  std::vector<std::unique_ptr<TFilter>> Stored(uint8_t kind) {
    TFilterList stored(dir / "Filters.dat");
    stored.Load(false);
    std::vector<std::unique_ptr<TFilter>> kept;
    for (auto& filter : stored.TakeAll())
      if (filter->Kind == kind) kept.push_back(std::move(filter));
    return kept;
  }
  // Answers the next modal dialog with the button `name`, noting the text it showed.
  void Answer(const char* name) {
    WhenModal([this, name](QWidget* dialog) {
      if (auto* message = dynamic_cast<TMessageDlg*>(dialog))
        shown.push_back(message->ShownText().toStdString());
      test::Click(dialog, QString::fromLatin1(name));
    });
  }

  TFilterList filters;
  TQtMessageDialogs dialogs;
  TFilterEditors editors;
  std::map<const TFilter*, std::string> names;
  // What the editors do on OK; none answers Cancel.
  std::function<bool(TFilter&)> answer;
  std::vector<std::string> edited;
  TFilter asked;
  std::vector<std::string> shown;
  std::unique_ptr<QSignalSpy> spy;
};

// Three sender filters that each column orders differently.
const std::vector<TFilterValues> kSenders = {
    {"any user at zeta", fkSender, orUser, cnNone, "", cnEndsWith, "zeta.example", 0, acKill, 5},
    {"bob at alpha", fkSender, orUser, cnEquals, "bob", cnEndsWith, "alpha.example", 1, acMark, 12},
    {"Carl anywhere", fkSender, orUser, cnContains, "Carl", cnNone, "", 0, acKillAfterComplaint, 0},
};

TEST_F(PgFiltersTest, SortsByEachColumnAndReversesKeepingTheSelection) {
  AddAll(kSenders);
  AddAll(
      {{"From has no dot", fkHeader, orUser, cnNotContains, "From", 0, ".", 0, acKill, 2},
       {"From is blank", fkHeader, orUser, cnBlank, "From", 0, "", 0, acMark, 7},
       {"X-Mailer mass", fkHeader, orUser, cnContains, "X-Mailer", 0, "MassMailer", 1, acKill, 1},
       {"cheap", fkSubject, orUser, cnContains, "cheap", 0, "", 0, acMark, 3},
       {"upper", fkSubject, orUser, cnUppercase, "", 0, "", 0, acKill, 1},
       {"winner", fkSubject, orUser, cnContains, "winner", 0, "", 1, acAccept, 9}});
  auto page = Open();

  // Rows are the filters' own list items; the Sender tab starts sorted by the domain.
  const TFilterListModel& senders = *page->Model(fkSender);
  EXPECT_EQ(Rows(*page, fkSender),
            (std::vector<std::string>{"Carl anywhere", "bob at alpha", "any user at zeta"}));
  EXPECT_EQ(senders.SortColumn(), 1);
  const std::vector<QString> bob = {Cell(senders, 1, 0), Cell(senders, 1, 1), Cell(senders, 1, 2),
                                    Cell(senders, 1, 3), Cell(senders, 1, 4)};
  EXPECT_EQ(bob, (std::vector<QString>{"Equals 'bob'", "Ends with 'alpha.example'", "Y",
                                       "Mark, but do not kill", "12"}));
  EXPECT_EQ(Rows(*page, fkSubject), (std::vector<std::string>{"upper", "cheap", "winner"}));

  const struct {
    int tab;
    uint8_t kind;
    int column;
    std::vector<std::string> upwards;
  } cases[] = {
      // A condition without a pattern sorts before the patterns; letter case aside.
      {TFiltersPg::tbSender, fkSender, 0, {"any user at zeta", "bob at alpha", "Carl anywhere"}},
      {TFiltersPg::tbSender, fkSender, 1, {"Carl anywhere", "bob at alpha", "any user at zeta"}},
      // Equal keys keep the list's order.
      {TFiltersPg::tbSender, fkSender, 2, {"any user at zeta", "Carl anywhere", "bob at alpha"}},
      {TFiltersPg::tbSender, fkSender, 3, {"bob at alpha", "any user at zeta", "Carl anywhere"}},
      {TFiltersPg::tbSender, fkSender, 4, {"Carl anywhere", "any user at zeta", "bob at alpha"}},
      {TFiltersPg::tbHeader, fkHeader, 0, {"From has no dot", "From is blank", "X-Mailer mass"}},
      {TFiltersPg::tbHeader, fkHeader, 1, {"From is blank", "From has no dot", "X-Mailer mass"}},
      // The tabs of one text column: Case, Action and Hits follow the condition.
      {TFiltersPg::tbSubject, fkSubject, 1, {"cheap", "upper", "winner"}},
      {TFiltersPg::tbSubject, fkSubject, 2, {"winner", "cheap", "upper"}},
      {TFiltersPg::tbSubject, fkSubject, 3, {"upper", "cheap", "winner"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::to_string(c.kind) + " column " + std::to_string(c.column));
    page->SelectTab(c.tab);
    // Away from the column first, so the click sorts upwards.
    ClickHeader(page->List(c.kind), c.column == 0 ? 1 : 0);
    const std::set<std::string> chosen = {c.upwards[0], c.upwards[2]};
    Select(*page, chosen);
    ClickHeader(page->List(c.kind), c.column);
    EXPECT_EQ(Rows(*page, c.kind), c.upwards);
    EXPECT_EQ(Selected(*page), chosen);
    ClickHeader(page->List(c.kind), c.column);
    EXPECT_EQ(Rows(*page, c.kind), std::vector<std::string>(c.upwards.rbegin(), c.upwards.rend()));
    EXPECT_EQ(Selected(*page), chosen);
    // A refresh keeps the order and the selection.
    page->Refresh();
    EXPECT_EQ(Rows(*page, c.kind).front(), c.upwards.back());
    EXPECT_EQ(Selected(*page), chosen);
  }
}

TEST_F(PgFiltersTest, OriginTogglesChooseWhichFiltersTheKindTabsShow) {
  AddAll({Pattern("mine", fkSubject, "mine"),
          Pattern("soft", fkSubject, "soft", orSoft),
          Pattern("update", fkSubject, "update", orUpdate),
          {"my header", fkHeader, orUser, cnContains, "X-Mailer", 0, "bulk", 0, acKill, 0}});
  auto page = Open();
  page->SelectTab(TFiltersPg::tbSubject);
  const struct {
    bool yours, standard;
    std::vector<std::string> subjects;
    std::vector<std::string> headers;
  } cases[] = {
      // The built-in header filters are never listed.
      {true, true, {"mine", "soft", "update"}, {"my header"}},
      {false, true, {"soft", "update"}, {}},
      {true, false, {"mine"}, {"my header"}},
      {false, false, {}, {}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::to_string(c.yours) + std::to_string(c.standard));
    page->findChild<QPushButton*>("sbYours")->setChecked(c.yours);
    page->findChild<QPushButton*>("sbStandard")->setChecked(c.standard);
    EXPECT_EQ(Rows(*page, fkSubject), c.subjects);
    EXPECT_EQ(Rows(*page, fkHeader), c.headers);
    EXPECT_EQ(page->List(fkSubject)->isEnabled(), !c.subjects.empty());
    EXPECT_EQ(Enabled(*page, "sbRemove"), !c.subjects.empty());
  }
}

TEST_F(PgFiltersTest, WithYourFiltersUpEveryKindTabOfYourFiltersIsEmptyAndDisabled) {
  AddAll({{"s", fkSender, orUser, cnNone, "", cnEndsWith, "spam.example", 0, acKill, 0},
          Pattern("u", fkSubject, "u"),
          Pattern("t", fkText, "t"),
          {"h", fkHeader, orUser, cnContains, "X-Mailer", 0, "bulk", 0, acKill, 0}});
  auto page = Open();
  QSignalSpy changes(page.get(), &TWindowPage::SelectionChanged);
  QTest::mouseClick(page->findChild<QPushButton*>("sbYours"), Qt::LeftButton);
  EXPECT_FALSE(changes.isEmpty());
  for (const int tab :
       {TFiltersPg::tbSender, TFiltersPg::tbSubject, TFiltersPg::tbText, TFiltersPg::tbHeader}) {
    SCOPED_TRACE(tab);
    page->SelectTab(tab);
    EXPECT_EQ(page->Model(page->CurrentKind())->rowCount(), 0);
    EXPECT_FALSE(page->List(page->CurrentKind())->isEnabled());
    for (const char* name : {"sbRemove", "sbProperties", "sbFind", "miRemove", "miProperties"})
      EXPECT_FALSE(Enabled(*page, name)) << name;
    EXPECT_TRUE(Enabled(*page, "sbAdd"));
    EXPECT_TRUE(Enabled(*page, "sbStandard"));
    EXPECT_FALSE(page->DeleteEnabled());
  }
  // Country and Other: every command off.
  for (const int tab : {TFiltersPg::tbCountry, TFiltersPg::tbOther}) {
    page->SelectTab(tab);
    for (const char* name :
         {"sbAdd", "sbRemove", "sbProperties", "sbFind", "sbYours", "sbStandard"})
      EXPECT_FALSE(Enabled(*page, name)) << tab << name;
    EXPECT_FALSE(page->DeleteEnabled());
  }
}

TEST_F(PgFiltersTest, RemovingAsksThenSelectsTheLastRowAndRemovingEveryRowDisablesTheList) {
  AddAll({Pattern("a", fkSubject, "a"),
          Pattern("b", fkSubject, "b"),
          Pattern("c", fkSubject, "c"),
          {"friend", fkFriend, orUser, cnEquals, "ann", cnEndsWith, "friends.example.org", 0,
           acAccept, 0}});
  auto page = Open();
  page->SelectTab(TFiltersPg::tbSubject);
  EXPECT_EQ(Selected(*page), (std::set<std::string>{"a"}));

  // No keeps them; the window's Delete runs Remove.
  Select(*page, {"b"});
  ASSERT_TRUE(page->DeleteEnabled());
  Answer("btnNo");
  page->Delete();
  EXPECT_EQ(Rows(*page, fkSubject).size(), 3u);

  Answer("btnYes");
  page->Delete();
  EXPECT_EQ(Rows(*page, fkSubject), (std::vector<std::string>{"a", "c"}));
  EXPECT_EQ(Selected(*page), (std::set<std::string>{"c"}));

  // Ctrl+A selects every row of the tab.
  page->SelectAll();
  EXPECT_EQ(Selected(*page), (std::set<std::string>{"a", "c"}));
  Answer("btnYes");
  QTest::mouseClick(page->findChild<QPushButton*>("sbRemove"), Qt::LeftButton);
  EXPECT_EQ(shown,
            (std::vector<std::string>{"Are you sure that you want to delete this filter?",
                                      "Are you sure that you want to delete this filter?",
                                      "Are you sure that you want to delete these filters?"}));
  EXPECT_EQ(Rows(*page, fkSubject).size(), 0u);
  EXPECT_FALSE(page->List(fkSubject)->isEnabled());
  EXPECT_FALSE(Enabled(*page, "sbRemove"));
  EXPECT_FALSE(page->DeleteEnabled());
  EXPECT_TRUE(Stored(fkSubject).empty());
  EXPECT_EQ(Stored(fkFriend).size(), 1u);
  ASSERT_EQ(spy->size(), 2);
  for (const QList<QVariant>& signal : *spy) EXPECT_EQ(signal.at(0).value<TFilter*>(), nullptr);
}

TEST_F(PgFiltersTest, AddAndPropertiesClassifyAgainWithTheFilterTheyChanged) {
  AddAll({{"cheap", fkSubject, orUser, cnContains, "cheap", 0, "", 0, acMark, 0},
          {"pills", fkSubject, orUser, cnContains, "pills", 0, "", 0, acMark, 0}});
  const auto patternTo = [](const char* text) {
    return [text](TFilter& filter) {
      filter.SetText1(text);
      return true;
    };
  };
  // One after the other on the same list.
  const struct {
    const char* what;
    bool add;
    std::set<std::string> selected;
    std::function<bool(TFilter&)> answer;
    std::string edited;
    // "" no signal, "all" with no filter, else the filter's pattern.
    std::string signal;
    std::vector<std::string> patterns;
  } cases[] = {
      {"add, cancelled", true, {"cheap"}, nullptr, "new", "", {"cheap", "pills"}},
      {"add",
       true,
       {"cheap"},
       patternTo("lottery"),
       "new",
       "lottery",
       {"cheap", "pills", "lottery"}},
      {"edit, cancelled", false, {"pills"}, nullptr, "pills", "", {"cheap", "pills", "lottery"}},
      {"edit",
       false,
       {"pills"},
       patternTo("green pills"),
       "pills",
       "green pills",
       {"cheap", "green pills", "lottery"}},
      {"edit several",
       false,
       {"cheap", "lottery"},
       [](TFilter& scratch) {
         scratch.Action = acKill;
         return true;
       },
       "several",
       "all",
       {"cheap", "green pills", "lottery"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    names.clear();
    for (int i = 0; i < filters.Count(); ++i) names[filters.Filter(i)] = filters.Filter(i)->Text1();
    auto page = Open();
    page->SelectTab(TFiltersPg::tbSubject);
    Select(*page, c.selected);
    answer = c.answer;
    edited.clear();
    if (c.add)
      page->Add();
    else
      QTest::mouseClick(page->findChild<QPushButton*>("sbProperties"), Qt::LeftButton);
    EXPECT_EQ(edited, std::vector<std::string>{c.edited});
    std::vector<std::string> patterns;
    for (const auto& stored : Stored(fkSubject)) patterns.push_back(stored->Text1());
    EXPECT_EQ(patterns, c.patterns);
    if (c.signal.empty()) {
      EXPECT_TRUE(spy->isEmpty());
      continue;
    }
    ASSERT_EQ(spy->size(), 1);
    TFilter* filter = spy->at(0).at(0).value<TFilter*>();
    EXPECT_EQ(filter ? filter->Text1() : "all", c.signal);
    if (c.add) {
      // The user's own, and the one row selected.
      ASSERT_NE(filter, nullptr);
      EXPECT_EQ(filter->Origin, orUser);
      EXPECT_EQ(page->SelectedFilters(), std::vector<TFilter*>{filter});
    } else {
      EXPECT_EQ(Selected(*page), c.selected);
    }
  }
}

TEST_F(PgFiltersTest, ActionOfSeveralFiltersIsWrittenAndKeepsTheirConditions) {
  AddAll({{"bulk", fkSender, orUser, cnNone, "", cnEndsWith, "bulk.example", 0, acMark, 0},
          {"sales", fkSender, orUser, cnStartsWith, "sales", cnContains, "shop", 1, acKill, 0},
          {"info", fkSender, orUser, cnEquals, "info", cnEndsWith, "example.net", 0, acAccept, 0}});
  auto page = Open();
  Select(*page, {"sales", "bulk"});
  answer = [](TFilter& scratch) {
    scratch.Action = acKillAfterComplaint;
    scratch.Recipients = rcSender | rcWebmaster;
    return true;
  };
  page->Properties();

  // The scratch filter carried the action of the first selected row (sorted by domain).
  EXPECT_EQ(edited, std::vector<std::string>{"several"});
  EXPECT_EQ(asked.Action, acMark);
  const std::vector<std::unique_ptr<TFilter>> stored = Stored(fkSender);
  ASSERT_EQ(stored.size(), 3u);
  const struct {
    uint8_t condition1;
    std::string text1;
    uint8_t condition2;
    std::string text2;
    uint8_t caseMatters, action, recipients;
  } expected[] = {
      {cnNone, "", cnEndsWith, "bulk.example", 0, acKillAfterComplaint, rcSender | rcWebmaster},
      {cnStartsWith, "sales", cnContains, "shop", 1, acKillAfterComplaint, rcSender | rcWebmaster},
      {cnEquals, "info", cnEndsWith, "example.net", 0, acAccept, rcAbuse | rcPostmaster},
  };
  for (size_t i = 0; i < stored.size(); ++i) {
    SCOPED_TRACE(i);
    const TFilter& filter = *stored[i];
    EXPECT_EQ(filter.Condition1, expected[i].condition1);
    EXPECT_EQ(filter.Text1(), expected[i].text1);
    EXPECT_EQ(filter.Condition2, expected[i].condition2);
    EXPECT_EQ(filter.Text2(), expected[i].text2);
    EXPECT_EQ(filter.CaseMatters, expected[i].caseMatters);
    EXPECT_EQ(filter.Action, expected[i].action);
    EXPECT_EQ(filter.Recipients, expected[i].recipients);
  }
  EXPECT_EQ(Selected(*page), (std::set<std::string>{"sales", "bulk"}));
  EXPECT_EQ(Cell(*page->Model(fkSender), 0, 3), QStringLiteral("Kill after complaining"));
}

TEST_F(PgFiltersTest, FindNextWrapsAfterSayingOnceThatItFoundNothing) {
  AddAll({Pattern("cheap pills", fkSubject, "cheap pills"),
          Pattern("lottery", fkSubject, "Lottery winnings"),
          Pattern("viagra", fkSubject, "viagra")});
  auto page = Open();
  page->SelectTab(TFiltersPg::tbSubject);
  Select(*page, {"viagra"});
  page->Find();
  TFindDlg* find = page->FindDialog();
  ASSERT_NE(find, nullptr);
  EXPECT_TRUE(find->isVisible());
  EXPECT_TRUE(find->windowFlags().testFlag(Qt::WindowStaysOnTopHint));
  EXPECT_EQ(find->windowTitle(), QStringLiteral(" Find filter"));
  // It starts with the first row selected, and sits below "Standard filters".
  EXPECT_EQ(Selected(*page), (std::set<std::string>{"cheap pills"}));
  auto* standard = page->findChild<QPushButton*>("sbStandard");
  EXPECT_GE(find->geometry().top(), standard->mapToGlobal(QPoint(0, standard->height())).y());

  QTest::keyClicks(find->FindEdit(), "   ");
  EXPECT_FALSE(find->findChild<QPushButton*>("btnFind")->isEnabled());
  find->FindEdit()->setText(" WINNINGS ");
  QTest::mouseClick(find->findChild<QPushButton*>("btnFind"), Qt::LeftButton);
  EXPECT_EQ(Selected(*page), (std::set<std::string>{"lottery"}));
  EXPECT_FALSE(find->FromTop()->isChecked());

  // Only before the position found: nothing, said once, then from the top again. Every message
  // is answered, so that one too many fails the test rather than waits.
  QTimer answerer;
  QObject::connect(&answerer, &QTimer::timeout, [this] {
    auto* message = dynamic_cast<TMessageDlg*>(QApplication::activeModalWidget());
    if (!message || !message->isVisible()) return;
    shown.push_back(message->ShownText().toStdString());
    test::Click(message, "btnOK");
  });
  answerer.start(0);
  find->FindNext();
  EXPECT_EQ(shown, std::vector<std::string>{"Could not find 'WINNINGS'."});
  EXPECT_EQ(Selected(*page), (std::set<std::string>{"lottery"}));
  find->FindNext();
  EXPECT_EQ(shown.size(), 1u);
  EXPECT_EQ(Selected(*page), (std::set<std::string>{"lottery"}));

  // Another text starts from the top.
  find->FindEdit()->setText("i");
  EXPECT_TRUE(find->FromTop()->isChecked());
  find->FindNext();
  find->FindNext();
  EXPECT_EQ(Selected(*page), (std::set<std::string>{"lottery"}));
  QTest::keyClick(find, Qt::Key_Escape);
  EXPECT_FALSE(find->isVisible());
  // It goes with the page.
  page->Find();
  EXPECT_TRUE(find->isVisible());
  page->hide();
  EXPECT_FALSE(find->isVisible());
}

TEST_F(PgFiltersTest, CountryBoxesStoreTheFlagInCountriesDat) {
  auto page = Open();
  page->SelectTab(TFiltersPg::tbCountry);
  QTreeView* list = page->List(fkCountry);
  TCountryListModel& model = *page->CountryModel();
  const TLandInfo& table = *filters.Countries();
  const auto rowOf = [&](const char* code) { return model.RowOfPosition(table.IndexOfCode(code)); };
  const auto blockedOnDisk = [&](const char* code) {
    TLandInfo stored;
    stored.LoadFromFile(table.FileName());
    return stored.IsBlocked(stored.IndexOfCode(code));
  };
  // Sorted by name at first; by code upwards and back.
  EXPECT_EQ(Cell(model, 0, 1), QStringLiteral("Afghanistan"));
  ClickHeader(list, TCountryListModel::colCode);
  EXPECT_EQ(Cell(model, 0, 0), QStringLiteral("ad"));
  ClickHeader(list, TCountryListModel::colCode);
  EXPECT_EQ(Cell(model, 0, 0), QStringLiteral("zw"));

  const auto boxOf = [&](int row) {
    const QRect cell = list->visualRect(model.index(row, 0));
    return QPoint(cell.left() + list->style()->pixelMetric(QStyle::PM_IndicatorWidth) / 2 + 4,
                  cell.center().y());
  };
  const struct {
    const char* what;
    const char* code;
    std::function<void(int row)> act;
  } cases[] = {
      {"click on the box", "tk",
       [&](int row) { QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, boxOf(row)); }},
      {"space", "nu",
       [&](int row) {
         list->setCurrentIndex(model.index(row, 1));
         QTest::keyClick(list, Qt::Key_Space);
       }},
      {"double click on the name", "cn",
       [&](int row) {
         test::DoubleClick(list->viewport(), list->visualRect(model.index(row, 1)).center());
       }},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    list->scrollTo(model.index(rowOf(c.code), 0));
    for (const bool blocked : {true, false}) {
      c.act(rowOf(c.code));
      EXPECT_EQ(table.IsBlocked(table.IndexOfCode(c.code)), blocked);
      EXPECT_EQ(blockedOnDisk(c.code), blocked);
      EXPECT_EQ(
          model.data(model.index(rowOf(c.code), 0), Qt::CheckStateRole).value<Qt::CheckState>(),
          blocked ? Qt::Checked : Qt::Unchecked);
    }
  }
  // Ctrl+A blocks every country, then none.
  for (const bool blocked : {true, false}) {
    page->SelectAll();
    EXPECT_EQ(blockedOnDisk("tk"), blocked);
    EXPECT_EQ(blockedOnDisk("de"), blocked);
    EXPECT_EQ(model.data(model.index(0, 0), Qt::CheckStateRole).value<Qt::CheckState>(),
              blocked ? Qt::Checked : Qt::Unchecked);
  }
}

TEST_F(PgFiltersTest, CountryFilterMarkingMakesACountryMatchPossibleSpam) {
  filters.SetCountryBlocked(filters.Countries()->IndexOfCode("tk"), true);
  auto page = Open();
  page->SelectTab(TFiltersPg::tbCountry);
  auto* action = page->findChild<QComboBox*>("cbCountry");
  ASSERT_EQ(action->count(), 2);
  EXPECT_EQ(action->currentText(), QStringLiteral("Kill"));
  const auto classify = [](TFilterList& list) {
    const std::unique_ptr<TEmail> message = std::make_unique<TEmail>();
    ParseMessageText(
        "From: Watch Store <sales@cheap-watches.tk>\nTo: me@example.com\nSubject: Watches\n"
        "\nBest replicas.\n",
        *message);
    return list.Classify(*message).Status;
  };
  EXPECT_EQ(classify(filters), msSpam);

  const struct {
    int key;
    const char* shown;
    uint8_t action, status;
  } cases[] = {{Qt::Key_Up, "Mark, but do not kill", acMark, msPossibleSpam},
               {Qt::Key_Down, "Kill", acKill, msSpam}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.shown);
    action->setFocus();
    QTest::keyClick(action, static_cast<Qt::Key>(c.key));
    EXPECT_EQ(action->currentText(), QString::fromLatin1(c.shown));
    EXPECT_EQ(filters.FindByID(fkCountry, 1)->Action, c.action);
    EXPECT_EQ(classify(filters), c.status);
    TFilterList stored(dir / "Filters.dat");
    stored.Load(true);
    EXPECT_EQ(classify(stored), c.status);
    EXPECT_EQ(std::string(filters.Current()->Description()), "Sent from or via Tokelau");
  }
}

TEST_F(PgFiltersTest, OtherTabStoresTheBuiltInFiltersActionsAndRecipients) {
  auto page = Open();
  page->SelectTab(TFiltersPg::tbOther);
  const auto items = [](const QComboBox* combo) {
    std::vector<std::string> texts;
    for (int i = 0; i < combo->count(); ++i) texts.push_back(combo->itemText(i).toStdString());
    return texts;
  };
  auto* invalid = page->findChild<QComboBox*>("cbSndInvalid");
  ASSERT_NE(invalid, nullptr);
  EXPECT_EQ(items(invalid), (std::vector<std::string>{"Ignore", "Mark, but do not kill", "Kill",
                                                      "Kill after complaining"}));
  EXPECT_EQ(items(page->findChild<QComboBox*>("cbRecipNotAcct")).back(),
            "Kill after error message");
  // The sender of an invalid address cannot be written to.
  EXPECT_FALSE(
      page->findChild<TSpeedPopUp*>("spuSndInvalid")->Menu()->actions().at(0)->isVisible());
  EXPECT_TRUE(
      page->findChild<TSpeedPopUp*>("spuSndNotReply")->Menu()->actions().at(0)->isVisible());

  const struct {
    const char* combo;
    const char* button;
    int systemFilter;
    std::vector<Qt::Key> keys;
    uint8_t action;
  } cases[] = {
      {"cbSndInvalid", "spuSndInvalid", 2, {Qt::Key_Up}, acMark},
      {"cbSndNotReply", "spuSndNotReply", 3, {Qt::Key_Down, Qt::Key_Down}, acKillAfterComplaint},
      {"cbSndEqRecip", "spuSndEqRecip", 4, {Qt::Key_Home}, acIgnore},
      {"cbRecipNotAcct", "spuRecipNotAcct", 5, {Qt::Key_End}, acKillAfterErrorMessage},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.combo);
    auto* combo = page->findChild<QComboBox*>(c.combo);
    combo->setFocus();
    for (const Qt::Key key : c.keys) QTest::keyClick(combo, key);
    EXPECT_EQ(combo->currentText().toStdString(), ActionName(c.action));
    TFilterList stored(dir / "Filters.dat");
    stored.Load(true);
    EXPECT_EQ(stored.SystemFilter(c.systemFilter)->Action, c.action);
    EXPECT_EQ(page->findChild<TSpeedPopUp*>(c.button)->isEnabled(),
              c.action == acKillAfterComplaint);
  }

  // A recipient ticked in the menu is stored at once.
  auto* recipients = page->findChild<TSpeedPopUp*>("spuSndNotReply");
  const uint8_t before = filters.SystemFilter(3)->Recipients;
  recipients->Menu()->actions().at(4)->trigger();
  TFilterList stored(dir / "Filters.dat");
  stored.Load(true);
  EXPECT_EQ(stored.SystemFilter(3)->Recipients, before ^ rcWebmaster);
  EXPECT_EQ(recipients->Value(), before ^ rcWebmaster);
}

}  // namespace
}  // namespace tarnwell
