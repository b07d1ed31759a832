#pragma once

#include <optional>
#include <string>

namespace tarnwell {

// The program folder holds every file and folder of the program's own: the store, the logs,
// the data files and the account folders. Paths carry a trailing "/".
class TProgramFolders {
 public:
  // `--home DIR`, else $TARNWELL_HOME, else $XDG_DATA_HOME/tarnwell.
  static std::string Resolve(const std::optional<std::string>& home);
  // Sets the program folder, creating it when missing; raises TError when it cannot be made.
  static void SetProgramFolder(const std::string& folder);

  static const std::string& ProgramFolder();
  static std::string AccountsFolder() { return ProgramFolder() + "Accounts/"; }
  static std::string ComplaintsFolder() { return ProgramFolder() + "Complaints/"; }
  static std::string SoundsFolder() { return ProgramFolder() + "Sounds/"; }
  static std::string UpdatesFolder() { return ProgramFolder() + "Updates/"; }

  // The folder of the files shipped with the program: $TARNWELL_DATA_DIR, else the installed
  // share/tarnwell beside the executable's folder, else the source tree's data/.
  static std::string DataFolder();
  // Copies the shipped file `name` (a path below the data folder) into the program folder when
  // it is missing there; false when it could not be copied.
  static bool InstallDataFile(const std::string& name);
};

// "major.minor", and the four-part version for the About box.
[[nodiscard]] std::string ProgramVersion();
[[nodiscard]] std::string ProgramVersionFull();

}  // namespace tarnwell
