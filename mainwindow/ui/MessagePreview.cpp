#include "mainwindow/ui/MessagePreview.h"

#include <QAbstractTextDocumentLayout>
#include <QImage>
#include <QScrollBar>
#include <QTextFormat>
#include <algorithm>

namespace tarnwell {

namespace {

// Images take the room the message gives them and show nothing.
class TBlankImages : public QObject, public QTextObjectInterface {
  Q_OBJECT
  Q_INTERFACES(QTextObjectInterface)

 public:
  using QObject::QObject;

  QSizeF intrinsicSize(QTextDocument*, int, const QTextFormat& format) override {
    // A message cannot make the preview huge.
    constexpr qreal kLargest = 4000;
    const QTextImageFormat image = format.toImageFormat();
    return {std::clamp<qreal>(image.width(), 0, kLargest),
            std::clamp<qreal>(image.height(), 0, kLargest)};
  }
  void drawObject(QPainter*, const QRectF&, QTextDocument*, int, const QTextFormat&) override {}
};

}  // namespace

TSafeTextDocument::TSafeTextDocument(QObject* parent) : QTextDocument(parent) {
  // A program-wide default provider would be asked after this document's answer.
  setResourceProvider([](const QUrl&) { return QVariant(); });
  setUndoRedoEnabled(false);
  documentLayout()->registerHandler(QTextFormat::ImageObject, new TBlankImages(this));
}

QVariant TSafeTextDocument::loadResource(int type, const QUrl&) {
  if (type != ImageResource) return {};
  // A picture, so that no image handler falls back on reading the name as a file.
  QImage blank(1, 1, QImage::Format_ARGB32);
  blank.fill(Qt::transparent);
  return blank;
}

TMessagePreview::TMessagePreview(QWidget* parent)
    : QTextBrowser(parent), document_(new TSafeTextDocument(this)) {
  setDocument(document_);
  setOpenLinks(false);
  setOpenExternalLinks(false);
  setReadOnly(true);
  setContextMenuPolicy(Qt::CustomContextMenu);
}

QVariant TMessagePreview::loadResource(int, const QUrl&) { return {}; }

void TMessagePreview::Prepare(int pointSize) {
  QFont font = this->font();
  font.setPointSize(pointSize);
  document_->setDefaultFont(font);
}

void TMessagePreview::ShowPlain(const QString& text, int pointSize) {
  Prepare(pointSize);
  document_->setPlainText(text);
  verticalScrollBar()->setValue(0);
}

void TMessagePreview::ShowHtml(const QString& html, int pointSize) {
  Prepare(pointSize);
  document_->setHtml(html);
  verticalScrollBar()->setValue(0);
}

void TMessagePreview::Clear() { document_->clear(); }

}  // namespace tarnwell

#include "MessagePreview.moc"
