#include "accounts/ui/AccountListModel.h"

#include <algorithm>

#include "accounts/AccountList.h"
#include "message/QStrings.h"
#include "shell/ui/DisplayText.h"

namespace tarnwell {

TAccountListModel::TAccountListModel(const TAccountList& accounts, QObject* parent)
    : QAbstractTableModel(parent), accounts_(accounts) {}

TAccountListModel::TRow TAccountListModel::RowFor(TAccount* account, int position) const {
  TRow row;
  row.Account = account;
  row.Position = position;
  row.Active = account->Active;
  const std::string texts[3] = {account->Description, account->TypeName(),
                                account->ConnectionName()};
  for (int i = 0; i < 3; ++i) {
    row.Texts[i] = OneLine(DisplayString(texts[i]));
    row.Keys[i] = LowerCase(texts[i]);
  }
  return row;
}

void TAccountListModel::FillRows() {
  beginResetModel();
  rows_.clear();
  for (int i = 0; i < accounts_.Count(); ++i) rows_.push_back(RowFor(accounts_.Items(i), i));
  Order();
  endResetModel();
}

void TAccountListModel::RefreshRow(int row) {
  if (row < 0 || row >= rowCount()) return;
  TRow& shown = rows_[static_cast<size_t>(row)];
  shown = RowFor(shown.Account, shown.Position);
  emit dataChanged(index(row, 0), index(row, kColumnCount - 1));
  Sort();
}

void TAccountListModel::ColumnClick(int column) {
  if (column < 0 || column >= kColumnCount) return;
  if (column == sortColumn_) {
    sortDescending_ = !sortDescending_;
  } else {
    sortColumn_ = column;
    sortDescending_ = false;
  }
  Sort();
}

void TAccountListModel::Order() {
  const int column = sortColumn_;
  const bool descending = sortDescending_;
  std::stable_sort(rows_.begin(), rows_.end(), [column, descending](const TRow& a, const TRow& b) {
    const int compared = column == colActive ? (a.Position > b.Position) - (a.Position < b.Position)
                                             : a.Keys[column - 1].compare(b.Keys[column - 1]);
    return descending ? compared > 0 : compared < 0;
  });
}

void TAccountListModel::Sort() {
  emit layoutAboutToBeChanged({}, QAbstractItemModel::VerticalSortHint);
  const QModelIndexList before = persistentIndexList();
  std::vector<TAccount*> held;
  held.reserve(static_cast<size_t>(before.size()));
  for (const QModelIndex& index : before) held.push_back(Account(index.row()));
  Order();
  QModelIndexList after;
  after.reserve(before.size());
  for (int i = 0; i < before.size(); ++i)
    after.append(index(RowOf(held[static_cast<size_t>(i)]), before[i].column()));
  changePersistentIndexList(before, after);
  emit layoutChanged({}, QAbstractItemModel::VerticalSortHint);
}

TAccount* TAccountListModel::Account(int row) const {
  return row >= 0 && row < rowCount() ? rows_[static_cast<size_t>(row)].Account : nullptr;
}

int TAccountListModel::RowOf(const TAccount* account) const {
  const auto found = std::find_if(rows_.begin(), rows_.end(),
                                  [account](const TRow& row) { return row.Account == account; });
  return found == rows_.end() ? -1 : static_cast<int>(found - rows_.begin());
}

int TAccountListModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : static_cast<int>(rows_.size());
}

int TAccountListModel::columnCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : kColumnCount;
}

QVariant TAccountListModel::data(const QModelIndex& index, int role) const {
  if (!index.isValid() || index.row() >= rowCount()) return {};
  const TRow& row = rows_[static_cast<size_t>(index.row())];
  if (index.column() == colActive)
    return role == Qt::CheckStateRole ? QVariant(row.Active ? Qt::Checked : Qt::Unchecked)
                                      : QVariant();
  if (role == Qt::DisplayRole || role == Qt::ToolTipRole) return row.Texts[index.column() - 1];
  return {};
}

QVariant TAccountListModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
    return QAbstractTableModel::headerData(section, orientation, role);
  switch (section) {
    case colActive: return QStringLiteral("Active");
    case colDescription: return QStringLiteral("Description");
    case colType: return QStringLiteral("Type");
    case colConnection: return QStringLiteral("Connection");
    default: return {};
  }
}

Qt::ItemFlags TAccountListModel::flags(const QModelIndex& index) const {
  if (!index.isValid()) return Qt::NoItemFlags;
  Qt::ItemFlags flags = Qt::ItemIsEnabled | Qt::ItemIsSelectable;
  if (index.column() == colActive) flags |= Qt::ItemIsUserCheckable;
  return flags;
}

bool TAccountListModel::setData(const QModelIndex& index, const QVariant& value, int role) {
  if (role != Qt::CheckStateRole || index.column() != colActive || !Account(index.row()))
    return false;
  emit SwitchClicked(Account(index.row()),
                     static_cast<Qt::CheckState>(value.toInt()) == Qt::Checked);
  return true;
}

}  // namespace tarnwell
