#pragma once

#include <cstdio>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "app/CheckProgress.h"
#include "app/MainWindowHost.h"
#include "app/MessageDialogs.h"
#include "app/TrayIcon.h"
#include "app/UserInterface.h"
#include "app/Wizards.h"
#include "program/CheckReport.h"

namespace tarnwell {

class TAccount;

// A dialog text for the terminal: each "\r" breaks the line.
[[nodiscard]] std::string ConsoleText(std::string_view text);
// 1 for yes, 2 for no, 0 for anything else; letter case and surrounding blanks are ignored.
[[nodiscard]] int ParseConsoleAnswer(std::string_view line);

// Dialogs print their texts, and confirmations are asked on the terminal when the input is
// one; otherwise they count as unanswered.
class TConsoleDialogs : public TSilentDialogs {
 public:
  TConsoleDialogs(int inputFd, std::FILE* output) : inputFd_(inputFd), output_(output) {}

  void ShowInfo(const std::string& text) override;
  void ShowWarning(const std::string& text) override;
  void ShowError(const std::string& text) override;
  int Confirm(const std::string& text) override { return Ask(text, false); }
  int ConfirmTimed(const std::string& text) override { return Ask(text, true); }
  void ShowAbout(const std::string& versionText, bool fromTray) override;

 private:
  int Ask(const std::string& text, bool timed);

  int inputFd_;
  std::FILE* output_;
};

// Says that the main window needs a display, and names the commands that do its work.
class TConsoleMainWindow : public TNoMainWindow {
 public:
  explicit TConsoleMainWindow(std::FILE* output) : output_(output) {}
  void Open(bool maximised) override;
  [[nodiscard]] std::string NoPasswordWarning(
      const std::vector<std::string>& descriptions) const override;

 private:
  std::FILE* output_;
};

// What the console tells of checks beside their errors.
struct TCheckReporting {
  // Where the line of each checked account goes (`/ONCE`); none for no lines.
  std::FILE* Lines = nullptr;
  // Draws the progress of each check on the output, which is a terminal.
  bool Progress = false;
  // Starts the commands that the errors suggest.
  std::string Command = "tarnwell";
};

// Prints the errors of each checked account, one line each, and what the reporting asks for.
class TConsoleProgress : public TNoCheckProgress {
 public:
  explicit TConsoleProgress(std::FILE* output) : output_(output) {}
  void SetReporting(TCheckReporting reporting) { reporting_ = std::move(reporting); }
  void Create(TAccountList& accounts) override;
  void PrepareForCheck(TAccountList& accounts) override;
  void FinishCheck(TAccountList& accounts) override;

 private:
  void StartStep(const TAccount& account, std::string_view step, int total);
  void Advance();
  void AccountChecked(const TAccountList& accounts, const TAccount& account);
  void PrintNewErrors(const TAccountList& accounts);
  void ClearProgress();

  std::FILE* output_;
  TCheckReporting reporting_;
  TProgressLine progress_;
  bool progressShown_ = false;
  // The errors of the batch before this one have been printed.
  size_t printed_ = 0;
};

// Tells how to add an account without the wizards.
class TConsoleWizards : public TNoWizards {
 public:
  explicit TConsoleWizards(std::FILE* output) : output_(output) {}
  TWizardResult RunAddressBookWizard(TFilterList& filters) override;

 private:
  std::FILE* output_;
};

// The front end without a display: the parts above write to standard error, the tray icon is
// kept in memory only, and there is no pop-up notice.
class TConsoleUi {
 public:
  explicit TConsoleUi(int inputFd = 0, std::FILE* output = stderr)
      : dialogs_(inputFd, output), mainWindow_(output), progress_(output), wizards_(output) {}
  TConsoleUi(const TConsoleUi&) = delete;
  TConsoleUi& operator=(const TConsoleUi&) = delete;

  [[nodiscard]] TUserInterface Parts();
  void SetCheckReporting(TCheckReporting reporting) {
    progress_.SetReporting(std::move(reporting));
  }

 private:
  TConsoleDialogs dialogs_;
  TMemoryTrayIcon tray_;
  TConsoleMainWindow mainWindow_;
  TConsoleProgress progress_;
  TConsoleWizards wizards_;
};

}  // namespace tarnwell
