#include "filtering/DataFiles.h"

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "shell/ProgramFolders.h"

namespace tarnwell {

bool InstallDataFiles() {
  namespace fs = std::filesystem;
  const fs::path root = TProgramFolders::DataFolder();
  std::error_code error;
  std::vector<std::string> names;
  for (fs::recursive_directory_iterator it(root, error), end; !error && it != end;
       it.increment(error)) {
    if (it->is_regular_file(error)) names.push_back(it->path().lexically_relative(root).string());
  }
  if (error) return false;
  std::ranges::sort(names);
  bool ok = true;
  for (const std::string& name : names) ok = TProgramFolders::InstallDataFile(name) && ok;
  return ok;
}

}  // namespace tarnwell
