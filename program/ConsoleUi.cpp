#include "program/ConsoleUi.h"

#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cstring>

#include "accounts/Account.h"
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

void TConsoleProgress::Create(TAccountList& accounts) {
  // The check dialog's notifications; the totals are those the steps go through: the server's
  // count once the account has logged in, then Live Mail.
  accounts.OnReadingList = [this](TAccount& account) {
    StartStep(account, "Checking for new messages...", account.MessageCount);
  };
  accounts.OnReadingBodies = [this](TAccount& account) {
    StartStep(account, "Retrieving message texts...", account.Inbox.Count());
  };
  accounts.OnFiltering = [this](TAccount& account) {
    StartStep(account, "Filtering messages...", account.Inbox.Count());
  };
  accounts.OnProgress = [this](TAccount&) { Advance(); };
  // The pop-up notice's notification, which the console, having no notice, takes.
  accounts.OnAccountChecked = [this, &accounts](TAccount& account) {
    AccountChecked(accounts, account);
  };
}

void TConsoleProgress::PrepareForCheck(TAccountList&) { printed_ = 0; }

std::string TConsoleMainWindow::NoPasswordWarning(
    const std::vector<std::string>& descriptions) const {
  std::string text =
      "There is no password entered for some of your email accounts. Enter it from the shell, "
      "as the first line of the command's standard input:\r";
  for (const std::string& description : descriptions)
    text += "\r  tarnwell accounts set " + ShellWord(description) + " --password-stdin";
  return text;
}

void TConsoleProgress::FinishCheck(TAccountList& accounts) {
  ClearProgress();
  PrintNewErrors(accounts);
}

void TConsoleProgress::StartStep(const TAccount& account, std::string_view step, int total) {
  if (!reporting_.Progress) return;
  progress_.Start(account.Description, step, total);
  std::fprintf(output_, "\r%s\033[K", progress_.Text().c_str());
  std::fflush(output_);
  progressShown_ = true;
}

void TConsoleProgress::Advance() {
  if (!reporting_.Progress || !progress_.Advance()) return;
  std::fprintf(output_, "\r%s\033[K", progress_.Text().c_str());
  std::fflush(output_);
}

void TConsoleProgress::ClearProgress() {
  if (!progressShown_) return;
  std::fputs("\r\033[K", output_);
  std::fflush(output_);
  progressShown_ = false;
}

void TConsoleProgress::AccountChecked(const TAccountList& accounts, const TAccount& account) {
  ClearProgress();
  if (reporting_.Lines) {
    const auto from = std::min(printed_, accounts.BatchErrors.size());
    const auto errors = std::count_if(
        accounts.BatchErrors.begin() + static_cast<std::ptrdiff_t>(from),
        accounts.BatchErrors.end(),
        [&account](const TBatchError& error) { return error.AccountID == account.ID; });
    std::fprintf(reporting_.Lines, "%s\n",
                 CheckReportLine(account, static_cast<int>(errors)).c_str());
    std::fflush(reporting_.Lines);
  }
  PrintNewErrors(accounts);
}

void TConsoleProgress::PrintNewErrors(const TAccountList& accounts) {
  for (; printed_ < accounts.BatchErrors.size(); ++printed_)
    Print(output_, CheckErrorLine(accounts.BatchErrors[printed_], reporting_.Command));
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
