#include "accounts/AccountEvents.h"

#include <algorithm>
#include <vector>

#include "accounts/Account.h"
#include "message/QStrings.h"
#include "message/SvcString.h"
#include "platform/EventLoop.h"
#include "platform/Launcher.h"
#include "platform/Sound.h"
#include "shell/LogFile.h"
#include "shell/Settings.h"

namespace tarnwell {

namespace {
TEventLauncher* installedLauncher = nullptr;
int32_t appDelay = 0;
}  // namespace

TEventLauncher& TEventLauncher::Current() {
  static TDirectLauncher directLauncher;
  return installedLauncher ? *installedLauncher : directLauncher;
}

void TEventLauncher::Install(TEventLauncher* launcher) { installedLauncher = launcher; }

void TDirectLauncher::Launch(const std::string& commandLine) {
  const std::string program = ProgramOfCommand(commandLine, true);
  if (program.empty()) return;
  StartProgram(program, SplitParameters(ParametersOfCommand(commandLine)));
}

int32_t AppDelay() { return appDelay; }

void SetAppDelay(int32_t seconds) { appDelay = seconds < 0 ? 0 : seconds; }

namespace {

// Sets the launcher's calling account for as long as it lives.
class TCallingAccount {
 public:
  TCallingAccount(TEventLauncher& launcher, TAccount& account) : launcher_(launcher) {
    launcher_.SetAccount(&account);
  }
  ~TCallingAccount() { launcher_.SetAccount(nullptr); }
  TCallingAccount(const TCallingAccount&) = delete;
  TCallingAccount& operator=(const TCallingAccount&) = delete;

 private:
  TEventLauncher& launcher_;
};

// Inserts `program` into the sorted list unless it is there already; letter case is ignored.
void AddProgram(std::vector<std::string>& programs, const std::string& program) {
  if (Trim(program).empty()) return;
  const std::string key = LowerCase(program);
  const auto at = std::lower_bound(
      programs.begin(), programs.end(), key,
      [](const std::string& entry, const std::string& k) { return LowerCase(entry) < k; });
  if (at != programs.end() && LowerCase(*at) == key) return;
  programs.insert(at, program);
}

}  // namespace

void TAccount::ExecuteEvents() {
  ProgramLog().Add("Executing sound and program events: " + Description);
  std::array<bool, 4> fired{};
  fired[evSpam] = SpamCount > 0;
  fired[evPossibleSpam] = PossibleCount > 0;
  fired[evFriendlyMail] = FriendlyCount > 0;
  fired[evNewMail] = NewCount - SpamCount - PossibleCount - FriendlyCount > 0;
  if (fired[evSpam] || fired[evPossibleSpam] || fired[evFriendlyMail] || fired[evNewMail]) {
    try {
      const TSettings& settings = Settings();
      std::vector<std::string> programs;
      bool played = false;
      for (const int kind : {evSpam, evPossibleSpam, evFriendlyMail, evNewMail}) {
        if (!fired[static_cast<size_t>(kind)]) continue;
        const TEventParam& event = Events[static_cast<size_t>(kind)];
        if (settings.EnableSounds && !played && event.SoundEnabled && !event.Sound.empty()) {
          PlaySoundFile(event.Sound);
          played = true;
        }
        if (event.AppEnabled)
          AddProgram(programs, event.UseEmailApp ? settings.EmailClient : event.Application);
      }
      if (!programs.empty()) {
        for (int32_t second = 0; second < AppDelay(); ++second) {
          WaitMs(1000);
          ProcessMessages();
        }
        TEventLauncher& launcher = TEventLauncher::Current();
        TCallingAccount calling(launcher, *this);
        for (const std::string& program : programs) {
          ProcessMessages();
          WaitMs(1000);
          launcher.Launch(program);
        }
      }
    } catch (...) {
    }
  }
  ProgramLog().Add("Done executing sound and program events: " + Description);
}

}  // namespace tarnwell
