// The New Filter Wizard's pages on a message of the demo's mailbox.
#include <stdlib.h>

#include <QCheckBox>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <filesystem>

#include "filtering/DataFiles.h"
#include "filtering/FilterList.h"
#include "filtering/ui/FilterWizard.h"
#include "message/DomainLists.h"
#include "message/Emails.h"
#include "message/MessageText.h"
#include "platform/Registry.h"
#include "shell/ProgramFolders.h"
#include "shell/Settings.h"
#include "tests/ui/screenshots/Shots.h"

namespace tarnwell {
namespace {

// The demo's spam from a shop in Tokelau, as the check kept it.
const char* const kWatchStore =
    "Return-Path: <sales@cheap-watches.tk>\n"
    "Received: from mail.cheap-watches.tk (mail.cheap-watches.tk [198.51.100.7])\n"
    "\tby mx.example.com with SMTP; Mon, 10 Mar 2025 09:11:00 +0000\n"
    "Received: from [10.0.0.12] (helo=shop.cheap-watches.tk)\n"
    "\tby mail.cheap-watches.tk with esmtp; Mon, 10 Mar 2025 09:10:58 +0000\n"
    "From: Watch Store <sales@cheap-watches.tk>\n"
    "Reply-To: Orders <orders@replica-orders.example.net>\n"
    "To: Alex Example <alex@example.com>\n"
    "Subject: Luxury watches at 90% off - this week only\n"
    "Date: Mon, 10 Mar 2025 09:11:00 +0000\n"
    "Message-Id: <demo.11@example.net>\n"
    "MIME-Version: 1.0\n"
    "Content-Type: text/plain; charset=UTF-8\n"
    "X-Mailer: MassMailer Pro 5.0\n"
    "\n"
    "Dear customer,\n"
    "\n"
    "Best replicas of the great Swiss brands, shipped worldwide in a gift box.\n"
    "Order three and the fourth is free. This offer ends on Sunday.\n"
    "\n"
    "Watch Store\n";

const char* const kMeeting =
    "Received: from mail.example.com (mail.example.com [192.0.2.25])\n"
    "\tby mx.example.com; Mon, 10 Mar 2025 08:02:00 +0000\n"
    "From: Bob Stone <bob@example.com>\n"
    "To: Alex Example <alex@example.com>\n"
    "Subject: Minutes of Tuesday's meeting\n"
    "X-Mailer: Evolution 3.46\n"
    "\n"
    "Hello all,\n";

void Press(TFilterWizardDlg& wizard, const char* name) {
  wizard.findChild<QPushButton*>(QString::fromLatin1(name))->click();
}

void Choose(TFilterWizardDlg& wizard, const char* choice) {
  wizard.findChild<QRadioButton*>(QString::fromLatin1(choice))->setChecked(true);
  Press(wizard, "btnNext");
}

void ShootFilterWizard() {
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
    InstallSettings(&settings);
    TFilterList filters(home + "Filters.dat");
    filters.Load(true);
    TEmail message;
    ParseMessageText(kWatchStore, message);
    const TEditFilter noDialog = [](TFilter&, bool) { return false; };

    TFilterWizardDlg wizard(&message, filters, noDialog);
    wizard.SetHelp([] {});
    shots::Shoot(wizard, "filter-wizard-type");
    Choose(wizard, "rbSender");
    shots::Shoot(wizard, "filter-wizard-sender");
    wizard.findChild<QCheckBox*>(QStringLiteral("chkDomain"))->setChecked(true);
    shots::Shoot(wizard, "filter-wizard-sender-domain");
    Press(wizard, "btnNext");
    shots::Shoot(wizard, "filter-wizard-finished");
    Press(wizard, "btnBack");
    Press(wizard, "btnBack");
    Choose(wizard, "rbSubject");
    shots::Shoot(wizard, "filter-wizard-subject");
    Press(wizard, "btnBack");
    Choose(wizard, "rbText");
    shots::Shoot(wizard, "filter-wizard-text");
    Press(wizard, "btnBack");
    Choose(wizard, "rbCountry");
    auto* countries = wizard.findChild<QListWidget*>(QStringLiteral("clbCountries"));
    countries->item(0)->setCheckState(Qt::Checked);
    shots::Shoot(wizard, "filter-wizard-country");
    Press(wizard, "btnBack");
    Choose(wizard, "rbHeader");
    wizard.findChild<QListWidget*>(QStringLiteral("sgHeaders"))->setCurrentRow(1);
    shots::Shoot(wizard, "filter-wizard-header");
    wizard.findChild<QCheckBox*>(QStringLiteral("chkAddress"))->setChecked(true);
    shots::Shoot(wizard, "filter-wizard-header-address");
    // The smallest the wizard can be, on its fullest page.
    wizard.resize(wizard.minimumSize());
    shots::Shoot(wizard, "filter-wizard-header-small");

    // A Live Mail message whose text was not fetched, from hosts of no country.
    TEmail meeting;
    ParseMessageText(kMeeting, meeting);
    meeting.ClearBody();
    TFilterWizardDlg headersOnly(&meeting, filters, noDialog);
    shots::Shoot(headersOnly, "filter-wizard-type-headers-only");

    // Without a message: only the kind is asked for.
    TFilterWizardDlg bare(nullptr, filters, noDialog);
    shots::Shoot(bare, "filter-wizard-no-message");

    InstallSettings(nullptr);
    TRegistryStore::Install(nullptr);
  }
  std::filesystem::remove_all(home);
}

const shots::TShotSet kSet("filters-6-wizard", &ShootFilterWizard);

}  // namespace
}  // namespace tarnwell
