// The Accounts page with the accounts a household keeps, alone and in the main window, and the
// check-progress dialog during a check of demo POP3 servers and after one that failed.
#include <unistd.h>

#include <QApplication>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTreeView>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>

#include "accounts/AccountKinds.h"
#include "accounts/AccountList.h"
#include "accounts/ui/AccountListModel.h"
#include "accounts/ui/DlgCheckMail.h"
#include "accounts/ui/PgAccounts.h"
#include "demo/DemoPop3Server.h"
#include "filtering/DataFiles.h"
#include "filtering/FilterList.h"
#include "mainwindow/ui/FmMain.h"
#include "message/DomainLists.h"
#include "message/SvcString.h"
#include "platform/Registry.h"
#include "platform/ui/QtEventLoop.h"
#include "shell/ProgramFolders.h"
#include "shell/Settings.h"
#include "shell/Synchronization.h"
#include "shell/ui/DlgMessage.h"
#include "tests/ui/screenshots/Shots.h"
#include "transport/POP3Account.h"

namespace tarnwell {
namespace {

const char* const kPassword = "demo-password";

TPOP3Account& AddAccount(TAccountList& accounts, const std::string& description,
                         const std::string& email, const std::string& server, int port,
                         const std::string& password = kPassword) {
  auto account = std::make_unique<TPOP3Account>();
  account->Description = description;
  account->Name = "Alex Example";
  account->Email = email;
  account->DialUp = false;
  account->POP3Server = server;
  account->POP3Port = port;
  account->POP3UserName = "alex";
  account->Password = ScramblePassword(password);
  accounts.Add(std::move(account));
  return static_cast<TPOP3Account&>(*accounts.Items(accounts.Count() - 1));
}

void ShootPage(TAccountList& accounts, TFilterList& filters) {
  TPOP3Account& work = AddAccount(accounts, "Work", "alex.example@office.example.com",
                                  "pop.office.example.com", 995);
  work.DialUp = true;
  work.Connection = "Office ISDN";
  AddAccount(accounts, "Family", "the.examples@family.example.org", "mail.family.example.org", 110);
  AddAccount(accounts, "Old university address (forwarded to Home)",
             "a.example@students.uni.example.edu", "pop3.uni.example.edu", 110)
      .Active = false;
  AddAccount(accounts, "Shop orders", "orders@riverside-crafts.example.com",
             "pop.riverside-crafts.example.com", 995);

  TAccountsPg page(accounts);
  page.SetNewAccountWizard([] { return nullptr; });
  page.SetEditAccount([](TAccount&) { return false; });
  page.resize(640, 400);
  page.show();
  page.SetShowing(true);
  page.SelectIndex(1);
  shots::Shoot(page, "accounts-page");
  page.resize(430, 280);
  shots::Shoot(page, "accounts-page-small");

  TAccountList none;
  TAccountsPg empty(none);
  empty.SetNewAccountWizard([] { return nullptr; });
  empty.resize(640, 400);
  shots::Shoot(empty, "accounts-page-empty");

  // In the main window, as the Accounts button shows it.
  TSynchronization gate;
  TQtMessageDialogs dialogs;
  TMainWindowLinks links;
  links.Accounts = &accounts;
  links.Filters = &filters;
  links.Gate = &gate;
  links.Dialogs = &dialogs;
  links.ToggleSuspend = [&accounts] { accounts.Suspended = !accounts.Suspended; };
  TFmMain window(links, nullptr,
                 [&accounts](int index, QWidget* parent) -> std::unique_ptr<TWindowPage> {
                   if (index != piAccounts) return nullptr;
                   auto made = std::make_unique<TAccountsPg>(accounts, parent);
                   made->SetNewAccountWizard([] { return nullptr; });
                   made->SetEditAccount([](TAccount&) { return false; });
                   return made;
                 });
  window.resize(900, 560);
  window.show();
  window.SelectPage(piAccounts);
  shots::Shoot(window, "main-window-accounts");
  accounts.Suspended = false;
}

// Home and Shop check against demo servers; Work's password is wrong.
void ShootCheckProgress(TFilterList& filters) {
  TQtEventLoop loop;
  TEventLoop::Install(&loop);
  {
    TDemoPop3Server home("alex", kPassword);
    TDemoPop3Server shop("alex", kPassword);
    const char* const subjects[] = {"Lunch on Saturday?",
                                    "Your order #4711 has shipped",
                                    "Minutes of Tuesday's meeting",
                                    "Garden club: spring walk",
                                    "Re: the photos",
                                    "Invoice 2025-031"};
    for (const char* subject : subjects) {
      const std::string text = std::string("From: Ann Baker <ann@friends.example.org>\n") +
                               "To: Alex Example <alex@example.com>\nSubject: " + subject +
                               "\nDate: Mon, 10 Mar 2025 09:15:00 +0000\n\nHello.\n";
      home.AddMessage(text);
      shop.AddMessage(text);
    }
    TAccountList accounts;
    accounts.Init(&filters);
    AddAccount(accounts, "Home", "alex@example.com", "127.0.0.1", home.Port());
    AddAccount(accounts, "Work", "alex.example@office.example.com", "127.0.0.1", home.Port(),
               "an old password");
    AddAccount(accounts, "Shop orders", "orders@riverside-crafts.example.com", "127.0.0.1",
               shop.Port());

    TCheckMailDlg dialog;
    dialog.Create(accounts);
    accounts.OnCheckStart = [&](TAccountList& list) {
      dialog.PrepareForCheck(list);
      dialog.Show();
    };
    accounts.OnCheckFinished = [&](TAccountList& list) { dialog.FinishCheck(list); };
    // Halfway through filtering the last account's messages.
    bool shot = false;
    accounts.OnProgress = [&, inner = accounts.OnProgress](TAccount& account) {
      inner(account);
      const auto* bar = dialog.findChild<QProgressBar*>(QStringLiteral("pbProgress"));
      if (shot || account.Description != "Shop orders" || bar->value() < 3 ||
          dialog.findChild<QLabel*>(QStringLiteral("lblProgress"))->text() !=
              QStringLiteral("Filtering messages..."))
        return;
      shot = true;
      QApplication::processEvents();
      shots::Save(dialog.grab().toImage(), "check-progress");
    };
    accounts.CheckSelected({}, TriggerBit(ctOnDemand));
    if (!shot) {
      std::fputs("screenshots: the check never reached its filtering step\n", stderr);
      std::exit(1);
    }
    shots::Shoot(dialog, "check-progress-error");
    dialog.ErrorsClick();
    shots::Shoot(dialog, "check-progress-error-details");
  }
  TEventLoop::Install(nullptr);
}

void ShootAccounts() {
  std::string home = (std::filesystem::temp_directory_path() / "tarnwell-shots-XXXXXX").string();
  if (!::mkdtemp(home.data())) return;
  home += "/";
  TProgramFolders::SetProgramFolder(home);
  InstallDataFiles();
  LoadDomainLists(home);
  {
    TRegistryStore store(home + "Registry.db");
    TRegistryStore::Install(&store);
    TSettings settings(&store);
    settings.EnableSounds = false;
    InstallSettings(&settings);
    if (!IsAccountKindRegistered(akPOP3)) RegisterPOP3Account();
    TFilterList filters(home + "Filters.dat");
    filters.Load(true);
    {
      TAccountList accounts;
      accounts.Init(&filters);
      AddAccount(accounts, "Home", "alex@example.com", "pop.example.com", 995);
      ShootPage(accounts, filters);
      while (accounts.Count() > 0) accounts.Remove(0);
    }
    ShootCheckProgress(filters);
    InstallSettings(nullptr);
    TRegistryStore::Install(nullptr);
  }
  std::filesystem::remove_all(home);
}

const shots::TShotSet kSet("accounts", &ShootAccounts);

}  // namespace
}  // namespace tarnwell
