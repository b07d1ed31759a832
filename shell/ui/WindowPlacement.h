#pragma once

#include <QPoint>
#include <QRect>
#include <QSize>

class QWidget;

namespace tarnwell {

// Where a window of `window` size goes centred on `owner`; halves are rounded toward zero.
[[nodiscard]] QPoint CentredPosition(const QRect& owner, const QSize& window);

// Where a window of `window` size goes in the corner of the free area `available` of a screen
// with the bounds `screen` that lies next to the panel (the task bar): bottom right when the
// panel is at the bottom or on the right (or there is none), top right when it is at the top,
// bottom left when it is on the left.
[[nodiscard]] QPoint TaskbarCornerPosition(const QRect& screen, const QRect& available,
                                           const QSize& window);

// Centres `window` on the window of `owner`, or on the screen without an owner; nothing while
// `window` has no width.
void CentreOn(QWidget& window, const QWidget* owner);
void CentreOnScreen(QWidget& window);
// Puts `window` in the corner of its screen next to the panel.
void PlaceAtTaskbarCorner(QWidget& window);

}  // namespace tarnwell
