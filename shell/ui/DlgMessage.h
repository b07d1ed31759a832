#pragma once

#include <QDialog>
#include <QIcon>
#include <QPointer>
#include <QStyle>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "app/MessageDialogs.h"

class QFontMetrics;
class QLabel;
class QPushButton;
class QTimer;

namespace tarnwell {

// The program's texts as the dialogs show them: lines break at "\r".
[[nodiscard]] QString DialogText(std::string_view text);

// The size of `text` laid out by `metrics` in lines of `width` pixels broken at word boundaries;
// wider than `width` when a word is too long to break.
[[nodiscard]] QSize WrappedSize(const QString& text, const QFontMetrics& metrics, int width);

// What a word-wrapped label `width` pixels wide shows of `text`: all of it when it fits; else (a
// word too long to wrap) the text with "..." appended and as many characters in front of the
// "..." removed, from the end, as it takes to fit.
[[nodiscard]] QString FitLabelText(const QString& text, const QFontMetrics& metrics, int width);

// The information dialog: its icon at the top left and the word-wrapped text in a bevel, its
// buttons on the right. Modal; Escape closes it.
class TMessageDlg : public QDialog {
  Q_OBJECT

 public:
  explicit TMessageDlg(const QString& text, QWidget* owner = nullptr);

  // The text as shown, after fitting.
  [[nodiscard]] QString ShownText() const;

 protected:
  // An empty dialog for the derived ones, which add their buttons and call `Arrange`.
  TMessageDlg(const QString& text, QStyle::StandardPixmap icon, const QString& caption,
              QWidget* owner);
  // A button that ends the dialog with `result`; the first one added is the default.
  QPushButton* AddButton(const QString& caption, int result, const QString& name);
  // Sizes the dialog to its text and places its parts.
  void Arrange();

 private:
  QString text_;
  QLabel* image_ = nullptr;
  QLabel* label_ = nullptr;
  QWidget* bevel_ = nullptr;
  std::vector<QPushButton*> buttons_;
};

// Asks Yes (1) or No (2); Escape and closing answer No. The timed form closes itself with 3
// after `timeoutMs` without an answer.
class TConfirmDlg : public TMessageDlg {
  Q_OBJECT

 public:
  // `timeoutMs` 0: no time limit.
  explicit TConfirmDlg(const QString& text, QWidget* owner = nullptr, int timeoutMs = 0);

  void reject() override;

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  QTimer* timer_ = nullptr;
};

// The warning dialog, with the exclamation icon, or in its error form the error icon.
class TWarningDlg : public TMessageDlg {
  Q_OBJECT

 public:
  explicit TWarningDlg(const QString& text, bool error = false, QWidget* owner = nullptr);
};

// "Please wait..." in a small window above every other, while the program works.
class TWaitDlg : public QWidget {
  Q_OBJECT

 public:
  explicit TWaitDlg(const QString& text = QStringLiteral("Please wait..."));
};

// The message dialogs of the desktop front end, and the forms the windows use with themselves
// as the owner. Without an owner the dialogs go to the corner next to the task bar or to the
// middle of the screen, each as its kind does.
class TQtMessageDialogs : public TMessageDialogs {
 public:
  TQtMessageDialogs();
  ~TQtMessageDialogs() override;
  TQtMessageDialogs(const TQtMessageDialogs&) = delete;
  TQtMessageDialogs& operator=(const TQtMessageDialogs&) = delete;

  void ShowInfo(const std::string& text) override { ShowInfo(text, nullptr); }
  void ShowWarning(const std::string& text) override { ShowWarning(text, nullptr); }
  void ShowError(const std::string& text) override;
  int Confirm(const std::string& text) override { return Confirm(text, nullptr); }
  int ConfirmTimed(const std::string& text) override { return ConfirmTimed(text, nullptr); }
  void ShowAbout(const std::string& versionText, bool fromTray) override;
  [[nodiscard]] bool IsAboutShowing() const override { return aboutShowing_; }

  void ShowInfo(const std::string& text, QWidget* owner);
  void ShowWarning(const std::string& text, QWidget* owner);
  void ShowErrorOver(const std::string& text, QWidget* owner);
  int Confirm(const std::string& text, QWidget* owner);
  int ConfirmTimed(const std::string& text, QWidget* owner);
  // Shows the wait window centred on `owner`, which is disabled until `HideWait`.
  void ShowWait(QWidget* owner, const std::string& text = "Please wait...");
  void HideWait();
  [[nodiscard]] TWaitDlg* WaitWindow() const { return wait_.get(); }

  // The open main window, which an About box not opened from the tray centres on; null while
  // it is closed. Unset: there is none.
  std::function<QWidget*()> MainWindow;
  // The program's icon in the About box; none when empty.
  QIcon ProgramIcon;
  // How long the timed confirmation waits for an answer.
  int ConfirmTimeoutMs = 30000;

 private:
  enum class TPlacement { TaskbarCorner, Screen };
  // Runs the dialog modally, centred on `owner` or placed by `without`; its result, or
  // `whenGone` when the owner went away meanwhile and took the dialog with it.
  static int Run(TMessageDlg* dialog, QWidget* owner, TPlacement without, int whenGone);

  std::unique_ptr<TWaitDlg> wait_;
  QPointer<QWidget> waitOwner_;
  bool aboutShowing_ = false;
};

}  // namespace tarnwell
