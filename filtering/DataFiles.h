#pragma once

namespace tarnwell {

// Copies every file shipped in the data folder, subfolders included, into the program folder
// where it is missing there. A file already present is never replaced: it may hold the user's
// own changes, such as the blocked countries. False when some file could not be copied or the
// data folder could not be read.
bool InstallDataFiles();

}  // namespace tarnwell
