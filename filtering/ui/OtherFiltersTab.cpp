#include "filtering/ui/OtherFiltersTab.h"

#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QVBoxLayout>
#include <algorithm>

#include "filtering/FilterList.h"
#include "filtering/Filters.h"
#include "filtering/ui/SpeedPopUp.h"
#include "shell/ui/DlgMessage.h"

namespace tarnwell {

namespace {

// The recipients menu's item for the sender.
constexpr int kSenderItem = 0;

// The rows of the tab, in order, with the system filter each edits (its position among the
// system filters) and the last action it offers: an invalid sender address gets no error
// message, which could not reach it.
struct TRowInfo {
  const char* caption;
  const char* combo;
  const char* button;
  int systemFilter;
  uint8_t lastAction;
  bool senderGroup;
};
constexpr std::array<TRowInfo, 4> kRows = {{
    {"Is an invalid address:", "cbSndInvalid", "spuSndInvalid", 2, acKillAfterComplaint, true},
    {"Is not the reply address:", "cbSndNotReply", "spuSndNotReply", 3, acKillAfterErrorMessage,
     true},
    {"Equals recipient address:", "cbSndEqRecip", "spuSndEqRecip", 4, acKillAfterErrorMessage,
     true},
    {"Is not your address:", "cbRecipNotAcct", "spuRecipNotAcct", 5, acKillAfterErrorMessage,
     false},
}};

// The actions the combos offer, "Accept" left out: the combo's item of an action.
constexpr std::array<uint8_t, 5> kActions = {acIgnore, acMark, acKill, acKillAfterComplaint,
                                             acKillAfterErrorMessage};

int ItemOf(uint8_t action) {
  for (size_t i = 0; i < kActions.size(); ++i)
    if (kActions[i] == action) return static_cast<int>(i);
  return -1;
}

}  // namespace

TOtherFiltersTab::TOtherFiltersTab(TFilterList& filters, TQtMessageDialogs& dialogs,
                                   QWidget* parent)
    : QWidget(parent), filters_(filters), dialogs_(dialogs) {
  auto* layout = new QVBoxLayout(this);
  auto* sender = new QGroupBox(QStringLiteral("If sender's address..."), this);
  auto* recipient = new QGroupBox(QStringLiteral("If recipient's address..."), this);
  auto* senderGrid = new QGridLayout(sender);
  auto* recipientGrid = new QGridLayout(recipient);
  for (size_t i = 0; i < kRows.size(); ++i) {
    const TRowInfo& info = kRows[i];
    TRow& row = rows_[i];
    QGroupBox* group = info.senderGroup ? sender : recipient;
    QGridLayout* grid = info.senderGroup ? senderGrid : recipientGrid;
    row.systemFilter = info.systemFilter;
    row.action = new QComboBox(group);
    row.action->setObjectName(QString::fromLatin1(info.combo));
    for (const uint8_t action : kActions)
      if (action <= info.lastAction)
        row.action->addItem(QString::fromStdString(ActionName(action)));
    row.recipients = new TSpeedPopUp(group);
    row.recipients->setObjectName(QString::fromLatin1(info.button));
    if (i == 0) row.recipients->SetItemVisible(kSenderItem, false);
    auto* label = new QLabel(QString::fromLatin1(info.caption), group);
    label->setBuddy(row.action);
    const int line = grid->rowCount();
    grid->addWidget(label, line, 0);
    grid->addWidget(row.action, line, 1);
    grid->addWidget(row.recipients, line, 2);
    grid->setColumnStretch(3, 1);
    connect(row.action, &QComboBox::activated, this,
            [this, &row](int item) { ActionChosen(row, item); });
    connect(row.recipients, &TSpeedPopUp::OnMenyklikk, this,
            [this, &row](int item, bool checked) { RecipientClicked(row, item, checked); });
  }
  // The combos of both groups in one column.
  int labels = 0;
  for (const QLabel* label : findChildren<QLabel*>())
    labels = std::max(labels, label->sizeHint().width());
  for (QLabel* label : findChildren<QLabel*>()) label->setMinimumWidth(labels);
  layout->addWidget(sender);
  layout->addWidget(recipient);
  layout->addStretch(1);
  Reread();
}

void TOtherFiltersTab::Reread() {
  for (const TRow& row : rows_) {
    const TFilter* filter = filters_.SystemFilter(row.systemFilter);
    row.action->setEnabled(filter != nullptr);
    row.action->setCurrentIndex(filter ? ItemOf(filter->Action) : -1);
    if (filter) row.recipients->SetValue(filter->Recipients);
    row.recipients->setEnabled(filter && filter->Action == acKillAfterComplaint);
  }
}

void TOtherFiltersTab::Changed(int n) {
  try {
    filters_.FilterChanged(filters_.IndexOf(filters_.SystemFilter(n)));
  } catch (const std::exception& failure) {
    dialogs_.ShowErrorOver(failure.what(), window());
  }
}

void TOtherFiltersTab::ActionChosen(const TRow& row, int item) {
  TFilter* filter = filters_.SystemFilter(row.systemFilter);
  if (filter && item >= 0 && item < static_cast<int>(kActions.size())) {
    filter->Action = kActions[static_cast<size_t>(item)];
    Changed(row.systemFilter);
  }
  Reread();
}

void TOtherFiltersTab::RecipientClicked(const TRow& row, int item, bool checked) {
  TFilter* filter = filters_.SystemFilter(row.systemFilter);
  if (!filter || item < 0 || item > 4) return;
  const auto bit = static_cast<uint8_t>(1u << item);
  filter->Recipients =
      checked ? uint8_t(filter->Recipients | bit) : uint8_t(filter->Recipients & ~bit);
  Changed(row.systemFilter);
}

}  // namespace tarnwell
