#pragma once

#include <QDialog>
#include <bitset>
#include <functional>
#include <initializer_list>
#include <map>
#include <memory>
#include <string>
#include <vector>

class QCheckBox;
class QComboBox;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QStackedWidget;

namespace tarnwell {

class TAccount;
class TAccountList;
class TPOP3Account;
class TQtMessageDialogs;

// "New Account Wizard": one page at a time, the description, the user's name and address, the
// servers with their security, the user name and password, the dial-up connection, a test of
// the account, and on Finish a new POP3 account that is not yet in the account list.
//
// Only the pages that apply to the account kinds there are exist: POP3 is the one kind, so the
// type page, which would offer a single choice, is left out with the pages of the other kinds;
// with no accounts found in other mail programs to offer, the wizard starts at the description.
class TNewAccountDlg : public QDialog {
  Q_OBJECT

 public:
  // The pages by number, in the order Next visits them.
  enum TPage {
    tsExisting,
    tsPassword,
    tsDescription,
    tsName,
    tsType,
    tsServers,
    tsUserName,
    tsDialUp,
    tsConnection,
    tsProfile,
    tsTest,
    tsInfo,
    tsWebContacts,
    tsDone,
    kPageCount
  };
  using TPageSet = std::bitset<kPageCount>;

  static constexpr int kHelpTopic = 1380;
  static constexpr int kTellMoreTopic = 1401;
  static constexpr const char* kBlankField = "You cannot leave this field blank.";
  static constexpr const char* kDescriptionExists =
      "An account with this description already exists.";
  static constexpr const char* kInvalidAddress = "This is not a valid e-mail address.";

  // Reads the phone book; refusals show with `dialogs`, owned by the wizard.
  TNewAccountDlg(TAccountList& accounts, TQtMessageDialogs& dialogs, QWidget* parent = nullptr);
  ~TNewAccountDlg() override;

  // First-start mode adds the page that asks to switch off the mail program's own checking.
  void SetFirstStart(bool on);
  // "&Help" and "&Tell me more" open their help topic with this; without it they are disabled.
  void SetHelp(std::function<void(int topic)> help);

  [[nodiscard]] TPage CurrentPage() const { return current_; }
  [[nodiscard]] const TPageSet& Pages() const { return pages_; }
  // The account the fields make now, as Finish and each test build it.
  [[nodiscard]] std::unique_ptr<TPOP3Account> BuildAccount() const;
  // The account built on Finish; none before, or after Cancel.
  [[nodiscard]] std::unique_ptr<TAccount> TakeAccount();

  void Next();
  void Back();
  // "&Test now": tests the account the fields make, with the wizard disabled meanwhile.
  void TestNow();

 private:
  QWidget* NewPage(TPage page, std::initializer_list<const char*> texts);
  void BuildDescriptionPage();
  void BuildNamePage();
  void BuildServersPage();
  void BuildUserNamePage();
  void BuildDialUpPages();
  void BuildTestPage();
  void BuildInfoPage();
  void BuildDonePage();

  // Removes the dial-up pages the phone book does not allow and chooses the connection.
  void ReadPhoneBook();
  void ConnectionChosen();
  void ShowPage(TPage page);
  // The first field of `fields` that is blank, trimmed: said and focused.
  [[nodiscard]] bool RequireFields(std::initializer_list<QLineEdit*> fields);
  void Refuse(const std::string& text, QLineEdit* field);
  // True when the servers parse; a refusal is said and its field focused.
  [[nodiscard]] bool CheckServers();
  [[nodiscard]] bool DialUpChosen() const;

  TAccountList& accounts_;
  TQtMessageDialogs& dialogs_;
  std::function<void(int topic)> help_;
  TPageSet pages_;
  TPageSet dialPages_;
  TPage current_ = tsDescription;
  TPage start_ = tsDescription;
  std::vector<std::string> phoneBook_;
  // Pins of certificates the user trusted during a test.
  std::string pop3Pin_;
  std::string smtpPin_;
  std::unique_ptr<TAccount> account_;

  QStackedWidget* stack_ = nullptr;
  std::map<TPage, QWidget*> sheets_;
  QLineEdit* description_ = nullptr;
  QLineEdit* name_ = nullptr;
  QLineEdit* email_ = nullptr;
  QLineEdit* pop3Server_ = nullptr;
  QLineEdit* smtpServer_ = nullptr;
  QComboBox* pop3Security_ = nullptr;
  QComboBox* smtpSecurity_ = nullptr;
  QCheckBox* smtpAuth_ = nullptr;
  QLineEdit* userName_ = nullptr;
  QLineEdit* password_ = nullptr;
  QRadioButton* dialUp_ = nullptr;
  QRadioButton* direct_ = nullptr;
  QComboBox* connection_ = nullptr;
  QPushButton* tellMore_ = nullptr;
  QPushButton* back_ = nullptr;
  QPushButton* next_ = nullptr;
  QPushButton* helpButton_ = nullptr;
};

// Runs the wizard over `parent` (centred on the screen at the first start, with its first-start
// mode) and returns the account it built, which the caller adds to `accounts`; none on Cancel.
// `help` opens a help topic; without it there is no help.
[[nodiscard]] std::unique_ptr<TAccount> RunNewAccountWizard(
    TAccountList& accounts, bool firstStart, QWidget* parent,
    const std::function<void(int topic)>& help = {});

}  // namespace tarnwell
