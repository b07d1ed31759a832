#include "filtering/ui/SpeedPopUp.h"

#include <QMenu>
#include <QStyleOptionToolButton>
#include <QStylePainter>
#include <algorithm>

namespace tarnwell {

TSpeedPopUp::TSpeedPopUp(QWidget* parent) : QToolButton(parent), menu_(new QMenu(this)) {
  setText(QStringLiteral("Complain to..."));
  setToolButtonStyle(Qt::ToolButtonTextOnly);
  setPopupMode(QToolButton::InstantPopup);
  setFocusPolicy(Qt::StrongFocus);
  setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
  static const char* const kCaptions[kItemCount] = {"&Sender", "&Reply address", "'&abuse' account",
                                                    "'&postmaster' account",
                                                    "'&webmaster' account"};
  for (int item = 0; item < kItemCount; ++item) {
    QAction* action = menu_->addAction(QString::fromLatin1(kCaptions[item]));
    action->setCheckable(true);
    connect(action, &QAction::triggered, this,
            [this, item](bool checked) { ItemClicked(item, checked); });
    items_[static_cast<size_t>(item)] = action;
  }
  setMenu(menu_);
}

void TSpeedPopUp::SetValue(uint8_t recipients) {
  value_ = recipients;
  for (int item = 0; item < kItemCount; ++item)
    items_[static_cast<size_t>(item)]->setChecked((recipients >> item) & 1u);
}

void TSpeedPopUp::SetItemVisible(int item, bool visible) {
  if (item >= 0 && item < kItemCount) items_[static_cast<size_t>(item)]->setVisible(visible);
}

QSize TSpeedPopUp::sizeHint() const {
  QStyleOptionToolButton option;
  initStyleOption(&option);
  option.features &= ~QStyleOptionToolButton::HasMenu;
  const QSize caption = fontMetrics().size(Qt::TextShowMnemonic, text());
  const QSize fitted =
      style()->sizeFromContents(QStyle::CT_ToolButton, &option, caption + QSize(12, 4), this);
  return fitted.expandedTo(QSize(75, 23));
}

void TSpeedPopUp::paintEvent(QPaintEvent*) {
  QStylePainter painter(this);
  QStyleOptionToolButton option;
  initStyleOption(&option);
  option.features &= ~QStyleOptionToolButton::HasMenu;
  painter.drawComplexControl(QStyle::CC_ToolButton, option);
}

void TSpeedPopUp::ItemClicked(int item, bool checked) {
  const auto bit = static_cast<uint8_t>(1u << item);
  value_ = checked ? static_cast<uint8_t>(value_ | bit) : static_cast<uint8_t>(value_ & ~bit);
  emit OnMenyklikk(item, checked);
}

}  // namespace tarnwell
