#pragma once

#include <cstdio>
#include <string>
#include <string_view>

#include "app/UserInterface.h"

namespace tarnwell {

// A dialog text for the terminal: each "\r" breaks the line.
[[nodiscard]] std::string ConsoleText(std::string_view text);
// 1 for yes, 2 for no, 0 for anything else; letter case and surrounding blanks are ignored.
[[nodiscard]] int ParseConsoleAnswer(std::string_view line);

// The front end without a display: dialogs print their texts to standard error, and
// confirmations are asked on the terminal when standard input is one; otherwise they count
// as unanswered.
class TConsoleUi : public TWindowlessInterface {
 public:
  explicit TConsoleUi(int inputFd = 0, std::FILE* output = stderr)
      : inputFd_(inputFd), output_(output) {}

  void ShowInfo(const std::string& text) override { Print(text); }
  void ShowWarning(const std::string& text) override { Print(text); }
  void ShowError(const std::string& text) override { Print(text); }
  int Confirm(const std::string& text) override { return Ask(text, false); }
  int ConfirmTimed(const std::string& text) override { return Ask(text, true); }
  void ShowAbout(const std::string& versionText, bool fromTray) override;
  void OpenMainWindow(bool maximised) override;
  void FinishCheck(TAccountList& accounts) override;
  TWizardResult RunAddressBookWizard(TFilterList& filters) override;

 private:
  void Print(std::string_view text);
  int Ask(const std::string& text, bool timed);

  int inputFd_;
  std::FILE* output_;
};

}  // namespace tarnwell
