#include <gtest/gtest.h>

#include <QImage>
#include <QPixmap>

#include "shell/ui/StatusImages.h"

namespace tarnwell {
namespace {

QImage Shown(int index, int size) {
  return StatusImage(index).pixmap(size, size).toImage().convertToFormat(QImage::Format_ARGB32);
}

// The pixels the picture covers, which is what tells pictures apart by shape.
int CoverDifference(const QImage& a, const QImage& b) {
  int differing = 0;
  for (int y = 0; y < a.height(); ++y)
    for (int x = 0; x < a.width(); ++x)
      if ((qAlpha(a.pixel(x, y)) > 127) != (qAlpha(b.pixel(x, y)) > 127)) ++differing;
  return differing;
}

TEST(StatusImagesTest, NinePicturesOfSixteenPixelsEachOfItsOwnShape) {
  for (int i = 0; i < kStatusImageCount; ++i) {
    const QImage image = Shown(i, 16);
    ASSERT_EQ(image.size(), QSize(16, 16)) << i;
    int covered = 0;
    for (int y = 0; y < 16; ++y)
      for (int x = 0; x < 16; ++x) covered += qAlpha(image.pixel(x, y)) > 127;
    EXPECT_GT(covered, 60) << i;
    EXPECT_EQ(Shown(i, 32).size(), QSize(32, 32)) << i;
  }
  EXPECT_EQ(Shown(siPossibleSpamMessage, 16), Shown(siPossibleSpam, 16));
  for (int i = 0; i < siPossibleSpamMessage; ++i)
    for (int j = i + 1; j < siPossibleSpamMessage; ++j)
      EXPECT_GE(CoverDifference(Shown(i, 16), Shown(j, 16)), 12) << i << " and " << j;
  EXPECT_TRUE(StatusImage(-1).isNull());
  EXPECT_TRUE(StatusImage(kStatusImageCount).isNull());
}

}  // namespace
}  // namespace tarnwell
