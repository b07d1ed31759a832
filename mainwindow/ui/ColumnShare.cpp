#include "mainwindow/ui/ColumnShare.h"

#include <QEvent>
#include <QHeaderView>
#include <QTreeView>
#include <algorithm>
#include <numeric>

namespace tarnwell {

std::vector<int> SharedWidths(const std::vector<int>& preferred, int available,
                              const std::vector<int>& yielding, int minimum) {
  std::vector<int> widths = preferred;
  if (widths.empty()) return widths;
  int excess = std::accumulate(widths.begin(), widths.end(), 0) - std::max(available, 0);
  for (const int column : yielding) {
    if (excess <= 0) break;
    int& width = widths.at(static_cast<size_t>(column));
    const int given = std::clamp(width - minimum, 0, excess);
    width -= given;
    excess -= given;
  }
  if (excess < 0) widths.back() -= excess;
  return widths;
}

TColumnShare::TColumnShare(QTreeView& list, std::vector<int> yielding)
    : QObject(&list), list_(list), yielding_(std::move(yielding)) {
  // The last column takes the room to spare here, from the preferred widths.
  list_.header()->setStretchLastSection(false);
  list_.viewport()->installEventFilter(this);
  connect(list_.header(), &QHeaderView::sectionResized, this,
          [this](int column, int, int newWidth) { SectionResized(column, newWidth); });
}

void TColumnShare::SetPreferred(std::vector<int> widths) {
  preferred_ = std::move(widths);
  Share();
}

bool TColumnShare::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::Resize) Share();
  return QObject::eventFilter(watched, event);
}

void TColumnShare::Share() {
  SetWidths(SharedWidths(preferred_, list_.viewport()->width(), yielding_, kMinimumWidth));
}

void TColumnShare::SetWidths(const std::vector<int>& widths) {
  setting_ = true;
  for (size_t column = 0; column < widths.size(); ++column)
    list_.header()->resizeSection(static_cast<int>(column), widths[column]);
  setting_ = false;
}

void TColumnShare::SectionResized(int column, int newWidth) {
  if (setting_ || column < 0 || column >= static_cast<int>(preferred_.size())) return;
  preferred_[static_cast<size_t>(column)] = newWidth;
  // The width stands as dragged, the others as they are; only the last column follows, to fill
  // the list.
  std::vector<int> widths;
  for (int i = 0; i < static_cast<int>(preferred_.size()); ++i)
    widths.push_back(list_.header()->sectionSize(i));
  const int others = std::accumulate(widths.begin(), widths.end() - 1, 0);
  widths.back() = std::max(preferred_.back(), list_.viewport()->width() - others);
  SetWidths(widths);
}

}  // namespace tarnwell
