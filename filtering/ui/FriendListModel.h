#pragma once

#include <QAbstractListModel>
#include <QString>
#include <vector>

namespace tarnwell {

class TFilter;
class TFilterList;

// The rows of the Friends page: one per friend filter of the list, of every origin, showing its
// description, sorted by it without regard to case. Sorting keeps the view's selection.
class TFriendListModel : public QAbstractListModel {
  Q_OBJECT

 public:
  using QAbstractListModel::QAbstractListModel;

  // Takes the friends of `list` in the current order.
  void SetList(const TFilterList& list);

  // The friend of `row`, or none.
  [[nodiscard]] TFilter* Friend(int row) const;
  // The row of `filter`, or -1.
  [[nodiscard]] int RowOf(const TFilter* filter) const;
  [[nodiscard]] Qt::SortOrder SortOrder() const { return order_; }

  [[nodiscard]] int rowCount(const QModelIndex& parent = {}) const override;
  [[nodiscard]] QVariant data(const QModelIndex& index, int role) const override;
  [[nodiscard]] QVariant headerData(int section, Qt::Orientation orientation,
                                    int role) const override;
  void sort(int column, Qt::SortOrder order) override;

 private:
  struct TRow {
    TFilter* Friend = nullptr;
    QString Text;
  };

  void Order();

  std::vector<TRow> rows_;
  Qt::SortOrder order_ = Qt::AscendingOrder;
};

}  // namespace tarnwell
