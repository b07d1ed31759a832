#include "mainwindow/ui/HotButton.h"

#include <qdrawutil.h>

#include <QPainter>
#include <QStyle>
#include <algorithm>

namespace tarnwell {

namespace {

constexpr int kGlyphTop = 5;
constexpr int kCaptionBottom = 4;
constexpr int kCaptionMargin = 3;

}  // namespace

THotButton::THotButton(QWidget* parent) : QAbstractButton(parent) {
  // The page bar is worked with the mouse and the Alt keys of the window, like a tool bar.
  setFocusPolicy(Qt::NoFocus);
  setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
}

void THotButton::SetGlyph(const QIcon& glyph) {
  glyph_ = glyph;
  update();
}

THotButton::TEdge THotButton::Edge() const {
  if (!isEnabled()) return TEdge::None;
  if (isDown()) return TEdge::Sunken;
  return hot_ ? TEdge::Raised : TEdge::None;
}

QSize THotButton::sizeHint() const {
  const int caption = fontMetrics().horizontalAdvance(QAbstractButton::text().remove('&'));
  return {std::max(kSize, caption + 2 * kCaptionMargin), kSize};
}

void THotButton::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  const TEdge edge = Edge();
  if (edge != TEdge::None) qDrawShadePanel(&painter, rect(), palette(), edge == TEdge::Sunken, 1);
  const int shift = edge == TEdge::Sunken ? 1 : 0;
  const QIcon::Mode mode = isEnabled() ? QIcon::Normal : QIcon::Disabled;
  const QPixmap glyph =
      glyph_.pixmap(QSize(kGlyphSize, kGlyphSize), devicePixelRatioF(), mode, QIcon::Off);
  painter.drawPixmap((width() - kGlyphSize) / 2 + shift, kGlyphTop + shift, glyph);

  const int lineHeight = fontMetrics().height();
  const QRect caption(kCaptionMargin + shift, height() - kCaptionBottom - lineHeight + shift,
                      width() - 2 * kCaptionMargin, lineHeight);
  const bool underline = style()->styleHint(QStyle::SH_UnderlineShortcut, nullptr, this) != 0;
  const int flags = Qt::AlignHCenter | Qt::AlignBottom |
                    (underline ? Qt::TextShowMnemonic : Qt::TextHideMnemonic);
  if (isEnabled()) {
    painter.setPen(palette().color(QPalette::Active, QPalette::ButtonText));
    painter.drawText(caption, flags, text());
    return;
  }
  // Engraved, as disabled captions of the desktop's classic look are.
  painter.setPen(palette().color(QPalette::Light));
  painter.drawText(caption.translated(1, 1), flags, text());
  painter.setPen(palette().color(QPalette::Dark));
  painter.drawText(caption, flags, text());
}

void THotButton::enterEvent(QEnterEvent* event) {
  hot_ = true;
  update();
  QAbstractButton::enterEvent(event);
}

void THotButton::leaveEvent(QEvent* event) {
  hot_ = false;
  update();
  QAbstractButton::leaveEvent(event);
}

}  // namespace tarnwell
