#include "shell/ui/DlgMessage.h"

#include <QFontMetrics>
#include <QFrame>
#include <QLabel>
#include <QPushButton>
#include <QTextBoundaryFinder>
#include <QTimer>
#include <QWindow>
#include <algorithm>
#include <climits>

#include "shell/ui/AboutBox.h"
#include "shell/ui/DisplayText.h"
#include "shell/ui/WindowPlacement.h"

namespace tarnwell {

namespace {

const QString kCaption = QStringLiteral("Halvora Tarnwell");
const QString kEllipsis = QStringLiteral("...");

// The dialog's client width; the height follows the text.
constexpr int kClientWidth = 400;
constexpr int kMargin = 8;
constexpr int kButtonGap = 6;
constexpr int kIconSize = 32;
// The text starts right of the icon, inside the bevel.
constexpr int kTextLeft = 2 * kMargin + kIconSize + kMargin;
constexpr int kTextTop = 2 * kMargin;
// Room left free between the text and the bevel's right edge.
constexpr int kTextRightGap = 6;
// The client height is the text's height and this, but at least kMinClientHeight.
constexpr int kExtraHeight = 32;
constexpr int kMinClientHeight = 100;

// A line may break after it: blanks and line breaks, but not the blanks that hold words together.
bool IsBreakingBlank(QChar c) {
  return (c.isSpace() && c != QChar(0x00A0) && c != QChar(0x2007) && c != QChar(0x202F)) ||
         c == QChar(0x200B);
}

bool Fits(const QString& text, const QFontMetrics& metrics, int width) {
  return WrappedSize(text, metrics, width).width() <= width;
}

}  // namespace

QString DialogText(std::string_view text) {
  QString shown = DisplayString(text);
  shown.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
  shown.replace(QLatin1Char('\r'), QLatin1Char('\n'));
  return shown;
}

QSize WrappedSize(const QString& text, const QFontMetrics& metrics, int width) {
  return metrics
      .boundingRect(QRect(0, 0, width, INT_MAX / 2),
                    Qt::AlignLeft | Qt::AlignTop | Qt::TextWordWrap, text)
      .size();
}

QString FitLabelText(const QString& text, const QFontMetrics& metrics, int width) {
  if (Fits(text, metrics, width)) return text;
  const auto boundaries = [&text](QTextBoundaryFinder::BoundaryType type) {
    std::vector<qsizetype> positions;
    QTextBoundaryFinder finder(type, text);
    for (qsizetype at = 0; at >= 0; at = finder.toNextBoundary()) positions.push_back(at);
    return positions;
  };
  // Characters are whole graphemes, so that no accent or surrogate pair is cut in two.
  const std::vector<qsizetype> graphemes = boundaries(QTextBoundaryFinder::Grapheme);
  const std::vector<qsizetype> breaks = boundaries(QTextBoundaryFinder::Line);
  const auto fitsKept = [&](qsizetype end) {
    return Fits(text.left(end) + kEllipsis, metrics, width);
  };
  // A wrapped text fits while each piece between two places where a line may break fits, so
  // the rule's longest fitting text is found by halving rather than by taking one character at
  // a time. Up to the first piece that is too wide, every piece fits:
  size_t fitting = 0;
  for (size_t high = breaks.size() - 1; fitting < high;) {
    const size_t middle = fitting + (high - fitting + 1) / 2;
    if (Fits(text.left(breaks[middle]), metrics, width))
      fitting = middle;
    else
      high = middle - 1;
  }
  // The text may end in that piece or in one before it. Cut in a word, the dots widen it the
  // more the longer it is kept, so the longest cut of a word that fits is found by halving.
  // Blanks follow rules of their own at the start of a line (a tab, a line break), and are few:
  // they are tried one at a time.
  for (size_t piece = fitting + 1; piece-- > 0;) {
    const auto first = std::upper_bound(graphemes.begin(), graphemes.end(), breaks[piece]);
    auto end = std::upper_bound(first, graphemes.end(), breaks[piece + 1]);
    while (end != first) {
      if (IsBreakingBlank(text[*(end - 1) - 1])) {
        --end;
        if (fitsKept(*end)) return text.left(*end) + kEllipsis;
        continue;
      }
      auto start = end - 1;
      while (start != first && !IsBreakingBlank(text[*(start - 1) - 1])) --start;
      if (fitsKept(*start)) {
        while (end - start > 1) {
          const auto middle = start + (end - start) / 2;
          if (fitsKept(*middle))
            start = middle;
          else
            end = middle;
        }
        return text.left(*start) + kEllipsis;
      }
      end = start;
    }
  }
  return kEllipsis;
}

TMessageDlg::TMessageDlg(const QString& text, QWidget* owner)
    : TMessageDlg(text, QStyle::SP_MessageBoxInformation, kCaption, owner) {
  AddButton(QStringLiteral("OK"), QDialog::Accepted, QStringLiteral("btnOK"));
  Arrange();
}

TMessageDlg::TMessageDlg(const QString& text, QStyle::StandardPixmap icon, const QString& caption,
                         QWidget* owner)
    : QDialog(owner), text_(text) {
  setWindowTitle(caption);
  setModal(true);
  auto* bevel = new QFrame(this);
  bevel->setObjectName(QStringLiteral("bvlMessage"));
  bevel->setFrameShape(QFrame::StyledPanel);
  bevel->setFrameShadow(QFrame::Sunken);
  bevel_ = bevel;
  image_ = new QLabel(this);
  image_->setObjectName(QStringLiteral("imgIcon"));
  image_->setPixmap(style()->standardIcon(icon, nullptr, this).pixmap(kIconSize, kIconSize));
  label_ = new QLabel(this);
  label_->setObjectName(QStringLiteral("lblMessage"));
  label_->setTextFormat(Qt::PlainText);
  label_->setWordWrap(true);
  label_->setAlignment(Qt::AlignLeft | Qt::AlignTop);
}

QString TMessageDlg::ShownText() const { return label_->text(); }

QPushButton* TMessageDlg::AddButton(const QString& caption, int result, const QString& name) {
  auto* button = new QPushButton(caption, this);
  button->setObjectName(name);
  if (buttons_.empty()) button->setDefault(true);
  connect(button, &QPushButton::clicked, this, [this, result] { done(result); });
  buttons_.push_back(button);
  return button;
}

void TMessageDlg::Arrange() {
  QSize button(75, 25);
  for (const QPushButton* b : buttons_) button = button.expandedTo(b->sizeHint());
  const int buttonLeft = kClientWidth - kMargin - button.width();
  const int bevelRight = buttonLeft - kMargin;
  const int room = bevelRight - kTextRightGap - kTextLeft;
  const QFontMetrics metrics(label_->font());
  const QString shown = FitLabelText(text_, metrics, room);
  const int textHeight = WrappedSize(shown, metrics, room).height();
  const int buttonsHeight =
      static_cast<int>(buttons_.size()) * (button.height() + kButtonGap) - kButtonGap;
  const int height =
      std::max({textHeight + kExtraHeight, kMinClientHeight, buttonsHeight + 2 * kMargin});
  label_->setText(shown);
  label_->setGeometry(kTextLeft, kTextTop, room, textHeight);
  image_->setGeometry(2 * kMargin, kTextTop, kIconSize, kIconSize);
  bevel_->setGeometry(kMargin, kMargin, bevelRight - kMargin, height - 2 * kMargin);
  int top = kMargin;
  for (QPushButton* b : buttons_) {
    b->setGeometry(buttonLeft, top, button.width(), button.height());
    top += button.height() + kButtonGap;
  }
  setFixedSize(kClientWidth, height);
}

TConfirmDlg::TConfirmDlg(const QString& text, QWidget* owner, int timeoutMs)
    : TMessageDlg(text, QStyle::SP_MessageBoxQuestion, QStringLiteral("Confirm"), owner) {
  AddButton(QStringLiteral("&Yes"), caYes, QStringLiteral("btnYes"));
  AddButton(QStringLiteral("&No"), caNo, QStringLiteral("btnNo"));
  Arrange();
  if (timeoutMs > 0) {
    timer_ = new QTimer(this);
    timer_->setObjectName(QStringLiteral("tmrClose"));
    timer_->setSingleShot(true);
    timer_->setInterval(timeoutMs);
    connect(timer_, &QTimer::timeout, this, [this] { done(caUnanswered); });
  }
}

void TConfirmDlg::reject() { done(caNo); }

void TConfirmDlg::showEvent(QShowEvent* event) {
  TMessageDlg::showEvent(event);
  if (timer_ && !timer_->isActive()) timer_->start();
}

TWarningDlg::TWarningDlg(const QString& text, bool error, QWidget* owner)
    : TMessageDlg(text, error ? QStyle::SP_MessageBoxCritical : QStyle::SP_MessageBoxWarning,
                  kCaption, owner) {
  AddButton(QStringLiteral("OK"), QDialog::Accepted, QStringLiteral("btnOK"));
  Arrange();
}

TWaitDlg::TWaitDlg(const QString& text)
    : QWidget(nullptr,
              Qt::Tool | Qt::WindowStaysOnTopHint | Qt::CustomizeWindowHint | Qt::WindowTitleHint) {
  setWindowTitle(QStringLiteral(" Halvora Tarnwell"));
  auto* label = new QLabel(text, this);
  label->setObjectName(QStringLiteral("lblWait"));
  label->setTextFormat(Qt::PlainText);
  label->setAlignment(Qt::AlignCenter);
  const QSize textSize = label->sizeHint();
  const QSize size(std::max(240, textSize.width() + 4 * kMargin), textSize.height() + 6 * kMargin);
  label->setGeometry(0, 0, size.width(), size.height());
  setFixedSize(size);
}

TQtMessageDialogs::TQtMessageDialogs() = default;

TQtMessageDialogs::~TQtMessageDialogs() { HideWait(); }

int TQtMessageDialogs::Run(TMessageDlg* dialog, QWidget* owner, TPlacement without, int whenGone) {
  if (owner)
    CentreOn(*dialog, owner);
  else if (without == TPlacement::TaskbarCorner)
    PlaceAtTaskbarCorner(*dialog);
  else
    CentreOnScreen(*dialog);
  const QPointer<TMessageDlg> alive(dialog);
  const int result = dialog->exec();
  if (!alive) return whenGone;
  delete dialog;
  return result;
}

void TQtMessageDialogs::ShowInfo(const std::string& text, QWidget* owner) {
  Run(new TMessageDlg(DialogText(text), owner), owner, TPlacement::TaskbarCorner, 0);
}

void TQtMessageDialogs::ShowWarning(const std::string& text, QWidget* owner) {
  Run(new TWarningDlg(DialogText(text), false, owner), owner, TPlacement::Screen, 0);
}

void TQtMessageDialogs::ShowError(const std::string& text) {
  Run(new TWarningDlg(DialogText(text), true), nullptr, TPlacement::Screen, 0);
}

void TQtMessageDialogs::ShowErrorOver(const std::string& text, QWidget* owner) {
  Run(new TWarningDlg(DialogText(text), true, owner), owner, TPlacement::TaskbarCorner, 0);
}

int TQtMessageDialogs::Confirm(const std::string& text, QWidget* owner) {
  return Run(new TConfirmDlg(DialogText(text), owner), owner, TPlacement::TaskbarCorner, caNo);
}

int TQtMessageDialogs::ConfirmTimed(const std::string& text, QWidget* owner) {
  return Run(new TConfirmDlg(DialogText(text), owner, ConfirmTimeoutMs), owner,
             TPlacement::TaskbarCorner, caNo);
}

void TQtMessageDialogs::ShowWait(QWidget* owner, const std::string& text) {
  HideWait();
  wait_ = std::make_unique<TWaitDlg>(DialogText(text));
  waitOwner_ = owner;
  // Owned windows are disabled with their owner, so the wait window stands alone and only
  // keeps above it.
  CentreOn(*wait_, owner);
  if (owner) {
    wait_->winId();
    if (owner->window()->windowHandle())
      wait_->windowHandle()->setTransientParent(owner->window()->windowHandle());
    owner->setEnabled(false);
  }
  wait_->show();
}

void TQtMessageDialogs::HideWait() {
  if (waitOwner_) waitOwner_->setEnabled(true);
  waitOwner_.clear();
  if (!wait_) return;
  wait_->hide();
  wait_.reset();
}

void TQtMessageDialogs::ShowAbout(const std::string& versionText, bool fromTray) {
  QWidget* mainWindow = !fromTray && MainWindow ? MainWindow() : nullptr;
  if (mainWindow && !mainWindow->isVisible()) mainWindow = nullptr;
  auto* about = new TAboutBox(DisplayString(versionText), ProgramIcon, mainWindow);
  if (fromTray)
    PlaceAtTaskbarCorner(*about);
  else
    CentreOn(*about, mainWindow);
  aboutShowing_ = true;
  const QPointer<TAboutBox> alive(about);
  about->exec();
  aboutShowing_ = false;
  delete alive.data();
}

}  // namespace tarnwell
