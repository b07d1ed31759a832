#include "shell/ui/TrayIcon.h"

#include <QCursor>
#include <QGuiApplication>
#include <QMenu>
#include <QPixmap>
#include <QStringDecoder>
#include <QStyleHints>

#include "shell/ui/TrayImages.h"

namespace tarnwell {

namespace {

// Sizes of the pictures in each icon: the trays' 16, 22, 24 and 32 pixels, twice 22 and 32 for
// screens with two device pixels to the pixel, and 48 for panels drawn large.
constexpr int kIconSizes[] = {16, 22, 24, 32, 44, 48, 64};

// The program's bytes as text: UTF-8 when they are valid UTF-8, else Windows-1252.
QString DisplayText(const std::string& bytes) {
  const QByteArrayView view(bytes.data(), static_cast<qsizetype>(bytes.size()));
  QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
  QString text = utf8.decode(view);
  if (!utf8.hasError()) return text;
  QStringDecoder windows1252("windows-1252");
  if (windows1252.isValid()) return windows1252.decode(view);
  return QString::fromLatin1(view);
}

// The first `count` characters; a character outside the basic plane is not split.
QString FirstCharacters(const QString& text, int count) {
  qsizetype end = 0;
  for (int n = 0; n < count && end < text.size(); ++n)
    end += text.at(end).isHighSurrogate() && end + 1 < text.size() ? 2 : 1;
  return text.left(end);
}

// A caption whose "&" shows as itself instead of marking the access key.
QString Literal(QString caption) { return caption.replace(QLatin1Char('&'), QLatin1String("&&")); }

}  // namespace

TQtTrayIcon::TQtTrayIcon(QObject* parent) : QObject(parent) {
  blinkTimer_.setInterval(kBlinkIntervalMs);
  connect(&blinkTimer_, &QTimer::timeout, this, &TQtTrayIcon::BlinkTick);
  doubleClickWindow_.setSingleShot(true);
  doubleClickWindow_.setInterval(QGuiApplication::styleHints()->mouseDoubleClickInterval());
  connect(&tray_, &QSystemTrayIcon::activated, this, &TQtTrayIcon::Activated);
}

TQtTrayIcon::~TQtTrayIcon() { delete menu_; }

void TQtTrayIcon::SetBase(TTrayImage image) {
  if (images_.empty()) {
    Push(image);
    return;
  }
  images_.front() = image;
  if (images_.size() == 1 && registered_) Refresh();
}

void TQtTrayIcon::Push(TTrayImage image) {
  images_.push_back(image);
  const size_t level = images_.size() - 1;
  if (level < blink_.size()) blink_[level] = false;
  ApplyBlink();
  Refresh();
}

void TQtTrayIcon::Pop() {
  if (!images_.empty()) images_.pop_back();
  ApplyBlink();
  Refresh();
}

void TQtTrayIcon::SetBlink(bool on) {
  const size_t level = images_.empty() ? 0 : images_.size() - 1;
  if (level >= 1 && level < blink_.size()) blink_[level] = on;
  if (on) {
    if (level >= 1 && level < blink_.size()) blinkTimer_.start();
    return;
  }
  blinkTimer_.stop();
  phase_ = false;
  Refresh();
}

void TQtTrayIcon::ApplyBlink() {
  const size_t level = images_.empty() ? 0 : images_.size() - 1;
  phase_ = false;
  if (level < blink_.size() && blink_[level])
    blinkTimer_.start();
  else
    blinkTimer_.stop();
}

void TQtTrayIcon::SetTip(const std::string& tip) {
  tip_ = FirstCharacters(DisplayText(tip), kTipLength);
  if (registered_) Refresh();
}

TTrayImage TQtTrayIcon::Top() const {
  return images_.empty() ? TTrayImage::Normal : images_.back();
}

TTrayImage TQtTrayIcon::Shown() const {
  if (phase_ && images_.size() >= 2) return images_[images_.size() - 2];
  return Top();
}

void TQtTrayIcon::Refresh() {
  // The desktop hears of every change, so only changes are passed on: a blinking icon would
  // otherwise send its tip along every 800 ms.
  const QIcon icon = TrayImageIcon(Shown());
  if (icon.cacheKey() != tray_.icon().cacheKey()) tray_.setIcon(icon);
  if (tip_ != tray_.toolTip()) tray_.setToolTip(tip_);
  if (!registered_) {
    // Taken off first, so that an icon the program holds for lost is added to the tray anew.
    tray_.hide();
    tray_.show();
    registered_ = true;
  }
  emit Refreshed();
}

void TQtTrayIcon::Remove() {
  blinkTimer_.stop();
  phase_ = false;
  tray_.hide();
  registered_ = false;
}

void TQtTrayIcon::BlinkTick() {
  phase_ = !phase_;
  Refresh();
}

QMenu& TQtTrayIcon::BuildMenu(const TTrayMenuState& state) {
  if (menu_) {
    // A command of the old menu may still be on its way out of it.
    menu_->hide();
    menu_->deleteLater();
  }
  menu_ = new QMenu;
  QMenu& menu = *menu_;
  menu.setObjectName(QStringLiteral("miPopUp"));
  const auto item = [this, &menu](const char* name, const QString& caption, bool enabled,
                                  const std::function<void()>& handler) {
    QAction* action = menu.addAction(caption);
    action->setObjectName(QLatin1String(name));
    action->setEnabled(enabled);
    connect(action, &QAction::triggered, this, [this, handler] { Dispatch(handler); });
    return action;
  };

  menu.setDefaultAction(
      item("miOpen", QStringLiteral("&Open..."), state.OpenEnabled, handlers_.Open));
  menu.addSeparator();
  QMenu* checkNow = menu.addMenu(QStringLiteral("&Check Now"));
  checkNow->setObjectName(QStringLiteral("miCheckNow"));
  checkNow->menuAction()->setObjectName(QStringLiteral("miCheckNow"));
  checkNow->menuAction()->setEnabled(state.CheckNowEnabled);
  for (size_t n = 0; n < state.CheckNowItems.size(); ++n) {
    QAction* account = checkNow->addAction(Literal(DisplayText(state.CheckNowItems[n])));
    std::function<void()> handler;
    if (handlers_.CheckNow)
      handler = [check = handlers_.CheckNow, n] { check(static_cast<int>(n)); };
    connect(account, &QAction::triggered, this, [this, handler] { Dispatch(handler); });
  }
  item("miCheckAll", QStringLiteral("Check A&ll Now"), state.CheckAllEnabled, handlers_.CheckAll);
  QAction* suspend =
      item("miSuspend", QStringLiteral("&Suspend"), state.SuspendEnabled, handlers_.Suspend);
  suspend->setCheckable(true);
  suspend->setChecked(state.SuspendChecked);
  menu.addSeparator();
  item("miEmailProgram", QStringLiteral("&Run E-mail Program"), state.EmailProgramEnabled,
       handlers_.EmailProgram);
  if (handlers_.Help) item("miHelp", QStringLiteral("&Help"), true, handlers_.Help);
  item("miAbout", QStringLiteral("&About"), state.AboutEnabled, handlers_.About);
  menu.addSeparator();
  item("miExit", QStringLiteral("E&xit"), state.ExitEnabled, handlers_.Exit);
  return menu;
}

void TQtTrayIcon::ShowMenu(const TTrayMenuState& state) { BuildMenu(state).popup(QCursor::pos()); }

void TQtTrayIcon::CancelMenuMode() {
  if (menu_ && menu_->isVisible()) menu_->close();
}

void TQtTrayIcon::Activated(QSystemTrayIcon::ActivationReason reason) {
  switch (reason) {
    case QSystemTrayIcon::Trigger:
      // A StatusNotifierItem host reports each click as an activation and has no double click,
      // so a second activation within the double-click interval is one.
      if (doubleClickWindow_.isActive()) {
        doubleClickWindow_.stop();
        Dispatch(handlers_.DoubleClick);
      } else {
        doubleClickWindow_.start();
        Dispatch(handlers_.LeftButtonDown);
      }
      break;
    case QSystemTrayIcon::DoubleClick:
      doubleClickWindow_.stop();
      Dispatch(handlers_.DoubleClick);
      break;
    case QSystemTrayIcon::Context: Dispatch(handlers_.RightButtonDown); break;
    default: break;
  }
}

void TQtTrayIcon::Dispatch(std::function<void()> handler) {
  if (handler) QMetaObject::invokeMethod(this, std::move(handler), Qt::QueuedConnection);
}

QIcon TQtTrayIcon::TrayImageIcon(TTrayImage image) {
  static const std::array<QIcon, std::size(kTrayImages)> icons = [] {
    std::array<QIcon, std::size(kTrayImages)> made;
    for (size_t i = 0; i < made.size(); ++i)
      for (const int size : kIconSizes)
        made[i].addPixmap(QPixmap::fromImage(RenderTrayImage(kTrayImages[i], size)));
    return made;
  }();
  for (size_t i = 0; i < icons.size(); ++i)
    if (kTrayImages[i] == image) return icons[i];
  return icons.front();
}

bool TQtTrayIcon::TrayAvailable() { return QSystemTrayIcon::isSystemTrayAvailable(); }

}  // namespace tarnwell
