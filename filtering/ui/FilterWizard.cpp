#include "filtering/ui/FilterWizard.h"

#include <QCheckBox>
#include <QEvent>
#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QStackedWidget>
#include <QTextCursor>
#include <QVBoxLayout>
#include <algorithm>

#include "filtering/Countries.h"
#include "filtering/FilterList.h"
#include "filtering/Filters.h"
#include "mainwindow/ui/PgMessages.h"
#include "message/QStrings.h"
#include "platform/Registry.h"
#include "shell/Settings.h"
#include "shell/ui/DisplayText.h"

namespace tarnwell {

namespace {

constexpr int kDefaultWidth = 480;
constexpr int kDefaultHeight = 340;

const char* const kPageNames[] = {"pgType",    "pgSender", "pgSubject", "pgText",
                                  "pgCountry", "pgHeader", "pgFinished"};

struct TChoice {
  const char* name;
  const char* caption;
};
// In the order of TFilterBase.
const TChoice kChoices[kFilterBaseCount] = {{"rbSender", "&Sender's address"},
                                            {"rbSubject", "S&ubject"},
                                            {"rbText", "&Message text"},
                                            {"rbCountry", "&Country"},
                                            {"rbHeader", "Message &headers"}};

TFilterWizardDlg::TPage PageOf(TFilterBase base) {
  switch (base) {
    case TFilterBase::Sender: return TFilterWizardDlg::pgSender;
    case TFilterBase::Subject: return TFilterWizardDlg::pgSubject;
    case TFilterBase::Text: return TFilterWizardDlg::pgText;
    case TFilterBase::Country: return TFilterWizardDlg::pgCountry;
    case TFilterBase::Header: return TFilterWizardDlg::pgHeader;
  }
  return TFilterWizardDlg::pgType;
}

TFilterWizardDlg::TPage PageOfKind(uint8_t kind) {
  switch (kind) {
    case fkSender: return TFilterWizardDlg::pgSender;
    case fkSubject: return TFilterWizardDlg::pgSubject;
    case fkText: return TFilterWizardDlg::pgText;
    default: return TFilterWizardDlg::pgHeader;
  }
}

QString Shown(const std::string& bytes) { return OneLine(DisplayString(bytes)); }

// The pattern a page would make is more than blanks: a blank one would catch nearly all mail.
bool MakesPattern(std::string_view selected, std::string_view whole) {
  return !Trim(PatternOf(selected.empty() ? whole : selected)).empty();
}

void PutInt32(uint8_t* out, int32_t value) {
  const auto bits = static_cast<uint32_t>(value);
  for (int i = 0; i < 4; ++i) out[i] = static_cast<uint8_t>(bits >> (8 * i));
}

int32_t GetInt32(const uint8_t* in) {
  uint32_t bits = 0;
  for (int i = 0; i < 4; ++i) bits |= uint32_t{in[i]} << (8 * i);
  return static_cast<int32_t>(bits);
}

}  // namespace

TFilterWizardDlg::TFilterWizardDlg(const TEmail* message, TFilterList& filters,
                                   TEditFilter editFilter, QWidget* parent)
    : QDialog(parent),
      filters_(filters),
      editFilter_(std::move(editFilter)),
      proposals_(message, filters.Countries()) {
  setWindowTitle(QStringLiteral("New Filter Wizard"));
  setObjectName(QStringLiteral("FilterWizardDlg"));
  setModal(true);
  setSizeGripEnabled(true);
  setMinimumSize(kMinimumWidth, kMinimumHeight);

  pages_ = new QStackedWidget(this);
  pages_->setObjectName(QStringLiteral("pcPages"));
  BuildTypePage();
  BuildSenderPage();
  BuildSubjectPage();
  BuildTextPage();
  BuildCountryPage();
  BuildHeaderPage();
  BuildFinishedPage();

  const auto button = [this](const char* name, const char* caption) {
    auto* created = new QPushButton(QString::fromLatin1(caption), this);
    created->setObjectName(QString::fromLatin1(name));
    created->setAutoDefault(false);
    return created;
  };
  back_ = button("btnBack", "< &Back");
  next_ = button("btnNext", "&Next >");
  next_->setDefault(true);
  advanced_ = button("btnAdvanced", "&Advanced...");
  QPushButton* cancel = button("btnCancel", "Cancel");
  helpButton_ = button("btnHelp", "&Help");
  connect(back_, &QPushButton::clicked, this, &TFilterWizardDlg::Back);
  connect(next_, &QPushButton::clicked, this, &TFilterWizardDlg::Next);
  connect(advanced_, &QPushButton::clicked, this, &TFilterWizardDlg::Advanced);
  connect(cancel, &QPushButton::clicked, this, &TFilterWizardDlg::reject);
  connect(helpButton_, &QPushButton::clicked, this, [this] {
    if (help_) help_();
  });

  auto* bevel = new QFrame(this);
  bevel->setFrameShape(QFrame::HLine);
  bevel->setFrameShadow(QFrame::Sunken);
  auto* buttons = new QHBoxLayout;
  buttons->setSpacing(6);
  buttons->addStretch();
  buttons->addWidget(back_);
  buttons->addWidget(next_);
  buttons->addWidget(advanced_);
  buttons->addSpacing(6);
  buttons->addWidget(cancel);
  buttons->addWidget(helpButton_);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(12, 12, 12, 12);
  layout->setSpacing(8);
  layout->addWidget(pages_, 1);
  layout->addWidget(bevel);
  layout->addLayout(buttons);

  resize(kDefaultWidth, kDefaultHeight);
  RestoreSize();
  ShowPage(pgType);
}

TFilterWizardDlg::~TFilterWizardDlg() = default;

QWidget* TFilterWizardDlg::NewPage(TPage page, const QString& question) {
  auto* widget = new QWidget(pages_);
  widget->setObjectName(QString::fromLatin1(kPageNames[page]));
  auto* layout = new QVBoxLayout(widget);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(6);
  auto* label = new QLabel(question, widget);
  label->setObjectName(QStringLiteral("lblQuestion"));
  label->setWordWrap(true);
  QFont font = label->font();
  font.setBold(true);
  label->setFont(font);
  layout->addWidget(label);
  layout->addSpacing(4);
  pages_->insertWidget(page, widget);
  return widget;
}

QWidget* TFilterWizardDlg::BuildTypePage() {
  QWidget* page =
      NewPage(pgType, QStringLiteral("Which message part do you want to base the filter on?"));
  auto* layout = static_cast<QVBoxLayout*>(page->layout());
  for (int i = 0; i < kFilterBaseCount; ++i) {
    auto* choice = new QRadioButton(QString::fromLatin1(kChoices[i].caption), page);
    choice->setObjectName(QString::fromLatin1(kChoices[i].name));
    choice->setEnabled(proposals_.Offers(static_cast<TFilterBase>(i)));
    connect(choice, &QRadioButton::toggled, this, &TFilterWizardDlg::UpdateButtons);
    layout->addWidget(choice);
    choices_[static_cast<size_t>(i)] = choice;
  }
  choices_[static_cast<size_t>(TFilterBase::Country)]->setVisible(proposals_.HasMessage());
  if (const std::optional<TFilterBase> first = proposals_.FirstOffered())
    choices_[static_cast<size_t>(*first)]->setChecked(true);
  layout->addStretch();
  return page;
}

QWidget* TFilterWizardDlg::BuildSenderPage() {
  QWidget* page =
      NewPage(pgSender, QStringLiteral("Select the address that you want to filter on."));
  senders_ = new QListWidget(page);
  senders_->setObjectName(QStringLiteral("lbSender"));
  domain_ = new QCheckBox(QStringLiteral("&Ignore the user name."), page);
  domain_->setObjectName(QStringLiteral("chkDomain"));
  FillSenderLines();
  // The From line is the sender most filters are about.
  const std::vector<std::string> lines = proposals_.SenderLines(false);
  const auto from = std::find_if(lines.begin(), lines.end(), [](const std::string& line) {
    return line.starts_with(THeaders::StdName(shFrom) + ":");
  });
  if (!lines.empty())
    senders_->setCurrentRow(from == lines.end() ? 0 : static_cast<int>(from - lines.begin()));
  connect(senders_, &QListWidget::currentRowChanged, this, &TFilterWizardDlg::UpdateButtons);
  connect(domain_, &QCheckBox::toggled, this, &TFilterWizardDlg::FillSenderLines);
  auto* layout = static_cast<QVBoxLayout*>(page->layout());
  layout->addWidget(senders_, 1);
  layout->addWidget(domain_);
  return page;
}

QWidget* TFilterWizardDlg::BuildSubjectPage() {
  QWidget* page =
      NewPage(pgSubject,
              QStringLiteral("Select the part of the message subject that you want to filter on."));
  subject_ = TShownText(proposals_.Subject(), true);
  subjectEdit_ = new QPlainTextEdit(page);
  subjectEdit_->setObjectName(QStringLiteral("edSubject"));
  subjectEdit_->setReadOnly(true);
  subjectEdit_->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
  subjectEdit_->setPlainText(subject_.Text());
  subjectEdit_->setMaximumHeight(subjectEdit_->fontMetrics().lineSpacing() * 4 + 12);
  connect(subjectEdit_, &QPlainTextEdit::selectionChanged, this, &TFilterWizardDlg::UpdateButtons);
  subjectEdit_->installEventFilter(this);
  subjectEdit_->viewport()->installEventFilter(this);
  auto* layout = static_cast<QVBoxLayout*>(page->layout());
  layout->addWidget(subjectEdit_);
  layout->addStretch();
  return page;
}

QWidget* TFilterWizardDlg::BuildTextPage() {
  QWidget* page = NewPage(
      pgText,
      QStringLiteral("Select up to 50 characters of the message text that you want to filter on."));
  text_ = TShownText(proposals_.Text(), true);
  textEdit_ = new QPlainTextEdit(page);
  textEdit_->setObjectName(QStringLiteral("mmText"));
  textEdit_->setReadOnly(true);
  textEdit_->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
  textEdit_->setPlainText(text_.Text());
  connect(textEdit_, &QPlainTextEdit::selectionChanged, this, &TFilterWizardDlg::UpdateButtons);
  textEdit_->installEventFilter(this);
  textEdit_->viewport()->installEventFilter(this);
  page->layout()->addWidget(textEdit_);
  return page;
}

QWidget* TFilterWizardDlg::BuildCountryPage() {
  QWidget* page =
      NewPage(pgCountry,
              QStringLiteral(
                  "Select the countries that messages should not be sent from or pass through."));
  countries_ = new QListWidget(page);
  countries_->setObjectName(QStringLiteral("clbCountries"));
  if (const TLandInfo* table = filters_.Countries()) {
    for (const int country : proposals_.Countries()) {
      auto* item = new QListWidgetItem(Shown(table->Name(country)), countries_);
      item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsUserCheckable);
      item->setCheckState(Qt::Unchecked);
      item->setData(Qt::UserRole, country);
    }
  }
  if (countries_->count() > 0) countries_->setCurrentRow(0);
  connect(countries_, &QListWidget::itemChanged, this, &TFilterWizardDlg::UpdateButtons);
  page->layout()->addWidget(countries_);
  return page;
}

QWidget* TFilterWizardDlg::BuildHeaderPage() {
  QWidget* page =
      NewPage(pgHeader, QStringLiteral("Select the message header that you want to filter on."));
  headers_ = new QListWidget(page);
  headers_->setObjectName(QStringLiteral("sgHeaders"));
  addresses_ = new QCheckBox(QStringLiteral("&Look for address information."), page);
  addresses_->setObjectName(QStringLiteral("chkAddress"));
  auto* valueLabel =
      new QLabel(QStringLiteral("Select the part of the header that you want to filter on."), page);
  valueLabel->setObjectName(QStringLiteral("lblValue"));
  valueLabel->setWordWrap(true);
  valueEdit_ = new QLineEdit(page);
  valueEdit_->setObjectName(QStringLiteral("edValue"));
  valueEdit_->setReadOnly(true);
  valueEdit_->installEventFilter(this);
  FillHeaderRows();
  if (!headerRows_.empty()) headers_->setCurrentRow(0);
  connect(headers_, &QListWidget::currentRowChanged, this, &TFilterWizardDlg::TakeHeaderRow);
  connect(headers_, &QListWidget::itemClicked, this, &TFilterWizardDlg::TakeHeaderRow);
  connect(addresses_, &QCheckBox::toggled, this, [this] {
    FillHeaderRows();
    TakeHeaderRow();
  });
  connect(valueEdit_, &QLineEdit::selectionChanged, this, &TFilterWizardDlg::UpdateButtons);
  auto* layout = static_cast<QVBoxLayout*>(page->layout());
  layout->addWidget(headers_, 1);
  layout->addWidget(addresses_);
  layout->addSpacing(4);
  layout->addWidget(valueLabel);
  layout->addWidget(valueEdit_);
  return page;
}

QWidget* TFilterWizardDlg::BuildFinishedPage() {
  QWidget* page = NewPage(pgFinished, QStringLiteral("Your new filter is finished."));
  auto* text = new QLabel(QStringLiteral("Click on 'Finish' to save the filter, or on "
                                         "'Advanced...' to display the advanced editing dialog "
                                         "box."),
                          page);
  text->setObjectName(QStringLiteral("lblFinished"));
  text->setWordWrap(true);
  auto* layout = static_cast<QVBoxLayout*>(page->layout());
  layout->addWidget(text);
  layout->addStretch();
  return page;
}

void TFilterWizardDlg::SetHelp(std::function<void()> help) {
  help_ = std::move(help);
  UpdateButtons();
}

TFilterWizardDlg::TOutcome TFilterWizardDlg::Run() {
  exec();
  return outcome_;
}

std::unique_ptr<TFilter> TFilterWizardDlg::TakeFilter() {
  if (outcome_ != TOutcome::Filter) return nullptr;
  return std::move(filter_);
}

TFilterWizardDlg::TPage TFilterWizardDlg::CurrentPage() const {
  return static_cast<TPage>(pages_->currentIndex());
}

void TFilterWizardDlg::done(int result) {
  if (result != Accepted) {
    filter_.reset();
    outcome_ = TOutcome::Cancelled;
  }
  StoreSize();
  QDialog::done(result);
}

void TFilterWizardDlg::Back() {
  switch (CurrentPage()) {
    case pgType: return;
    case pgFinished: ShowPage(PageOfKind(filter_->Kind)); return;
    default: filter_.reset(); ShowPage(pgType);
  }
}

void TFilterWizardDlg::Next() {
  if (!PageComplete()) return;
  switch (CurrentPage()) {
    case pgType:
      if (const std::optional<TFilterBase> base = ChosenBase()) StartKind(*base);
      return;
    case pgCountry:
      blocked_.clear();
      for (int row = 0; row < countries_->count(); ++row)
        if (countries_->item(row)->checkState() == Qt::Checked)
          blocked_.push_back(countries_->item(row)->data(Qt::UserRole).toInt());
      BlockCountries(filters_, blocked_);
      outcome_ = TOutcome::Countries;
      accept();
      return;
    case pgFinished:
      outcome_ = TOutcome::Filter;
      accept();
      return;
    default: FillFilter(); ShowPage(pgFinished);
  }
}

void TFilterWizardDlg::Advanced() {
  if (CurrentPage() == pgFinished) RunKindDialog();
}

void TFilterWizardDlg::RunKindDialog() {
  if (!editFilter_) return;
  hide();
  if (editFilter_(*filter_, !proposals_.HasMessage())) {
    outcome_ = TOutcome::Filter;
    accept();
  } else {
    reject();
  }
}

void TFilterWizardDlg::StartKind(TFilterBase base) {
  filter_ = NewFilterFor(base);
  if (!proposals_.HasMessage()) {
    // Nothing to propose: the kind's own dialog makes the filter.
    RunKindDialog();
    return;
  }
  const TPage page = PageOf(base);
  switch (page) {
    case pgSubject: subjectEdit_->selectAll(); break;
    case pgText:
      if (!textEdit_->textCursor().hasSelection())
        SelectIn(textEdit_, 0,
                 text_.Limit(0, static_cast<int>(text_.Text().size()), kShortStringCapacity));
      break;
    case pgHeader:
      if (valueEdit_->text().isEmpty()) TakeHeaderRow();
      break;
    default: break;
  }
  ShowPage(page);
}

void TFilterWizardDlg::FillFilter() {
  switch (CurrentPage()) {
    case pgSender: {
      const bool ignoreUser = domain_->isChecked();
      FillSenderFilter(
          *filter_,
          proposals_.SenderLines(ignoreUser).at(static_cast<size_t>(senders_->currentRow())),
          ignoreUser);
      break;
    }
    case pgSubject: FillTextFilter(*filter_, Selected(pgSubject), subject_.Bytes()); break;
    case pgText: FillTextFilter(*filter_, Selected(pgText), text_.Bytes()); break;
    case pgHeader: {
      TProposedHeader row = headerRows_.at(static_cast<size_t>(headers_->currentRow()));
      row.Value = value_.Bytes();
      FillHeaderFilter(*filter_, row, Selected(pgHeader), addresses_->isChecked());
      break;
    }
    default: break;
  }
}

void TFilterWizardDlg::ShowPage(TPage page) {
  pages_->setCurrentIndex(page);
  UpdateButtons();
  next_->setFocus();
}

void TFilterWizardDlg::UpdateButtons() {
  // Signals of the pages arrive while they are built.
  if (!next_) return;
  const TPage page = CurrentPage();
  back_->setEnabled(page != pgType);
  next_->setText(page == pgCountry || page == pgFinished ? QStringLiteral("&Finish")
                                                         : QStringLiteral("&Next >"));
  next_->setEnabled(PageComplete());
  advanced_->setVisible(page == pgFinished);
  advanced_->setEnabled(static_cast<bool>(editFilter_));
  helpButton_->setEnabled(static_cast<bool>(help_));
}

bool TFilterWizardDlg::PageComplete() const {
  switch (CurrentPage()) {
    case pgType: return ChosenBase().has_value() && (proposals_.HasMessage() || editFilter_);
    case pgSender: return senders_->currentRow() >= 0;
    case pgSubject: return MakesPattern(Selected(pgSubject), subject_.Bytes());
    case pgText: return MakesPattern(Selected(pgText), text_.Bytes());
    case pgCountry:
      for (int row = 0; row < countries_->count(); ++row)
        if (countries_->item(row)->checkState() == Qt::Checked) return true;
      return false;
    case pgHeader:
      return headers_->currentRow() >= 0 && MakesPattern(Selected(pgHeader), value_.Bytes());
    case pgFinished: return true;
  }
  return false;
}

std::optional<TFilterBase> TFilterWizardDlg::ChosenBase() const {
  for (int i = 0; i < kFilterBaseCount; ++i) {
    const QRadioButton* choice = choices_[static_cast<size_t>(i)];
    if (choice->isChecked() && choice->isEnabled() && !choice->isHidden())
      return static_cast<TFilterBase>(i);
  }
  return std::nullopt;
}

void TFilterWizardDlg::FillSenderLines() {
  const int row = senders_->currentRow();
  senders_->clear();
  for (const std::string& line : proposals_.SenderLines(domain_->isChecked()))
    senders_->addItem(Shown(line));
  senders_->setCurrentRow(row);
}

void TFilterWizardDlg::FillHeaderRows() {
  const QSignalBlocker blocker(headers_);
  const int row = headers_->currentRow();
  headers_->clear();
  headerRows_ = proposals_.HeaderRows(addresses_->isChecked());
  for (const TProposedHeader& header : headerRows_)
    headers_->addItem(Shown(header.Name + ": " + header.Value));
  headers_->setCurrentRow(row);
}

void TFilterWizardDlg::TakeHeaderRow() {
  const int row = headers_->currentRow();
  if (row < 0) return;
  value_ = TShownText(headerRows_.at(static_cast<size_t>(row)).Value, false);
  valueEdit_->setText(value_.Text());
  SelectValue(0, static_cast<int>(value_.Text().size()));
  UpdateButtons();
}

std::string TFilterWizardDlg::Selected(TPage page) const {
  if (page == pgHeader) {
    if (!valueEdit_->hasSelectedText()) return {};
    const int start = valueEdit_->selectionStart();
    return value_.Slice(start, start + valueEdit_->selectionLength());
  }
  const QTextCursor cursor = (page == pgSubject ? subjectEdit_ : textEdit_)->textCursor();
  if (!cursor.hasSelection()) return {};
  return (page == pgSubject ? subject_ : text_).Slice(cursor.anchor(), cursor.position());
}

bool TFilterWizardDlg::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::KeyRelease || event->type() == QEvent::MouseButtonRelease) {
    // After the edit has taken the event.
    QMetaObject::invokeMethod(
        this, [this, watched] { LimitSelection(watched); }, Qt::QueuedConnection);
  }
  return QDialog::eventFilter(watched, event);
}

void TFilterWizardDlg::LimitSelection(QObject* edit) {
  if (edit == valueEdit_) {
    if (!valueEdit_->hasSelectedText()) return;
    const int start = valueEdit_->selectionStart();
    const int end = start + valueEdit_->selectionLength();
    const int limited = value_.Limit(start, end, kShortStringCapacity);
    if (limited != end) SelectValue(start, limited);
    return;
  }
  for (auto [memo, shown] : {std::pair{subjectEdit_, &subject_}, std::pair{textEdit_, &text_}}) {
    if (edit != memo && edit != memo->viewport()) continue;
    const QTextCursor cursor = memo->textCursor();
    const int limited =
        shown->Limit(cursor.selectionStart(), cursor.selectionEnd(), kShortStringCapacity);
    if (limited != cursor.selectionEnd()) SelectIn(memo, cursor.selectionStart(), limited);
  }
}

void TFilterWizardDlg::SelectValue(int start, int end) {
  // Backwards, so that the edit shows where the selection starts.
  valueEdit_->setSelection(end, start - end);
}

void TFilterWizardDlg::SelectIn(QPlainTextEdit* edit, int anchor, int position) {
  QTextCursor cursor = edit->textCursor();
  cursor.setPosition(anchor);
  cursor.setPosition(position, QTextCursor::KeepAnchor);
  edit->setTextCursor(cursor);
}

void TFilterWizardDlg::RestoreSize() {
  try {
    TRegistry registry;
    if (!registry.OpenKeyReadOnly(TSettings::kKeyPath)) return;
    uint8_t size[8] = {};
    registry.ReadBinaryData(kSizeValue, size, sizeof size);
    QSize stored(GetInt32(size), GetInt32(size + 4));
    if (const QScreen* shown = screen())
      stored = stored.boundedTo(shown->availableGeometry().size());
    resize(stored.expandedTo(minimumSize()));
  } catch (const std::exception&) {
    // A size never stored, or stored wrongly: the wizard keeps its own.
  }
}

void TFilterWizardDlg::StoreSize() const {
  try {
    TRegistry registry;
    if (!registry.OpenKey(TSettings::kKeyPath, true)) return;
    uint8_t size[8];
    PutInt32(size, width());
    PutInt32(size + 4, height());
    registry.WriteBinaryData(kSizeValue, size, sizeof size);
  } catch (const std::exception&) {
    // Keeping the size is a convenience; a store that cannot take it costs nothing else.
  }
}

TFilterFromMessage AddFilterFromMessage(const TEmail* message, TFilterList& filters,
                                        const TEditFilter& editFilter,
                                        const std::function<void()>& help, QWidget* parent) {
  TFilterWizardDlg wizard(message, filters, editFilter, parent);
  wizard.SetHelp(help);
  TFilterFromMessage result;
  switch (wizard.Run()) {
    case TFilterWizardDlg::TOutcome::Filter:
      result.Added = filters.Add(wizard.TakeFilter());
      // Written at once, so that a filter the user made outlives a program that ends abruptly.
      filters.SaveIfModified();
      break;
    case TFilterWizardDlg::TOutcome::Countries: result.CountriesBlocked = true; break;
    case TFilterWizardDlg::TOutcome::Cancelled: break;
  }
  return result;
}

TFilterFromMessage AddFilterFromPage(TPgMessages& page, TFilterList& filters,
                                     const TEditFilter& editFilter,
                                     const std::function<void()>& help) {
  return AddFilterFromMessage(page.CurrentMessage(), filters, editFilter, help, page.window());
}

}  // namespace tarnwell
