#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace tarnwell {

// The tray images, by their tags.
enum class TTrayImage : uint8_t {
  Normal = 1,
  NewMail = 2,
  NewPossible = 3,
  Suspend = 4,
  NewSpam = 5,
  Checking = 6,
};

// The items of the tray menu as they are when it opens.
struct TTrayMenuState {
  bool OpenEnabled = false;
  // One item per active account, in list order.
  std::vector<std::string> CheckNowItems;
  bool CheckNowEnabled = false;
  bool CheckAllEnabled = false;
  bool SuspendChecked = false;
  bool SuspendEnabled = false;
  bool EmailProgramEnabled = false;
  bool AboutEnabled = false;
  bool ExitEnabled = false;
};

// The tray icon and its menu. The icon is a stack of images with the base image at the bottom;
// the top one shows, blinking when its level was set to blink.
class TTrayIcon {
 public:
  virtual ~TTrayIcon() = default;

  virtual void SetBase(TTrayImage image) = 0;
  // Puts the image on top; its level does not blink.
  virtual void Push(TTrayImage image) = 0;
  // Takes the top image off, when there is one.
  virtual void Pop() = 0;
  virtual void SetBlink(bool on) = 0;
  // At most 63 characters are kept.
  virtual void SetTip(const std::string& tip) = 0;
  [[nodiscard]] virtual int Depth() const = 0;
  // The tag of the top image; `Normal` when the stack is empty.
  [[nodiscard]] virtual TTrayImage Top() const = 0;
  // The icon is shown by the desktop's tray; a desktop that restarted forgets it.
  [[nodiscard]] virtual bool Registered() const = 0;
  virtual void MarkUnregistered() = 0;
  // Shows the icon again when it is not registered.
  virtual void Refresh() = 0;
  virtual void Remove() = 0;
  // Shows the tray menu at the pointer.
  virtual void ShowMenu(const TTrayMenuState& state) = 0;
  // Closes an open menu of the program.
  virtual void CancelMenuMode() = 0;
};

// A tray icon without a display: only the stack and the tip, in memory.
class TMemoryTrayIcon : public TTrayIcon {
 public:
  void SetBase(TTrayImage image) override;
  void Push(TTrayImage image) override { images_.push_back(image); }
  void Pop() override;
  void SetBlink(bool) override {}
  void SetTip(const std::string& tip) override { tip_ = tip.substr(0, 63); }
  [[nodiscard]] int Depth() const override { return static_cast<int>(images_.size()); }
  [[nodiscard]] TTrayImage Top() const override;
  [[nodiscard]] bool Registered() const override { return registered_; }
  void MarkUnregistered() override { registered_ = false; }
  void Refresh() override { registered_ = true; }
  void Remove() override { registered_ = false; }
  void ShowMenu(const TTrayMenuState&) override {}
  void CancelMenuMode() override {}

  [[nodiscard]] const std::string& Tip() const { return tip_; }
  [[nodiscard]] const std::vector<TTrayImage>& Images() const { return images_; }

 private:
  std::vector<TTrayImage> images_;
  std::string tip_;
  bool registered_ = false;
};

}  // namespace tarnwell
