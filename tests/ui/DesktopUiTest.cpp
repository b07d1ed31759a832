#include <gtest/gtest.h>

#include <QApplication>
#include <QTimer>
#include <string>
#include <vector>

#include "app/ui/DesktopUi.h"
#include "shell/ProgramFolders.h"
#include "shell/ui/DlgMessage.h"
#include "shell/ui/TrayIcon.h"
#include "tests/support/TestSupport.h"

namespace tarnwell {
namespace {

// The offscreen desktop has no tray. A first start there is told so, and told how to add an
// account, instead of ending without a word or running unseen.
TEST(DesktopSessionTest, AFirstStartWithoutATraySaysSoAndHowToAddAnAccount) {
  ASSERT_FALSE(TQtTrayIcon::TrayAvailable());
  test::TTempDir home;
  TProgramFolders::SetProgramFolder(home.Path());
  std::vector<QString> seen;
  QTimer answer;
  answer.setInterval(20);
  QObject::connect(&answer, &QTimer::timeout, [&] {
    if (auto* dialog = qobject_cast<TMessageDlg*>(QApplication::activeModalWidget())) {
      seen.push_back(dialog->ShownText());
      dialog->accept();
    }
  });
  answer.start();
  int status = -1;
  {
    TDesktopSession session;
    status = session.Run({});
  }
  EXPECT_EQ(status, 2);
  std::vector<QString> expected{DialogText(kNoTrayWarning), DialogText(kNoAccountsYet)};
  std::sort(seen.begin(), seen.end());
  std::sort(expected.begin(), expected.end());
  EXPECT_EQ(seen, expected);
}

}  // namespace
}  // namespace tarnwell
