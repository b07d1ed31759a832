#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace tarnwell::test {

// A word of a printed page as pdftotext finds it, in points from the top left of the page.
struct TPdfWord {
  double xMin, yMin, xMax, yMax;
  std::string text;
  [[nodiscard]] double Height() const { return yMax - yMin; }
};

// What a poppler tool (pdfinfo, pdffonts, pdfimages) writes to its standard output about the
// PDF file `pdf`, its `options` in front of the file's name.
[[nodiscard]] std::string PdfToolOutput(const std::string& tool, const std::string& pdf,
                                        const std::vector<std::string>& options = {});
// The text of the pages in reading order, pages separated by form feeds.
[[nodiscard]] std::string PdfText(const std::string& pdf);
[[nodiscard]] std::vector<TPdfWord> PdfWords(const std::string& pdf);

// Where each of `texts` starts in `text`, npos for those missing.
[[nodiscard]] std::vector<size_t> Positions(const std::string& text,
                                            const std::vector<std::string>& texts);
// Every position was found, each after the one before.
[[nodiscard]] bool Ascending(const std::vector<size_t>& positions);

}  // namespace tarnwell::test
