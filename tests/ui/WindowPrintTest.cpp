#include <gtest/gtest.h>

#include <QImage>
#include <QItemSelectionModel>
#include <QPrinter>
#include <QTextDocument>
#include <QTreeView>
#include <string>
#include <vector>

#include "accounts/AccountList.h"
#include "app/ui/DesktopUi.h"
#include "mainwindow/ui/FmMain.h"
#include "mainwindow/ui/MessageListModel.h"
#include "mainwindow/ui/MessagePages.h"
#include "message/Emails.h"
#include "shell/Synchronization.h"
#include "shell/ui/DisplayText.h"
#include "shell/ui/DlgMessage.h"
#include "tests/accounts/AccountTestSupport.h"
#include "tests/ui/PrintedPages.h"
#include "tests/ui/PrivacyProbes.h"
#include "tests/ui/StoredMessage.h"

namespace tarnwell {
namespace {

using Lines = std::vector<std::string>;

const char* const kHtmlHeaders =
    "From: Ann <ann@example.org>\n"
    "To: me@example.com\n"
    "Subject: Spring books\n"
    "Date: Thu, 14 Mar 2024 08:00:00 +0000\n"
    "MIME-Version: 1.0\n"
    "Content-Type: text/html; charset=utf-8";

const char* const kPlainHeaders =
    "Received: from relay.example.net\n"
    "From: Bob <bob@example.net>\n"
    "To: me@example.com\n"
    "Subject: Menu\n"
    "Date: Fri, 15 Mar 2024 12:30:00 +0000\n"
    "MIME-Version: 1.0\n"
    "Content-Type: text/plain; charset=utf-8\n"
    "Content-Transfer-Encoding: quoted-printable";

// The main window with the desktop's message pages over a scripted account, printing to PDF
// files: the printer is set up as the print dialog would set it up.
class WindowPrintTest : public test::AccountFixture {
 protected:
  WindowPrintTest() {
    list.Init(filters.get());
    home = &test::AddScriptedAccount(list, "Home");
  }

  TFmMain& Open() {
    TMainWindowLinks links;
    links.Accounts = &list;
    links.Gate = &gate;
    links.Dialogs = &dialogs;
    links.ToggleSuspend = [this] { list.Suspended = !list.Suspended; };
    window = std::make_unique<TFmMain>(std::move(links),
                                       MessagePageFactory(DesktopPageActions(dialogs)));
    window->PrinterInstalled = true;
    window->AskPrinter = [this](QPrinter& printer) {
      printer.setOutputFormat(QPrinter::PdfFormat);
      printer.setOutputFileName(QString::fromStdString(pdf));
      return true;
    };
    window->show();
    return *window;
  }

  // Selects `message` alone on the page `index`, showing it, with "View details" as `details`,
  // and prints with the window's Print; the PDF file.
  std::string PrintFrom(int index, const TEmail& message, bool details) {
    window->SelectPage(index);
    auto& page = static_cast<TPgMessages&>(*window->Page(index));
    page.SetDetails(details);
    for (int row = 0; row < page.Model()->rowCount(); ++row)
      if (page.Model()->Message(row) == &message)
        page.List()->selectionModel()->setCurrentIndex(
            page.Model()->index(row, 0),
            QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    EXPECT_EQ(page.SelectedMessages(), std::vector<TEmail*>{const_cast<TEmail*>(&message)});
    pdf = dir / ("print" + std::to_string(++prints) + ".pdf");
    window->Print();
    EXPECT_TRUE(test::FileExists(pdf));
    return pdf;
  }

  TAccountList list;
  test::TScriptedAccount* home = nullptr;
  TSynchronization gate;
  TQtMessageDialogs dialogs;
  std::unique_ptr<TFmMain> window;
  std::string pdf;
  int prints = 0;
};

struct TPrintCase {
  const char* name;
  int page;
  bool html;
  bool details;
  // In this order in the printed text.
  Lines printed;
  Lines left;
};

TEST_F(WindowPrintTest, ThePageSelectionPrintsWithTheBlockOrWithDetailsAsTheButtonSays) {
  TEmail& html = test::StoreMessage(
      home->Killed, kHtmlHeaders,
      {"<html><head><title>Headline of the head</title></head>",
       "<body bgcolor=\"#e0e0e0\"><p>First words of the body.</p>", "</body></html>"});
  TEmail& plain = test::StoreMessage(home->Inbox, kPlainHeaders, {"Caf=C3=A9 au lait =", "today."});
  // Messages beside them that are not selected.
  test::StoreMessage(home->Killed, "From: x@example.org\nSubject: Other killed", {"Not this"});
  test::StoreMessage(home->Inbox, "From: y@example.org\nSubject: Other live", {"Not this"});
  Open();

  const std::string htmlDate = "Date: " + DisplayString(html.DateText()).toStdString();
  const std::string plainDate = "Date: " + DisplayString(plain.DateText()).toStdString();
  const TPrintCase cases[] = {
      {"Killed Mail, HTML",
       piKilled,
       true,
       false,
       {"From: Ann <ann@example.org>", "To: me@example.com", "Subject: Spring books", htmlDate,
        "First words of the body."},
       {"Headline", "MIME-Version", "<p>", "Not this"}},
      {"Killed Mail, HTML with details",
       piKilled,
       true,
       true,
       {"From: Ann <ann@example.org>", "Date: Thu, 14 Mar 2024 08:00:00 +0000", "MIME-Version: 1.0",
        "Content-Type: text/html; charset=utf-8", "<html><head><title>Headline of the head",
        "<body bgcolor=\"#e0e0e0\"><p>First words of the body.</p>"},
       {htmlDate, "Not this"}},
      {"Live Mail, plain",
       piInbox,
       false,
       false,
       {"From: Bob <bob@example.net>", "To: me@example.com", "Subject: Menu", plainDate,
        "Café au lait today."},
       {"Received:", "=C3=A9", "Not this"}},
      {"Live Mail, plain with details",
       piInbox,
       false,
       true,
       {"Received: from relay.example.net", "From: Bob <bob@example.net>",
        "Content-Transfer-Encoding: quoted-printable", "Caf=C3=A9 au lait =", "today."},
       {plainDate, "Café", "Not this"}},
  };
  for (const TPrintCase& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string text = test::PdfText(PrintFrom(c.page, c.html ? html : plain, c.details));
    EXPECT_TRUE(test::Ascending(test::Positions(text, c.printed))) << text;
    for (const std::string& left : c.left) EXPECT_EQ(text.find(left), std::string::npos) << left;
  }
  EXPECT_FALSE(html.BodyLoaded);
  EXPECT_FALSE(plain.BodyLoaded);
}

TEST_F(WindowPrintTest, PrintingAMessageFetchesNothingItPointsAtAndRunsNothing) {
  const test::TListener listener;
  const test::TTempDir bait;
  const std::string picture = bait / "picture.png";
  QImage image(8, 8, QImage::Format_RGB32);
  image.fill(Qt::red);
  ASSERT_TRUE(image.save(QString::fromStdString(picture)));
  const Lines body = {
      "<html><head><link rel=\"stylesheet\" href=\"" + listener.Address() + "/s.css\">",
      "<script>document.write('SCRIPT RAN'); new Image().src = '" + listener.Address() +
          "/s.png';</script></head>",
      "<body background=\"" + listener.Address() + "/body.png\"><p>Visible text</p>",
      "<img src=\"" + listener.Address() + "/t.png\"> <img src=\"file:///etc/passwd\">",
      "<img src=\"file://" + picture + "\"> <img src=\"" + picture + "\">",
      "</body></html>"};
  TEmail& message = test::StoreMessage(home->Killed, kHtmlHeaders, body);
  Open();

  const test::TFileWatch watch(bait.Path());
  const std::string text = test::PdfText(PrintFrom(piKilled, message, false));
  EXPECT_FALSE(listener.Connected());
  EXPECT_FALSE(watch.Touched());
  EXPECT_NE(text.find("Visible text"), std::string::npos) << text;
  EXPECT_EQ(text.find("SCRIPT RAN"), std::string::npos) << text;
  EXPECT_EQ(text.find("root:"), std::string::npos) << text;

  // The watch does see an ordinary document read the picture.
  QTextDocument ordinary;
  std::string html;
  for (const std::string& line : body) html += line + "\n";
  ordinary.setHtml(QString::fromStdString(html));
  ordinary.setTextWidth(600);
  ASSERT_GT(ordinary.pageCount(), 0);
  EXPECT_TRUE(watch.Touched());
}

}  // namespace
}  // namespace tarnwell
