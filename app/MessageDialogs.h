#pragma once

#include <string>

namespace tarnwell {

// Answers of the confirmation dialogs.
enum TConfirmAnswer : int {
  caYes = 1,
  caNo = 2,
  // The timed confirmation closed itself after 30 seconds without an answer.
  caUnanswered = 3,
};

// The message dialogs, captioned "Halvora Tarnwell", and the About box. They are modal: they
// return when the user has answered, and let the program's events run meanwhile. Texts break
// lines at "\r".
class TMessageDialogs {
 public:
  virtual ~TMessageDialogs() = default;

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
};

// Dialogs without a display: texts are not shown, and confirmations go unanswered (No, or 3 for
// the timed one).
class TSilentDialogs : public TMessageDialogs {
 public:
  void ShowInfo(const std::string&) override {}
  void ShowWarning(const std::string&) override {}
  void ShowError(const std::string&) override {}
  int Confirm(const std::string&) override { return caNo; }
  int ConfirmTimed(const std::string&) override { return caUnanswered; }
  void ShowAbout(const std::string&, bool) override {}
  [[nodiscard]] bool IsAboutShowing() const override { return false; }
};

}  // namespace tarnwell
