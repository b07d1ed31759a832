#include "accounts/ui/PgAccounts.h"

#include <QEvent>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QLabel>
#include <QPushButton>
#include <QTreeView>
#include <QVBoxLayout>
#include <algorithm>
#include <exception>

#include "accounts/AccountList.h"
#include "accounts/ui/AccountListModel.h"
#include "app/MessageDialogs.h"
#include "mainwindow/ui/FmMain.h"
#include "mainwindow/ui/PageParts.h"
#include "mainwindow/ui/UiCommand.h"
#include "shell/ui/DlgMessage.h"

namespace tarnwell {

const char* const kRemoveAccountQuestion = "Are you sure that you want to delete this account?";

namespace {

// Between a column's longest text and the next column.
constexpr int kColumnGap = 12;

}  // namespace

TAccountsPg::TAccountsPg(TAccountList& accounts, QWidget* parent)
    : TWindowPage(parent), accounts_(accounts), model_(new TAccountListModel(accounts, this)) {
  auto* root = new QVBoxLayout(this);
  root->setContentsMargins(0, 0, 0, 0);
  root->setSpacing(0);

  pnlCaption_ = NewPageCaption(QStringLiteral("    Accounts"), this);
  root->addWidget(pnlCaption_);

  auto* body = new QHBoxLayout();
  body->setContentsMargins(4, 4, 4, 4);
  body->setSpacing(4);
  root->addLayout(body, 1);

  lvAccounts_ = new QTreeView(this);
  lvAccounts_->setObjectName(QStringLiteral("lvAccounts"));
  lvAccounts_->setRootIsDecorated(false);
  lvAccounts_->setItemsExpandable(false);
  lvAccounts_->setUniformRowHeights(true);
  lvAccounts_->setSelectionMode(QAbstractItemView::SingleSelection);
  lvAccounts_->setSelectionBehavior(QAbstractItemView::SelectRows);
  lvAccounts_->setEditTriggers(QAbstractItemView::NoEditTriggers);
  lvAccounts_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  lvAccounts_->setModel(model_);
  QHeaderView* header = lvAccounts_->header();
  header->setSectionsMovable(false);
  header->setStretchLastSection(false);
  header->setSectionsClickable(true);
  header->setSortIndicatorShown(true);
  header->setSortIndicator(model_->SortColumn(), Qt::AscendingOrder);
  header->setSectionResizeMode(TAccountListModel::colActive, QHeaderView::Fixed);
  header->resizeSection(TAccountListModel::colActive,
                        header->sectionSizeHint(TAccountListModel::colActive));
  lvAccounts_->viewport()->installEventFilter(this);
  body->addWidget(lvAccounts_, 1);
  connect(header, &QHeaderView::sectionClicked, this, [this](int column) {
    model_->ColumnClick(column);
    lvAccounts_->header()->setSortIndicator(
        model_->SortColumn(), model_->SortDescending() ? Qt::DescendingOrder : Qt::AscendingOrder);
    if (const QModelIndex current = lvAccounts_->currentIndex(); current.isValid())
      lvAccounts_->scrollTo(current);
  });
  connect(lvAccounts_->selectionModel(), &QItemSelectionModel::selectionChanged, this, [this] {
    UpdateButtons();
    emit SelectionChanged();
  });
  connect(lvAccounts_, &QAbstractItemView::doubleClicked, this, [this] { Properties(); });
  connect(model_, &TAccountListModel::SwitchClicked, this, &TAccountsPg::Switch);

  pnlRight_ = new QWidget(this);
  pnlRight_->setObjectName(QStringLiteral("pnlRight"));
  auto* column = new QVBoxLayout(pnlRight_);
  column->setContentsMargins(0, 0, 0, 0);
  column->setSpacing(4);
  column->addStretch(1);
  body->addWidget(pnlRight_);
  sbAdd_ = AddButton("sbAdd", QStringLiteral("Add"), QStringLiteral("Add an e-mail account"));
  sbRemove_ = AddButton("sbRemove", QStringLiteral("Remove"));
  sbProperties_ = AddButton("sbProperties", QStringLiteral("Properties"));
  connect(sbAdd_, &QPushButton::clicked, this, &TAccountsPg::Add);
  connect(sbRemove_, &QPushButton::clicked, this, &TAccountsPg::Remove);
  connect(sbProperties_, &QPushButton::clicked, this, &TAccountsPg::Properties);

  FillRows();
  UpdateButtons();
}

TAccountsPg::~TAccountsPg() = default;

QPushButton* TAccountsPg::AddButton(const char* name, const QString& caption, const QString& hint) {
  QPushButton* button = NewPageButton(name, caption, hint, pnlRight_);
  auto* column = static_cast<QVBoxLayout*>(pnlRight_->layout());
  column->insertWidget(column->count() - 1, button);
  return button;
}

void TAccountsPg::FillRows() {
  model_->FillRows();
  FitColumns();
}

int TAccountsPg::SelectedRow() const {
  const QModelIndexList rows = lvAccounts_->selectionModel()->selectedRows();
  return rows.isEmpty() ? -1 : rows.front().row();
}

TAccount* TAccountsPg::SelectedAccount() const { return model_->Account(SelectedRow()); }

void TAccountsPg::SelectIndex(int index) {
  const int rows = model_->rowCount();
  QItemSelectionModel* selection = lvAccounts_->selectionModel();
  if (rows == 0) {
    const bool had = selection->hasSelection();
    selection->clear();
    if (!had) UpdateButtons();
    return;
  }
  const int row = index < 0 ? 0 : std::min(index, rows - 1);
  const QModelIndex target = model_->index(row, TAccountListModel::colDescription);
  const int before = SelectedRow();
  selection->setCurrentIndex(target,
                             QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
  lvAccounts_->scrollTo(target);
  // A changed selection has updated the buttons already.
  if (SelectedRow() == before) UpdateButtons();
}

void TAccountsPg::SelectAccount(const TAccount* account) {
  const int row = model_->RowOf(account);
  if (row >= 0) SelectIndex(row);
}

void TAccountsPg::UpdateButtons() {
  const bool selected = SelectedRow() >= 0;
  lvAccounts_->setEnabled(model_->rowCount() > 0);
  sbAdd_->setEnabled(static_cast<bool>(newAccountWizard_));
  sbRemove_->setEnabled(selected);
  sbProperties_->setEnabled(selected && editAccount_);
  if (auto* window = qobject_cast<TFmMain*>(this->window());
      window && window->ActivePage() == piAccounts)
    window->FillAccounts();
}

void TAccountsPg::FillAccounts() {
  if (auto* window = qobject_cast<TFmMain*>(this->window())) window->FillAccounts();
}

void TAccountsPg::Switch(TAccount* account, bool active) {
  RunCommand([this, account, active] {
    account->Active = active;
    // The row and the selector show the switch as it is, whatever became of the store.
    std::exception_ptr failure;
    try {
      account->SaveSettings();
    } catch (...) {
      failure = std::current_exception();
    }
    model_->RefreshRow(model_->RowOf(account));
    FillAccounts();
    if (failure) std::rethrow_exception(failure);
  });
}

void TAccountsPg::FitColumns() {
  QHeaderView* header = lvAccounts_->header();
  const int free = std::max(
      0, lvAccounts_->viewport()->width() - header->sectionSize(TAccountListModel::colActive));
  // The type and the connection are short names: they get what they need, while the list is
  // wide enough, and the description the rest.
  const QAbstractItemView* view = lvAccounts_;
  const auto needed = [view, header, free](int column) {
    return std::min(
        std::max(view->sizeHintForColumn(column) + kColumnGap, header->sectionSizeHint(column)),
        free * 3 / 10);
  };
  const int type = needed(TAccountListModel::colType);
  const int connection = needed(TAccountListModel::colConnection);
  header->resizeSection(TAccountListModel::colDescription, free - type - connection);
  header->resizeSection(TAccountListModel::colType, type);
  header->resizeSection(TAccountListModel::colConnection, connection);
}

bool TAccountsPg::eventFilter(QObject* watched, QEvent* event) {
  if (watched == lvAccounts_->viewport() && event->type() == QEvent::Resize) FitColumns();
  return TWindowPage::eventFilter(watched, event);
}

void TAccountsPg::showEvent(QShowEvent* event) {
  ShowPageHints(*pnlRight_);
  UpdateButtons();
  TWindowPage::showEvent(event);
}

void TAccountsPg::Refresh() {
  const TAccount* selected = SelectedAccount();
  FillRows();
  if (selected && model_->RowOf(selected) >= 0)
    SelectAccount(selected);
  else
    UpdateButtons();
}

void TAccountsPg::SetShowing(bool showing) {
  const bool shown = showing && !showing_;
  showing_ = showing;
  if (!shown) return;
  SelectIndex(-1);
}

bool TAccountsPg::DeleteEnabled() const { return sbRemove_->isEnabled(); }

void TAccountsPg::Delete() { Remove(); }

void TAccountsPg::Add() {
  if (!sbAdd_->isEnabled()) return;
  RunCommand([this] {
    std::unique_ptr<TAccount> account = newAccountWizard_();
    if (!account) return;
    const TAccount* added = account.get();
    accounts_.Add(std::move(account));
    FillRows();
    SelectAccount(added);
    FillAccounts();
  });
}

void TAccountsPg::Remove() {
  if (!sbRemove_->isEnabled()) return;
  RunCommand([this] {
    const int row = SelectedRow();
    TAccount* account = model_->Account(row);
    if (!account) return;
    if (UiDialogs().Confirm(kRemoveAccountQuestion, window()) != caYes) return;
    int position = -1;
    for (int i = 0; i < accounts_.Count(); ++i)
      if (accounts_.Items(i) == account) position = i;
    // Whatever the list managed to do, the rows and the selector show what it holds now.
    std::exception_ptr failure;
    try {
      accounts_.Remove(position);
    } catch (...) {
      failure = std::current_exception();
    }
    FillRows();
    SelectIndex(row);
    FillAccounts();
    if (failure) std::rethrow_exception(failure);
  });
}

void TAccountsPg::Properties() {
  if (!sbProperties_->isEnabled()) return;
  RunCommand([this] {
    TAccount* account = SelectedAccount();
    if (!account) return;
    try {
      if (!editAccount_(*account)) return;
      for (int i = 0; i < accounts_.Count(); ++i)
        if (accounts_.Items(i) == account) accounts_.Update(i);
    } catch (...) {
      // The dialog wrote the fields; the rows show them even when the store refused them.
    }
    model_->RefreshRow(model_->RowOf(account));
    FitColumns();
    SelectAccount(account);
    FillAccounts();
  });
}

void TAccountsPg::SetNewAccountWizard(TNewAccountWizard wizard) {
  newAccountWizard_ = std::move(wizard);
  UpdateButtons();
}

void TAccountsPg::SetEditAccount(TEditAccount edit) {
  editAccount_ = std::move(edit);
  UpdateButtons();
}

}  // namespace tarnwell
