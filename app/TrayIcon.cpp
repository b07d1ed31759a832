#include "app/TrayIcon.h"

namespace tarnwell {

void TMemoryTrayIcon::SetBase(TTrayImage image) {
  if (images_.empty())
    images_.push_back(image);
  else
    images_.front() = image;
}

void TMemoryTrayIcon::Pop() {
  if (!images_.empty()) images_.pop_back();
}

TTrayImage TMemoryTrayIcon::Top() const {
  return images_.empty() ? TTrayImage::Normal : images_.back();
}

}  // namespace tarnwell
