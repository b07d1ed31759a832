#pragma once

#include <functional>
#include <string>
#include <vector>

#include "filtering/ui/DlgFriends.h"
#include "mainwindow/ui/WindowPage.h"

class QLabel;
class QPushButton;
class QTreeView;

namespace tarnwell {

class TAccountList;
class TFilter;
class TFilterList;
class TFriendListModel;
class TQtMessageDialogs;

// The e-mail addresses of the accounts, which cannot be friends.
[[nodiscard]] std::vector<std::string> OwnAddresses(const TAccountList& accounts);

// What "Add a friend" of a message page came to.
struct TFriendFromMessage {
  // The friend added to the list; none on Cancel or when an equal one was there.
  TFilter* Added = nullptr;
  // The Killed Mail message is to be rescued to the viewed account.
  bool Rescue = false;
};

// "Add a friend" of the message pages: the friend dialog on a new friend prefilled from the
// message of `source`; on OK the friend is refused when an equal one is listed by now ("You
// already have a similar filter.") and is otherwise added to `filters`. The caller refreshes the
// Friends page, classifies the live mail again and rescues the message as the answer says.
TFriendFromMessage AddFriendFromMessage(TFilterList& filters, const TFriendSource& source,
                                        const std::vector<std::string>& ownAddresses,
                                        TQtMessageDialogs& dialogs, QWidget* parent,
                                        const std::function<void()>& help = {});

// "    Friends": every friend of the filter list with the commands to add, remove, edit and save
// a copy of them.
class TFriendsPg : public TWindowPage {
  Q_OBJECT

 public:
  TFriendsPg(TFilterList& filters, const TAccountList& accounts, TQtMessageDialogs& dialogs,
             QWidget* parent = nullptr);
  ~TFriendsPg() override;

  // TWindowPage.
  void Refresh() override;
  [[nodiscard]] bool DeleteEnabled() const override;
  void Delete() override;
  void Add() override;
  void Properties() override;
  void SelectAll() override;
  void SetShowing(bool showing) override;

  // The page's commands; each does nothing while its button is disabled.
  void Remove();
  void ImportAddresses();
  void SaveCopy();

  // The address-book wizard on the filter list, true on OK; without it "Import addresses" is
  // disabled.
  void SetImportWizard(std::function<bool(TFilterList& filters)> wizard);
  // What the friend dialog's "&Help" opens; unset, its button is disabled.
  std::function<void()> Help;

  [[nodiscard]] QTreeView* List() const { return list_; }
  [[nodiscard]] TFriendListModel* Model() const { return model_; }
  // The friends selected, in row order.
  [[nodiscard]] std::vector<TFilter*> SelectedFriends() const;

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  QPushButton* AddButton(const char* name, const QString& caption, const QString& hint);
  // Rebuilds the rows and selects `selected` (those still listed).
  void Rebuild(const std::vector<TFilter*>& selected);
  // Rebuilds the rows and selects the one at `row`, or the last.
  void RebuildSelectingRow(int row);
  // Selects exactly the rows of `selected` that are listed.
  void Select(const std::vector<TFilter*>& selected);
  void UpdateCommands();
  void ApplyDisplaySettings();
  // The friend dialog, modal, on `filter`; true on OK.
  bool Edit(TFilter& filter, bool adding);

  TFilterList& filters_;
  const TAccountList& accounts_;
  TQtMessageDialogs& dialogs_;
  std::function<bool(TFilterList& filters)> importWizard_;
  TFriendListModel* model_;
  QLabel* caption_ = nullptr;
  QTreeView* list_ = nullptr;
  QWidget* buttons_ = nullptr;
  QPushButton* sbAdd_ = nullptr;
  QPushButton* sbRemove_ = nullptr;
  QPushButton* sbProperties_ = nullptr;
  QPushButton* sbImport_ = nullptr;
  QPushButton* sbSaveCopy_ = nullptr;
};

}  // namespace tarnwell
