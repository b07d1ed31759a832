#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>
#include <QTabWidget>
#include <QTimeEdit>
#include <array>
#include <filesystem>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "accounts/AccountFields.h"
#include "accounts/AccountList.h"
#include "accounts/ui/DlgAccount.h"
#include "accounts/ui/DlgAccountEvents.h"
#include "accounts/ui/DlgAuthSMTP.h"
#include "message/QStrings.h"
#include "message/SvcString.h"
#include "platform/DialUp.h"
#include "platform/Registry.h"
#include "shell/ui/DlgMessage.h"
#include "tests/accounts/ScriptedAccount.h"
#include "tests/program/CommandRunner.h"
#include "tests/support/TestSupport.h"
#include "tests/support/program/ProgramEnvironment.h"
#include "tests/ui/UiDriver.h"
#include "transport/POP3Account.h"
#include "transport/Security.h"

namespace tarnwell {
namespace {

const std::string kPin = "0123456789ABCDEF0123456789ABCDEFFEDCBA9876543210FEDCBA9876543210";
const QString kPinShown = QStringLiteral(
    "01:23:45:67:89:AB:CD:EF:01:23:45:67:89:AB:CD:EF\n"
    "FE:DC:BA:98:76:54:32:10:FE:DC:BA:98:76:54:32:10");
const QString kBlank = QStringLiteral("You cannot leave this field blank.");
const QString kRange = QStringLiteral("You must enter a number between 0 and 65535 in this field.");

// A phone book of three entries: the first keeps a user name and a password, the second a
// user name only, and the third's credentials cannot be read.
class TPhoneBook : public TNoDialUp {
 public:
  int RefreshEntries() override { return 0; }
  [[nodiscard]] const std::vector<std::string>& Entries() const override { return entries_; }
  bool EntryCredentials(int index, std::string& user, std::string& password) override {
    if (index == 0) {
      user = "pat";
      password = "dial-secret";
      return true;
    }
    if (index == 1) {
      user = "bob";
      password.clear();
      return true;
    }
    return false;
  }

 private:
  std::vector<std::string> entries_{"Office ISP", "Home ISP", "Backup"};
};

class DlgAccountTest : public ::testing::Test, protected test::TProgramEnvironment {
 protected:
  DlgAccountTest() : account(NewAccount()) {}

  // A POP3 account as `accounts add` makes it.
  static std::unique_ptr<TPOP3Account> NewAccount() {
    auto account = std::make_unique<TPOP3Account>();
    account->Description = "Home";
    account->Name = "Pat Example";
    account->Email = "pat@example.com";
    account->POP3Server = "pop.example.com";
    account->POP3UserName = "pat";
    account->Password = ScramblePassword("secret");
    account->SmtpInfo.SMTPServer = "smtp.example.com";
    account->DialUp = false;
    account->CheckTypes = 5;
    for (TEventParam& event : account->Events) event.SoundEnabled = true;
    account->POP3Security = scTls;
    account->POP3Port = 995;
    account->SmtpInfo.SMTPSecurity = scStartTls;
    account->SmtpInfo.SMTPPort = 587;
    return account;
  }

  std::unique_ptr<TAccountDlg> Dialog(TAccount& edited) {
    auto dialog = std::make_unique<TAccountDlg>(edited, dialogs);
    dialog->show();
    return dialog;
  }

  template <typename T>
  static T* Get(const QWidget& window, const char* name) {
    auto* widget = window.findChild<T*>(QString::fromLatin1(name));
    EXPECT_NE(widget, nullptr) << name;
    return widget;
  }
  static QLineEdit* Edit(const QWidget& window, const char* name) {
    return Get<QLineEdit>(window, name);
  }
  static QString ShownTab(const TAccountDlg& dialog) {
    return Get<QTabWidget>(dialog, "pcAccount")->currentWidget()->objectName();
  }
  static void Choose(QComboBox* box, int index) {
    box->setCurrentIndex(index);
    Q_EMIT box->activated(index);
  }

  // Clicks OK, which refuses: the text shown, the dialog staying open.
  static QString Refused(TAccountDlg& dialog) {
    QString shown;
    test::WhenModal(
        [&shown](QWidget* message) {
          shown = static_cast<TMessageDlg*>(message)->ShownText();
          static_cast<QDialog*>(message)->accept();
        },
        &dialog);
    test::Click(&dialog, QStringLiteral("btnOK"));
    EXPECT_TRUE(dialog.isVisible()) << shown.toStdString();
    return shown;
  }
  static void Ok(TAccountDlg& dialog) {
    test::Click(&dialog, QStringLiteral("btnOK"));
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    EXPECT_FALSE(dialog.isVisible());
  }

  TQtMessageDialogs dialogs;
  std::unique_ptr<TPOP3Account> account;
};

std::vector<QString> TabCaptions(const TAccountDlg& dialog) {
  const auto* tabs = dialog.findChild<QTabWidget*>(QStringLiteral("pcAccount"));
  std::vector<QString> captions;
  for (int i = 0; i < tabs->count(); ++i) captions.push_back(tabs->tabText(i));
  return captions;
}

TEST_F(DlgAccountTest, OpensOnGeneralWithTheTabsOfItsKindAndTheAccountsSettings) {
  account->POP3CertPin = kPin;
  account->SmtpInfo.SMTPCertPin =
      "fe:dc:ba:98:76:54:32:10:fe:dc:ba:98:76:54:32:10:"
      "fe:dc:ba:98:76:54:32:10:fe:dc:ba:98:76:54:32:10";
  account->SPA = true;
  account->Timeout = 90;
  const auto dialog = Dialog(*account);
  EXPECT_EQ(dialog->windowTitle(), QStringLiteral("Account Properties"));
  EXPECT_EQ(TabCaptions(*dialog), (std::vector<QString>{"General", "Servers", "Connection",
                                                        "Checking", "Events", "Advanced"}));
  EXPECT_EQ(ShownTab(*dialog), QStringLiteral("tsGeneral"));
  EXPECT_EQ(dialog->focusWidget(), Edit(*dialog, "edDescription"));
  const std::pair<const char*, const char*> edits[] = {{"edDescription", "Home"},
                                                       {"edName", "Pat Example"},
                                                       {"edEmail", "pat@example.com"},
                                                       {"edPOP3Server", "pop.example.com"},
                                                       {"edPOP3UserName", "pat"},
                                                       {"edPassword", "secret"},
                                                       {"edSMTPServer", "smtp.example.com"},
                                                       {"edPOP3Port", "995"},
                                                       {"edSMTPPort", "587"}};
  for (const auto& [name, text] : edits)
    EXPECT_EQ(Edit(*dialog, name)->text(), QString::fromLatin1(text)) << name;
  EXPECT_EQ(Get<QLabel>(*dialog, "lblAccountType")->text(), QStringLiteral("Internet (POP3)"));
  EXPECT_TRUE(Get<QCheckBox>(*dialog, "chkSPA")->isChecked());
  EXPECT_EQ(Get<QComboBox>(*dialog, "cbPOP3Security")->currentText(), QStringLiteral("TLS"));
  EXPECT_EQ(Get<QComboBox>(*dialog, "cbSMTPSecurity")->currentText(), QStringLiteral("STARTTLS"));
  // One form of fingerprint, whichever the store holds.
  EXPECT_EQ(Get<QLabel>(*dialog, "lblPOP3Pin")->text(), kPinShown);
  EXPECT_EQ(Get<QLabel>(*dialog, "lblSMTPPin")->text(),
            kPinShown.right(47) + "\n" + kPinShown.right(47));
  EXPECT_EQ(Get<QSlider>(*dialog, "tbTimeout")->value(), 90);
  EXPECT_EQ(Get<QLabel>(*dialog, "lblTimeout")->text().toStdString(), DurationText(90));

  // A kind without servers of its own has only the tabs every kind has.
  test::TScriptedAccount scripted;
  const auto other = Dialog(scripted);
  EXPECT_EQ(TabCaptions(*other),
            (std::vector<QString>{"General", "Connection", "Checking", "Events"}));
}

TEST_F(DlgAccountTest, HelpOpensTheTopicOfTheTabShowing) {
  const auto dialog = Dialog(*account);
  auto* help = Get<QPushButton>(*dialog, "btnHelp");
  EXPECT_FALSE(help->isEnabled());
  std::vector<int> topics;
  dialog->SetHelp([&topics](int topic) { topics.push_back(topic); });
  auto* tabs = Get<QTabWidget>(*dialog, "pcAccount");
  for (int i = 0; i < tabs->count(); ++i) {
    tabs->setCurrentIndex(i);
    test::Click(dialog.get(), QStringLiteral("btnHelp"));
  }
  EXPECT_EQ(topics, (std::vector<int>{1341, 1342, 1344, 1345, 1346, 1347}));
}

TEST_F(DlgAccountTest, OkRefusesTheFirstBlankFieldThenABadPortOnItsOwnTab) {
  const auto dialog = Dialog(*account);
  for (const char* name : {"edDescription", "edName", "edEmail", "edPOP3Server", "edPOP3UserName",
                           "edPassword", "edSMTPServer"})
    Edit(*dialog, name)->setText(QStringLiteral(" \t "));
  Edit(*dialog, "edPOP3Port")->setText(QStringLiteral("65536"));
  Edit(*dialog, "edSMTPPort")->setText(QStringLiteral("smtp"));
  const struct {
    const char* field;
    const char* tab;
    const QString& message;
    const char* mended;
  } steps[] = {
      {"edDescription", "tsGeneral", kBlank, "Office"},
      {"edName", "tsGeneral", kBlank, "Pat"},
      {"edEmail", "tsGeneral", kBlank, "pat@example.org"},
      {"edPOP3Server", "tsServers", kBlank, "pop.example.org"},
      {"edPOP3UserName", "tsServers", kBlank, "patq"},
      {"edPassword", "tsServers", kBlank, "pw"},
      {"edSMTPServer", "tsServers", kBlank, "smtp.example.org"},
      {"edPOP3Port", "tsAdvanced", kRange, "0"},
      {"edSMTPPort", "tsAdvanced", kRange, "65535"},
  };
  auto* tabs = Get<QTabWidget>(*dialog, "pcAccount");
  for (const auto& step : steps) {
    // From another tab: the refusal shows the field's own.
    tabs->setCurrentIndex(3);
    EXPECT_EQ(Refused(*dialog), step.message) << step.field;
    EXPECT_EQ(ShownTab(*dialog), QString::fromLatin1(step.tab)) << step.field;
    EXPECT_EQ(dialog->focusWidget(), Edit(*dialog, step.field)) << step.field;
    EXPECT_EQ(account->Description, "Home");
    Edit(*dialog, step.field)->setText(QString::fromLatin1(step.mended));
  }
  Ok(*dialog);
  EXPECT_EQ(account->Description, "Office");
  EXPECT_EQ(account->POP3Port, 0);
  EXPECT_EQ(account->SmtpInfo.SMTPPort, 65535);
}

TEST_F(DlgAccountTest, StoresTextsTrimmedAndThePasswordAsTyped) {
  const auto dialog = Dialog(*account);
  const std::pair<const char*, const char*> typed[] = {{"edDescription", "  Office "},
                                                       {"edName", " Pat Q. Example "},
                                                       {"edEmail", " patq@example.org"},
                                                       {"edPOP3Server", "mail.example.org  "},
                                                       {"edPOP3UserName", " patq "},
                                                       {"edPassword", " two words "},
                                                       {"edSMTPServer", " relay.example.org "},
                                                       {"edPOP3Port", " 1995 "}};
  for (const auto& [name, text] : typed) Edit(*dialog, name)->setText(QString::fromLatin1(text));
  Get<QSlider>(*dialog, "tbTimeout")->setValue(45);
  EXPECT_EQ(Get<QLabel>(*dialog, "lblTimeout")->text().toStdString(), DurationText(45));
  Get<QCheckBox>(*dialog, "chkSPA")->setChecked(true);
  Get<QCheckBox>(*dialog, "chkForceRun")->setChecked(true);
  Ok(*dialog);
  EXPECT_EQ(account->Description, "Office");
  EXPECT_EQ(account->Name, "Pat Q. Example");
  EXPECT_EQ(account->Email, "patq@example.org");
  EXPECT_EQ(account->POP3Server, "mail.example.org");
  EXPECT_EQ(account->POP3UserName, "patq");
  EXPECT_EQ(UnscramblePassword(account->Password), " two words ");
  EXPECT_EQ(account->SmtpInfo.SMTPServer, "relay.example.org");
  EXPECT_EQ(account->POP3Port, 1995);
  EXPECT_EQ(account->Timeout, 45);
  EXPECT_TRUE(account->SPA);
  EXPECT_FALSE(account->SmtpInfo.SMTPSPA);
  EXPECT_TRUE(account->ForceRun);
}

TEST_F(DlgAccountTest, CancelLeavesTheAccountAsItWas) {
  const auto dialog = Dialog(*account);
  Edit(*dialog, "edDescription")->setText(QStringLiteral("Office"));
  Get<QRadioButton>(*dialog, "rbManual")->click();
  Get<QCheckBox>(*dialog, "chkSound")->click();
  test::Click(dialog.get(), QStringLiteral("btnCancel"));
  EXPECT_EQ(dialog->result(), QDialog::Rejected);
  EXPECT_EQ(account->Description, "Home");
  EXPECT_EQ(account->IntervalType, itMinutes);
  EXPECT_TRUE(account->Events[evSpam].SoundEnabled);
}

TEST_F(DlgAccountTest, StoresTheScheduleByTheButtonsSlidersAndBoxes) {
  const struct {
    const char* what;
    bool dialUp;
    const char* button;
    int minutes;
    int hours;
    QTime daily;
    bool startup;
    bool connection;
    uint8_t intervalType;
    uint8_t checkTypes;
  } cases[] = {
      // The connection box was ticked once, but a direct account never keeps its bit.
      {"every 15 minutes, direct", false, "rbMinutes", 15, 2, QTime(12, 0), true, true, itMinutes,
       5},
      {"every 24 hours", false, "rbHours", 10, 24, QTime(12, 0), false, false, itHours, 4},
      {"manual with startup", false, "rbManual", 10, 2, QTime(12, 0), true, false, itManual, 1},
      {"daily at 08:30 on connection", true, "rbDaily", 59, 1, QTime(8, 30), false, true, itDaily,
       6},
      {"manual on connection and startup", true, "rbManual", 1, 5, QTime(23, 59), true, true,
       itManual, 3},
  };
  for (const auto& c : cases) {
    account = NewAccount();
    account->DialUp = c.dialUp;
    account->CheckTypes = 7;
    {
      const auto dialog = Dialog(*account);
      Get<QRadioButton>(*dialog, c.button)->click();
      Get<QSlider>(*dialog, "tbMinutes")->setValue(c.minutes);
      Get<QSlider>(*dialog, "tbHours")->setValue(c.hours);
      Get<QTimeEdit>(*dialog, "dtpDaily")->setTime(c.daily);
      Get<QCheckBox>(*dialog, "chkOnStartup")->setChecked(c.startup);
      Get<QCheckBox>(*dialog, "chkOnConnection")->setChecked(c.connection);
      Ok(*dialog);
    }
    EXPECT_EQ(account->IntervalType, c.intervalType) << c.what;
    EXPECT_EQ(account->CheckTypes, c.checkTypes) << c.what;
    EXPECT_EQ(account->MinutesInterval, MinutesSpan(c.minutes)) << c.what;
    EXPECT_EQ(account->HoursInterval, c.hours / 24.0) << c.what;
    EXPECT_EQ(account->DailyTime, (c.daily.hour() * 60 + c.daily.minute()) / 1440.0) << c.what;

    // Opened again, it shows what it stored.
    const auto dialog = Dialog(*account);
    EXPECT_TRUE(Get<QRadioButton>(*dialog, c.button)->isChecked()) << c.what;
    EXPECT_EQ(Get<QSlider>(*dialog, "tbMinutes")->value(), c.minutes) << c.what;
    EXPECT_EQ(Get<QLabel>(*dialog, "lblMinutes")->text(),
              QStringLiteral("%1 &minutes").arg(c.minutes))
        << c.what;
    EXPECT_EQ(Get<QSlider>(*dialog, "tbHours")->value(), c.hours) << c.what;
    EXPECT_EQ(Get<QLabel>(*dialog, "lblHours")->text(), QStringLiteral("%1 &hours").arg(c.hours))
        << c.what;
    EXPECT_EQ(Get<QTimeEdit>(*dialog, "dtpDaily")->time(), c.daily) << c.what;
    EXPECT_EQ(Get<QCheckBox>(*dialog, "chkOnStartup")->isChecked(), c.startup) << c.what;
    EXPECT_EQ(Get<QCheckBox>(*dialog, "chkOnConnection")->isChecked(), c.connection && c.dialUp)
        << c.what;
  }
}

// POP3 accounts may be checked every minute; a kind with a larger minimum (as web mail has)
// offers no less, and a stored interval below it is raised as the dialog opens.
TEST_F(DlgAccountTest, TheMinutesSliderStartsAtTheAccountsMinimum) {
  const struct {
    int minimum;
    int stored;
    int shown;
  } cases[] = {{1, 10, 10}, {1, 1, 1}, {15, 10, 15}, {15, 20, 20}};
  EXPECT_EQ(TPOP3Account().MinimumInterval, MinutesSpan(1));
  for (const auto& c : cases) {
    account->MinimumInterval = MinutesSpan(c.minimum);
    account->MinutesInterval = MinutesSpan(c.stored);
    const auto cancelled = Dialog(*account);
    auto* slider = Get<QSlider>(*cancelled, "tbMinutes");
    EXPECT_EQ(slider->minimum(), c.minimum) << c.stored;
    EXPECT_EQ(slider->maximum(), 59);
    EXPECT_EQ(slider->value(), c.shown) << c.stored;
    test::Click(cancelled.get(), QStringLiteral("btnCancel"));
    EXPECT_EQ(account->MinutesInterval, MinutesSpan(c.shown)) << c.stored;

    account->MinutesInterval = MinutesSpan(c.stored);
    const auto dialog = Dialog(*account);
    Ok(*dialog);
    EXPECT_EQ(account->MinutesInterval, MinutesSpan(c.shown)) << c.stored;
  }
}

TEST_F(DlgAccountTest, TheEventBoxesCountTheEventsAndSwitchAllFour) {
  const struct {
    std::array<bool, 4> on;
    Qt::CheckState shown;
    bool afterClick;
  } cases[] = {
      {{false, false, false, false}, Qt::Unchecked, true},
      {{true, false, false, false}, Qt::PartiallyChecked, true},
      {{true, false, true, false}, Qt::PartiallyChecked, true},
      {{false, true, true, true}, Qt::PartiallyChecked, true},
      {{true, true, true, true}, Qt::Checked, false},
  };
  for (const auto& c : cases) {
    for (size_t i = 0; i < 4; ++i) {
      account->Events[i].SoundEnabled = c.on[i];
      account->Events[i].AppEnabled = c.on[3 - i];
      account->Events[i].Application = "/usr/bin/true";
    }
    const auto dialog = Dialog(*account);
    for (const char* name : {"chkSound", "chkApp"}) {
      auto* box = Get<QCheckBox>(*dialog, name);
      EXPECT_EQ(box->checkState(), c.shown) << name;
      // Clicks only ever tick or clear the box.
      for (const bool on : {c.afterClick, !c.afterClick, c.afterClick}) {
        box->click();
        EXPECT_EQ(box->checkState(), on ? Qt::Checked : Qt::Unchecked) << name;
      }
    }
    for (const TEventParam& event : dialog->EventsCopy()) {
      EXPECT_EQ(event.SoundEnabled, c.afterClick);
      EXPECT_EQ(event.AppEnabled, c.afterClick);
    }
    Ok(*dialog);
    for (const TEventParam& event : account->Events) EXPECT_EQ(event.SoundEnabled, c.afterClick);
  }
}

TEST_F(DlgAccountTest, TickingTheProgramBoxStartsTheMailProgramForEventsWithoutAProgram) {
  account->Events[evSpam] = {false, "", true, false, "/usr/bin/notify-send Spam"};
  account->Events[evFriendlyMail].Application = "/opt/chime";
  const auto dialog = Dialog(*account);
  auto* box = Get<QCheckBox>(*dialog, "chkApp");
  EXPECT_EQ(box->checkState(), Qt::PartiallyChecked);
  box->click();
  const TEmailEvents& events = dialog->EventsCopy();
  for (const TEventParam& event : events) EXPECT_TRUE(event.AppEnabled);
  EXPECT_TRUE(events[evNewMail].UseEmailApp);
  EXPECT_TRUE(events[evPossibleSpam].UseEmailApp);
  EXPECT_FALSE(events[evSpam].UseEmailApp);
  EXPECT_FALSE(events[evFriendlyMail].UseEmailApp);
  Ok(*dialog);
  EXPECT_TRUE(account->Events[evNewMail].UseEmailApp);
  EXPECT_FALSE(account->Events[evFriendlyMail].UseEmailApp);
  EXPECT_EQ(account->Events[evSpam].Application, "/usr/bin/notify-send Spam");
}

TEST_F(DlgAccountTest, TheEventSettingsWorkOnTheDialogsCopyAndUpdateTheBoxes) {
  const auto dialog = Dialog(*account);
  auto* box = Get<QCheckBox>(*dialog, "chkSound");
  EXPECT_EQ(box->checkState(), Qt::Checked);
  for (const bool ok : {false, true}) {
    test::WhenModal(
        [ok](QWidget* events) {
          EXPECT_EQ(events->windowTitle(), QStringLiteral("Sound and Program Settings"));
          events->findChild<QCheckBox*>(QStringLiteral("chkSoundOnSpam"))->click();
          test::Click(events, ok ? QStringLiteral("btnOK") : QStringLiteral("btnCancel"));
        },
        dialog.get());
    test::Click(dialog.get(), QStringLiteral("btnEvents"));
    EXPECT_EQ(box->checkState(), ok ? Qt::PartiallyChecked : Qt::Checked);
    EXPECT_EQ(dialog->EventsCopy()[evSpam].SoundEnabled, !ok);
  }
  // Nothing reaches the account before the properties dialog's OK.
  EXPECT_TRUE(account->Events[evSpam].SoundEnabled);
  Ok(*dialog);
  EXPECT_FALSE(account->Events[evSpam].SoundEnabled);
  EXPECT_TRUE(account->Events[evNewMail].SoundEnabled);
}

TEST_F(DlgAccountTest, WithoutDialUpTheConnectionListIsEmptyAndTheAccountDirect) {
  account->DialUp = true;
  account->ForceDial = true;
  account->Connection = "Office ISP";
  account->RasUserName = "pat";
  const auto dialog = Dialog(*account);
  EXPECT_EQ(Get<QComboBox>(*dialog, "cbConnection")->count(), 0);
  Get<QRadioButton>(*dialog, "rbDirect")->click();
  Ok(*dialog);
  EXPECT_FALSE(account->DialUp);
  EXPECT_EQ(account->Connection, "");
  EXPECT_EQ(account->RasUserName, "");
  EXPECT_EQ(account->ConnectionName(), "Direct connection");
}

class DlgAccountDialUpTest : public DlgAccountTest {
 protected:
  DlgAccountDialUpTest() { TDialUp::Install(&phoneBook); }
  ~DlgAccountDialUpTest() override { TDialUp::Install(nullptr); }
  TPhoneBook phoneBook;
};

TEST_F(DlgAccountDialUpTest, TheTypeAndTheDialUpBoxEnableWhatDependsOnThem) {
  const char* const dialing[] = {"cbConnection", "chkStayConnected", "edRasUserName",
                                 "edRasPassword"};
  const auto expect = [&dialing](const TAccountDlg& dialog, bool dialUp, bool dials,
                                 const char* what) {
    EXPECT_EQ(Get<QCheckBox>(dialog, "chkForceDial")->isEnabled(), dialUp) << what;
    EXPECT_EQ(Get<QCheckBox>(dialog, "chkOnConnection")->isEnabled(), dialUp) << what;
    for (const char* name : dialing)
      EXPECT_EQ(Get<QWidget>(dialog, name)->isEnabled(), dials) << what << " " << name;
  };
  for (const bool dialUp : {false, true})
    for (const bool forceDial : {false, true}) {
      account->DialUp = dialUp;
      account->ForceDial = forceDial;
      const auto dialog = Dialog(*account);
      EXPECT_EQ(Get<QRadioButton>(*dialog, "rbDialUp")->isChecked(), dialUp);
      EXPECT_EQ(Get<QCheckBox>(*dialog, "chkForceDial")->isChecked(), forceDial);
      expect(*dialog, dialUp, dialUp && forceDial, "opened");
    }
  account->DialUp = true;
  account->ForceDial = true;
  const auto dialog = Dialog(*account);
  Get<QRadioButton>(*dialog, "rbDirect")->click();
  expect(*dialog, false, false, "direct chosen");
  Get<QRadioButton>(*dialog, "rbDialUp")->click();
  expect(*dialog, true, true, "dial-up chosen");
  Get<QCheckBox>(*dialog, "chkForceDial")->click();
  expect(*dialog, true, false, "dial-up box cleared");
}

TEST_F(DlgAccountDialUpTest, TheEntryIsTheAccountsConnectionAndShowsItsStoredCredentials) {
  const struct {
    std::string connection;
    int selected;
  } entries[] = {{"Home ISP", 1}, {"Backup", 2}, {"home isp", 0}, {"Elsewhere", 0}, {"", 0}};
  account->DialUp = true;
  account->ForceDial = true;
  for (const auto& e : entries) {
    account->Connection = e.connection;
    const auto dialog = Dialog(*account);
    EXPECT_EQ(Get<QComboBox>(*dialog, "cbConnection")->currentIndex(), e.selected) << e.connection;
  }
  // A direct account names no entry: the first is shown.
  account->DialUp = false;
  account->Connection = "Backup";
  EXPECT_EQ(Get<QComboBox>(*Dialog(*account), "cbConnection")->currentIndex(), 0);

  account->DialUp = true;
  account->Connection = "Home ISP";
  account->RasUserName = "old";
  account->RasPassword = "old-secret";
  const auto dialog = Dialog(*account);
  auto* entry = Get<QComboBox>(*dialog, "cbConnection");
  auto* user = Edit(*dialog, "edRasUserName");
  auto* password = Edit(*dialog, "edRasPassword");
  // Read for the entry, not taken from the account: a user name alone keeps the password shown.
  EXPECT_EQ(user->text(), QStringLiteral("bob"));
  EXPECT_EQ(password->text(), QString());
  const struct {
    int index;
    const char* user;
    const char* password;
  } choices[] = {
      {0, "pat", "dial-secret"},
      {1, "bob", "dial-secret"},
      // Nothing read: both empty.
      {2, "", ""},
      {0, "pat", "dial-secret"},
  };
  for (const auto& c : choices) {
    Choose(entry, c.index);
    EXPECT_EQ(user->text(), QString::fromLatin1(c.user)) << c.index;
    EXPECT_EQ(password->text(), QString::fromLatin1(c.password)) << c.index;
  }
  Choose(entry, 1);
  user->setText(QStringLiteral(" carol "));
  Get<QCheckBox>(*dialog, "chkStayConnected")->setChecked(false);
  Ok(*dialog);
  EXPECT_TRUE(account->DialUp);
  EXPECT_TRUE(account->ForceDial);
  EXPECT_EQ(account->Connection, "Home ISP");
  EXPECT_EQ(account->ConnectionName(), "Home ISP");
  EXPECT_EQ(account->RasUserName, " carol ");
  EXPECT_EQ(account->RasPassword, "dial-secret");
  EXPECT_FALSE(account->StayConnected);
}

TEST_F(DlgAccountTest, ChoosingASecurityMovesAPortOnTheOldDefaultToTheNewOne) {
  const struct {
    bool pop3;
    int32_t security;
    int32_t port;
    int32_t chosen;
    const char* shown;
  } cases[] = {
      {true, scTls, 995, scNone, "110"},      {true, scNone, 110, scStartTls, "110"},
      {true, scStartTls, 110, scTls, "995"},  {true, scTls, 1995, scNone, "1995"},
      {false, scStartTls, 587, scTls, "465"}, {false, scTls, 465, scNone, "25"},
      {false, scNone, 25, scStartTls, "587"}, {false, scNone, 2525, scTls, "2525"},
  };
  for (const auto& c : cases) {
    account = NewAccount();
    (c.pop3 ? account->POP3Security : account->SmtpInfo.SMTPSecurity) = c.security;
    (c.pop3 ? account->POP3Port : account->SmtpInfo.SMTPPort) = c.port;
    const auto dialog = Dialog(*account);
    Choose(Get<QComboBox>(*dialog, c.pop3 ? "cbPOP3Security" : "cbSMTPSecurity"), c.chosen);
    EXPECT_EQ(Edit(*dialog, c.pop3 ? "edPOP3Port" : "edSMTPPort")->text(),
              QString::fromLatin1(c.shown))
        << c.pop3 << " " << c.port;
    Ok(*dialog);
    EXPECT_EQ(c.pop3 ? account->POP3Security : account->SmtpInfo.SMTPSecurity, c.chosen);
    EXPECT_EQ(c.pop3 ? account->POP3Port : account->SmtpInfo.SMTPPort, std::stoi(c.shown));
  }
}

TEST_F(DlgAccountTest, APinnedCertificateIsForgottenOnlyWithOk) {
  account->POP3CertPin = kPin;
  account->SmtpInfo.SMTPCertPin = kPin;
  for (const bool ok : {false, true}) {
    const auto dialog = Dialog(*account);
    auto* forget = Get<QPushButton>(*dialog, "btnForgetPOP3Pin");
    EXPECT_TRUE(forget->isEnabled());
    Get<QTabWidget>(*dialog, "pcAccount")->setCurrentIndex(5);
    test::Click(dialog.get(), QStringLiteral("btnForgetPOP3Pin"));
    EXPECT_EQ(Get<QLabel>(*dialog, "lblPOP3Pin")->text(), QStringLiteral("None"));
    EXPECT_FALSE(forget->isEnabled());
    EXPECT_EQ(Get<QLabel>(*dialog, "lblSMTPPin")->text(), kPinShown);
    test::Click(dialog.get(), ok ? QStringLiteral("btnOK") : QStringLiteral("btnCancel"));
    EXPECT_EQ(account->POP3CertPin, ok ? "" : kPin);
    EXPECT_EQ(account->SmtpInfo.SMTPCertPin, kPin);
  }
  const auto dialog = Dialog(*account);
  EXPECT_EQ(Get<QLabel>(*dialog, "lblPOP3Pin")->text(), QStringLiteral("None"));
  EXPECT_FALSE(Get<QPushButton>(*dialog, "btnForgetPOP3Pin")->isEnabled());
}

TEST_F(DlgAccountTest, TheOutgoingLoginIsWrittenByItsOwnOkEvenWhenThePropertiesAreCancelled) {
  const auto dialog = Dialog(*account);
  Get<QTabWidget>(*dialog, "pcAccount")->setCurrentIndex(1);
  test::WhenModal(
      [](QWidget* login) {
        EXPECT_EQ(login->windowTitle(), QStringLiteral("Advanced options"));
        login->findChild<QCheckBox*>(QStringLiteral("chkSMTPAuth"))->click();
        login->findChild<QLineEdit*>(QStringLiteral("edSMTPAuthUser"))
            ->setText(QStringLiteral(" pat "));
        login->findChild<QLineEdit*>(QStringLiteral("edSMTPAuthPass"))
            ->setText(QStringLiteral(" smtp-secret "));
        test::Click(login, QStringLiteral("btnOK"));
      },
      dialog.get());
  test::Click(dialog.get(), QStringLiteral("btnSMTPAdvanced"));
  test::Click(dialog.get(), QStringLiteral("btnCancel"));
  EXPECT_TRUE(account->SmtpInfo.SMTPAuth);
  EXPECT_EQ(account->SmtpInfo.SMTPAuthUser, "pat");
  EXPECT_EQ(account->SmtpInfo.SMTPAuthPass, "smtp-secret");
}

// Every value of the accounts key and below it, by path, with its kind.
std::map<std::string, std::string> StoredAccounts() {
  std::map<std::string, std::string> values;
  TRegistry registry;
  std::vector<std::string> paths = {TAccount::kAccountsKey};
  while (!paths.empty()) {
    const std::string path = paths.back();
    paths.pop_back();
    EXPECT_TRUE(registry.OpenKeyReadOnly(path)) << path;
    for (const std::string& name : registry.GetValueNames()) {
      std::string value;
      switch (registry.GetDataType(name)) {
        case TRegDataType::Integer:
          value = "int " + std::to_string(registry.ReadInteger(name));
          break;
        case TRegDataType::String: value = "text " + registry.ReadString(name); break;
        default: value = "binary " + registry.ReadBinary(name); break;
      }
      values[path + "\\" + name] = value;
    }
    for (const std::string& key : registry.GetKeyNames()) paths.push_back(path + "\\" + key);
  }
  return values;
}

// `accounts set` and the dialog, given the same changes to the same account, store the same.
TEST_F(DlgAccountTest, StoresWhatTheCommandLineStoresForTheSameChanges) {
  const std::string home = dir.Path();
  const test::TRunResult added = test::RunTarnwellIn(home,
                                                     {"accounts",
                                                      "add",
                                                      "pop3",
                                                      "--description",
                                                      "Home",
                                                      "--name",
                                                      "Pat Example",
                                                      "--email",
                                                      "pat@example.com",
                                                      "--pop3",
                                                      "pop.example.com",
                                                      "--user",
                                                      "pat",
                                                      "--smtp",
                                                      "smtp.example.com",
                                                      "--pin-pop3",
                                                      kPin,
                                                      "--pin-smtp",
                                                      kPin,
                                                      "--password-stdin"},
                                                     "secret\n");
  ASSERT_EQ(added.status, 0) << added.err;
  // The store as `accounts add` left it, for the dialog's turn.
  TRegistryStore::Install(nullptr);
  store.reset();
  std::filesystem::copy_file(dir / "Registry.db", dir / "Registry.added");

  const test::TRunResult set = test::RunTarnwellIn(home,
                                                   {"accounts",
                                                    "set",
                                                    "Home",
                                                    "--description",
                                                    "Office",
                                                    "--name",
                                                    "Pat Q. Example",
                                                    "--email",
                                                    "patq@example.org",
                                                    "--pop3",
                                                    "mail.example.org:1995",
                                                    "--pop3-security",
                                                    "starttls",
                                                    "--user",
                                                    "patq",
                                                    "--smtp",
                                                    "relay.example.org",
                                                    "--smtp-security",
                                                    "tls",
                                                    "--smtp-auth",
                                                    "--spa",
                                                    "--pin-pop3",
                                                    "none",
                                                    "--timeout",
                                                    "120",
                                                    "--interval",
                                                    "24h",
                                                    "--password-stdin"},
                                                   "n3w-pass\n");
  ASSERT_EQ(set.status, 0) << set.err;
  store = std::make_unique<TRegistryStore>(dir / "Registry.db");
  TRegistryStore::Install(store.get());
  const std::map<std::string, std::string> byCommand = StoredAccounts();
  TRegistryStore::Install(nullptr);
  store.reset();

  std::filesystem::copy_file(dir / "Registry.added", dir / "Registry.db",
                             std::filesystem::copy_options::overwrite_existing);
  store = std::make_unique<TRegistryStore>(dir / "Registry.db");
  TRegistryStore::Install(store.get());
  RegisterPOP3Account();
  TAccountList list;
  list.LoadAll();
  ASSERT_EQ(list.Count(), 1);
  {
    const auto dialog = Dialog(*list.Items(0));
    const std::pair<const char*, const char*> typed[] = {{"edDescription", "Office "},
                                                         {"edName", "Pat Q. Example"},
                                                         {"edEmail", "patq@example.org"},
                                                         {"edPOP3Server", "mail.example.org"},
                                                         {"edPOP3UserName", "patq"},
                                                         {"edPassword", "n3w-pass"},
                                                         {"edSMTPServer", " relay.example.org"}};
    for (const auto& [name, text] : typed) Edit(*dialog, name)->setText(QString::fromLatin1(text));
    Get<QCheckBox>(*dialog, "chkSPA")->setChecked(true);
    Choose(Get<QComboBox>(*dialog, "cbPOP3Security"), scStartTls);
    Edit(*dialog, "edPOP3Port")->setText(QStringLiteral("1995"));
    Choose(Get<QComboBox>(*dialog, "cbSMTPSecurity"), scTls);
    Get<QTabWidget>(*dialog, "pcAccount")->setCurrentIndex(5);
    test::Click(dialog.get(), QStringLiteral("btnForgetPOP3Pin"));
    Get<QSlider>(*dialog, "tbTimeout")->setValue(120);
    Get<QRadioButton>(*dialog, "rbHours")->click();
    Get<QSlider>(*dialog, "tbHours")->setValue(24);
    test::WhenModal(
        [](QWidget* login) {
          login->findChild<QCheckBox*>(QStringLiteral("chkSMTPAuth"))->click();
          login->findChild<QLineEdit*>(QStringLiteral("edSMTPAuthUser"))
              ->setText(QStringLiteral("patq"));
          login->findChild<QLineEdit*>(QStringLiteral("edSMTPAuthPass"))
              ->setText(QStringLiteral("n3w-pass"));
          login->findChild<QCheckBox*>(QStringLiteral("chkSMTPSPA"))->setChecked(true);
          test::Click(login, QStringLiteral("btnOK"));
        },
        dialog.get());
    Get<QTabWidget>(*dialog, "pcAccount")->setCurrentIndex(1);
    test::Click(dialog.get(), QStringLiteral("btnSMTPAdvanced"));
    Ok(*dialog);
  }
  list.Update(0);
  const std::map<std::string, std::string> byDialog = StoredAccounts();

  EXPECT_EQ(byDialog, byCommand);
  // The comparison covers the changed settings, not only the ones both left alone.
  const std::string key = std::string(TAccount::kAccountsKey) + "\\" + list.Items(0)->KeyName();
  const std::pair<const char*, std::string> changed[] = {
      {"Description", "text Office"},  {"POP3Port", "int 1995"},  {"SMTPPort", "int 465"},
      {"POP3Security", "int 2"},       {"SMTPSecurity", "int 1"}, {"POP3CertPin", "text "},
      {"SMTPCertPin", "text " + kPin}, {"Timeout", "int 120"},    {"IntervalType", "int 1"},
      {"SMTPAuthUser", "text patq"},   {"SMTPSPA", "int 1"}};
  for (const auto& [name, value] : changed)
    EXPECT_EQ(byDialog.at(key + "\\" + name), value) << name;
}

}  // namespace
}  // namespace tarnwell
