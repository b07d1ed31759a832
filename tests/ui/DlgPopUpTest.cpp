#include <gtest/gtest.h>

#include <QApplication>
#include <QGuiApplication>
#include <QHelpEvent>
#include <QPushButton>
#include <QScreen>
#include <QTest>
#include <QTimer>
#include <QToolTip>
#include <QTreeWidget>
#include <set>

#include "accounts/AccountList.h"
#include "shell/ui/DlgPopUp.h"
#include "shell/ui/PopUpSample.h"
#include "shell/ui/StatusImages.h"
#include "shell/ui/WindowPlacement.h"
#include "tests/accounts/AccountTestSupport.h"
#include "tests/ui/UiDriver.h"

namespace tarnwell {
namespace {

using test::TScriptedAccount;

// A node as the test reads it: its text and which status image it shows.
struct TNode {
  std::string text;
  int image;
  bool operator==(const TNode&) const = default;
};

std::ostream& operator<<(std::ostream& out, const TNode& node) {
  return out << "{" << node.text << ", " << node.image << "}";
}

int ImageIndex(const QIcon& icon) {
  const QImage shown = icon.pixmap(16, 16).toImage();
  for (int i = 0; i < kStatusImageCount; ++i)
    if (StatusImage(i).pixmap(16, 16).toImage() == shown) return i == siPossibleSpamMessage ? 0 : i;
  return -1;
}

TNode Node(const QTreeWidgetItem* item) {
  return {item->text(0).toStdString(), ImageIndex(item->icon(0))};
}

class PopUpDlgTest : public test::AccountFixture {
 protected:
  PopUpDlgTest() {
    settings.ShowPopUp = true;
    list.Init(filters.get());
    list.OnAccountChecked = [this](TAccount& account) { earlier.push_back(account.Description); };
    notice.IsMainWindowVisible = [this] { return mainWindowVisible; };
    notice.OpenMainWindow = [this] { ++opened; };
  }

  TScriptedAccount& Add(const std::string& description, bool active = true) {
    return test::AddScriptedAccount(list, description, active);
  }
  void CheckAll() { list.CheckSelected({}, TriggerBit(ctOnDemand)); }
  void Create() { notice.Create(list); }
  [[nodiscard]] TPopUpDlg& Dialog() const { return *notice.Dialog(); }
  [[nodiscard]] QTreeWidget& Tree() const { return *Dialog().Tree(); }
  [[nodiscard]] std::vector<TNode> Roots() const {
    std::vector<TNode> roots;
    for (int i = 0; i < Tree().topLevelItemCount(); ++i)
      roots.push_back(Node(Tree().topLevelItem(i)));
    return roots;
  }
  [[nodiscard]] std::vector<TNode> Children(int root) const {
    std::vector<TNode> children;
    const QTreeWidgetItem* item = Tree().topLevelItem(root);
    for (int i = 0; i < item->childCount(); ++i) children.push_back(Node(item->child(i)));
    return children;
  }

  TAccountList list;
  TQtPopUpNotice notice;
  std::vector<std::string> earlier;
  bool mainWindowVisible = false;
  int opened = 0;
};

TEST_F(PopUpDlgTest, ABatchOfSeveralAccountsListsWhatEachBrought) {
  TScriptedAccount& home = Add("Home");
  TScriptedAccount& quiet = Add("Quiet");
  TScriptedAccount& work = Add("Work");
  home.Mailbox = {Mail("h1", "Bob Smith <bob@example.net>", "Hi"),
                  Mail("h2", "Ann <ann@friends.org>", "Lunch"),
                  Mail("h3", "fred@example.net", "=?UTF-8?Q?Gro=C3=9Fe?= lottery"),
                  Mail("h4", "Eve <eve@example.net>", "viagra"),
                  Mail("h5", "mallory@example.net", "viagra again")};
  work.Mailbox = {Mail("w1", "boss@example.com", "Report\tdue")};
  quiet.Mailbox = {};
  Create();
  CheckAll();

  EXPECT_EQ(earlier, (std::vector<std::string>{"Home", "Quiet", "Work"}));
  ASSERT_TRUE(notice.IsVisible());
  EXPECT_EQ(Roots(),
            (std::vector<TNode>{{"Work: one message", siAccount},
                                {"Home: 3 messages, one possible spam, 2 spams", siAccount}}));
  EXPECT_EQ(Children(0), (std::vector<TNode>{{"boss@example.com: Report due", siNewMessage}}));
  // The check goes through the server's messages last to first, so the newest record of
  // Killed Mail is the earlier message, and it comes last of the killed.
  EXPECT_EQ(Children(1), (std::vector<TNode>{{"mallory@example.net: viagra again", siSpam},
                                             {"Eve: viagra", siSpam},
                                             {"fred@example.net: Große lottery", siPossibleSpam},
                                             {"Ann: Lunch", siFriend},
                                             {"Bob Smith: Hi", siNewMessage}}));
  EXPECT_TRUE(Tree().topLevelItem(0)->isExpanded());
  EXPECT_TRUE(Tree().topLevelItem(1)->isExpanded());
  EXPECT_EQ(Tree().currentItem(), Tree().topLevelItem(0));
  EXPECT_FALSE(Tree().rootIsDecorated());
  EXPECT_EQ(Tree().editTriggers(), QAbstractItemView::NoEditTriggers);

  const QScreen* screen = QGuiApplication::primaryScreen();
  EXPECT_EQ(Dialog().pos(), TaskbarCornerPosition(screen->geometry(), screen->availableGeometry(),
                                                  Dialog().frameGeometry().size()));
  EXPECT_FALSE(Dialog().isModal());
  EXPECT_TRUE(Dialog().CloseTimer()->isActive());
  EXPECT_EQ(Dialog().CloseTimer()->interval(), 10000);
  EXPECT_TRUE(Dialog().findChild<QPushButton*>(QStringLiteral("btnOpen"))->isDefault());
  EXPECT_EQ(Dialog().findChild<QPushButton*>(QStringLiteral("btnOpen"))->text(),
            QStringLiteral("&Open"));
  EXPECT_EQ(Dialog().findChild<QPushButton*>(QStringLiteral("btnClose"))->text(),
            QStringLiteral("&Close"));
}

TEST_F(PopUpDlgTest, TwoChecksBeforeTheNoticeIsReadShareTheAccountsNode) {
  TScriptedAccount& home = Add("Home");
  home.Mailbox = {Mail("a1", "bob@example.net", "First"), Mail("s1", "eve@example.net", "viagra")};
  settings.HidePopup = false;
  Create();
  CheckAll();
  ASSERT_TRUE(notice.IsVisible());
  EXPECT_FALSE(Dialog().CloseTimer()->isActive());
  EXPECT_EQ(Roots(), (std::vector<TNode>{{"Home: one message, one spam", siAccount}}));

  home.Mailbox = {Mail("a1", "bob@example.net", "First"), Mail("a2", "ann@friends.org", "Second"),
                  Mail("s2", "eve@example.net", "viagra now")};
  CheckAll();
  EXPECT_TRUE(notice.IsVisible());
  EXPECT_EQ(Roots(), (std::vector<TNode>{{"Home: 2 messages, 2 spams", siAccount}}));
  EXPECT_EQ(Children(0), (std::vector<TNode>{{"eve@example.net: viagra now", siSpam},
                                             {"eve@example.net: viagra", siSpam},
                                             {"bob@example.net: First", siNewMessage},
                                             {"ann@friends.org: Second", siFriend}}));
}

TEST_F(PopUpDlgTest, NothingIsAddedOrShownUnlessTheSettingsAndTheMainWindowAllowIt) {
  TScriptedAccount& home = Add("Home");
  Create();
  home.Mailbox = {Mail("a1", "bob@example.net", "First")};
  settings.ShowPopUp = false;
  CheckAll();
  EXPECT_EQ(Tree().topLevelItemCount(), 0);
  EXPECT_FALSE(notice.IsVisible());

  settings.ShowPopUp = true;
  CheckAll();  // nothing new
  EXPECT_EQ(Tree().topLevelItemCount(), 0);

  home.Mailbox.push_back(Mail("a2", "bob@example.net", "Second"));
  mainWindowVisible = true;
  CheckAll();
  EXPECT_EQ(Tree().topLevelItemCount(), 0);

  // Added while the main window was closed, but it opened before the batch ended.
  home.Mailbox.push_back(Mail("a3", "bob@example.net", "Third"));
  mainWindowVisible = false;
  list.OnCheckFinished = [this](TAccountList&) { mainWindowVisible = true; };
  CheckAll();
  EXPECT_EQ(Tree().topLevelItemCount(), 1);
  EXPECT_FALSE(notice.IsVisible());

  list.OnCountersReset();
  EXPECT_EQ(Tree().topLevelItemCount(), 0);
}

TEST_F(PopUpDlgTest, ClosingByButtonEscapeOrTimerEmptiesTheNotice) {
  TScriptedAccount& home = Add("Home");
  settings.HidePopUpAfter = 0;
  Create();
  const std::function<void()> closers[] = {
      [this] { test::Click(&Dialog(), "btnClose"); },
      [this] { QTest::keyClick(&Dialog(), Qt::Key_Escape); },
      [this] { notice.Close(); },
      [this] {
        ASSERT_TRUE(Dialog().CloseTimer()->isActive());
        EXPECT_TRUE(QTest::qWaitFor([this] { return !notice.IsVisible(); }));
      },
  };
  int n = 0;
  for (const auto& close : closers) {
    home.Mailbox.push_back(Mail("m" + std::to_string(++n), "bob@example.net", "Hello"));
    settings.HidePopup = n == 4;
    CheckAll();
    ASSERT_TRUE(notice.IsVisible()) << n;
    close();
    EXPECT_FALSE(notice.IsVisible()) << n;
    EXPECT_EQ(Tree().topLevelItemCount(), 0) << n;
    EXPECT_FALSE(Dialog().CloseTimer()->isActive()) << n;
    EXPECT_EQ(opened, 0);
  }
}

TEST_F(PopUpDlgTest, OpeningGoesToTheSelectedAccountAmongTheActiveOnes) {
  Add("Home").Mailbox = {Mail("h1", "bob@example.net", "Hi")};
  Add("Old", false);
  Add("Work").Mailbox = {Mail("w1", "boss@example.com", "Report"),
                         Mail("w2", "boss@example.com", "Again")};
  Create();
  const std::function<void(QTreeWidgetItem*)> openers[] = {
      [this](QTreeWidgetItem* item) {
        Tree().setCurrentItem(item);
        test::Click(&Dialog(), "btnOpen");
      },
      [this](QTreeWidgetItem* item) {
        test::DoubleClick(Tree().viewport(), Tree().visualItemRect(item).center());
      },
      [this](QTreeWidgetItem* item) {
        Tree().setCurrentItem(item);
        QTest::keyClick(&Dialog(), Qt::Key_Return);
      },
  };
  int n = 0;
  for (const auto& open : openers) {
    ++n;
    settings.LastAcct = 7;
    static_cast<TScriptedAccount*>(list.Items(0))
        ->Mailbox.push_back(Mail("h" + std::to_string(n + 1), "bob@example.net", "More"));
    static_cast<TScriptedAccount*>(list.Items(2))
        ->Mailbox.push_back(Mail("w" + std::to_string(n + 2), "boss@example.com", "More"));
    CheckAll();
    ASSERT_TRUE(notice.IsVisible());
    ASSERT_EQ(Roots().size(), 2u);
    ASSERT_EQ(Tree().topLevelItem(0)->text(0).left(4), QStringLiteral("Work"));
    // A message of Work, the third account and the second active one.
    open(Tree().topLevelItem(0)->child(0));
    EXPECT_EQ(settings.LastAcct, 1) << n;
    EXPECT_EQ(opened, n);
    EXPECT_FALSE(notice.IsVisible());
    EXPECT_EQ(Tree().topLevelItemCount(), 0);
  }
}

TEST_F(PopUpDlgTest, TreeTipsFollowTheSetting) {
  Add("Home").Mailbox = {Mail("h1", "bob@example.net", "A subject")};
  Create();
  CheckAll();
  ASSERT_TRUE(notice.IsVisible());
  const QTreeWidgetItem* message = Tree().topLevelItem(0)->child(0);
  const QPoint at = Tree().visualItemRect(message).center();
  for (const bool hints : {false, true}) {
    settings.ShowHints = hints;
    QToolTip::hideText();
    QHelpEvent help(QEvent::ToolTip, at, Tree().viewport()->mapToGlobal(at));
    QApplication::sendEvent(Tree().viewport(), &help);
    EXPECT_EQ(QToolTip::isVisible(), hints);
    if (hints) {
      EXPECT_EQ(QToolTip::text(), QStringLiteral("bob@example.net: A subject"));
    }
  }
  QToolTip::hideText();
}

TEST_F(PopUpDlgTest, HandlersInstalledBeforeStayAndANoticeThatIsGoneIsLeftOut) {
  int resets = 0;
  int batches = 0;
  list.OnCountersReset = [&] { ++resets; };
  list.OnBatchDone = [&](TAccountList&) { ++batches; };
  Add("Home").Mailbox = {Mail("h1", "bob@example.net", "Hi")};
  {
    TQtPopUpNotice shortLived;
    shortLived.Create(list);
    CheckAll();
    EXPECT_TRUE(shortLived.IsVisible());
    list.OnCountersReset();
  }
  EXPECT_EQ(earlier, std::vector<std::string>{"Home"});
  EXPECT_EQ(batches, 1);
  EXPECT_EQ(resets, 1);
  static_cast<TScriptedAccount*>(list.Items(0))
      ->Mailbox.push_back(Mail("h2", "bob@example.net", "Again"));
  CheckAll();
  list.OnCountersReset();
  EXPECT_EQ(earlier, (std::vector<std::string>{"Home", "Home"}));
  EXPECT_EQ(batches, 2);
  EXPECT_EQ(resets, 2);
}

TEST(PopUpSampleTest, TheSampleBatchFillsEveryKindOfNode) {
  TPopUpDlg dialog;
  FillSampleBatch(dialog);
  QTreeWidget& tree = *dialog.Tree();
  ASSERT_EQ(tree.topLevelItemCount(), 3);
  EXPECT_EQ(tree.topLevelItem(0)->text(0),
            QStringLiteral("Home: 5 messages, one possible spam, 2 spams"));
  EXPECT_EQ(tree.topLevelItem(0)->child(3)->text(0),
            QStringLiteral(u"Jürgen Müller: Grüße aus München"));
  std::set<int> images;
  for (int r = 0; r < tree.topLevelItemCount(); ++r) {
    images.insert(ImageIndex(tree.topLevelItem(r)->icon(0)));
    for (int c = 0; c < tree.topLevelItem(r)->childCount(); ++c)
      images.insert(ImageIndex(tree.topLevelItem(r)->child(c)->icon(0)));
  }
  EXPECT_EQ(images, (std::set<int>{siPossibleSpam, siSpam, siFriend, siNewMessage, siAccount}));
}

}  // namespace
}  // namespace tarnwell
