#pragma once

#include <QString>
#include <string>
#include <vector>

namespace tarnwell {

// Bytes of a message shown in an edit, with where each UTF-16 unit of the shown text begins in
// them: a selection in the edit maps back to the very bytes it shows, whatever their charset.
class TShownText {
 public:
  TShownText() = default;
  // With `lines`, CR LF, CR and LF each show as one line break; without, control characters show
  // as blanks and the text stays on one line.
  TShownText(std::string bytes, bool lines);

  [[nodiscard]] const QString& Text() const { return text_; }
  [[nodiscard]] const std::string& Bytes() const { return bytes_; }
  // The bytes that the units between `from` and `to` (either first) show.
  [[nodiscard]] std::string Slice(int from, int to) const;
  // `end` moved back toward `start` until the units between them show at most `limit` bytes,
  // splitting no character.
  [[nodiscard]] int Limit(int start, int end, size_t limit) const;

 private:
  [[nodiscard]] bool IsBoundary(int unit) const;

  std::string bytes_;
  QString text_;
  // One per unit of the text, and the size of the bytes last.
  std::vector<size_t> starts_{0};
};

}  // namespace tarnwell
