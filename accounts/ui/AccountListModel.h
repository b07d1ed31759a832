#pragma once

#include <QAbstractTableModel>
#include <QString>
#include <string>
#include <vector>

namespace tarnwell {

class TAccount;
class TAccountList;

// The rows of the Accounts page: one per account of the list, with its switch, description,
// type and connection. The rows are sorted by one column: its list position (0) or its text
// (1 to 3), without regard to the case of ASCII letters, ascending or descending.
class TAccountListModel : public QAbstractTableModel {
  Q_OBJECT

 public:
  enum TColumn : int { colActive, colDescription, colType, colConnection, kColumnCount };

  explicit TAccountListModel(const TAccountList& accounts, QObject* parent = nullptr);

  // One row per account of the list, in the current order.
  void FillRows();
  // Rewrites the row's texts and switch from its account, then sorts again.
  void RefreshRow(int row);
  // A click on the header of `column`: the same column again reverses the order, another one
  // sorts by it ascending.
  void ColumnClick(int column);

  [[nodiscard]] TAccount* Account(int row) const;
  // The row of `account`, or -1.
  [[nodiscard]] int RowOf(const TAccount* account) const;
  [[nodiscard]] int SortColumn() const { return sortColumn_; }
  [[nodiscard]] bool SortDescending() const { return sortDescending_; }

  [[nodiscard]] int rowCount(const QModelIndex& parent = {}) const override;
  [[nodiscard]] int columnCount(const QModelIndex& parent = {}) const override;
  [[nodiscard]] QVariant data(const QModelIndex& index, int role) const override;
  [[nodiscard]] QVariant headerData(int section, Qt::Orientation orientation,
                                    int role) const override;
  [[nodiscard]] Qt::ItemFlags flags(const QModelIndex& index) const override;
  // The switch of a row is the user's to flip; the account changes where `SwitchClicked` is
  // handled.
  bool setData(const QModelIndex& index, const QVariant& value, int role) override;

 signals:
  // The user flipped the switch of `account`'s row to `active`.
  void SwitchClicked(tarnwell::TAccount* account, bool active);

 private:
  struct TRow {
    TAccount* Account = nullptr;
    int Position = 0;
    bool Active = false;
    // Shown, and as compared (ASCII letters in lower case), for columns 1 to 3.
    QString Texts[3];
    std::string Keys[3];
  };

  [[nodiscard]] TRow RowFor(TAccount* account, int position) const;
  // Sorts the rows, keeping the views' persistent indexes on their accounts.
  void Sort();
  void Order();

  const TAccountList& accounts_;
  std::vector<TRow> rows_;
  int sortColumn_ = colActive;
  bool sortDescending_ = false;
};

}  // namespace tarnwell
