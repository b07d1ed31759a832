#pragma once

#include <QImage>
#include <QString>

#include "app/TrayIcon.h"

namespace tarnwell {

// The six tray images in the order of their tags.
inline constexpr TTrayImage kTrayImages[] = {
    TTrayImage::Normal,  TTrayImage::NewMail, TTrayImage::NewPossible,
    TTrayImage::Suspend, TTrayImage::NewSpam, TTrayImage::Checking,
};

// The image's name in the program: "icnNormal", "icnNewMail", ...
[[nodiscard]] QString TrayImageName(TTrayImage image);

// The image drawn from its vector picture, `size` pixels square, on a transparent ground.
[[nodiscard]] QImage RenderTrayImage(TTrayImage image, int size);

// The six images at 22 and 32 pixels on a light and on a dark panel, with their names.
[[nodiscard]] QImage RenderTraySheet();

}  // namespace tarnwell
