#pragma once

#include <QIcon>

namespace tarnwell {

// The 16 x 16 status images of the message lists and the pop-up notice, by index.
enum TStatusImage : int {
  siPossibleSpam = 0,
  siSpam = 1,
  siComplaintSent = 2,
  siErrorMessageSent = 3,
  siBothSent = 4,
  siFriend = 5,
  siNewMessage = 6,
  siAccount = 7,
  // The same picture as `siPossibleSpam`.
  siPossibleSpamMessage = 8,
};
inline constexpr int kStatusImageCount = 9;

// The image at `index` (16 pixels, and 32 for screens with twice the density), drawn anew at
// each call; none outside 0 to 8.
[[nodiscard]] QIcon StatusImage(int index);

}  // namespace tarnwell
