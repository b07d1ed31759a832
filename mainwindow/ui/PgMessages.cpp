#include "mainwindow/ui/PgMessages.h"

#include <QDate>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QSplitter>
#include <QStyledItemDelegate>
#include <QTime>
#include <QTreeView>
#include <QVBoxLayout>
#include <algorithm>
#include <array>
#include <unordered_set>

#include "accounts/AccountList.h"
#include "app/UserInterface.h"
#include "mainwindow/ui/ColumnShare.h"
#include "mainwindow/ui/MessageListModel.h"
#include "mainwindow/ui/MessagePreview.h"
#include "mainwindow/ui/PageParts.h"
#include "mainwindow/ui/UiCommand.h"
#include "message/Emails.h"
#include "message/MIME.h"
#include "message/SvcString.h"
#include "message/SvcSystem.h"
#include "shell/Settings.h"
#include "shell/ui/DisplayText.h"
#include "shell/ui/DlgMessage.h"

namespace tarnwell {

namespace {

constexpr int kDetailsPointSize = 10;
constexpr int kMessagePointSize = 12;
constexpr int kMinimumListHeight = 50;
constexpr int kDefaultListHeight = 200;
constexpr std::array<int, TMessageListModel::kColumnCount> kLiveWidths = {44,  160, 260,
                                                                          110, 70,  160};
constexpr std::array<int, TMessageListModel::kColumnCount> kKilledWidths = {26,  150, 240,
                                                                            110, 120, 160};

constexpr int kCellMargin = 8;

// Rows with a little air above and below their text.
class TRowDelegate : public QStyledItemDelegate {
 public:
  using QStyledItemDelegate::QStyledItemDelegate;
  QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override {
    return QStyledItemDelegate::sizeHint(option, index) + QSize(0, 4);
  }
};

QString Lines(const std::vector<std::string>& lines) {
  std::string text;
  for (const std::string& line : lines) {
    text += line;
    text += '\n';
  }
  return DisplayString(text);
}

QString Names(const std::vector<std::string>& addresses) {
  QString names;
  for (const std::string& address : addresses) {
    if (!names.isEmpty()) names += QStringLiteral(", ");
    names += DecodedDisplayString(DisplayName(address));
  }
  return OneLine(names);
}

}  // namespace

TPgMessages::TPgMessages(bool live, const QString& caption, TAccountList& accounts, QWidget* parent)
    : TMessagePage(parent), live_(live), accounts_(accounts), captionText_(caption) {
  model_ = new TMessageListModel(live, this);
  BuildLayout(live ? QStringLiteral("lvInbox") : QStringLiteral("lvKilled"),
              live ? QStringLiteral("htmlInbox") : QStringLiteral("htmlKilled"),
              live ? QStringLiteral("pnlInbox") : QStringLiteral("pnlKilled"));
  BuildMenus();
  readTimer_.SetOnTimer([this] { ReadTimerFired(); });
  ApplyDisplaySettings();
  // The dates as wide as the locale writes them, in the bold of unread messages.
  QFont bold = list_->font();
  bold.setBold(true);
  const QString widest = QLocale().toString(QDate(2000, 12, 28), QLocale::ShortFormat) +
                         QStringLiteral(" ") +
                         QLocale().toString(QTime(23, 58), QLocale::ShortFormat);
  const auto& defaults = live_ ? kLiveWidths : kKilledWidths;
  std::vector<int> widths(defaults.begin(), defaults.end());
  int& date = widths[TMessageListModel::colDate];
  date = std::max(date, QFontMetrics(bold).horizontalAdvance(widest) + 2 * kCellMargin);
  columns_->SetPreferred(std::move(widths));
  UpdateCaption();
}

TPgMessages::~TPgMessages() = default;

void TPgMessages::BuildLayout(const QString& listName, const QString& previewName,
                              const QString& panelName) {
  auto* root = new QVBoxLayout(this);
  root->setContentsMargins(0, 0, 0, 0);
  root->setSpacing(0);

  caption_ = NewPageCaption(QString(), this);
  root->addWidget(caption_);

  auto* body = new QHBoxLayout();
  body->setContentsMargins(4, 4, 4, 4);
  body->setSpacing(4);
  root->addLayout(body, 1);

  splitter_ = new QSplitter(Qt::Vertical, this);
  splitter_->setChildrenCollapsible(false);
  body->addWidget(splitter_, 1);

  list_ = new QTreeView(splitter_);
  list_->setObjectName(listName);
  list_->setRootIsDecorated(false);
  list_->setItemsExpandable(false);
  list_->setUniformRowHeights(true);
  list_->setAllColumnsShowFocus(true);
  list_->setSelectionMode(QAbstractItemView::ExtendedSelection);
  list_->setSelectionBehavior(QAbstractItemView::SelectRows);
  list_->setEditTriggers(QAbstractItemView::NoEditTriggers);
  list_->setContextMenuPolicy(Qt::CustomContextMenu);
  list_->setMinimumHeight(kMinimumListHeight);
  list_->setIconSize(QSize(live_ ? 34 : 16, 16));
  list_->setModel(model_);
  QHeaderView* header = list_->header();
  header->setSortIndicator(TMessageListModel::colIcon, Qt::DescendingOrder);
  header->setSectionsMovable(false);
  columns_ =
      new TColumnShare(*list_, {TMessageListModel::colSubject, TMessageListModel::colSender});
  list_->setSortingEnabled(true);
  list_->setItemDelegate(new TRowDelegate(list_));
  connect(list_->selectionModel(), &QItemSelectionModel::selectionChanged, this,
          &TPgMessages::OnSelectionChanged);
  connect(list_, &QWidget::customContextMenuRequested, this,
          [this](const QPoint& at) { listMenu_->popup(list_->viewport()->mapToGlobal(at)); });

  auto* lower = new QWidget(splitter_);
  auto* lowerLayout = new QVBoxLayout(lower);
  lowerLayout->setContentsMargins(0, 0, 0, 0);
  lowerLayout->setSpacing(2);
  auto* panel = new QWidget(lower);
  panel->setObjectName(panelName);
  auto* grid = new QGridLayout(panel);
  grid->setContentsMargins(2, 2, 2, 2);
  grid->setVerticalSpacing(1);
  const auto addLine = [panel, grid](int row, const QString& caption, const QString& name) {
    auto* label = new QLabel(caption, panel);
    QFont font = label->font();
    font.setBold(true);
    label->setFont(font);
    auto* value = new QLabel(panel);
    value->setObjectName(name);
    value->setTextFormat(Qt::PlainText);
    value->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    value->setTextInteractionFlags(Qt::TextSelectableByMouse);
    grid->addWidget(label, row, 0);
    grid->addWidget(value, row, 1);
    return value;
  };
  to_ = addLine(0, QStringLiteral("To:"), QStringLiteral("lblTo"));
  replyTo_ = addLine(1, QStringLiteral("Reply to:"), QStringLiteral("lblReplyTo"));
  grid->setColumnStretch(1, 1);
  lowerLayout->addWidget(panel);
  preview_ = new TMessagePreview(lower);
  preview_->setObjectName(previewName);
  lowerLayout->addWidget(preview_, 1);
  connect(preview_, &QWidget::customContextMenuRequested, this,
          [this](const QPoint& at) { previewMenu_->popup(preview_->viewport()->mapToGlobal(at)); });
  splitter_->setStretchFactor(0, 0);
  splitter_->setStretchFactor(1, 1);
  splitter_->setSizes({kDefaultListHeight, kDefaultListHeight * 2});

  buttons_ = new QWidget(this);
  buttons_->setObjectName(QStringLiteral("pnlRight"));
  auto* column = new QVBoxLayout(buttons_);
  column->setContentsMargins(0, 0, 0, 0);
  column->setSpacing(4);
  column->addStretch(1);
  body->addWidget(buttons_);
  addFilter_ = AddButton("sbAddFilter", QStringLiteral("Add a filter"),
                         QStringLiteral("Add a message filter"));
  addFriend_ =
      AddButton("sbAddFriend", QStringLiteral("Add a friend"), QStringLiteral("Add a friend"));
  error_ = AddButton("sbError", QStringLiteral("Send an error"),
                     QStringLiteral("Send an error message"));
  complain_ = AddButton("sbComplain", QStringLiteral("Send complaint"),
                        QStringLiteral("Complain about a message"));
  details_ = AddButton("sbDetails", QStringLiteral("View details"),
                       QStringLiteral("Toggle display of message headers"));
  details_->setCheckable(true);
  connect(addFilter_, &QPushButton::clicked, this, [this] { AddFilter(); });
  connect(addFriend_, &QPushButton::clicked, this,
          [this] { RunCommand([this] { actions_.AddFriend(*this); }); });
  connect(error_, &QPushButton::clicked, this,
          [this] { RunCommand([this] { actions_.SendError(*this); }); });
  connect(complain_, &QPushButton::clicked, this, [this] { SendComplaint(); });
  connect(details_, &QPushButton::toggled, this, [this] { ShowCurrent(); });
}

QPushButton* TPgMessages::AddButton(const char* name, const QString& caption, const QString& hint) {
  QPushButton* button = NewPageButton(name, caption, hint, buttons_);
  auto* column = static_cast<QVBoxLayout*>(buttons_->layout());
  column->insertWidget(details_ ? column->indexOf(details_) : column->count() - 1, button);
  return button;
}

void TPgMessages::BuildMenus() {
  listMenu_ = new QMenu(this);
  listMenu_->setObjectName(QStringLiteral("pmList"));
  markRead_ = listMenu_->addAction(QStringLiteral("Mark as &Read"));
  markRead_->setObjectName(QStringLiteral("miMarkRead"));
  markUnread_ = listMenu_->addAction(QStringLiteral("Mark as &Unread"));
  markUnread_->setObjectName(QStringLiteral("miMarkUnread"));
  delete_ = listMenu_->addAction(QStringLiteral("&Delete"));
  delete_->setObjectName(QStringLiteral("miDelete"));
  listSelectAll_ = listMenu_->addAction(QStringLiteral("Se&lect All"));
  listSelectAll_->setObjectName(QStringLiteral("miSelectAll"));
  connect(markRead_, &QAction::triggered, this,
          [this] { RunCommand([this] { MarkSelected(true); }); });
  connect(markUnread_, &QAction::triggered, this,
          [this] { RunCommand([this] { MarkSelected(false); }); });
  connect(delete_, &QAction::triggered, this, [this] {
    if (actions_.Delete) actions_.Delete(*this);
  });
  connect(listSelectAll_, &QAction::triggered, list_, &QAbstractItemView::selectAll);

  previewMenu_ = new QMenu(this);
  previewMenu_->setObjectName(QStringLiteral("pmPreview"));
  copy_ = previewMenu_->addAction(QStringLiteral("&Copy"));
  copy_->setObjectName(QStringLiteral("miCopy"));
  copy_->setShortcut(QKeySequence::Copy);
  copy_->setEnabled(false);
  previewSelectAll_ = previewMenu_->addAction(QStringLiteral("Se&lect All"));
  previewSelectAll_->setObjectName(QStringLiteral("miPreviewSelectAll"));
  connect(copy_, &QAction::triggered, preview_, &QTextEdit::copy);
  connect(preview_, &QTextEdit::copyAvailable, copy_, &QAction::setEnabled);
  connect(previewSelectAll_, &QAction::triggered, preview_, &QTextEdit::selectAll);
}

void TPgMessages::SetActions(TMessagePageActions actions) {
  actions_ = std::move(actions);
  UpdateCommands();
}

TQtMessageDialogs& TPgMessages::Dialogs() { return UiDialogs(); }

void TPgMessages::ShowError(const std::string& text) { Dialogs().ShowErrorOver(text, window()); }

void TPgMessages::RunCommand(const std::function<void()>& command) { RunUiCommand(this, command); }

void TPgMessages::UnderWaitWindow(const std::function<void()>& work) {
  Dialogs().ShowWait(window());
  try {
    work();
  } catch (...) {
    Dialogs().HideWait();
    throw;
  }
  Dialogs().HideWait();
}

TEmailList* TPgMessages::ShownList() const { return account_ ? &ListOf(*account_) : nullptr; }

void TPgMessages::SetAccount(TAccount* account) {
  account_ = account;
  Reload();
}

void TPgMessages::Reload() { RebuildSelecting(0); }

void TPgMessages::RebuildSelecting(int row) {
  readTimer_.SetEnabled(false);
  current_ = nullptr;
  currentPosition_ = -1;
  model_->SetList(ShownList());
  UpdateCaption();
  const int rows = model_->rowCount();
  if (rows == 0) {
    ClearPreview();
    UpdateCommands();
    return;
  }
  const QModelIndex first = model_->index(std::clamp(row, 0, rows - 1), 0);
  list_->selectionModel()->setCurrentIndex(
      first, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
  list_->scrollTo(first);
}

void TPgMessages::Redraw() {
  std::unordered_set<const TEmail*> selected;
  for (const QItemSelectionRange& range : list_->selectionModel()->selection())
    for (int row = range.top(); row <= range.bottom(); ++row)
      if (const TEmail* message = model_->Message(row)) selected.insert(message);
  const TEmail* top = model_->Message(list_->indexAt(QPoint(0, 0)).row());
  const TEmail* focused = model_->Message(list_->currentIndex().row());

  redrawing_ = true;
  model_->SetList(ShownList());
  UpdateCaption();
  int topRow = -1;
  int focusedRow = -1;
  for (int row = 0; row < model_->rowCount(); ++row) {
    const TEmail* message = model_->Message(row);
    if (message && message == top) topRow = row;
    if (message && message == focused) focusedRow = row;
  }
  if (focusedRow >= 0)
    list_->selectionModel()->setCurrentIndex(model_->index(focusedRow, 0),
                                             QItemSelectionModel::NoUpdate);
  SelectRows([&](int row) { return selected.contains(model_->Message(row)); });
  if (topRow >= 0) list_->scrollTo(model_->index(topRow, 0), QAbstractItemView::PositionAtTop);
  redrawing_ = false;

  // The message shown may have gone with the rebuild.
  if (current_) {
    TEmailList* list = ShownList();
    currentPosition_ = list ? list->IndexOf(current_) : -1;
    if (currentPosition_ < 0) {
      current_ = nullptr;
      ClearPreview();
    }
  }
  if (model_->rowCount() == 0) ClearPreview();
  UpdateCommands();
}

void TPgMessages::SelectRows(const std::function<bool(int row)>& take) {
  QItemSelection selection;
  const int last = TMessageListModel::kColumnCount - 1;
  for (int row = 0; row < model_->rowCount(); ++row) {
    if (!take(row)) continue;
    if (!selection.isEmpty() && selection.last().bottom() == row - 1)
      selection.last() = QItemSelectionRange(selection.last().topLeft(), model_->index(row, last));
    else
      selection.append(QItemSelectionRange(model_->index(row, 0), model_->index(row, last)));
  }
  list_->selectionModel()->select(selection, QItemSelectionModel::ClearAndSelect);
}

int TPgMessages::SelectedCount() const {
  int count = 0;
  for (const QItemSelectionRange& range : list_->selectionModel()->selection())
    count += range.height();
  return count;
}

int TPgMessages::SingleSelectedRow() const {
  const QItemSelection selection = list_->selectionModel()->selection();
  return selection.size() == 1 && selection.first().height() == 1 ? selection.first().top() : -1;
}

std::vector<int> TPgMessages::SelectedIndexes() const {
  std::vector<int> positions;
  for (const QItemSelectionRange& range : list_->selectionModel()->selection())
    for (int row = range.top(); row <= range.bottom(); ++row) {
      const int position = model_->Position(row);
      if (position >= 0) positions.push_back(position);
    }
  std::sort(positions.begin(), positions.end());
  return positions;
}

std::vector<TEmail*> TPgMessages::SelectedMessages() const {
  std::vector<TEmail*> messages;
  if (const TEmailList* list = ShownList())
    for (const int position : SelectedIndexes())
      if (position < list->Count()) messages.push_back((*list)[position]);
  return messages;
}

TEmail* TPgMessages::CurrentMessage() const {
  const TEmailList* list = ShownList();
  if (!current_ || !list || currentPosition_ < 0 || currentPosition_ >= list->Count())
    return nullptr;
  return (*list)[currentPosition_] == current_ ? current_ : nullptr;
}

void TPgMessages::OnSelectionChanged(const QItemSelection&, const QItemSelection&) {
  const int row = SingleSelectedRow();
  TEmail* message = row >= 0 ? model_->Message(row) : nullptr;
  // The records change under the page while a check runs; it shows them again afterwards.
  if (message && !accounts_.Busy && !(redrawing_ && message == current_)) {
    if (!message->Read && Settings().AutoRead) RestartReadTimer();
    current_ = message;
    currentPosition_ = model_->Position(row);
    ShowMessage(*message);
  }
  UpdateCommands();
}

std::vector<std::string> TPgMessages::TextLines(TEmail& message, bool& retrieved) {
  if (message.BodyLoaded) {
    retrieved = true;
    return message.Body;
  }
  message.LoadBody();
  retrieved = message.BodyLoaded;
  std::vector<std::string> lines = std::move(message.Body);
  message.ClearBody();
  return lines;
}

void TPgMessages::ShowMessage(TEmail& message) {
  to_->setText(Names(message.To));
  replyTo_->setText(OneLine(DecodedDisplayString(DisplayName(message.ReplyTo))));
  bool retrieved = false;
  std::vector<std::string> lines = TextLines(message, retrieved);
  currentRetrieved_ = retrieved;
  if (details_->isChecked()) {
    preview_->ShowPlain(Lines(message.Headers.Lines()) + QLatin1Char('\n') + Lines(lines),
                        kDetailsPointSize);
  } else {
    bool html = false;
    std::vector<TInlineImage> images;
    if (retrieved && TDeMIME::IsMime(message.Headers)) {
      TDeMIME decoder;
      decoder.KeepImages(&images);
      decoder.DecodeBody(message.Headers, lines);
      html = decoder.HtmlSeen();
    }
    if (html)
      preview_->ShowHtml(Lines(lines), kMessagePointSize, images);
    else
      preview_->ShowPlain(Lines(lines), kMessagePointSize);
  }
  QPalette palette;
  if (live_ && !retrieved)
    palette.setColor(QPalette::Text, this->palette().color(QPalette::Disabled, QPalette::Text));
  preview_->setPalette(palette);
}

void TPgMessages::ShowCurrent() {
  if (TEmail* message = CurrentMessage(); message && !accounts_.Busy) ShowMessage(*message);
  UpdateCommands();
}

void TPgMessages::ClearPreview() {
  to_->clear();
  replyTo_->clear();
  preview_->Clear();
  currentRetrieved_ = false;
}

void TPgMessages::UpdateCaption() {
  const int count = model_->rowCount();
  const QString name = QStringLiteral("    ") + captionText_;
  caption_->setText(count > 0 ? name + QStringLiteral("  (%1 messages)").arg(count) : name);
  list_->setEnabled(count > 0);
  preview_->setEnabled(count > 0);
}

void TPgMessages::UpdateCommands() {
  const int selected = SelectedCount();
  const bool current = CurrentMessage() != nullptr;
  addFilter_->setEnabled(actions_.AddFilter && selected == 1);
  addFriend_->setEnabled(actions_.AddFriend && selected == 1);
  error_->setEnabled(actions_.SendError && current);
  complain_->setEnabled(actions_.SendComplaint && current);
  details_->setEnabled(current);

  bool unread = false;
  bool read = false;
  for (const QItemSelectionRange& range : list_->selectionModel()->selection())
    for (int row = range.top(); row <= range.bottom() && !(unread && read); ++row)
      if (const TEmail* message = model_->Message(row)) (message->Read ? read : unread) = true;
  markRead_->setEnabled(unread);
  markUnread_->setEnabled(read);
  delete_->setEnabled(actions_.Delete && selected > 0);
  listSelectAll_->setEnabled(model_->rowCount() > 0);
  previewSelectAll_->setEnabled(current && currentRetrieved_);
  UpdatePageCommands();
  emit SelectionChanged();
}

void TPgMessages::RestartReadTimer() {
  readTimer_.SetEnabled(false);
  if (!showing_) return;
  readTimer_.SetInterval(static_cast<uint32_t>(std::max(0, Settings().AutoReadAfter)) * 1000u);
  readTimer_.SetEnabled(true);
}

void TPgMessages::ReadTimerFired() {
  readTimer_.SetEnabled(false);
  if (accounts_.Busy || !showing_) return;
  const int row = SingleSelectedRow();
  TEmail* message = model_->Message(row);
  if (!message || message->Read) return;
  message->SetRead(true);
  model_->RowChanged(row);
  UpdateCommands();
}

void TPgMessages::SetShowing(bool showing) {
  showing_ = showing;
  readTimer_.SetEnabled(false);
  if (!showing || !Settings().AutoRead) return;
  const TEmail* message = model_->Message(SingleSelectedRow());
  if (message && !message->Read) RestartReadTimer();
}

void TPgMessages::MarkSelected(bool read) {
  TEmailList* list = ShownList();
  if (!list) return;
  list->SetReadMany(SelectedIndexes(), read);
  for (const QItemSelectionRange& range : list_->selectionModel()->selection())
    for (int row = range.top(); row <= range.bottom(); ++row) model_->RowChanged(row);
  UpdateCommands();
}

void TPgMessages::DeleteSelected() {
  RunCommand([this] {
    const std::vector<int> positions = SelectedIndexes();
    if (positions.empty()) return;
    int oldRow = model_->rowCount();
    for (const QItemSelectionRange& range : list_->selectionModel()->selection())
      oldRow = std::min(oldRow, range.top());
    std::string error;
    try {
      UnderWaitWindow([&] { DeleteMessages(positions); });
    } catch (const std::exception& failure) {
      error = failure.what();
    }
    RebuildSelecting(oldRow);
    if (!error.empty()) ShowError(error);
  });
}

void TPgMessages::SelectAll() {
  if (preview_->hasFocus())
    preview_->selectAll();
  else
    list_->selectAll();
}

bool TPgMessages::Details() const { return details_->isChecked(); }

void TPgMessages::SetDetails(bool details) { details_->setChecked(details); }

void TPgMessages::PrintSelected(QPrinter& printer) {
  if (actions_.Print) RunCommand([&] { actions_.Print(*this, printer); });
}

void TPgMessages::AddFilter() {
  if (addFilter_->isEnabled()) RunCommand([this] { actions_.AddFilter(*this); });
}

void TPgMessages::SendComplaint() {
  if (complain_->isEnabled()) RunCommand([this] { actions_.SendComplaint(*this); });
}

void TPgMessages::SendToSpade(bool withText) {
  TEmail* message = CurrentMessage();
  if (!message) return;
  std::string headers;
  for (const std::string& line : message->Headers.Lines()) headers += line + "\r\n";
  std::string text;
  if (withText) {
    bool retrieved = false;
    for (const std::string& line : TextLines(*message, retrieved)) text += line + "\r\n";
  }
  tarnwell::SendToSpade(headers, text);
}

void TPgMessages::ApplyDisplaySettings() {
  ShowPageHints(*buttons_);
  const TSettings& settings = Settings();
  QFont font = list_->font();
  if (settings.FontSize > 0) font.setPointSize(settings.FontSize);
  list_->setFont(font);
  model_->SetFont(font);
}

void TPgMessages::SaveLayout() {
  TSettings& settings = Settings();
  auto& widths = live_ ? settings.ColsInbox : settings.ColsKilled;
  const std::vector<int>& preferred = columns_->Preferred();
  for (size_t column = 0; column < widths.size(); ++column)
    widths[column] = column < preferred.size() ? preferred[column] : 0;
  (live_ ? settings.SplitInbox : settings.SplitKilled) = splitter_->sizes().value(0);
}

void TPgMessages::RestoreLayout() {
  const TSettings& settings = Settings();
  std::vector<int> inbox = columns_->Preferred();
  std::vector<int> killed = inbox;
  settings.ApplyColumns(inbox, killed);
  columns_->SetPreferred(live_ ? std::move(inbox) : std::move(killed));
  const int split = live_ ? settings.SplitInbox : settings.SplitKilled;
  if (split > 0) {
    const QList<int> sizes = splitter_->sizes();
    const int total = std::max(sizes.value(0) + sizes.value(1), split + kMinimumListHeight);
    splitter_->setSizes({std::max(split, kMinimumListHeight), total - split});
  }
  ApplyDisplaySettings();
}

void TPgMessages::showEvent(QShowEvent* event) {
  ApplyDisplaySettings();
  TMessagePage::showEvent(event);
}

}  // namespace tarnwell
