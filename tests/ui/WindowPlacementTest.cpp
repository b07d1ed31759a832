#include <gtest/gtest.h>

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>

#include "shell/ui/WindowPlacement.h"

namespace tarnwell {
namespace {

TEST(WindowPlacementTest, CentredPositionHalvesTowardZero) {
  struct TCase {
    QRect owner;
    QSize window;
    QPoint expected;
  };
  const TCase cases[] = {
      {{100, 50, 400, 300}, {200, 100}, {200, 150}},
      // 401 / 2 = 200 and 201 / 2 = 100: both halves drop their remainder.
      {{100, 50, 401, 301}, {201, 101}, {200, 150}},
      {{-300, -200, 3, 5}, {2, 2}, {-300, -199}},
      // A window larger than its owner hangs over it on both sides.
      {{0, 0, 100, 100}, {300, 50}, {-100, 25}},
  };
  for (const TCase& c : cases)
    EXPECT_EQ(CentredPosition(c.owner, c.window), c.expected) << c.owner.x() << "," << c.owner.y();
}

TEST(WindowPlacementTest, TaskbarCornerFollowsThePanel) {
  const QSize window(300, 200);
  const QRect screen(0, 0, 1920, 1080);
  struct TCase {
    const char* panel;
    QRect screen;
    QRect available;
    QPoint expected;
  };
  const TCase cases[] = {
      {"bottom", screen, {0, 0, 1920, 1040}, {1620, 840}},
      {"right", screen, {0, 0, 1860, 1080}, {1560, 880}},
      {"top", screen, {0, 40, 1920, 1040}, {1620, 40}},
      {"left", screen, {60, 0, 1860, 1080}, {60, 880}},
      {"none", screen, screen, {1620, 880}},
      {"bottom of a second screen", {1920, 0, 1280, 1024}, {1920, 0, 1280, 984}, {2900, 784}},
      {"left of a screen above", {0, -900, 1600, 900}, {48, -900, 1552, 900}, {48, -200}},
  };
  for (const TCase& c : cases)
    EXPECT_EQ(TaskbarCornerPosition(c.screen, c.available, window), c.expected) << c.panel;
}

TEST(WindowPlacementTest, WidgetsAreMovedByTheirFrameAndNotWithoutWidth) {
  QWidget owner;
  owner.setGeometry(100, 100, 400, 300);
  QWidget window;
  window.setGeometry(0, 0, 200, 100);
  // The window's frame is what is centred.
  CentreOn(window, &owner);
  EXPECT_EQ(window.frameGeometry().topLeft(),
            CentredPosition(owner.frameGeometry(), window.frameGeometry().size()));

  // A child widget stands for its window.
  auto* child = new QWidget(&owner);
  child->setGeometry(0, 0, 10, 10);
  window.move(0, 0);
  CentreOn(window, child);
  EXPECT_EQ(window.frameGeometry().topLeft(),
            CentredPosition(owner.frameGeometry(), window.frameGeometry().size()));

  QWidget empty;
  empty.setGeometry(7, 9, 0, 50);
  CentreOn(empty, &owner);
  EXPECT_EQ(empty.pos(), QPoint(7, 9));
  CentreOnScreen(empty);
  EXPECT_EQ(empty.pos(), QPoint(7, 9));

  const QScreen* screen = QGuiApplication::primaryScreen();
  ASSERT_NE(screen, nullptr);
  // The offscreen screen has no panel.
  const QRect free = screen->availableGeometry();
  PlaceAtTaskbarCorner(window);
  EXPECT_EQ(window.frameGeometry().bottomRight(), free.bottomRight());
  const QPoint middle = CentredPosition(free, window.frameGeometry().size());
  CentreOnScreen(window);
  EXPECT_EQ(window.frameGeometry().topLeft(), middle);
  window.move(0, 0);
  CentreOn(window, nullptr);
  EXPECT_EQ(window.frameGeometry().topLeft(), middle);
}

}  // namespace
}  // namespace tarnwell
