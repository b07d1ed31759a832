#include "mainwindow/ui/MessageListModel.h"

#include <QDate>
#include <QPainter>
#include <QPixmap>
#include <QTime>
#include <algorithm>
#include <numeric>

#include "filtering/FilterTypes.h"
#include "message/Emails.h"
#include "message/SvcString.h"
#include "platform/DateTime.h"
#include "shell/ui/DisplayText.h"
#include "shell/ui/StatusImages.h"

namespace tarnwell {

namespace {

constexpr int kImage = 16;
// The mark image, a gap, and on Live Mail the status image beside it.
constexpr int kGap = 2;

int MarkImage(uint8_t flags) {
  const bool complained = flags & TEmail::sfComplained;
  const bool errorSent = flags & TEmail::sfErrorMessageSent;
  if (complained && errorSent) return siBothSent;
  if (complained) return siComplaintSent;
  if (errorSent) return siErrorMessageSent;
  return -1;
}

int StatusImageOf(uint8_t status) {
  switch (status) {
    case msPossibleSpam: return siPossibleSpam;
    case msSpam: return siSpam;
    case msFriend: return siFriend;
    default: return -1;
  }
}

QPixmap Picture(int image) { return StatusImage(image).pixmap(kImage, kImage); }

QString DateText(TDateTime value, const QLocale& locale) {
  if (value == 0 || !InDateRange(value)) return {};
  const TDateParts parts = DecodeDateTime(value);
  return locale.toString(QDate(parts.year, parts.month, parts.day), QLocale::ShortFormat) +
         QLatin1Char(' ') +
         locale.toString(QTime(parts.hour, parts.minute, parts.second), QLocale::ShortFormat);
}

// A text as a sort key: its first twelve characters held in the key settle most comparisons
// without reading the text itself, which lies elsewhere in memory.
class TTextKey {
 public:
  explicit TTextKey(const QString& text) : text_(&text) {
    for (size_t i = 0; i < kPrefix; ++i)
      prefix_[i] = i < static_cast<size_t>(text.size())
                       ? text.at(static_cast<qsizetype>(i)).unicode()
                       : u'\0';
  }
  bool operator<(const TTextKey& other) const {
    if (prefix_ != other.prefix_) return prefix_ < other.prefix_;
    return QString::compare(*text_, *other.text_, Qt::CaseSensitive) < 0;
  }

 private:
  static constexpr size_t kPrefix = 12;
  std::array<char16_t, kPrefix> prefix_;
  const QString* text_;
};

}  // namespace

TMessageListModel::TMessageListModel(bool live, QObject* parent)
    : QAbstractTableModel(parent), live_(live) {
  SetFont(font_);
  const std::array<int, 4> marks = {-1, siComplaintSent, siErrorMessageSent, siBothSent};
  const std::array<int, 4> statuses = {-1, siPossibleSpam, siSpam, siFriend};
  const int width = live_ ? 2 * kImage + kGap : kImage;
  for (size_t m = 0; m < marks.size(); ++m)
    for (size_t s = 0; s < statuses.size(); ++s) {
      if (marks[m] < 0 && statuses[s] < 0) continue;
      QPixmap pixmap(width, kImage);
      pixmap.fill(Qt::transparent);
      QPainter painter(&pixmap);
      if (marks[m] >= 0) painter.drawPixmap(0, 0, Picture(marks[m]));
      if (live_ && statuses[s] >= 0) painter.drawPixmap(kImage + kGap, 0, Picture(statuses[s]));
      painter.end();
      icons_[m * statuses.size() + s] = QIcon(pixmap);
    }
  for (size_t action = 0; action < actionNames_.size(); ++action)
    actionNames_[action] = QString::fromStdString(ActionName(static_cast<uint8_t>(action)));
}

void TMessageListModel::SetList(const TEmailList* list) {
  beginResetModel();
  list_ = list;
  const int count = list ? list->Count() : 0;
  messages_.resize(static_cast<size_t>(count));
  for (int i = 0; i < count; ++i) messages_[static_cast<size_t>(i)] = (*list)[i];
  std::vector<TTexts>(static_cast<size_t>(count)).swap(texts_);
  Order();
  endResetModel();
}

void TMessageListModel::SetFont(const QFont& font) {
  font_ = font;
  boldFont_ = font;
  boldFont_.setBold(true);
  if (!order_.empty()) emit dataChanged(index(0, 0), index(rowCount() - 1, kColumnCount - 1));
}

TEmail* TMessageListModel::Live(int position) const {
  if (!list_ || position < 0 || position >= list_->Count()) return nullptr;
  TEmail* message = messages_[static_cast<size_t>(position)];
  return (*list_)[position] == message ? message : nullptr;
}

TEmail* TMessageListModel::Message(int row) const { return Live(Position(row)); }

int TMessageListModel::Position(int row) const {
  if (row < 0 || row >= rowCount()) return -1;
  const int position = order_[static_cast<size_t>(row)];
  return Live(position) ? position : -1;
}

int TMessageListModel::RowOfPosition(int position) const {
  const auto found = std::find(order_.begin(), order_.end(), position);
  return found == order_.end() ? -1 : static_cast<int>(found - order_.begin());
}

void TMessageListModel::RowChanged(int row) {
  if (row < 0 || row >= rowCount()) return;
  texts_[static_cast<size_t>(order_[static_cast<size_t>(row)])].Done = 0;
  emit dataChanged(index(row, 0), index(row, kColumnCount - 1));
}

QString TMessageListModel::MakeText(const TEmail& message, int column) const {
  switch (column) {
    case colSender: return OneLine(DecodedDisplayString(DisplayName(message.From)));
    case colSubject: return OneLine(DecodedDisplayString(message.Subject));
    case colDate: return DateText(message.Date, locale_);
    case colReason: return OneLine(DisplayString(message.Reason));
    default: return {};
  }
}

const QString& TMessageListModel::Text(int position, int column) const {
  TTexts& texts = texts_[static_cast<size_t>(position)];
  QString& text = column == colSender    ? texts.Sender
                  : column == colSubject ? texts.Subject
                  : column == colDate    ? texts.Date
                                         : texts.Reason;
  const auto bit = static_cast<uint8_t>(1u << column);
  if (!(texts.Done & bit)) {
    if (const TEmail* message = Live(position)) {
      text = MakeText(*message, column);
      texts.Done |= bit;
    }
  }
  return text;
}

QIcon TMessageListModel::Icon(const TEmail& message) const {
  const int mark = MarkImage(message.Flags);
  const int status = live_ ? StatusImageOf(message.Status) : -1;
  const size_t m = mark < 0 ? 0 : static_cast<size_t>(mark - siComplaintSent + 1);
  const size_t s = status == siPossibleSpam ? 1 : status == siSpam ? 2 : status == siFriend ? 3 : 0;
  return icons_[m * 4 + s];
}

int TMessageListModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : static_cast<int>(order_.size());
}

int TMessageListModel::columnCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : kColumnCount;
}

QVariant TMessageListModel::data(const QModelIndex& index, int role) const {
  if (!index.isValid() || index.row() >= rowCount()) return {};
  const int position = order_[static_cast<size_t>(index.row())];
  const int column = index.column();
  const TEmail* message = Live(position);
  switch (role) {
    case Qt::DisplayRole:
      if (column == colIcon) return {};
      if (column != colSizeOrAction) return Text(position, column);
      if (!message) return {};
      if (live_)
        return message->Length > 0 ? QString::number(message->Length) : QStringLiteral("-");
      return actionNames_[std::min<size_t>(message->Action, actionNames_.size() - 1)];
    case Qt::DecorationRole:
      return column == colIcon && message ? QVariant(Icon(*message)) : QVariant();
    case Qt::FontRole: return message && !message->Read ? boldFont_ : font_;
    case Qt::TextAlignmentRole:
      return live_ && column == colSizeOrAction ? QVariant(Qt::AlignRight | Qt::AlignVCenter)
                                                : QVariant(Qt::AlignLeft | Qt::AlignVCenter);
    default: return {};
  }
}

QVariant TMessageListModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (orientation != Qt::Horizontal) return {};
  // A column clicked for the first time sorts upwards; the same column again reverses.
  if (role == Qt::InitialSortOrderRole) return Qt::AscendingOrder;
  if (role != Qt::DisplayRole) return {};
  switch (section) {
    case colSender: return QStringLiteral("Sender");
    case colSubject: return QStringLiteral("Subject");
    case colDate: return QStringLiteral("Date");
    case colSizeOrAction: return live_ ? QStringLiteral("Size") : QStringLiteral("Action");
    case colReason: return QStringLiteral("Reason");
    default: return QString();
  }
}

void TMessageListModel::Order() {
  // Messages the sort finds equal keep the order of the list, last message first.
  order_.resize(messages_.size());
  std::iota(order_.rbegin(), order_.rend(), 0);
  const bool up = sortOrder_ == Qt::AscendingOrder;
  // Each row's key is taken once, and the keys are sorted with their positions beside them:
  // comparing keys of messages scattered in memory is what makes a large sort slow.
  const auto by = [this, up](auto key) {
    using TKey = decltype(key(0));
    std::vector<std::pair<TKey, int>> keyed;
    keyed.reserve(order_.size());
    for (const int position : order_) keyed.emplace_back(key(position), position);
    std::stable_sort(keyed.begin(), keyed.end(), [up](const auto& a, const auto& b) {
      return up ? a.first < b.first : b.first < a.first;
    });
    for (size_t row = 0; row < keyed.size(); ++row) order_[row] = keyed[row].second;
  };
  // A stale row sorts as a message without date, size or action.
  const auto date = [this](int p) { return Live(p) ? Live(p)->Date : TDateTime{0}; };
  const auto size = [this](int p) { return Live(p) ? Live(p)->Length : 0; };
  const auto action = [this](int p) { return Live(p) ? Live(p)->Action : uint8_t{0}; };
  switch (sortColumn_) {
    case colIcon:
      if (up) std::reverse(order_.begin(), order_.end());
      return;
    case colDate: by(date); return;
    case colSizeOrAction:
      if (live_)
        by(size);
      else
        by(action);
      return;
    default: {
      // Letter case aside: the texts folded, compared as they are.
      std::vector<QString> folded(messages_.size());
      for (size_t p = 0; p < folded.size(); ++p)
        folded[p] = Text(static_cast<int>(p), sortColumn_).toCaseFolded();
      by([&folded](int p) { return TTextKey(folded[static_cast<size_t>(p)]); });
      return;
    }
  }
}

void TMessageListModel::sort(int column, Qt::SortOrder order) {
  if (column < 0 || column >= kColumnCount) return;
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
  for (const QModelIndex& old : persistent) {
    const int position = before[static_cast<size_t>(old.row())];
    moved.append(index(rowOf[static_cast<size_t>(position)], old.column()));
  }
  changePersistentIndexList(persistent, moved);
  emit layoutChanged({}, QAbstractItemModel::VerticalSortHint);
}

}  // namespace tarnwell
