#pragma once

namespace tarnwell {

class TAccountList;

// The pop-up notice next to the tray, which lists what the checks brought per account.
class TPopUpNotice {
 public:
  virtual ~TPopUpNotice() = default;

  // Creates the notice, which installs its notifications in the account list.
  virtual void Create(TAccountList& accounts) = 0;
  [[nodiscard]] virtual bool IsVisible() const = 0;
  virtual void BringToFront() = 0;
  virtual void Close() = 0;
};

// A front end without the notice.
class TNoPopUpNotice : public TPopUpNotice {
 public:
  void Create(TAccountList&) override {}
  [[nodiscard]] bool IsVisible() const override { return false; }
  void BringToFront() override {}
  void Close() override {}
};

}  // namespace tarnwell
