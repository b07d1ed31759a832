// The Killed Mail page on a large folder: writes a Killed folder of 100,000 killed messages
// (headers as a check stores them, with the status headers, and a short text each) into a
// program folder under $TMPDIR, loads it as the program does, and times the page offscreen:
// from making it to its first paint, scrolling to the end and page by page, sorting by date and
// by the text columns, selecting all, and showing a message; and the memory the page adds
// (resident size before and after). Targets: shown under 1 s, a sort by date under 0.5 s, under
// 100 MB added. It draws the page, so it lives with the front end's code under a ui/ folder.
//   killed_page [--messages N] [--keep DIR]
// --keep DIR writes the program folder into DIR (or uses the one a run left there) and keeps it.
#include <unistd.h>

#include <QApplication>
#include <QFont>
#include <QScrollBar>
#include <QTreeView>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>

#include "accounts/AccountList.h"
#include "mainwindow/ui/MessageListModel.h"
#include "mainwindow/ui/PgKilled.h"
#include "platform/Files.h"
#include "shell/ProgramFolders.h"
#include "transport/POP3Account.h"

using namespace tarnwell;

namespace {

using TClock = std::chrono::steady_clock;

double Seconds(TClock::time_point since) {
  return std::chrono::duration<double>(TClock::now() - since).count();
}

double ResidentMB() {
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line))
    if (line.rfind("VmRSS:", 0) == 0) return std::atof(line.c_str() + 6) / 1024.0;
  return 0;
}

// Pseudo-random numbers that are the same on every run.
class TRandom {
 public:
  uint32_t Next(uint32_t below) {
    seed_ = seed_ * 1103515245u + 12345u;
    return ((seed_ >> 16) & 0x7FFF) % below;
  }

 private:
  uint32_t seed_ = 42;
};

template <size_t N>
const char* Pick(TRandom& random, const char* const (&words)[N]) {
  return words[random.Next(N)];
}

void WriteFile(const std::string& path, const std::string& text) {
  std::FILE* file = std::fopen(path.c_str(), "wb");
  if (!file || std::fwrite(text.data(), 1, text.size(), file) != text.size() ||
      std::fclose(file) != 0) {
    std::fprintf(stderr, "killed_page: %s cannot be written\n", path.c_str());
    std::exit(1);
  }
}

// Killed messages as a check leaves them: the header block with the status headers, the text.
void WriteKilledFolder(const std::string& folder, int count) {
  static const char* const kNames[] = {
      "Special Offers", "Dr. Slim",      "Prize Office", "",
      "Watch Store",    "Jürgen Müller", "Crypto Desk",  "Account Team",
      "Lonely Hearts",  "Deals Desk"};
  static const char* const kUsers[] = {"offers", "doctor", "winner",  "noreply", "sales",
                                       "info",   "promo",  "support", "hello",   "deals"};
  static const char* const kDomains[] = {"bulk-mailer.example.net", "pharmacy.example.com",
                                         "prizes.example.com",      "cheap-watches.tk",
                                         "growth.example.com",      "mail.example.org"};
  static const char* const kWords[] = {"miracle", "pill",    "winner", "exclusive", "offer",
                                       "cheap",   "watches", "claim",  "your",      "prize",
                                       "now",     "limited", "Größe",  "urgent",    "free"};
  static const char* const kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                        "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
  static const char* const kReasons[] = {
      "Subject contains \"miracle pill\"", "Sender ends with \"bulk-mailer.example.net\"",
      "Message text contains \"lottery winnings\"", "Header X-Mailer contains \"MassMailer\"",
      "Sender's country is blocked (Tokelau)"};
  TRandom random;
  std::string body;
  for (int line = 0; line < 8; ++line)
    body += "You have been selected for an exclusive offer. Reply now to claim it.\r\n";
  for (int n = 1; n <= count; ++n) {
    const std::string user = Pick(random, kUsers);
    const std::string domain = Pick(random, kDomains);
    const std::string name = Pick(random, kNames);
    std::string subject;
    for (uint32_t w = 0, words = 2 + random.Next(6); w < words; ++w)
      subject += std::string(w ? " " : "") + Pick(random, kWords);
    char date[64];
    std::snprintf(date, sizeof date, "%u %s 20%02u %02u:%02u:%02u +0000", 1 + random.Next(28),
                  Pick(random, kMonths), 20 + random.Next(5), random.Next(24), random.Next(60),
                  random.Next(60));
    const uint32_t action = 3 + random.Next(3);
    const std::string from =
        name.empty() ? user + "@" + domain : "\"" + name + "\" <" + user + "@" + domain + ">";
    const std::string uid = "UID" + std::to_string(1000000 + n);
    const std::string header =
        "Return-Path: <" + user + "@" + domain + ">\r\n" + "Received: from mx" +
        std::to_string(n % 97) + "." + domain + " (mx." + domain + " [198.51.100." +
        std::to_string(n % 250) + "]) by mx.example.com with ESMTP id " + uid +
        " for <me@example.com>; " + date + "\r\nFrom: " + from +
        "\r\nTo: me@example.com\r\nSubject: " + subject + "\r\nDate: " + date +
        "\r\nMessage-Id: <" + uid + "@" + domain +
        ">\r\nMIME-Version: 1.0\r\nContent-Type: text/plain; charset=utf-8\r\n"
        "X-Mailer: MassMailer Pro 5.0\r\nX-Tarnwell-UID: " +
        uid + "\r\nX-Tarnwell-Length: " + std::to_string(1500 + random.Next(90000)) +
        "\r\nX-Tarnwell-Action: " + std::to_string(action) +
        "\r\nX-Tarnwell-Reason: " + Pick(random, kReasons) + "\r\n";
    char base[32];
    std::snprintf(base, sizeof base, "/%010d", n);
    WriteFile(folder + base + ".txt", body);
    WriteFile(folder + base + ".hdr", header);
  }
}

// Runs the events until the list has painted once more than `painted` says.
class TPaints : public QObject {
 public:
  explicit TPaints(QWidget* viewport) { viewport->installEventFilter(this); }
  void WaitForPaint() {
    const int before = count_;
    while (count_ == before) QApplication::processEvents(QEventLoop::AllEvents, 50);
  }

 protected:
  bool eventFilter(QObject*, QEvent* event) override {
    if (event->type() == QEvent::Paint) ++count_;
    return false;
  }

 private:
  int count_ = 0;
};

double Timed(const std::function<void()>& step) {
  const TClock::time_point start = TClock::now();
  step();
  return Seconds(start);
}

}  // namespace

int main(int argc, char** argv) {
  int count = 100000;
  std::string keep;
  for (int i = 1; i < argc; ++i) {
    if (!std::strcmp(argv[i], "--messages") && i + 1 < argc) {
      count = std::atoi(argv[++i]);
    } else if (!std::strcmp(argv[i], "--keep") && i + 1 < argc) {
      keep = argv[++i];
    } else {
      std::fputs("Usage: killed_page [--messages N] [--keep DIR]\n", stderr);
      return 2;
    }
  }
  setenv("QT_QPA_PLATFORM", "offscreen", 1);
  QApplication application(argc, argv);
  QApplication::setFont(QFont(QStringLiteral("DejaVu Sans"), 9));

  std::string home = keep;
  if (home.empty()) {
    const char* tmp = std::getenv("TMPDIR");
    home = std::string(tmp && *tmp ? tmp : "/tmp") + "/killed-page-XXXXXX";
    if (!::mkdtemp(home.data())) return 1;
  }
  home += "/";
  TProgramFolders::SetProgramFolder(home);
  TPOP3Account account;
  account.ID = 1;
  account.Description = "Home";
  const std::string killed = account.FolderPath() + "Killed";
  ForceDirectories(account.FolderPath() + "Inbox");
  ForceDirectories(killed);
  std::printf("Killed Mail page, %d messages, in %s\n", count, home.c_str());
  if (ListFiles(killed, ".hdr").empty()) {
    const double written = Timed([&] { WriteKilledFolder(killed, count); });
    std::printf("  writing the folder             %8.2f s\n", written);
  }
  const double loaded = Timed([&] { account.SetFolders(); });
  std::printf("  loading it (the message store) %8.2f s, %d messages\n", loaded,
              account.Killed.Count());

  TAccountList accounts;
  QApplication::processEvents();
  const double before = ResidentMB();
  double shown = 0;
  {
    TPgKilled page(accounts);
    page.resize(1024, 700);
    TPaints paints(page.List()->viewport());
    shown = Timed([&] {
      page.SetAccount(&account);
      page.show();
      paints.WaitForPaint();
    });
    const double afterShow = ResidentMB();
    QScrollBar* bar = page.List()->verticalScrollBar();
    const double toEnd = Timed([&] {
      bar->setValue(bar->maximum());
      paints.WaitForPaint();
    });
    double slowestPage = 0;
    bar->setValue(0);
    paints.WaitForPaint();
    for (int step = 0; step < 200; ++step)
      slowestPage = std::max(slowestPage, Timed([&] {
                               bar->setValue(bar->value() + bar->pageStep());
                               paints.WaitForPaint();
                             }));
    const auto sortBy = [&](int column, Qt::SortOrder order) {
      return Timed([&] {
        page.List()->sortByColumn(column, order);
        paints.WaitForPaint();
      });
    };
    const double byDate = sortBy(TMessageListModel::colDate, Qt::AscendingOrder);
    const double byDateDown = sortBy(TMessageListModel::colDate, Qt::DescendingOrder);
    const double byAction = sortBy(TMessageListModel::colSizeOrAction, Qt::AscendingOrder);
    const double bySubject = sortBy(TMessageListModel::colSubject, Qt::AscendingOrder);
    const double bySubjectDown = sortBy(TMessageListModel::colSubject, Qt::DescendingOrder);
    const double bySender = sortBy(TMessageListModel::colSender, Qt::AscendingOrder);
    const double selectAll = Timed([&] {
      page.SelectAll();
      paints.WaitForPaint();
    });
    const double sortSelected = sortBy(TMessageListModel::colDate, Qt::AscendingOrder);
    const double showOne = Timed([&] {
      page.List()->setCurrentIndex(page.Model()->index(count / 2, 0));
      paints.WaitForPaint();
    });
    const double after = ResidentMB();

    std::printf("  first paint of the page        %8.3f s   (target under 1 s)\n", shown);
    std::printf("  scroll to the last row         %8.3f s\n", toEnd);
    std::printf("  slowest of 200 page downs      %8.3f s\n", slowestPage);
    std::printf("  sort by date                   %8.3f s   (target under 0.5 s)\n", byDate);
    std::printf("  sort by date, reversed         %8.3f s\n", byDateDown);
    std::printf("  sort by action                 %8.3f s\n", byAction);
    std::printf("  sort by subject (first time)   %8.3f s\n", bySubject);
    std::printf("  sort by subject, reversed      %8.3f s\n", bySubjectDown);
    std::printf("  sort by sender (first time)    %8.3f s\n", bySender);
    std::printf("  select all                     %8.3f s\n", selectAll);
    std::printf("  sort by date, all selected     %8.3f s\n", sortSelected);
    std::printf("  select and show one message    %8.3f s\n", showOne);
    std::printf("  resident size before the page  %8.1f MB\n", before);
    std::printf("  added by the page, shown       %8.1f MB\n", afterShow - before);
    std::printf("  added by the page, at the end  %8.1f MB   (target under 100 MB)\n",
                after - before);
  }
  if (keep.empty()) std::filesystem::remove_all(home);
  return 0;
}
