#include "mainwindow/ui/DlgRescue.h"

#include <QHeaderView>
#include <QLabel>
#include <QPointer>
#include <QProgressBar>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <QWindow>
#include <exception>
#include <string>

#include "mainwindow/ui/DlgRescueMsg.h"
#include "message/Emails.h"
#include "message/SvcString.h"
#include "shell/ui/DisplayText.h"
#include "shell/ui/DlgMessage.h"
#include "shell/ui/WindowPlacement.h"

namespace tarnwell {

TRescueDlg::TRescueDlg(QWidget* owner)
    : QWidget(nullptr, Qt::Tool | Qt::CustomizeWindowHint | Qt::WindowTitleHint),
      progress_(new QLabel(this)),
      messages_(new QTreeWidget(this)),
      bar_(new QProgressBar(this)) {
  setWindowTitle(QStringLiteral("Rescuing messages"));
  progress_->setObjectName(QStringLiteral("lblProgress"));
  progress_->setTextFormat(Qt::PlainText);
  messages_->setObjectName(QStringLiteral("lvMessages"));
  messages_->setHeaderLabels({QStringLiteral("Sender")});
  messages_->setRootIsDecorated(false);
  messages_->setEditTriggers(QAbstractItemView::NoEditTriggers);
  messages_->setSelectionMode(QAbstractItemView::NoSelection);
  messages_->setFocusPolicy(Qt::NoFocus);
  messages_->setTextElideMode(Qt::ElideRight);
  bar_->setObjectName(QStringLiteral("pbProgress"));
  bar_->setRange(0, 1);
  bar_->setValue(0);
  bar_->setTextVisible(false);

  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(12, 12, 12, 12);
  layout->setSpacing(8);
  layout->addWidget(progress_);
  layout->addWidget(messages_, 1);
  layout->addWidget(bar_);
  setFixedSize(360, 260);
  CentreOn(*this, owner);
  if (owner && owner->window()->windowHandle()) {
    winId();
    windowHandle()->setTransientParent(owner->window()->windowHandle());
  }
}

TRescueDlg::~TRescueDlg() { Detach(); }

void TRescueDlg::Attach(TAccountList& accounts) {
  Detach();
  accounts_ = &accounts;
  savedForwarding_ = std::exchange(accounts.OnForwarding,
                                   [this](TAccountList&, int, int count) { Preparing(count); });
  savedLoginOutgoing_ = std::exchange(accounts.OnLoginOutgoing, [this](TAccount&) { LoggingIn(); });
  savedSending_ =
      std::exchange(accounts.OnSending, [this](TEmail& message, int, int) { Sending(message); });
  savedSent_ = std::exchange(accounts.OnSent, [this](TEmail&, int, int) { Sent(); });
  savedLogoutOutgoing_ =
      std::exchange(accounts.OnLogoutOutgoing, [this](TAccount&) { LoggingOut(); });
}

void TRescueDlg::Detach() {
  if (!accounts_) return;
  accounts_->OnForwarding = std::move(savedForwarding_);
  accounts_->OnLoginOutgoing = std::move(savedLoginOutgoing_);
  accounts_->OnSending = std::move(savedSending_);
  accounts_->OnSent = std::move(savedSent_);
  accounts_->OnLogoutOutgoing = std::move(savedLogoutOutgoing_);
  accounts_ = nullptr;
}

void TRescueDlg::Preparing(int count) {
  Show("Preparing message...");
  if (prepared_) return;
  prepared_ = true;
  bar_->setRange(0, count);
  bar_->setValue(0);
}

void TRescueDlg::LoggingIn() { Show("Logging in..."); }

void TRescueDlg::Sending(const TEmail& message) {
  Show("Sending message...");
  const std::string sender = AddressOf(message.Headers.ValueOf("From"));
  auto* row = new QTreeWidgetItem(messages_);
  row->setText(
      0, sender.empty() ? QStringLiteral("(Unknown sender)") : OneLine(DisplayString(sender)));
  row->setFlags(Qt::ItemIsEnabled);
  row->setCheckState(0, Qt::Unchecked);
  messages_->scrollToItem(row);
}

void TRescueDlg::Sent() {
  Show("Message sent.");
  const int rows = messages_->topLevelItemCount();
  if (rows > 0) messages_->topLevelItem(rows - 1)->setCheckState(0, Qt::Checked);
  bar_->setValue(bar_->value() + 1);
}

void TRescueDlg::LoggingOut() { Show("Logging out..."); }

void TRescueDlg::Failed() {
  Show("An error occurred.");
  close();
}

void TRescueDlg::Show(const char* text) { progress_->setText(QString::fromLatin1(text)); }

bool RestoresInPlace(const TAccount& account) { return account.Type == akMapi; }

namespace {

// Disables a window while it lives, as it was before afterwards.
class TDisabledWindow {
 public:
  explicit TDisabledWindow(QWidget* window) : window_(window) {
    if (window_) {
      wasEnabled_ = window_->isEnabled();
      window_->setEnabled(false);
    }
  }
  ~TDisabledWindow() { Restore(); }
  TDisabledWindow(const TDisabledWindow&) = delete;
  TDisabledWindow& operator=(const TDisabledWindow&) = delete;
  void Restore() {
    if (window_) window_->setEnabled(wasEnabled_);
    window_.clear();
  }

 private:
  QPointer<QWidget> window_;
  bool wasEnabled_ = true;
};

void RestoreUnderWait(TAccountList& accounts, TAccount& viewed, const std::vector<int>& positions,
                      TQtMessageDialogs& dialogs, QWidget* owner) {
  std::string failure;
  dialogs.ShowWait(owner);
  try {
    accounts.RestoreKilled(viewed, positions);
  } catch (const std::exception& error) {
    failure = error.what();
  }
  dialogs.HideWait();
  if (!failure.empty()) dialogs.ShowErrorOver(failure, owner);
}

}  // namespace

void RescueMessages(TAccountList& accounts, TAccount& viewed, const std::vector<TEmail*>& selected,
                    TQtMessageDialogs& dialogs, QWidget* owner) {
  std::vector<int> positions;
  for (const TEmail* message : selected) {
    const int position = viewed.Killed.IndexOf(message);
    if (position >= 0) positions.push_back(position);
  }
  if (positions.empty()) return;
  if (RestoresInPlace(viewed)) {
    RestoreUnderWait(accounts, viewed, positions, dialogs, owner);
    return;
  }

  std::vector<std::string> names;
  int viewedPosition = -1;
  for (int i = 0; i < accounts.Count(); ++i) {
    names.push_back(accounts.Items(i)->Description);
    if (accounts.Items(i) == &viewed) viewedPosition = i;
  }
  auto* ask = new TRescueMsgDlg(names, viewedPosition, dialogs, owner);
  CentreOn(*ask, owner);
  const QPointer<TRescueMsgDlg> alive(ask);
  const bool ok = ask->exec() == QDialog::Accepted && alive;
  if (!alive) return;
  const TAccountSet targets = ask->Targets();
  const std::string copyTo = ask->CopyTo();
  const bool includeHeaders = ask->IncludeHeaders();
  delete ask;
  if (!ok) return;

  TRescueDlg progress(owner);
  TDisabledWindow disabled(owner ? owner->window() : nullptr);
  progress.Attach(accounts);
  progress.show();
  try {
    accounts.ForwardKilled(viewed, positions, includeHeaders, copyTo, targets);
    progress.close();
  } catch (const std::exception& error) {
    progress.Failed();
    disabled.Restore();
    dialogs.ShowErrorOver(error.what(), owner);
  }
}

}  // namespace tarnwell
