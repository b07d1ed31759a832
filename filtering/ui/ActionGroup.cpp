#include "filtering/ui/ActionGroup.h"

#include <QComboBox>
#include <QHBoxLayout>

#include "filtering/FilterChecks.h"
#include "filtering/FilterTypes.h"
#include "filtering/ui/SpeedPopUp.h"

namespace tarnwell {

TActionGroup::TActionGroup(const QString& title, QWidget* parent)
    : QGroupBox(title, parent),
      reactions_(new QComboBox(this)),
      complainTo_(new TSpeedPopUp(this)) {
  setObjectName(QStringLiteral("gbReaction"));
  reactions_->setObjectName(QStringLiteral("cbReaction"));
  complainTo_->setObjectName(QStringLiteral("spuComplainTo"));
  for (const uint8_t action : kFilterActions)
    reactions_->addItem(QString::fromStdString(ActionName(action)), action);
  reactions_->setSizeAdjustPolicy(QComboBox::AdjustToContents);
  auto* layout = new QHBoxLayout(this);
  layout->addWidget(reactions_, 1);
  layout->addWidget(complainTo_);
  connect(reactions_, &QComboBox::currentIndexChanged, this, &TActionGroup::ActionChosen);
  ShowRecipientsButton();
}

void TActionGroup::Load(uint8_t action, uint8_t recipients) {
  loaded_ = action;
  {
    const QSignalBlocker quiet(reactions_);
    reactions_->setCurrentIndex(reactions_->findData(action));
  }
  complainTo_->SetValue(recipients);
  ShowRecipientsButton();
}

uint8_t TActionGroup::Action() const {
  const QVariant chosen = reactions_->currentData();
  return chosen.isValid() ? static_cast<uint8_t>(chosen.toUInt()) : loaded_;
}

uint8_t TActionGroup::Recipients() const { return complainTo_->Value(); }

void TActionGroup::ActionChosen() {
  complainTo_->SetValue(RecipientsForAction(Action(), complainTo_->Value()));
  ShowRecipientsButton();
}

void TActionGroup::ShowRecipientsButton() {
  const uint8_t action = Action();
  complainTo_->setText(action == acKillAfterErrorMessage ? QStringLiteral("Send to...")
                                                         : QStringLiteral("Complain to..."));
  complainTo_->setEnabled(action == acKillAfterComplaint || action == acKillAfterErrorMessage);
}

}  // namespace tarnwell
