#pragma once

#include <cstdint>
#include <string>

namespace tarnwell {

class TAccount;

// Starts the programs of account events. The mail-program integration installs its own, which
// knows the user's mail programs; the default one starts the command line as it is.
class TEventLauncher {
 public:
  virtual ~TEventLauncher() = default;
  // The account on whose behalf the next programs start (its `ForceRun` applies), or none.
  virtual void SetAccount(TAccount* account) = 0;
  // Starts the program of `commandLine` with its parameters and does not wait for it.
  virtual void Launch(const std::string& commandLine) = 0;

  static TEventLauncher& Current();
  // Installs `launcher` (nullptr restores the default). The caller keeps ownership.
  static void Install(TEventLauncher* launcher);
};

// Starts the program part of a command line with its parameters, without a shell.
class TDirectLauncher : public TEventLauncher {
 public:
  void SetAccount(TAccount* account) override { account_ = account; }
  void Launch(const std::string& commandLine) override;
  [[nodiscard]] TAccount* Account() const { return account_; }

 private:
  TAccount* account_ = nullptr;
};

// Seconds the event programs wait before they start (the "/APPDELAY" switch).
int32_t AppDelay();
void SetAppDelay(int32_t seconds);

}  // namespace tarnwell
