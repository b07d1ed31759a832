#include <gtest/gtest.h>

#include <QApplication>
#include <QBuffer>
#include <QClipboard>
#include <QImage>
#include <QMimeData>
#include <QPainter>
#include <functional>
#include <string>
#include <vector>

#include "mainwindow/ui/MessagePreview.h"
#include "mainwindow/ui/SafeDocument.h"
#include "message/MIME.h"
#include "tests/support/TestSupport.h"
#include "tests/ui/PrivacyProbes.h"

namespace tarnwell {
namespace {

std::string Base64(const QByteArray& bytes) { return bytes.toBase64().toStdString(); }

QByteArray Png(const QColor& color) {
  QImage image(8, 8, QImage::Format_RGB32);
  image.fill(color);
  QByteArray png;
  QBuffer buffer(&png);
  buffer.open(QIODevice::WriteOnly);
  image.save(&buffer, "PNG");
  return png;
}

// The smallest rectangle holding every pixel of `color`; null when there is none.
QRect Extent(const QImage& picture, QRgb color) {
  QRect extent;
  for (int y = 0; y < picture.height(); ++y)
    for (int x = 0; x < picture.width(); ++x)
      if ((picture.pixel(x, y) & 0xffffff) == (color & 0xffffff))
        extent = extent.united(QRect(x, y, 1, 1));
  return extent;
}

// A message's HTML with a red picture of its own, drawn 40 pixels square, a magenta one in a
// part of the message, drawn 20 pixels square, a vector picture of its own that draws a green
// square and a blue picture from a file, and pictures from the network and from that file.
std::string Html(const test::TListener& listener, const std::string& bluePicture) {
  const std::string svg =
      "<svg xmlns=\"http://www.w3.org/2000/svg\" xmlns:xlink=\"http://www.w3.org/1999/xlink\" "
      "width=\"60\" height=\"60\"><rect width=\"30\" height=\"30\" fill=\"#00ff00\"/>"
      "<image x=\"30\" y=\"30\" width=\"30\" height=\"30\" xlink:href=\"" +
      bluePicture + "\"/></svg>";
  return "<html><body><p>Pictures:</p>"
         "<p><img src=\"data:image/png;base64," +
         Base64(Png(Qt::red)) +
         "\" width=\"40\" height=\"40\"></p>"
         "<p><img src=\"cid:logo%231@example.net\" width=\"20\" height=\"20\"> "
         "<img src=\"cid:other@example.net\" width=\"20\" height=\"20\"></p>"
         "<p><img src=\"data:image/svg+xml;base64," +
         Base64(QByteArray::fromStdString(svg)) +
         "\"></p>"
         "<p><img src=\"" +
         listener.Address() + "/t.png\" width=\"30\" height=\"30\"> <img src=\"file://" +
         bluePicture + "\" width=\"30\" height=\"30\"> <img src=\"" + bluePicture +
         "\"></p></body></html>";
}

struct TView {
  const char* name;
  // The HTML as it shows, with the message's pictures named by their Content-ID.
  std::function<QImage(const QString& html, const std::vector<TInlineImage>& images)> draw;
};

TEST(SafeDocumentTest, OnlyTheRasterPicturesAMessageCarriesAreDrawnAndNothingIsFetchedOrRead) {
  const test::TTempDir bait;
  const std::string blue = bait / "blue.png";
  QImage file(8, 8, QImage::Format_RGB32);
  file.fill(Qt::blue);
  ASSERT_TRUE(file.save(QString::fromStdString(blue)));
  const test::TListener listener;
  const QString html = QString::fromStdString(Html(listener, blue));
  // The second picture's part is not in the message.
  const std::vector<TInlineImage> images = {{"logo#1@example.net", Png(Qt::magenta).toStdString()},
                                            {"unused@example.net", Png(Qt::blue).toStdString()}};

  const TView views[] = {
      {"the document drawn",
       [](const QString& text, const std::vector<TInlineImage>& images) {
         TSafeDocument document;
         document.SetImages(images);
         document.setHtml(text);
         document.setTextWidth(400);
         QImage canvas(400, 400, QImage::Format_RGB32);
         canvas.fill(Qt::white);
         QPainter painter(&canvas);
         document.drawContents(&painter);
         return canvas;
       }},
      {"the preview",
       [](const QString& text, const std::vector<TInlineImage>& images) {
         TMessagePreview preview;
         preview.resize(400, 400);
         preview.ShowHtml(text, 12, images);
         preview.show();
         QApplication::processEvents();
         return preview.viewport()->grab().toImage();
       }},
      {"a copy of the document, drawn by Qt's own image handler",
       [](const QString& text, const std::vector<TInlineImage>& images) {
         TSafeDocument document;
         document.SetImages(images);
         document.setHtml(text);
         QTextDocument* copy = document.clone(&document);
         copy->setTextWidth(400);
         QImage canvas(400, 400, QImage::Format_RGB32);
         canvas.fill(Qt::white);
         QPainter painter(&canvas);
         copy->drawContents(&painter);
         return canvas;
       }},
  };
  for (const TView& view : views) {
    SCOPED_TRACE(view.name);
    const test::TFileWatch watch(bait.Path());
    const QImage shown = view.draw(html, images);
    EXPECT_FALSE(watch.Touched());
    EXPECT_FALSE(listener.Connected());
    EXPECT_TRUE(Extent(shown, qRgb(0, 0, 255)).isNull());
    EXPECT_TRUE(Extent(shown, qRgb(0, 255, 0)).isNull());
    const QRect red = Extent(shown, qRgb(255, 0, 0));
    EXPECT_NEAR(red.width(), 40, 1);
    EXPECT_NEAR(red.height(), 40, 1);
    const QRect magenta = Extent(shown, qRgb(255, 0, 255));
    EXPECT_NEAR(magenta.width(), 20, 1);
    EXPECT_NEAR(magenta.height(), 20, 1);
  }

  // The watch does see an ordinary document read the picture.
  const test::TFileWatch watch(bait.Path());
  QTextDocument ordinary;
  ordinary.setHtml(html);
  ordinary.setTextWidth(400);
  ASSERT_GT(ordinary.pageCount(), 0);
  EXPECT_TRUE(watch.Touched());
}

TEST(SafeDocumentTest, PicturesLargerThan4000PixelsASideAreNotDecoded) {
  const auto address = [](int width, int height) {
    QImage image(width, height, QImage::Format_Mono);
    image.fill(0);
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return QUrl(QString::fromStdString("data:image/png;base64," + Base64(png)));
  };
  TSafeDocument document;
  EXPECT_EQ(document.Picture(address(4000, 2)).size(), QSize(4000, 2));
  EXPECT_EQ(document.Picture(address(2, 4000)).size(), QSize(2, 4000));
  EXPECT_TRUE(document.Picture(address(4001, 2)).isNull());
  EXPECT_TRUE(document.Picture(address(2, 4001)).isNull());
}

TEST(SafeDocumentTest, CopyingFromThePreviewReadsNoFileAMessageNames) {
  const test::TTempDir bait;
  const std::string blue = bait / "blue.png";
  QImage file(8, 8, QImage::Format_RGB32);
  file.fill(Qt::blue);
  ASSERT_TRUE(file.save(QString::fromStdString(blue)));
  TMessagePreview preview;
  preview.ShowHtml(QString::fromStdString("<p>Before <img src=\"" + blue +
                                          "\"> <img src=\"file://" + blue + "\"> after</p>"),
                   12);
  preview.selectAll();

  const test::TFileWatch watch(bait.Path());
  preview.copy();
  const QMimeData* copied = QApplication::clipboard()->mimeData();
  ASSERT_NE(copied, nullptr);
  for (const QString& format : copied->formats()) (void)copied->data(format);
  EXPECT_FALSE(watch.Touched());
  EXPECT_TRUE(copied->text().startsWith(QStringLiteral("Before ")));
  EXPECT_TRUE(copied->text().endsWith(QStringLiteral(" after")));
}

}  // namespace
}  // namespace tarnwell
