#include "program/ConsoleUi.h"

#include <unistd.h>

#include <algorithm>
#include <cctype>

#include "accounts/AccountList.h"
#include "platform/Clock.h"
#include "platform/EventLoop.h"

namespace tarnwell {

namespace {

constexpr int64_t kConfirmTimeoutMs = 30000;

const char* const kNoAccounts =
    "There is no e-mail account to check yet, and the set-up wizards need a display.\r"
    "Add an account from the shell, for example:\r\r"
    "  tarnwell accounts add pop3 --description Home --name \"Your Name\" "
    "--email you@example.com --pop3 pop.example.com --user you --smtp smtp.example.com "
    "--password-stdin\r\r"
    "and start Tarnwell again.";

void Print(std::FILE* output, std::string_view text) {
  std::fputs(ConsoleText(text).c_str(), output);
  std::fputc('\n', output);
  std::fflush(output);
}

}  // namespace

std::string ConsoleText(std::string_view text) {
  std::string out(text);
  std::replace(out.begin(), out.end(), '\r', '\n');
  return out;
}

int ParseConsoleAnswer(std::string_view line) {
  std::string word;
  for (const char c : line)
    if (!std::isspace(static_cast<unsigned char>(c)))
      word += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  if (word == "y" || word == "yes") return caYes;
  if (word == "n" || word == "no") return caNo;
  return 0;
}

void TConsoleDialogs::ShowInfo(const std::string& text) { Print(output_, text); }

void TConsoleDialogs::ShowWarning(const std::string& text) { Print(output_, text); }

void TConsoleDialogs::ShowError(const std::string& text) { Print(output_, text); }

void TConsoleDialogs::ShowAbout(const std::string& versionText, bool) {
  Print(output_, "Halvora Tarnwell\r" + versionText);
}

void TConsoleMainWindow::Open(bool) {
  Print(output_, "The main window cannot be opened without a display; Tarnwell goes on checking.");
}

void TConsoleProgress::FinishCheck(TAccountList& accounts) {
  for (const std::string& line : accounts.Errors) Print(output_, line);
}

TWizardResult TConsoleWizards::RunAddressBookWizard(TFilterList&) {
  Print(output_, kNoAccounts);
  return TWizardResult::Unavailable;
}

TUserInterface TConsoleUi::Parts() {
  TUserInterface parts;
  parts.Dialogs = &dialogs_;
  parts.Tray = &tray_;
  parts.MainWindow = &mainWindow_;
  parts.Progress = &progress_;
  parts.Wizards = &wizards_;
  return parts;
}

int TConsoleDialogs::Ask(const std::string& text, bool timed) {
  const int unanswered = timed ? caUnanswered : caNo;
  if (!::isatty(inputFd_)) return unanswered;
  Print(output_, text);
  const char* prompt =
      timed ? "Yes or no (no answer in 30 seconds leaves it for later)? " : "Yes or no? ";
  std::fputs(prompt, output_);
  std::fflush(output_);
  int answer = 0;
  bool ended = false;
  std::string line;
  TEventLoop& loop = TEventLoop::Current();
  // The program's events go on while the question waits, as under a dialog.
  TFdWatch watch(
      inputFd_, TEventLoop::evRead,
      [&](unsigned) {
        char buffer[256];
        const ssize_t n = ::read(inputFd_, buffer, sizeof buffer);
        if (n <= 0) {
          ended = true;
          return;
        }
        for (ssize_t i = 0; i < n && answer == 0; ++i) {
          if (buffer[i] != '\n') {
            line += buffer[i];
            continue;
          }
          answer = ParseConsoleAnswer(line);
          line.clear();
          if (answer == 0) {
            std::fputs(prompt, output_);
            std::fflush(output_);
          }
        }
      },
      loop);
  const int64_t deadline = TClock::Current().MonotonicMs() + kConfirmTimeoutMs;
  while (answer == 0 && !ended && !loop.Terminated()) {
    const int64_t left = deadline - TClock::Current().MonotonicMs();
    if (timed && left <= 0) break;
    loop.Pump(static_cast<int>(timed ? std::min<int64_t>(left, 1000) : 1000));
  }
  if (answer != 0) return answer;
  std::fputc('\n', output_);
  return unanswered;
}

}  // namespace tarnwell
