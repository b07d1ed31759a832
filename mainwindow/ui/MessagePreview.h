#pragma once

#include <QTextBrowser>
#include <QTextDocument>

namespace tarnwell {

// The text of a message as the preview lays it out. Everything a message's HTML refers to
// (images, style sheets, frames, whatever its address: http, ftp, file, data, cid, or a bare
// path) is asked of the document, and this document answers nothing but an empty picture for
// an image, never handing the question on to Qt's loaders, which would read local files. Its
// images are drawn by a handler of its own that looks for no file either (Qt's looks for a file
// of the image's name at twice the size on dense screens, and loads the name from the disk when
// the document gives no picture). So showing a message cannot open a connection or read a file;
// Qt runs no scripts in any case. A copy of the document that Qt makes for printing asks this
// one for its resources and gets the same answers.
class TSafeTextDocument : public QTextDocument {
  Q_OBJECT

 public:
  explicit TSafeTextDocument(QObject* parent = nullptr);

 protected:
  QVariant loadResource(int type, const QUrl& name) override;
};

// The preview pane of a message page: read-only, on a TSafeTextDocument, following no link (a
// click on one is swallowed).
class TMessagePreview : public QTextBrowser {
  Q_OBJECT

 public:
  explicit TMessagePreview(QWidget* parent = nullptr);

  void ShowPlain(const QString& text, int pointSize);
  void ShowHtml(const QString& html, int pointSize);
  void Clear();

 protected:
  // The browser's own loader, which `setSource` would use, answers nothing either.
  QVariant loadResource(int type, const QUrl& name) override;

 private:
  void Prepare(int pointSize);

  TSafeTextDocument* document_;
};

}  // namespace tarnwell
