#include "accounts/ui/DlgAccount.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFontDatabase>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QIntValidator>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>
#include <QTabWidget>
#include <QTimeEdit>
#include <QVBoxLayout>
#include <algorithm>
#include <cmath>
#include <exception>
#include <optional>
#include <tuple>
#include <vector>

#include "accounts/AccountFields.h"
#include "accounts/ui/DialogButtons.h"
#include "accounts/ui/DlgAccountEvents.h"
#include "accounts/ui/DlgAuthSMTP.h"
#include "message/QStrings.h"
#include "message/SvcString.h"
#include "platform/DialUp.h"
#include "shell/ui/DisplayText.h"
#include "shell/ui/DlgMessage.h"
#include "transport/POP3Account.h"
#include "transport/Security.h"

namespace tarnwell {

namespace {

// The securities in the order the drop-downs list them, which is their TSecurity value.
const char* const kSecurityNames[] = {"None", "TLS", "STARTTLS"};

// A three-state event box as the user clicks it: a greyed box becomes ticked, and a click never
// makes it grey; only the dialog greys it.
class TEventBox : public QCheckBox {
 public:
  using QCheckBox::QCheckBox;

 protected:
  void nextCheckState() override {
    setCheckState(checkState() == Qt::Checked ? Qt::Unchecked : Qt::Checked);
  }
};

std::string Trimmed(const QLineEdit* edit) { return Trim(edit->text().toStdString()); }

QLineEdit* NewEdit(const char* name) {
  auto* edit = new QLineEdit;
  edit->setObjectName(QString::fromLatin1(name));
  return edit;
}

QLabel* NewLabel(const QString& text, QWidget* buddy) {
  auto* label = new QLabel(text);
  label->setBuddy(buddy);
  return label;
}

QVBoxLayout* NewPageLayout(QWidget* page) {
  auto* layout = new QVBoxLayout(page);
  layout->setContentsMargins(10, 10, 10, 10);
  layout->setSpacing(10);
  return layout;
}

QComboBox* NewSecurityBox(const char* name, int32_t security) {
  auto* box = new QComboBox;
  box->setObjectName(QString::fromLatin1(name));
  for (const char* item : kSecurityNames) box->addItem(QString::fromLatin1(item));
  box->setCurrentIndex(security >= scNone && security <= scStartTls ? security : -1);
  return box;
}

QString MinutesText(int minutes) { return QStringLiteral("%1 &minutes").arg(minutes); }

QString HoursText(int hours) { return QStringLiteral("%1 &hours").arg(hours); }

// A SHA-256 fingerprint as colon-separated pairs of upper-case digits in two lines, whatever
// the stored form; "None" for no pin.
QString PinText(std::string_view pin) {
  QString digits;
  for (const char c : pin)
    if (c != ':' && c != ' ') digits += QChar::fromLatin1(c).toUpper();
  if (digits.isEmpty()) return QStringLiteral("None");
  QString text;
  for (qsizetype i = 0; i < digits.size(); i += 2) {
    if (i > 0) text += i % 32 == 0 ? QLatin1Char('\n') : QLatin1Char(':');
    text += digits.mid(i, 2);
  }
  return text;
}

}  // namespace

TAccountDlg::TAccountDlg(TAccount& account, TQtMessageDialogs& dialogs, QWidget* parent)
    : QDialog(parent),
      account_(account),
      pop3_(dynamic_cast<TPOP3Account*>(&account)),
      dialogs_(dialogs),
      events_(account.Events),
      tabs_(new QTabWidget),
      helpButton_(new QPushButton(QStringLiteral("&Help"))) {
  setWindowTitle(QStringLiteral("Account Properties"));
  setModal(true);
  tabs_->setObjectName(QStringLiteral("pcAccount"));
  AddTab(MakeGeneralTab(), QStringLiteral("General"), kGeneralTopic);
  if (pop3_) AddTab(MakeServersTab(*pop3_), QStringLiteral("Servers"), kServersTopic);
  AddTab(MakeConnectionTab(), QStringLiteral("Connection"), kConnectionTopic);
  AddTab(MakeCheckingTab(), QStringLiteral("Checking"), kCheckingTopic);
  AddTab(MakeEventsTab(), QStringLiteral("Events"), kEventsTopic);
  if (pop3_) AddTab(MakeAdvancedTab(*pop3_), QStringLiteral("Advanced"), kAdvancedTopic);
  tabs_->setCurrentIndex(0);

  LoadConnection();
  LoadChecking();
  ShowEventBoxes();

  connect(helpButton_, &QPushButton::clicked, this, [this] {
    if (!help_) return;
    const QVariant topic = tabs_->currentWidget()->property("helpTopic");
    help_(topic.isValid() ? topic.toInt() : kHelpTopic);
  });
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(10, 10, 10, 10);
  layout->addWidget(tabs_);
  layout->addLayout(DialogButtons(*this, helpButton_));
  edDescription_->setFocus();
}

void TAccountDlg::AddTab(QWidget* page, const QString& caption, int topic) {
  page->setProperty("helpTopic", topic);
  tabs_->addTab(page, caption);
}

void TAccountDlg::SetHelp(std::function<void(int topic)> help) {
  help_ = std::move(help);
  helpButton_->setEnabled(static_cast<bool>(help_));
}

QWidget* TAccountDlg::MakeGeneralTab() {
  auto* page = new QWidget;
  page->setObjectName(QStringLiteral("tsGeneral"));
  edDescription_ = NewEdit("edDescription");
  edName_ = NewEdit("edName");
  edEmail_ = NewEdit("edEmail");
  edDescription_->setText(DisplayString(account_.Description));
  edName_->setText(DisplayString(account_.Name));
  edEmail_->setText(DisplayString(account_.Email));
  auto* type = new QLabel(DisplayString(account_.TypeName()));
  type->setObjectName(QStringLiteral("lblAccountType"));

  auto* group = new QGroupBox(QStringLiteral("Account"));
  auto* form = new QFormLayout(group);
  form->addRow(NewLabel(QStringLiteral("&Description:"), edDescription_), edDescription_);
  form->addRow(NewLabel(QStringLiteral("&Real name:"), edName_), edName_);
  form->addRow(NewLabel(QStringLiteral("&E-mail address:"), edEmail_), edEmail_);
  form->addRow(QStringLiteral("Account type:"), type);
  auto* layout = NewPageLayout(page);
  layout->addWidget(group);
  layout->addStretch();
  return page;
}

QWidget* TAccountDlg::MakeServersTab(const TPOP3Account& account) {
  auto* page = new QWidget;
  page->setObjectName(QStringLiteral("tsServers"));
  edPOP3Server_ = NewEdit("edPOP3Server");
  edPOP3UserName_ = NewEdit("edPOP3UserName");
  edPassword_ = NewEdit("edPassword");
  edPassword_->setEchoMode(QLineEdit::Password);
  chkSPA_ = new QCheckBox(QStringLiteral("Use S&ecure Password Authentication"));
  chkSPA_->setObjectName(QStringLiteral("chkSPA"));
  edSMTPServer_ = NewEdit("edSMTPServer");
  auto* advanced = new QPushButton(QStringLiteral("&Advanced"));
  advanced->setObjectName(QStringLiteral("btnSMTPAdvanced"));
  connect(advanced, &QPushButton::clicked, this, &TAccountDlg::OpenSmtpLogin);

  edPOP3Server_->setText(DisplayString(account.POP3Server));
  edPOP3UserName_->setText(DisplayString(account.POP3UserName));
  edPassword_->setText(DisplayString(UnscramblePassword(account.Password)));
  chkSPA_->setChecked(account.SPA);
  edSMTPServer_->setText(DisplayString(account.SmtpInfo.SMTPServer));

  auto* incoming = new QGroupBox(QStringLiteral("Incoming mail (POP3)"));
  auto* incomingForm = new QFormLayout(incoming);
  incomingForm->addRow(NewLabel(QStringLiteral("&Server name:"), edPOP3Server_), edPOP3Server_);
  incomingForm->addRow(NewLabel(QStringLiteral("&User name:"), edPOP3UserName_), edPOP3UserName_);
  incomingForm->addRow(NewLabel(QStringLiteral("&Password:"), edPassword_), edPassword_);
  incomingForm->addRow(chkSPA_);

  auto* outgoing = new QGroupBox(QStringLiteral("Outgoing mail (SMTP)"));
  auto* outgoingForm = new QFormLayout(outgoing);
  outgoingForm->addRow(NewLabel(QStringLiteral("Server &name:"), edSMTPServer_), edSMTPServer_);
  auto* advancedRow = new QHBoxLayout;
  advancedRow->addStretch();
  advancedRow->addWidget(advanced);
  outgoingForm->addRow(advancedRow);

  auto* layout = NewPageLayout(page);
  layout->addWidget(incoming);
  layout->addWidget(outgoing);
  layout->addStretch();
  return page;
}

QWidget* TAccountDlg::MakeConnectionTab() {
  auto* page = new QWidget;
  page->setObjectName(QStringLiteral("tsConnection"));
  rbDirect_ = new QRadioButton(QStringLiteral("&Direct connection"));
  rbDirect_->setObjectName(QStringLiteral("rbDirect"));
  rbDialUp_ = new QRadioButton(QStringLiteral("Dial-&up connection"));
  rbDialUp_->setObjectName(QStringLiteral("rbDialUp"));
  chkForceDial_ = new QCheckBox(QStringLiteral("If &not connected, dial up using:"));
  chkForceDial_->setObjectName(QStringLiteral("chkForceDial"));
  cbConnection_ = new QComboBox;
  cbConnection_->setObjectName(QStringLiteral("cbConnection"));
  chkStayConnected_ = new QCheckBox(QStringLiteral("&Stay connected"));
  chkStayConnected_->setObjectName(QStringLiteral("chkStayConnected"));
  edRasUserName_ = NewEdit("edRasUserName");
  edRasPassword_ = NewEdit("edRasPassword");
  edRasPassword_->setEchoMode(QLineEdit::Password);
  lblRasUserName_ = NewLabel(QStringLiteral("U&ser name:"), edRasUserName_);
  lblRasPassword_ = NewLabel(QStringLiteral("&Password:"), edRasPassword_);

  connect(rbDirect_, &QRadioButton::clicked, this, &TAccountDlg::ApplyTypeRule);
  connect(rbDialUp_, &QRadioButton::clicked, this, &TAccountDlg::ApplyTypeRule);
  connect(chkForceDial_, &QCheckBox::clicked, this, &TAccountDlg::ApplyDialUsingRule);
  connect(cbConnection_, &QComboBox::activated, this, &TAccountDlg::ShowEntryCredentials);

  auto* type = new QGroupBox(QStringLiteral("Type"));
  auto* typeLayout = new QVBoxLayout(type);
  typeLayout->addWidget(rbDirect_);
  typeLayout->addWidget(rbDialUp_);

  auto* dialUp = new QGroupBox(QStringLiteral("Dial-up"));
  auto* dialLayout = new QVBoxLayout(dialUp);
  dialLayout->addWidget(chkForceDial_);
  auto* entry = new QVBoxLayout;
  entry->setContentsMargins(20, 0, 0, 0);
  entry->addWidget(cbConnection_);
  entry->addWidget(chkStayConnected_);
  auto* credentials = new QFormLayout;
  credentials->addRow(lblRasUserName_, edRasUserName_);
  credentials->addRow(lblRasPassword_, edRasPassword_);
  entry->addLayout(credentials);
  dialLayout->addLayout(entry);

  auto* layout = NewPageLayout(page);
  layout->addWidget(type);
  layout->addWidget(dialUp);
  layout->addStretch();
  return page;
}

QWidget* TAccountDlg::MakeCheckingTab() {
  auto* page = new QWidget;
  page->setObjectName(QStringLiteral("tsChecking"));
  rbMinutes_ = new QRadioButton(QStringLiteral("Check every"));
  rbMinutes_->setObjectName(QStringLiteral("rbMinutes"));
  tbMinutes_ = new QSlider(Qt::Horizontal);
  tbMinutes_->setObjectName(QStringLiteral("tbMinutes"));
  tbMinutes_->setRange(1, 59);
  tbMinutes_->setPageStep(5);
  tbMinutes_->setTickInterval(5);
  tbMinutes_->setTickPosition(QSlider::TicksBelow);
  lblMinutes_ = NewLabel(QString(), tbMinutes_);
  lblMinutes_->setObjectName(QStringLiteral("lblMinutes"));
  rbHours_ = new QRadioButton(QStringLiteral("Check every"));
  rbHours_->setObjectName(QStringLiteral("rbHours"));
  tbHours_ = new QSlider(Qt::Horizontal);
  tbHours_->setObjectName(QStringLiteral("tbHours"));
  tbHours_->setRange(1, 24);
  tbHours_->setPageStep(1);
  tbHours_->setTickInterval(1);
  tbHours_->setTickPosition(QSlider::TicksBelow);
  lblHours_ = NewLabel(QString(), tbHours_);
  lblHours_->setObjectName(QStringLiteral("lblHours"));
  rbDaily_ = new QRadioButton(QStringLiteral("Check &daily at"));
  rbDaily_->setObjectName(QStringLiteral("rbDaily"));
  dtpDaily_ = new QTimeEdit;
  dtpDaily_->setObjectName(QStringLiteral("dtpDaily"));
  dtpDaily_->setDisplayFormat(QStringLiteral("HH:mm"));
  rbManual_ = new QRadioButton(QStringLiteral("Ma&nual checking"));
  rbManual_->setObjectName(QStringLiteral("rbManual"));
  chkOnConnection_ = new QCheckBox(QStringLiteral("On &connection"));
  chkOnConnection_->setObjectName(QStringLiteral("chkOnConnection"));
  chkOnStartup_ = new QCheckBox(QStringLiteral("On &startup"));
  chkOnStartup_->setObjectName(QStringLiteral("chkOnStartup"));

  connect(tbMinutes_, &QSlider::valueChanged, this,
          [this](int minutes) { lblMinutes_->setText(MinutesText(minutes)); });
  connect(tbHours_, &QSlider::valueChanged, this,
          [this](int hours) { lblHours_->setText(HoursText(hours)); });

  auto* schedule = new QGroupBox(QStringLiteral("Schedule"));
  auto* grid = new QGridLayout(schedule);
  grid->setColumnStretch(1, 1);
  grid->setColumnMinimumWidth(
      2, lblMinutes_->fontMetrics().horizontalAdvance(QStringLiteral("59 minutes")));
  grid->addWidget(rbMinutes_, 0, 0);
  grid->addWidget(tbMinutes_, 0, 1);
  grid->addWidget(lblMinutes_, 0, 2);
  grid->addWidget(rbHours_, 1, 0);
  grid->addWidget(tbHours_, 1, 1);
  grid->addWidget(lblHours_, 1, 2);
  grid->addWidget(rbDaily_, 2, 0);
  grid->addWidget(dtpDaily_, 2, 1, Qt::AlignLeft);
  grid->addWidget(rbManual_, 3, 0, 1, 3);

  auto* additional = new QGroupBox(QStringLiteral("Additional"));
  auto* additionalLayout = new QVBoxLayout(additional);
  additionalLayout->addWidget(chkOnConnection_);
  additionalLayout->addWidget(chkOnStartup_);

  auto* layout = NewPageLayout(page);
  layout->addWidget(schedule);
  layout->addWidget(additional);
  layout->addStretch();
  return page;
}

QWidget* TAccountDlg::MakeEventsTab() {
  auto* page = new QWidget;
  page->setObjectName(QStringLiteral("tsEvents"));
  chkSound_ = new TEventBox(QStringLiteral("&Play a sound when new mail arrives"));
  chkSound_->setObjectName(QStringLiteral("chkSound"));
  chkApp_ = new TEventBox(QStringLiteral("&Run email program when new mail arrives"));
  chkApp_->setObjectName(QStringLiteral("chkApp"));
  auto* advanced = new QPushButton(QStringLiteral("&Advanced..."));
  advanced->setObjectName(QStringLiteral("btnEvents"));
  connect(chkSound_, &QCheckBox::clicked, this, &TAccountDlg::SoundBoxClicked);
  connect(chkApp_, &QCheckBox::clicked, this, &TAccountDlg::AppBoxClicked);
  connect(advanced, &QPushButton::clicked, this, &TAccountDlg::OpenEventSettings);

  auto* group = new QGroupBox(QStringLiteral("Event"));
  auto* groupLayout = new QVBoxLayout(group);
  groupLayout->addWidget(chkSound_);
  groupLayout->addWidget(chkApp_);
  auto* advancedRow = new QHBoxLayout;
  advancedRow->addStretch();
  advancedRow->addWidget(advanced);
  groupLayout->addLayout(advancedRow);
  auto* layout = NewPageLayout(page);
  layout->addWidget(group);
  layout->addStretch();
  return page;
}

QWidget* TAccountDlg::MakeAdvancedTab(const TPOP3Account& account) {
  auto* page = new QWidget;
  page->setObjectName(QStringLiteral("tsAdvanced"));
  edPOP3Port_ = NewEdit("edPOP3Port");
  edSMTPPort_ = NewEdit("edSMTPPort");
  edPOP3Port_->setText(QString::number(account.POP3Port));
  edSMTPPort_->setText(QString::number(account.SmtpInfo.SMTPPort));
  pop3Security_ = account.POP3Security;
  smtpSecurity_ = account.SmtpInfo.SMTPSecurity;
  cbPOP3Security_ = NewSecurityBox("cbPOP3Security", pop3Security_);
  cbSMTPSecurity_ = NewSecurityBox("cbSMTPSecurity", smtpSecurity_);
  connect(cbPOP3Security_, &QComboBox::activated, this,
          [this] { SecurityChosen(cbPOP3Security_, edPOP3Port_, pop3Security_, DefaultPOP3Port); });
  connect(cbSMTPSecurity_, &QComboBox::activated, this,
          [this] { SecurityChosen(cbSMTPSecurity_, edSMTPPort_, smtpSecurity_, DefaultSMTPPort); });

  tbTimeout_ = new QSlider(Qt::Horizontal);
  tbTimeout_->setObjectName(QStringLiteral("tbTimeout"));
  tbTimeout_->setRange(30, 300);
  tbTimeout_->setPageStep(15);
  tbTimeout_->setTickInterval(15);
  tbTimeout_->setTickPosition(QSlider::TicksBelow);
  lblTimeout_ = new QLabel;
  lblTimeout_->setObjectName(QStringLiteral("lblTimeout"));
  lblTimeout_->setMinimumWidth(
      lblTimeout_->fontMetrics().horizontalAdvance(QStringLiteral("4 minutes 45 seconds")));
  const auto showTimeout = [this](int seconds) {
    lblTimeout_->setText(QString::fromStdString(DurationText(seconds)));
  };
  connect(tbTimeout_, &QSlider::valueChanged, this, showTimeout);
  tbTimeout_->setValue(account.Timeout);
  showTimeout(tbTimeout_->value());

  pop3Pin_ = account.POP3CertPin;
  smtpPin_ = account.SmtpInfo.SMTPCertPin;
  const QFont fixed = QFontDatabase::systemFont(QFontDatabase::FixedFont);
  lblPOP3Pin_ = new QLabel(PinText(pop3Pin_));
  lblPOP3Pin_->setObjectName(QStringLiteral("lblPOP3Pin"));
  lblSMTPPin_ = new QLabel(PinText(smtpPin_));
  lblSMTPPin_->setObjectName(QStringLiteral("lblSMTPPin"));
  btnForgetPOP3Pin_ = new QPushButton(QStringLiteral("&Forget"));
  btnForgetPOP3Pin_->setObjectName(QStringLiteral("btnForgetPOP3Pin"));
  btnForgetSMTPPin_ = new QPushButton(QStringLiteral("For&get"));
  btnForgetSMTPPin_->setObjectName(QStringLiteral("btnForgetSMTPPin"));
  const auto showPin = [this, &fixed](QLabel* label, QPushButton* button, std::string* pin) {
    label->setFont(fixed);
    label->setTextInteractionFlags(Qt::TextSelectableByMouse);
    button->setEnabled(!pin->empty());
    button->setToolTip(
        QStringLiteral("Forget this certificate: the server's certificate must then be one that "
                       "the system trusts"));
    connect(button, &QPushButton::clicked, this,
            [this, label, button, pin] { ForgetPin(*pin, label, button); });
  };
  showPin(lblPOP3Pin_, btnForgetPOP3Pin_, &pop3Pin_);
  showPin(lblSMTPPin_, btnForgetSMTPPin_, &smtpPin_);

  chkForceRun_ = new QCheckBox(QStringLiteral("Start programs even if they are already running"));
  chkForceRun_->setObjectName(QStringLiteral("chkForceRun"));
  chkForceRun_->setChecked(account_.ForceRun);

  auto* ports = new QGroupBox(QStringLiteral("Server port numbers"));
  auto* portGrid = new QGridLayout(ports);
  const int portWidth = edPOP3Port_->fontMetrics().horizontalAdvance(QStringLiteral("000000")) + 16;
  portGrid->setColumnStretch(1, 1);
  for (auto [row, caption, port, securityCaption, security] :
       {std::tuple{0, QStringLiteral("&Incoming mail (POP3):"), edPOP3Port_,
                   QStringLiteral("Se&curity:"), cbPOP3Security_},
        std::tuple{1, QStringLiteral("&Outgoing mail (SMTP):"), edSMTPPort_,
                   QStringLiteral("Sec&urity:"), cbSMTPSecurity_}}) {
    port->setFixedWidth(portWidth);
    portGrid->addWidget(NewLabel(caption, port), row, 0);
    portGrid->addWidget(port, row, 1, Qt::AlignLeft);
    portGrid->addWidget(NewLabel(securityCaption, security), row, 2);
    portGrid->addWidget(security, row, 3);
  }

  auto* timeouts = new QGroupBox(QStringLiteral("Server timeouts"));
  auto* timeoutRow = new QHBoxLayout(timeouts);
  timeoutRow->addWidget(tbTimeout_, 1);
  timeoutRow->addWidget(lblTimeout_);

  auto* pins = new QGroupBox(QStringLiteral("Accepted certificates"));
  auto* pinGrid = new QGridLayout(pins);
  pinGrid->setColumnStretch(1, 1);
  pinGrid->addWidget(new QLabel(QStringLiteral("POP3:")), 0, 0, Qt::AlignTop);
  pinGrid->addWidget(lblPOP3Pin_, 0, 1);
  pinGrid->addWidget(btnForgetPOP3Pin_, 0, 2, Qt::AlignTop);
  pinGrid->addWidget(new QLabel(QStringLiteral("SMTP:")), 1, 0, Qt::AlignTop);
  pinGrid->addWidget(lblSMTPPin_, 1, 1);
  pinGrid->addWidget(btnForgetSMTPPin_, 1, 2, Qt::AlignTop);

  auto* running = new QGroupBox(QStringLiteral("Running programs"));
  auto* runningLayout = new QVBoxLayout(running);
  runningLayout->addWidget(chkForceRun_);

  auto* layout = NewPageLayout(page);
  layout->addWidget(ports);
  layout->addWidget(timeouts);
  layout->addWidget(pins);
  layout->addWidget(running);
  layout->addStretch();
  return page;
}

void TAccountDlg::LoadConnection() {
  TDialUp& dialUp = TDialUp::Current();
  dialUp.RefreshEntries();
  for (const std::string& entry : dialUp.Entries()) cbConnection_->addItem(DisplayString(entry));
  cbConnection_->setCurrentIndex(cbConnection_->count() > 0 ? 0 : -1);

  rbDirect_->setChecked(!account_.DialUp);
  rbDialUp_->setChecked(account_.DialUp);
  chkForceDial_->setChecked(account_.ForceDial);
  const int entry = cbConnection_->findText(DisplayString(account_.ConnectionName()),
                                            Qt::MatchExactly | Qt::MatchCaseSensitive);
  if (entry >= 0) cbConnection_->setCurrentIndex(entry);
  ShowEntryCredentials(cbConnection_->currentIndex());
  chkStayConnected_->setChecked(account_.StayConnected);
  ApplyTypeRule();
}

void TAccountDlg::LoadChecking() {
  switch (account_.IntervalType) {
    case itHours: rbHours_->setChecked(true); break;
    case itDaily: rbDaily_->setChecked(true); break;
    case itManual: rbManual_->setChecked(true); break;
    default: rbMinutes_->setChecked(true); break;
  }
  const int minimum = std::max(1, WholeMinutes(account_.MinimumInterval));
  tbMinutes_->setMinimum(minimum);
  if (WholeMinutes(account_.MinutesInterval) < minimum)
    account_.MinutesInterval = account_.MinimumInterval;
  tbMinutes_->setValue(WholeMinutes(account_.MinutesInterval));
  tbHours_->setValue(WholeHours(account_.HoursInterval));
  // A slider left at its first position has not announced it.
  lblMinutes_->setText(MinutesText(tbMinutes_->value()));
  lblHours_->setText(HoursText(tbHours_->value()));
  const int minutesOfDay = WholeMinutes(account_.DailyTime - std::floor(account_.DailyTime));
  dtpDaily_->setTime(QTime(minutesOfDay / 60 % 24, minutesOfDay % 60));
  chkOnStartup_->setChecked(account_.CheckTypes & TriggerBit(ctStartup));
  chkOnConnection_->setChecked(account_.CheckTypes & TriggerBit(ctConnection));
}

void TAccountDlg::ApplyTypeRule() {
  const bool dialUp = rbDialUp_->isChecked();
  chkForceDial_->setEnabled(dialUp);
  chkOnConnection_->setEnabled(dialUp);
  ApplyDialUsingRule();
}

void TAccountDlg::ApplyDialUsingRule() {
  const bool on = chkForceDial_->isChecked() && chkForceDial_->isEnabled();
  for (QWidget* widget :
       {static_cast<QWidget*>(cbConnection_), static_cast<QWidget*>(chkStayConnected_),
        static_cast<QWidget*>(lblRasUserName_), static_cast<QWidget*>(edRasUserName_),
        static_cast<QWidget*>(lblRasPassword_), static_cast<QWidget*>(edRasPassword_)})
    widget->setEnabled(on);
}

void TAccountDlg::ShowEntryCredentials(int index) {
  std::string user;
  std::string password;
  const bool read = TDialUp::Current().EntryCredentials(index, user, password);
  edRasUserName_->setText(DisplayString(user));
  if ((read && !password.empty()) || user.empty()) edRasPassword_->setText(DisplayString(password));
}

void TAccountDlg::ShowEventBoxes() {
  int sounds = 0;
  int programs = 0;
  for (const TEventParam& event : events_) {
    sounds += event.SoundEnabled ? 1 : 0;
    programs += event.AppEnabled ? 1 : 0;
  }
  const auto state = [](int count) {
    if (count == 0) return Qt::Unchecked;
    return count == 4 ? Qt::Checked : Qt::PartiallyChecked;
  };
  chkSound_->setCheckState(state(sounds));
  chkApp_->setCheckState(state(programs));
}

void TAccountDlg::SoundBoxClicked() {
  for (TEventParam& event : events_) event.SoundEnabled = chkSound_->isChecked();
}

void TAccountDlg::AppBoxClicked() {
  const bool on = chkApp_->isChecked();
  for (TEventParam& event : events_) {
    event.AppEnabled = on;
    if (on && event.Application.empty()) event.UseEmailApp = true;
  }
}

void TAccountDlg::OpenEventSettings() {
  TAccountEventsDlg dialog(events_, dialogs_, this);
  if (help_) dialog.SetHelp([this] { help_(TAccountEventsDlg::kHelpTopic); });
  if (dialog.exec() == QDialog::Accepted) ShowEventBoxes();
}

void TAccountDlg::OpenSmtpLogin() {
  TAuthSTMPDlg dialog(pop3_->SmtpInfo, this);
  dialog.exec();
}

void TAccountDlg::SecurityChosen(QComboBox* security, QLineEdit* port, int& shown,
                                 int32_t (*defaultPort)(int32_t)) {
  const int chosen = security->currentIndex();
  if (const std::optional<int32_t> number = PortFieldValue(port->text().toStdString())) {
    const int32_t moved = PortAfterSecurity(*number, shown, chosen, defaultPort);
    if (moved != *number) port->setText(QString::number(moved));
  }
  shown = chosen;
}

void TAccountDlg::ForgetPin(std::string& pin, QLabel* label, QPushButton* button) {
  pin.clear();
  label->setText(PinText(pin));
  button->setEnabled(false);
}

void TAccountDlg::Refuse(QWidget* field, const std::string& text) {
  QWidget* page = field->parentWidget();
  while (page && tabs_->indexOf(page) < 0) page = page->parentWidget();
  if (page) tabs_->setCurrentWidget(page);
  field->setFocus();
  dialogs_.ShowInfo(text, this);
}

bool TAccountDlg::FieldsPass() {
  std::vector<QLineEdit*> required = {edDescription_, edName_, edEmail_};
  if (pop3_)
    required.insert(required.end(), {edPOP3Server_, edPOP3UserName_, edPassword_, edSMTPServer_});
  for (QLineEdit* field : required) {
    if (IsBlankField(field->text().toStdString())) {
      Refuse(field, std::string(kBlankField));
      return false;
    }
  }
  if (!pop3_) return true;
  for (QLineEdit* port : {edPOP3Port_, edSMTPPort_}) {
    if (!PortFieldValue(port->text().toStdString())) {
      Refuse(port, PortRangeText());
      return false;
    }
  }
  return true;
}

void TAccountDlg::Store() {
  TAccount& account = account_;
  account.Description = Trimmed(edDescription_);
  account.Name = Trimmed(edName_);
  account.Email = Trimmed(edEmail_);
  if (pop3_) {
    TPOP3Account& pop3 = *pop3_;
    pop3.POP3Server = Trimmed(edPOP3Server_);
    pop3.POP3UserName = Trimmed(edPOP3UserName_);
    pop3.Password = ScramblePassword(edPassword_->text().toStdString());
    pop3.SmtpInfo.SMTPServer = Trimmed(edSMTPServer_);
    pop3.SPA = chkSPA_->isChecked();
    pop3.POP3Port = *PortFieldValue(edPOP3Port_->text().toStdString());
    pop3.SmtpInfo.SMTPPort = *PortFieldValue(edSMTPPort_->text().toStdString());
    if (cbPOP3Security_->currentIndex() >= 0) pop3.POP3Security = cbPOP3Security_->currentIndex();
    if (cbSMTPSecurity_->currentIndex() >= 0)
      pop3.SmtpInfo.SMTPSecurity = cbSMTPSecurity_->currentIndex();
    pop3.POP3CertPin = pop3Pin_;
    pop3.SmtpInfo.SMTPCertPin = smtpPin_;
    pop3.Timeout = tbTimeout_->value();
  }

  account.DialUp = rbDialUp_->isChecked();
  account.ForceDial = chkForceDial_->isChecked();
  account.Connection = cbConnection_->currentText().toStdString();
  account.RasUserName = edRasUserName_->text().toStdString();
  account.RasPassword = edRasPassword_->text().toStdString();
  account.StayConnected = chkStayConnected_->isChecked();

  account.CheckTypes = TriggerBit(ctSchedule);
  if (rbManual_->isChecked()) {
    account.IntervalType = itManual;
    account.CheckTypes = 0;
  } else {
    account.IntervalType = rbHours_->isChecked()   ? itHours
                           : rbDaily_->isChecked() ? itDaily
                                                   : itMinutes;
  }
  account.MinutesInterval = MinutesSpan(tbMinutes_->value());
  account.HoursInterval = HoursSpan(tbHours_->value());
  const QTime daily = dtpDaily_->time();
  account.DailyTime = MinutesSpan(daily.hour() * 60 + daily.minute());
  if (chkOnStartup_->isChecked()) account.CheckTypes |= TriggerBit(ctStartup);
  if (chkOnConnection_->isChecked()) account.CheckTypes |= TriggerBit(ctConnection);
  if (!account.DialUp) account.CheckTypes &= static_cast<uint8_t>(~TriggerBit(ctConnection));

  account.Events = events_;
  if (chkForceRun_) account.ForceRun = chkForceRun_->isChecked();
}

void TAccountDlg::accept() {
  if (!FieldsPass()) return;
  try {
    Store();
  } catch (const std::exception&) {
    // A failure ends the storing; what was stored before it stays.
  }
  QDialog::accept();
}

}  // namespace tarnwell
