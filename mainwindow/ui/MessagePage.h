#pragma once

#include <QWidget>
#include <functional>
#include <memory>

class QPrinter;

namespace tarnwell {

class TAccount;
class TAccountList;

// The pages of the main window by their index (the hot buttons' tags).
enum TPageIndex : int {
  piKilled = 0,
  piInbox = 1,
  piFilters = 2,
  piFriends = 3,
  piUpdates = 4,
  piAccounts = 5,
};

// A message page of the main window, Killed Mail or Live Mail, as the window sees it: it lists
// the viewed account's messages and runs the window's commands that need its selection.
class TMessagePage : public QWidget {
  Q_OBJECT

 public:
  using QWidget::QWidget;

  // The account whose messages the page lists; none leaves it empty. Reloads.
  virtual void SetAccount(TAccount* account) = 0;
  // Rebuilds the rows and selects the first.
  virtual void Reload() = 0;
  // Rebuilds the rows, keeping the selection and the top row in view.
  virtual void Redraw() = 0;
  [[nodiscard]] virtual int SelectedCount() const = 0;
  // Deletes the selected messages without asking: the window asks first.
  virtual void DeleteSelected() = 0;
  virtual void SelectAll() = 0;
  // The page is the one showing; its read timer runs only then.
  virtual void SetShowing(bool showing) = 0;
  // "View details" is down.
  [[nodiscard]] virtual bool Details() const = 0;
  virtual void PrintSelected(QPrinter& printer) = 0;
  // Insert and Ctrl+Enter: add a filter from the message, send a complaint about it; each only
  // when its button is enabled.
  virtual void AddFilter() = 0;
  virtual void SendComplaint() = 0;
  // Alt+S and Alt+Shift+S: the message shown to the network-query tool.
  virtual void SendToSpade(bool withText) = 0;
  // Ctrl+S; Live Mail only.
  virtual void SelectSpam() {}
  // Keeps and restores the list's columns and the height of the list above the preview in the
  // settings the page owns.
  virtual void SaveLayout() = 0;
  virtual void RestoreLayout() = 0;

 signals:
  // The selection or what it allows changed: the window's commands follow.
  void SelectionChanged();
};

// Makes a message page for `index` (piKilled or piInbox) over the account list.
using TMessagePageFactory =
    std::function<std::unique_ptr<TMessagePage>(int index, TAccountList& accounts, QWidget* parent)>;

}  // namespace tarnwell
