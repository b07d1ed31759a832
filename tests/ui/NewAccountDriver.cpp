#include "tests/ui/NewAccountDriver.h"

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>

#include "shell/ui/DlgMessage.h"
#include "tests/ui/UiDriver.h"

namespace tarnwell::test {

TWizardEntry CompleteEntry() {
  return {{"edDescription", "Home"},
          {"edName", "Pat Doe"},
          {"edEmail", "pat.doe@example.com"},
          {"edPop3Server", "pop.example.com"},
          {"edSmtpServer", "smtp.example.com"},
          {"edUserName", "pat.doe"},
          {"edPassword", "s3cret"}};
}

void Enter(TNewAccountDlg& wizard, const TWizardEntry& entry) {
  for (const auto& [name, value] : entry) {
    const QString objectName = QString::fromStdString(name);
    const QString text = QString::fromStdString(value);
    if (auto* field = wizard.findChild<QLineEdit*>(objectName)) {
      field->setText(text);
    } else if (auto* choice = wizard.findChild<QComboBox*>(objectName)) {
      const int index = choice->findText(text);
      ASSERT_GE(index, 0) << name << " " << value;
      choice->setCurrentIndex(index);
    } else if (auto* box = wizard.findChild<QCheckBox*>(objectName)) {
      box->setChecked(value == "yes");
    } else {
      FAIL() << "no field " << name;
    }
  }
}

void PressNext(TNewAccountDlg& wizard) { Click(&wizard, QStringLiteral("btnNext")); }

std::string NextRefused(TNewAccountDlg& wizard) {
  std::string said;
  WhenModal(
      [&said](QWidget* box) {
        said = static_cast<TMessageDlg*>(box)->ShownText().toStdString();
        static_cast<QDialog*>(box)->accept();
      },
      &wizard);
  PressNext(wizard);
  return said;
}

void GoTo(TNewAccountDlg& wizard, TNewAccountDlg::TPage page) {
  while (wizard.CurrentPage() < page) {
    const TNewAccountDlg::TPage before = wizard.CurrentPage();
    PressNext(wizard);
    ASSERT_NE(wizard.CurrentPage(), before) << "stopped on page " << before;
  }
  ASSERT_EQ(wizard.CurrentPage(), page);
}

std::string LabelText(const QWidget& window, const char* name) {
  const auto* label = window.findChild<QLabel*>(QString::fromLatin1(name));
  if (!label) return "(no label " + std::string(name) + ")";
  QString text = label->text();
  text.remove(QChar(0x200B));
  text.replace(QLatin1Char('\n'), QLatin1Char('\r'));
  return text.toStdString();
}

}  // namespace tarnwell::test
