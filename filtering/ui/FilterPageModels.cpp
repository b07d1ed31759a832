#include "filtering/ui/FilterPageModels.h"

#include <algorithm>
#include <numeric>
#include <unordered_map>

#include "filtering/Countries.h"
#include "filtering/FilterList.h"
#include "filtering/Filters.h"
#include "shell/ui/DisplayText.h"

namespace tarnwell {

// --- TSortedTableModel ---

int TSortedTableModel::Position(int row) const {
  return row >= 0 && row < rowCount() ? order_[static_cast<size_t>(row)] : -1;
}

int TSortedTableModel::RowOfPosition(int position) const {
  const auto found = std::find(order_.begin(), order_.end(), position);
  return found == order_.end() ? -1 : static_cast<int>(found - order_.begin());
}

int TSortedTableModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : static_cast<int>(order_.size());
}

QVariant TSortedTableModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (orientation != Qt::Horizontal) return {};
  // A column clicked for the first time sorts upwards; the same column again reverses.
  if (role == Qt::InitialSortOrderRole) return Qt::AscendingOrder;
  if (role != Qt::DisplayRole) return {};
  return ColumnName(section);
}

void TSortedTableModel::SetCount(int count) {
  order_.resize(static_cast<size_t>(std::max(count, 0)));
  Order();
}

void TSortedTableModel::Order() {
  std::iota(order_.begin(), order_.end(), 0);
  PrepareKeys(sortColumn_);
  // Upwards, rows the column finds equal keep the order of what is shown; downwards is the
  // same order reversed.
  std::stable_sort(order_.begin(), order_.end(),
                   [this](int a, int b) { return Less(sortColumn_, a, b); });
  if (sortOrder_ == Qt::DescendingOrder) std::reverse(order_.begin(), order_.end());
}

void TSortedTableModel::sort(int column, Qt::SortOrder order) {
  if (column < 0 || column >= columnCount()) return;
  emit layoutAboutToBeChanged({}, QAbstractItemModel::VerticalSortHint);
  const std::vector<int> before = order_;
  sortColumn_ = column;
  sortOrder_ = order;
  Order();
  std::vector<int> rowOf(order_.size());
  for (size_t row = 0; row < order_.size(); ++row)
    rowOf[static_cast<size_t>(order_[row])] = static_cast<int>(row);
  const QModelIndexList persistent = persistentIndexList();
  QModelIndexList moved;
  moved.reserve(persistent.size());
  for (const QModelIndex& old : persistent)
    moved.append(
        index(rowOf[static_cast<size_t>(before[static_cast<size_t>(old.row())])], old.column()));
  changePersistentIndexList(persistent, moved);
  emit layoutChanged({}, QAbstractItemModel::VerticalSortHint);
}

// --- TFilterListModel ---

namespace {

// The columns of the kind tabs; the Sender and Header tabs have a second text column.
bool HasSecondText(uint8_t kind) { return kind == fkSender || kind == fkHeader; }

}  // namespace

TFilterListModel::TFilterListModel(uint8_t kind, QObject* parent)
    : TSortedTableModel(kind == fkSender ? 1 : 0, parent), kind_(kind) {}

void TFilterListModel::SetFilters(std::vector<TFilter*> filters) {
  beginResetModel();
  filters_ = std::move(filters);
  std::vector<QStringList>(filters_.size()).swap(texts_);
  SetCount(static_cast<int>(filters_.size()));
  endResetModel();
}

TFilter* TFilterListModel::Filter(int row) const {
  const int position = Position(row);
  return position >= 0 ? filters_[static_cast<size_t>(position)] : nullptr;
}

int TFilterListModel::columnCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : HasSecondText(kind_) ? 5 : 4;
}

TFilterListModel::TKey TFilterListModel::KeyOf(int column) const {
  if (!HasSecondText(kind_) && column > 0) ++column;
  return static_cast<TKey>(column);
}

QString TFilterListModel::ColumnName(int column) const {
  switch (KeyOf(column)) {
    case TKey::Key1:
      return kind_ == fkSender   ? QStringLiteral("User name")
             : kind_ == fkHeader ? QStringLiteral("Header")
                                 : QStringLiteral("Condition");
    case TKey::Key2:
      return kind_ == fkSender ? QStringLiteral("Domain") : QStringLiteral("Condition");
    case TKey::Case: return QStringLiteral("Case");
    case TKey::Action: return QStringLiteral("Action");
    case TKey::Hits: return QStringLiteral("Hits");
  }
  return {};
}

const QStringList& TFilterListModel::Texts(int position) const {
  QStringList& texts = texts_[static_cast<size_t>(position)];
  if (texts.isEmpty()) {
    TFilterListItem item;
    filters_[static_cast<size_t>(position)]->FillListItem(item);
    texts.append(OneLine(DisplayString(item.Caption)));
    for (const std::string& sub : item.SubItems) texts.append(OneLine(DisplayString(sub)));
  }
  return texts;
}

Qt::Alignment TFilterListModel::Alignment(int column) const {
  switch (KeyOf(column)) {
    case TKey::Case: return Qt::AlignHCenter | Qt::AlignVCenter;
    case TKey::Hits: return Qt::AlignRight | Qt::AlignVCenter;
    default: return Qt::AlignLeft | Qt::AlignVCenter;
  }
}

QVariant TFilterListModel::data(const QModelIndex& index, int role) const {
  const int position = Position(index.row());
  if (!index.isValid() || position < 0) return {};
  if (role == Qt::DisplayRole) return Texts(position).value(index.column());
  if (role == Qt::TextAlignmentRole) return QVariant(Alignment(index.column()));
  return {};
}

QVariant TFilterListModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (orientation == Qt::Horizontal && role == Qt::TextAlignmentRole)
    return QVariant(Alignment(section));
  return TSortedTableModel::headerData(section, orientation, role);
}

void TFilterListModel::PrepareKeys(int column) {
  keys_.clear();
  const TKey key = KeyOf(column);
  if (key != TKey::Key1 && key != TKey::Key2) return;
  // Letter case aside; the bytes below the blank that lead the keys of conditions without a
  // pattern sort them before the patterns.
  keys_.reserve(filters_.size());
  for (const TFilter* filter : filters_)
    keys_.push_back(
        DisplayString(key == TKey::Key1 ? filter->SortKey1() : filter->SortKey2()).toCaseFolded());
}

bool TFilterListModel::Less(int column, int a, int b) const {
  const TFilter& x = *filters_[static_cast<size_t>(a)];
  const TFilter& y = *filters_[static_cast<size_t>(b)];
  switch (KeyOf(column)) {
    case TKey::Key1:
    case TKey::Key2:
      return QString::compare(keys_[static_cast<size_t>(a)], keys_[static_cast<size_t>(b)],
                              Qt::CaseSensitive) < 0;
    case TKey::Case: return x.CaseMatters < y.CaseMatters;
    case TKey::Action: return x.Action < y.Action;
    case TKey::Hits: return x.Hits < y.Hits;
  }
  return false;
}

// --- TCountryListModel ---

TCountryListModel::TCountryListModel(TFilterList& filters, QObject* parent)
    : TSortedTableModel(colName, parent),
      filters_(filters),
      // The names are English ones, so they sort as English does, accents aside.
      collator_(QLocale(QLocale::English, QLocale::UnitedStates)) {
  collator_.setCaseSensitivity(Qt::CaseInsensitive);
  Reload();
}

const TLandInfo* TCountryListModel::Table() const { return filters_.Countries(); }

void TCountryListModel::Reload() {
  beginResetModel();
  codes_.clear();
  names_.clear();
  foldedCodes_.clear();
  if (const TLandInfo* table = Table()) {
    for (int i = 0; i < table->Count(); ++i) {
      codes_.push_back(DisplayString(table->Code(i)));
      names_.push_back(DisplayString(table->Name(i)));
      foldedCodes_.push_back(codes_.back().toCaseFolded());
    }
  }
  SetCount(static_cast<int>(codes_.size()));
  endResetModel();
}

int TCountryListModel::columnCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : 2;
}

QString TCountryListModel::ColumnName(int column) const {
  return column == colCode ? QStringLiteral("Code") : QStringLiteral("Name");
}

QVariant TCountryListModel::data(const QModelIndex& index, int role) const {
  const int country = Country(index.row());
  if (!index.isValid() || country < 0) return {};
  const auto slot = static_cast<size_t>(country);
  if (role == Qt::DisplayRole) return index.column() == colCode ? codes_[slot] : names_[slot];
  if (role == Qt::CheckStateRole && index.column() == colCode && Table() &&
      country < Table()->Count())
    return Table()->IsBlocked(country) ? Qt::Checked : Qt::Unchecked;
  return {};
}

Qt::ItemFlags TCountryListModel::flags(const QModelIndex& index) const {
  Qt::ItemFlags flags = TSortedTableModel::flags(index);
  if (index.isValid() && index.column() == colCode) flags |= Qt::ItemIsUserCheckable;
  return flags;
}

bool TCountryListModel::setData(const QModelIndex& index, const QVariant& value, int role) {
  const int country = Country(index.row());
  if (role != Qt::CheckStateRole || country < 0 || !Table() || country >= Table()->Count())
    return false;
  filters_.SetCountryBlocked(country, value.value<Qt::CheckState>() == Qt::Checked);
  emit dataChanged(this->index(index.row(), colCode), this->index(index.row(), colCode),
                   {Qt::CheckStateRole});
  return true;
}

void TCountryListModel::Toggle(int row) {
  const int country = Country(row);
  if (country < 0 || !Table() || country >= Table()->Count()) return;
  setData(index(row, colCode), Table()->IsBlocked(country) ? Qt::Unchecked : Qt::Checked,
          Qt::CheckStateRole);
}

bool TCountryListModel::Less(int column, int a, int b) const {
  if (column == colCode)
    return QString::compare(foldedCodes_[static_cast<size_t>(a)],
                            foldedCodes_[static_cast<size_t>(b)], Qt::CaseSensitive) < 0;
  return collator_.compare(names_[static_cast<size_t>(a)], names_[static_cast<size_t>(b)]) < 0;
}

}  // namespace tarnwell
