#include "app/UserInterface.h"

namespace tarnwell {

namespace {
TUserInterface* installedInterface = nullptr;
}  // namespace

void TWindowlessInterface::TraySetBase(TTrayImage image) {
  if (tray_.empty())
    tray_.push_back(image);
  else
    tray_.front() = image;
}

void TWindowlessInterface::TrayPop() {
  if (!tray_.empty()) tray_.pop_back();
}

TTrayImage TWindowlessInterface::TrayTop() const {
  return tray_.empty() ? TTrayImage::Normal : tray_.back();
}

TUserInterface& UserInterface() {
  static TWindowlessInterface windowless;
  return installedInterface ? *installedInterface : windowless;
}

void InstallUserInterface(TUserInterface* ui) { installedInterface = ui; }

}  // namespace tarnwell
