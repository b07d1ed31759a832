#include <gtest/gtest.h>

#include <QBuffer>
#include <QImage>
#include <QPrinter>
#include <QTextDocument>
#include <regex>
#include <string>
#include <vector>

#include "mainwindow/ui/PrintOuts.h"
#include "message/Emails.h"
#include "platform/Files.h"
#include "shell/ui/DisplayText.h"
#include "tests/support/TestSupport.h"
#include "tests/support/program/ProgramEnvironment.h"
#include "tests/ui/PrintedPages.h"
#include "tests/ui/PrivacyProbes.h"
#include "tests/ui/StoredMessage.h"

namespace tarnwell {
namespace {

using Lines = std::vector<std::string>;
using test::Ascending;
using test::PdfText;
using test::PdfToolOutput;
using test::Positions;
using test::TPdfWord;

const char* const kHtmlHeaders =
    "From: Ann <ann@example.org>\n"
    "To: me@example.com, pat@example.com\n"
    "Subject: Offer <b>now</b> & more\n"
    "Date: Thu, 14 Mar 2024 08:00:00 +0000\n"
    "MIME-Version: 1.0\n"
    "Content-Type: text/html; charset=utf-8";

const char* const kPlainHeaders =
    "Received: from relay.example.net\n"
    "From: Bob <bob@example.net>\n"
    "To: me@example.com\n"
    "Subject: Menu\n"
    "X-Mailer: Mailer 2.0\n"
    "MIME-Version: 1.0\n"
    "Content-Type: text/plain; charset=utf-8\n"
    "Content-Transfer-Encoding: quoted-printable";

// Messages stored in a Killed folder, printed to PDF files that the poppler tools read back.
class PrintOutTest : public ::testing::Test, protected test::TProgramEnvironment {
 protected:
  PrintOutTest() {
    ForceDirectories(dir / "Killed");
    killed.SetFolder(dir / "Killed");
  }

  TEmail& Store(const std::string& headers, const Lines& body) {
    return test::StoreMessage(killed, headers, body);
  }
  TEmail& StoreHtml(const Lines& body) { return Store(kHtmlHeaders, body); }
  TEmail& StorePlain() { return Store(kPlainHeaders, {"Caf=C3=A9 au lait =", "today."}); }

  // The PDF file the messages print to.
  std::string Print(const std::vector<TEmail*>& messages, bool details) {
    const std::string pdf = dir / ("print" + std::to_string(++prints) + ".pdf");
    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(QString::fromStdString(pdf));
    TPrintOut(details).Print(printer, messages);
    return pdf;
  }
  std::string Print(TEmail& message, bool details) { return Print({&message}, details); }

  static TPdfWord FirstWord(const std::string& pdf, const std::string& text) {
    for (const TPdfWord& word : test::PdfWords(pdf))
      if (word.text == text) return word;
    ADD_FAILURE() << "no word " << text << " in " << pdf;
    return {};
  }

  // The sizes of the pictures printed, "WxH", but pictures of a single pixel.
  static Lines ImageSizes(const std::string& pdf) {
    const std::string images = PdfToolOutput("pdfimages", pdf, {"-list"});
    Lines sizes;
    static const std::regex kImage(R"(\n +\d+ +\d+ +image +(\d+) +(\d+) )");
    for (auto it = std::sregex_iterator(images.begin(), images.end(), kImage);
         it != std::sregex_iterator(); ++it)
      if ((*it)[1] != "1" || (*it)[2] != "1")
        sizes.push_back((*it)[1].str() + "x" + (*it)[2].str());
    return sizes;
  }
  static QImage RedPicture() {
    QImage image(8, 8, QImage::Format_RGB32);
    image.fill(Qt::red);
    return image;
  }
  // RedPicture as a PNG file in base64.
  static std::string RedPng() {
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    RedPicture().save(&buffer, "PNG");
    return png.toBase64().toStdString();
  }

  TEmailList killed{true};
  int prints = 0;
};

TEST(PrintOutHtmlTest, TheHeaderBlockGoesRightAfterTheOpeningBodyTag) {
  const QString block = QStringLiteral("[BLOCK]");
  const struct {
    const char* html;
    const char* printed;
  } cases[] = {
      {"<html><head><title>T</title></head><body bgcolor=\"#ffffff\"><p>x</p></body></html>",
       "<html><head><title>T</title></head><body "
       "bgcolor=\"#ffffff\">[BLOCK]<p>x</p></body></html>"},
      {"<HTML><BODY>x</BODY></HTML>", "<HTML><BODY>[BLOCK]x</BODY></HTML>"},
      {"<body\r\nclass=a>x", "<body\r\nclass=a>[BLOCK]x"},
      {"<body onload='if (a > b) go()' id=\"c>d\">x",
       "<body onload='if (a > b) go()' id=\"c>d\">[BLOCK]x"},
      {"<table><tbody><tr><td>x</td></tr></tbody></table><body>y",
       "<table><tbody><tr><td>x</td></tr></tbody></table><body>[BLOCK]y"},
      {"<bodyguard>x</bodyguard><body/>y", "<bodyguard>x</bodyguard><body/>[BLOCK]y"},
      // Without an opening body tag, in front of everything.
      {"<p>x</p>", "[BLOCK]<p>x</p>"},
      {"<p>x</p><body unfinished", "[BLOCK]<p>x</p><body unfinished"},
      {"", "[BLOCK]"},
  };
  for (const auto& c : cases)
    EXPECT_EQ(InsertAfterBodyTag(QString::fromLatin1(c.html), block).toStdString(), c.printed)
        << c.html;
}

TEST(PrintOutHtmlTest, TheBlockIsEscapedLinesInTheSettingsFont) {
  EXPECT_EQ(HeaderBlockHtml({QStringLiteral("From: Ann <ann@example.org>"),
                             QStringLiteral("Subject: a > b & c"), QString()},
                            QStringLiteral("Arial"))
                .toStdString(),
            "<font face=\"Arial\" size=\"3\">From: Ann &lt;ann@example.org&gt;<br>"
            "Subject: a &gt; b & c<br><br></font>");
}

TEST_F(PrintOutTest, TheBlockHasADateLineOnlyWhenTheMessageHasADateHeader) {
  const TEmail& dated = StoreHtml({"<p>x</p>"});
  const TEmail& undated =
      Store("From: =?UTF-8?Q?Jos=C3=A9?= <jose@example.org>\nSubject: Hi\nDate: not a date", {});
  const TEmail& bare = Store("Subject: Hi", {});
  const auto texts = [](const TEmail& message) {
    Lines lines;
    for (const QString& line : HeaderBlockLines(message)) lines.push_back(line.toStdString());
    return lines;
  };
  EXPECT_EQ(texts(dated),
            (Lines{"From: Ann <ann@example.org>", "To: me@example.com, pat@example.com",
                   "Subject: Offer <b>now</b> & more", "Date: " + dated.DateText(), ""}));
  EXPECT_NE(dated.DateText(), "");
  EXPECT_EQ(texts(undated),
            (Lines{"From: José <jose@example.org>", "To: ", "Subject: Hi", "Date: ", ""}));
  EXPECT_EQ(texts(bare), (Lines{"From: ", "To: ", "Subject: Hi", ""}));
}

TEST_F(PrintOutTest, AnHtmlMessagePrintsWithTheBlockInsideItsBodyAtAQuarterLarger) {
  TEmail& html = StoreHtml(
      {"<html><head><title>Headline of the head</title>", "<style>p { margin: 0 }</style></head>",
       "<body bgcolor=\"#ffffff\"><p>First words of the body.</p>", "</body></html>"});
  const std::string pdf = Print(html, false);
  const std::string text = PdfText(pdf);
  EXPECT_TRUE(Ascending(Positions(
      text, {"From: Ann <ann@example.org>", "To: me@example.com, pat@example.com",
             "Subject: Offer <b>now</b> & more",
             "Date: " + DisplayString(html.DateText()).toStdString(), "First words of the body."})))
      << text;
  EXPECT_EQ(text.find("Headline"), std::string::npos) << text;
  const std::string info = PdfToolOutput("pdfinfo", pdf);
  EXPECT_TRUE(std::regex_search(info, std::regex("(^|\n)Title: +Halvora Tarnwell\n"))) << info;
  EXPECT_FALSE(html.BodyLoaded);
  EXPECT_TRUE(html.Body.empty());

  // The same words printed as plain text, at the same default font, are a fifth smaller.
  TEmail& plain = Store("From: a@example.org\nSubject: Plain", {"First words of the body."});
  const double ratio =
      FirstWord(pdf, "First").Height() / FirstWord(Print(plain, false), "First").Height();
  EXPECT_NEAR(ratio, 1.25, 0.02);
}

TEST_F(PrintOutTest, APlainMessagePrintsItsBlockAndDecodedTextWithDetailsEverythingAsStored) {
  TEmail& message = StorePlain();
  const std::string brief = PdfText(Print(message, false));
  EXPECT_TRUE(Ascending(Positions(brief, {"From: Bob <bob@example.net>", "To: me@example.com",
                                          "Subject: Menu", "Café au lait today."})))
      << brief;
  for (const char* left : {"Date:", "Received:", "X-Mailer:", "=C3=A9"})
    EXPECT_EQ(brief.find(left), std::string::npos) << left;

  const std::string detailed = PdfText(Print(message, true));
  EXPECT_TRUE(Ascending(Positions(
      detailed,
      {"Received: from relay.example.net", "From: Bob <bob@example.net>", "X-Mailer: Mailer 2.0",
       "Content-Transfer-Encoding: quoted-printable", "Caf=C3=A9 au lait =", "today."})))
      << detailed;
  EXPECT_FALSE(message.BodyLoaded);
}

TEST_F(PrintOutTest, DetailsPrintInThePrinterFontHalfAnInchInside) {
  TEmail& message = Store("From: bob@example.net\nSubject: Menu", {"Soup"});
  settings.PrinterFont = "DejaVu Serif";
  settings.PrinterFontSize = 12;
  const std::string large = Print(message, true);
  const std::string brief = Print(message, false);
  EXPECT_NE(PdfToolOutput("pdffonts", large).find("DejaVuSerif"), std::string::npos);
  EXPECT_EQ(PdfToolOutput("pdffonts", brief).find("DejaVuSerif"), std::string::npos);

  // The first line starts half an inch (36 points) further in both ways.
  const TPdfWord inside = FirstWord(large, "From:");
  const TPdfWord outside = FirstWord(brief, "From:");
  EXPECT_NEAR(inside.xMin - outside.xMin, 36, 1.5);
  EXPECT_NEAR(inside.yMin - outside.yMin, 36, 3);

  settings.PrinterFontSize = 8;
  EXPECT_NEAR(inside.Height() / FirstWord(Print(message, true), "From:").Height(), 1.5, 0.03);
}

TEST_F(PrintOutTest, EachMessageStartsAPageOfItsOwnInTheOrderGiven) {
  TEmail& first = Store("From: a@example.org\nSubject: Alpha", {"One"});
  TEmail& second = Store("From: b@example.org\nSubject: Beta", {"Two"});
  const std::string pdf = Print({&second, &first}, false);
  const std::string info = PdfToolOutput("pdfinfo", pdf);
  EXPECT_TRUE(std::regex_search(info, std::regex("\nPages: +2\n"))) << info;
  const std::string text = PdfText(pdf);
  const size_t pageBreak = text.find('\f');
  ASSERT_NE(pageBreak, std::string::npos);
  EXPECT_LT(text.find("Subject: Beta"), pageBreak);
  EXPECT_GT(text.find("Subject: Alpha"), pageBreak);
  for (const TEmail* message : {&first, &second}) EXPECT_TRUE(message->Body.empty());
}

TEST_F(PrintOutTest, AnHtmlMessagePrintsThePicturesOfItsOwnParts) {
  TEmail& message = Store(
      "From: shop@example.net\nSubject: Logo\nMIME-Version: 1.0\n"
      "Content-Type: multipart/related; boundary=\"rel\"",
      {"--rel", "Content-Type: text/html; charset=utf-8", "",
       "<p>Our logo: <img src=\"cid:logo@example.net\"></p>", "--rel", "Content-Type: image/png",
       "Content-ID: <logo@example.net>", "Content-Transfer-Encoding: base64", "", RedPng(),
       "--rel--"});
  const std::string pdf = Print(message, false);
  EXPECT_EQ(ImageSizes(pdf), Lines{"8x8"});
  EXPECT_NE(PdfText(pdf).find("Our logo:"), std::string::npos);
}

TEST_F(PrintOutTest, AnHtmlMessageIsPrintedWithoutFetchingWhatItPointsAt) {
  const std::string picture = dir / "picture.png";
  ASSERT_TRUE(RedPicture().save(QString::fromStdString(picture)));
  const test::TListener listener;
  const std::string web = "http://127.0.0.1:" + std::to_string(listener.Port());
  const Lines body = {"<html><head><link rel=\"stylesheet\" href=\"" + web + "/style.css\"></head>",
                      "<body background=\"file://" + picture + "\">",
                      "<p>Look: <img src=\"" + web + "/track.png?id=42\" width=\"8\" height=\"8\">",
                      "<img src=\"file://" + picture + "\"> <img src=\"" + picture + "\">",
                      "<img src=\"data:image/png;base64," + RedPng() + "\"></p>",
                      "</body></html>"};
  TEmail& message = StoreHtml(body);

  const test::TFileWatch watch(picture);
  const std::string pdf = Print(message, false);
  EXPECT_FALSE(watch.Touched());
  EXPECT_FALSE(listener.Connected());
  // The picture written into the message itself is the one drawn; the others draw as nothing,
  // not as a broken picture either.
  EXPECT_EQ(ImageSizes(pdf), Lines{"8x8"});
  EXPECT_NE(PdfText(pdf).find("Look:"), std::string::npos);

  // The watch does see an ordinary document read the picture.
  QTextDocument ordinary;
  std::string html;
  for (const std::string& line : body) html += line + "\n";
  ordinary.setHtml(QString::fromStdString(html));
  ordinary.setPageSize(QSizeF(600, 800));
  ASSERT_GT(ordinary.pageCount(), 0);
  EXPECT_TRUE(watch.Touched());
}

}  // namespace
}  // namespace tarnwell
