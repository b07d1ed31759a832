#pragma once

#include <QIcon>
#include <QMainWindow>
#include <QRect>
#include <QSize>
#include <array>
#include <functional>
#include <string>
#include <vector>

#include "mainwindow/ui/MessagePage.h"
#include "mainwindow/ui/WindowPage.h"
#include "platform/Clock.h"
#include "shell/Settings.h"

class QAction;
class QComboBox;
class QLabel;
class QMenu;
class QScrollArea;
class QStackedWidget;
class QToolBar;
class QToolButton;

namespace tarnwell {

class TAccount;
class TFilter;
class TFilterList;
class THotButton;
class TQtMessageDialogs;
class TSynchronization;

// What the main window works on: the application's objects, and the commands it shares with
// the tray menu.
struct TMainWindowLinks {
  TAccountList* Accounts = nullptr;
  // Saved when the window closes, if modified; none is fine.
  TFilterList* Filters = nullptr;
  TSynchronization* Gate = nullptr;
  TQtMessageDialogs* Dialogs = nullptr;
  // Suspends or resumes checking, as the application does for the window's Suspend button.
  std::function<void()> ToggleSuspend;
  std::function<void()> ShowAbout;
  std::function<void()> RunEmailProgram;
};

// The hot button that opens the settings dialog instead of a page.
inline constexpr int kSettingsTag = 6;

// What closing the window asks on a desktop without a tray, where the program cannot stay.
extern const char* const kCloseEndsProgram;

// The addresses the help menu opens when the store names none.
extern const char* const kHomePageUrl;
extern const char* const kCustSupportUrl;
extern const char* const kQuestionsUrl;
extern const char* const kTutorialUrl;

// The program's main window: the page bar, the tool bar with the global commands, the account
// selector, the Killed Mail and Live Mail pages and the status bar. It lives while it is open:
// closing it stores its layout, resumes what its opening suspended and reports `Closed`, upon
// which its owner frees it.
class TFmMain : public QMainWindow {
  Q_OBJECT

 public:
  static constexpr int kMinWidth = 560;
  static constexpr int kMinHeight = 370;

  // `pages` makes the message pages, `windowPages` the others; a page neither makes leaves its
  // sheet empty and its hot button disabled.
  TFmMain(TMainWindowLinks links, const TMessagePageFactory& pages,
          const TWindowPageFactory& windowPages = {});
  ~TFmMain() override;

  // What the application and the pages ask of the window.
  void UpdateCommands();
  // Refills the account selector, keeping the selected position while it is valid.
  void FillAccounts();
  void RefreshInbox(bool reload);
  void RefreshKilled();
  // Rebuilds the rows of the page other than a message page at `index`, if it exists.
  void RefreshPage(int index);
  // After a check: the selector, both message pages and the Filters page.
  void RefreshPages();
  // Classifies the Live Mail of every enabled account again, with `filter` alone or, under the
  // wait window, with all filters; then reloads the Live Mail page.
  void ApplyFilter(TFilter* filter);
  void UpdateSuspendButton();
  // Every command runs between these: they hold the busy gate for the user interface, waiting
  // while a check holds it.
  void BeginCommand();
  void EndCommand();

  // Selects the page of a hot button's tag (a disabled button selects nothing).
  void SelectPage(int tag);
  // The tag of the page showing; -1 before the window shows.
  [[nodiscard]] int ActivePage() const { return activePage_; }
  [[nodiscard]] TMessagePage* Page(int index) const;
  [[nodiscard]] TWindowPage* OtherPage(int index) const;
  [[nodiscard]] THotButton* HotButton(int tag) const { return hotButtons_.at(tag); }
  [[nodiscard]] TAccount* ViewedAccount() const { return viewed_; }
  [[nodiscard]] bool SuspendedByWindow() const { return suspendedByWindow_; }
  // The texts of the status bar's panels for the last and the next check.
  [[nodiscard]] QString LastCheckText() const;
  [[nodiscard]] QString NextCheckText() const;

  // The commands.
  void Check();
  void CheckAll();
  void Suspend();
  void Print();
  // Deletes the selection of the message page showing, asking first unless `withoutQuestion`.
  void Delete(bool withoutQuestion = false);
  void EmailProgram();
  // Opens the documentation.
  void Help();
  // A plain step to the previous or next account, or with `withNewMail` (Ctrl held) a search
  // from the selected account on for the first with new messages.
  void SelectPreviousAccount(bool withNewMail = false);
  void SelectNextAccount(bool withNewMail = false);

  // The window's keys, seen before its controls: true when the key did something.
  bool HandleKey(int key, Qt::KeyboardModifiers modifiers);
  // Closes the window as the ending program does: without refusing and without asking.
  void CloseForExit();

  // A printer is installed (looked up once, when the window is made).
  bool PrinterInstalled = false;
  // Opens a file or an address in the desktop's program for it.
  std::function<void(const std::string& target)> OpenDocument;
  // The desktop has a tray to keep the program in; unset, it has.
  std::function<bool()> TrayPresent;
  // Sets up the printer for Print; false when the user cancels. The print dialog over the window.
  std::function<bool(QPrinter& printer)> AskPrinter;

 signals:
  // The window closed and is to be freed; `endProgram` when, without a tray, its closing was
  // confirmed to end the program.
  void Closed(bool endProgram);

 protected:
  void showEvent(QShowEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void CreateToolBar();
  void CreateHelpMenu();
  void CreateAccountPanel();
  QWidget* CreatePageBar();
  void CreatePages(const TMessagePageFactory& factory, const TWindowPageFactory& windowFactory);
  void CreateStatusBar();
  // The opening: display settings, the accounts, suspending checking, the first page.
  void FormShow();
  void ApplyDisplaySettings();
  // Refills the selector and selects the entry at `position` (else the last).
  void Fill(int position);
  void AccountChanged();
  void UpdateStatusBar();
  void StoreLayout();
  [[nodiscard]] std::vector<TBandInfo> Bands() const;
  // The page showing when it is a message page.
  [[nodiscard]] TMessagePage* ShowingMessagePage() const;
  [[nodiscard]] bool CheckRunning() const;
  // Runs `command` between BeginCommand and EndCommand, showing its error.
  void RunCommand(const std::function<void()>& command);
  // What a key of the window's table does now; nothing when it is not in the table or what it
  // stands for is disabled.
  std::function<void()> KeyAction(int key, Qt::KeyboardModifiers modifiers);
  std::function<void()> HotButtonKey(int tag);
  std::function<void()> ActionKey(QAction* action);
  // The key's command on the message page showing; nothing when none shows.
  std::function<void()> PageKey(std::function<void(TMessagePage&)> action);
  // The key's command on the other page showing; nothing when a message page shows.
  std::function<void()> OtherPageKey(std::function<void(TWindowPage&)> action);
  void OpenAddress(const char* valueName, const char* fallback);

  TMainWindowLinks links_;
  TAccount* viewed_ = nullptr;
  bool suspendedByWindow_ = false;
  bool shown_ = false;
  bool closed_ = false;
  bool closingForExit_ = false;
  int activePage_ = -1;
  // The accounts of the selector's entries.
  std::vector<TAccount*> entries_;
  // The modifiers of the last click on a button whose command reads them.
  Qt::KeyboardModifiers clickModifiers_;

  QToolBar* tbMain_ = nullptr;
  QToolBar* pnlAccount_ = nullptr;
  QAction* tbtCheck_ = nullptr;
  QAction* tbtCheckAll_ = nullptr;
  QAction* tbtSuspend_ = nullptr;
  QAction* tbtPrint_ = nullptr;
  QAction* tbtDelete_ = nullptr;
  QAction* tbtEmailProgram_ = nullptr;
  QAction* tbtHelp_ = nullptr;
  QMenu* mnHelp_ = nullptr;
  QAction* miDocumentation_ = nullptr;
  QAction* miAbout_ = nullptr;
  QToolButton* sbPreviousAcct_ = nullptr;
  QToolButton* sbNextAcct_ = nullptr;
  QComboBox* cbAccounts_ = nullptr;
  QScrollArea* bbMain_ = nullptr;
  // The page bar's width without a scroll bar.
  int barWidth_ = 0;
  std::array<THotButton*, 7> hotButtons_{};
  QStackedWidget* pcPages_ = nullptr;
  std::array<QWidget*, 6> sheets_{};
  std::array<TMessagePage*, 2> pages_{};
  std::array<TWindowPage*, 6> otherPages_{};
  QLabel* lastCheck_ = nullptr;
  QLabel* nextCheck_ = nullptr;
};

// The window's bounds: the stored rectangle (right and bottom exclusive) clipped to the work
// area and grown to `minimum` within it; when none is stored or none of it lies in the work
// area, 560 x 410 on screens at most 800 pixels wide and 750 x 650 on others, centred.
[[nodiscard]] QRect MainWindowBounds(const TBounds& stored, const QRect& screen,
                                     const QRect& workArea, const QSize& minimum);

// A check time for the status bar: its time alone when it is on the day of `now`, else date and
// time; empty for none (0).
[[nodiscard]] QString CheckTimeText(TDateTime value, TDateTime now);

// A picture of the window's own (":/mainwindow/" + `path`, an SVG), `size` pixels square and
// twice that for screens of twice the density.
[[nodiscard]] QIcon MainWindowImage(const QString& path, int size);

// The user's guide that the program was installed or built with; empty when there is none.
[[nodiscard]] std::string DocumentationFile();

}  // namespace tarnwell
