#pragma once

#include <string>
#include <vector>

namespace tarnwell {

// What the application asks of the main window, which the front end creates when it opens and
// frees when it closes.
class TMainWindowHost {
 public:
  virtual ~TMainWindowHost() = default;

  // The front end can show a main window; one that cannot refuses to open it and says so.
  [[nodiscard]] virtual bool Available() const = 0;
  // The password dialog for the scrambled `password`; true when the right one was entered,
  // false when it was cancelled or is open already.
  virtual bool AskPassword(const std::string& password) = 0;
  virtual void Open(bool maximised) = 0;
  [[nodiscard]] virtual bool IsVisible() const = 0;
  virtual void Close() = 0;
  virtual void Enable(bool enabled) = 0;
  // Presses the Settings button (the settings dialog, saved on OK).
  virtual void PressSettingsButton() = 0;
  [[nodiscard]] virtual bool IsSettingsDialogOpen() const = 0;
  // Refreshes the message pages and the filter page after a check.
  virtual void RefreshPages() = 0;
  virtual void UpdateSuspendButton() = 0;
  // Brings the program's visible windows to the front.
  virtual void BringToForeground() = 0;
  // The start-up's warning that the accounts `descriptions` (in list order) have no password,
  // saying where to enter them: the account's Properties on the Accounts page.
  [[nodiscard]] virtual std::string NoPasswordWarning(
      const std::vector<std::string>& descriptions) const {
    std::string names;
    for (const std::string& description : descriptions) names = description + "\r" + names;
    return "There is no password entered for some of your email accounts.\r\rPlease go to "
           "Accounts, Properties and enter the correct password \rfor these accounts:\r\r" +
           names;
  }
};

// A front end without a main window.
class TNoMainWindow : public TMainWindowHost {
 public:
  [[nodiscard]] bool Available() const override { return false; }
  bool AskPassword(const std::string&) override { return false; }
  void Open(bool) override {}
  [[nodiscard]] bool IsVisible() const override { return false; }
  void Close() override {}
  void Enable(bool) override {}
  void PressSettingsButton() override {}
  [[nodiscard]] bool IsSettingsDialogOpen() const override { return false; }
  void RefreshPages() override {}
  void UpdateSuspendButton() override {}
  void BringToForeground() override {}
};

}  // namespace tarnwell
