#include "shell/ui/StatusImages.h"

#include <QPainter>
#include <QPixmap>
#include <QSvgRenderer>
#include <array>

// The resources of a static library are registered by hand: nothing else refers to them, so the
// linker would leave their registration out.
static void RegisterStatusImages() {
  [[maybe_unused]] static const bool registered = [] {
    Q_INIT_RESOURCE(StatusImages);
    return true;
  }();
}

namespace tarnwell {

namespace {

constexpr std::array<const char*, kStatusImageCount> kFiles = {
    "possible-spam", "spam",        "complaint-sent", "error-message-sent", "both-sent",
    "friend",        "new-message", "account",        "possible-spam"};

QPixmap Render(QSvgRenderer& renderer, int size) {
  QPixmap pixmap(size, size);
  pixmap.fill(Qt::transparent);
  QPainter painter(&pixmap);
  renderer.render(&painter);
  return pixmap;
}

}  // namespace

QIcon StatusImage(int index) {
  if (index < 0 || index >= kStatusImageCount) return {};
  RegisterStatusImages();
  QSvgRenderer renderer(QStringLiteral(":/status/%1.svg").arg(kFiles[static_cast<size_t>(index)]));
  QIcon icon;
  for (const int size : {16, 32}) icon.addPixmap(Render(renderer, size));
  return icon;
}

}  // namespace tarnwell
