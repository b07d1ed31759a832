#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace tarnwell {

class TAccount;
class TAccountList;
class TFilterList;

// Answers of the confirmation dialogs.
enum TConfirmAnswer : int {
  caYes = 1,
  caNo = 2,
  // The timed confirmation closed itself after 30 seconds without an answer.
  caUnanswered = 3,
};

// The tray images, by their tags.
enum class TTrayImage : uint8_t {
  Normal = 1,
  NewMail = 2,
  NewPossible = 3,
  Suspend = 4,
  NewSpam = 5,
  Checking = 6,
};

enum class TWizardResult {
  Ok,
  Cancelled,
  // This front end cannot run the wizard; it has told the user what to do instead.
  Unavailable,
};

// The items of the tray menu as they are when it opens.
struct TTrayMenuState {
  bool OpenEnabled = false;
  // One item per active account, in list order.
  std::vector<std::string> CheckNowItems;
  bool CheckNowEnabled = false;
  bool CheckAllEnabled = false;
  bool SuspendChecked = false;
  bool SuspendEnabled = false;
  bool EmailProgramEnabled = false;
  bool AboutEnabled = false;
  bool ExitEnabled = false;
};

// Everything the core asks of a user interface. The desktop front end shows windows; the
// console front end prints to standard error and asks on the terminal. Dialogs are modal: they
// return when the user has answered, and let the program's events run meanwhile. Texts break
// lines at "\r".
class TUserInterface {
 public:
  virtual ~TUserInterface() = default;

  // Message dialogs, captioned "Halvora Tarnwell".
  virtual void ShowInfo(const std::string& text) = 0;
  virtual void ShowWarning(const std::string& text) = 0;
  // The warning dialog with the error icon.
  virtual void ShowError(const std::string& text) = 0;
  // Yes (1) or No (2); closing the dialog answers No.
  virtual int Confirm(const std::string& text) = 0;
  // As `Confirm`, but after 30 seconds without an answer the dialog closes itself with 3.
  virtual int ConfirmTimed(const std::string& text) = 0;
  // The About box with "Version" and the program's version; `fromTray` places it at the
  // corner next to the task bar rather than centred.
  virtual void ShowAbout(const std::string& versionText, bool fromTray) = 0;
  [[nodiscard]] virtual bool IsAboutShowing() const = 0;

  // The tray icon: a stack of images with the base image at the bottom; the top one shows,
  // blinking when its level was set to blink.
  virtual void TraySetBase(TTrayImage image) = 0;
  // Puts the image on top; its level does not blink.
  virtual void TrayPush(TTrayImage image) = 0;
  // Takes the top image off, when there is one.
  virtual void TrayPop() = 0;
  virtual void TraySetBlink(bool on) = 0;
  // At most 63 characters are kept.
  virtual void TraySetTip(const std::string& tip) = 0;
  [[nodiscard]] virtual int TrayDepth() const = 0;
  // The tag of the top image; `Normal` when the stack is empty.
  [[nodiscard]] virtual TTrayImage TrayTop() const = 0;
  // The icon is shown by the desktop's tray; a desktop that restarted forgets it.
  [[nodiscard]] virtual bool TrayRegistered() const = 0;
  virtual void TrayMarkUnregistered() = 0;
  // Shows the icon again when it is not registered.
  virtual void TrayRefresh() = 0;
  virtual void TrayRemove() = 0;
  // Shows the tray menu at the pointer.
  virtual void ShowTrayMenu(const TTrayMenuState& state) = 0;
  // Closes an open menu of the program.
  virtual void CancelMenuMode() = 0;

  // The main window. A front end without one refuses to open it and says so.
  [[nodiscard]] virtual bool HasMainWindow() const = 0;
  // The password dialog for the scrambled `password`; true when the right one was entered,
  // false when it was cancelled or is open already.
  virtual bool AskPassword(const std::string& password) = 0;
  virtual void OpenMainWindow(bool maximised) = 0;
  [[nodiscard]] virtual bool IsMainWindowVisible() const = 0;
  virtual void CloseMainWindow() = 0;
  virtual void EnableMainWindow(bool enabled) = 0;
  // Presses the main window's Settings button (the settings dialog, saved on OK).
  virtual void PressSettingsButton() = 0;
  [[nodiscard]] virtual bool IsSettingsDialogOpen() const = 0;
  // Refreshes the message pages and the filter page after a check.
  virtual void RefreshPages() = 0;
  virtual void UpdateSuspendButton() = 0;
  // Brings the program's visible windows to the front.
  virtual void BringToForeground() = 0;

  // The check-progress dialog and the pop-up notice, which install their notifications in the
  // account list.
  virtual void CreateDialogs(TAccountList& accounts) = 0;
  [[nodiscard]] virtual bool IsPopUpVisible() const = 0;
  virtual void BringPopUpToFront() = 0;
  virtual void ClosePopUp() = 0;
  virtual void PrepareForCheck(TAccountList& accounts) = 0;
  // Shows the check-progress dialog over the open main window.
  virtual void ShowCheckProgress() = 0;
  // Hides the check-progress dialog, or keeps it to show the errors of the batch.
  virtual void FinishCheck(TAccountList& accounts) = 0;

  // The wizards of the first start: the address-book import into `filters`, then a new
  // account, which the wizard hands over in `account`.
  virtual TWizardResult RunAddressBookWizard(TFilterList& filters) = 0;
  virtual TWizardResult RunNewAccountWizard(std::unique_ptr<TAccount>& account) = 0;
};

// A user interface without windows: texts are not shown, confirmations go unanswered (No, or
// 3 for the timed one), the tray icon is only a stack in memory, and there is no main window
// and no wizard. Front ends without a display build on it.
class TWindowlessInterface : public TUserInterface {
 public:
  void ShowInfo(const std::string&) override {}
  void ShowWarning(const std::string&) override {}
  void ShowError(const std::string&) override {}
  int Confirm(const std::string&) override { return caNo; }
  int ConfirmTimed(const std::string&) override { return caUnanswered; }
  void ShowAbout(const std::string&, bool) override {}
  [[nodiscard]] bool IsAboutShowing() const override { return false; }

  void TraySetBase(TTrayImage image) override;
  void TrayPush(TTrayImage image) override { tray_.push_back(image); }
  void TrayPop() override;
  void TraySetBlink(bool) override {}
  void TraySetTip(const std::string& tip) override { tip_ = tip.substr(0, 63); }
  [[nodiscard]] int TrayDepth() const override { return static_cast<int>(tray_.size()); }
  [[nodiscard]] TTrayImage TrayTop() const override;
  [[nodiscard]] bool TrayRegistered() const override { return registered_; }
  void TrayMarkUnregistered() override { registered_ = false; }
  void TrayRefresh() override { registered_ = true; }
  void TrayRemove() override { registered_ = false; }
  void ShowTrayMenu(const TTrayMenuState&) override {}
  void CancelMenuMode() override {}
  [[nodiscard]] const std::string& TrayTip() const { return tip_; }
  [[nodiscard]] const std::vector<TTrayImage>& TrayImages() const { return tray_; }

  [[nodiscard]] bool HasMainWindow() const override { return false; }
  bool AskPassword(const std::string&) override { return false; }
  void OpenMainWindow(bool) override {}
  [[nodiscard]] bool IsMainWindowVisible() const override { return false; }
  void CloseMainWindow() override {}
  void EnableMainWindow(bool) override {}
  void PressSettingsButton() override {}
  [[nodiscard]] bool IsSettingsDialogOpen() const override { return false; }
  void RefreshPages() override {}
  void UpdateSuspendButton() override {}
  void BringToForeground() override {}

  void CreateDialogs(TAccountList&) override {}
  [[nodiscard]] bool IsPopUpVisible() const override { return false; }
  void BringPopUpToFront() override {}
  void ClosePopUp() override {}
  void PrepareForCheck(TAccountList&) override {}
  void ShowCheckProgress() override {}
  void FinishCheck(TAccountList&) override {}

  TWizardResult RunAddressBookWizard(TFilterList&) override { return TWizardResult::Unavailable; }
  TWizardResult RunNewAccountWizard(std::unique_ptr<TAccount>&) override {
    return TWizardResult::Unavailable;
  }

 private:
  std::vector<TTrayImage> tray_;
  std::string tip_;
  bool registered_ = false;
};

// The program's user interface: the one installed by the front end, else a windowless one.
TUserInterface& UserInterface();
// Installs `ui` (nullptr restores the windowless one). The caller keeps ownership.
void InstallUserInterface(TUserInterface* ui);

}  // namespace tarnwell
