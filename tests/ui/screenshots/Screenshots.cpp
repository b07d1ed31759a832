// Renders every window, dialog and picture of the desktop front end with realistic content to
// PNG files, offscreen: `screenshots FOLDER`. These pictures are how the look is judged.
#include <unistd.h>

#include <QApplication>
#include <QBuffer>
#include <QCursor>
#include <QEnterEvent>
#include <QFont>
#include <QImage>
#include <QItemSelectionModel>
#include <QMenu>
#include <QPainter>
#include <QPixmap>
#include <QTreeView>
#include <QWidget>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "accounts/AccountList.h"
#include "app/TrayIcon.h"
#include "app/ui/DesktopUi.h"
#include "app/ui/PasswordDlg.h"
#include "demo/DemoPop3Server.h"
#include "filtering/Countries.h"
#include "filtering/DataFiles.h"
#include "filtering/FilterList.h"
#include "filtering/Filters.h"
#include "mainwindow/ui/DlgRescue.h"
#include "mainwindow/ui/DlgRescueMsg.h"
#include "mainwindow/ui/FmMain.h"
#include "mainwindow/ui/HotButton.h"
#include "mainwindow/ui/MessageListModel.h"
#include "mainwindow/ui/MessagePages.h"
#include "mainwindow/ui/PgInbox.h"
#include "mainwindow/ui/PgKilled.h"
#include "message/DomainLists.h"
#include "message/Emails.h"
#include "message/SvcString.h"
#include "platform/DateTime.h"
#include "platform/Registry.h"
#include "shell/ProgramFolders.h"
#include "shell/Settings.h"
#include "shell/Synchronization.h"
#include "shell/ui/AboutBox.h"
#include "shell/ui/DlgMessage.h"
#include "shell/ui/DlgPopUp.h"
#include "shell/ui/PopUpSample.h"
#include "shell/ui/TrayIcon.h"
#include "shell/ui/TrayImages.h"
#include "tests/ui/screenshots/Shots.h"
#include "transport/POP3Account.h"

namespace tarnwell {
namespace {

using shots::Save;
using shots::Shoot;

std::string folder;
int written = 0;

std::map<std::string, void (*)()>& ShotSets() {
  static std::map<std::string, void (*)()> sets;
  return sets;
}

void ShootMessageDialogs() {
  TMessageDlg info(
      DialogText("Your filters were updated.\r\r12 new filters were added and 3 "
                 "were changed."));
  Shoot(info, "dialog-info");
  TConfirmDlg confirm(
      DialogText("Are you sure that you want to delete these messages?\r\r"
                 "The messages will be permanently removed from your inbox."));
  Shoot(confirm, "dialog-confirm");
  TConfirmDlg timed(DialogText("Killed messages older than 30 days will be deleted.\r\r"
                               "Do you want to delete them now?"),
                    nullptr, 30000);
  Shoot(timed, "dialog-confirm-timed");
  TWarningDlg warning(DialogText(
      "There is no password entered for some of your email accounts.\r\rPlease go to Accounts, "
      "Properties and enter the correct password \rfor these accounts:\r\rWork\rHome\r"));
  Shoot(warning, "dialog-warning");
  TWarningDlg error(
      DialogText("An error occurred during startup: Could not create file folders for the "
                 "account. (ID: 3)\r\rThe program will terminate."),
      true);
  Shoot(error, "dialog-error");
  TWarningDlg longWord(
      DialogText("The server answered: -ERR "
                 "AUTHENTICATION_FAILED_FOR_USER_alex.example@mail.example.com_FROM_198.51.100.7_"
                 "AT_2025-03-10T09:11:00Z_SESSION_7f3a9c2e41d8b6a0"),
      true);
  Shoot(longWord, "dialog-error-long-word");
  TWaitDlg wait;
  Shoot(wait, "dialog-wait");
  TWarningDlg noTray(DialogText(kNoTrayWarning));
  Shoot(noTray, "dialog-no-tray");
  TMessageDlg noAccounts(DialogText(kNoAccountsYet));
  Shoot(noAccounts, "dialog-no-accounts");
}

void ShootAboutAndPassword() {
  TAboutBox about(QStringLiteral("Version ") + QString::fromStdString(ProgramVersionFull()),
                  TQtTrayIcon::TrayImageIcon(TTrayImage::Normal));
  Shoot(about, "about");
  TQtMessageDialogs dialogs;
  TPasswordDlg password(ScramblePassword("secret"), dialogs);
  Shoot(password, "password");
}

void ShootPopUpNotice() {
  TPopUpDlg notice;
  FillSampleBatch(notice);
  Shoot(notice, "popup-notice");
}

void ShootTray() {
  Save(RenderTraySheet(), "tray-images");
  TQtTrayIcon tray;
  TTrayMenuState state;
  state.OpenEnabled = true;
  state.CheckNowItems = {"Home", "Work", "Mailing lists & news"};
  state.CheckNowEnabled = true;
  state.CheckAllEnabled = true;
  state.SuspendEnabled = true;
  state.EmailProgramEnabled = true;
  state.AboutEnabled = true;
  state.ExitEnabled = true;
  QMenu& menu = tray.BuildMenu(state);
  Shoot(menu, "tray-menu");
  state.SuspendChecked = true;
  state.OpenEnabled = false;
  state.CheckNowEnabled = state.CheckAllEnabled = state.ExitEnabled = false;
  Shoot(tray.BuildMenu(state), "tray-menu-while-checking");
}

void ShootRescue() {
  TQtMessageDialogs dialogs;
  TRescueMsgDlg ask({"Home", "Work", "Mailing lists & news"}, 0, dialogs);
  Shoot(ask, "rescue-message");

  // Half-way through four messages: two sent, the third on its way.
  TRescueDlg progress;
  const char* const senders[] = {"From: Deals <deals@shop.example.com>",
                                 "From: \"Ann Lee\" <ann.lee@friends.example.org>", ""};
  for (const char* sender : senders) {
    TEmail message;
    message.Headers.SetText(sender);
    progress.Preparing(4);
    progress.Sending(message);
    progress.LoggingIn();
    if (*sender) {
      progress.LoggingOut();
      progress.Sent();
    }
  }
  Shoot(progress, "rescue-progress");
}

// A shop's logo as a message carries it: a PNG file in base64, in lines of 76 characters.
std::string LogoPart() {
  QImage logo(48, 48, QImage::Format_ARGB32);
  logo.fill(Qt::transparent);
  QPainter painter(&logo);
  painter.setRenderHint(QPainter::Antialiasing);
  painter.setPen(Qt::NoPen);
  painter.setBrush(QColor(0x2e, 0x7d, 0x32));
  painter.drawRoundedRect(QRectF(2, 2, 44, 44), 8, 8);
  // An open book.
  painter.setBrush(QColor(0xf1, 0xf8, 0xe9));
  painter.drawPolygon(
      QPolygonF({QPointF(8, 15), QPointF(23, 18), QPointF(23, 36), QPointF(8, 33)}));
  painter.drawPolygon(
      QPolygonF({QPointF(25, 18), QPointF(40, 15), QPointF(40, 33), QPointF(25, 36)}));
  painter.end();
  QByteArray png;
  QBuffer buffer(&png);
  buffer.open(QIODevice::WriteOnly);
  logo.save(&buffer, "PNG");
  const std::string base64 = png.toBase64().toStdString();
  std::string lines;
  for (size_t at = 0; at < base64.size(); at += 76) lines += base64.substr(at, 76) + "\n";
  return lines;
}

// Mail as the demo servers hold it: friends, lists, a newsletter, possible spam and spam.
std::vector<std::string> SampleMailbox() {
  const auto mail = [](const std::string& from, const std::string& subject, const std::string& date,
                       const std::string& extra, const std::string& body) {
    return "From: " + from + "\nTo: Alex Example <alex@example.com>\nSubject: " + subject +
           "\nDate: " + date + "\nMessage-Id: <" + std::to_string(subject.size()) + "." +
           std::to_string(body.size()) + "@example.net>\n" + extra + "\n" + body;
  };
  return {
      mail("Dr. Slim <doctor@pharmacy.example.com>", "Miracle pill melts fat overnight",
           "Mon, 10 Mar 2025 06:12:00 +0000", "", "No diet, no exercise. Order today.\n"),
      mail("Exclusive Offers <offers@bulk-mailer.example.net>", "Exclusive invitation",
           "Mon, 10 Mar 2025 06:40:00 +0000", "",
           "You have been selected for an exclusive offer. Reply now.\n"),
      mail("Watch Store <sales@cheap-watches.tk>", "Luxury watches at 90% off",
           "Mon, 10 Mar 2025 07:05:00 +0000", "", "Best replicas, shipped worldwide.\n"),
      mail("Growth Team <team@growth.example.com>", "Grow your business today",
           "Mon, 10 Mar 2025 07:31:00 +0000", "X-Mailer: MassMailer Pro 5.0\n",
           "Reach a million customers with one click.\n"),
      mail("Bob Stone <bob@example.com>", "Minutes of Tuesday's meeting",
           "Mon, 10 Mar 2025 08:02:00 +0000", "",
           "Hello all,\n\nthe minutes are below. Next meeting: Tuesday at ten.\n\nBob\n"),
      mail("Prize Office <office@prizes.example.com>", "Your lottery results are in",
           "Mon, 10 Mar 2025 08:20:00 +0000", "",
           "Congratulations! Your lottery results are waiting for you.\n"),
      mail("Crypto Desk <desk@coins.example.net>", "Double your coins by Friday",
           "Mon, 10 Mar 2025 08:44:00 +0000", "", "Send us one coin, get two back.\n"),
      mail("Riverside Books <news@riverside-books.example.com>", "Spring reading list",
           "Mon, 10 Mar 2025 09:03:00 +0000",
           "Reply-To: Riverside Books Orders <orders@riverside-books.example.com>\n"
           "MIME-Version: 1.0\nContent-Type: multipart/related; boundary=\"rb-spring\"\n",
           "--rb-spring\nContent-Type: text/html; charset=utf-8\n\n"
           "<html><head><link rel=\"stylesheet\" "
           "href=\"http://track.riverside-books.example.com/s.css\"></head><body>\n"
           "<table><tr><td><img src=\"cid:logo.spring@riverside-books.example.com\" "
           "width=\"48\" height=\"48\"></td>"
           "<td valign=\"middle\"><h2>Spring reading list</h2></td></tr></table>\n"
           "<img src=\"http://track.riverside-books.example.com/open.gif\" width=\"1\" "
           "height=\"1\">\n"
           "<p>Dear Alex, the days are longer and the garden bench is calling. "
           "Here is what our staff are reading this spring:</p>\n"
           "<table border=\"1\" cellpadding=\"4\" cellspacing=\"0\">\n"
           "<tr><th>Title</th><th>Author</th><th>Price</th></tr>\n"
           "<tr><td>The Lighthouse Keeper</td><td>M. Okafor</td><td>&euro; 14.90</td></tr>\n"
           "<tr><td>Salt and Stone</td><td>E. Lindqvist</td><td>&euro; 11.50</td></tr>\n"
           "<tr><td>A Year of Small Gardens</td><td>R. Patel</td><td>&euro; 19.00</td></tr>\n"
           "</table>\n"
           "<p><b>Members save 10%</b> until the end of the month. "
           "<a href=\"http://riverside-books.example.com/spring\">See the whole list</a>.</p>\n"
           "</body></html>\n"
           "--rb-spring\nContent-Type: image/png; name=\"logo.png\"\n"
           "Content-ID: <logo.spring@riverside-books.example.com>\n"
           "Content-Disposition: inline; filename=\"logo.png\"\n"
           "Content-Transfer-Encoding: base64\n\n" +
               LogoPart() + "--rb-spring--\n"),
      mail("Ann Baker <ann@friends.example.org>", "Lunch on Saturday?",
           "Mon, 10 Mar 2025 09:15:00 +0000", "",
           "Hi Alex,\n\nare we still on for lunch on Saturday? The new place by the river.\n\n"
           "Ann\n"),
      mail("Dana Moreau <dana@example.org>",
           "=?UTF-8?Q?Caf=C3=A9_on_Friday=3F?=", "Mon, 10 Mar 2025 09:26:00 +0000",
           "MIME-Version: 1.0\nContent-Type: text/plain; charset=UTF-8\n",
           "Shall we meet at the caf\xC3\xA9 on Friday at four?\n"),
  };
}

template <typename T>
T* AddFilter(TFilterList& list, std::unique_ptr<T> filter, uint8_t action) {
  filter->Origin = orUser;
  filter->Action = action;
  return static_cast<T*>(list.Add(std::move(filter)));
}

// The Live Mail and Killed Mail pages after a check of a demo POP3 server, in a program folder
// of their own, with a newsletter in the preview (and its headers with "View details").
void ShootMessagePages() {
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
    RegisterPOP3Account();

    TFilterList filters(home + "Filters.dat");
    filters.Load(true);
    auto ann = std::make_unique<TFriendFilter>();
    ann->SetText1("ann");
    ann->SetText2("friends.example.org");
    AddFilter(filters, std::move(ann), acAccept);
    auto pill = std::make_unique<TSubjectFilter>();
    pill->SetText1("miracle pill");
    AddFilter(filters, std::move(pill), acKill);
    auto lottery = std::make_unique<TSubjectFilter>();
    lottery->SetText1("lottery");
    AddFilter(filters, std::move(lottery), acMark);
    auto bulk = std::make_unique<TSenderFilter>();
    bulk->Condition2 = cnEndsWith;
    bulk->SetText2("bulk-mailer.example.net");
    AddFilter(filters, std::move(bulk), acKill);
    auto mailer = std::make_unique<THeaderFilter>();
    mailer->SetText1("X-Mailer");
    mailer->SetText2("MassMailer");
    AddFilter(filters, std::move(mailer), acKill);
    filters.SetCountryBlocked(filters.Countries()->IndexOfCode("tk"), true);

    TDemoPop3Server pop3("alex", "demo-password");
    for (const std::string& text : SampleMailbox()) pop3.AddMessage(text);
    TAccountList accounts;
    accounts.Init(&filters);
    auto account = std::make_unique<TPOP3Account>();
    account->Description = "Home";
    account->Name = "Alex Example";
    account->Email = "alex@example.com";
    account->DialUp = false;
    account->POP3Server = "127.0.0.1";
    account->POP3Port = pop3.Port();
    account->POP3UserName = "alex";
    account->Password = ScramblePassword("demo-password");
    accounts.Add(std::move(account));
    TAccountSet all;
    all.set(0);
    accounts.CheckSelected(all, TriggerBit(ctOnDemand));
    TAccount& checked = *accounts.Items(0);

    // A filter added after the check: what it catches stays in Live Mail, marked as spam.
    auto coins = std::make_unique<TSubjectFilter>();
    coins->SetText1("double your coins");
    AddFilter(filters, std::move(coins), acKill);
    checked.Refilter();
    // The marks that sent complaints and error messages leave on killed mail.
    const uint8_t marks[] = {TEmail::sfComplained, TEmail::sfErrorMessageSent,
                             TEmail::sfComplained | TEmail::sfErrorMessageSent};
    for (int i = 0; i < checked.Killed.Count() && i < 3; ++i)
      checked.Killed[i]->SetSentFlags(marks[i]);
    for (int i = 0; i < checked.Inbox.Count(); i += 3) checked.Inbox[i]->SetRead(true);

    // The pages with the desktop's commands, as a user has them.
    TQtMessageDialogs dialogs;
    const TMessagePageActions actions = DesktopPageActions(dialogs);
    TPgInbox inbox(accounts);
    inbox.SetActions(actions);
    inbox.SetAccount(&checked);
    for (int row = 0; row < inbox.Model()->rowCount(); ++row)
      if (inbox.Model()->Message(row)->Subject == "Spring reading list")
        inbox.List()->selectionModel()->setCurrentIndex(
            inbox.Model()->index(row, 0),
            QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    inbox.resize(1024, 700);
    Shoot(inbox, "page-live-mail");
    inbox.SetDetails(true);
    Shoot(inbox, "page-live-mail-details");
    inbox.SetDetails(false);
    // The page in a main window at its smallest.
    inbox.resize(490, 280);
    Shoot(inbox, "page-live-mail-small");

    TPgKilled killed(accounts);
    killed.SetActions(actions);
    killed.SetAccount(&checked);
    killed.resize(1024, 700);
    Shoot(killed, "page-killed-mail");
    TPgKilled empty(accounts);
    empty.SetActions(actions);
    empty.resize(1024, 700);
    Shoot(empty, "page-killed-mail-empty");

    // The main window over the checked account, with its real pages.
    TSynchronization gate;
    TMainWindowLinks links;
    links.Accounts = &accounts;
    links.Gate = &gate;
    links.Dialogs = &dialogs;
    links.ToggleSuspend = [&accounts] { accounts.Suspended = !accounts.Suspended; };
    settings.LastAcct = 0;
    for (const QSize size : {QSize(1024, 700), QSize(TFmMain::kMinWidth, TFmMain::kMinHeight)}) {
      TFmMain window(links, MessagePageFactory(actions),
                     WindowPageFactory(*accounts.FilterList, accounts, dialogs));
      window.resize(size);
      window.PrinterInstalled = true;
      const std::string suffix = size.width() == TFmMain::kMinWidth ? "-minimum" : "";
      Shoot(window, "main-window-killed-mail" + suffix);
      window.SelectPage(piInbox);
      Shoot(window, "main-window-live-mail" + suffix);
      if (auto* page = dynamic_cast<TPgMessages*>(window.Page(piInbox))) {
        page->SetDetails(true);
        Shoot(window, "main-window-live-mail-details" + suffix);
      }
      window.SelectPage(piFilters);
      Shoot(window, "main-window-filters" + suffix);
      window.SelectPage(piFriends);
      Shoot(window, "main-window-friends" + suffix);
      accounts.Suspended = false;
    }

    InstallSettings(nullptr);
    TRegistryStore::Install(nullptr);
  }
  std::filesystem::remove_all(home);
}

// A hot button as it is, under the mouse, pressed and disabled, on the page bar's ground.
void ShootHotButtons() {
  QWidget strip;
  strip.setBackgroundRole(QPalette::Midlight);
  strip.setAutoFillBackground(true);
  const char* const captions[] = {"Live &Mail", "&Killed Mail", "&Filters", "Se&ttings"};
  const char* const glyphs[] = {"imInbox", "imKilled", "imFilters", "imSettings"};
  for (int i = 0; i < 4; ++i) {
    auto* button = new THotButton(&strip);
    button->setText(QString::fromLatin1(captions[i]));
    button->SetGlyph(MainWindowImage(QStringLiteral("glyphs/%1.svg").arg(QLatin1String(glyphs[i])),
                                     THotButton::kGlyphSize));
    button->setGeometry(4 + i * 80, 4, button->sizeHint().width(), THotButton::kSize);
    if (i == 1) {
      QEnterEvent enter(QPointF(5, 5), QPointF(5, 5), QPointF(5, 5));
      QApplication::sendEvent(button, &enter);
    }
    if (i == 2) button->setDown(true);
    if (i == 3) button->setEnabled(false);
  }
  strip.resize(4 * 80 + 4, THotButton::kSize + 8);
  // Away from the pointer, which would make the first button hot when it shows.
  QCursor::setPos(strip.geometry().bottomRight() + QPoint(200, 200));
  Shoot(strip, "hot-buttons");
}

}  // namespace

namespace shots {

void Save(const QImage& image, const std::string& name) {
  const std::string path = folder + "/" + name + ".png";
  if (!image.save(QString::fromStdString(path))) {
    std::fprintf(stderr, "screenshots: %s cannot be written\n", path.c_str());
    std::exit(1);
  }
  ++written;
}

void Shoot(QWidget& window, const std::string& name) {
  window.show();
  QApplication::processEvents();
  Save(window.grab().toImage(), name);
  window.hide();
}

TShotSet::TShotSet(const char* name, void (*shoot)()) { ShotSets()[name] = shoot; }

}  // namespace shots
}  // namespace tarnwell

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fputs("Usage: screenshots FOLDER\n", stderr);
    return 2;
  }
  setenv("QT_QPA_PLATFORM", "offscreen", 1);
  QApplication application(argc, argv);
  // The fonts of a desktop rather than the offscreen platform's default.
  QApplication::setFont(QFont(QStringLiteral("DejaVu Sans"), 9));
  tarnwell::folder = argv[1];
  std::filesystem::create_directories(tarnwell::folder);
  tarnwell::ShootMessageDialogs();
  tarnwell::ShootAboutAndPassword();
  tarnwell::ShootPopUpNotice();
  tarnwell::ShootTray();
  tarnwell::ShootRescue();
  tarnwell::ShootMessagePages();
  tarnwell::ShootHotButtons();
  for (const auto& [name, shoot] : tarnwell::ShotSets()) shoot();
  std::printf("screenshots: %d pictures in %s\n", tarnwell::written, tarnwell::folder.c_str());
  return 0;
}
