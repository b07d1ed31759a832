#pragma once

#include <QDialog>
#include <array>
#include <functional>

#include "accounts/Account.h"

class QCheckBox;
class QComboBox;
class QPushButton;
class QTabWidget;

namespace tarnwell {

class TQtMessageDialogs;

// "Sound and Program Settings": the sound and the program of each of the four mail events.
// It works on a copy; OK writes the four records back to those it was opened on.
class TAccountEventsDlg : public QDialog {
  Q_OBJECT

 public:
  TAccountEventsDlg(TEmailEvents& events, TQtMessageDialogs& dialogs, QWidget* parent = nullptr);

  // What "&Help" opens; without it the button is disabled.
  void SetHelp(std::function<void()> help);

  void accept() override;

  static constexpr int kHelpTopic = 1388;
  // The first item of every program drop-down.
  static constexpr const char* kEmailProgram = "Your email program";

 private:
  // The controls of one event, in the order the dialog shows them.
  struct TRow {
    int Event = 0;
    QCheckBox* Sound = nullptr;
    QPushButton* Listen = nullptr;
    QPushButton* BrowseSound = nullptr;
    QCheckBox* App = nullptr;
    QComboBox* Program = nullptr;
    QPushButton* BrowseProgram = nullptr;
  };

  void ProgramTextChanged(TRow& row, const QString& text);
  void BrowseSound(const TRow& row);
  void BrowseProgram(TRow& row);
  // Makes `text` the second item of the row's drop-down and selects it.
  static void SetProgramItem(TRow& row, const QString& text);

  TEmailEvents& target_;
  TEmailEvents events_;
  TQtMessageDialogs& dialogs_;
  std::function<void()> help_;
  QTabWidget* tabs_;
  QPushButton* helpButton_;
  std::array<TRow, 4> rows_;
};

}  // namespace tarnwell
