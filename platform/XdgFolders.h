#pragma once

#include <string>

namespace tarnwell {

// The user's home folder ($HOME, else the password database), without a trailing "/".
[[nodiscard]] std::string HomeFolder();
// $XDG_DATA_HOME, else ~/.local/share.
[[nodiscard]] std::string XdgDataHome();
// $XDG_CONFIG_HOME, else ~/.config.
[[nodiscard]] std::string XdgConfigHome();
// $XDG_RUNTIME_DIR, or empty when unset.
[[nodiscard]] std::string XdgRuntimeDir();
// A folder of the user-dirs file ("DOCUMENTS", "DESKTOP", …); the home folder when unset.
[[nodiscard]] std::string XdgUserDir(const std::string& name);

}  // namespace tarnwell
