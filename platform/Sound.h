#pragma once

#include <string>

struct ca_context;

namespace tarnwell {

// Plays sound files without waiting for them to end.
class TSoundPlayer {
 public:
  virtual ~TSoundPlayer() = default;
  // Starts playing the wave file at `path`; false when it could not be started. Never raises.
  virtual bool PlayFile(const std::string& path) = 0;

  // The player of the program (the system's sound service unless another was installed).
  static TSoundPlayer& Current();
  // Installs `player` (nullptr restores the default). The caller keeps ownership.
  static void Install(TSoundPlayer* player);
};

// The desktop's sound service through libcanberra. Without a sound system, or when the file
// cannot be played, it stays silent.
class TCanberraPlayer : public TSoundPlayer {
 public:
  TCanberraPlayer() = default;
  ~TCanberraPlayer() override;
  TCanberraPlayer(const TCanberraPlayer&) = delete;
  TCanberraPlayer& operator=(const TCanberraPlayer&) = delete;
  bool PlayFile(const std::string& path) override;

 private:
  ::ca_context* context_ = nullptr;
  bool unavailable_ = false;
};

// Plays `path` on the current player, asynchronously; failures are silent.
void PlaySoundFile(const std::string& path);

}  // namespace tarnwell
