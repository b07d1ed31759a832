#pragma once

#include <QString>
#include <string>
#include <vector>

class QPrinter;

namespace tarnwell {

class TEmail;

// Prints messages of the message pages. With `Details` a message prints as its header lines, an
// empty line and its text as stored, in the printer font inside a half-inch border; without, as
// a short block of From, To, Subject and Date above its text, an HTML text drawn as HTML at
// 125 %. Nothing a message's HTML points at is fetched.
class TPrintOut {
 public:
  explicit TPrintOut(bool details) : Details(details) {}

  // One print job titled "Halvora Tarnwell": each message loaded, printed from a new page and
  // released, in the given order. Raises when the printer cannot be started.
  void Print(QPrinter& printer, const std::vector<TEmail*>& messages) const;

  bool Details;
};

// The short block above a message printed without details, its last line empty.
[[nodiscard]] std::vector<QString> HeaderBlockLines(const TEmail& message);
// The block as HTML in the printer font: each line escaped and ended by a line break.
[[nodiscard]] QString HeaderBlockHtml(const std::vector<QString>& lines, const QString& fontFace);
// `html` with `block` right after its opening body tag, or in front without one.
[[nodiscard]] QString InsertAfterBodyTag(const QString& html, const QString& block);

}  // namespace tarnwell
