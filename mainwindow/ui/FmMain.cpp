#include "mainwindow/ui/FmMain.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QDateTime>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLocale>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QPrintDialog>
#include <QPrinter>
#include <QPrinterInfo>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QStackedWidget>
#include <QStatusBar>
#include <QSvgRenderer>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>
#include <filesystem>

#include "accounts/AccountList.h"
#include "app/CheckProgress.h"
#include "app/UserInterface.h"
#include "filtering/FilterList.h"
#include "mainwindow/ui/HotButton.h"
#include "message/QStrings.h"
#include "platform/DateTime.h"
#include "platform/Files.h"
#include "platform/Launcher.h"
#include "platform/Registry.h"
#include "shell/ProgramFolders.h"
#include "shell/Synchronization.h"
#include "shell/ui/DisplayText.h"
#include "shell/ui/DlgMessage.h"
#include "shell/ui/WindowPlacement.h"

// The resources of a static library are registered by hand: nothing else refers to them, so the
// linker would leave their registration out.
static void RegisterMainWindowImages() {
  [[maybe_unused]] static const bool registered = [] {
    Q_INIT_RESOURCE(MainWindowImages);
    return true;
  }();
}

namespace tarnwell {

const char* const kCloseEndsProgram =
    "There is no system tray on this desktop for Halvora Tarnwell to stay in, so closing its "
    "window ends it, and it stops checking your e-mail.\r\rDo you want to end Halvora Tarnwell? "
    "To keep it checking, answer No and minimise the window instead.";

// The project's pages are not published yet: these stand in for them under the reserved
// ".example" domain, and the store's values replace the web site and support addresses.
const char* const kHomePageUrl = "https://www.halvora.example/tarnwell/";
const char* const kCustSupportUrl = "https://www.halvora.example/tarnwell/support/";
const char* const kQuestionsUrl = "https://www.halvora.example/tarnwell/faq/";
const char* const kTutorialUrl = "https://www.halvora.example/tarnwell/tutorial/";

namespace {

constexpr int kToolIconSize = 24;
const char* const kProgramKey = "\\Software\\Halvora\\Tarnwell";
const char* const kNoDocumentation =
    "The documentation of Halvora Tarnwell (README.md) is not installed on this computer.";

struct THotButtonInfo {
  const char* name;
  const char* caption;
  const char* glyph;
  int tag;
};

// From the top; the pages whose units are still to come have their buttons disabled.
constexpr THotButtonInfo kHotButtons[] = {
    {"hbInbox", "Live &Mail", "imInbox", piInbox},
    {"hbKilled", "&Killed Mail", "imKilled", piKilled},
    {"hbFilters", "&Filters", "imFilters", piFilters},
    {"hbFriends", "F&riends", "imFriends", piFriends},
    {"hbUpdates", "&Updates", "imUpdates", piUpdates},
    {"hbAccounts", "&Accounts", "imAccounts", piAccounts},
    {"hbSettings", "Se&ttings", "imSettings", kSettingsTag},
};

template <typename F>
void Swallow(F action) {
  try {
    action();
  } catch (...) {
  }
}

QString DateText(TDateTime value) {
  const TDateParts parts = DecodeDateTime(value);
  return QLocale().toString(QDate(parts.year, parts.month, parts.day), QLocale::ShortFormat);
}

QString TimeText(TDateTime value) {
  const TDateParts parts = DecodeDateTime(value);
  return QLocale().toString(QTime(parts.hour, parts.minute, parts.second), QLocale::ShortFormat);
}

std::string DeleteQuestion(int count, bool liveMail) {
  std::string text = count == 1 ? "Are you sure that you want to delete this message?"
                                : "Are you sure that you want to delete these messages?";
  if (liveMail)
    text += count == 1 ? "\r\rThe message will be permanently removed from your inbox."
                       : "\r\rThe messages will be permanently removed from your inbox.";
  return text;
}

// The address stored under the program's key, else `fallback`.
std::string StoredAddress(const char* valueName, const char* fallback) {
  try {
    TRegistry registry;
    if (registry.OpenKeyReadOnly(kProgramKey) && registry.ValueExists(valueName)) {
      const std::string address = Trim(registry.ReadString(valueName));
      if (!address.empty()) return address;
    }
  } catch (...) {
  }
  return fallback;
}

}  // namespace

QRect MainWindowBounds(const TBounds& stored, const QRect& screen, const QRect& workArea,
                       const QSize& minimum) {
  const QRect rect(stored.left, stored.top, stored.right - stored.left, stored.bottom - stored.top);
  const QRect clipped = rect.isValid() ? rect.intersected(workArea) : QRect();
  if (clipped.isEmpty()) {
    const QSize size = screen.width() <= 800 ? QSize(560, 410) : QSize(750, 650);
    return {CentredPosition(workArea, size), size};
  }
  const QSize size = clipped.size().expandedTo(minimum).boundedTo(workArea.size());
  const int left = std::min(clipped.left(), workArea.left() + workArea.width() - size.width());
  const int top = std::min(clipped.top(), workArea.top() + workArea.height() - size.height());
  return {QPoint(left, top), size};
}

QString CheckTimeText(TDateTime value, TDateTime now) {
  if (value == 0 || !InDateRange(value)) return {};
  if (DateOf(value) == DateOf(now)) return TimeText(value);
  return DateText(value) + QLatin1Char(' ') + TimeText(value);
}

QIcon MainWindowImage(const QString& path, int size) {
  RegisterMainWindowImages();
  QSvgRenderer renderer(QStringLiteral(":/mainwindow/") + path);
  QIcon icon;
  for (const int scale : {1, 2}) {
    QPixmap pixmap(size * scale, size * scale);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    renderer.render(&painter);
    painter.end();
    icon.addPixmap(pixmap);
  }
  return icon;
}

std::string DocumentationFile() {
  const std::string data = TProgramFolders::DataFolder();
  // Installed, the guide lies in share/doc beside share/tarnwell; built, beside data/.
  for (const std::string& candidate : {data + "../doc/tarnwell/README.md", data + "../README.md"}) {
    if (!FileExists(candidate)) continue;
    std::error_code error;
    const std::filesystem::path path = std::filesystem::weakly_canonical(candidate, error);
    return error ? candidate : path.string();
  }
  return {};
}

TFmMain::TFmMain(TMainWindowLinks links, const TMessagePageFactory& pages,
                 const TWindowPageFactory& windowPages)
    : links_(std::move(links)) {
  setObjectName(QStringLiteral("FmMain"));
  setWindowTitle(QStringLiteral("Halvora Tarnwell"));
  setMinimumSize(kMinWidth, kMinHeight);
  PrinterInstalled = !QPrinterInfo::availablePrinterNames().isEmpty();
  OpenDocument = [](const std::string& target) { StartProgram("xdg-open", {target}); };
  AskPrinter = [this](QPrinter& printer) {
    QPrintDialog dialog(&printer, this);
    return dialog.exec() == QDialog::Accepted;
  };

  CreateToolBar();
  CreateAccountPanel();
  auto* central = new QWidget(this);
  auto* layout = new QHBoxLayout(central);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);
  layout->addWidget(CreatePageBar());
  pcPages_ = new QStackedWidget(central);
  pcPages_->setObjectName(QStringLiteral("pcPages"));
  pcPages_->setFrameShape(QFrame::StyledPanel);
  layout->addWidget(pcPages_, 1);
  setCentralWidget(central);
  CreatePages(pages, windowPages);
  CreateStatusBar();
  const QScreen* screen = QGuiApplication::primaryScreen();
  if (screen)
    setGeometry(MainWindowBounds(Settings().Window, screen->geometry(), screen->availableGeometry(),
                                 minimumSize()));
  qApp->installEventFilter(this);
}

TFmMain::~TFmMain() = default;

void TFmMain::CreateToolBar() {
  tbMain_ = new QToolBar(QStringLiteral("Commands"), this);
  tbMain_->setObjectName(QStringLiteral("tbMain"));
  tbMain_->setAllowedAreas(Qt::TopToolBarArea);
  tbMain_->setFloatable(false);
  tbMain_->setIconSize(QSize(kToolIconSize, kToolIconSize));
  addToolBar(Qt::TopToolBarArea, tbMain_);
  const auto add = [this](const char* name, const char* caption, void (TFmMain::*command)()) {
    QAction* action = tbMain_->addAction(
        MainWindowImage(QStringLiteral("tools/%1.svg").arg(QLatin1String(name)), kToolIconSize),
        QString::fromLatin1(caption));
    action->setObjectName(QString::fromLatin1(name));
    tbMain_->widgetForAction(action)->setObjectName(QString::fromLatin1(name));
    connect(action, &QAction::triggered, this, [this, command] { (this->*command)(); });
    return action;
  };
  tbtCheck_ = add("tbtCheck", "&Check", &TFmMain::Check);
  tbtCheck_->setToolTip(QStringLiteral("Check this account"));
  tbtCheckAll_ = add("tbtCheckAll", "Check A&ll", &TFmMain::CheckAll);
  tbtCheckAll_->setToolTip(QStringLiteral("Check all accounts"));
  tbMain_->addSeparator();
  tbtSuspend_ = add("tbtSuspend", "Suspe&nd", &TFmMain::Suspend);
  tbtSuspend_->setCheckable(true);
  tbMain_->addSeparator();
  tbtPrint_ = add("tbtPrint", "&Print", &TFmMain::Print);
  tbtPrint_->setToolTip(QStringLiteral("Print the selected item"));
  tbtDelete_ =
      tbMain_->addAction(MainWindowImage(QStringLiteral("tools/tbtDelete.svg"), kToolIconSize),
                         QStringLiteral("&Delete"));
  tbtDelete_->setObjectName(QStringLiteral("tbtDelete"));
  tbtDelete_->setToolTip(QStringLiteral("Delete the selected item"));
  tbMain_->widgetForAction(tbtDelete_)->setObjectName(QStringLiteral("tbtDelete"));
  // Shift held on the click skips the question.
  connect(tbtDelete_, &QAction::triggered, this,
          [this] { Delete(clickModifiers_.testFlag(Qt::ShiftModifier)); });
  tbMain_->addSeparator();
  tbtEmailProgram_ = add("tbtEmailProgram", "&E-mail", &TFmMain::EmailProgram);
  tbtEmailProgram_->setToolTip(QStringLiteral("Run your e-mail program"));
  tbtHelp_ = add("tbtHelp", "&Help", &TFmMain::Help);
  tbtHelp_->setToolTip(QStringLiteral("Display online help"));
  CreateHelpMenu();
}

void TFmMain::CreateHelpMenu() {
  mnHelp_ = new QMenu(this);
  mnHelp_->setObjectName(QStringLiteral("mnHelp"));
  const auto add = [this](const char* name, const char* caption, std::function<void()> action) {
    QAction* item = mnHelp_->addAction(QString::fromLatin1(caption));
    item->setObjectName(QString::fromLatin1(name));
    connect(item, &QAction::triggered, this,
            [this, action = std::move(action)] { RunCommand(action); });
    return item;
  };
  miDocumentation_ = add("miDocumentation", "&Documentation", [this] { Help(); });
  // Shown in the menu; the window's keys run it.
  miDocumentation_->setShortcut(Qt::Key_F1);
  add("miQuestions", "&Common Questions", [this] { OpenDocument(kQuestionsUrl); });
  add("miTutorial", "&Tutorial", [this] { OpenDocument(kTutorialUrl); });
  mnHelp_->addSeparator();
  add("miHomePage", "&Halvora Web Site", [this] { OpenAddress("HomePageUrl", kHomePageUrl); });
  add("miSupport", "Customer &Support", [this] { OpenAddress("CustSupportUrl", kCustSupportUrl); });
  mnHelp_->addSeparator();
  miAbout_ = add("miAbout", "&About Halvora Tarnwell", [this] {
    if (links_.ShowAbout) links_.ShowAbout();
  });
  connect(mnHelp_, &QMenu::aboutToShow, this, [this] {
    miAbout_->setEnabled(!QApplication::activeModalWidget() && !links_.Dialogs->IsAboutShowing());
  });
  tbtHelp_->setMenu(mnHelp_);
  if (auto* button = qobject_cast<QToolButton*>(tbMain_->widgetForAction(tbtHelp_)))
    button->setPopupMode(QToolButton::MenuButtonPopup);
}

void TFmMain::CreateAccountPanel() {
  pnlAccount_ = new QToolBar(QStringLiteral("Account"), this);
  pnlAccount_->setObjectName(QStringLiteral("pnlAccount"));
  pnlAccount_->setAllowedAreas(Qt::TopToolBarArea);
  pnlAccount_->setFloatable(false);
  addToolBar(Qt::TopToolBarArea, pnlAccount_);
  auto* panel = new QWidget(pnlAccount_);
  auto* layout = new QHBoxLayout(panel);
  layout->setContentsMargins(6, 0, 6, 0);
  layout->setSpacing(4);
  auto* label = new QLabel(QStringLiteral("View Account:"), panel);
  layout->addWidget(label);
  const auto arrow = [this, panel, layout](const char* name, Qt::ArrowType type) {
    auto* button = new QToolButton(panel);
    button->setObjectName(QString::fromLatin1(name));
    button->setArrowType(type);
    button->setAutoRaise(true);
    button->setIconSize(QSize(14, 14));
    layout->addWidget(button);
    return button;
  };
  sbPreviousAcct_ = arrow("sbPreviousAcct", Qt::LeftArrow);
  sbPreviousAcct_->setToolTip(QStringLiteral("Select previous account"));
  sbNextAcct_ = arrow("sbNextAcct", Qt::RightArrow);
  sbNextAcct_->setToolTip(QStringLiteral("Select next account"));
  // Ctrl held on the click searches for new mail.
  connect(sbPreviousAcct_, &QToolButton::clicked, this,
          [this] { SelectPreviousAccount(clickModifiers_.testFlag(Qt::ControlModifier)); });
  connect(sbNextAcct_, &QToolButton::clicked, this,
          [this] { SelectNextAccount(clickModifiers_.testFlag(Qt::ControlModifier)); });
  cbAccounts_ = new QComboBox(panel);
  cbAccounts_->setObjectName(QStringLiteral("cbAccounts"));
  cbAccounts_->setToolTip(QStringLiteral("Select e-mail account"));
  cbAccounts_->setMinimumContentsLength(18);
  cbAccounts_->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
  layout->addWidget(cbAccounts_);
  connect(cbAccounts_, &QComboBox::currentIndexChanged, this,
          [this] { RunCommand([this] { AccountChanged(); }); });
  pnlAccount_->addWidget(panel);
}

QWidget* TFmMain::CreatePageBar() {
  auto* bar = new QScrollArea(this);
  bbMain_ = bar;
  bar->setObjectName(QStringLiteral("bbMain"));
  bar->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  bar->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
  bar->setFrameShape(QFrame::StyledPanel);
  bar->setBackgroundRole(QPalette::Midlight);
  auto* column = new QWidget(bar);
  column->setBackgroundRole(QPalette::Midlight);
  auto* layout = new QVBoxLayout(column);
  layout->setContentsMargins(4, 4, 4, 4);
  layout->setSpacing(2);
  int width = THotButton::kSize;
  for (const THotButtonInfo& info : kHotButtons) {
    auto* button = new THotButton(column);
    button->setObjectName(QString::fromLatin1(info.name));
    button->setText(QString::fromLatin1(info.caption));
    button->SetGlyph(MainWindowImage(QStringLiteral("glyphs/%1.svg").arg(QLatin1String(info.glyph)),
                                     THotButton::kGlyphSize));
    // Enabled with its page; the settings dialog is still to come.
    button->setEnabled(false);
    connect(button, &THotButton::clicked, this,
            [this, tag = info.tag] { RunCommand([this, tag] { SelectPage(tag); }); });
    hotButtons_.at(static_cast<size_t>(info.tag)) = button;
    width = std::max(width, button->sizeHint().width());
    layout->addWidget(button, 0, Qt::AlignHCenter);
  }
  layout->addStretch(1);
  // The captions of the desktop's fonts can be wider than the glyphs: the buttons share the
  // widest one's width.
  for (THotButton* button : hotButtons_) button->setFixedWidth(width);
  bar->setWidget(column);
  bar->setWidgetResizable(true);
  // The bar scrolls when the window is too short for all seven.
  barWidth_ = width + layout->contentsMargins().left() + layout->contentsMargins().right() +
              2 * bar->frameWidth();
  bar->setFixedWidth(barWidth_);
  return bar;
}

void TFmMain::CreatePages(const TMessagePageFactory& factory,
                          const TWindowPageFactory& windowFactory) {
  const char* const names[] = {"tsKilled",  "tsInbox",   "tsFilters",
                               "tsFriends", "tsUpdates", "tsAccounts"};
  for (int index = piKilled; index <= piAccounts; ++index) {
    auto* widget = new QWidget(pcPages_);
    widget->setObjectName(QString::fromLatin1(names[index]));
    auto* layout = new QVBoxLayout(widget);
    layout->setContentsMargins(0, 0, 0, 0);
    pcPages_->addWidget(widget);
    sheets_.at(static_cast<size_t>(index)) = widget;
    QWidget* made = nullptr;
    if (index == piKilled || index == piInbox) {
      if (!factory) continue;
      Swallow([&] {
        std::unique_ptr<TMessagePage> page = factory(index, *links_.Accounts, widget);
        if (!page) return;
        TMessagePage* raw = page.release();
        pages_.at(static_cast<size_t>(index)) = raw;
        connect(raw, &TMessagePage::SelectionChanged, this, &TFmMain::UpdateCommands);
        made = raw;
      });
    } else {
      if (!windowFactory) continue;
      Swallow([&] {
        std::unique_ptr<TWindowPage> page = windowFactory(index, widget);
        if (!page) return;
        TWindowPage* raw = page.release();
        otherPages_.at(static_cast<size_t>(index)) = raw;
        connect(raw, &TWindowPage::SelectionChanged, this, &TFmMain::UpdateCommands);
        connect(raw, &TWindowPage::FiltersChanged, this, &TFmMain::ApplyFilter);
        made = raw;
      });
    }
    if (!made) continue;
    layout->addWidget(made);
    hotButtons_.at(static_cast<size_t>(index))->setEnabled(true);
  }
}

void TFmMain::CreateStatusBar() {
  auto* bar = new QStatusBar(this);
  bar->setObjectName(QStringLiteral("sbMain"));
  lastCheck_ = new QLabel(bar);
  lastCheck_->setObjectName(QStringLiteral("pnlLastCheck"));
  nextCheck_ = new QLabel(bar);
  nextCheck_->setObjectName(QStringLiteral("pnlNextCheck"));
  bar->addWidget(lastCheck_, 1);
  bar->addWidget(nextCheck_, 1);
  setStatusBar(bar);
}

TMessagePage* TFmMain::Page(int index) const {
  return index == piKilled || index == piInbox ? pages_.at(static_cast<size_t>(index)) : nullptr;
}

TWindowPage* TFmMain::OtherPage(int index) const {
  return index >= piFilters && index <= piAccounts ? otherPages_.at(static_cast<size_t>(index))
                                                   : nullptr;
}

TMessagePage* TFmMain::ShowingMessagePage() const { return Page(activePage_); }

bool TFmMain::CheckRunning() const {
  const TSynchronization& gate = *links_.Gate;
  return links_.Accounts->Busy || (!gate.IsFree() && gate.Kind() == TSynchronization::skCheck);
}

void TFmMain::showEvent(QShowEvent* event) {
  QMainWindow::showEvent(event);
  if (shown_) return;
  shown_ = true;
  FormShow();
}

void TFmMain::FormShow() {
  Swallow([this] { ApplyDisplaySettings(); });
  Swallow([this] { Fill(Settings().LastAcct); });
  Swallow([this] {
    TAccountList& accounts = *links_.Accounts;
    if (accounts.Busy) {
      CheckProgress().Show();
    } else if (!accounts.Suspended) {
      links_.ToggleSuspend();
      suspendedByWindow_ = true;
    }
    UpdateSuspendButton();
  });
  Swallow([this] {
    SelectPage(piFilters);
    SelectPage(piKilled);
  });
}

void TFmMain::ApplyDisplaySettings() {
  const TSettings& settings = Settings();
  tbMain_->setToolButtonStyle(settings.ToolBarText ? Qt::ToolButtonTextUnderIcon
                                                   : Qt::ToolButtonIconOnly);
  // The account panel shares the tool bar's row when the window is wide enough for both.
  const bool ownRow = settings.HasLayout()
                          ? settings.BandInfo[1].breakFlag != 0
                          : tbMain_->sizeHint().width() + pnlAccount_->sizeHint().width() > width();
  if (ownRow) insertToolBarBreak(pnlAccount_);
  for (TMessagePage* page : pages_)
    if (page) Swallow([page] { page->RestoreLayout(); });
  // The message pages size their lists' fonts themselves; the others' lists follow here.
  for (TWindowPage* page : otherPages_) {
    if (!page || settings.FontSize <= 0) continue;
    for (QAbstractItemView* list : page->findChildren<QAbstractItemView*>()) {
      QFont font = list->font();
      font.setPointSize(settings.FontSize);
      list->setFont(font);
    }
  }
}

std::vector<TBandInfo> TFmMain::Bands() const {
  std::vector<TBandInfo> bands;
  for (QToolBar* band : {tbMain_, pnlAccount_})
    bands.push_back({toolBarBreak(band) ? 1 : 0, band->width(), band->height()});
  return bands;
}

void TFmMain::Fill(int position) {
  const TAccountList& accounts = *links_.Accounts;
  entries_.clear();
  {
    const QSignalBlocker blocker(cbAccounts_);
    cbAccounts_->clear();
    for (int i = 0; i < accounts.Count(); ++i) {
      TAccount* account = accounts.Items(i);
      if (!account->Active) continue;
      QString text = OneLine(DisplayString(account->Description));
      if (account->NewCount > 0) text += QStringLiteral(" (%1 new)").arg(account->NewCount);
      cbAccounts_->addItem(text);
      entries_.push_back(account);
    }
    if (entries_.empty()) cbAccounts_->addItem(QStringLiteral("(No accounts)"));
    cbAccounts_->setEnabled(!entries_.empty());
    const int count = cbAccounts_->count();
    cbAccounts_->setCurrentIndex(position >= 0 && position < count ? position : count - 1);
  }
  AccountChanged();
}

void TFmMain::FillAccounts() { Fill(cbAccounts_->currentIndex()); }

void TFmMain::AccountChanged() {
  const int index = cbAccounts_->currentIndex();
  const int count = cbAccounts_->count();
  viewed_ = index >= 0 && index < static_cast<int>(entries_.size())
                ? entries_[static_cast<size_t>(index)]
                : nullptr;
  sbPreviousAcct_->setEnabled(index > 0);
  sbNextAcct_->setEnabled(index < count - 1);
  for (TMessagePage* page : pages_)
    if (page) page->SetAccount(viewed_);
  UpdateCommands();
  UpdateStatusBar();
}

void TFmMain::SelectPreviousAccount(bool withNewMail) {
  RunCommand([this, withNewMail] {
    const int index = cbAccounts_->currentIndex();
    if (!withNewMail) {
      if (index > 0) cbAccounts_->setCurrentIndex(index - 1);
      return;
    }
    for (int i = std::min(index, static_cast<int>(entries_.size()) - 1); i >= 0; --i) {
      if (entries_[static_cast<size_t>(i)]->NewCount > 0) {
        cbAccounts_->setCurrentIndex(i);
        return;
      }
    }
  });
}

void TFmMain::SelectNextAccount(bool withNewMail) {
  RunCommand([this, withNewMail] {
    const int index = cbAccounts_->currentIndex();
    if (!withNewMail) {
      if (index + 1 < cbAccounts_->count()) cbAccounts_->setCurrentIndex(index + 1);
      return;
    }
    for (int i = std::max(index, 0); i < static_cast<int>(entries_.size()); ++i) {
      if (entries_[static_cast<size_t>(i)]->NewCount > 0) {
        cbAccounts_->setCurrentIndex(i);
        return;
      }
    }
  });
}

void TFmMain::UpdateCommands() {
  const TAccountList& accounts = *links_.Accounts;
  bool anyEnabled = false;
  for (int i = 0; i < accounts.Count() && !anyEnabled; ++i) anyEnabled = accounts.Items(i)->Active;
  tbtCheck_->setEnabled(anyEnabled);
  tbtCheckAll_->setEnabled(anyEnabled);
  tbtSuspend_->setChecked(accounts.Suspended);
  const TMessagePage* page = ShowingMessagePage();
  const bool selection = page && page->SelectedCount() > 0;
  const TWindowPage* other = OtherPage(activePage_);
  tbtDelete_->setEnabled(selection || (other && other->DeleteEnabled()));
  tbtPrint_->setEnabled(selection && PrinterInstalled);
  tbtEmailProgram_->setEnabled(!Settings().EmailClient.empty());
}

void TFmMain::UpdateSuspendButton() {
  const bool suspended = links_.Accounts->Suspended;
  tbtSuspend_->setChecked(suspended);
  tbtSuspend_->setToolTip(suspended ? QStringLiteral("Unsuspend Tarnwell")
                                    : QStringLiteral("Suspend Tarnwell"));
  UpdateStatusBar();
}

QString TFmMain::LastCheckText() const {
  if (!viewed_ || viewed_->LastCheck == 0) return {};
  return QStringLiteral(" Last checked at ") +
         CheckTimeText(viewed_->LastCheck, TClock::Current().Now());
}

QString TFmMain::NextCheckText() const {
  if (!viewed_ || viewed_->NextCheck == 0 || links_.Accounts->Suspended) return {};
  return QStringLiteral(" Next check at ") +
         CheckTimeText(viewed_->NextCheck, TClock::Current().Now());
}

void TFmMain::UpdateStatusBar() {
  lastCheck_->setText(LastCheckText());
  nextCheck_->setText(NextCheckText());
}

void TFmMain::RefreshInbox(bool reload) {
  TMessagePage* page = Page(piInbox);
  if (page) reload ? page->Reload() : page->Redraw();
  UpdateStatusBar();
  if (page && activePage_ == piInbox) page->setFocus();
  UpdateCommands();
}

void TFmMain::RefreshKilled() {
  TMessagePage* page = Page(piKilled);
  if (page) page->Reload();
  if (page && activePage_ == piKilled) page->setFocus();
  UpdateCommands();
}

void TFmMain::RefreshPage(int index) {
  if (TWindowPage* page = OtherPage(index)) Swallow([page] { page->Refresh(); });
  UpdateCommands();
}

void TFmMain::RefreshPages() {
  FillAccounts();
  RefreshPage(piFilters);
}

void TFmMain::ApplyFilter(TFilter* filter) {
  RunCommand([this, filter] {
    if (!filter) links_.Dialogs->ShowWait(this);
    try {
      const TAccountList& accounts = *links_.Accounts;
      for (int i = 0; i < accounts.Count(); ++i)
        if (accounts.Items(i)->Active) accounts.Items(i)->Refilter(filter);
    } catch (...) {
      if (!filter) links_.Dialogs->HideWait();
      RefreshInbox(true);
      throw;
    }
    if (!filter) links_.Dialogs->HideWait();
    RefreshInbox(true);
  });
}

void TFmMain::BeginCommand() { links_.Gate->WaitAndEnter(TSynchronization::skUserInterface); }

void TFmMain::EndCommand() { links_.Gate->Leave(); }

void TFmMain::RunCommand(const std::function<void()>& command) {
  BeginCommand();
  try {
    command();
  } catch (const std::exception& error) {
    Swallow([&] { links_.Dialogs->ShowErrorOver(error.what(), this); });
  }
  EndCommand();
}

void TFmMain::SelectPage(int tag) {
  if (tag < 0 || tag >= static_cast<int>(hotButtons_.size())) return;
  if (!hotButtons_.at(static_cast<size_t>(tag))->isEnabled()) return;
  // The settings dialog is to come; its button stays disabled until then.
  if (tag == kSettingsTag) return;
  QWidget* sheet = sheets_.at(static_cast<size_t>(tag));
  if (tag != activePage_) {
    pcPages_->setCurrentWidget(sheet);
    activePage_ = tag;
    if (TWindowPage* page = OtherPage(tag)) page->Refresh();
    if (QWidget* page = Page(tag) ? static_cast<QWidget*>(Page(tag)) : OtherPage(tag))
      page->setFocus();
  }
  for (int index : {piKilled, piInbox})
    if (TMessagePage* page = Page(index)) page->SetShowing(index == activePage_);
  for (int index = piFilters; index <= piAccounts; ++index)
    if (TWindowPage* page = OtherPage(index)) page->SetShowing(index == activePage_);
  UpdateCommands();
}

void TFmMain::Check() {
  // Looked at before the command waits for the gate, which a running check holds.
  if (CheckRunning()) return;
  RunCommand([this] {
    TAccountList& accounts = *links_.Accounts;
    if (!viewed_) return;
    for (int i = 0; i < accounts.Count() && i < kMaxSelectable; ++i) {
      if (accounts.Items(i) != viewed_) continue;
      TAccountSet selection;
      selection.set(static_cast<size_t>(i));
      accounts.CheckSelected(selection, TriggerBit(ctOnDemand));
      break;
    }
    RefreshInbox(false);
  });
}

void TFmMain::CheckAll() {
  if (CheckRunning()) return;
  RunCommand([this] {
    links_.Accounts->CheckSelected(TAccountSet(), TriggerBit(ctOnDemand));
    RefreshInbox(false);
  });
}

void TFmMain::Suspend() {
  RunCommand([this] {
    links_.ToggleSuspend();
    suspendedByWindow_ = false;
    UpdateSuspendButton();
  });
}

void TFmMain::Print() {
  RunCommand([this] {
    TMessagePage* page = ShowingMessagePage();
    if (!page || page->SelectedCount() == 0) return;
    QPrinter printer;
    if (!AskPrinter(printer)) return;
    page->PrintSelected(printer);
  });
}

void TFmMain::Delete(bool withoutQuestion) {
  RunCommand([this, withoutQuestion] {
    if (TWindowPage* other = OtherPage(activePage_)) {
      if (!other->DeleteEnabled()) return;
      tbtDelete_->setEnabled(false);
      Swallow([other] { other->Delete(); });
      UpdateCommands();
      return;
    }
    TMessagePage* page = ShowingMessagePage();
    const int count = page ? page->SelectedCount() : 0;
    if (count == 0) return;
    if (!withoutQuestion &&
        links_.Dialogs->Confirm(DeleteQuestion(count, activePage_ == piInbox), this) != caYes)
      return;
    tbtDelete_->setEnabled(false);
    try {
      page->DeleteSelected();
    } catch (...) {
      UpdateCommands();
      throw;
    }
    UpdateCommands();
  });
}

void TFmMain::EmailProgram() {
  RunCommand([this] {
    if (links_.RunEmailProgram) links_.RunEmailProgram();
  });
}

void TFmMain::Help() {
  RunCommand([this] {
    const std::string guide = DocumentationFile();
    if (guide.empty())
      links_.Dialogs->ShowInfo(kNoDocumentation, this);
    else
      OpenDocument(guide);
  });
}

void TFmMain::OpenAddress(const char* valueName, const char* fallback) {
  OpenDocument(StoredAddress(valueName, fallback));
}

std::function<void()> TFmMain::HotButtonKey(int tag) {
  THotButton* button = hotButtons_.at(static_cast<size_t>(tag));
  if (!button->isEnabled()) return {};
  return [button] { button->click(); };
}

std::function<void()> TFmMain::ActionKey(QAction* action) {
  if (!action->isEnabled()) return {};
  return [action] { action->trigger(); };
}

std::function<void()> TFmMain::PageKey(std::function<void(TMessagePage&)> action) {
  TMessagePage* page = ShowingMessagePage();
  if (!page) return {};
  return [this, page, action = std::move(action)] { RunCommand([&] { action(*page); }); };
}

std::function<void()> TFmMain::OtherPageKey(std::function<void(TWindowPage&)> action) {
  TWindowPage* page = OtherPage(activePage_);
  if (!page) return {};
  return [this, page, action = std::move(action)] { RunCommand([&] { action(*page); }); };
}

std::function<void()> TFmMain::KeyAction(int key, Qt::KeyboardModifiers modifiers) {
  modifiers &= ~Qt::KeypadModifier;
  if (modifiers == Qt::AltModifier) {
    switch (key) {
      case Qt::Key_A: return HotButtonKey(piAccounts);
      case Qt::Key_F: return HotButtonKey(piFilters);
      case Qt::Key_K: return HotButtonKey(piKilled);
      case Qt::Key_M: return HotButtonKey(piInbox);
      case Qt::Key_R: return HotButtonKey(piFriends);
      case Qt::Key_T: return HotButtonKey(kSettingsTag);
      case Qt::Key_U: return HotButtonKey(piUpdates);
      case Qt::Key_C: return ActionKey(tbtCheck_);
      case Qt::Key_L: return ActionKey(tbtCheckAll_);
      case Qt::Key_N: return ActionKey(tbtSuspend_);
      case Qt::Key_P: return ActionKey(tbtPrint_);
      case Qt::Key_D:
        if (!tbtDelete_->isEnabled()) return {};
        return [this] { Delete(); };
      case Qt::Key_E: return ActionKey(tbtEmailProgram_);
      case Qt::Key_H: return ActionKey(tbtHelp_);
      case Qt::Key_S: return PageKey([](TMessagePage& page) { page.SendToSpade(false); });
      default: return {};
    }
  }
  if (modifiers == (Qt::AltModifier | Qt::ShiftModifier) && key == Qt::Key_S)
    return PageKey([](TMessagePage& page) { page.SendToSpade(true); });
  if (modifiers == Qt::ControlModifier) {
    switch (key) {
      case Qt::Key_Return:
      case Qt::Key_Enter:
        if (OtherPage(activePage_))
          return OtherPageKey([](TWindowPage& page) { page.Properties(); });
        return PageKey([](TMessagePage& page) { page.SendComplaint(); });
      case Qt::Key_A:
        if (OtherPage(activePage_))
          return OtherPageKey([](TWindowPage& page) { page.SelectAll(); });
        return PageKey([](TMessagePage& page) { page.SelectAll(); });
      case Qt::Key_S:
        if (activePage_ != piInbox) return {};
        return PageKey([](TMessagePage& page) { page.SelectSpam(); });
      default: return {};
    }
  }
  if (key == Qt::Key_F1 && modifiers == Qt::NoModifier) return ActionKey(miDocumentation_);
  if (key == Qt::Key_Insert && modifiers == Qt::NoModifier) {
    if (OtherPage(activePage_)) return OtherPageKey([](TWindowPage& page) { page.Add(); });
    return PageKey([](TMessagePage& page) { page.AddFilter(); });
  }
  if (key == Qt::Key_Delete && (modifiers == Qt::NoModifier || modifiers == Qt::ShiftModifier)) {
    if (!tbtDelete_->isEnabled()) return {};
    return [this, withoutQuestion = modifiers == Qt::ShiftModifier] { Delete(withoutQuestion); };
  }
  return {};
}

bool TFmMain::HandleKey(int key, Qt::KeyboardModifiers modifiers) {
  const std::function<void()> action = KeyAction(key, modifiers);
  if (action) action();
  return static_cast<bool>(action);
}

bool TFmMain::eventFilter(QObject* watched, QEvent* event) {
  switch (event->type()) {
    case QEvent::MouseButtonRelease:
      if (watched == sbPreviousAcct_ || watched == sbNextAcct_ ||
          watched == tbMain_->widgetForAction(tbtDelete_))
        clickModifiers_ = static_cast<QMouseEvent*>(event)->modifiers();
      break;
    case QEvent::ToolTip:
      // Hints show as the settings say.
      if (auto* widget = qobject_cast<QWidget*>(watched);
          widget && widget->window() == this && !Settings().ShowHints)
        return true;
      break;
    case QEvent::ShortcutOverride:
    case QEvent::KeyPress: {
      auto* widget = qobject_cast<QWidget*>(watched);
      if (!widget || widget->window() != this || !isEnabled()) break;
      auto* key = static_cast<QKeyEvent*>(event);
      const std::function<void()> action = KeyAction(key->key(), key->modifiers());
      if (!action) break;
      // Claimed before shortcuts and mnemonics can take the key, and acted on as it arrives.
      if (event->type() == QEvent::ShortcutOverride)
        event->accept();
      else
        action();
      return true;
    }
    case QEvent::Show:
    case QEvent::Hide:
      // The page bar widens by its scroll bar while it shows one.
      if (watched == bbMain_->verticalScrollBar())
        bbMain_->setFixedWidth(event->type() == QEvent::Show
                                   ? barWidth_ + bbMain_->verticalScrollBar()->sizeHint().width()
                                   : barWidth_);
      break;
    default: break;
  }
  return QMainWindow::eventFilter(watched, event);
}

void TFmMain::CloseForExit() {
  closingForExit_ = true;
  close();
}

void TFmMain::closeEvent(QCloseEvent* event) {
  if (closed_) {
    event->accept();
    return;
  }
  bool endProgram = false;
  if (!closingForExit_) {
    if (CheckRunning()) {
      event->ignore();
      return;
    }
    if (TrayPresent && !TrayPresent()) {
      if (links_.Dialogs->Confirm(kCloseEndsProgram, this) != caYes) {
        event->ignore();
        return;
      }
      endProgram = true;
    }
  }
  BeginCommand();
  Swallow([this] { StoreLayout(); });
  Swallow([this] {
    if (links_.Filters && links_.Filters->IsModified()) links_.Filters->Save();
  });
  Swallow([this] { links_.Accounts->SaveAll(); });
  Swallow([this] {
    if (suspendedByWindow_ && links_.Accounts->Suspended) links_.ToggleSuspend();
  });
  EndCommand();
  closed_ = true;
  qApp->removeEventFilter(this);
  event->accept();
  emit Closed(endProgram);
}

void TFmMain::StoreLayout() {
  for (TMessagePage* page : pages_)
    if (page) Swallow([page] { page->SaveLayout(); });
  TSettings& settings = Settings();
  const QRect normal = normalGeometry().isValid() ? normalGeometry() : geometry();
  const TBounds bounds{normal.left(), normal.top(), normal.left() + normal.width(),
                       normal.top() + normal.height()};
  settings.SaveLayout(bounds, isMaximized() ? 2 : 0, Bands(), settings.SplitUpdates,
                      settings.SplitKilled, settings.SplitInbox);
  settings.Save(TSettings::TGroup::Columns);
  settings.SaveLastAccount(std::max(0, cbAccounts_->currentIndex()));
}

}  // namespace tarnwell
