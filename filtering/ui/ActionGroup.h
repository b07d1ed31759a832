#pragma once

#include <QGroupBox>
#include <cstdint>

class QComboBox;

namespace tarnwell {

class TSpeedPopUp;

// What a filter does with the messages it catches: `cbReaction` with the actions "Accept" to
// "Kill after error message", and `spuComplainTo` with whom complaints or error messages go to.
// Choosing "Kill after complaining" or "Kill after error message" starts from the settings'
// recipients for it; the button serves those two actions only, captioned "Send to..." for
// error messages.
class TActionGroup : public QGroupBox {
  Q_OBJECT

 public:
  explicit TActionGroup(const QString& title, QWidget* parent = nullptr);

  // Shows the filter's action and recipients as they are.
  void Load(uint8_t action, uint8_t recipients);
  // The action chosen; the loaded one while none of the list is (an action the list lacks).
  [[nodiscard]] uint8_t Action() const;
  [[nodiscard]] uint8_t Recipients() const;
  [[nodiscard]] QComboBox* Reactions() const { return reactions_; }
  [[nodiscard]] TSpeedPopUp* ComplainTo() const { return complainTo_; }

 private:
  void ActionChosen();
  void ShowRecipientsButton();

  QComboBox* reactions_;
  TSpeedPopUp* complainTo_;
  uint8_t loaded_ = 0;
};

}  // namespace tarnwell
