#pragma once

#include <QAbstractTableModel>
#include <QCollator>
#include <QStringList>
#include <cstdint>
#include <vector>

namespace tarnwell {

class TFilter;
class TFilterList;
class TLandInfo;

// A table whose rows are kept in a sort order of its own over the positions of what it shows:
// sorting keeps each row's selection and current item, as the views hold them by persistent
// index.
class TSortedTableModel : public QAbstractTableModel {
  Q_OBJECT

 public:
  // Sorted upwards by `sortColumn` until told otherwise.
  explicit TSortedTableModel(int sortColumn, QObject* parent = nullptr)
      : QAbstractTableModel(parent), sortColumn_(sortColumn) {}

  [[nodiscard]] int SortColumn() const { return sortColumn_; }
  [[nodiscard]] Qt::SortOrder SortOrder() const { return sortOrder_; }
  // The position of `row` in what the model shows; -1 for none.
  [[nodiscard]] int Position(int row) const;
  [[nodiscard]] int RowOfPosition(int position) const;

  [[nodiscard]] int rowCount(const QModelIndex& parent = {}) const override;
  [[nodiscard]] QVariant headerData(int section, Qt::Orientation orientation,
                                    int role) const override;
  void sort(int column, Qt::SortOrder order) override;

 protected:
  // Sets the rows to `count` positions in the current order; between the model's reset calls.
  void SetCount(int count);
  // Whether position `a` comes before `b` in `column`, upwards.
  [[nodiscard]] virtual bool Less(int column, int a, int b) const = 0;
  // Called before comparing, for keys that are worth working out once per sort.
  virtual void PrepareKeys(int column) { static_cast<void>(column); }
  [[nodiscard]] virtual QString ColumnName(int column) const = 0;

 private:
  void Order();

  std::vector<int> order_;
  int sortColumn_;
  Qt::SortOrder sortOrder_ = Qt::AscendingOrder;
};

// The rows of one kind tab of the Filters page: the filters it is given, in the tab's sort order.
// A row's texts are the filter's FillListItem, made when the row is first drawn and then kept, so
// thousands of filters cost little more than the rows on the screen.
class TFilterListModel : public TSortedTableModel {
  Q_OBJECT

 public:
  // `kind`: fkSender, fkSubject, fkText or fkHeader; the Sender tab starts sorted by its domain.
  explicit TFilterListModel(uint8_t kind, QObject* parent = nullptr);

  // Takes the rows, in the current sort order.
  void SetFilters(std::vector<TFilter*> filters);
  [[nodiscard]] TFilter* Filter(int row) const;
  [[nodiscard]] uint8_t Kind() const { return kind_; }

  [[nodiscard]] int columnCount(const QModelIndex& parent = {}) const override;
  [[nodiscard]] QVariant data(const QModelIndex& index, int role) const override;
  [[nodiscard]] QVariant headerData(int section, Qt::Orientation orientation,
                                    int role) const override;

 protected:
  [[nodiscard]] bool Less(int column, int a, int b) const override;
  void PrepareKeys(int column) override;
  [[nodiscard]] QString ColumnName(int column) const override;

 private:
  // What a column sorts by.
  enum class TKey { Key1, Key2, Case, Action, Hits };

  [[nodiscard]] TKey KeyOf(int column) const;
  [[nodiscard]] Qt::Alignment Alignment(int column) const;
  [[nodiscard]] const QStringList& Texts(int position) const;

  const uint8_t kind_;
  std::vector<TFilter*> filters_;
  mutable std::vector<QStringList> texts_;
  std::vector<QString> keys_;
};

// The rows of the Country tab: the country table's codes and names, each with a check box that
// blocks the country through the filter list, which saves the table.
class TCountryListModel : public TSortedTableModel {
  Q_OBJECT

 public:
  enum TColumn : int { colCode = 0, colName = 1 };

  explicit TCountryListModel(TFilterList& filters, QObject* parent = nullptr);

  // Reads the table again.
  void Reload();
  // The country's index in the table of `row`, or -1.
  [[nodiscard]] int Country(int row) const { return Position(row); }
  // Flips the box of `row`, storing the flag.
  void Toggle(int row);

  [[nodiscard]] int columnCount(const QModelIndex& parent = {}) const override;
  [[nodiscard]] QVariant data(const QModelIndex& index, int role) const override;
  [[nodiscard]] Qt::ItemFlags flags(const QModelIndex& index) const override;
  bool setData(const QModelIndex& index, const QVariant& value, int role) override;

 protected:
  [[nodiscard]] bool Less(int column, int a, int b) const override;
  [[nodiscard]] QString ColumnName(int column) const override;

 private:
  [[nodiscard]] const TLandInfo* Table() const;

  TFilterList& filters_;
  std::vector<QString> codes_;
  std::vector<QString> names_;
  std::vector<QString> foldedCodes_;
  QCollator collator_;
};

}  // namespace tarnwell
