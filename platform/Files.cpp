#include "platform/Files.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <random>
#include <utility>

#include "platform/Error.h"

namespace tarnwell {

namespace {

TWriteFault& WriteFault() {
  static TWriteFault fault;
  return fault;
}

// The error the seam asks for when `path` is written, or 0.
int InjectedError(const std::string& path) {
  const TWriteFault& fault = WriteFault();
  return fault ? fault(path) : 0;
}

[[noreturn]] void Fail(const std::string& action, const std::string& path) {
  throw TError("Could not " + action + " the file \"" + path + "\": " + std::strerror(errno) + ".");
}

bool WriteAll(int fd, std::string_view data) {
  while (!data.empty()) {
    const ssize_t n = ::write(fd, data.data(), data.size());
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    data.remove_prefix(static_cast<size_t>(n));
  }
  return true;
}

// What the file functions read or gather at a time.
constexpr size_t kPiece = 64 * 1024;

// Writes a temporary file in the target's folder with `write` and renames it over `path`.
void WriteAtomically(const std::string& path, TDurability durability,
                     const std::function<bool(int fd)>& write) {
  static std::mt19937 random{std::random_device{}()};
  const std::string temp = path + ".tmp" + std::to_string(random() % 1000000);
  const int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
  if (fd < 0) Fail("write", path);
  const int injected = InjectedError(path);
  bool ok = injected == 0 && write(fd) && (durability == TDurability::NoSync || ::fsync(fd) == 0);
  int error = injected != 0 ? injected : errno;
  if (::close(fd) != 0 && ok) {
    ok = false;
    error = errno;
  }
  if (ok && ::rename(temp.c_str(), path.c_str()) != 0) {
    ok = false;
    error = errno;
  }
  if (!ok) {
    ::unlink(temp.c_str());
    errno = error;
    Fail("write", path);
  }
}

void WriteWithFlags(const std::string& path, std::string_view data, int flags,
                    const std::string& action) {
  const int fd = ::open(path.c_str(), flags | O_WRONLY | O_CREAT | O_CLOEXEC, 0600);
  if (fd < 0) Fail(action, path);
  if (const int injected = InjectedError(path)) {
    ::close(fd);
    errno = injected;
    Fail(action, path);
  }
  if (!WriteAll(fd, data)) {
    const int saved = errno;
    ::close(fd);
    errno = saved;
    Fail(action, path);
  }
  if (::close(fd) != 0) Fail(action, path);
}

}  // namespace

void SetWriteFault(TWriteFault fault) { WriteFault() = std::move(fault); }

bool ReadWholeFile(const std::string& path, std::string& data) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return false;
  const bool read = ReadWholeDescriptor(fd, data);
  const int error = errno;
  ::close(fd);
  errno = error;
  return read;
}

bool ReadWholeDescriptor(int fd, std::string& data) {
  // Read straight into the string; one byte more than the file's size lets the first read
  // see the end of a file that did not grow.
  struct stat st;
  const size_t expected =
      ::fstat(fd, &st) == 0 && st.st_size > 0 ? static_cast<size_t>(st.st_size) + 1 : 4096;
  data.resize(expected);
  size_t used = 0;
  for (;;) {
    if (used == data.size()) data.resize(data.size() * 2);
    const ssize_t n = ::read(fd, data.data() + used, data.size() - used);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      data.clear();
      return false;
    }
    if (n == 0) break;
    used += static_cast<size_t>(n);
  }
  data.resize(used);
  return true;
}

bool ReadFilePieces(const std::string& path, const std::function<void(std::string_view)>& take) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return false;
  // A small file takes a buffer of its size, one byte more to see its end at the first read.
  struct stat st;
  const size_t size =
      ::fstat(fd, &st) == 0 && st.st_size >= 0 && static_cast<size_t>(st.st_size) < kPiece
          ? static_cast<size_t>(st.st_size) + 1
          : kPiece;
  const auto buffer = std::make_unique_for_overwrite<char[]>(size);
  for (;;) {
    const ssize_t n = ::read(fd, buffer.get(), size);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      const int error = errno;
      ::close(fd);
      errno = error;
      return false;
    }
    if (n == 0) break;
    take(std::string_view(buffer.get(), static_cast<size_t>(n)));
  }
  ::close(fd);
  return true;
}

void WriteFileAtomic(const std::string& path, std::string_view data, TDurability durability) {
  WriteAtomically(path, durability, [data](int fd) { return WriteAll(fd, data); });
}

void WriteFileAtomic(const std::string& path, const std::vector<std::string>& lines,
                     std::string_view separator, TDurability durability) {
  WriteAtomically(path, durability, [&](int fd) {
    // Short lines are gathered into pieces of a sensible size; long ones go out as they are.
    std::string piece;
    piece.reserve(kPiece);
    for (size_t i = 0; i < lines.size(); ++i) {
      const std::string_view line = lines[i];
      const std::string_view end = i + 1 < lines.size() ? separator : std::string_view();
      if (piece.size() + line.size() + end.size() > kPiece) {
        if (!WriteAll(fd, piece)) return false;
        piece.clear();
      }
      if (line.size() >= kPiece) {
        if (!WriteAll(fd, line)) return false;
      } else {
        piece += line;
      }
      piece += end;
    }
    return WriteAll(fd, piece);
  });
}

void SyncFolder(const std::string& folder) {
  const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return;
  ::fsync(fd);
  ::close(fd);
}

bool SyncFileSystemOf(const std::string& path) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return false;
  const bool ok = InjectedError(path) == 0 && ::syncfs(fd) == 0;
  ::close(fd);
  return ok;
}

void WriteFileDirect(const std::string& path, std::string_view data) {
  WriteWithFlags(path, data, O_TRUNC, "write");
}

void AppendFile(const std::string& path, std::string_view data) {
  WriteWithFlags(path, data, O_APPEND, "write");
}

bool FileExists(const std::string& path) {
  struct stat st;
  return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

bool DirectoryExists(const std::string& path) {
  struct stat st;
  return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool CreateDir(const std::string& path) { return ::mkdir(path.c_str(), 0700) == 0; }

bool ForceDirectories(const std::string& path) {
  std::string folder = path;
  while (folder.size() > 1 && folder.back() == '/') folder.pop_back();
  if (folder.empty() || DirectoryExists(folder)) return !folder.empty();
  const size_t slash = folder.rfind('/');
  if (slash != std::string::npos && slash > 0 && !ForceDirectories(folder.substr(0, slash)))
    return false;
  return CreateDir(folder) || DirectoryExists(folder);
}

bool DeleteFileAt(const std::string& path) { return ::unlink(path.c_str()) == 0; }

bool RenameFileNoReplace(const std::string& from, const std::string& to) {
  if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) return true;
  // File systems without the flag: a link cannot replace a file either.
  if (errno != EINVAL && errno != ENOSYS) return false;
  if (::link(from.c_str(), to.c_str()) != 0) return false;
  ::unlink(from.c_str());
  return true;
}

bool IsTemporaryFileOf(std::string_view name, std::string_view target) {
  constexpr std::string_view kTemp = ".tmp";
  if (name.size() <= target.size() + kTemp.size() || !name.starts_with(target)) return false;
  name.remove_prefix(target.size());
  if (!name.starts_with(kTemp)) return false;
  name.remove_prefix(kTemp.size());
  return std::all_of(name.begin(), name.end(), [](char c) { return c >= '0' && c <= '9'; });
}

bool CopyFileIfMissing(const std::string& from, const std::string& to) {
  if (FileExists(to)) return true;
  std::string data;
  if (!ReadWholeFile(from, data)) return false;
  try {
    WriteFileAtomic(to, data);
  } catch (const TError&) {
    return false;
  }
  return true;
}

std::time_t FileModTime(const std::string& path) {
  struct stat st;
  return ::stat(path.c_str(), &st) == 0 ? st.st_mtime : 0;
}

std::vector<std::string> ListFiles(const std::string& folder, std::string_view suffix) {
  std::vector<std::string> names;
  DIR* dir = ::opendir(folder.c_str());
  if (!dir) return names;
  while (const dirent* entry = ::readdir(dir)) {
    const std::string name = entry->d_name;
    if (name.size() < suffix.size() ||
        name.compare(name.size() - suffix.size(), suffix.size(), suffix) != 0)
      continue;
    if (FileExists(IncludeTrailingSlash(folder) + name)) names.push_back(name);
  }
  ::closedir(dir);
  std::sort(names.begin(), names.end());
  return names;
}

std::string IncludeTrailingSlash(std::string folder) {
  while (folder.size() > 1 && folder.back() == '/') folder.pop_back();
  if (folder != "/") folder += '/';
  return folder;
}

std::string ExtractFileName(std::string_view path) {
  const size_t slash = path.rfind('/');
  return std::string(slash == std::string_view::npos ? path : path.substr(slash + 1));
}

std::string ExtractFilePath(std::string_view path) {
  const size_t slash = path.rfind('/');
  return slash == std::string_view::npos ? std::string() : std::string(path.substr(0, slash + 1));
}

}  // namespace tarnwell
