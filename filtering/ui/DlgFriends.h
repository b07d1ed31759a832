#pragma once

#include <QDialog>
#include <array>
#include <functional>
#include <string>
#include <vector>

#include "filtering/FriendChecks.h"

class QCheckBox;
class QGroupBox;
class QLineEdit;
class QPushButton;
class QRadioButton;

namespace tarnwell {

class TEmail;
class TFilter;
class TFilterList;
class TQtMessageDialogs;

// The message a friend is made from, and what the friend dialog offers to do with it.
struct TFriendSource {
  const TEmail* Message = nullptr;
  // A Killed Mail message: the dialog offers to rescue it, or to restore it when the viewed
  // account restores killed messages in place.
  bool Killed = false;
  bool RestoresInPlace = false;
};

// "Friend Properties": the type of friend and its address. OK checks the entry (the checks the
// command line makes too), keeping the dialog open with the reason when it fails, and writes it
// into the friend filter the dialog was made with; Cancel leaves the filter as it was.
class TFriendsDlg : public QDialog {
  Q_OBJECT

 public:
  // `filter`: the friend to fill, a new one when `adding` (only then must it differ from the
  // friends of `list`). `ownAddresses`: the accounts' addresses, which cannot be friends.
  TFriendsDlg(TFilter& filter, bool adding, const TFilterList& list,
              std::vector<std::string> ownAddresses, TQtMessageDialogs& dialogs,
              QWidget* parent = nullptr, const TFriendSource& source = {});

  // The type chosen and the address as entered.
  [[nodiscard]] TFriendType Type() const;
  [[nodiscard]] QString Address() const;
  // The Message group was shown and its box ticked: the caller rescues the message.
  [[nodiscard]] bool Rescue() const;
  // What "&Help" opens; without it the button is disabled.
  void SetHelp(std::function<void()> help);

  void accept() override;

 private:
  void TypeChosen(TFriendType type);
  [[nodiscard]] QRadioButton* TypeButton(TFriendType type) const;

  TFilter& filter_;
  const bool adding_;
  const TFilterList& list_;
  const std::vector<std::string> ownAddresses_;
  TQtMessageDialogs& dialogs_;
  const bool offersRescue_;
  std::function<void()> help_;
  // What each type shows while the dialog is open, indexed by TFriendType.
  std::array<QString, 3> texts_;
  TFriendType type_ = TFriendType::User;
  QRadioButton* rbUser_;
  QRadioButton* rbDomain_;
  QRadioButton* rbMailingList_;
  QLineEdit* edAddress_;
  QGroupBox* message_;
  QCheckBox* chkRescue_;
  QPushButton* helpButton_;
};

}  // namespace tarnwell
