#pragma once

#include <QIcon>
#include <QMenu>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QSystemTrayIcon>
#include <QTimer>
#include <array>
#include <functional>
#include <string>
#include <vector>

#include "app/TrayIcon.h"

namespace tarnwell {

// What the icon's clicks and the menu's items ask of the program. They run from the event
// loop after the click or the menu is done with, never inside the desktop's call. An empty
// handler does nothing; without `Help` the menu has no help item.
struct TTrayHandlers {
  std::function<void()> LeftButtonDown = nullptr;
  std::function<void()> DoubleClick = nullptr;
  std::function<void()> RightButtonDown = nullptr;
  std::function<void()> Open = nullptr;
  // The `n`-th item of "Check Now", counted from 0.
  std::function<void(int n)> CheckNow = nullptr;
  std::function<void()> CheckAll = nullptr;
  std::function<void()> Suspend = nullptr;
  std::function<void()> EmailProgram = nullptr;
  std::function<void()> Help = nullptr;
  std::function<void()> About = nullptr;
  std::function<void()> Exit = nullptr;
};

// The tray icon on the desktop's tray (the StatusNotifierItem service where the desktop has one,
// else the XEmbed tray). The image shown is the top of the stack, or the one below it while the
// top level blinks and the blink phase is on. The menu is the program's own pop-up: the program
// decides when it shows and how its items are set.
class TQtTrayIcon : public QObject, public TTrayIcon {
  Q_OBJECT

 public:
  static constexpr int kBlinkIntervalMs = 800;
  static constexpr int kTipLength = 63;
  // Stack levels 1 to 10 can blink.
  static constexpr int kBlinkLevels = 10;

  explicit TQtTrayIcon(QObject* parent = nullptr);
  ~TQtTrayIcon() override;
  TQtTrayIcon(const TQtTrayIcon&) = delete;
  TQtTrayIcon& operator=(const TQtTrayIcon&) = delete;

  void SetHandlers(TTrayHandlers handlers) { handlers_ = std::move(handlers); }

  void SetBase(TTrayImage image) override;
  void Push(TTrayImage image) override;
  void Pop() override;
  void SetBlink(bool on) override;
  void SetTip(const std::string& tip) override;
  [[nodiscard]] int Depth() const override { return static_cast<int>(images_.size()); }
  [[nodiscard]] TTrayImage Top() const override;
  [[nodiscard]] bool Registered() const override { return registered_; }
  void MarkUnregistered() override { registered_ = false; }
  void Refresh() override;
  // Also stops the blinking, whose next tick would put the icon back.
  void Remove() override;
  void ShowMenu(const TTrayMenuState& state) override;
  void CancelMenuMode() override;

  // The image the desktop is given now.
  [[nodiscard]] TTrayImage Shown() const;
  [[nodiscard]] QIcon ShownIcon() const { return tray_.icon(); }
  [[nodiscard]] QString ShownTip() const { return tray_.toolTip(); }
  [[nodiscard]] bool Blinking() const { return blinkTimer_.isActive(); }
  [[nodiscard]] bool BlinkPhase() const { return phase_; }
  // Builds the menu for `state` in place of the last one, without showing it.
  QMenu& BuildMenu(const TTrayMenuState& state);
  // The menu built last; null before the first.
  [[nodiscard]] QMenu* Menu() const { return menu_; }
  [[nodiscard]] QSystemTrayIcon& SystemTrayIcon() { return tray_; }

  // The image at the tray's sizes, drawn once: every call for an image gives the same icon.
  [[nodiscard]] static QIcon TrayImageIcon(TTrayImage image);
  // The desktop has a tray to show the icon in.
  [[nodiscard]] static bool TrayAvailable();

 signals:
  // The desktop was given the icon and the tip again.
  void Refreshed();

 private:
  void Activated(QSystemTrayIcon::ActivationReason reason);
  void BlinkTick();
  // Starts the timer when the top level blinks, else stops it; the phase starts off.
  void ApplyBlink();
  void Dispatch(std::function<void()> handler);

  QSystemTrayIcon tray_;
  QTimer blinkTimer_;
  // Runs from one left click for the double-click interval; a second click inside is a double
  // click.
  QTimer doubleClickWindow_;
  std::vector<TTrayImage> images_;
  // By stack level; level 0, the base, never blinks.
  std::array<bool, kBlinkLevels + 1> blink_{};
  bool phase_ = false;
  bool registered_ = false;
  QString tip_;
  QPointer<QMenu> menu_;
  TTrayHandlers handlers_;
};

}  // namespace tarnwell
