#include "shell/ui/DlgPopUp.h"

#include <QEvent>
#include <QHBoxLayout>
#include <QPushButton>
#include <QTimer>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <algorithm>

#include "accounts/AccountList.h"
#include "message/QStrings.h"
#include "message/SvcString.h"
#include "shell/Settings.h"
#include "shell/ui/DisplayText.h"
#include "shell/ui/WindowPlacement.h"

namespace tarnwell {

namespace {

constexpr int kDescriptionRole = Qt::UserRole;

template <typename TWork>
void Swallow(TWork&& work) {
  try {
    work();
  } catch (...) {
  }
}

QString MessageText(const TEmail& message) {
  return OneLine(DecodedDisplayString(DisplayName(message.From) + ": " + message.Subject));
}

QByteArray Bytes(const std::string& text) {
  return QByteArray(text.data(), static_cast<qsizetype>(text.size()));
}

}  // namespace

TPopUpDlg::TPopUpDlg(TAccountList* accounts)
    : QDialog(nullptr, Qt::Tool | Qt::CustomizeWindowHint | Qt::WindowTitleHint),
      accounts_(accounts),
      tree_(new QTreeWidget(this)),
      open_(new QPushButton(QStringLiteral("&Open"), this)),
      close_(new QPushButton(QStringLiteral("&Close"), this)),
      timer_(new QTimer(this)) {
  setWindowTitle(QStringLiteral("Halvora Tarnwell"));
  for (int i = 0; i < kStatusImageCount; ++i) images_[static_cast<size_t>(i)] = StatusImage(i);

  tree_->setObjectName(QStringLiteral("tvPopup"));
  tree_->setHeaderHidden(true);
  tree_->setRootIsDecorated(false);
  tree_->setEditTriggers(QAbstractItemView::NoEditTriggers);
  tree_->setExpandsOnDoubleClick(false);
  tree_->setIconSize(QSize(16, 16));
  tree_->setIndentation(20);
  tree_->setTextElideMode(Qt::ElideRight);
  tree_->viewport()->installEventFilter(this);
  connect(tree_, &QTreeWidget::itemDoubleClicked, this, [this] { Open(); });

  open_->setObjectName(QStringLiteral("btnOpen"));
  open_->setDefault(true);
  close_->setObjectName(QStringLiteral("btnClose"));
  connect(open_, &QPushButton::clicked, this, &TPopUpDlg::Open);
  connect(close_, &QPushButton::clicked, this, &TPopUpDlg::reject);

  timer_->setObjectName(QStringLiteral("tmrClose"));
  timer_->setSingleShot(true);
  timer_->setInterval(std::max(Settings().HidePopUpAfter, 0) * 1000);
  connect(timer_, &QTimer::timeout, this, &TPopUpDlg::reject);

  auto* buttons = new QHBoxLayout;
  buttons->addStretch();
  buttons->addWidget(open_);
  buttons->addWidget(close_);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(6, 6, 6, 6);
  layout->setSpacing(6);
  layout->addWidget(tree_, 1);
  layout->addLayout(buttons);
  resize(360, 240);
}

TPopUpDlg::~TPopUpDlg() = default;

void TPopUpDlg::CountersReset() {
  Swallow([this] { tree_->clear(); });
}

void TPopUpDlg::AccountChecked(const TAccount& account) {
  Swallow([&] {
    if (Settings().ShowPopUp && account.NewCount > 0 && !MainWindowVisible()) AddAccount(account);
  });
}

void TPopUpDlg::AddAccount(const TAccount& account) {
  QTreeWidgetItem* root = FindRoot(account.Description);
  if (!root) {
    root = new QTreeWidgetItem;
    root->setData(0, kDescriptionRole, Bytes(account.Description));
    root->setIcon(0, images_[siAccount]);
    tree_->insertTopLevelItem(0, root);
  }
  std::string text = account.Description + ": " + CountNoun(account.MessageCount, "message");
  if (account.InboxPossibleSpam() > 0)
    text += ", " + CountNoun(account.InboxPossibleSpam(), "possible spam");
  if (account.SpamSinceReset > 0) text += ", " + CountNoun(account.SpamSinceReset, "spam");
  root->setText(0, OneLine(DisplayString(text)));
  root->setToolTip(0, root->text(0));

  // A check that kept no copies of its spam has fewer killed records than it counted.
  const int killed = std::min(account.SpamCount, account.Killed.Count());
  for (int i = account.Killed.Count() - 1; i >= account.Killed.Count() - killed; --i)
    root->insertChild(0, NewChild(MessageText(*account.Killed[i]), siSpam));
  const int others = std::min(account.NewCount - account.SpamCount, account.Inbox.Count());
  for (int i = account.Inbox.Count() - 1; i >= account.Inbox.Count() - others; --i) {
    const TEmail& message = *account.Inbox[i];
    const int image = message.Status == msPossibleSpam ? siPossibleSpamMessage
                      : message.Status == msFriend     ? siFriend
                                                       : siNewMessage;
    root->addChild(NewChild(MessageText(message), image));
  }
  tree_->expandAll();
}

QTreeWidgetItem* TPopUpDlg::FindRoot(const std::string& description) const {
  const QByteArray wanted = Bytes(description);
  for (int i = 0; i < tree_->topLevelItemCount(); ++i) {
    QTreeWidgetItem* root = tree_->topLevelItem(i);
    if (root->data(0, kDescriptionRole).toByteArray() == wanted) return root;
  }
  return nullptr;
}

QTreeWidgetItem* TPopUpDlg::NewChild(const QString& text, int image) const {
  auto* item = new QTreeWidgetItem(QStringList{text});
  item->setIcon(0, images_[static_cast<size_t>(image)]);
  item->setToolTip(0, text);
  return item;
}

void TPopUpDlg::BatchDone() {
  Swallow([this] {
    if (!Settings().ShowPopUp || tree_->topLevelItemCount() == 0 || MainWindowVisible() ||
        isVisible())
      return;
    tree_->setCurrentItem(tree_->topLevelItem(0));
    tree_->scrollToTop();
    PlaceAtTaskbarCorner(*this);
    show();
    if (Settings().HidePopup) timer_->start();
  });
}

void TPopUpDlg::Open() {
  Swallow([this] {
    QTreeWidgetItem* root = tree_->currentItem();
    while (root && root->parent()) root = root->parent();
    if (root && accounts_) {
      const QByteArray description = root->data(0, kDescriptionRole).toByteArray();
      const int32_t position =
          accounts_->ActivePosition(std::string(description.constData(), description.size()));
      if (position >= 0) Settings().LastAcct = position;
    }
  });
  reject();
  Swallow([this] {
    if (OpenMainWindow) OpenMainWindow();
  });
}

void TPopUpDlg::reject() {
  timer_->stop();
  Swallow([this] { tree_->clear(); });
  QDialog::reject();
}

bool TPopUpDlg::eventFilter(QObject* watched, QEvent* event) {
  if (watched == tree_->viewport() && event->type() == QEvent::ToolTip && !Settings().ShowHints)
    return true;
  return QDialog::eventFilter(watched, event);
}

bool TPopUpDlg::MainWindowVisible() const { return IsMainWindowVisible && IsMainWindowVisible(); }

TQtPopUpNotice::TQtPopUpNotice() = default;

TQtPopUpNotice::~TQtPopUpNotice() = default;

void TQtPopUpNotice::Create(TAccountList& accounts) {
  dialog_ = std::make_unique<TPopUpDlg>(&accounts);
  dialog_->IsMainWindowVisible = [this] { return IsMainWindowVisible && IsMainWindowVisible(); };
  dialog_->OpenMainWindow = [this] {
    if (OpenMainWindow) OpenMainWindow();
  };
  // The list may outlive the notice; a handler of a notice that is gone does nothing.
  const QPointer<TPopUpDlg> dialog(dialog_.get());
  auto reset = std::move(accounts.OnCountersReset);
  accounts.OnCountersReset = [reset = std::move(reset), dialog] {
    if (reset) reset();
    if (dialog) dialog->CountersReset();
  };
  auto checked = std::move(accounts.OnAccountChecked);
  accounts.OnAccountChecked = [checked = std::move(checked), dialog](TAccount& account) {
    if (checked) checked(account);
    if (dialog) dialog->AccountChecked(account);
  };
  auto done = std::move(accounts.OnBatchDone);
  accounts.OnBatchDone = [done = std::move(done), dialog](TAccountList& list) {
    if (done) done(list);
    if (dialog) dialog->BatchDone();
  };
}

bool TQtPopUpNotice::IsVisible() const { return dialog_ && dialog_->isVisible(); }

void TQtPopUpNotice::BringToFront() {
  if (!dialog_) return;
  dialog_->raise();
  dialog_->activateWindow();
}

void TQtPopUpNotice::Close() {
  if (dialog_ && dialog_->isVisible()) dialog_->reject();
}

}  // namespace tarnwell
