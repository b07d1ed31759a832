#include "filtering/ui/PgFilters.h"

#include <QComboBox>
#include <QEvent>
#include <QGuiApplication>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QScreen>
#include <QTabWidget>
#include <QTreeView>
#include <QVBoxLayout>
#include <algorithm>
#include <unordered_map>
#include <unordered_set>

#include "filtering/Countries.h"
#include "filtering/FilterList.h"
#include "filtering/Filters.h"
#include "filtering/ui/DlgFind.h"
#include "filtering/ui/FilterPageModels.h"
#include "filtering/ui/OtherFiltersTab.h"
#include "message/QStrings.h"
#include "shell/Settings.h"
#include "shell/ui/DlgMessage.h"

namespace tarnwell {

namespace {

constexpr int kButtonWidth = 120;
constexpr TOriginSet kStandardOrigins = OriginBit(orSoft) | OriginBit(orUpdate);

// The kind tabs in the order of their places in `kindTabs_`, with their lists' names, the widths
// their columns start with, and the column of patterns, which takes the room the others leave.
struct TKindTabInfo {
  uint8_t kind;
  int tab;
  const char* caption;
  const char* list;
  std::array<int, 5> widths;
  int wide;
};
constexpr std::array<TKindTabInfo, 4> kKindTabs = {{
    {fkSender, TFiltersPg::tbSender, "Sender", "lvSender", {160, 220, 44, 150, 50}, 1},
    {fkSubject, TFiltersPg::tbSubject, "Subject", "lvSubject", {300, 44, 150, 50, 0}, 0},
    {fkText, TFiltersPg::tbText, "Message text", "lvText", {300, 44, 150, 50, 0}, 0},
    {fkHeader, TFiltersPg::tbHeader, "Header", "lvHeader", {130, 240, 44, 150, 50}, 1},
}};

// The actions `cbCountry` offers, in its order.
constexpr std::array<uint8_t, 2> kCountryActions = {acMark, acKill};

QTreeView* NewList(const QString& name, QWidget* parent) {
  auto* list = new QTreeView(parent);
  list->setObjectName(name);
  list->setRootIsDecorated(false);
  list->setItemsExpandable(false);
  list->setUniformRowHeights(true);
  list->setAllColumnsShowFocus(true);
  list->setSelectionBehavior(QAbstractItemView::SelectRows);
  list->setEditTriggers(QAbstractItemView::NoEditTriggers);
  list->header()->setSectionsMovable(false);
  list->header()->setStretchLastSection(true);
  return list;
}

// Puts `model` into `list`, sorted as the model is, a click on a column sorting by it.
void SetSortedModel(QTreeView* list, TSortedTableModel* model) {
  list->setModel(model);
  list->header()->setSortIndicator(model->SortColumn(), model->SortOrder());
  list->setSortingEnabled(true);
}

}  // namespace

TFiltersPg::TFiltersPg(TFilterList& filters, TQtMessageDialogs& dialogs, TFilterEditors editors,
                       QWidget* parent)
    : TWindowPage(parent), filters_(filters), dialogs_(dialogs), editors_(std::move(editors)) {
  BuildLayout();
  BuildMenu();
  ApplyDisplaySettings();
  Refresh();
}

TFiltersPg::~TFiltersPg() = default;

void TFiltersPg::BuildLayout() {
  auto* root = new QVBoxLayout(this);
  root->setContentsMargins(0, 0, 0, 0);
  root->setSpacing(0);

  auto* caption = new QLabel(QStringLiteral("    Filters"), this);
  caption->setObjectName(QStringLiteral("pnlCaption"));
  caption->setAutoFillBackground(true);
  caption->setBackgroundRole(QPalette::Dark);
  caption->setForegroundRole(QPalette::BrightText);
  QFont captionFont = caption->font();
  captionFont.setBold(true);
  captionFont.setPointSizeF(captionFont.pointSizeF() * 1.4);
  caption->setFont(captionFont);
  caption->setContentsMargins(0, 4, 0, 4);
  root->addWidget(caption);

  auto* body = new QHBoxLayout();
  body->setContentsMargins(4, 4, 4, 4);
  body->setSpacing(4);
  root->addLayout(body, 1);

  pcFilters_ = new QTabWidget(this);
  pcFilters_->setObjectName(QStringLiteral("pcFilters"));
  body->addWidget(pcFilters_, 1);
  for (int tab = tbSender; tab < kTabCount; ++tab) {
    if (tab == tbCountry) {
      pcFilters_->addTab(BuildCountryTab(), QStringLiteral("Country"));
      continue;
    }
    if (tab == tbOther) {
      otherTab_ = new TOtherFiltersTab(filters_, dialogs_, pcFilters_);
      otherTab_->setObjectName(QStringLiteral("tsOther"));
      pcFilters_->addTab(otherTab_, QStringLiteral("Other"));
      continue;
    }
    for (size_t slot = 0; slot < kKindTabs.size(); ++slot)
      if (kKindTabs[slot].tab == tab)
        pcFilters_->addTab(BuildKindTab(slot), QString::fromLatin1(kKindTabs[slot].caption));
  }
  connect(pcFilters_, &QTabWidget::currentChanged, this, [this] {
    if (const TKindTab* tab = CurrentKindTab(); tab && SelectedOf(*tab).empty())
      SelectFilters(*tab, {tab->model->Filter(0)});
    if (CurrentTab() == tbOther) otherTab_->Reread();
    if (findDialog_) findDialog_->Restart();
    UpdateCommands();
  });

  buttons_ = new QWidget(this);
  buttons_->setObjectName(QStringLiteral("pnlRight"));
  auto* column = new QVBoxLayout(buttons_);
  column->setContentsMargins(0, pcFilters_->tabBar()->sizeHint().height(), 0, 0);
  column->setSpacing(4);
  column->addStretch(1);
  body->addWidget(buttons_);
  sbAdd_ = AddButton("sbAdd", QStringLiteral("Add"), QStringLiteral("Add a message filter"));
  sbRemove_ =
      AddButton("sbRemove", QStringLiteral("Remove"), QStringLiteral("Remove a message filter"));
  sbProperties_ = AddButton("sbProperties", QStringLiteral("Properties"),
                            QStringLiteral("View or edit a message filter"));
  sbFind_ =
      AddButton("sbFind", QStringLiteral("Find filter"), QStringLiteral("Find a message filter"));
  column->insertSpacing(column->count() - 1, 12);
  sbYours_ = AddButton("sbYours", QStringLiteral("Your filters"),
                       QStringLiteral("Toggle display of your own filters"));
  sbStandard_ = AddButton("sbStandard", QStringLiteral("Standard filters"),
                          QStringLiteral("Toggle display of the standard filters"));
  for (QPushButton* toggle : {sbYours_, sbStandard_}) {
    toggle->setCheckable(true);
    toggle->setChecked(true);
  }
  connect(sbAdd_, &QPushButton::clicked, this, [this] { RunCommand([this] { Add(); }); });
  connect(sbRemove_, &QPushButton::clicked, this, [this] { RunCommand([this] { Remove(); }); });
  connect(sbProperties_, &QPushButton::clicked, this,
          [this] { RunCommand([this] { Properties(); }); });
  connect(sbFind_, &QPushButton::clicked, this, [this] { Find(); });
  connect(sbYours_, &QPushButton::toggled, this,
          [this](bool shown) { ToggleOrigins(OriginBit(orUser), shown); });
  connect(sbStandard_, &QPushButton::toggled, this,
          [this](bool shown) { ToggleOrigins(kStandardOrigins, shown); });
}

QPushButton* TFiltersPg::AddButton(const char* name, const QString& caption, const QString& hint) {
  auto* button = new QPushButton(caption, buttons_);
  button->setObjectName(QString::fromLatin1(name));
  button->setProperty("hint", hint);
  button->setFixedWidth(kButtonWidth);
  button->setFocusPolicy(Qt::NoFocus);
  auto* column = static_cast<QVBoxLayout*>(buttons_->layout());
  column->insertWidget(column->count() - 1, button);
  return button;
}

QWidget* TFiltersPg::BuildKindTab(size_t slot) {
  const TKindTabInfo& info = kKindTabs[slot];
  TKindTab& tab = kindTabs_[slot];
  tab.kind = info.kind;
  auto* sheet = new QWidget(pcFilters_);
  auto* layout = new QVBoxLayout(sheet);
  layout->setContentsMargins(4, 4, 4, 4);
  tab.list = NewList(QString::fromLatin1(info.list), sheet);
  tab.list->setSelectionMode(QAbstractItemView::ExtendedSelection);
  tab.list->setContextMenuPolicy(Qt::CustomContextMenu);
  tab.model = new TFilterListModel(tab.kind, this);
  SetSortedModel(tab.list, tab.model);
  tab.list->header()->setStretchLastSection(false);
  for (int column = 0; column < tab.model->columnCount(); ++column)
    tab.list->header()->resizeSection(column, info.widths[static_cast<size_t>(column)]);
  tab.list->viewport()->installEventFilter(this);
  layout->addWidget(tab.list);
  connect(tab.list->selectionModel(), &QItemSelectionModel::selectionChanged, this,
          &TFiltersPg::UpdateCommands);
  connect(tab.list, &QAbstractItemView::doubleClicked, this,
          [this] { RunCommand([this] { Properties(); }); });
  connect(tab.list, &QWidget::customContextMenuRequested, this, [this, list = tab.list](QPoint at) {
    UpdateCommands();
    listMenu_->popup(list->viewport()->mapToGlobal(at));
  });
  return sheet;
}

QWidget* TFiltersPg::BuildCountryTab() {
  auto* sheet = new QWidget(pcFilters_);
  auto* layout = new QVBoxLayout(sheet);
  layout->setContentsMargins(4, 4, 4, 4);
  lvCountry_ = NewList(QStringLiteral("lvCountry"), sheet);
  lvCountry_->setSelectionMode(QAbstractItemView::SingleSelection);
  countryModel_ = new TCountryListModel(filters_, this);
  SetSortedModel(lvCountry_, countryModel_);
  lvCountry_->header()->resizeSection(TCountryListModel::colCode, 80);
  lvCountry_->installEventFilter(this);
  connect(lvCountry_, &QAbstractItemView::doubleClicked, this,
          [this](const QModelIndex& index) { countryModel_->Toggle(index.row()); });
  layout->addWidget(lvCountry_, 1);

  auto* actionRow = new QHBoxLayout();
  auto* label = new QLabel(QStringLiteral("&Action:"), sheet);
  cbCountry_ = new QComboBox(sheet);
  cbCountry_->setObjectName(QStringLiteral("cbCountry"));
  for (const uint8_t action : kCountryActions)
    cbCountry_->addItem(QString::fromStdString(ActionName(action)));
  label->setBuddy(cbCountry_);
  actionRow->addWidget(label);
  actionRow->addWidget(cbCountry_);
  actionRow->addStretch(1);
  layout->addLayout(actionRow);
  connect(cbCountry_, &QComboBox::activated, this,
          [this](int item) { RunCommand([this, item] { CountryActionChosen(item); }); });
  return sheet;
}

void TFiltersPg::BuildMenu() {
  listMenu_ = new QMenu(this);
  listMenu_->setObjectName(QStringLiteral("pmFilters"));
  miRemove_ = listMenu_->addAction(QStringLiteral("&Remove..."));
  miRemove_->setObjectName(QStringLiteral("miRemove"));
  miProperties_ = listMenu_->addAction(QStringLiteral("&Properties..."));
  miProperties_->setObjectName(QStringLiteral("miProperties"));
  miSelectAll_ = listMenu_->addAction(QStringLiteral("Se&lect All"));
  miSelectAll_->setObjectName(QStringLiteral("miSelectAll"));
  connect(miRemove_, &QAction::triggered, this, [this] { RunCommand([this] { Remove(); }); });
  connect(miProperties_, &QAction::triggered, this,
          [this] { RunCommand([this] { Properties(); }); });
  connect(miSelectAll_, &QAction::triggered, this, [this] { SelectAll(); });
}

bool TFiltersPg::eventFilter(QObject* watched, QEvent* event) {
  // Space flips the box of the current country whichever column the focus is in.
  if (watched == lvCountry_ && event->type() == QEvent::KeyPress &&
      static_cast<QKeyEvent*>(event)->key() == Qt::Key_Space) {
    if (lvCountry_->currentIndex().isValid())
      RunCommand([this] { countryModel_->Toggle(lvCountry_->currentIndex().row()); });
    return true;
  }
  if (event->type() == QEvent::Resize)
    for (size_t slot = 0; slot < kindTabs_.size(); ++slot)
      if (watched == kindTabs_[slot].list->viewport()) FitWideColumn(slot);
  return TWindowPage::eventFilter(watched, event);
}

void TFiltersPg::FitWideColumn(size_t slot) {
  const TKindTabInfo& info = kKindTabs[slot];
  QTreeView* list = kindTabs_[slot].list;
  QHeaderView* header = list->header();
  int others = 0;
  for (int column = 0; column < header->count(); ++column)
    if (column != info.wide) others += header->sectionSize(column);
  header->resizeSection(info.wide, std::max(info.widths[static_cast<size_t>(info.wide)],
                                            list->viewport()->width() - others));
}

int TFiltersPg::CurrentTab() const { return pcFilters_->currentIndex(); }

void TFiltersPg::SelectTab(int tab) { pcFilters_->setCurrentIndex(tab); }

const TFiltersPg::TKindTab* TFiltersPg::CurrentKindTab() const {
  for (size_t i = 0; i < kKindTabs.size(); ++i)
    if (kKindTabs[i].tab == CurrentTab()) return &kindTabs_[i];
  return nullptr;
}

const TFiltersPg::TKindTab* TFiltersPg::KindTab(uint8_t kind) const {
  for (const TKindTab& tab : kindTabs_)
    if (tab.kind == kind) return &tab;
  return nullptr;
}

uint8_t TFiltersPg::CurrentKind() const {
  if (const TKindTab* tab = CurrentKindTab()) return tab->kind;
  return CurrentTab() == tbCountry ? fkCountry : fkNone;
}

QTreeView* TFiltersPg::List(uint8_t kind) const {
  if (kind == fkCountry) return lvCountry_;
  const TKindTab* tab = KindTab(kind);
  return tab ? tab->list : nullptr;
}

TFilterListModel* TFiltersPg::Model(uint8_t kind) const {
  const TKindTab* tab = KindTab(kind);
  return tab ? tab->model : nullptr;
}

std::vector<TFilter*> TFiltersPg::SelectedOf(const TKindTab& tab) const {
  std::vector<int> rows;
  for (const QItemSelectionRange& range : tab.list->selectionModel()->selection())
    for (int row = range.top(); row <= range.bottom(); ++row) rows.push_back(row);
  std::sort(rows.begin(), rows.end());
  rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
  std::vector<TFilter*> selected;
  for (const int row : rows)
    if (TFilter* filter = tab.model->Filter(row)) selected.push_back(filter);
  return selected;
}

std::vector<TFilter*> TFiltersPg::SelectedFilters() const {
  const TKindTab* tab = CurrentKindTab();
  return tab ? SelectedOf(*tab) : std::vector<TFilter*>();
}

std::vector<int> TFiltersPg::IndexesOf(const std::vector<TFilter*>& filters) const {
  std::unordered_map<const TFilter*, int> indexes;
  for (int i = 0; i < filters_.Count(); ++i) indexes.emplace(filters_.Filter(i), i);
  std::vector<int> found;
  for (const TFilter* filter : filters)
    if (const auto at = indexes.find(filter); at != indexes.end()) found.push_back(at->second);
  return found;
}

void TFiltersPg::Fill(const TKindTab& tab, const std::vector<TFilter*>& selected, bool lastRow) {
  std::vector<TFilter*> rows;
  filters_.FiltersOfKind(tab.kind, origins_, rows);
  tab.model->SetFilters(std::move(rows));
  const int count = tab.model->rowCount();
  if (SelectFilters(tab, selected) == 0 && count > 0)
    SelectFilters(tab, {tab.model->Filter(lastRow ? count - 1 : 0)});
  tab.list->setEnabled(count > 0);
}

int TFiltersPg::SelectFilters(const TKindTab& tab, const std::vector<TFilter*>& filters) {
  // The filters are only compared: some of them may have been deleted.
  const std::unordered_set<const TFilter*> wanted(filters.begin(), filters.end());
  std::vector<int> rows;
  for (int row = 0; row < tab.model->rowCount(); ++row)
    if (wanted.contains(tab.model->Filter(row))) rows.push_back(row);
  QItemSelection selection;
  const int last = tab.model->columnCount() - 1;
  for (const int row : rows) {
    if (!selection.isEmpty() && selection.last().bottom() >= row - 1)
      selection.last() =
          QItemSelectionRange(selection.last().topLeft(), tab.model->index(row, last));
    else
      selection.append(QItemSelectionRange(tab.model->index(row, 0), tab.model->index(row, last)));
  }
  QItemSelectionModel* model = tab.list->selectionModel();
  if (rows.empty()) {
    model->clear();
    return 0;
  }
  const QModelIndex first = tab.model->index(rows.front(), 0);
  model->setCurrentIndex(first, QItemSelectionModel::NoUpdate);
  model->select(selection, QItemSelectionModel::ClearAndSelect);
  tab.list->scrollTo(first);
  return static_cast<int>(rows.size());
}

void TFiltersPg::Refresh() {
  RefreshAll();
  RefreshKind(fkCountry);
  otherTab_->Reread();
}

void TFiltersPg::RefreshAll() {
  for (const TKindTab& tab : kindTabs_) Fill(tab, SelectedOf(tab));
  UpdateCommands();
}

void TFiltersPg::RefreshKind(uint8_t kind) {
  if (kind == fkCountry) {
    const int country = countryModel_->Country(lvCountry_->currentIndex().row());
    countryModel_->Reload();
    if (const int row = countryModel_->RowOfPosition(country); row >= 0)
      lvCountry_->setCurrentIndex(countryModel_->index(row, 0));
    ShowCountryAction();
  } else if (const TKindTab* tab = KindTab(kind)) {
    Fill(*tab, SelectedOf(*tab));
  }
  UpdateCommands();
}

void TFiltersPg::ToggleOrigins(TOriginSet origins, bool shown) {
  origins_ = shown ? TOriginSet(origins_ | origins) : TOriginSet(origins_ & ~origins);
  RefreshAll();
}

bool TFiltersPg::DeleteEnabled() const {
  const TKindTab* tab = CurrentKindTab();
  return tab && tab->model->rowCount() > 0;
}

void TFiltersPg::Delete() {
  if (sbRemove_->isEnabled()) Remove();
}

void TFiltersPg::Add() {
  const TKindTab* tab = CurrentKindTab();
  if (!tab || !sbAdd_->isEnabled()) return;
  TFilter* added = nullptr;
  std::string error;
  try {
    std::unique_ptr<TFilter> filter = CreateFilterOfKind(tab->kind);
    filter->Origin = orUser;
    if (!editors_.EditFilter(*filter, true, this)) return;
    added = filters_.Add(std::move(filter));
    filters_.FilterChanged(filters_.IndexOf(added));
  } catch (const std::exception& failure) {
    error = failure.what();
  }
  if (added) {
    Fill(*tab, {added});
    UpdateCommands();
    emit FiltersChanged(added);
  }
  if (!error.empty()) dialogs_.ShowErrorOver(error, window());
}

void TFiltersPg::Remove() {
  const TKindTab* tab = CurrentKindTab();
  if (!tab || !sbRemove_->isEnabled()) return;
  const std::vector<TFilter*> selected = SelectedOf(*tab);
  const char* question = selected.size() == 1
                             ? "Are you sure that you want to delete this filter?"
                             : "Are you sure that you want to delete these filters?";
  if (dialogs_.Confirm(question, window()) != caYes) return;
  try {
    filters_.DeleteMany(IndexesOf(selected));
  } catch (const std::exception&) {
    // The filters are gone from the list whether or not the file could be written.
  }
  Fill(*tab, {}, true);
  UpdateCommands();
  emit FiltersChanged(nullptr);
}

void TFiltersPg::Properties() {
  const TKindTab* tab = CurrentKindTab();
  if (!tab || !sbProperties_->isEnabled()) return;
  const std::vector<TFilter*> selected = SelectedOf(*tab);
  if (selected.size() == 1)
    EditOne(*selected.front());
  else
    EditMany(selected);
  Fill(*tab, selected);
  UpdateCommands();
}

void TFiltersPg::EditOne(TFilter& filter) {
  bool changed = false;
  try {
    changed = editors_.EditFilter(filter, false, this);
    if (changed) filters_.FilterChanged(filters_.IndexOf(&filter));
  } catch (const std::exception&) {
    // A file that cannot be written keeps the change in the list, as a failed save does.
  }
  if (changed) emit FiltersChanged(&filter);
}

void TFiltersPg::EditMany(const std::vector<TFilter*>& filters) {
  TFilter scratch;
  scratch.Action = filters.front()->Action;
  scratch.Recipients = filters.front()->Recipients;
  bool changed = false;
  try {
    changed = editors_.EditActionOf(scratch, this);
    if (changed) filters_.SetActionOf(IndexesOf(filters), scratch);
  } catch (const std::exception&) {
    // As in EditOne.
  }
  if (changed) emit FiltersChanged(nullptr);
}

void TFiltersPg::SelectAll() {
  if (const TKindTab* tab = CurrentKindTab()) {
    tab->list->selectAll();
  } else if (CurrentTab() == tbCountry && filters_.Countries()) {
    filters_.Countries()->ToggleAll();
    filters_.Countries()->SaveIfDirty();
    RefreshKind(fkCountry);
  }
}

int TFiltersPg::FindFilter(std::string_view text, int start) const {
  const TKindTab* tab = CurrentKindTab();
  const std::string wanted = LowerCase(text);
  if (!tab || wanted.empty()) return -1;
  for (int row = std::max(start, 0); row < tab->model->rowCount(); ++row)
    if (PosOf(wanted, LowerCase(tab->model->Filter(row)->SearchText())) > 0) return row;
  return -1;
}

void TFiltersPg::ShowRow(int row) {
  if (const TKindTab* tab = CurrentKindTab()) SelectFilters(*tab, {tab->model->Filter(row)});
}

void TFiltersPg::Find() {
  if (!sbFind_->isEnabled()) return;
  ShowRow(0);
  if (!findDialog_) findDialog_ = new TFindDlg(*this, dialogs_);
  findDialog_->adjustSize();
  // Below "Standard filters", its right edge at the button's, and on the screen.
  QPoint at = sbStandard_->mapToGlobal(QPoint(sbStandard_->width(), sbStandard_->height()));
  at.rx() -= findDialog_->frameGeometry().width();
  if (const QScreen* screen = sbStandard_->screen()) {
    const QRect area = screen->availableGeometry();
    at.setX(std::clamp(at.x(), area.left(),
                       std::max(area.left(), area.right() - findDialog_->frameGeometry().width())));
    at.setY(
        std::clamp(at.y(), area.top(),
                   std::max(area.top(), area.bottom() - findDialog_->frameGeometry().height())));
  }
  findDialog_->move(at);
  findDialog_->show();
  findDialog_->raise();
  findDialog_->activateWindow();
}

void TFiltersPg::ShowCountryAction() {
  const TFilter* country = filters_.FindByID(fkCountry, 1);
  const auto item = country
                        ? std::find(kCountryActions.begin(), kCountryActions.end(), country->Action)
                        : kCountryActions.end();
  cbCountry_->setCurrentIndex(
      item == kCountryActions.end() ? -1 : static_cast<int>(item - kCountryActions.begin()));
  cbCountry_->setEnabled(country != nullptr);
}

void TFiltersPg::CountryActionChosen(int item) {
  TFilter* country = filters_.FindByID(fkCountry, 1);
  if (!country || item < 0 || item >= static_cast<int>(kCountryActions.size())) return;
  country->Action = kCountryActions[static_cast<size_t>(item)];
  try {
    filters_.FilterChanged(filters_.IndexOf(country));
  } catch (const std::exception& failure) {
    dialogs_.ShowErrorOver(failure.what(), window());
  }
  ShowCountryAction();
}

void TFiltersPg::UpdateCommands() {
  const TKindTab* tab = CurrentKindTab();
  const size_t selected = tab ? SelectedOf(*tab).size() : 0;
  const bool rows = tab && tab->model->rowCount() > 0;
  const bool editable = selected == 1 ? static_cast<bool>(editors_.EditFilter)
                                      : selected > 1 && static_cast<bool>(editors_.EditActionOf);
  sbAdd_->setEnabled(tab && editors_.EditFilter);
  sbRemove_->setEnabled(selected > 0);
  sbProperties_->setEnabled(editable);
  sbFind_->setEnabled(selected > 0);
  sbYours_->setEnabled(tab != nullptr);
  sbStandard_->setEnabled(tab != nullptr);
  miRemove_->setEnabled(sbRemove_->isEnabled());
  miProperties_->setEnabled(editable);
  miSelectAll_->setEnabled(rows);
  emit SelectionChanged();
}

void TFiltersPg::ApplyDisplaySettings() {
  const TSettings& settings = Settings();
  for (QPushButton* button : buttons_->findChildren<QPushButton*>())
    button->setToolTip(settings.ShowHints ? button->property("hint").toString() : QString());
  for (QTreeView* list : findChildren<QTreeView*>()) {
    QFont font = list->font();
    if (settings.FontSize > 0) font.setPointSize(settings.FontSize);
    list->setFont(font);
  }
}

void TFiltersPg::showEvent(QShowEvent* event) {
  ApplyDisplaySettings();
  TWindowPage::showEvent(event);
}

void TFiltersPg::hideEvent(QHideEvent* event) {
  // The Find dialog is a window of its own, which would stay with another page showing.
  if (findDialog_) findDialog_->hide();
  TWindowPage::hideEvent(event);
}

}  // namespace tarnwell
