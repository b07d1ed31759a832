#include "accounts/ui/DlgCheckMail.h"

#include <QCloseEvent>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <QWindow>
#include <algorithm>
#include <utility>

#include "app/AppWindow.h"
#include "mainwindow/ui/UiCommand.h"
#include "platform/EventLoop.h"
#include "shell/Synchronization.h"
#include "shell/ui/DisplayText.h"
#include "shell/ui/DlgMessage.h"
#include "shell/ui/WindowPlacement.h"

namespace tarnwell {

namespace {

constexpr int kWidth = 470;
// How long an offer to trust a certificate waits for a running check to end before it looks
// again.
constexpr int kOfferRetryMs = 250;

enum TColumn : int { colCheck, colDescription, colConnection };

// Runs `handler` after what `notify` did before, while the dialog lives: the list may outlive it.
template <typename TNotify, typename THandler>
void Chain(TNotify& notify, QPointer<TCheckMailDlg> dialog, THandler handler) {
  notify = [before = std::move(notify), dialog, handler](auto&... arguments) {
    if (before) before(arguments...);
    if (dialog) handler(*dialog, arguments...);
  };
}

QGroupBox* Section(const QString& caption, QWidget* parent) {
  auto* box = new QGroupBox(caption, parent);
  QFont font = box->font();
  font.setBold(true);
  box->setFont(font);
  return box;
}

// The section's contents in plain type rather than the caption's bold.
void UsePlainFont(QWidget* widget) {
  QFont font = widget->font();
  font.setBold(false);
  widget->setFont(font);
}

}  // namespace

TCheckMailDlg::TCheckMailDlg()
    : lblProgress_(new QLabel(this)),
      pbProgress_(new QProgressBar(this)),
      lvAccounts_(new QTreeWidget(this)),
      memErrors_(new QPlainTextEdit(this)),
      btnStop_(new QPushButton(QStringLiteral("&Stop"), this)),
      btnErrors_(new QPushButton(QStringLiteral("Show &errors"), this)) {
  setObjectName(QStringLiteral("CheckMailDlg"));
  setWindowTitle(QStringLiteral("Checking e-mail"));
  setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                 Qt::WindowCloseButtonHint);

  QGroupBox* accounts = Section(QStringLiteral("Accounts"), this);
  accounts->setObjectName(QStringLiteral("gbAccounts"));
  lvAccounts_->setObjectName(QStringLiteral("lvAccounts"));
  UsePlainFont(lvAccounts_);
  lvAccounts_->setColumnCount(3);
  lvAccounts_->setHeaderLabels(
      {QString(), QStringLiteral("Description"), QStringLiteral("Connection")});
  lvAccounts_->setRootIsDecorated(false);
  lvAccounts_->setUniformRowHeights(true);
  lvAccounts_->setEditTriggers(QAbstractItemView::NoEditTriggers);
  lvAccounts_->setSelectionBehavior(QAbstractItemView::SelectRows);
  lvAccounts_->setFocusPolicy(Qt::NoFocus);
  lvAccounts_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  lvAccounts_->setTextElideMode(Qt::ElideRight);
  lvAccounts_->viewport()->installEventFilter(this);
  QHeaderView* header = lvAccounts_->header();
  header->setSectionsMovable(false);
  header->setSectionsClickable(false);
  header->setStretchLastSection(true);
  header->setSectionResizeMode(colCheck, QHeaderView::Fixed);
  header->resizeSection(colCheck, 28);
  header->resizeSection(colDescription, 150);
  lvAccounts_->setFixedHeight(118);
  auto* accountsLayout = new QVBoxLayout(accounts);
  accountsLayout->addWidget(lvAccounts_);

  btnStop_->setObjectName(QStringLiteral("btnStop"));
  btnErrors_->setObjectName(QStringLiteral("btnErrors"));
  btnStop_->setDefault(true);
  const int buttonWidth =
      std::max(btnErrors_->sizeHint().width(),
               btnErrors_->fontMetrics().horizontalAdvance(QStringLiteral("Hide errors")) + 24);
  btnStop_->setFixedWidth(buttonWidth);
  btnErrors_->setFixedWidth(buttonWidth);
  connect(btnStop_, &QPushButton::clicked, this, &TCheckMailDlg::StopClick);
  connect(btnErrors_, &QPushButton::clicked, this, &TCheckMailDlg::ErrorsClick);
  auto* buttons = new QVBoxLayout();
  buttons->setSpacing(6);
  // Level with the list rather than with the section's caption.
  buttons->addSpacing(accounts->fontMetrics().height());
  buttons->addWidget(btnStop_);
  buttons->addWidget(btnErrors_);
  buttons->addStretch(1);

  lblProgress_->setObjectName(QStringLiteral("lblProgress"));
  lblProgress_->setTextFormat(Qt::PlainText);
  pbProgress_->setObjectName(QStringLiteral("pbProgress"));
  pbProgress_->setTextVisible(false);
  pbProgress_->setFixedHeight(16);

  QGroupBox* errors = Section(QStringLiteral("Errors"), this);
  errors->setObjectName(QStringLiteral("gbErrors"));
  gbErrors_ = errors;
  memErrors_->setObjectName(QStringLiteral("memErrors"));
  UsePlainFont(memErrors_);
  memErrors_->setReadOnly(true);
  memErrors_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  memErrors_->setLineWrapMode(QPlainTextEdit::WidgetWidth);
  memErrors_->setFixedHeight(130);
  auto* errorsLayout = new QVBoxLayout(errors);
  errorsLayout->addWidget(memErrors_);

  auto* top = new QHBoxLayout();
  top->setSpacing(10);
  top->addWidget(accounts, 1);
  top->addLayout(buttons);
  auto* root = new QVBoxLayout(this);
  root->setContentsMargins(12, 8, 12, 12);
  root->setSpacing(6);
  root->addLayout(top);
  root->addSpacing(4);
  root->addWidget(lblProgress_);
  root->addWidget(pbProgress_);
  root->addSpacing(6);
  root->addWidget(errors);
  root->setSizeConstraint(QLayout::SetFixedSize);
  setMinimumWidth(kWidth);
  setMaximumWidth(kWidth);
  accounts->setFixedWidth(kWidth - 24 - 10 - buttonWidth);

  Prepare();
}

TCheckMailDlg::~TCheckMailDlg() = default;

void TCheckMailDlg::Create(TAccountList& accounts) {
  accounts_ = &accounts;
  const QPointer<TCheckMailDlg> dialog(this);
  Chain(accounts.OnLoginIncoming, dialog,
        [](TCheckMailDlg& d, TAccount& account) { d.LoginIncoming(account); });
  Chain(accounts.OnReadingList, dialog,
        [](TCheckMailDlg& d, TAccount& account) { d.ReadingList(account); });
  Chain(accounts.OnReadingBodies, dialog,
        [](TCheckMailDlg& d, TAccount& account) { d.ReadingBodies(account); });
  Chain(accounts.OnFiltering, dialog,
        [](TCheckMailDlg& d, TAccount& account) { d.Filtering(account); });
  Chain(accounts.OnProgress, dialog, [](TCheckMailDlg& d, TAccount&) { d.Progress(); });
  Chain(accounts.OnLogoutIncoming, dialog, [](TCheckMailDlg& d, TAccount&) { d.LogoutIncoming(); });
  Chain(accounts.OnError, dialog, [](TCheckMailDlg& d, const std::exception&) { d.Error(); });
}

void TCheckMailDlg::PrepareForCheck(TAccountList& accounts) {
  accounts_ = &accounts;
  Prepare();
}

void TCheckMailDlg::Prepare() {
  currentAccount_ = nullptr;
  accountFailed_ = false;
  batchFailed_ = false;
  closable_ = false;
  btnStop_->setText(QStringLiteral("&Stop"));
  SetErrorsShown(false);
  lblProgress_->setText(QStringLiteral("Logging in..."));
  SetMaximum(0);
  lvAccounts_->clear();
  memErrors_->clear();
}

void TCheckMailDlg::Show() {
  QWidget* main = MainWindow ? MainWindow() : nullptr;
  if (main) {
    CentreOn(*this, main);
    winId();
    if (QWindow* owner = main->window()->windowHandle()) windowHandle()->setTransientParent(owner);
  }
  show();
  raise();
  activateWindow();
}

void TCheckMailDlg::FinishCheck(TAccountList& accounts) {
  accounts_ = &accounts;
  if (batchFailed_ || closable_)
    ShowOutcome();
  else
    hide();
  NoteRefusals(accounts);
  if (!refusals_.empty()) QTimer::singleShot(0, this, &TCheckMailDlg::OfferNoted);
}

void TCheckMailDlg::ShowOutcome() {
  if (closable_) {
    lblProgress_->setText(QStringLiteral("Aborted."));
    return;
  }
  accountFailed_ = true;
  batchFailed_ = true;
  lblProgress_->setText(QStringLiteral("An error occurred."));
  ShowErrors();
  btnStop_->setText(QStringLiteral("&Close"));
  closable_ = true;
}

void TCheckMailDlg::ShowProgress(const char* text) {
  lblProgress_->setText(QString::fromLatin1(text));
}

void TCheckMailDlg::LoginIncoming(TAccount& account) {
  accountFailed_ = false;
  currentAccount_ = &account;
  auto* row = new QTreeWidgetItem(lvAccounts_);
  row->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable);
  row->setCheckState(colCheck, Qt::Unchecked);
  row->setText(colDescription, OneLine(DisplayString(account.Description)));
  row->setText(colConnection, OneLine(DisplayString(account.ConnectionName())));
  lvAccounts_->setCurrentItem(row);
  lvAccounts_->scrollToItem(row);
  ShowProgress("Logging in...");
  pbProgress_->setValue(0);
  Pump(1);
}

void TCheckMailDlg::ReadingList(TAccount& account) {
  ShowProgress("Checking for new messages...");
  Pump(1);
  SetMaximum(account.MessageCount);
}

void TCheckMailDlg::StepStarted(const char* text, const TAccount& account) {
  ShowProgress(text);
  Pump(1);
  SetMaximum(account.MessageCount);
}

void TCheckMailDlg::ReadingBodies(TAccount& account) {
  StepStarted("Retrieving message texts...", account);
}

void TCheckMailDlg::Filtering(TAccount& account) { StepStarted("Filtering messages...", account); }

void TCheckMailDlg::Progress() {
  Pump(1);
  // A step beyond the maximum is left out, as the bar cannot show it.
  if (pbProgress_->value() < maximum_) pbProgress_->setValue(pbProgress_->value() + 1);
}

void TCheckMailDlg::SetMaximum(int maximum) {
  maximum_ = std::max(maximum, 0);
  // Without a maximum the bar stays empty rather than busy: the steps cannot be counted.
  pbProgress_->setRange(0, std::max(maximum_, 1));
  pbProgress_->setValue(0);
}

void TCheckMailDlg::LogoutIncoming() {
  ShowProgress("Logging out...");
  lblProgress_->repaint();
  Pump(1);
  if (accountFailed_ || closable_) return;
  const int rows = lvAccounts_->topLevelItemCount();
  if (rows > 0) lvAccounts_->topLevelItem(rows - 1)->setCheckState(colCheck, Qt::Checked);
}

void TCheckMailDlg::Error() {
  accountFailed_ = true;
  batchFailed_ = true;
  ShowProgress("An error occurred.");
  ShowErrors();
}

void TCheckMailDlg::ShowErrors() {
  QStringList lines;
  if (accounts_)
    for (const std::string& line : accounts_->Errors) lines.append(DialogText(line));
  memErrors_->setPlainText(lines.join(QLatin1Char('\n')));
}

void TCheckMailDlg::StopClick() {
  if (closable_) {
    hide();
    return;
  }
  if (currentAccount_) currentAccount_->SetCancelled(true);
  closable_ = true;
  btnStop_->setText(QStringLiteral("&Close"));
}

void TCheckMailDlg::ErrorsClick() { SetErrorsShown(!errorsShown_); }

void TCheckMailDlg::SetErrorsShown(bool shown) {
  errorsShown_ = shown;
  gbErrors_->setVisible(shown);
  btnErrors_->setText(shown ? QStringLiteral("Hide &errors") : QStringLiteral("Show &errors"));
  layout()->activate();
}

void TCheckMailDlg::reject() {
  if (closable_) hide();
}

void TCheckMailDlg::closeEvent(QCloseEvent* event) {
  event->ignore();
  if (closable_) hide();
}

bool TCheckMailDlg::eventFilter(QObject* watched, QEvent* event) {
  // The rows are the dialog's: clicks neither select nor tick them.
  if (watched == lvAccounts_->viewport()) {
    switch (event->type()) {
      case QEvent::MouseButtonPress:
      case QEvent::MouseButtonRelease:
      case QEvent::MouseButtonDblClick:
      case QEvent::MouseMove: return true;
      default: break;
    }
  }
  return QDialog::eventFilter(watched, event);
}

void TCheckMailDlg::NoteRefusals(const TAccountList& accounts) {
  for (const TBatchError& error : accounts.BatchErrors) {
    if (!error.Server || error.Server->Tls != TTlsFault::Certificate ||
        error.Server->Fingerprint.empty())
      continue;
    const auto key =
        std::make_tuple(error.AccountID, error.Server->Role, error.Server->Fingerprint);
    if (declined_.count(key)) continue;
    const bool noted = std::any_of(refusals_.begin(), refusals_.end(), [&](const TBatchError& r) {
      return std::make_tuple(r.AccountID, r.Server->Role, r.Server->Fingerprint) == key;
    });
    if (!noted) refusals_.push_back(error);
  }
}

void TCheckMailDlg::OfferNoted() {
  if (refusals_.empty() || !accounts_ || offering_) return;
  if (!OfferToTrust) {
    refusals_.clear();
    return;
  }
  // The question waits for a running check, which would otherwise wait for the answer; and the
  // answer holds the busy gate, so that no check starts while it pins.
  TAppWindow* app = AppWindow();
  const bool checking = accounts_->Busy || (app && !app->Gate().IsFree() &&
                                            app->Gate().Kind() == TSynchronization::skCheck);
  if (checking) {
    QTimer::singleShot(kOfferRetryMs, this, &TCheckMailDlg::OfferNoted);
    return;
  }
  offering_ = true;
  QWidget* owner = isVisible() ? this : (MainWindow ? MainWindow() : nullptr);
  RunUiCommand(owner, [this, owner] {
    while (!refusals_.empty()) {
      const TBatchError refusal = refusals_.front();
      refusals_.erase(refusals_.begin());
      int position = -1;
      for (int i = 0; i < accounts_->Count(); ++i)
        if (accounts_->Items(i)->ID == refusal.AccountID) position = i;
      if (position < 0) continue;
      if (OfferToTrust(*accounts_->Items(position), refusal, owner))
        accounts_->Update(position);
      else
        declined_.insert({refusal.AccountID, refusal.Server->Role, refusal.Server->Fingerprint});
    }
  });
  offering_ = false;
}

}  // namespace tarnwell
