#include "platform/XdgFolders.h"

#include <pwd.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>

namespace tarnwell {

namespace {
std::string Env(const char* name) {
  const char* value = std::getenv(name);
  return value ? value : "";
}
}  // namespace

std::string HomeFolder() {
  std::string home = Env("HOME");
  if (home.empty()) {
    if (const passwd* pw = getpwuid(getuid())) home = pw->pw_dir;
  }
  while (home.size() > 1 && home.back() == '/') home.pop_back();
  return home;
}

std::string XdgDataHome() {
  const std::string dir = Env("XDG_DATA_HOME");
  return dir.empty() || dir[0] != '/' ? HomeFolder() + "/.local/share" : dir;
}

std::string XdgConfigHome() {
  const std::string dir = Env("XDG_CONFIG_HOME");
  return dir.empty() || dir[0] != '/' ? HomeFolder() + "/.config" : dir;
}

std::string XdgRuntimeDir() { return Env("XDG_RUNTIME_DIR"); }

std::string XdgUserDir(const std::string& name) {
  // Lines look like: XDG_DOCUMENTS_DIR="$HOME/Documents"
  std::ifstream in(XdgConfigHome() + "/user-dirs.dirs");
  const std::string key = "XDG_" + name + "_DIR=";
  std::string line;
  while (std::getline(in, line)) {
    if (line.compare(0, key.size(), key) != 0) continue;
    std::string value = line.substr(key.size());
    if (value.size() >= 2 && value.front() == '"' && value.back() == '"')
      value = value.substr(1, value.size() - 2);
    if (value.compare(0, 5, "$HOME") == 0) value = HomeFolder() + value.substr(5);
    if (!value.empty() && value[0] == '/') return value;
  }
  return HomeFolder();
}

}  // namespace tarnwell
