#include "platform/Sound.h"

#include <canberra.h>

namespace tarnwell {

namespace {
TSoundPlayer* installedPlayer = nullptr;
}  // namespace

TSoundPlayer& TSoundPlayer::Current() {
  static TCanberraPlayer systemPlayer;
  return installedPlayer ? *installedPlayer : systemPlayer;
}

void TSoundPlayer::Install(TSoundPlayer* player) { installedPlayer = player; }

TCanberraPlayer::~TCanberraPlayer() {
  if (context_) ca_context_destroy(context_);
}

bool TCanberraPlayer::PlayFile(const std::string& path) {
  if (path.empty() || unavailable_) return false;
  if (!context_) {
    if (ca_context_create(&context_) != CA_SUCCESS) {
      context_ = nullptr;
      unavailable_ = true;
      return false;
    }
    // Without a sound system the open fails; we then stop trying for the rest of the run.
    if (ca_context_open(context_) != CA_SUCCESS) {
      ca_context_destroy(context_);
      context_ = nullptr;
      unavailable_ = true;
      return false;
    }
  }
  // Like the system sound of other desktops, a new sound stops the one still playing.
  ca_context_cancel(context_, 1);
  return ca_context_play(context_, 1, CA_PROP_MEDIA_FILENAME, path.c_str(),
                         CA_PROP_CANBERRA_CACHE_CONTROL, "never", nullptr) == CA_SUCCESS;
}

void PlaySoundFile(const std::string& path) {
  try {
    TSoundPlayer::Current().PlayFile(path);
  } catch (...) {
  }
}

}  // namespace tarnwell
