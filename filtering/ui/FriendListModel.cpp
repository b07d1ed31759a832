#include "filtering/ui/FriendListModel.h"

#include <algorithm>

#include "filtering/FilterList.h"
#include "shell/ui/DisplayText.h"

namespace tarnwell {

void TFriendListModel::SetList(const TFilterList& list) {
  beginResetModel();
  std::vector<TFilter*> friends;
  list.FiltersOfKind(fkFriend, kAllOrigins, friends);
  rows_.clear();
  rows_.reserve(friends.size());
  for (TFilter* filter : friends)
    rows_.push_back({filter, OneLine(DisplayString(filter->Description()))});
  Order();
  endResetModel();
}

void TFriendListModel::Order() {
  const bool ascending = order_ == Qt::AscendingOrder;
  std::stable_sort(rows_.begin(), rows_.end(), [ascending](const TRow& a, const TRow& b) {
    const int compared = QString::compare(a.Text, b.Text, Qt::CaseInsensitive);
    return ascending ? compared < 0 : compared > 0;
  });
}

TFilter* TFriendListModel::Friend(int row) const {
  return row >= 0 && row < rowCount() ? rows_[static_cast<size_t>(row)].Friend : nullptr;
}

int TFriendListModel::RowOf(const TFilter* filter) const {
  const auto found = std::find_if(rows_.begin(), rows_.end(),
                                  [filter](const TRow& row) { return row.Friend == filter; });
  return found == rows_.end() ? -1 : static_cast<int>(found - rows_.begin());
}

int TFriendListModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : static_cast<int>(rows_.size());
}

QVariant TFriendListModel::data(const QModelIndex& index, int role) const {
  if (role != Qt::DisplayRole || !index.isValid() || index.row() >= rowCount()) return {};
  return rows_[static_cast<size_t>(index.row())].Text;
}

QVariant TFriendListModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (role == Qt::DisplayRole && orientation == Qt::Horizontal && section == 0)
    return QStringLiteral("Address");
  return QAbstractListModel::headerData(section, orientation, role);
}

void TFriendListModel::sort(int column, Qt::SortOrder order) {
  if (column != 0) return;
  emit layoutAboutToBeChanged({}, QAbstractItemModel::VerticalSortHint);
  const QModelIndexList before = persistentIndexList();
  std::vector<TFilter*> held;
  held.reserve(static_cast<size_t>(before.size()));
  for (const QModelIndex& index : before) held.push_back(Friend(index.row()));
  order_ = order;
  Order();
  QModelIndexList after;
  after.reserve(before.size());
  for (TFilter* filter : held) after.append(index(RowOf(filter), 0));
  changePersistentIndexList(before, after);
  emit layoutChanged({}, QAbstractItemModel::VerticalSortHint);
}

}  // namespace tarnwell
