#pragma once

namespace tarnwell {

class TAccountList;

// The check-progress dialog, which follows a batch of checks while the main window is open.
class TCheckProgress {
 public:
  virtual ~TCheckProgress() = default;

  // Creates the dialog, which installs its notifications in the account list.
  virtual void Create(TAccountList& accounts) = 0;
  virtual void PrepareForCheck(TAccountList& accounts) = 0;
  // Shows the dialog over the open main window.
  virtual void Show() = 0;
  // Hides the dialog, or keeps it to show the errors of the batch.
  virtual void FinishCheck(TAccountList& accounts) = 0;
};

// A front end without the dialog.
class TNoCheckProgress : public TCheckProgress {
 public:
  void Create(TAccountList&) override {}
  void PrepareForCheck(TAccountList&) override {}
  void Show() override {}
  void FinishCheck(TAccountList&) override {}
};

}  // namespace tarnwell
