#include "filtering/ui/PgFriends.h"

#include <QHeaderView>
#include <QItemSelectionModel>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QTreeView>
#include <QVBoxLayout>
#include <algorithm>

#include "accounts/AccountList.h"
#include "filtering/FilterList.h"
#include "filtering/ui/FriendListModel.h"
#include "mainwindow/ui/PageParts.h"
#include "platform/Files.h"
#include "shell/ProgramFolders.h"
#include "shell/Settings.h"
#include "shell/ui/DlgMessage.h"
#include "shell/ui/WindowPlacement.h"

namespace tarnwell {

namespace {

const char* const kDeleteOne = "Are you sure that you want to delete this filter?";
const char* const kDeleteMany = "Are you sure that you want to delete these filters?";
const char* const kFriendsFile = "Friends.dat";
const char* const kReplaceQuestion =
    "The file \"Friends.dat\" already exists. Are you sure that you want to replace it?";
const char* const kSaved =
    "Your Friends list has been saved in the file \"Friends.dat\".\r\rTo restore this list, "
    "select:\r    Friends, \r    Import addresses,\r    Saved Friends list.";

// The friend dialog on `filter`, modal over `owner`; true on OK. When the owner goes away
// meanwhile it takes the dialog with it, which counts as Cancel.
bool RunFriendDialog(TFilter& filter, bool adding, const TFilterList& list,
                     std::vector<std::string> ownAddresses, TQtMessageDialogs& dialogs,
                     QWidget* owner, const TFriendSource& source, const std::function<void()>& help,
                     bool* rescue = nullptr) {
  auto* dialog =
      new TFriendsDlg(filter, adding, list, std::move(ownAddresses), dialogs, owner, source);
  dialog->SetHelp(help);
  CentreOn(*dialog, owner);
  const QPointer<TFriendsDlg> alive(dialog);
  const bool ok = dialog->exec() == QDialog::Accepted && alive;
  if (!alive) return false;
  if (rescue) *rescue = dialog->Rescue();
  delete dialog;
  return ok;
}

}  // namespace

std::vector<std::string> OwnAddresses(const TAccountList& accounts) {
  std::vector<std::string> addresses;
  for (int i = 0; i < accounts.Count(); ++i) addresses.push_back(accounts.Items(i)->Email);
  return addresses;
}

TFriendFromMessage AddFriendFromMessage(TFilterList& filters, const TFriendSource& source,
                                        const std::vector<std::string>& ownAddresses,
                                        TQtMessageDialogs& dialogs, QWidget* parent,
                                        const std::function<void()>& help) {
  TFriendFromMessage result;
  auto filter = std::make_unique<TFriendFilter>();
  bool rescue = false;
  if (!RunFriendDialog(*filter, true, filters, ownAddresses, dialogs, parent, source, help,
                       &rescue))
    return result;
  // The list may have gained the same friend while the dialog was open.
  int index = -1;
  if (filters.FindEqual(*filter, index)) {
    dialogs.ShowInfo("You already have a similar filter.", parent);
    return result;
  }
  result.Added = filters.Add(std::move(filter));
  // Written at once, so that a friend the user added outlives a program that ends abruptly.
  filters.SaveIfModified();
  result.Rescue = rescue;
  return result;
}

TFriendsPg::TFriendsPg(TFilterList& filters, const TAccountList& accounts,
                       TQtMessageDialogs& dialogs, QWidget* parent)
    : TWindowPage(parent),
      filters_(filters),
      accounts_(accounts),
      dialogs_(dialogs),
      model_(new TFriendListModel(this)) {
  auto* root = new QVBoxLayout(this);
  root->setContentsMargins(0, 0, 0, 0);
  root->setSpacing(0);

  caption_ = NewPageCaption(QStringLiteral("    Friends"), this);
  root->addWidget(caption_);

  auto* body = new QHBoxLayout();
  body->setContentsMargins(4, 4, 4, 4);
  body->setSpacing(4);
  root->addLayout(body, 1);

  list_ = new QTreeView(this);
  list_->setObjectName(QStringLiteral("lvFriends"));
  list_->setRootIsDecorated(false);
  list_->setItemsExpandable(false);
  list_->setUniformRowHeights(true);
  list_->setSelectionMode(QAbstractItemView::ExtendedSelection);
  list_->setSelectionBehavior(QAbstractItemView::SelectRows);
  list_->setEditTriggers(QAbstractItemView::NoEditTriggers);
  list_->setModel(model_);
  QHeaderView* header = list_->header();
  header->setSectionsMovable(false);
  header->setStretchLastSection(true);
  header->setSortIndicator(0, Qt::AscendingOrder);
  list_->setSortingEnabled(true);
  body->addWidget(list_, 1);
  connect(list_->selectionModel(), &QItemSelectionModel::selectionChanged, this, [this] {
    UpdateCommands();
    emit SelectionChanged();
  });
  connect(list_, &QAbstractItemView::doubleClicked, this, [this] { Properties(); });

  buttons_ = new QWidget(this);
  buttons_->setObjectName(QStringLiteral("pnlRight"));
  auto* column = new QVBoxLayout(buttons_);
  column->setContentsMargins(0, 0, 0, 0);
  column->setSpacing(4);
  column->addStretch(1);
  body->addWidget(buttons_);
  sbAdd_ = AddButton("sbAdd", QStringLiteral("Add"), QStringLiteral("Add a friend"));
  sbRemove_ = AddButton("sbRemove", QStringLiteral("Remove"), QStringLiteral("Remove a friend"));
  sbProperties_ = AddButton("sbProperties", QStringLiteral("Properties"),
                            QStringLiteral("View or edit a friend"));
  sbImport_ = AddButton("sbImport", QStringLiteral("Import addresses"),
                        QStringLiteral("Import an address book"));
  sbSaveCopy_ = AddButton("sbSaveCopy", QStringLiteral("Save a copy"),
                          QStringLiteral("Save a copy of your friends list"));
  connect(sbAdd_, &QPushButton::clicked, this, &TFriendsPg::Add);
  connect(sbRemove_, &QPushButton::clicked, this, &TFriendsPg::Remove);
  connect(sbProperties_, &QPushButton::clicked, this, &TFriendsPg::Properties);
  connect(sbImport_, &QPushButton::clicked, this, &TFriendsPg::ImportAddresses);
  connect(sbSaveCopy_, &QPushButton::clicked, this, &TFriendsPg::SaveCopy);

  ApplyDisplaySettings();
  Rebuild({});
}

TFriendsPg::~TFriendsPg() = default;

QPushButton* TFriendsPg::AddButton(const char* name, const QString& caption, const QString& hint) {
  QPushButton* button = NewPageButton(name, caption, hint, buttons_);
  auto* column = static_cast<QVBoxLayout*>(buttons_->layout());
  column->insertWidget(column->count() - 1, button);
  return button;
}

std::vector<TFilter*> TFriendsPg::SelectedFriends() const {
  QModelIndexList rows = list_->selectionModel()->selectedRows();
  std::sort(rows.begin(), rows.end(),
            [](const QModelIndex& a, const QModelIndex& b) { return a.row() < b.row(); });
  std::vector<TFilter*> selected;
  for (const QModelIndex& index : rows)
    if (TFilter* filter = model_->Friend(index.row())) selected.push_back(filter);
  return selected;
}

void TFriendsPg::Rebuild(const std::vector<TFilter*>& selected) {
  model_->SetList(filters_);
  Select(selected);
}

void TFriendsPg::RebuildSelectingRow(int row) {
  model_->SetList(filters_);
  const int rows = model_->rowCount();
  Select(rows == 0 ? std::vector<TFilter*>{}
                   : std::vector{model_->Friend(std::min(row, rows - 1))});
}

void TFriendsPg::Select(const std::vector<TFilter*>& selected) {
  QItemSelection selection;
  QModelIndex current;
  for (const TFilter* filter : selected) {
    const int row = model_->RowOf(filter);
    if (row < 0) continue;
    const QModelIndex index = model_->index(row, 0);
    selection.select(index, index);
    if (!current.isValid()) current = index;
  }
  QItemSelectionModel* selectionModel = list_->selectionModel();
  if (current.isValid()) {
    selectionModel->setCurrentIndex(current, QItemSelectionModel::NoUpdate);
    list_->scrollTo(current);
  }
  selectionModel->select(selection, QItemSelectionModel::ClearAndSelect);
  UpdateCommands();
  emit SelectionChanged();
}

void TFriendsPg::UpdateCommands() {
  const int selected = static_cast<int>(list_->selectionModel()->selectedRows().size());
  sbRemove_->setEnabled(selected > 0);
  sbProperties_->setEnabled(selected == 1);
  sbImport_->setEnabled(static_cast<bool>(importWizard_));
  sbSaveCopy_->setEnabled(model_->rowCount() > 0);
}

void TFriendsPg::ApplyDisplaySettings() {
  ShowPageHints(*buttons_);
  const TSettings& settings = Settings();
  QFont font = list_->font();
  if (settings.FontSize > 0) font.setPointSize(settings.FontSize);
  list_->setFont(font);
}

void TFriendsPg::showEvent(QShowEvent* event) {
  ApplyDisplaySettings();
  UpdateCommands();
  TWindowPage::showEvent(event);
}

bool TFriendsPg::Edit(TFilter& filter, bool adding) {
  return RunFriendDialog(filter, adding, filters_, OwnAddresses(accounts_), dialogs_, window(), {},
                         Help);
}

void TFriendsPg::Refresh() { Rebuild(SelectedFriends()); }

bool TFriendsPg::DeleteEnabled() const { return sbRemove_->isEnabled(); }

void TFriendsPg::Delete() { Remove(); }

void TFriendsPg::Add() {
  if (!sbAdd_->isEnabled()) return;
  RunCommand([this] {
    auto filter = std::make_unique<TFriendFilter>();
    if (!Edit(*filter, true)) return;
    TFilter* added = filters_.Add(std::move(filter));
    filters_.SaveIfModified();
    Rebuild({added});
    emit FiltersChanged(added);
  });
}

void TFriendsPg::Remove() {
  if (!sbRemove_->isEnabled()) return;
  RunCommand([this] {
    const std::vector<TFilter*> selected = SelectedFriends();
    if (selected.empty()) return;
    if (dialogs_.Confirm(selected.size() == 1 ? kDeleteOne : kDeleteMany, window()) != caYes)
      return;
    const int firstRow = model_->RowOf(selected.front());
    std::vector<int> indexes;
    for (const TFilter* filter : selected) indexes.push_back(filters_.IndexOf(filter));
    try {
      filters_.DeleteMany(indexes);
    } catch (...) {
      // The page shows what the list holds, whatever became of the file.
    }
    RebuildSelectingRow(firstRow);
    emit FiltersChanged(nullptr);
  });
}

void TFriendsPg::Properties() {
  if (!sbProperties_->isEnabled()) return;
  RunCommand([this] {
    const std::vector<TFilter*> selected = SelectedFriends();
    if (selected.size() != 1) return;
    TFilter* filter = selected.front();
    if (Edit(*filter, false)) {
      try {
        filters_.FilterChanged(filters_.IndexOf(filter));
      } catch (...) {
        // As for Remove: the page follows the list.
      }
    }
    Rebuild({filter});
  });
}

void TFriendsPg::ImportAddresses() {
  if (!sbImport_->isEnabled()) return;
  RunCommand([this] {
    if (importWizard_(filters_)) Refresh();
  });
}

void TFriendsPg::SaveCopy() {
  if (!sbSaveCopy_->isEnabled()) return;
  RunCommand([this] {
    const std::string path = TProgramFolders::ProgramFolder() + kFriendsFile;
    if (FileExists(path) && dialogs_.Confirm(kReplaceQuestion, window()) != caYes) return;
    filters_.WriteFile(1u << fkFriend, path);
    dialogs_.ShowInfo(kSaved, window());
  });
}

void TFriendsPg::SetImportWizard(std::function<bool(TFilterList&)> wizard) {
  importWizard_ = std::move(wizard);
  UpdateCommands();
}

void TFriendsPg::SelectAll() { list_->selectAll(); }

void TFriendsPg::SetShowing(bool showing) {
  if (showing) Refresh();
}

}  // namespace tarnwell
