#pragma once

#include <QTextBrowser>

namespace tarnwell {

class TSafeDocument;

// The preview pane of a message page: read-only, on a TSafeDocument, following no link (a
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

  TSafeDocument* document_;
};

}  // namespace tarnwell
