#include <gtest/gtest.h>

#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QTest>

#include "app/ui/PasswordDlg.h"
#include "message/SvcString.h"
#include "shell/ui/DlgMessage.h"
#include "tests/ui/UiDriver.h"

namespace tarnwell {
namespace {

using test::Click;
using test::When;
using test::WhenModal;

const std::string kStored = ScramblePassword("Secret word");

QLineEdit* Entry(QWidget* dialog) { return dialog->findChild<QLineEdit*>("edPassword"); }
QPushButton* Ok(QWidget* dialog) { return dialog->findChild<QPushButton*>("btnOK"); }

TEST(PasswordDlgTest, OkIsEnabledOnlyWhileTheEntryHoldsSomething) {
  TQtMessageDialogs dialogs;
  TPasswordDlg dialog(kStored, dialogs);
  EXPECT_EQ(Entry(&dialog)->echoMode(), QLineEdit::Password);
  EXPECT_FALSE(Ok(&dialog)->isEnabled());
  QTest::keyClicks(Entry(&dialog), "x");
  EXPECT_TRUE(Ok(&dialog)->isEnabled());
  QTest::keyClick(Entry(&dialog), Qt::Key_Backspace);
  EXPECT_FALSE(Ok(&dialog)->isEnabled());
  // Return with an empty entry does not end the dialog.
  dialog.show();
  QTest::keyClick(Entry(&dialog), Qt::Key_Return);
  EXPECT_TRUE(dialog.isVisible());
}

TEST(PasswordDlgTest, AWrongPasswordIsSaidSoAndTheRightOneOpens) {
  TQtMessageDialogs dialogs;
  std::vector<QString> messages;
  std::vector<QString> entriesAfter;
  bool secondAsk = true;
  QWidget* passwordDialog = nullptr;
  // Each wrong try: the message over the dialog, answered, then the next try.
  const std::function<void(const QString&, std::function<void()>)> attempt =
      [&](const QString& typed, std::function<void()> next) {
        QTest::keyClicks(Entry(passwordDialog), typed);
        WhenModal(
            [&, next](QWidget* message) {
              messages.push_back(message->findChild<QLabel*>("lblMessage")->text());
              EXPECT_EQ(message->parentWidget(), passwordDialog);
              // Gone once the dialog has taken the answer and gone on.
              const QPointer<QWidget> shown(message);
              Click(message, "btnOK");
              When([shown] { return shown.isNull(); },
                   [&, next] {
                     entriesAfter.push_back(Entry(passwordDialog)->text());
                     next();
                   });
            },
            passwordDialog);
        Click(passwordDialog, "btnOK");
      };
  WhenModal([&](QWidget* dialog) {
    passwordDialog = dialog;
    secondAsk = TPasswordDlg::Ask(kStored, dialogs);
    EXPECT_TRUE(TPasswordDlg::IsOpen());
    attempt("Wrong", [&] {
      attempt("secret word", [&] {
        EXPECT_TRUE(passwordDialog->isVisible());
        QTest::keyClicks(Entry(passwordDialog), "Secret word");
        Click(passwordDialog, "btnOK");
      });
    });
  });
  EXPECT_TRUE(TPasswordDlg::Ask(kStored, dialogs));
  EXPECT_FALSE(secondAsk);
  EXPECT_FALSE(TPasswordDlg::IsOpen());
  const QString text = QStringLiteral("The password is incorrect.\nPlease try again.");
  EXPECT_EQ(messages, (std::vector<QString>{text, text}));
  EXPECT_EQ(entriesAfter, (std::vector<QString>{QString(), QString()}));
}

TEST(PasswordDlgTest, CancellingOrEscapeAnswersFalse) {
  TQtMessageDialogs dialogs;
  WhenModal([](QWidget* dialog) { Click(dialog, "btnCancel"); });
  EXPECT_FALSE(TPasswordDlg::Ask(kStored, dialogs));
  WhenModal([](QWidget* dialog) {
    QTest::keyClicks(Entry(dialog), "Secret word");
    QTest::keyClick(dialog, Qt::Key_Escape);
  });
  EXPECT_FALSE(TPasswordDlg::Ask(kStored, dialogs));
  EXPECT_FALSE(TPasswordDlg::IsOpen());
}

}  // namespace
}  // namespace tarnwell
