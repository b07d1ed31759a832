#pragma once

#include <QTextBrowser>
#include <vector>

namespace tarnwell {

class TSafeDocument;
struct TInlineImage;

// The preview pane of a message page: read-only, on a TSafeDocument, following no link (a
// click on one is swallowed).
class TMessagePreview : public QTextBrowser {
  Q_OBJECT

 public:
  explicit TMessagePreview(QWidget* parent = nullptr);

  void ShowPlain(const QString& text, int pointSize);
  // `images`: the message's pictures that the HTML names by their Content-ID.
  void ShowHtml(const QString& html, int pointSize, const std::vector<TInlineImage>& images = {});
  void Clear();

 protected:
  // The browser's own loader, which `setSource` would use, answers nothing either.
  QVariant loadResource(int type, const QUrl& name) override;
  // What a copy or a drag of the selection hands on: its plain text and its HTML. Qt's own adds
  // an OpenDocument text of it, whose writer loads the images the selection names, from the disk
  // too.
  [[nodiscard]] QMimeData* createMimeDataFromSelection() const override;

 private:
  void Prepare(int pointSize);

  TSafeDocument* document_;
};

}  // namespace tarnwell
