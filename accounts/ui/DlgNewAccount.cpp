#include "accounts/ui/DlgNewAccount.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFrame>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QLinearGradient>
#include <QPainter>
#include <QPushButton>
#include <QRadioButton>
#include <QStackedWidget>
#include <QVBoxLayout>

#include "accounts/AccountList.h"
#include "accounts/ui/DlgTestAccount.h"
#include "message/QStrings.h"
#include "message/SvcString.h"
#include "message/SvcSystem.h"
#include "platform/DialUp.h"
#include "platform/Error.h"
#include "shell/ui/DlgMessage.h"
#include "shell/ui/TrayImages.h"
#include "shell/ui/WindowPlacement.h"
#include "transport/AccountSettings.h"
#include "transport/POP3Account.h"
#include "transport/Security.h"

namespace tarnwell {

namespace {

constexpr int kDefaultWidth = 560;
constexpr int kDefaultHeight = 420;
constexpr int kMinimumWidth = 480;
constexpr int kMinimumHeight = 380;
constexpr int kLogoWidth = 80;
constexpr int kLogoImage = 56;
constexpr int kPageButtonWidth = 110;

const char* const kIncomingField = "Incoming mail server";
const char* const kOutgoingField = "Outgoing mail server";

const char* const kSheetNames[TNewAccountDlg::kPageCount] = {
    "tsExisting", "tsPassword", "tsDescription", "tsName",       "tsType",
    "tsServers",  "tsUserName", "tsDialUp",      "tsConnection", "tsProfile",
    "tsTest",     "tsInfo",     "tsWebContacts", "tsDone"};

// The wizard's picture: the program's shield on a band of the highlight colour.
class TLogoPanel : public QWidget {
 public:
  explicit TLogoPanel(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("imLogo"));
    setFixedWidth(kLogoWidth);
    image_ = RenderTrayImage(TTrayImage::Normal, qRound(kLogoImage * devicePixelRatio()));
    image_.setDevicePixelRatio(devicePixelRatio());
  }

 protected:
  void paintEvent(QPaintEvent*) override {
    QPainter painter(this);
    const QColor top = palette().color(QPalette::Highlight);
    QLinearGradient band(0, 0, 0, height());
    band.setColorAt(0, top);
    band.setColorAt(1, top.darker(180));
    painter.fillRect(rect(), band);
    painter.drawImage(QPoint((width() - kLogoImage) / 2, 16), image_);
  }

 private:
  QImage image_;
};

QString Shown(const char* text) { return QString::fromUtf8(text); }

std::string Text(const QLineEdit* field) { return field->text().toStdString(); }
std::string Trimmed(const QLineEdit* field) { return Trim(Text(field)); }

QLineEdit* NewField(const char* name, QWidget* page) {
  auto* field = new QLineEdit(page);
  field->setObjectName(QString::fromLatin1(name));
  return field;
}

// A label for `buddy` above it.
QLabel* NewCaption(const char* text, QWidget* buddy, QWidget* page) {
  auto* label = new QLabel(Shown(text), page);
  label->setBuddy(buddy);
  label->setWordWrap(true);
  return label;
}

// A button that Enter does not press: Enter moves to the next page.
QPushButton* NewButton(const char* name, const char* caption, QWidget* parent) {
  auto* button = new QPushButton(Shown(caption), parent);
  button->setObjectName(QString::fromLatin1(name));
  button->setAutoDefault(false);
  return button;
}

QComboBox* NewSecurityChoice(const char* name, int32_t security, QWidget* page) {
  auto* choice = new QComboBox(page);
  choice->setObjectName(QString::fromLatin1(name));
  choice->addItem(QStringLiteral("TLS"), scTls);
  choice->addItem(QStringLiteral("STARTTLS"), scStartTls);
  choice->addItem(QStringLiteral("None"), scNone);
  choice->setCurrentIndex(choice->findData(security));
  return choice;
}

QVBoxLayout* PageLayout(QWidget* page) { return static_cast<QVBoxLayout*>(page->layout()); }

}  // namespace

TNewAccountDlg::TNewAccountDlg(TAccountList& accounts, TQtMessageDialogs& dialogs, QWidget* parent)
    : QDialog(parent), accounts_(accounts), dialogs_(dialogs) {
  setWindowTitle(QStringLiteral("New Account Wizard"));
  setObjectName(QStringLiteral("NewAccountDlg"));
  setModal(true);
  setSizeGripEnabled(true);

  for (int page = start_; page < kPageCount; ++page) pages_.set(static_cast<size_t>(page));
  for (const TPage absent : {tsType, tsProfile, tsInfo, tsWebContacts})
    pages_.reset(static_cast<size_t>(absent));

  stack_ = new QStackedWidget(this);
  stack_->setObjectName(QStringLiteral("pcPages"));
  BuildDescriptionPage();
  BuildNamePage();
  BuildServersPage();
  BuildUserNamePage();
  BuildDialUpPages();
  BuildTestPage();
  BuildInfoPage();
  BuildDonePage();

  back_ = NewButton("btnBack", "< &Back", this);
  next_ = NewButton("btnNext", "&Next >", this);
  next_->setDefault(true);
  QPushButton* cancel = NewButton("btnCancel", "Cancel", this);
  helpButton_ = NewButton("btnHelp", "&Help", this);
  helpButton_->setEnabled(false);
  connect(back_, &QPushButton::clicked, this, &TNewAccountDlg::Back);
  connect(next_, &QPushButton::clicked, this, &TNewAccountDlg::Next);
  connect(cancel, &QPushButton::clicked, this, &TNewAccountDlg::reject);
  connect(helpButton_, &QPushButton::clicked, this, [this] {
    if (help_) help_(kHelpTopic);
  });

  auto* bevel = new QFrame(this);
  bevel->setFrameShape(QFrame::HLine);
  bevel->setFrameShadow(QFrame::Sunken);
  auto* buttons = new QHBoxLayout;
  buttons->setSpacing(6);
  buttons->addStretch();
  buttons->addWidget(back_);
  buttons->addWidget(next_);
  buttons->addSpacing(6);
  buttons->addWidget(cancel);
  buttons->addWidget(helpButton_);
  auto* body = new QHBoxLayout;
  body->setSpacing(16);
  body->addWidget(new TLogoPanel(this));
  body->addWidget(stack_, 1);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(12, 12, 12, 12);
  layout->setSpacing(8);
  layout->addLayout(body, 1);
  layout->addWidget(bevel);
  layout->addLayout(buttons);

  ReadPhoneBook();
  setMinimumSize(kMinimumWidth, kMinimumHeight);
  resize(kDefaultWidth, kDefaultHeight);
  ShowPage(start_);
}

TNewAccountDlg::~TNewAccountDlg() = default;

QWidget* TNewAccountDlg::NewPage(TPage page, std::initializer_list<const char*> texts) {
  auto* sheet = new QWidget(stack_);
  sheet->setObjectName(QString::fromLatin1(kSheetNames[page]));
  auto* layout = new QVBoxLayout(sheet);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(10);
  int n = 0;
  for (const char* text : texts) {
    auto* label = new QLabel(Shown(text), sheet);
    label->setObjectName(QStringLiteral("lblText%1").arg(++n));
    label->setTextFormat(Qt::PlainText);
    label->setWordWrap(true);
    layout->addWidget(label);
  }
  layout->addSpacing(4);
  stack_->addWidget(sheet);
  sheets_[page] = sheet;
  return sheet;
}

void TNewAccountDlg::BuildDescriptionPage() {
  QWidget* page = NewPage(tsDescription, {"Start by entering a description for this account. You "
                                          "can type anything you want here."});
  description_ = NewField("edDescription", page);
  QVBoxLayout* layout = PageLayout(page);
  layout->addWidget(NewCaption("&Description (for example \"Home e-mail\"):", description_, page));
  layout->addWidget(description_);
  layout->addStretch();
}

void TNewAccountDlg::BuildNamePage() {
  QWidget* page = NewPage(
      tsName, {"Your name and e-mail address will be used when you send complaints about spam. "
               "You should enter your real name, and it is important that you use the correct "
               "e-mail address."});
  name_ = NewField("edName", page);
  email_ = NewField("edEmail", page);
  QVBoxLayout* layout = PageLayout(page);
  layout->addWidget(NewCaption("Your &name (for example \"Pat Doe\"):", name_, page));
  layout->addWidget(name_);
  layout->addSpacing(4);
  layout->addWidget(
      NewCaption("Your &e-mail address (for example \"pat.doe@example.com\"):", email_, page));
  layout->addWidget(email_);
  layout->addStretch();
}

void TNewAccountDlg::BuildServersPage() {
  QWidget* page =
      NewPage(tsServers, {"The e-mail servers are the computers that handle incoming and outgoing "
                          "e-mail. Both tasks are often handled by the same computer."});
  pop3Server_ = NewField("edPop3Server", page);
  smtpServer_ = NewField("edSmtpServer", page);
  // The new account's securities are those of `accounts add`.
  const std::unique_ptr<TPOP3Account> defaults = NewPOP3Account();
  pop3Security_ = NewSecurityChoice("cbPop3Security", defaults->POP3Security, page);
  smtpSecurity_ = NewSecurityChoice("cbSmtpSecurity", defaults->SmtpInfo.SMTPSecurity, page);
  smtpAuth_ = new QCheckBox(Shown("My outgoing server requires &authentication"), page);
  smtpAuth_->setObjectName(QStringLiteral("chkSmtpAuth"));
  smtpAuth_->setChecked(defaults->SmtpInfo.SMTPAuth);
  // A pin belongs to the server it was given for.
  connect(pop3Server_, &QLineEdit::textChanged, this, [this] { pop3Pin_.clear(); });
  connect(smtpServer_, &QLineEdit::textChanged, this, [this] { smtpPin_.clear(); });

  auto* grid = new QGridLayout;
  grid->setHorizontalSpacing(8);
  grid->setVerticalSpacing(4);
  const auto addServer = [&](int row, const char* caption, QLineEdit* field, QComboBox* security) {
    grid->addWidget(NewCaption(caption, field, page), row, 0, 1, 3);
    grid->addWidget(field, row + 1, 0);
    grid->addWidget(NewCaption("Security:", security, page), row + 1, 1);
    grid->addWidget(security, row + 1, 2);
  };
  addServer(0, "&Incoming mail server (POP3), for example \"pop.example.com\":", pop3Server_,
            pop3Security_);
  grid->setRowMinimumHeight(2, 8);
  addServer(3, "&Outgoing mail server (SMTP), for example \"smtp.example.com\":", smtpServer_,
            smtpSecurity_);
  grid->setColumnStretch(0, 1);
  auto* portNote =
      new QLabel(Shown("A server that does not use the usual port of its security takes the port "
                       "after a colon, as in \"pop.example.com:1995\"."),
                 page);
  portNote->setObjectName(QStringLiteral("lblPortNote"));
  portNote->setWordWrap(true);
  portNote->setEnabled(false);

  QVBoxLayout* layout = PageLayout(page);
  layout->addLayout(grid);
  layout->addWidget(smtpAuth_);
  layout->addWidget(portNote);
  layout->addStretch();
}

void TNewAccountDlg::BuildUserNamePage() {
  QWidget* page =
      NewPage(tsUserName, {"Your Internet service provider gives you a user name and a password "
                           "for your e-mail account. The user name is usually the part of your "
                           "e-mail address before the \"@\" sign."});
  userName_ = NewField("edUserName", page);
  password_ = NewField("edPassword", page);
  password_->setEchoMode(QLineEdit::Password);
  QVBoxLayout* layout = PageLayout(page);
  layout->addWidget(
      NewCaption("Your e-mail &user name (for example \"pat.doe\"):", userName_, page));
  layout->addWidget(userName_);
  layout->addSpacing(4);
  layout->addWidget(NewCaption("Your e-mail &password:", password_, page));
  layout->addWidget(password_);
  layout->addStretch();
}

void TNewAccountDlg::BuildDialUpPages() {
  QWidget* page = NewPage(
      tsDialUp,
      {"You connect to your account in one of two ways:",
       "Dial-up connection. If you are using a modem to connect to your account over the phone "
       "line, select this option.",
       "Direct connection. If you have a cable or DSL connection or if are connected to a local "
       "area network, you should select this option."});
  dialUp_ = new QRadioButton(Shown("Dial-&up connection"), page);
  dialUp_->setObjectName(QStringLiteral("rbDialUp"));
  dialUp_->setChecked(true);
  direct_ = new QRadioButton(Shown("&Direct connection"), page);
  direct_->setObjectName(QStringLiteral("rbDirect"));
  connect(dialUp_, &QRadioButton::toggled, this, &TNewAccountDlg::ConnectionChosen);
  QVBoxLayout* layout = PageLayout(page);
  layout->addWidget(dialUp_);
  layout->addWidget(direct_);
  layout->addStretch();

  page = NewPage(tsConnection, {"You have configured several dial-up connections on your "
                                "computer. Select the one that you want to use to access this "
                                "account."});
  connection_ = new QComboBox(page);
  connection_->setObjectName(QStringLiteral("cbConnection"));
  layout = PageLayout(page);
  layout->addWidget(connection_);
  layout->addStretch();
}

void TNewAccountDlg::BuildTestPage() {
  QWidget* page = NewPage(
      tsTest, {"Tarnwell can now test the account: it logs in to your incoming and your outgoing "
               "mail server and out again, and leaves your messages as they are.",
               "Click on the button below to do this; otherwise, just click Next."});
  QPushButton* test = NewButton("btnTest", "&Test now", page);
  test->setMinimumWidth(kPageButtonWidth);
  connect(test, &QPushButton::clicked, this, &TNewAccountDlg::TestNow);
  QVBoxLayout* layout = PageLayout(page);
  layout->addWidget(test, 0, Qt::AlignLeft);
  layout->addStretch();
}

void TNewAccountDlg::BuildInfoPage() {
  QWidget* page = NewPage(
      tsInfo, {"Important: It is strongly recommended that you switch off automatic mail checking "
               "in your e-mail program. If you do not do this, Tarnwell may not be able to filter "
               "your e-mail.",
               "Consult your e-mail program's manual or help files for information on how to do "
               "this. You can also click on the button below for more information."});
  tellMore_ = NewButton("btnTellMore", "&Tell me more", page);
  tellMore_->setMinimumWidth(kPageButtonWidth);
  tellMore_->setEnabled(false);
  connect(tellMore_, &QPushButton::clicked, this, [this] {
    if (help_) help_(kTellMoreTopic);
  });
  QVBoxLayout* layout = PageLayout(page);
  layout->addWidget(tellMore_, 0, Qt::AlignLeft);
  layout->addStretch();
}

void TNewAccountDlg::BuildDonePage() {
  QWidget* page = NewPage(tsDone, {"You have successfully entered the required information for "
                                   "your account.",
                                   "Click Finish to save these settings."});
  PageLayout(page)->addStretch();
}

void TNewAccountDlg::ReadPhoneBook() {
  TDialUp& dialUp = TDialUp::Current();
  if (dialUp.RefreshEntries() == 0) phoneBook_ = dialUp.Entries();
  for (const std::string& entry : phoneBook_) connection_->addItem(QString::fromStdString(entry));
  connection_->setCurrentIndex(phoneBook_.empty() ? -1 : 0);
  TPageSet removed;
  if (phoneBook_.size() == 1) removed.set(tsConnection);
  if (phoneBook_.empty()) {
    removed.set(tsDialUp).set(tsConnection);
    direct_->setChecked(true);
  }
  pages_ &= ~removed;
  dialPages_ = TPageSet().set(tsDialUp).set(tsConnection) & ~removed;
  if (!IsModemConnection()) direct_->setChecked(true);
  ConnectionChosen();
}

void TNewAccountDlg::ConnectionChosen() {
  if (dialUp_->isChecked())
    pages_ |= dialPages_;
  else
    pages_.reset(tsConnection);
}

bool TNewAccountDlg::DialUpChosen() const { return !phoneBook_.empty() && dialUp_->isChecked(); }

void TNewAccountDlg::SetFirstStart(bool on) { pages_.set(tsInfo, on); }

void TNewAccountDlg::SetHelp(std::function<void(int topic)> help) {
  help_ = std::move(help);
  helpButton_->setEnabled(static_cast<bool>(help_));
  tellMore_->setEnabled(static_cast<bool>(help_));
}

void TNewAccountDlg::Next() {
  switch (current_) {
    case tsDone:
      account_ = BuildAccount();
      accept();
      return;
    case tsDescription:
      if (!RequireFields({description_})) return;
      if (accounts_.HasDescription(Text(description_))) {
        Refuse(kDescriptionExists, description_);
        return;
      }
      break;
    case tsName: {
      if (!RequireFields({name_, email_})) return;
      const std::string address = Trimmed(email_);
      email_->setText(QString::fromStdString(address));
      if (!IsAccountAddress(address)) {
        Refuse(kInvalidAddress, email_);
        return;
      }
      if (Trimmed(userName_).empty()) userName_->setText(QString::fromStdString(UserPart(address)));
      break;
    }
    case tsServers:
      if (!RequireFields({pop3Server_, smtpServer_}) || !CheckServers()) return;
      break;
    case tsUserName:
      if (!RequireFields({userName_, password_})) return;
      break;
    default: break;
  }
  for (int page = current_ + 1; page < kPageCount; ++page) {
    if (pages_.test(static_cast<size_t>(page))) {
      ShowPage(static_cast<TPage>(page));
      return;
    }
  }
}

void TNewAccountDlg::Back() {
  for (int page = current_ - 1; page >= start_; --page) {
    if (pages_.test(static_cast<size_t>(page))) {
      ShowPage(static_cast<TPage>(page));
      return;
    }
  }
}

void TNewAccountDlg::ShowPage(TPage page) {
  current_ = page;
  QWidget* sheet = sheets_.at(page);
  stack_->setCurrentWidget(sheet);
  back_->setEnabled(page != start_);
  next_->setText(page == tsDone ? QStringLiteral("&Finish") : QStringLiteral("&Next >"));
  for (QWidget* widget = sheet->nextInFocusChain(); widget && widget != sheet;
       widget = widget->nextInFocusChain()) {
    if (sheet->isAncestorOf(widget) && widget->isEnabled() && !widget->isHidden() &&
        (widget->focusPolicy() & Qt::TabFocus) == Qt::TabFocus) {
      widget->setFocus();
      return;
    }
  }
  next_->setFocus();
}

bool TNewAccountDlg::RequireFields(std::initializer_list<QLineEdit*> fields) {
  for (QLineEdit* field : fields) {
    if (Trimmed(field).empty()) {
      Refuse(kBlankField, field);
      return false;
    }
  }
  return true;
}

void TNewAccountDlg::Refuse(const std::string& text, QLineEdit* field) {
  dialogs_.ShowInfo(text, this);
  field->setFocus();
}

bool TNewAccountDlg::CheckServers() {
  for (const auto& [field, name] :
       {std::pair{pop3Server_, kIncomingField}, std::pair{smtpServer_, kOutgoingField}}) {
    try {
      (void)ParseServer(Trimmed(field), name);
    } catch (const TError& error) {
      Refuse(error.what(), field);
      return false;
    }
  }
  return true;
}

std::unique_ptr<TPOP3Account> TNewAccountDlg::BuildAccount() const {
  TAccountOptions options;
  options.Description = Trimmed(description_);
  options.Name = Trimmed(name_);
  options.Email = Trimmed(email_);
  options.POP3Security = pop3Security_->currentData().toInt();
  options.SMTPSecurity = smtpSecurity_->currentData().toInt();
  options.POP3Server = ParseServer(Trimmed(pop3Server_), kIncomingField);
  options.SMTPServer = ParseServer(Trimmed(smtpServer_), kOutgoingField);
  options.POP3UserName = Trimmed(userName_);
  options.SMTPAuth = smtpAuth_->isChecked();
  if (!pop3Pin_.empty()) options.POP3CertPin = pop3Pin_;
  if (!smtpPin_.empty()) options.SMTPCertPin = smtpPin_;
  std::unique_ptr<TPOP3Account> account = NewPOP3Account();
  ApplyAccountOptions(options, Trimmed(password_), *account);
  if (DialUpChosen()) {
    account->DialUp = true;
    account->Connection = phoneBook_.at(static_cast<size_t>(connection_->currentIndex()));
  }
  return account;
}

std::unique_ptr<TAccount> TNewAccountDlg::TakeAccount() { return std::move(account_); }

void TNewAccountDlg::TestNow() {
  const std::unique_ptr<TPOP3Account> account = BuildAccount();
  const bool passed = RunAccountTest(*account, this);
  pop3Pin_ = account->POP3CertPin;
  smtpPin_ = account->SmtpInfo.SMTPCertPin;
  (passed ? next_ : back_)->setFocus();
}

std::unique_ptr<TAccount> RunNewAccountWizard(TAccountList& accounts, bool firstStart,
                                              QWidget* parent,
                                              const std::function<void(int topic)>& help) {
  TQtMessageDialogs dialogs;
  TNewAccountDlg wizard(accounts, dialogs, parent);
  wizard.SetFirstStart(firstStart);
  if (help) wizard.SetHelp(help);
  if (firstStart)
    CentreOnScreen(wizard);
  else
    CentreOn(wizard, parent);
  wizard.show();
  wizard.raise();
  wizard.activateWindow();
  if (wizard.exec() != QDialog::Accepted) return nullptr;
  return wizard.TakeAccount();
}

}  // namespace tarnwell
