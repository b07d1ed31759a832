#pragma once

#include <QObject>
#include <vector>

class QTreeView;

namespace tarnwell {

// The widths of columns in `available` pixels: the preferred ones while they fit; else the
// columns of `yielding` give up width in turn, each down to `minimum` (or its preferred width
// when that is smaller), until they fit or have no more to give. The last column takes the room
// to spare.
[[nodiscard]] std::vector<int> SharedWidths(const std::vector<int>& preferred, int available,
                                            const std::vector<int>& yielding, int minimum);

// Shares the width of a list out among its columns. The preferred widths are the user's: those
// set here (the defaults, the stored layout) and those the user drags a column to. As the list
// changes its width, the columns take their SharedWidths; the preferred widths stay as they
// were, so the columns come back to them when the list grows again.
class TColumnShare : public QObject {
  Q_OBJECT

 public:
  static constexpr int kMinimumWidth = 60;

  // `yielding`: the columns that give up width, in turn.
  TColumnShare(QTreeView& list, std::vector<int> yielding);

  void SetPreferred(std::vector<int> widths);
  [[nodiscard]] const std::vector<int>& Preferred() const { return preferred_; }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void Share();
  void SetWidths(const std::vector<int>& widths);
  void SectionResized(int column, int newWidth);

  QTreeView& list_;
  const std::vector<int> yielding_;
  std::vector<int> preferred_;
  // The widths are being set here, not by the user.
  bool setting_ = false;
};

}  // namespace tarnwell
