#pragma once

#include <QHash>
#include <QPixmap>
#include <QTextDocument>
#include <QUrl>
#include <QVariant>
#include <vector>

#include "message/MIME.h"

namespace tarnwell {

// The text document that shows and prints the text of mail. Everything a message's HTML refers
// to (images, style sheets, frames, whatever the address: http, ftp, file, or a bare path) is
// asked of the document, and it answers with nothing but the pictures the message carries itself,
// in data: addresses and in parts that cid: addresses name, in the common raster formats, never
// handing the question on to Qt's loaders, which read local files. Its images are drawn by a
// handler of its own that looks for no file either (Qt's looks for a file of the image's name at
// twice the size on dense screens, and loads the name from the disk when the document gives no
// picture). So showing or printing a message cannot open a connection, read a file or start a
// program, and tells its sender nothing; Qt runs no scripts in any case.
class TSafeDocument : public QTextDocument {
  Q_OBJECT

 public:
  explicit TSafeDocument(QObject* parent = nullptr);

  // The message's own pictures that cid: addresses name (TDeMIME::KeepImages); set before the
  // HTML.
  void SetImages(const std::vector<TInlineImage>& images);

  // The picture of an image at `name`; a null one for what the message does not carry.
  [[nodiscard]] QPixmap Picture(const QUrl& name);

 protected:
  QVariant loadResource(int type, const QUrl& name) override;

 private:
  // The bytes of the message's pictures by their Content-ID.
  QHash<QString, QByteArray> images_;
  // The pictures of the text shown, decoded once.
  QHash<QUrl, QPixmap> pictures_;
};

}  // namespace tarnwell
