#include <gtest/gtest.h>

#include <QCheckBox>
#include <QLineEdit>

#include "accounts/ui/DlgAuthSMTP.h"
#include "tests/ui/UiDriver.h"
#include "transport/SMTPInfo.h"

namespace tarnwell {
namespace {

struct TLoginControls {
  QCheckBox* auth;
  QLineEdit* user;
  QLineEdit* password;
  QCheckBox* spa;
};

TLoginControls Controls(const TAuthSTMPDlg& dialog) {
  return {dialog.findChild<QCheckBox*>(QStringLiteral("chkSMTPAuth")),
          dialog.findChild<QLineEdit*>(QStringLiteral("edSMTPAuthUser")),
          dialog.findChild<QLineEdit*>(QStringLiteral("edSMTPAuthPass")),
          dialog.findChild<QCheckBox*>(QStringLiteral("chkSMTPSPA"))};
}

TEST(DlgAuthSMTPTest, ShowsTheLoginAndTheBoxEnablesItsFields) {
  for (const bool auth : {false, true}) {
    TSMTPInfo info;
    info.SMTPAuth = auth;
    info.SMTPAuthUser = "pat";
    info.SMTPAuthPass = "secret";
    info.SMTPSPA = true;
    TAuthSTMPDlg dialog(info);
    dialog.show();
    EXPECT_EQ(dialog.windowTitle(), QStringLiteral("Advanced options"));
    const TLoginControls c = Controls(dialog);
    EXPECT_EQ(c.auth->text(), QStringLiteral("The &server requires authentication"));
    EXPECT_EQ(c.auth->isChecked(), auth);
    EXPECT_EQ(c.user->text(), QStringLiteral("pat"));
    EXPECT_EQ(c.password->text(), QStringLiteral("secret"));
    EXPECT_EQ(c.password->echoMode(), QLineEdit::Password);
    EXPECT_TRUE(c.spa->isChecked());
    // Showing enables the two fields only; each click takes the secure-password box along.
    EXPECT_EQ(c.user->isEnabled(), auth);
    EXPECT_EQ(c.password->isEnabled(), auth);
    EXPECT_TRUE(c.spa->isEnabled());
    for (const bool on : {!auth, auth}) {
      c.auth->click();
      EXPECT_EQ(c.user->isEnabled(), on);
      EXPECT_EQ(c.password->isEnabled(), on);
      EXPECT_EQ(c.spa->isEnabled(), on);
    }
  }
}

TEST(DlgAuthSMTPTest, OkWritesTheLoginTrimmedAndCancelNothing) {
  for (const bool ok : {false, true}) {
    TSMTPInfo info;
    TAuthSTMPDlg dialog(info);
    dialog.show();
    const TLoginControls c = Controls(dialog);
    c.auth->click();
    c.user->setText(QStringLiteral("  pat "));
    c.password->setText(QStringLiteral(" secret  "));
    c.spa->setChecked(true);
    test::Click(&dialog, ok ? QStringLiteral("btnOK") : QStringLiteral("btnCancel"));
    EXPECT_EQ(info.SMTPAuth, ok);
    EXPECT_EQ(info.SMTPAuthUser, ok ? "pat" : "");
    EXPECT_EQ(info.SMTPAuthPass, ok ? "secret" : "");
    EXPECT_EQ(info.SMTPSPA, ok);
  }
}

}  // namespace
}  // namespace tarnwell
