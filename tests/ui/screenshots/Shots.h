#pragma once

#include <string>

class QImage;
class QWidget;

namespace tarnwell::shots {

// Writes `image` as NAME.png into the pictures' folder.
void Save(const QImage& image, const std::string& name);
// The window as it shows, frame left out: offscreen there is no window manager to draw one.
void Shoot(QWidget& window, const std::string& name);

// A set of pictures kept in a file of its own: a static instance adds it to the run, which
// takes the sets in the order of their names after the pictures of Screenshots.cpp.
struct TShotSet {
  TShotSet(const char* name, void (*shoot)());
};

}  // namespace tarnwell::shots
