#pragma once

#include <string>
#include <vector>

#include "complaints/Templates.h"
#include "message/DomainLists.h"
#include "platform/Files.h"
#include "shell/LogFile.h"
#include "shell/ProgramFolders.h"
#include "tests/filtering/FilterTestSupport.h"
#include "tests/support/TestSupport.h"

namespace tarnwell::test {

// A program folder of its own with the domain lists loaded and the settings' defaults.
class TComplaintsFolder {
 public:
  TComplaintsFolder() {
    TProgramFolders::SetProgramFolder(dir.Path());
    ForceDirectories(Folder());
    LoadDomainLists(TProgramFolders::DataFolder());
  }
  [[nodiscard]] std::string Folder() const { return TProgramFolders::ComplaintsFolder(); }
  [[nodiscard]] std::string File(const std::string& name) const { return Folder() + name; }

  TTempDir dir;
  TTestSettings settings;
};

// The texts of the program log written while the object lives, without their time stamps.
class TLogCapture {
 public:
  TLogCapture() {
    ProgramLog().SetFileName(dir / "Tarnwell.log");
    ProgramLog().SetEnabled(true);
  }
  ~TLogCapture() { ProgramLog().SetEnabled(false); }
  [[nodiscard]] std::vector<std::string> Texts() const {
    std::vector<std::string> texts;
    for (const std::string& line : ProgramLog().Lines()) {
      const size_t open = line.find(" [");
      if (open != std::string::npos && line.back() == ']')
        texts.push_back(line.substr(open + 2, line.size() - open - 3));
    }
    return texts;
  }

 private:
  TTempDir dir;
};

// A template file in the current format.
inline std::string TemplateText(const std::string& name, const std::string& subject,
                                const std::string& body) {
  return "VERSION=$0232\r\nRESPONSE=N\r\nNAME=" + name +
         "\r\nSENDER=\r\nINCLSUBJECT=N\r\nINCLHEADERS=N\r\nINCLTEXT=N\r\nSUBJECT=" + subject +
         "\r\n\r\n" + body;
}

}  // namespace tarnwell::test
