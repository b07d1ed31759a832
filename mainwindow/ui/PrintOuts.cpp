#include "mainwindow/ui/PrintOuts.h"

#include <QAbstractTextDocumentLayout>
#include <QFontDatabase>
#include <QPainter>
#include <QPrinter>
#include <algorithm>

#include "mainwindow/ui/SafeDocument.h"
#include "message/Emails.h"
#include "platform/Error.h"
#include "shell/Settings.h"
#include "shell/ui/DisplayText.h"

namespace tarnwell {

namespace {

const QString kJobTitle = QStringLiteral("Halvora Tarnwell");
constexpr int kLastPage = 9999;
constexpr double kHtmlScale = 1.25;

QString Escaped(QString line) {
  line.replace(QLatin1Char('<'), QLatin1String("&lt;"));
  line.replace(QLatin1Char('>'), QLatin1String("&gt;"));
  return line;
}

QString JoinedText(const std::vector<std::string>& lines) {
  std::string text;
  for (size_t i = 0; i < lines.size(); ++i) text += (i > 0 ? "\n" : "") + lines[i];
  return DisplayString(text);
}

// The setting's font when it is installed, at the setting's size.
QFont PrinterFont() {
  QFont font;
  const QString family = DisplayString(Settings().PrinterFont);
  if (QFontDatabase::families().contains(family, Qt::CaseInsensitive)) font.setFamily(family);
  if (Settings().PrinterFontSize > 0) font.setPointSize(Settings().PrinterFontSize);
  return font;
}

// Where a tag that starts at `open` ends (after its ">"), quoted values read over; -1 when it
// does not end.
qsizetype TagEnd(const QString& html, qsizetype open) {
  QChar quote;
  for (qsizetype i = open + 1; i < html.size(); ++i) {
    const QChar c = html[i];
    if (!quote.isNull()) {
      if (c == quote) quote = QChar();
    } else if (c == QLatin1Char('"') || c == QLatin1Char('\'')) {
      quote = c;
    } else if (c == QLatin1Char('>')) {
      return i + 1;
    }
  }
  return -1;
}

// Lays `document` out in pages of `area` (painter coordinates) at `scale` and paints them, the
// first on the page the printer is at unless `first` is false.
void PrintDocument(QPrinter& printer, QPainter& painter, QTextDocument& document,
                   const QRectF& area, double scale, bool first) {
  document.documentLayout()->setPaintDevice(&printer);
  const QSizeF page(area.width() / scale, area.height() / scale);
  document.setPageSize(page);
  const int pages = std::min(document.pageCount(), kLastPage);
  QAbstractTextDocumentLayout::PaintContext context;
  context.palette.setColor(QPalette::Text, Qt::black);
  for (int i = 0; i < pages; ++i) {
    if (!first || i > 0) printer.newPage();
    painter.save();
    painter.translate(area.topLeft());
    painter.scale(scale, scale);
    painter.translate(0, -i * page.height());
    context.clip = QRectF(QPointF(0, i * page.height()), page);
    painter.setClipRect(context.clip);
    document.documentLayout()->draw(&painter, context);
    painter.restore();
  }
}

}  // namespace

std::vector<QString> HeaderBlockLines(const TEmail& message) {
  std::string to;
  for (const std::string& address : message.To) to += (to.empty() ? "" : ", ") + address;
  std::vector<QString> lines = {
      QStringLiteral("From: ") + DecodedDisplayString(message.From),
      QStringLiteral("To: ") + DecodedDisplayString(to),
      QStringLiteral("Subject: ") + DecodedDisplayString(message.Subject)};
  if (message.Headers.HasHeader("Date"))
    lines.push_back(QStringLiteral("Date: ") + DisplayString(message.DateText()));
  lines.emplace_back();
  return lines;
}

QString HeaderBlockHtml(const std::vector<QString>& lines, const QString& fontFace) {
  QString face = fontFace;
  face.replace(QLatin1Char('"'), QLatin1String("&quot;"));
  QString html = QStringLiteral("<font face=\"") + face + QStringLiteral("\" size=\"3\">");
  for (const QString& line : lines) html += Escaped(line) + QStringLiteral("<br>");
  return html + QStringLiteral("</font>");
}

QString InsertAfterBodyTag(const QString& html, const QString& block) {
  static const QLatin1String kBody("<body");
  for (qsizetype at = html.indexOf(kBody, 0, Qt::CaseInsensitive); at >= 0;
       at = html.indexOf(kBody, at + 1, Qt::CaseInsensitive)) {
    const qsizetype after = at + kBody.size();
    if (after < html.size()) {
      const QChar next = html[after];
      if (!next.isSpace() && next != QLatin1Char('>') && next != QLatin1Char('/')) continue;
    }
    const qsizetype end = TagEnd(html, at);
    if (end < 0) break;
    return html.left(end) + block + html.mid(end);
  }
  // Without a body tag the block has no place of its own; at the start it still comes first.
  return block + html;
}

void TPrintOut::Print(QPrinter& printer, const std::vector<TEmail*>& messages) const {
  printer.setDocName(kJobTitle);
  QPainter painter;
  if (!painter.begin(&printer)) throw TError("The printer could not be started.");
  const QRectF page(QPointF(0, 0), printer.pageRect(QPrinter::DevicePixel).size());
  bool first = true;
  for (TEmail* message : messages) {
    message->LoadBody();
    struct TRelease {
      TEmail& message;
      ~TRelease() { message.ClearBody(); }
    } release{*message};
    TSafeDocument document;
    std::vector<TInlineImage> images;
    QRectF area = page;
    double scale = 1;
    if (Details) {
      const double insetX = printer.logicalDpiX() / 2.0;
      const double insetY = printer.logicalDpiY() / 2.0;
      area.adjust(insetX, insetY, -insetX, -insetY);
      document.setDefaultFont(PrinterFont());
      QString text;
      for (const std::string& line : message->Headers.Lines())
        text += DecodedDisplayString(line) + QLatin1Char('\n');
      document.setPlainText(text + QLatin1Char('\n') + JoinedText(message->Body));
    } else if (message->DecodeBodyForDisplay(&images)) {
      const QString block =
          HeaderBlockHtml(HeaderBlockLines(*message), DisplayString(Settings().PrinterFont));
      document.SetImages(images);
      document.setHtml(InsertAfterBodyTag(JoinedText(message->Body), block));
      scale = kHtmlScale;
    } else {
      QString text;
      for (const QString& line : HeaderBlockLines(*message)) text += line + QLatin1Char('\n');
      document.setPlainText(text + JoinedText(message->Body));
    }
    PrintDocument(printer, painter, document, area, scale, first);
    first = false;
  }
  painter.end();
}

}  // namespace tarnwell
