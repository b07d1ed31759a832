#pragma once

#include <QAbstractTableModel>
#include <QFont>
#include <QIcon>
#include <QLocale>
#include <array>
#include <cstdint>
#include <vector>

namespace tarnwell {

class TEmail;
class TEmailList;

// The rows of a message page over an account's Live Mail or Killed Mail list, one per message,
// last message first until the user sorts. The texts a row shows are worked out when it is first
// drawn or sorted on and then kept, so a folder of 100,000 messages costs little more than the
// rows on the screen.
//
// The list changes under the model while a check runs (records come and go), and the page
// rebuilds the rows only afterwards: a row whose message is no longer at its place in the list is
// stale, shows what it showed before and gives no message.
class TMessageListModel : public QAbstractTableModel {
  Q_OBJECT

 public:
  enum TColumn : int {
    colIcon = 0,
    colSender = 1,
    colSubject = 2,
    colDate = 3,
    // "Size" on Live Mail, "Action" on Killed Mail.
    colSizeOrAction = 4,
    colReason = 5,
  };
  static constexpr int kColumnCount = 6;

  // `live`: the Live Mail columns and the status images; else Killed Mail's.
  explicit TMessageListModel(bool live, QObject* parent = nullptr);

  // Takes the messages of `list` (none: no rows) in the current order.
  void SetList(const TEmailList* list);
  // The font of the rows; unread messages are drawn in its bold form.
  void SetFont(const QFont& font);

  // The message of `row`, or none when the row is stale.
  [[nodiscard]] TEmail* Message(int row) const;
  // The position in the account's list of the message of `row`; -1 when the row is stale.
  [[nodiscard]] int Position(int row) const;
  // The row of the message at `position` of the list, or -1.
  [[nodiscard]] int RowOfPosition(int position) const;
  // Tells the view that the row's message changed (its read state, its marks).
  void RowChanged(int row);

  [[nodiscard]] int SortColumn() const { return sortColumn_; }
  [[nodiscard]] Qt::SortOrder SortOrder() const { return sortOrder_; }

  [[nodiscard]] int rowCount(const QModelIndex& parent = {}) const override;
  [[nodiscard]] int columnCount(const QModelIndex& parent = {}) const override;
  [[nodiscard]] QVariant data(const QModelIndex& index, int role) const override;
  [[nodiscard]] QVariant headerData(int section, Qt::Orientation orientation,
                                    int role) const override;
  void sort(int column, Qt::SortOrder order) override;

 private:
  // What a row shows in its text columns, worked out once; `Done` has bit n set for column n.
  struct TTexts {
    QString Sender;
    QString Subject;
    QString Date;
    QString Reason;
    uint8_t Done = 0;
  };

  // The message at `position` while it is still there.
  [[nodiscard]] TEmail* Live(int position) const;
  [[nodiscard]] const QString& Text(int position, int column) const;
  [[nodiscard]] QString MakeText(const TEmail& message, int column) const;
  [[nodiscard]] QIcon Icon(const TEmail& message) const;
  // The rows in the order of `sortColumn_` and `sortOrder_`.
  void Order();

  const bool live_;
  const TEmailList* list_ = nullptr;
  // By position in the list, as it was when the rows were made.
  std::vector<TEmail*> messages_;
  mutable std::vector<TTexts> texts_;
  // Row to position.
  std::vector<int> order_;
  int sortColumn_ = colIcon;
  Qt::SortOrder sortOrder_ = Qt::DescendingOrder;
  QFont font_;
  QFont boldFont_;
  QLocale locale_;
  // By mark (none, complaint, error message, both) and status image (none, possible spam, spam,
  // friend).
  std::array<QIcon, 16> icons_;
  std::array<QString, 7> actionNames_;
};

}  // namespace tarnwell
