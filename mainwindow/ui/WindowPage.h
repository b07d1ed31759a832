#pragma once

#include <QWidget>
#include <functional>
#include <memory>

namespace tarnwell {

class TFilter;

// A page of the main window other than the two message pages (Filters, Friends, and later
// Updates and Accounts), as the window sees it: the window forwards Delete, Insert, Ctrl+Enter
// and Ctrl+A to the page showing and enables its Delete button by the page's answer.
class TWindowPage : public QWidget {
  Q_OBJECT

 public:
  using QWidget::QWidget;

  // Rebuilds the rows from what the page shows, keeping the selection: after checks, imports,
  // updates and when the page is shown.
  virtual void Refresh() = 0;
  // The window's Delete button and key: enabled by this, running the page's Remove command
  // (which asks its own question) when that is enabled.
  [[nodiscard]] virtual bool DeleteEnabled() const = 0;
  virtual void Delete() = 0;
  // Insert, Ctrl+Enter and Ctrl+A; each does nothing when the page's command is disabled.
  virtual void Add() = 0;
  virtual void Properties() = 0;
  virtual void SelectAll() = 0;
  // The page is the one showing.
  virtual void SetShowing(bool showing) { static_cast<void>(showing); }

 protected:
  // Every command of the page's own controls runs through this: it holds the program's busy
  // gate (a check must not read the filters while they change) and shows errors.
  void RunCommand(const std::function<void()>& command);

 signals:
  // The selection or what it allows changed: the window's commands follow.
  void SelectionChanged();
  // Filters changed: the Live Mail of every enabled account is to be classified again, with
  // `filter` alone (an added or edited filter) or, when it is none, with all filters.
  void FiltersChanged(tarnwell::TFilter* filter);
};

// Makes the page for `index` (piFilters, piFriends, ...); none leaves that page's sheet empty
// and its hot button disabled.
using TWindowPageFactory = std::function<std::unique_ptr<TWindowPage>(int index, QWidget* parent)>;

}  // namespace tarnwell
