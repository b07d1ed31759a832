#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QStackedWidget>
#include <memory>
#include <string>
#include <vector>

#include "accounts/AccountList.h"
#include "accounts/ui/DlgNewAccount.h"
#include "platform/DialUp.h"
#include "platform/Registry.h"
#include "platform/ui/QtEventLoop.h"
#include "shell/ProgramFolders.h"
#include "shell/ui/DlgMessage.h"
#include "tests/accounts/AccountTestSupport.h"
#include "tests/program/CommandRunner.h"
#include "tests/support/TestSupport.h"
#include "tests/support/program/ProgramEnvironment.h"
#include "tests/ui/NewAccountDriver.h"
#include "tests/ui/UiDriver.h"
#include "transport/POP3Account.h"

namespace tarnwell {
namespace {

using Lines = std::vector<std::string>;
using TPage = TNewAccountDlg::TPage;
using enum TNewAccountDlg::TPage;
using test::CompleteEntry;
using test::Enter;
using test::NextRefused;
using test::PressNext;

// A program folder with its store, the program's loop on Qt's and an empty account list.
class NewAccountTest : public ::testing::Test, protected test::TProgramEnvironment {
 protected:
  NewAccountTest() { TEventLoop::Install(&loop); }
  ~NewAccountTest() override {
    TDialUp::Install(nullptr);
    TEventLoop::Install(nullptr);
  }

  std::unique_ptr<TNewAccountDlg> Wizard(bool firstStart = false) {
    auto wizard = std::make_unique<TNewAccountDlg>(list, dialogs);
    wizard->SetFirstStart(firstStart);
    wizard->show();
    return wizard;
  }

  static QWidget* Focused(const TNewAccountDlg& wizard) { return wizard.focusWidget(); }
  template <typename T>
  static T* Child(const TNewAccountDlg& wizard, const char* name) {
    auto* child = wizard.findChild<T*>(QString::fromLatin1(name));
    EXPECT_NE(child, nullptr) << name;
    return child;
  }

  TQtEventLoop loop;
  TAccountList list;
  TQtMessageDialogs dialogs;
  Lines journal;
  test::TFakeDialUp dialUp{journal};
};

TEST_F(NewAccountTest, NextAndBackVisitThePagesThatThePhoneBookAndTheFirstStartAllow) {
  const struct {
    const char* name;
    std::vector<std::string> entries;
    bool firstStart;
    // The button chosen on the dial-up page, when it shows.
    const char* connection;
    std::vector<TPage> pages;
    bool dialUp;
    std::string entry;
  } cases[] = {
      {"no phone book",
       {},
       false,
       "",
       {tsDescription, tsName, tsServers, tsUserName, tsTest, tsDone},
       false,
       ""},
      {"first start",
       {},
       true,
       "",
       {tsDescription, tsName, tsServers, tsUserName, tsTest, tsInfo, tsDone},
       false,
       ""},
      {"one entry",
       {"Work"},
       false,
       "rbDialUp",
       {tsDescription, tsName, tsServers, tsUserName, tsDialUp, tsTest, tsDone},
       true,
       "Work"},
      {"two entries, dial-up",
       {"Work", "Home"},
       true,
       "rbDialUp",
       {tsDescription, tsName, tsServers, tsUserName, tsDialUp, tsConnection, tsTest, tsInfo,
        tsDone},
       true,
       "Home"},
      {"two entries, direct",
       {"Work", "Home"},
       false,
       "rbDirect",
       {tsDescription, tsName, tsServers, tsUserName, tsDialUp, tsTest, tsDone},
       false,
       ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    dialUp.EntryNames = c.entries;
    TDialUp::Install(c.entries.empty() ? nullptr : &dialUp);
    const std::unique_ptr<TNewAccountDlg> wizard = Wizard(c.firstStart);
    Enter(*wizard, CompleteEntry());
    auto* back = Child<QPushButton>(*wizard, "btnBack");
    auto* next = Child<QPushButton>(*wizard, "btnNext");
    EXPECT_EQ(wizard->CurrentPage(), tsDescription);
    EXPECT_FALSE(back->isEnabled());

    std::vector<TPage> forward{wizard->CurrentPage()};
    while (wizard->CurrentPage() != tsDone) {
      if (wizard->CurrentPage() == tsDialUp) {
        // Without a modem connection the wizard proposes the direct one.
        EXPECT_TRUE(Child<QRadioButton>(*wizard, "rbDirect")->isChecked());
        Child<QRadioButton>(*wizard, c.connection)->click();
      }
      if (wizard->CurrentPage() == tsConnection)
        Child<QComboBox>(*wizard, "cbConnection")->setCurrentIndex(1);
      PressNext(*wizard);
      if (wizard->CurrentPage() == forward.back()) break;
      forward.push_back(wizard->CurrentPage());
      EXPECT_TRUE(back->isEnabled());
    }
    EXPECT_EQ(forward, c.pages);
    EXPECT_EQ(next->text(), QStringLiteral("&Finish"));

    std::vector<TPage> backward{wizard->CurrentPage()};
    while (back->isEnabled()) {
      back->click();
      backward.push_back(wizard->CurrentPage());
      EXPECT_EQ(next->text(), QStringLiteral("&Next >"));
    }
    EXPECT_EQ(backward, std::vector<TPage>(c.pages.rbegin(), c.pages.rend()));

    test::GoTo(*wizard, tsDone);
    const std::unique_ptr<TPOP3Account> account = wizard->BuildAccount();
    EXPECT_EQ(account->DialUp, c.dialUp);
    EXPECT_EQ(account->Connection, c.entry);
    EXPECT_TRUE(journal.empty());
  }
}

TEST_F(NewAccountTest, EveryPageShowsItsTextsAndFocusesItsFirstControl) {
  dialUp.EntryNames = {"Work", "Home"};
  TDialUp::Install(&dialUp);
  const std::unique_ptr<TNewAccountDlg> wizard = Wizard(true);
  Enter(*wizard, CompleteEntry());
  Child<QRadioButton>(*wizard, "rbDialUp")->click();
  EXPECT_EQ(wizard->windowTitle(), QStringLiteral("New Account Wizard"));
  const struct {
    TPage page;
    Lines texts;
    const char* focused;
  } pages[] = {
      {tsDescription,
       {"Start by entering a description for this account. You can type anything you want "
        "here."},
       "edDescription"},
      {tsName,
       {"Your name and e-mail address will be used when you send complaints about spam. You "
        "should enter your real name, and it is important that you use the correct e-mail "
        "address."},
       "edName"},
      {tsServers,
       {"The e-mail servers are the computers that handle incoming and outgoing e-mail. Both "
        "tasks are often handled by the same computer."},
       "edPop3Server"},
      {tsUserName, {}, "edUserName"},
      {tsDialUp,
       {"You connect to your account in one of two ways:",
        "Dial-up connection. If you are using a modem to connect to your account over the phone "
        "line, select this option.",
        "Direct connection. If you have a cable or DSL connection or if are connected to a local "
        "area network, you should select this option."},
       "rbDialUp"},
      {tsConnection,
       {"You have configured several dial-up connections on your computer. Select the one that "
        "you want to use to access this account."},
       "cbConnection"},
      {tsTest,
       {"", "Click on the button below to do this; otherwise, just click Next."},
       "btnTest"},
      {tsInfo,
       {"Important: It is strongly recommended that you switch off automatic mail checking in "
        "your e-mail program. If you do not do this, Tarnwell may not be able to filter your "
        "e-mail.",
        "Consult your e-mail program's manual or help files for information on how to do this. "
        "You can also click on the button below for more information."},
       "btnNext"},
      {tsDone,
       {"You have successfully entered the required information for your account.",
        "Click Finish to save these settings."},
       "btnNext"},
  };
  for (const auto& p : pages) {
    ASSERT_EQ(wizard->CurrentPage(), p.page);
    const QWidget* sheet = wizard->findChild<QStackedWidget*>()->currentWidget();
    for (size_t i = 0; i < p.texts.size(); ++i) {
      if (p.texts[i].empty()) continue;
      EXPECT_EQ(test::LabelText(*sheet, ("lblText" + std::to_string(i + 1)).c_str()), p.texts[i])
          << p.page;
    }
    ASSERT_NE(Focused(*wizard), nullptr) << p.page;
    EXPECT_EQ(Focused(*wizard)->objectName().toStdString(), p.focused) << p.page;
    PressNext(*wizard);
  }
  EXPECT_EQ(Child<QRadioButton>(*wizard, "rbDialUp")->text(),
            QStringLiteral("Dial-&up connection"));
  EXPECT_EQ(Child<QRadioButton>(*wizard, "rbDirect")->text(), QStringLiteral("&Direct connection"));
  EXPECT_EQ(Child<QPushButton>(*wizard, "btnTest")->text(), QStringLiteral("&Test now"));
  EXPECT_EQ(Child<QPushButton>(*wizard, "btnTellMore")->text(), QStringLiteral("&Tell me more"));
  EXPECT_EQ(Child<QPushButton>(*wizard, "btnCancel")->text(), QStringLiteral("Cancel"));
  EXPECT_EQ(Child<QPushButton>(*wizard, "btnHelp")->text(), QStringLiteral("&Help"));
  // Without help the buttons that open it are disabled.
  EXPECT_FALSE(Child<QPushButton>(*wizard, "btnTellMore")->isEnabled());
  EXPECT_FALSE(Child<QPushButton>(*wizard, "btnHelp")->isEnabled());
}

TEST_F(NewAccountTest, BlankFieldsAnExistingDescriptionAndAnInvalidAddressKeepThePage) {
  auto home = std::make_unique<TPOP3Account>();
  home->Description = "Home";
  list.Add(std::move(home));
  const std::unique_ptr<TNewAccountDlg> wizard = Wizard();
  const char* const blank = TNewAccountDlg::kBlankField;
  const struct {
    const char* name;
    TPage page;
    test::TWizardEntry entry;
    // Empty when the page is left.
    std::string refusal;
    const char* focused;
  } steps[] = {
      {"blank description", tsDescription, {{"edDescription", "  "}}, blank, "edDescription"},
      {"description in use",
       tsDescription,
       {{"edDescription", " hOME "}},
       TNewAccountDlg::kDescriptionExists,
       "edDescription"},
      {"new description", tsDescription, {{"edDescription", "Work"}}, "", ""},
      {"blank name", tsName, {{"edName", ""}, {"edEmail", "pat@example.com"}}, blank, "edName"},
      {"blank address", tsName, {{"edName", "Pat"}, {"edEmail", " "}}, blank, "edEmail"},
      {"no at sign",
       tsName,
       {{"edEmail", "pat.example.com"}},
       TNewAccountDlg::kInvalidAddress,
       "edEmail"},
      {"a blank",
       tsName,
       {{"edEmail", "pat @example.com"}},
       TNewAccountDlg::kInvalidAddress,
       "edEmail"},
      {"a tab",
       tsName,
       {{"edEmail", "pat@exa\tmple.com"}},
       TNewAccountDlg::kInvalidAddress,
       "edEmail"},
      {"valid address", tsName, {{"edEmail", "  pat.doe@example.com "}}, "", ""},
      {"blank incoming server",
       tsServers,
       {{"edSmtpServer", "smtp.example.com"}},
       blank,
       "edPop3Server"},
      {"blank outgoing server",
       tsServers,
       {{"edPop3Server", "pop.example.com"}, {"edSmtpServer", ""}},
       blank,
       "edSmtpServer"},
      {"port missing",
       tsServers,
       {{"edSmtpServer", "smtp.example.com:"}},
       "Outgoing mail server: the port after the \":\" is missing.",
       "edSmtpServer"},
      {"port out of range",
       tsServers,
       {{"edPop3Server", "pop.example.com:99999"}, {"edSmtpServer", "smtp.example.com"}},
       "Incoming mail server port must be a number from 1 to 65535.",
       "edPop3Server"},
      {"servers", tsServers, {{"edPop3Server", "pop.example.com:1995"}}, "", ""},
      {"blank user name", tsUserName, {{"edUserName", " "}}, blank, "edUserName"},
      {"blank password", tsUserName, {{"edUserName", "pat"}}, blank, "edPassword"},
      {"password", tsUserName, {{"edPassword", "s3cret"}}, "", ""},
  };
  for (const auto& step : steps) {
    SCOPED_TRACE(step.name);
    ASSERT_EQ(wizard->CurrentPage(), step.page);
    Enter(*wizard, step.entry);
    if (step.refusal.empty()) {
      PressNext(*wizard);
      EXPECT_GT(wizard->CurrentPage(), step.page);
      continue;
    }
    EXPECT_EQ(NextRefused(*wizard), step.refusal);
    EXPECT_EQ(wizard->CurrentPage(), step.page);
    ASSERT_NE(Focused(*wizard), nullptr);
    EXPECT_EQ(Focused(*wizard)->objectName().toStdString(), step.focused);
  }
  // The address was taken trimmed, and gave the user name until one was typed.
  const std::unique_ptr<TPOP3Account> account = wizard->BuildAccount();
  EXPECT_EQ(account->Email, "pat.doe@example.com");
  EXPECT_EQ(account->POP3UserName, "pat");
  EXPECT_EQ(account->POP3Port, 1995);
}

TEST_F(NewAccountTest, TheUserNameIsTakenFromTheAddressOnlyWhileItIsEmpty) {
  const std::unique_ptr<TNewAccountDlg> wizard = Wizard();
  Enter(*wizard,
        {{"edDescription", "Home"}, {"edName", "Pat"}, {"edEmail", "pat.doe@example.com"}});
  auto* userName = Child<QLineEdit>(*wizard, "edUserName");
  test::GoTo(*wizard, tsServers);
  EXPECT_EQ(userName->text(), QStringLiteral("pat.doe"));

  // Another address leaves the name taken from the first.
  Child<QPushButton>(*wizard, "btnBack")->click();
  Enter(*wizard, {{"edEmail", "ann@example.org"}});
  PressNext(*wizard);
  EXPECT_EQ(userName->text(), QStringLiteral("pat.doe"));

  // Emptied, it follows the address again.
  Child<QPushButton>(*wizard, "btnBack")->click();
  Enter(*wizard, {{"edUserName", "  "}});
  PressNext(*wizard);
  EXPECT_EQ(userName->text(), QStringLiteral("ann"));
}

// Every value of a key and the keys below it, as "path/name=value" lines; the program folder's
// path in a text is HOME.
Lines StoredTree(TRegistryStore& store, const std::string& path, const std::string& home,
                 const std::string& shown = "") {
  Lines lines;
  TRegistry registry(store);
  if (!registry.OpenKeyReadOnly(path)) return {"(no key " + path + ")"};
  for (const std::string& name : registry.GetValueNames()) {
    std::string value;
    switch (registry.GetDataType(name)) {
      case TRegDataType::Integer: value = std::to_string(registry.ReadInteger(name)); break;
      case TRegDataType::String: value = '"' + registry.ReadString(name) + '"'; break;
      default:
        for (const char c : registry.ReadBinary(name))
          value += std::to_string(static_cast<unsigned char>(c)) + " ";
    }
    for (size_t at; (at = value.find(home)) != std::string::npos;)
      value.replace(at, home.size(), "HOME/");
    lines.push_back(shown + name + "=" + value);
  }
  for (const std::string& key : registry.GetKeyNames()) {
    const Lines below = StoredTree(store, path + "\\" + key, home, shown + key + "/");
    lines.insert(lines.end(), below.begin(), below.end());
  }
  return lines;
}

TEST_F(NewAccountTest, FinishStoresWhatAccountsAddStoresForTheSameEntries) {
  const struct {
    const char* name;
    test::TWizardEntry entry;
    std::vector<std::string> options;
  } cases[] = {
      {"the defaults", CompleteEntry(), {}},
      {"ports, securities and the outgoing login",
       {{"edPop3Server", "127.0.0.1:1110"},
        {"cbPop3Security", "None"},
        {"edSmtpServer", "[::1]:2525"},
        {"cbSmtpSecurity", "TLS"},
        {"chkSmtpAuth", "yes"},
        {"edPassword", "  pass word  "}},
       {"--pop3-security", "none", "--smtp-security", "tls", "--smtp-auth"}},
      {"secured by STARTTLS, sent in the clear",
       {{"edDescription", " Büro "},
        {"edName", " Jörg Müller "},
        {"cbPop3Security", "STARTTLS"},
        {"cbSmtpSecurity", "None"}},
       {"--pop3-security", "starttls", "--smtp-security", "none"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    test::TWizardEntry entry = CompleteEntry();
    for (const auto& [field, value] : c.entry) entry[field] = value;

    test::TTempDir home;
    std::vector<std::string> args = {"--home",
                                     home.Path(),
                                     "accounts",
                                     "add",
                                     "pop3",
                                     "--description",
                                     entry["edDescription"],
                                     "--name",
                                     entry["edName"],
                                     "--email",
                                     entry["edEmail"],
                                     "--pop3",
                                     entry["edPop3Server"],
                                     "--user",
                                     entry["edUserName"],
                                     "--smtp",
                                     entry["edSmtpServer"],
                                     "--password-stdin"};
    args.insert(args.end(), c.options.begin(), c.options.end());
    const test::TRunResult added = test::RunTarnwell(args, entry["edPassword"] + "\n");
    ASSERT_EQ(added.status, 0) << added.err;

    // The wizard's account in a program folder of its own as well.
    test::TTempDir folder;
    TRegistryStore store(folder / "Registry.db");
    TRegistryStore::Install(&store);
    TProgramFolders::SetProgramFolder(folder.Path());
    {
      TAccountList accounts;
      TNewAccountDlg wizard(accounts, dialogs);
      wizard.show();
      Enter(wizard, entry);
      test::GoTo(wizard, tsDone);
      PressNext(wizard);
      EXPECT_EQ(wizard.result(), QDialog::Accepted);
      std::unique_ptr<TAccount> account = wizard.TakeAccount();
      ASSERT_NE(account, nullptr);
      accounts.Add(std::move(account));
    }
    TProgramFolders::SetProgramFolder(dir.Path());
    TRegistryStore::Install(this->store.get());

    TRegistryStore commandStore(home / "Registry.db");
    const Lines command = StoredTree(commandStore, TAccount::kAccountsKey, home.Path());
    const Lines built = StoredTree(store, TAccount::kAccountsKey, folder.Path());
    EXPECT_GT(built.size(), 40u);
    EXPECT_EQ(built, command);
  }
}

TEST_F(NewAccountTest, CancelBuildsNothingAndTheEntryPointRunsTheFirstStart) {
  {
    const std::unique_ptr<TNewAccountDlg> wizard = Wizard();
    Enter(*wizard, CompleteEntry());
    test::GoTo(*wizard, tsDone);
    Child<QPushButton>(*wizard, "btnCancel")->click();
    EXPECT_EQ(wizard->result(), QDialog::Rejected);
    EXPECT_EQ(wizard->TakeAccount(), nullptr);
  }

  std::vector<int> topics;
  std::vector<TPage> pages;
  test::WhenModal([&](QWidget* shown) {
    auto& wizard = *static_cast<TNewAccountDlg*>(shown);
    Enter(wizard, CompleteEntry());
    Child<QPushButton>(wizard, "btnHelp")->click();
    pages.push_back(wizard.CurrentPage());
    while (wizard.isVisible()) {
      if (wizard.CurrentPage() == tsInfo) Child<QPushButton>(wizard, "btnTellMore")->click();
      PressNext(wizard);
      pages.push_back(wizard.CurrentPage());
    }
  });
  const std::unique_ptr<TAccount> account =
      RunNewAccountWizard(list, true, nullptr, [&topics](int topic) { topics.push_back(topic); });
  ASSERT_NE(account, nullptr);
  EXPECT_EQ(account->Description, "Home");
  EXPECT_EQ(list.Count(), 0);
  EXPECT_EQ(topics, (std::vector<int>{1380, 1401}));
  EXPECT_EQ(pages, (std::vector<TPage>{tsDescription, tsName, tsServers, tsUserName, tsTest, tsInfo,
                                       tsDone, tsDone}));
}

}  // namespace
}  // namespace tarnwell
