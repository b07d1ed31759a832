#pragma once

#include <QDialog>
#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "filtering/FilterChecks.h"

class QCheckBox;
class QComboBox;
class QLineEdit;
class QVBoxLayout;

namespace tarnwell {

class TActionGroup;
class TFilter;
class TQtMessageDialogs;

// The text of an edit as the filter's bytes: the filter's own `original` while the edit shows it
// unchanged (so bytes of another charset survive), else UTF-8 cut to whole characters within the
// 50 bytes a filter text holds.
[[nodiscard]] std::string EditedText(const QString& shown, const std::string& original);

// What the four filter dialogs share: the kind's groups on the left above the "then..." group
// and "&Case matters", the buttons "OK", "Cancel" and "&Help" on the right. OK writes the
// controls into the filter once they pass the checks; Cancel leaves it as it was.
class TFilterDlg : public QDialog {
  Q_OBJECT

 public:
  ~TFilterDlg() override;

  void accept() override;

 protected:
  TFilterDlg(TFilter& filter, const QString& caption, QWidget* parent);

  // Checks the kind's controls and writes them into the filter; false (the filter untouched)
  // after showing why they were refused.
  virtual bool WriteBack() = 0;

  // A list of the conditions `offered`, with `current` chosen; a condition the list lacks (from
  // a file) is added at its end, so that it stays.
  QComboBox* AddConditionList(const std::vector<uint8_t>& offered, uint8_t current,
                              const char* name);
  [[nodiscard]] static uint8_t ConditionOf(const QComboBox* list);
  // An edit of at most 50 characters showing `text`.
  QLineEdit* AddPatternEdit(const std::string& text, const char* name);
  // "Case matters" follows the conditions: it can be chosen while one takes a pattern, else it
  // shows whether the filter compares case ("Is uppercase"); choosing "Is uppercase" ticks it.
  void FollowConditions(uint8_t condition1, uint8_t condition2, bool uppercaseChosen);
  [[nodiscard]] bool CaseTicked() const;
  // The control a refusal about `field` puts the focus on.
  void SetFocusFor(TFilterField field, QWidget* control);
  // Shows the refusal and puts the focus on its control; false when there is none.
  bool Refused(const std::optional<TFilterRefusal>& refusal);
  TQtMessageDialogs& Dialogs();

  TFilter& filter_;
  // The kind's groups, the column of buttons, and the room right of the buttons.
  QVBoxLayout* groups_;
  QVBoxLayout* buttons_;
  QVBoxLayout* side_;
  TActionGroup* action_;
  QCheckBox* caseMatters_;

 private:
  std::array<QWidget*, 6> focus_{};
  std::unique_ptr<TQtMessageDialogs> ownDialogs_;
};

}  // namespace tarnwell
