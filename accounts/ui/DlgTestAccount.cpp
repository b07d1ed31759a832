#include "accounts/ui/DlgTestAccount.h"

#include <QCloseEvent>
#include <QEventLoop>
#include <QHBoxLayout>
#include <QLabel>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>
#include <exception>
#include <optional>

#include "accounts/ui/DlgTrustCertificate.h"
#include "platform/EventLoop.h"
#include "shell/ui/DlgMessage.h"
#include "shell/ui/WindowPlacement.h"
#include "transport/AccountTest.h"
#include "transport/POP3Account.h"

namespace tarnwell {

namespace {

constexpr int kWidth = 420;
constexpr int kTextLines = 7;

// Lets a long fingerprint ("AB:CD:...") wrap: a break is allowed after each colon that a
// character follows.
QString Wrappable(QString text) {
  for (qsizetype i = text.size() - 2; i >= 0; --i)
    if (text[i] == QLatin1Char(':') && !text[i + 1].isSpace()) text.insert(i + 1, QChar(0x200B));
  return text;
}

}  // namespace

TTestAccountDlg::TTestAccountDlg(QWidget* owner)
    : QWidget(owner, Qt::Tool | Qt::CustomizeWindowHint | Qt::WindowTitleHint),
      progress_(new QLabel(this)),
      animation_(new QProgressBar(this)),
      close_(new QPushButton(QStringLiteral("Close"), this)) {
  setWindowTitle(QStringLiteral("Testing account"));
  setObjectName(QStringLiteral("TestAccountDlg"));
  progress_->setObjectName(QStringLiteral("lblProgress"));
  progress_->setTextFormat(Qt::PlainText);
  progress_->setWordWrap(true);
  progress_->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  progress_->setMinimumHeight(progress_->fontMetrics().lineSpacing() * kTextLines);
  animation_->setObjectName(QStringLiteral("aniTest"));
  animation_->setTextVisible(false);
  animation_->setRange(0, 1);
  close_->setObjectName(QStringLiteral("btnClose"));
  close_->setDefault(true);
  connect(close_, &QPushButton::clicked, this, &TTestAccountDlg::CloseClicked);

  auto* buttons = new QHBoxLayout;
  buttons->addStretch();
  buttons->addWidget(close_);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(12, 12, 12, 12);
  layout->setSpacing(10);
  layout->addWidget(progress_, 1);
  layout->addWidget(animation_);
  layout->addLayout(buttons);
  setFixedWidth(kWidth);
  adjustSize();
  setFixedHeight(height());
  CentreOn(*this, owner);
}

void TTestAccountDlg::ShowProgress(const std::string& text) {
  progress_->setText(Wrappable(DialogText(text)));
  progress_->repaint();
}

void TTestAccountDlg::Started() {
  running_ = true;
  animation_->setRange(0, 0);
}

void TTestAccountDlg::Finished(bool passed) {
  running_ = false;
  animation_->setRange(0, 1);
  animation_->setValue(passed ? 1 : 0);
  close_->setEnabled(true);
  close_->setFocus();
}

void TTestAccountDlg::WaitForClose() {
  if (closed_ || !isVisible()) return;
  QEventLoop loop;
  waiting_ = &loop;
  loop.exec();
  waiting_ = nullptr;
}

void TTestAccountDlg::CloseClicked() {
  if (!running_) {
    close();
    return;
  }
  // The test ends at its next step; the window closes after it.
  stopRequested_ = true;
  close_->setEnabled(false);
  if (OnStop) OnStop();
}

void TTestAccountDlg::closeEvent(QCloseEvent* event) {
  if (running_) {
    event->ignore();
    if (!stopRequested_) CloseClicked();
    return;
  }
  closed_ = true;
  if (waiting_) waiting_->quit();
  QWidget::closeEvent(event);
}

bool RunAccountTest(TPOP3Account& account, QWidget* owner) {
  const QPointer<QWidget> ownerWindow(owner ? owner->window() : nullptr);
  const bool ownerWasEnabled = ownerWindow && ownerWindow->isEnabled();
  if (ownerWindow) ownerWindow->setEnabled(false);
  bool passed = false;
  {
    TTestAccountDlg window(owner);
    // A window of the disabled owner's stays usable only when enabled on its own.
    window.setEnabled(true);
    window.OnStop = [&account] { account.SetCancelled(true); };
    account.SetCancelled(false);
    window.Started();
    window.show();
    window.raise();
    ProcessMessages();
    for (;;) {
      std::optional<TTestFailure> failure;
      try {
        passed = TestPOP3Account(
            account, [&window](const std::string& text) { window.ShowProgress(text); }, &failure);
      } catch (const std::exception& error) {
        window.ShowProgress(error.what());
        passed = false;
      }
      window.Finished(passed);
      if (passed || window.StopRequested() || !failure) break;
      if (!OfferToTrust(account, failure->Place, failure->Text, &window)) break;
      window.Started();
    }
    if (window.StopRequested())
      window.close();
    else
      window.WaitForClose();
    passed = passed && !window.StopRequested();
  }
  if (ownerWindow) ownerWindow->setEnabled(ownerWasEnabled);
  return passed;
}

}  // namespace tarnwell
