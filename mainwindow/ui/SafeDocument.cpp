#include "mainwindow/ui/SafeDocument.h"

#include <QAbstractTextDocumentLayout>
#include <QBuffer>
#include <QGuiApplication>
#include <QImageReader>
#include <QPainter>
#include <QScreen>
#include <QTextFormat>
#include <algorithm>

namespace tarnwell {

namespace {

// What a message can make an image as large as, in pixels of the screen, and the largest picture
// it can make the program decode, in pixels a side.
constexpr qreal kLargestImage = 4000;
constexpr int kLargestPicture = 4000;

bool HasScheme(const QUrl& name, const char* scheme) {
  return name.scheme().compare(QLatin1String(scheme), Qt::CaseInsensitive) == 0;
}

// The bytes a data: address (RFC 2397) holds.
QByteArray DataBytes(const QUrl& name) {
  const QByteArray text =
      QByteArray::fromPercentEncoding(name.url(QUrl::FullyEncoded | QUrl::RemoveScheme).toLatin1());
  const qsizetype comma = text.indexOf(',');
  if (comma < 0) return {};
  const QByteArray payload = text.mid(comma + 1);
  return text.left(comma).trimmed().toLower().endsWith(";base64") ? QByteArray::fromBase64(payload)
                                                                  : payload;
}

// A picture in one of the raster formats, which name nothing outside themselves (a vector
// picture may refer to files), of at most kLargestPicture pixels a side; a null one for anything
// else.
QPixmap Decoded(const QByteArray& bytes) {
  QBuffer buffer;
  buffer.setData(bytes);
  buffer.open(QIODevice::ReadOnly);
  QImageReader reader(&buffer);
  static const QByteArrayList kRaster = {"png", "jpeg", "gif", "bmp"};
  if (!kRaster.contains(reader.format())) return {};
  const QSize size = reader.size();
  if (size.width() > kLargestPicture || size.height() > kLargestPicture) return {};
  return QPixmap::fromImage(reader.read());
}

// Draws the pictures the message carries, and leaves the room the message gives every other
// image empty.
class TMessageImages : public QObject, public QTextObjectInterface {
  Q_OBJECT
  Q_INTERFACES(QTextObjectInterface)

 public:
  explicit TMessageImages(TSafeDocument& document) : QObject(&document), document_(document) {}

  QSizeF intrinsicSize(QTextDocument*, int, const QTextFormat& format) override {
    const QTextImageFormat image = format.toImageFormat();
    const QSizeF picture = document_.Picture(QUrl(image.name())).deviceIndependentSize();
    const bool hasWidth = image.hasProperty(QTextFormat::ImageWidth);
    const bool hasHeight = image.hasProperty(QTextFormat::ImageHeight);
    QSizeF size(image.width(), image.height());
    // A picture given one side keeps its proportions.
    if (!hasWidth)
      size.setWidth(hasHeight && picture.height() > 0
                        ? size.height() * picture.width() / picture.height()
                        : picture.width());
    if (!hasHeight)
      size.setHeight(hasWidth && picture.width() > 0
                         ? size.width() * picture.height() / picture.width()
                         : picture.height());
    size = {std::clamp<qreal>(size.width(), 0, kLargestImage),
            std::clamp<qreal>(size.height(), 0, kLargestImage)};
    // On paper the layout counts in the printer's dots, as the text does.
    if (const QPaintDevice* device = document_.documentLayout()->paintDevice()) {
      const QScreen* screen = QGuiApplication::primaryScreen();
      size *= device->logicalDpiY() / (screen ? screen->logicalDotsPerInchY() : 96.0);
    }
    return size;
  }

  void drawObject(QPainter* painter, const QRectF& rect, QTextDocument*, int,
                  const QTextFormat& format) override {
    const QPixmap picture = document_.Picture(QUrl(format.toImageFormat().name()));
    if (!picture.isNull()) painter->drawPixmap(rect, picture, QRectF(picture.rect()));
  }

 private:
  TSafeDocument& document_;
};

}  // namespace

TSafeDocument::TSafeDocument(QObject* parent) : QTextDocument(parent) {
  // Asked when loadResource has nothing; without this a provider set for the whole program
  // would be.
  setResourceProvider([](const QUrl&) { return QVariant(); });
  setUndoRedoEnabled(false);
  documentLayout()->registerHandler(QTextFormat::ImageObject, new TMessageImages(*this));
  connect(this, &QTextDocument::contentsChanged, this, [this] { pictures_.clear(); });
}

void TSafeDocument::SetImages(const std::vector<TInlineImage>& images) {
  images_.clear();
  pictures_.clear();
  for (const TInlineImage& image : images)
    images_.insert(QString::fromStdString(image.contentId), QByteArray::fromStdString(image.bytes));
}

QPixmap TSafeDocument::Picture(const QUrl& name) {
  const bool data = HasScheme(name, "data");
  if (!data && !HasScheme(name, "cid")) return {};
  auto found = pictures_.find(name);
  if (found == pictures_.end()) {
    // A cid: address is the Content-ID with its special characters %-encoded (RFC 2392).
    found = pictures_.insert(
        name, Decoded(data ? DataBytes(name) : images_.value(name.path(QUrl::FullyDecoded))));
  }
  return *found;
}

QVariant TSafeDocument::loadResource(int type, const QUrl& name) {
  if (type != ImageResource) return {};
  QPixmap picture = Picture(name);
  if (picture.isNull()) {
    // Never no picture: Qt's own image handler, in a copy of the document, would load the name
    // from the disk.
    picture = QPixmap(1, 1);
    picture.fill(Qt::transparent);
  }
  return picture;
}

}  // namespace tarnwell

#include "SafeDocument.moc"
