#include <gtest/gtest.h>

#include <QComboBox>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QSignalSpy>
#include <QStyle>
#include <QStyleOptionViewItem>
#include <QTest>
#include <QTreeView>

#include "accounts/AccountList.h"
#include "accounts/ui/AccountListModel.h"
#include "accounts/ui/PgAccounts.h"
#include "mainwindow/ui/FmMain.h"
#include "platform/Registry.h"
#include "shell/Synchronization.h"
#include "shell/ui/DlgMessage.h"
#include "tests/accounts/AccountTestSupport.h"
#include "tests/ui/UiDriver.h"

namespace tarnwell {
namespace {

using test::TScriptedAccount;
using TTexts = std::vector<std::string>;

// A stored text of `account`'s key, as the next start reads it.
std::string Stored(const TAccount& account, const char* name) {
  TRegistry registry;
  if (!registry.OpenKey(std::string(TAccount::kAccountsKey) + "\\" + account.KeyName(), false))
    return "(no key)";
  return registry.ReadString(name);
}

bool StoredActive(const TAccount& account) {
  TRegistry registry;
  return registry.OpenKey(std::string(TAccount::kAccountsKey) + "\\" + account.KeyName(), false) &&
         registry.ReadBool("Active");
}

bool StoredKey(const std::string& keyName) {
  return TRegistry().KeyExists(std::string(TAccount::kAccountsKey) + "\\" + keyName);
}

// The page over a real account list of scripted accounts, with a wizard and a properties dialog
// that do as each test says.
class PgAccountsTest : public test::AccountFixture {
 protected:
  PgAccountsTest() { list.Init(filters.get()); }

  TScriptedAccount& Add(const std::string& description, uint8_t type = akPOP3,
                        const std::string& dialUpEntry = {}) {
    auto account = std::make_unique<TScriptedAccount>(type);
    account->Description = description;
    account->Email = "me@example.com";
    account->DialUp = !dialUpEntry.empty();
    account->Connection = dialUpEntry;
    list.Add(std::move(account));
    return static_cast<TScriptedAccount&>(*list.Items(list.Count() - 1));
  }

  TAccountsPg& Open() {
    owned = std::make_unique<TAccountsPg>(list);
    page = owned.get();
    Attach(*page);
    page->resize(640, 360);
    page->show();
    page->SetShowing(true);
    return *page;
  }

  void Attach(TAccountsPg& made) {
    made.SetNewAccountWizard([this] { return std::move(fromWizard); });
    made.SetEditAccount([this](TAccount& account) {
      ++edited;
      if (edit) edit(account);
      return static_cast<bool>(edit);
    });
  }

  [[nodiscard]] TTexts Rows() const {
    TTexts rows;
    for (int row = 0; row < page->Model()->rowCount(); ++row)
      rows.push_back(page->Model()->Account(row)->Description);
    return rows;
  }
  [[nodiscard]] std::string Selected() const {
    const TAccount* account = page->SelectedAccount();
    return account ? account->Description : std::string();
  }
  [[nodiscard]] bool Enabled(const char* name) const {
    return page->findChild<QPushButton*>(QString::fromLatin1(name))->isEnabled();
  }
  void ClickHeader(int column) const {
    QHeaderView* header = page->List()->header();
    QTest::mouseClick(
        header->viewport(), Qt::LeftButton, {},
        QPoint(header->sectionViewportPosition(column) + header->sectionSize(column) / 2,
               header->height() / 2));
  }
  // A left click on the check box of the account's row, where the list draws it.
  void ClickSwitch(const TAccount& account) const {
    QTreeView* view = page->List();
    const QModelIndex index =
        page->Model()->index(page->Model()->RowOf(&account), TAccountListModel::colActive);
    QStyleOptionViewItem option;
    option.initFrom(view);
    option.rect = view->visualRect(index);
    option.features |= QStyleOptionViewItem::HasCheckIndicator;
    const QRect box =
        view->style()->subElementRect(QStyle::SE_ItemViewItemCheckIndicator, &option, view);
    QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, box.center());
  }
  // Answers the question the next command asks with `button`, keeping its text.
  void Answer(const char* button) {
    test::WhenModal([this, button](QWidget* dialog) {
      asked = static_cast<TMessageDlg*>(dialog)->ShownText().toStdString();
      test::Click(dialog, QString::fromLatin1(button));
    });
  }

  TAccountList list;
  std::unique_ptr<TAccountsPg> owned;
  // The page the test drives: its own, or the one a window holds.
  TAccountsPg* page = nullptr;
  std::unique_ptr<TAccount> fromWizard;
  std::function<void(TAccount&)> edit;
  int edited = 0;
  std::string asked;
};

TEST_F(PgAccountsTest, WithoutAccountsOnlyAddIsEnabledAndTheFirstAccountIsSelectedOnShowing) {
  TAccountsPg& shown = Open();
  EXPECT_EQ(shown.findChild<QLabel*>(QStringLiteral("pnlCaption"))->text(),
            QStringLiteral("    Accounts"));
  TTexts headers;
  for (int column = 0; column < shown.Model()->columnCount(); ++column)
    headers.push_back(shown.Model()
                          ->headerData(column, Qt::Horizontal, Qt::DisplayRole)
                          .toString()
                          .toStdString());
  EXPECT_EQ(headers, (TTexts{"Active", "Description", "Type", "Connection"}));
  EXPECT_FALSE(shown.List()->isEnabled());
  EXPECT_TRUE(Enabled("sbAdd"));
  EXPECT_FALSE(Enabled("sbRemove"));
  EXPECT_FALSE(Enabled("sbProperties"));
  EXPECT_FALSE(shown.DeleteEnabled());

  Add("Home");
  Add("Work", akPOP3, "Office line");
  shown.Refresh();
  shown.SetShowing(false);
  shown.SetShowing(true);
  EXPECT_TRUE(shown.List()->isEnabled());
  EXPECT_EQ(Selected(), "Home");
  EXPECT_TRUE(Enabled("sbRemove"));
  EXPECT_TRUE(Enabled("sbProperties"));
  const QModelIndex work = shown.Model()->index(1, TAccountListModel::colConnection);
  EXPECT_EQ(work.data().toString(), QStringLiteral("Office line"));
  EXPECT_EQ(work.siblingAtColumn(TAccountListModel::colType).data().toString(),
            QStringLiteral("Internet (POP3)"));

  // The commands that need their dialogs stay off without them.
  TAccountsPg bare(list);
  bare.show();
  bare.SetShowing(true);
  EXPECT_FALSE(bare.findChild<QPushButton*>(QStringLiteral("sbAdd"))->isEnabled());
  EXPECT_FALSE(bare.findChild<QPushButton*>(QStringLiteral("sbProperties"))->isEnabled());
  EXPECT_TRUE(bare.findChild<QPushButton*>(QStringLiteral("sbRemove"))->isEnabled());
}

TEST_F(PgAccountsTest, RemoveAsksThenSelectsTheRowAtTheOldIndexOrTheNewLast) {
  const struct {
    const char* name;
    TTexts accounts;
    int row;
    const char* answer;
    TTexts rows;
    std::string selected;
  } cases[] = {
      {"the last row", {"A", "B", "C"}, 2, "btnYes", {"A", "B"}, "B"},
      {"a middle row", {"A", "B", "C"}, 1, "btnYes", {"A", "C"}, "C"},
      {"the only row", {"A"}, 0, "btnYes", {}, ""},
      {"answered No", {"A", "B", "C"}, 1, "btnNo", {"A", "B", "C"}, "B"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    while (list.Count() > 0) list.Remove(0);
    for (const std::string& description : c.accounts) Add(description);
    const std::string key = list.Items(c.row)->KeyName();
    Open().SelectIndex(c.row);
    asked.clear();
    Answer(c.answer);
    page->Delete();
    EXPECT_EQ(asked, kRemoveAccountQuestion);
    EXPECT_EQ(Rows(), c.rows);
    EXPECT_EQ(list.Count(), static_cast<int>(c.rows.size()));
    EXPECT_EQ(StoredKey(key), c.rows.size() == c.accounts.size());
    EXPECT_EQ(Selected(), c.selected);
    EXPECT_EQ(Enabled("sbRemove"), !c.selected.empty());
    EXPECT_EQ(Enabled("sbProperties"), !c.selected.empty());
    EXPECT_EQ(page->List()->isEnabled(), !c.rows.empty());
  }
}

TEST_F(PgAccountsTest, AHeaderSortsAscendingIgnoringCaseAndTheSameHeaderAgainReverses) {
  // Kinds and connections differ, so that each column orders the rows its own way.
  Add("work", akPOP3, "Office line");
  Add("Home", akYahoo);
  Add("archive", akHotmail, "modem");
  Add("Club", akMapi, "Club line");
  const struct {
    std::vector<int> clicks;
    TTexts rows;
    int column;
    bool descending;
  } cases[] = {
      {{}, {"work", "Home", "archive", "Club"}, 0, false},
      {{1}, {"archive", "Club", "Home", "work"}, 1, false},
      {{1, 1}, {"work", "Home", "Club", "archive"}, 1, true},
      {{1, 1, 1}, {"archive", "Club", "Home", "work"}, 1, false},
      {{1, 1, 2}, {"work", "Club", "archive", "Home"}, 2, false},
      {{3}, {"Club", "Home", "archive", "work"}, 3, false},
      {{3, 0}, {"work", "Home", "archive", "Club"}, 0, false},
      {{0}, {"Club", "archive", "Home", "work"}, 0, true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::PrintToString(c.clicks));
    Open();
    page->SelectIndex(1);
    for (const int column : c.clicks) ClickHeader(column);
    EXPECT_EQ(Rows(), c.rows);
    EXPECT_EQ(page->Model()->SortColumn(), c.column);
    EXPECT_EQ(page->Model()->SortDescending(), c.descending);
    EXPECT_EQ(page->List()->header()->sortIndicatorSection(), c.column);
    EXPECT_EQ(page->List()->header()->sortIndicatorOrder(),
              c.descending ? Qt::DescendingOrder : Qt::AscendingOrder);
    // The selection stays on its account.
    EXPECT_EQ(Selected(), "Home");
  }
}

TEST_F(PgAccountsTest, TheCheckBoxSwitchesTheAccountSavesItAndRefillsTheWindowsSelector) {
  Add("Home");
  TScriptedAccount& work = Add("Work");
  Add("Play");
  TSynchronization gate;
  TQtMessageDialogs dialogs;
  TMainWindowLinks links;
  links.Accounts = &list;
  links.Filters = filters.get();
  links.Gate = &gate;
  links.Dialogs = &dialogs;
  links.ToggleSuspend = [this] { list.Suspended = !list.Suspended; };
  TFmMain window(links, nullptr,
                 [this](int index, QWidget* parent) -> std::unique_ptr<TWindowPage> {
                   if (index != piAccounts) return nullptr;
                   auto made = std::make_unique<TAccountsPg>(list, parent);
                   page = made.get();
                   return made;
                 });
  window.show();
  window.SelectPage(piAccounts);
  const auto entries = [&window] {
    const auto* selector = window.findChild<QComboBox*>(QStringLiteral("cbAccounts"));
    TTexts texts;
    for (int i = 0; i < selector->count(); ++i)
      texts.push_back(selector->itemText(i).toStdString());
    return texts;
  };
  ASSERT_EQ(entries(), (TTexts{"Home", "Work", "Play"}));

  const struct {
    bool active;
    TTexts entries;
  } steps[] = {{false, {"Home", "Play"}}, {true, {"Home", "Work", "Play"}}};
  for (const auto& step : steps) {
    SCOPED_TRACE(step.active);
    ClickSwitch(work);
    EXPECT_EQ(work.Active, step.active);
    EXPECT_EQ(StoredActive(work), step.active);
    EXPECT_EQ(page->Model()->index(1, TAccountListModel::colActive).data(Qt::CheckStateRole),
              step.active ? Qt::Checked : Qt::Unchecked);
    EXPECT_EQ(entries(), step.entries);
  }
}

TEST_F(PgAccountsTest, AddListsTheWizardsAccountAndPropertiesStoresTheEditedOne) {
  Add("Home");
  TScriptedAccount& work = Add("Work");
  Open();
  ClickHeader(TAccountListModel::colDescription);

  // Cancelled wizards and dialogs change nothing.
  page->Add();
  page->Properties();
  EXPECT_EQ(edited, 1);
  EXPECT_EQ(Rows(), (TTexts{"Home", "Work"}));

  auto made = std::make_unique<TScriptedAccount>();
  made->Description = "Clubs";
  made->Email = "me@clubs.example.org";
  const TAccount* added = made.get();
  fromWizard = std::move(made);
  page->Add();
  EXPECT_EQ(Rows(), (TTexts{"Clubs", "Home", "Work"}));
  EXPECT_EQ(Selected(), "Clubs");
  ASSERT_EQ(list.Count(), 3);
  EXPECT_EQ(list.Items(2), added);
  EXPECT_EQ(Stored(*added, "Description"), "Clubs");

  // Properties on a double-click: the row is rewritten and sorted in, and the store follows.
  page->SelectIndex(2);
  edit = [](TAccount& account) { account.Description = "Archive"; };
  const QRect workRow = page->List()->visualRect(page->Model()->index(2, 1));
  test::DoubleClick(page->List()->viewport(), workRow.center());
  EXPECT_EQ(edited, 2);
  EXPECT_EQ(Rows(), (TTexts{"Archive", "Clubs", "Home"}));
  EXPECT_EQ(Selected(), "Archive");
  EXPECT_EQ(Stored(work, "Description"), "Archive");

  // A store that refuses the edit: the command keeps quiet and the row shows the fields.
  work.FailSave = true;
  edit = [](TAccount& account) { account.Description = "Zoo"; };
  page->Properties();
  EXPECT_EQ(Rows(), (TTexts{"Clubs", "Home", "Zoo"}));
  EXPECT_EQ(Selected(), "Zoo");

  // A store that refuses the new account: the error is shown and the account is not listed.
  made = std::make_unique<TScriptedAccount>();
  made->Description = "Broken";
  made->FailSave = true;
  fromWizard = std::move(made);
  std::string shown;
  test::WhenModal([&shown](QWidget* dialog) {
    shown = static_cast<TMessageDlg*>(dialog)->ShownText().toStdString();
    static_cast<QDialog*>(dialog)->accept();
  });
  work.FailSave = false;
  page->Add();
  EXPECT_NE(shown.find("Could not save account settings."), std::string::npos) << shown;
  EXPECT_EQ(Rows(), (TTexts{"Clubs", "Home", "Zoo"}));
  EXPECT_EQ(list.Count(), 3);
}

}  // namespace
}  // namespace tarnwell
