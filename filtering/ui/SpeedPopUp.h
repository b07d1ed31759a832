#pragma once

#include <QToolButton>
#include <array>
#include <cstdint>

class QAction;
class QMenu;

namespace tarnwell {

// The recipients pop-up button: pressing it drops a menu below it with one checkable item per
// recipient bit (item n is bit n of the value). Clicking an item flips its check and its bit
// and reports both through `OnMenyklikk`; the button is up again once the menu closes.
class TSpeedPopUp : public QToolButton {
  Q_OBJECT

 public:
  static constexpr int kItemCount = 5;

  explicit TSpeedPopUp(QWidget* parent = nullptr);

  [[nodiscard]] uint8_t Value() const { return value_; }
  // Checks the items as the bits of `recipients` say.
  void SetValue(uint8_t recipients);
  // Shows or hides one item; its bit stays as it is.
  void SetItemVisible(int item, bool visible);
  [[nodiscard]] QMenu* Menu() const { return menu_; }

  // At least 75 x 23 pixels, wider when the caption needs it.
  [[nodiscard]] QSize sizeHint() const override;
  [[nodiscard]] QSize minimumSizeHint() const override { return sizeHint(); }

 signals:
  void OnMenyklikk(int item, bool checked);

 protected:
  // A plain button: the menu it drops is no reason to draw an arrow.
  void paintEvent(QPaintEvent* event) override;

 private:
  void ItemClicked(int item, bool checked);

  QMenu* menu_;
  std::array<QAction*, kItemCount> items_{};
  uint8_t value_ = 0;
};

}  // namespace tarnwell
