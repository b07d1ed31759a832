#include "accounts/AccountKinds.h"

#include <map>

#include "accounts/Account.h"

namespace tarnwell {

namespace {

std::map<uint8_t, TAccountCreator>& Creators() {
  static std::map<uint8_t, TAccountCreator> creators;
  return creators;
}

TComplaintBuilder& Builder() {
  static TComplaintBuilder builder;
  return builder;
}

}  // namespace

void RegisterAccountKind(uint8_t type, TAccountCreator creator) {
  if (creator)
    Creators()[type] = std::move(creator);
  else
    Creators().erase(type);
}

std::unique_ptr<TAccount> CreateAccountOfKind(uint8_t type) {
  const auto it = Creators().find(type);
  if (it == Creators().end()) return nullptr;
  return it->second();
}

bool IsAccountKindRegistered(uint8_t type) { return Creators().count(type) > 0; }

void InstallComplaintBuilder(TComplaintBuilder builder) { Builder() = std::move(builder); }

bool BuildComplaints(TAccount& account, TEmail& message, TFilter* filter, uint8_t action) {
  if (!Builder()) return false;
  Builder()(account, message, filter, action);
  return true;
}

}  // namespace tarnwell
