#include <gtest/gtest.h>

#include <QAction>
#include <QMenu>
#include <QSignalSpy>
#include <QTest>
#include <vector>

#include "filtering/FilterTypes.h"
#include "filtering/ui/SpeedPopUp.h"
#include "tests/ui/UiDriver.h"

namespace tarnwell {
namespace {

// The captions of the menu's items with "[x] " for a checked one, hidden ones left out.
std::vector<std::string> Items(const TSpeedPopUp& button) {
  std::vector<std::string> items;
  for (const QAction* action : button.Menu()->actions())
    if (action->isVisible())
      items.push_back((action->isChecked() ? "[x] " : "[ ] ") + action->text().toStdString());
  return items;
}

TEST(SpeedPopUpTest, TheItemsShowTheValueBitByBit) {
  TSpeedPopUp button;
  EXPECT_EQ(button.text(), QStringLiteral("Complain to..."));
  EXPECT_GE(button.sizeHint().width(), 75);
  EXPECT_GE(button.sizeHint().height(), 23);
  button.SetValue(rcReplyTo | rcPostmaster);
  EXPECT_EQ(button.Value(), rcReplyTo | rcPostmaster);
  EXPECT_EQ(Items(button),
            (std::vector<std::string>{"[ ] &Sender", "[x] &Reply address", "[ ] '&abuse' account",
                                      "[x] '&postmaster' account", "[ ] '&webmaster' account"}));
  // A hidden item keeps its bit.
  button.SetValue(rcSender | rcAbuse);
  button.SetItemVisible(0, false);
  EXPECT_EQ(Items(button),
            (std::vector<std::string>{"[ ] &Reply address", "[x] '&abuse' account",
                                      "[ ] '&postmaster' account", "[ ] '&webmaster' account"}));
  EXPECT_EQ(button.Value(), rcSender | rcAbuse);
}

TEST(SpeedPopUpTest, PressingDropsTheMenuBelowAndAnItemFlipsItsBitAndTellsTheOwner) {
  QWidget owner;
  auto* button = new TSpeedPopUp(&owner);
  button->move(20, 30);
  owner.resize(200, 200);
  owner.show();
  button->SetValue(rcAbuse | rcPostmaster);
  QSignalSpy clicks(button, &TSpeedPopUp::OnMenyklikk);
  bool wasDown = false;
  QPoint menuAt;
  // The menu runs its own loop while it is open; each press picks one item from it.
  const auto pick = [&](int item) {
    test::When([button] { return button->Menu()->isVisible(); },
               [&, item] {
                 wasDown = button->isDown();
                 menuAt = button->Menu()->pos();
                 QMenu* menu = button->Menu();
                 QTest::mouseClick(menu, Qt::LeftButton, Qt::NoModifier,
                                   menu->actionGeometry(menu->actions()[item]).center());
               });
    QTest::mouseClick(button, Qt::LeftButton);
  };

  pick(0);
  EXPECT_TRUE(wasDown);
  EXPECT_EQ(menuAt, button->mapToGlobal(QPoint(0, button->height())));
  EXPECT_FALSE(button->Menu()->isVisible());
  EXPECT_FALSE(button->isDown());
  EXPECT_EQ(button->Value(), rcSender | rcAbuse | rcPostmaster);
  pick(3);
  EXPECT_EQ(button->Value(), rcSender | rcAbuse);
  ASSERT_EQ(clicks.count(), 2);
  EXPECT_EQ(clicks[0], (QList<QVariant>{0, true}));
  EXPECT_EQ(clicks[1], (QList<QVariant>{3, false}));
}

}  // namespace
}  // namespace tarnwell
