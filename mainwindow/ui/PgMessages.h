#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "mainwindow/ui/MessagePage.h"
#include "platform/EventLoop.h"

class QLabel;
class QMenu;
class QPushButton;
class QSplitter;
class QTreeView;
class QAction;
class QItemSelection;

namespace tarnwell {

class TColumnShare;
class TEmail;
class TEmailList;
class TMessageListModel;
class TMessagePreview;
class TPgMessages;
class TQtMessageDialogs;

// What a message page hands to the rest of the program: the filter and complaint dialogs, the
// rescue dialogs, the print-out and the main window's Delete. A command whose handler is not set
// stays disabled.
struct TMessagePageActions {
  // "Add a filter", "Add a friend": the new filter wizard and the friend dialog on the page's
  // current message.
  std::function<void(TPgMessages& page)> AddFilter;
  std::function<void(TPgMessages& page)> AddFriend;
  // "Send an error", "Send complaint": for the selected messages.
  std::function<void(TPgMessages& page)> SendError;
  std::function<void(TPgMessages& page)> SendComplaint;
  // "Rescue message" (Killed Mail): the selected messages of the page's account.
  std::function<void(TPgMessages& page)> Rescue;
  // Prints the selected messages, with their headers when `Details` is on.
  std::function<void(TPgMessages& page, QPrinter& printer)> Print;
  // The list menu's "&Delete": the main window's Delete, which asks first.
  std::function<void(TPgMessages& page)> Delete;
};

// What Live Mail and Killed Mail share: the caption, the column of commands, the list of the
// viewed account's messages above the preview, the read timer and the commands on the selection.
class TPgMessages : public TMessagePage {
  Q_OBJECT

 public:
  ~TPgMessages() override;

  void SetActions(TMessagePageActions actions);

  // TMessagePage.
  void SetAccount(TAccount* account) override;
  void Reload() override;
  void Redraw() override;
  [[nodiscard]] int SelectedCount() const override;
  void DeleteSelected() override;
  void SelectAll() override;
  void SetShowing(bool showing) override;
  [[nodiscard]] bool Details() const override;
  void PrintSelected(QPrinter& printer) override;
  void AddFilter() override;
  void SendComplaint() override;
  void SendToSpade(bool withText) override;
  void SaveLayout() override;
  void RestoreLayout() override;

  // The positions in the account's list of the selected messages, ascending.
  [[nodiscard]] std::vector<int> SelectedIndexes() const;
  // The selected messages, in the order of the account's list.
  [[nodiscard]] std::vector<TEmail*> SelectedMessages() const;
  [[nodiscard]] TAccount* Account() const { return account_; }
  [[nodiscard]] TAccountList& Accounts() const { return accounts_; }
  // The message in the preview, or none.
  [[nodiscard]] TEmail* CurrentMessage() const;
  // Marks the selected messages read or unread, as the list menu does.
  void MarkSelected(bool read);
  // "View details" down or up; the preview follows.
  void SetDetails(bool details);

  [[nodiscard]] QTreeView* List() const { return list_; }
  [[nodiscard]] TMessageListModel* Model() const { return model_; }
  [[nodiscard]] TMessagePreview* Preview() const { return preview_; }
  [[nodiscard]] QMenu* ListMenu() const { return listMenu_; }
  [[nodiscard]] QMenu* PreviewMenu() const { return previewMenu_; }
  [[nodiscard]] const TTimer& ReadTimer() const { return readTimer_; }

 protected:
  // `live`: the Live Mail page, else Killed Mail. `caption` is the page's name. The page has no
  // account; the derived page's constructor ends with `Reload`.
  TPgMessages(bool live, const QString& caption, TAccountList& accounts, QWidget* parent);

  // The list the page shows of `account`.
  [[nodiscard]] virtual TEmailList& ListOf(TAccount& account) const = 0;
  // Deletes the messages at `positions` of the list; raises TError.
  virtual void DeleteMessages(const std::vector<int>& positions) = 0;
  // The buttons and menu items of the page's own, after the shared ones.
  virtual void UpdatePageCommands() {}

  // Runs a command of the page: it waits while a check holds the program, and an error it
  // raises is shown.
  void RunCommand(const std::function<void()>& command);
  // Runs `work` under the wait window.
  void UnderWaitWindow(const std::function<void()>& work);
  void ShowError(const std::string& text);
  [[nodiscard]] TQtMessageDialogs& Dialogs();
  // Rebuilds the rows, selects the row at `row` (or the last) and shows its message.
  void RebuildSelecting(int row);
  // Selects exactly the rows for which `take` holds.
  void SelectRows(const std::function<bool(int row)>& take);
  // Shows the current message again, its text read anew.
  void ShowCurrent();
  // The text of the message shown was retrieved (not only its headers).
  [[nodiscard]] bool CurrentRetrieved() const { return currentRetrieved_; }
  [[nodiscard]] const TMessagePageActions& Actions() const { return actions_; }
  // A button of the command column, before "View details"; `hint` is its tool tip while the
  // setting ShowHints is on.
  QPushButton* AddButton(const char* name, const QString& caption, const QString& hint);
  void UpdateCommands();

  const bool live_;
  QMenu* listMenu_ = nullptr;
  QMenu* previewMenu_ = nullptr;

 private:
  void BuildLayout(const QString& listName, const QString& previewName, const QString& panelName);
  void BuildMenus();
  void OnSelectionChanged(const QItemSelection& selected, const QItemSelection& deselected);
  void ShowMessage(TEmail& message);
  // The lines of the message's text as stored (or the notice of why there is none), leaving the
  // record without its text in memory unless it had it before; `retrieved` tells which.
  [[nodiscard]] static std::vector<std::string> TextLines(TEmail& message, bool& retrieved);
  void ClearPreview();
  void UpdateCaption();
  void ReadTimerFired();
  void RestartReadTimer();
  [[nodiscard]] int SingleSelectedRow() const;
  [[nodiscard]] TEmailList* ShownList() const;
  void ApplyDisplaySettings();
  void showEvent(QShowEvent* event) override;

  TAccountList& accounts_;
  TAccount* account_ = nullptr;
  TMessagePageActions actions_;
  QString captionText_;
  QLabel* caption_ = nullptr;
  QTreeView* list_ = nullptr;
  TMessageListModel* model_ = nullptr;
  // The list's column widths: the user's, and those that fit.
  TColumnShare* columns_ = nullptr;
  QSplitter* splitter_ = nullptr;
  QLabel* to_ = nullptr;
  QLabel* replyTo_ = nullptr;
  TMessagePreview* preview_ = nullptr;
  QWidget* buttons_ = nullptr;
  QPushButton* addFilter_ = nullptr;
  QPushButton* addFriend_ = nullptr;
  QPushButton* error_ = nullptr;
  QPushButton* complain_ = nullptr;
  QPushButton* details_ = nullptr;
  QAction* markRead_ = nullptr;
  QAction* markUnread_ = nullptr;
  QAction* delete_ = nullptr;
  QAction* listSelectAll_ = nullptr;
  QAction* copy_ = nullptr;
  QAction* previewSelectAll_ = nullptr;
  TTimer readTimer_;
  // The message dialogs when the program installed none of the desktop's.
  // The message in the preview and its position in the list, which tell together whether it
  // is still there.
  TEmail* current_ = nullptr;
  int currentPosition_ = -1;
  bool currentRetrieved_ = false;
  bool showing_ = false;
  // Redraw puts the selection back: the message shown stays, its read time runs on.
  bool redrawing_ = false;
};

}  // namespace tarnwell
