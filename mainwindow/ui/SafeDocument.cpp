#include "mainwindow/ui/SafeDocument.h"

#include <QImage>

namespace tarnwell {

namespace {

// What an image the document may not fetch draws as: nothing. An image must not be null, or
// the image handler loads the name as a file itself.
QImage Placeholder() {
  QImage image(1, 1, QImage::Format_ARGB32);
  image.fill(Qt::transparent);
  return image;
}

}  // namespace

TSafeDocument::TSafeDocument(QObject* parent) : QTextDocument(parent) {
  // Asked when loadResource has nothing; without this a provider set for the whole program
  // would be.
  setResourceProvider([](const QUrl&) { return QVariant(); });
}

QVariant TSafeDocument::loadResource(int type, const QUrl& name) {
  QVariant resource;
  // The base class decodes data: addresses before it tries anything else, and reads no file
  // for them: they name none.
  if (name.scheme().compare(QLatin1String("data"), Qt::CaseInsensitive) == 0)
    resource = QTextDocument::loadResource(type, name);
  if (type == ImageResource && QImage::fromData(resource.toByteArray()).isNull())
    return Placeholder();
  return resource;
}

}  // namespace tarnwell
