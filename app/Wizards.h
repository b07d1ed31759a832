#pragma once

#include <memory>

namespace tarnwell {

class TAccount;
class TFilterList;

enum class TWizardResult {
  Ok,
  Cancelled,
  // This front end cannot run the wizard; it has told the user what to do instead.
  Unavailable,
};

// The wizards of the first start: the address-book import into `filters`, then a new account,
// which the wizard hands over in `account`.
class TWizards {
 public:
  virtual ~TWizards() = default;

  virtual TWizardResult RunAddressBookWizard(TFilterList& filters) = 0;
  virtual TWizardResult RunNewAccountWizard(std::unique_ptr<TAccount>& account) = 0;
};

// A front end without the wizards.
class TNoWizards : public TWizards {
 public:
  TWizardResult RunAddressBookWizard(TFilterList&) override { return TWizardResult::Unavailable; }
  TWizardResult RunNewAccountWizard(std::unique_ptr<TAccount>&) override {
    return TWizardResult::Unavailable;
  }
};

}  // namespace tarnwell
