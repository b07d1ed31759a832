#pragma once

#include <cstdint>
#include <ctime>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace tarnwell {

// A fault seam for tests: when set, it is asked before every write of a file (and every flush of
// a file system, with the path flushed) and a non-zero result makes that write fail with the
// result as the system's error number (ENOSPC for a full disk, for example). Pass nullptr to
// remove it.
using TWriteFault = std::function<int(const std::string& path)>;
void SetWriteFault(TWriteFault fault);

// Reads a whole file; false when it cannot be read.
bool ReadWholeFile(const std::string& path, std::string& data);
// Reads what is left to read from an open descriptor (a pipe too), leaving it open; false, with
// `errno` set, when a read fails.
bool ReadWholeDescriptor(int fd, std::string& data);
// Reads a file piece by piece, calling `take` with each, so that it is never in memory whole;
// false when it cannot be opened or a read fails (after the pieces read until then).
bool ReadFilePieces(const std::string& path, const std::function<void(std::string_view)>& take);
enum class TDurability { Sync, NoSync };
// Writes `data` to a temporary file in the target's folder and renames it over `path`, so that
// a crash leaves either the old or the new file, never a half-written one. With `Sync` the data
// reaches the disk before the rename. Raises TError with the file name on failure.
void WriteFileAtomic(const std::string& path, std::string_view data,
                     TDurability durability = TDurability::Sync);
// The same with `lines` joined by `separator` as the data, without joining them in memory.
void WriteFileAtomic(const std::string& path, const std::vector<std::string>& lines,
                     std::string_view separator, TDurability durability = TDurability::Sync);
// Flushes a folder's entries (renames, new files) to disk.
void SyncFolder(const std::string& folder);
// Flushes everything written to the file system that holds `path` (data and entries); false
// when the path cannot be opened or the system reports a write error.
bool SyncFileSystemOf(const std::string& path);
// Writes `data` in place (for files that may be lost, such as logs). Raises TError on failure.
void WriteFileDirect(const std::string& path, std::string_view data);
// Appends to a file, creating it. Raises TError on failure.
void AppendFile(const std::string& path, std::string_view data);

[[nodiscard]] bool FileExists(const std::string& path);
[[nodiscard]] bool DirectoryExists(const std::string& path);
// Creates one folder; false when it exists or cannot be made.
bool CreateDir(const std::string& path);
// Creates a folder with its missing parents; false on failure.
bool ForceDirectories(const std::string& path);
bool DeleteFileAt(const std::string& path);
// Renames a file unless `to` exists; false when it exists or the rename fails.
bool RenameFileNoReplace(const std::string& from, const std::string& to);
// Whether `name` is that of a temporary file left by WriteFileAtomic for a file named `target`.
[[nodiscard]] bool IsTemporaryFileOf(std::string_view name, std::string_view target);
// Copies a file unless the target exists; false on failure.
bool CopyFileIfMissing(const std::string& from, const std::string& to);
// Modification time; 0 when the file is missing.
[[nodiscard]] std::time_t FileModTime(const std::string& path);
// Names (not paths) of the regular files in `folder` whose names end with `suffix`, sorted.
[[nodiscard]] std::vector<std::string> ListFiles(const std::string& folder,
                                                 std::string_view suffix);
// `folder` with exactly one trailing "/".
[[nodiscard]] std::string IncludeTrailingSlash(std::string folder);
[[nodiscard]] std::string ExtractFileName(std::string_view path);
[[nodiscard]] std::string ExtractFilePath(std::string_view path);

}  // namespace tarnwell
