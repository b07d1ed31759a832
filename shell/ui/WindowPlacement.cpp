#include "shell/ui/WindowPlacement.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>

namespace tarnwell {

namespace {

// The screen the window is on once shown, else the primary one.
QScreen* ScreenOf(const QWidget& window) {
  QScreen* screen = window.screen();
  return screen ? screen : QGuiApplication::primaryScreen();
}

// Placement moves the window's frame. Its size is known once the window exists on the screen
// (on X11 only once the window manager has framed it, after it is shown).
QSize FrameSize(QWidget& window) {
  if (window.isWindow()) window.winId();
  return window.frameGeometry().size();
}

}  // namespace

QPoint CentredPosition(const QRect& owner, const QSize& window) {
  return {owner.left() + owner.width() / 2 - window.width() / 2,
          owner.top() + owner.height() / 2 - window.height() / 2};
}

QPoint TaskbarCornerPosition(const QRect& screen, const QRect& available, const QSize& window) {
  const int right = available.left() + available.width() - window.width();
  const int bottom = available.top() + available.height() - window.height();
  if (available.top() > screen.top()) return {right, available.top()};
  if (available.left() > screen.left()) return {available.left(), bottom};
  return {right, bottom};
}

void CentreOn(QWidget& window, const QWidget* owner) {
  if (!owner) {
    CentreOnScreen(window);
    return;
  }
  if (window.width() == 0) return;
  window.move(CentredPosition(owner->window()->frameGeometry(), FrameSize(window)));
}

void CentreOnScreen(QWidget& window) {
  QScreen* screen = ScreenOf(window);
  if (!screen || window.width() == 0) return;
  window.move(CentredPosition(screen->availableGeometry(), FrameSize(window)));
}

void PlaceAtTaskbarCorner(QWidget& window) {
  QScreen* screen = ScreenOf(window);
  if (!screen) return;
  window.move(
      TaskbarCornerPosition(screen->geometry(), screen->availableGeometry(), FrameSize(window)));
}

}  // namespace tarnwell
