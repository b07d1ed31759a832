#include "shell/ui/TrayImages.h"

#include <QColor>
#include <QFont>
#include <QPainter>
#include <QSvgRenderer>
#include <iterator>

// The resources of a static library are registered by hand, outside any namespace.
static void InitTrayImageResources() { Q_INIT_RESOURCE(TrayImages); }

namespace tarnwell {

namespace {

struct TPanel {
  const char* name;
  QColor ground;
  QColor text;
};

}  // namespace

QString TrayImageName(TTrayImage image) {
  switch (image) {
    case TTrayImage::Normal: return QStringLiteral("icnNormal");
    case TTrayImage::NewMail: return QStringLiteral("icnNewMail");
    case TTrayImage::NewPossible: return QStringLiteral("icnNewPossible");
    case TTrayImage::Suspend: return QStringLiteral("icnSuspend");
    case TTrayImage::NewSpam: return QStringLiteral("icnNewSpam");
    case TTrayImage::Checking: return QStringLiteral("icnChecking");
  }
  return QStringLiteral("icnNormal");
}

QImage RenderTrayImage(TTrayImage image, int size) {
  [[maybe_unused]] static const bool registered = (InitTrayImageResources(), true);
  QSvgRenderer renderer(QStringLiteral(":/tray/%1.svg").arg(TrayImageName(image)));
  QImage result(size, size, QImage::Format_ARGB32_Premultiplied);
  result.fill(Qt::transparent);
  QPainter painter(&result);
  painter.setRenderHint(QPainter::Antialiasing);
  renderer.render(&painter);
  return result;
}

QImage RenderTraySheet() {
  constexpr int kSizes[] = {22, 32};
  constexpr int kCell = 112;
  constexpr int kLabel = 24;
  constexpr int kRowHeight = 48;
  constexpr int kMargin = 96;
  const TPanel panels[] = {{"light", QColor(0xe8, 0xe8, 0xe7), QColor(0x20, 0x20, 0x20)},
                           {"dark", QColor(0x2b, 0x2e, 0x33), QColor(0xf0, 0xf0, 0xf0)}};
  const int columns = static_cast<int>(std::size(kTrayImages));
  const int rows = static_cast<int>(std::size(panels) * std::size(kSizes));
  QImage sheet(kCell * columns + kMargin, kLabel + rows * kRowHeight,
               QImage::Format_ARGB32_Premultiplied);
  sheet.fill(Qt::white);
  QPainter painter(&sheet);
  QFont font = painter.font();
  font.setPixelSize(12);
  painter.setFont(font);
  painter.setPen(Qt::black);
  for (int c = 0; c < columns; ++c)
    painter.drawText(QRect(kMargin + c * kCell, 0, kCell, kLabel), Qt::AlignCenter,
                     TrayImageName(kTrayImages[c]));
  int top = kLabel;
  for (const TPanel& panel : panels) {
    for (const int size : kSizes) {
      const QRect row(0, top, sheet.width(), kRowHeight);
      painter.fillRect(row, panel.ground);
      painter.setPen(panel.text);
      painter.drawText(row.adjusted(6, 0, 0, 0), Qt::AlignVCenter | Qt::AlignLeft,
                       QStringLiteral("%1 px, %2").arg(size).arg(QLatin1String(panel.name)));
      for (int c = 0; c < columns; ++c) {
        const QPoint at(kMargin + c * kCell + (kCell - size) / 2, top + (kRowHeight - size) / 2);
        painter.drawImage(at, RenderTrayImage(kTrayImages[c], size));
      }
      top += kRowHeight;
    }
  }
  return sheet;
}

}  // namespace tarnwell
