#include "mainwindow/ui/MessagePreview.h"

#include <QMimeData>
#include <QScrollBar>
#include <QTextDocumentFragment>

#include "mainwindow/ui/SafeDocument.h"

namespace tarnwell {

TMessagePreview::TMessagePreview(QWidget* parent)
    : QTextBrowser(parent), document_(new TSafeDocument(this)) {
  setDocument(document_);
  setOpenLinks(false);
  setOpenExternalLinks(false);
  setReadOnly(true);
  setContextMenuPolicy(Qt::CustomContextMenu);
}

QVariant TMessagePreview::loadResource(int, const QUrl&) { return {}; }

QMimeData* TMessagePreview::createMimeDataFromSelection() const {
  const QTextDocumentFragment selection = textCursor().selection();
  auto* data = new QMimeData;
  data->setText(selection.toPlainText());
  data->setHtml(selection.toHtml());
  return data;
}

void TMessagePreview::Prepare(int pointSize) {
  QFont font = this->font();
  font.setPointSize(pointSize);
  document_->setDefaultFont(font);
}

void TMessagePreview::ShowPlain(const QString& text, int pointSize) {
  Prepare(pointSize);
  document_->SetImages({});
  document_->setPlainText(text);
  verticalScrollBar()->setValue(0);
}

void TMessagePreview::ShowHtml(const QString& html, int pointSize,
                               const std::vector<TInlineImage>& images) {
  Prepare(pointSize);
  document_->SetImages(images);
  document_->setHtml(html);
  verticalScrollBar()->setValue(0);
}

void TMessagePreview::Clear() {
  document_->SetImages({});
  document_->clear();
}

}  // namespace tarnwell
