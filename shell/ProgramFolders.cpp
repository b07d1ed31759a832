#include "shell/ProgramFolders.h"

#include <unistd.h>

#include <cstdlib>

#include "platform/Error.h"
#include "platform/Files.h"
#include "platform/XdgFolders.h"

namespace tarnwell {

namespace {
std::string programFolder;

std::string ExecutableFolder() {
  char buffer[4096];
  const ssize_t n = ::readlink("/proc/self/exe", buffer, sizeof buffer - 1);
  if (n <= 0) return "";
  return ExtractFilePath(std::string_view(buffer, static_cast<size_t>(n)));
}
}  // namespace

std::string TProgramFolders::Resolve(const std::optional<std::string>& home) {
  if (home && !home->empty()) return IncludeTrailingSlash(*home);
  if (const char* env = std::getenv("TARNWELL_HOME"); env && *env)
    return IncludeTrailingSlash(env);
  return XdgDataHome() + "/tarnwell/";
}

void TProgramFolders::SetProgramFolder(const std::string& folder) {
  const std::string path = IncludeTrailingSlash(folder);
  if (!ForceDirectories(path))
    throw TError("The program folder \"" + path + "\" cannot be created.");
  programFolder = path;
}

const std::string& TProgramFolders::ProgramFolder() {
  if (programFolder.empty()) SetProgramFolder(Resolve(std::nullopt));
  return programFolder;
}

std::string TProgramFolders::DataFolder() {
  if (const char* env = std::getenv("TARNWELL_DATA_DIR"); env && *env)
    return IncludeTrailingSlash(env);
  const std::string exe = ExecutableFolder();
  if (!exe.empty() && DirectoryExists(exe + "../share/tarnwell")) return exe + "../share/tarnwell/";
  return IncludeTrailingSlash(TARNWELL_SOURCE_DATA_DIR);
}

bool TProgramFolders::InstallDataFile(const std::string& name) {
  const std::string target = ProgramFolder() + name;
  if (FileExists(target)) return true;
  ForceDirectories(ExtractFilePath(target));
  return CopyFileIfMissing(DataFolder() + name, target);
}

std::string ProgramVersion() {
  const std::string full = TARNWELL_VERSION;
  const size_t first = full.find('.');
  const size_t second = first == std::string::npos ? first : full.find('.', first + 1);
  return full.substr(0, second);
}

std::string ProgramVersionFull() { return TARNWELL_VERSION; }

}  // namespace tarnwell
