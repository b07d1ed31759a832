#include "program/MailboxFiles.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <ctime>

#include "platform/Error.h"
#include "platform/Files.h"

namespace tarnwell {

namespace {

[[noreturn]] void Fail(const std::string& what, const std::string& path) {
  throw TError(what + " \"" + path + "\": " + std::strerror(errno));
}

void WriteAll(int fd, const std::string& data, const std::string& path) {
  for (size_t done = 0; done < data.size();) {
    const ssize_t written = ::write(fd, data.data() + done, data.size() - done);
    if (written < 0 && errno == EINTR) continue;
    if (written <= 0) Fail("Could not write", path);
    done += static_cast<size_t>(written);
  }
}

// The name of a new Maildir message: time, microseconds, process and a count, and the host,
// which together no other delivery gives.
std::string UniqueName() {
  static std::atomic<unsigned> count{0};
  const auto now = std::chrono::system_clock::now().time_since_epoch();
  const auto micro = std::chrono::duration_cast<std::chrono::microseconds>(now).count();
  char host[256] = "localhost";
  ::gethostname(host, sizeof host - 1);
  std::string hostName = host;
  // "/" and ":" would break the name, which the flags follow after a ":".
  for (char& c : hostName)
    if (c == '/' || c == ':') c = '_';
  return std::to_string(micro / 1000000) + ".M" + std::to_string(micro % 1000000) + "P" +
         std::to_string(::getpid()) + "Q" + std::to_string(++count) + "." + hostName;
}

}  // namespace

std::string DeliverToMaildir(const std::string& folder, const std::vector<std::string>& lines) {
  const std::string base = IncludeTrailingSlash(folder);
  for (const char* sub : {"", "tmp", "new", "cur"})
    if (!DirectoryExists(base + sub) && !ForceDirectories(base + sub))
      Fail("Could not make the folder", base + sub);
  std::string data;
  for (const std::string& line : lines) data += line + "\n";
  const std::string name = UniqueName();
  const std::string temporary = base + "tmp/" + name;
  const int fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
  if (fd < 0) Fail("Could not make", temporary);
  try {
    WriteAll(fd, data, temporary);
    if (::fsync(fd) != 0) Fail("Could not write", temporary);
  } catch (...) {
    ::close(fd);
    ::unlink(temporary.c_str());
    throw;
  }
  ::close(fd);
  const std::string delivered = base + "new/" + name;
  if (::rename(temporary.c_str(), delivered.c_str()) != 0) {
    const int error = errno;
    ::unlink(temporary.c_str());
    errno = error;
    Fail("Could not move the message to", delivered);
  }
  return delivered;
}

void AppendToMbox(const std::string& path, const std::string& sender,
                  const std::vector<std::string>& lines) {
  const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_APPEND | O_CLOEXEC, 0600);
  if (fd < 0) Fail("Could not open", path);
  try {
    // Other programs that lock the file wait until the message is there whole.
    if (::flock(fd, LOCK_EX) != 0) Fail("Could not lock", path);
    std::string data;
    // A message starts after an empty line.
    const off_t size = ::lseek(fd, 0, SEEK_END);
    if (size > 0) {
      std::string ending(static_cast<size_t>(std::min<off_t>(size, 2)), '\0');
      if (::pread(fd, ending.data(), ending.size(), size - static_cast<off_t>(ending.size())) !=
          static_cast<ssize_t>(ending.size()))
        Fail("Could not read", path);
      if (ending.back() != '\n')
        data = "\n\n";
      else if (ending != "\n\n" && size > 1)
        data = "\n";
    }
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    char stamp[64];
    std::strftime(stamp, sizeof stamp, "%a %b %e %H:%M:%S %Y", &local);
    data += "From " + (sender.empty() ? std::string("MAILER-DAEMON") : sender) + " " + stamp + "\n";
    for (const std::string& line : lines) {
      const size_t quotes = line.find_first_not_of('>');
      if (quotes != std::string::npos && line.compare(quotes, 5, "From ") == 0) data += '>';
      data += line + "\n";
    }
    data += "\n";
    WriteAll(fd, data, path);
    if (::fsync(fd) != 0) Fail("Could not write", path);
  } catch (...) {
    ::close(fd);
    throw;
  }
  ::close(fd);
}

}  // namespace tarnwell
