#include <gtest/gtest.h>

#include <QApplication>
#include <QEnterEvent>
#include <QImage>
#include <QStyle>

#include "mainwindow/ui/HotButton.h"
#include "shell/ui/StatusImages.h"

namespace tarnwell {
namespace {

QImage Draw(THotButton& button) { return button.grab().toImage(); }

TEST(HotButtonTest, TheEdgeRisesUnderTheMouseSinksWhenPressedAndNeverShowsDisabled) {
  THotButton button;
  button.setText(QStringLiteral("&Killed Mail"));
  button.SetGlyph(StatusImage(siSpam));
  button.show();
  EXPECT_EQ(button.sizeHint().height(), THotButton::kSize);
  EXPECT_GE(button.sizeHint().width(), THotButton::kSize);
  EXPECT_GE(button.sizeHint().width(),
            button.fontMetrics().horizontalAdvance(QStringLiteral("Killed Mail")));
  EXPECT_EQ(button.Edge(), THotButton::TEdge::None);

  QEnterEvent enter(QPointF(5, 5), QPointF(5, 5), QPointF(5, 5));
  QApplication::sendEvent(&button, &enter);
  EXPECT_EQ(button.Edge(), THotButton::TEdge::Raised);
  button.setDown(true);
  EXPECT_EQ(button.Edge(), THotButton::TEdge::Sunken);
  button.setDown(false);
  button.setEnabled(false);
  EXPECT_EQ(button.Edge(), THotButton::TEdge::None);
  QEvent leave(QEvent::Leave);
  button.setEnabled(true);
  QApplication::sendEvent(&button, &leave);
  EXPECT_EQ(button.Edge(), THotButton::TEdge::None);
}

TEST(HotButtonTest, PressingShiftsGlyphAndCaptionByAPixelAndDisablingGreysThem) {
  THotButton button;
  button.setText(QStringLiteral("Live &Mail"));
  button.SetGlyph(StatusImage(siFriend));
  button.resize(button.sizeHint());
  const QImage normal = Draw(button);
  button.setDown(true);
  const QImage pressed = Draw(button);
  button.setDown(false);
  // Inside the edges the pressed button is the normal one moved right and down by one pixel.
  const QRect inside(2, 2, normal.width() - 4, normal.height() - 4);
  EXPECT_EQ(pressed.copy(inside), normal.copy(inside.translated(-1, -1)));
  EXPECT_NE(pressed.copy(inside), normal.copy(inside));

  button.setEnabled(false);
  const QImage disabled = Draw(button);
  EXPECT_NE(disabled.copy(inside), normal.copy(inside));
  // Disabled, nothing of the glyph's green is left.
  bool green = false;
  for (int y = 0; y < disabled.height(); ++y)
    for (int x = 0; x < disabled.width(); ++x) {
      const QColor c = disabled.pixelColor(x, y);
      green = green || (c.green() > c.red() + 40 && c.green() > c.blue() + 40);
    }
  EXPECT_FALSE(green);
}

}  // namespace
}  // namespace tarnwell
