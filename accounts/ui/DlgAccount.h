#pragma once

#include <QDialog>
#include <functional>
#include <string>

#include "accounts/Account.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QSlider;
class QTabWidget;
class QTimeEdit;

namespace tarnwell {

class TPOP3Account;
class TQtMessageDialogs;

// "Account Properties": every setting of one account on the tabs its kind has. OK checks the
// required fields and the port numbers, keeping the dialog open on the first that fails, and
// writes the account's fields; saving them is the caller's. Cancel leaves the account as it
// was, except what the outgoing-server login dialog wrote and an interval raised to the
// account's minimum.
class TAccountDlg : public QDialog {
  Q_OBJECT

 public:
  // The help topics of the dialog and of its tabs.
  static constexpr int kHelpTopic = 1387;
  static constexpr int kGeneralTopic = 1341;
  static constexpr int kServersTopic = 1342;
  static constexpr int kConnectionTopic = 1344;
  static constexpr int kCheckingTopic = 1345;
  static constexpr int kEventsTopic = 1346;
  static constexpr int kAdvancedTopic = 1347;

  TAccountDlg(TAccount& account, TQtMessageDialogs& dialogs, QWidget* parent = nullptr);

  // What "&Help" opens, given the topic of the tab showing; without it the button is disabled.
  void SetHelp(std::function<void(int topic)> help);

  [[nodiscard]] TAccount& EditedAccount() const { return account_; }
  // The events as the dialog will store them.
  [[nodiscard]] const TEmailEvents& EventsCopy() const { return events_; }

  void accept() override;

 private:
  QWidget* MakeGeneralTab();
  QWidget* MakeServersTab(const TPOP3Account& account);
  QWidget* MakeConnectionTab();
  QWidget* MakeCheckingTab();
  QWidget* MakeEventsTab();
  QWidget* MakeAdvancedTab(const TPOP3Account& account);
  void AddTab(QWidget* page, const QString& caption, int topic);

  void LoadConnection();
  void LoadChecking();
  // Either radio button of the connection type.
  void ApplyTypeRule();
  // The dial-up box.
  void ApplyDialUsingRule();
  void ShowEntryCredentials(int index);
  void ShowEventBoxes();
  void SoundBoxClicked();
  void AppBoxClicked();
  void OpenEventSettings();
  void OpenSmtpLogin();
  void SecurityChosen(QComboBox* security, QLineEdit* port, int& shown,
                      int32_t (*defaultPort)(int32_t));
  void ForgetPin(std::string& pin, QLabel* label, QPushButton* button);

  // The first blank required field or bad port; shows why on its tab and tells whether all
  // passed.
  [[nodiscard]] bool FieldsPass();
  void Refuse(QWidget* field, const std::string& text);
  void Store();

  TAccount& account_;
  TPOP3Account* pop3_;
  TQtMessageDialogs& dialogs_;
  std::function<void(int)> help_;
  TEmailEvents events_;
  // The POP3 and SMTP securities the controls show, and the pins as the dialog will store them.
  int pop3Security_ = 0;
  int smtpSecurity_ = 0;
  std::string pop3Pin_;
  std::string smtpPin_;

  QTabWidget* tabs_;
  QPushButton* helpButton_;
  QLineEdit* edDescription_ = nullptr;
  QLineEdit* edName_ = nullptr;
  QLineEdit* edEmail_ = nullptr;
  QLineEdit* edPOP3Server_ = nullptr;
  QLineEdit* edPOP3UserName_ = nullptr;
  QLineEdit* edPassword_ = nullptr;
  QCheckBox* chkSPA_ = nullptr;
  QLineEdit* edSMTPServer_ = nullptr;
  QRadioButton* rbDirect_ = nullptr;
  QRadioButton* rbDialUp_ = nullptr;
  QCheckBox* chkForceDial_ = nullptr;
  QComboBox* cbConnection_ = nullptr;
  QCheckBox* chkStayConnected_ = nullptr;
  QLabel* lblRasUserName_ = nullptr;
  QLineEdit* edRasUserName_ = nullptr;
  QLabel* lblRasPassword_ = nullptr;
  QLineEdit* edRasPassword_ = nullptr;
  QRadioButton* rbMinutes_ = nullptr;
  QSlider* tbMinutes_ = nullptr;
  QLabel* lblMinutes_ = nullptr;
  QRadioButton* rbHours_ = nullptr;
  QSlider* tbHours_ = nullptr;
  QLabel* lblHours_ = nullptr;
  QRadioButton* rbDaily_ = nullptr;
  QTimeEdit* dtpDaily_ = nullptr;
  QRadioButton* rbManual_ = nullptr;
  QCheckBox* chkOnConnection_ = nullptr;
  QCheckBox* chkOnStartup_ = nullptr;
  QCheckBox* chkSound_ = nullptr;
  QCheckBox* chkApp_ = nullptr;
  QLineEdit* edPOP3Port_ = nullptr;
  QComboBox* cbPOP3Security_ = nullptr;
  QLineEdit* edSMTPPort_ = nullptr;
  QComboBox* cbSMTPSecurity_ = nullptr;
  QSlider* tbTimeout_ = nullptr;
  QLabel* lblTimeout_ = nullptr;
  QLabel* lblPOP3Pin_ = nullptr;
  QPushButton* btnForgetPOP3Pin_ = nullptr;
  QLabel* lblSMTPPin_ = nullptr;
  QPushButton* btnForgetSMTPPin_ = nullptr;
  QCheckBox* chkForceRun_ = nullptr;
};

}  // namespace tarnwell
