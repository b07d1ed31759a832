// The account properties dialog on each of its tabs, the sound and program settings on both of
// theirs, and the outgoing-server login, for an account of the kind people have.
#include <QComboBox>
#include <QTabWidget>
#include <memory>
#include <string>
#include <vector>

#include "accounts/AccountFields.h"
#include "accounts/ui/DlgAccount.h"
#include "accounts/ui/DlgAccountEvents.h"
#include "accounts/ui/DlgAuthSMTP.h"
#include "message/SvcString.h"
#include "platform/DialUp.h"
#include "shell/ui/DlgMessage.h"
#include "tests/ui/screenshots/Shots.h"
#include "transport/POP3Account.h"
#include "transport/Security.h"

namespace tarnwell {
namespace {

// The peers a laptop with a modem and a mobile stick would have.
class TShotPhoneBook : public TNoDialUp {
 public:
  int RefreshEntries() override { return 0; }
  [[nodiscard]] const std::vector<std::string>& Entries() const override { return entries_; }
  bool EntryCredentials(int index, std::string& user, std::string& password) override {
    if (index != 0) return false;
    user = "alex.m";
    password = "dial-password";
    return true;
  }

 private:
  std::vector<std::string> entries_{"riverside-dsl", "mobile-stick", "provider"};
};

std::unique_ptr<TPOP3Account> ShotAccount() {
  auto account = std::make_unique<TPOP3Account>();
  account->Description = "Home mail";
  account->Name = "Alex Morgan";
  account->Email = "alex.morgan@riverside.example.net";
  account->POP3Server = "pop.riverside.example.net";
  account->POP3UserName = "alex.morgan";
  account->Password = ScramblePassword("correct horse");
  account->SmtpInfo.SMTPServer = "smtp.riverside.example.net";
  account->SmtpInfo.SMTPAuth = true;
  account->SmtpInfo.SMTPAuthUser = "alex.morgan";
  account->SmtpInfo.SMTPAuthPass = "correct horse";
  account->POP3Security = scTls;
  account->POP3Port = 995;
  account->POP3CertPin =
      "3A:7F:19:C4:58:E2:0B:96:D1:4E:A8:63:F0:2C:B7:85:19:DE:44:7A:C3:0F:92:6B:E8:51:AD:37:"
      "C6:04:F9:8B";
  account->SmtpInfo.SMTPSecurity = scStartTls;
  account->SmtpInfo.SMTPPort = 587;
  account->Timeout = 90;
  account->DialUp = false;
  account->CheckTypes = 5;
  account->MinutesInterval = MinutesSpan(15);
  const char* const sounds[] = {"New mail 1.wav", "Possible spam 1.wav", "Spam 1.wav",
                                "Friend 1.wav"};
  for (size_t i = 0; i < account->Events.size(); ++i) {
    account->Events[i].Sound = std::string("/home/alex/.local/share/tarnwell/Sounds/") + sounds[i];
    account->Events[i].SoundEnabled = i != evNewMail && i != evPossibleSpam;
  }
  account->Events[evFriendlyMail].AppEnabled = true;
  account->Events[evFriendlyMail].UseEmailApp = true;
  account->Events[evSpam].AppEnabled = true;
  account->Events[evSpam].Application = "/usr/bin/notify-send \"Spam deleted\"";
  return account;
}

void ShootAccountDialogs() {
  TQtMessageDialogs dialogs;
  const auto account = ShotAccount();
  {
    TAccountDlg dialog(*account, dialogs);
    dialog.SetHelp([](int) {});
    auto* tabs = dialog.findChild<QTabWidget*>(QStringLiteral("pcAccount"));
    for (int i = 0; i < tabs->count(); ++i) {
      tabs->setCurrentIndex(i);
      shots::Shoot(dialog,
                   "account-" + tabs->currentWidget()->objectName().mid(2).toLower().toStdString());
    }
  }

  // A dial-up account on a machine with pppd peers.
  TShotPhoneBook phoneBook;
  TDialUp::Install(&phoneBook);
  account->DialUp = true;
  account->ForceDial = true;
  account->Connection = "riverside-dsl";
  account->CheckTypes = 7;
  account->IntervalType = itDaily;
  account->DailyTime = MinutesSpan(7 * 60 + 30);
  {
    TAccountDlg dialog(*account, dialogs);
    dialog.SetHelp([](int) {});
    auto* tabs = dialog.findChild<QTabWidget*>(QStringLiteral("pcAccount"));
    tabs->setCurrentWidget(dialog.findChild<QWidget*>(QStringLiteral("tsConnection")));
    shots::Shoot(dialog, "account-connection-dial-up");
    tabs->setCurrentWidget(dialog.findChild<QWidget*>(QStringLiteral("tsChecking")));
    shots::Shoot(dialog, "account-checking-daily");
  }
  TDialUp::Install(nullptr);

  TAccountEventsDlg events(account->Events, dialogs);
  events.SetHelp([] {});
  auto* tabs = events.findChild<QTabWidget*>(QStringLiteral("pcEvents"));
  shots::Shoot(events, "account-events-sounds");
  tabs->setCurrentIndex(1);
  shots::Shoot(events, "account-events-programs");

  TAuthSTMPDlg login(account->SmtpInfo);
  shots::Shoot(login, "account-smtp-login");
  TSMTPInfo none;
  TAuthSTMPDlg noLogin(none);
  shots::Shoot(noLogin, "account-smtp-login-off");
}

const shots::TShotSet kSet("account-dialogs", &ShootAccountDialogs);

}  // namespace
}  // namespace tarnwell
