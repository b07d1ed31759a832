#pragma once

#include <functional>
#include <memory>

#include "mainwindow/ui/WindowPage.h"

class QLabel;
class QPushButton;
class QTreeView;

namespace tarnwell {

class TAccount;
class TAccountList;
class TAccountListModel;

// What the page asks of the user: the account-removal question, with the window as owner.
extern const char* const kRemoveAccountQuestion;

// "    Accounts": every account of the list, switched on and off by its check box, with the
// commands to add one through the new-account wizard, remove one and edit one in the properties
// dialog. The window's account selector follows the changes.
class TAccountsPg : public TWindowPage {
  Q_OBJECT

 public:
  // The new-account wizard, modal: the account it made (not yet listed), or none on Cancel.
  using TNewAccountWizard = std::function<std::unique_ptr<TAccount>()>;
  // The properties dialog on an account, modal: true on OK, when it wrote the account's fields.
  using TEditAccount = std::function<bool(TAccount& account)>;

  explicit TAccountsPg(TAccountList& accounts, QWidget* parent = nullptr);
  ~TAccountsPg() override;

  // TWindowPage.
  void Refresh() override;
  [[nodiscard]] bool DeleteEnabled() const override;
  void Delete() override;
  void Add() override;
  void Properties() override;
  // One account at a time is selected: nothing to do.
  void SelectAll() override {}
  void SetShowing(bool showing) override;

  // Asks, then removes the selected account with its folders.
  void Remove();
  // Selects the row at `index`: one beyond the last selects the last, -1 the first; none on an
  // empty list.
  void SelectIndex(int index);

  // Without the wizard "Add" is disabled, without the dialog "Properties".
  void SetNewAccountWizard(TNewAccountWizard wizard);
  void SetEditAccount(TEditAccount edit);

  [[nodiscard]] QTreeView* List() const { return lvAccounts_; }
  [[nodiscard]] TAccountListModel* Model() const { return model_; }
  // The selected row and its account; -1 and none without a selection.
  [[nodiscard]] int SelectedRow() const;
  [[nodiscard]] TAccount* SelectedAccount() const;

 protected:
  void showEvent(QShowEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  QPushButton* AddButton(const char* name, const QString& caption, const QString& hint = {});
  void FillRows();
  void SelectAccount(const TAccount* account);
  void UpdateButtons();
  // The window's account selector, refilled from the list when the page is in a window.
  void FillAccounts();
  void Switch(TAccount* account, bool active);
  // Description, Type and Connection share what the switch leaves of the list's width.
  void FitColumns();

  TAccountList& accounts_;
  TNewAccountWizard newAccountWizard_;
  TEditAccount editAccount_;
  bool showing_ = false;
  TAccountListModel* model_;
  QLabel* pnlCaption_ = nullptr;
  QTreeView* lvAccounts_ = nullptr;
  QWidget* pnlRight_ = nullptr;
  QPushButton* sbAdd_ = nullptr;
  QPushButton* sbRemove_ = nullptr;
  QPushButton* sbProperties_ = nullptr;
};

}  // namespace tarnwell
