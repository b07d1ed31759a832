#include "filtering/ui/ShownText.h"

#include <algorithm>

#include "message/DisplayText.h"
#include "shell/ui/DisplayText.h"

namespace tarnwell {

TShownText::TShownText(std::string bytes, bool lines) : bytes_(std::move(bytes)) {
  // The characters of the shown text come in the order of their starts.
  const std::vector<size_t> starts = DisplayTextStarts(bytes_);
  const QString shown = DisplayString(bytes_);
  starts_.clear();
  starts_.reserve(static_cast<size_t>(shown.size()) + 1);
  text_.reserve(shown.size());
  const auto byteAt = [this, &starts](size_t k) { return bytes_[starts[k]]; };
  qsizetype unit = 0;
  for (size_t k = 0; k + 1 < starts.size(); ++k) {
    const QChar c = shown.at(unit);
    const qsizetype units = c.isHighSurrogate() ? 2 : 1;
    const bool lineEnd = byteAt(k) == '\r' || byteAt(k) == '\n';
    if (lines && lineEnd) {
      starts_.push_back(starts[k]);
      text_ += QLatin1Char('\n');
      if (byteAt(k) == '\r' && k + 2 < starts.size() && byteAt(k + 1) == '\n') {
        ++k;
        ++unit;
      }
    } else if (!lines && (c.category() == QChar::Other_Control || c == QChar::LineSeparator ||
                          c == QChar::ParagraphSeparator)) {
      starts_.push_back(starts[k]);
      text_ += QLatin1Char(' ');
    } else {
      for (qsizetype i = 0; i < units; ++i) starts_.push_back(starts[k]);
      text_ += shown.mid(unit, units);
    }
    unit += units;
  }
  starts_.push_back(bytes_.size());
}

std::string TShownText::Slice(int from, int to) const {
  const auto unit = [this](int at) {
    return starts_[static_cast<size_t>(std::clamp(at, 0, static_cast<int>(text_.size())))];
  };
  const size_t begin = unit(std::min(from, to));
  return bytes_.substr(begin, unit(std::max(from, to)) - begin);
}

int TShownText::Limit(int start, int end, size_t limit) const {
  const int size = static_cast<int>(text_.size());
  start = std::clamp(start, 0, size);
  end = std::clamp(end, start, size);
  // The last unit up to `end` that starts within the limit.
  const auto first = starts_.begin();
  end = static_cast<int>(std::upper_bound(first + start, first + end + 1,
                                          starts_[static_cast<size_t>(start)] + limit) -
                         first) -
        1;
  while (!IsBoundary(end)) --end;
  return end;
}

bool TShownText::IsBoundary(int unit) const {
  return unit <= 0 || unit >= text_.size() || !text_.at(unit).isLowSurrogate();
}

}  // namespace tarnwell
