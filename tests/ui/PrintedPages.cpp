#include "tests/ui/PrintedPages.h"

#include <gtest/gtest.h>

#include <regex>

#include "tests/support/ChildProcess.h"
#include "tests/support/TestSupport.h"

namespace tarnwell::test {

std::string PdfToolOutput(const std::string& tool, const std::string& pdf,
                          const std::vector<std::string>& options) {
  const std::string out = pdf + "." + tool + ".out";
  std::vector<std::string> command = {"/bin/sh", "-c", "out=$1; shift; exec \"$@\" > \"$out\"",
                                      "sh",      out,  FindProgram(tool)};
  command.insert(command.end(), options.begin(), options.end());
  command.push_back(pdf);
  EXPECT_EQ(RunProgram(command), 0) << tool;
  return ReadFileText(out);
}

std::string PdfText(const std::string& pdf) {
  const std::string out = pdf + ".txt";
  EXPECT_EQ(RunProgram({FindProgram("pdftotext"), pdf, out}), 0);
  return ReadFileText(out);
}

std::vector<TPdfWord> PdfWords(const std::string& pdf) {
  const std::string out = pdf + ".words.html";
  EXPECT_EQ(RunProgram({FindProgram("pdftotext"), "-bbox", pdf, out}), 0);
  const std::string html = ReadFileText(out);
  static const std::regex kWord(
      R"re(<word xMin="([0-9.]+)" yMin="([0-9.]+)" xMax="([0-9.]+)" yMax="([0-9.]+)">([^<]*)</word>)re");
  std::vector<TPdfWord> words;
  for (auto it = std::sregex_iterator(html.begin(), html.end(), kWord);
       it != std::sregex_iterator(); ++it)
    words.push_back({std::stod((*it)[1]), std::stod((*it)[2]), std::stod((*it)[3]),
                     std::stod((*it)[4]), (*it)[5]});
  return words;
}

std::vector<size_t> Positions(const std::string& text, const std::vector<std::string>& texts) {
  std::vector<size_t> positions;
  for (const std::string& part : texts) positions.push_back(text.find(part));
  return positions;
}

bool Ascending(const std::vector<size_t>& positions) {
  for (size_t i = 0; i < positions.size(); ++i)
    if (positions[i] == std::string::npos || (i > 0 && positions[i] < positions[i - 1]))
      return false;
  return true;
}

}  // namespace tarnwell::test
