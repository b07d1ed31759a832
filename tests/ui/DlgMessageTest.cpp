#include <gtest/gtest.h>

#include <QApplication>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QTest>
#include <QTextBoundaryFinder>
#include <optional>
#include <random>

#include "shell/ui/AboutBox.h"
#include "shell/ui/DlgMessage.h"
#include "shell/ui/WindowPlacement.h"
#include "tests/ui/UiDriver.h"

namespace tarnwell {
namespace {

using test::Click;
using test::WhenModal;

// The rule as it is worded: "..." appended, then the characters in front of it taken away one
// by one until the text fits.
QString FitOneByOne(const QString& text, const QFontMetrics& metrics, int width) {
  const auto fits = [&](const QString& t) {
    return WrappedSize(t, metrics, width).width() <= width;
  };
  if (fits(text)) return text;
  QString kept = text;
  while (!kept.isEmpty() && !fits(kept + "...")) {
    QTextBoundaryFinder finder(QTextBoundaryFinder::Grapheme, kept);
    finder.toEnd();
    kept.truncate(finder.toPreviousBoundary());
  }
  return kept + "...";
}

TEST(MessageDlgTest, ALabelTooNarrowForAWordLosesItsEndBehindDots) {
  const QFont font(QStringLiteral("DejaVu Sans"), 9);
  const QFontMetrics metrics(font);
  const QString longWord = QStringLiteral("https://example.com/") + QString(60, QLatin1Char('x'));
  const QString texts[] = {
      QStringLiteral("Short."),
      QStringLiteral("Many short words that wrap onto several lines without any trouble at all, "
                     "however narrow the label is made."),
      longWord,
      QStringLiteral("The file could not be written:\n") + longWord + QStringLiteral(" (ID: 7)"),
      // Graphemes of two code units: a combining accent and a character beyond the BMP.
      QStringLiteral(u"Überweisung e\u0301 ") + QString(40, QChar(0x00E9)) +
          QStringLiteral(u"\U0001F600\U0001F600\U0001F600"),
  };
  for (const QString& text : texts) {
    for (const int width : {40, 90, 150, 280}) {
      const QString fitted = FitLabelText(text, metrics, width);
      EXPECT_EQ(fitted, FitOneByOne(text, metrics, width)) << text.toStdString() << " " << width;
      if (fitted != text) {
        ASSERT_TRUE(fitted.endsWith(QStringLiteral("...")));
        const QString front = fitted.chopped(3);
        EXPECT_TRUE(text.startsWith(front));
        EXPECT_FALSE(front.endsWith(QChar(0xD83D))) << "a surrogate pair was cut";
      }
    }
  }
  EXPECT_EQ(FitLabelText(texts[1], metrics, 150), texts[1]);
  // Texts of words, blanks, breaks and pieces of addresses, drawn the same way at every run.
  const QString pieces[] = {
      "a", "word",   " ",   "  ",  "\n", "-",     "/",      "example.com",
      "é", "日本語", "(x)", "...", "\t", "ab-cd", "\u00a0", QString(30, QLatin1Char('m'))};
  std::mt19937 random(16);
  for (int n = 0; n < 1000; ++n) {
    QString text;
    const int count = 1 + static_cast<int>(random() % 12);
    for (int i = 0; i < count; ++i) text += pieces[random() % std::size(pieces)];
    const int width = 10 + static_cast<int>(random() % 200);
    EXPECT_EQ(FitLabelText(text, metrics, width), FitOneByOne(text, metrics, width))
        << text.toStdString() << " " << width;
  }
  EXPECT_EQ(FitLabelText(longWord, metrics, 5), QStringLiteral("..."));
}

TEST(MessageDlgTest, TextsBreakAtCarriageReturnsAndSizeTheDialog) {
  EXPECT_EQ(DialogText("One.\r\rTwo,\r\nthree."), QStringLiteral("One.\n\nTwo,\nthree."));
  EXPECT_EQ(DialogText("caf\xE9"), QStringLiteral(u"café"));

  TMessageDlg shortOne(QStringLiteral("Done."));
  EXPECT_EQ(shortOne.height(), 100);
  TMessageDlg tall(DialogText("1\r2\r3\r4\r5\r6\r7\r8\r9"));
  auto* label = tall.findChild<QLabel*>(QStringLiteral("lblMessage"));
  ASSERT_NE(label, nullptr);
  EXPECT_EQ(label->text(), QStringLiteral("1\n2\n3\n4\n5\n6\n7\n8\n9"));
  const int textHeight =
      WrappedSize(label->text(), QFontMetrics(label->font()), label->width()).height();
  EXPECT_GT(textHeight + 32, 100);
  EXPECT_EQ(tall.height(), textHeight + 32);
  EXPECT_EQ(label->height(), textHeight);

  // Plain text: an address in angle brackets is no markup.
  TMessageDlg address(QStringLiteral("<b>ann@example.org</b> ") + QString(200, QLatin1Char('w')));
  auto* shown = address.findChild<QLabel*>(QStringLiteral("lblMessage"));
  EXPECT_EQ(shown->textFormat(), Qt::PlainText);
  EXPECT_TRUE(address.ShownText().startsWith(QStringLiteral("<b>ann@example.org</b> ww")));
  EXPECT_TRUE(address.ShownText().endsWith(QStringLiteral("w...")));
  EXPECT_LE(WrappedSize(address.ShownText(), QFontMetrics(shown->font()), shown->width()).width(),
            shown->width());
}

TEST(MessageDlgTest, EachKindHasItsCaptionIconAndButtons) {
  struct TCase {
    const char* kind;
    std::unique_ptr<TMessageDlg> dialog;
    QString caption;
    QStyle::StandardPixmap icon;
    QStringList buttons;
  };
  TCase cases[] = {
      {"information",
       std::make_unique<TMessageDlg>("Text"),
       "Halvora Tarnwell",
       QStyle::SP_MessageBoxInformation,
       {"OK"}},
      {"confirmation",
       std::make_unique<TConfirmDlg>("Text"),
       "Confirm",
       QStyle::SP_MessageBoxQuestion,
       {"&Yes", "&No"}},
      {"warning",
       std::make_unique<TWarningDlg>("Text"),
       "Halvora Tarnwell",
       QStyle::SP_MessageBoxWarning,
       {"OK"}},
      {"error",
       std::make_unique<TWarningDlg>("Text", true),
       "Halvora Tarnwell",
       QStyle::SP_MessageBoxCritical,
       {"OK"}},
  };
  for (TCase& c : cases) {
    TMessageDlg& dialog = *c.dialog;
    EXPECT_EQ(dialog.windowTitle(), c.caption) << c.kind;
    EXPECT_TRUE(dialog.isModal()) << c.kind;
    auto* image = dialog.findChild<QLabel*>(QStringLiteral("imgIcon"));
    ASSERT_NE(image, nullptr);
    const QImage expected =
        dialog.style()->standardIcon(c.icon, nullptr, &dialog).pixmap(32, 32).toImage();
    EXPECT_EQ(image->pixmap().toImage(), expected) << c.kind;
    QStringList captions;
    for (const QPushButton* button : dialog.findChildren<QPushButton*>())
      captions << button->text();
    EXPECT_EQ(captions, c.buttons) << c.kind;
    EXPECT_TRUE(dialog.findChildren<QPushButton*>().front()->isDefault()) << c.kind;
  }
}

TEST(MessageDlgTest, ConfirmationsAnswerByButtonEscapeClosingAndTime) {
  TQtMessageDialogs dialogs;
  const std::function<void(QWidget*)> answers[] = {
      [](QWidget* d) { Click(d, "btnYes"); },
      [](QWidget* d) { Click(d, "btnNo"); },
      [](QWidget* d) { QTest::keyClick(d, Qt::Key_Escape); },
      [](QWidget* d) { d->close(); },
      [](QWidget* d) { QTest::keyClick(d, Qt::Key_Return); },
  };
  const int expected[] = {caYes, caNo, caNo, caNo, caYes};
  for (size_t i = 0; i < std::size(answers); ++i) {
    WhenModal(answers[i]);
    EXPECT_EQ(dialogs.Confirm("Delete?"), expected[i]) << i;
    WhenModal(answers[i]);
    EXPECT_EQ(dialogs.ConfirmTimed("Delete?"), expected[i]) << i;
  }
  EXPECT_EQ(dialogs.ConfirmTimeoutMs, 30000);
  // Unanswered, the timed one closes itself.
  dialogs.ConfirmTimeoutMs = 1;
  EXPECT_EQ(dialogs.ConfirmTimed("Delete?"), caUnanswered);
}

TEST(MessageDlgTest, DialogsGoToTheirOwnerOrWhereTheirKindSays) {
  const QScreen* screen = QGuiApplication::primaryScreen();
  const QRect free = screen->availableGeometry();
  const auto corner = [&](QWidget* d) {
    return TaskbarCornerPosition(screen->geometry(), free, d->frameGeometry().size());
  };
  const auto middle = [&](QWidget* d) { return CentredPosition(free, d->frameGeometry().size()); };
  QWidget owner;
  owner.setGeometry(40, 30, 500, 400);
  owner.show();
  const auto onOwner = [&](QWidget* d) {
    return CentredPosition(owner.frameGeometry(), d->frameGeometry().size());
  };

  TQtMessageDialogs dialogs;
  struct TCase {
    const char* what;
    std::function<void()> show;
    std::function<QPoint(QWidget*)> place;
    QString caption;
  };
  const TCase cases[] = {
      {"info", [&] { dialogs.ShowInfo("Text"); }, corner, "Halvora Tarnwell"},
      {"info over", [&] { dialogs.ShowInfo("Text", &owner); }, onOwner, "Halvora Tarnwell"},
      {"confirm", [&] { dialogs.Confirm("Text"); }, corner, "Confirm"},
      {"confirm over", [&] { dialogs.Confirm("Text", &owner); }, onOwner, "Confirm"},
      {"timed", [&] { dialogs.ConfirmTimed("Text"); }, corner, "Confirm"},
      {"warning", [&] { dialogs.ShowWarning("Text"); }, middle, "Halvora Tarnwell"},
      {"warning over", [&] { dialogs.ShowWarning("Text", &owner); }, onOwner, "Halvora Tarnwell"},
      {"error", [&] { dialogs.ShowError("Text"); }, middle, "Halvora Tarnwell"},
      {"error over", [&] { dialogs.ShowErrorOver("Text", &owner); }, onOwner, "Halvora Tarnwell"},
      {"error over nothing", [&] { dialogs.ShowErrorOver("Text", nullptr); }, corner,
       "Halvora Tarnwell"},
  };
  for (const TCase& c : cases) {
    std::optional<QPoint> position;
    std::optional<QPoint> expected;
    QString caption;
    WhenModal([&](QWidget* d) {
      position = d->pos();
      expected = c.place(d);
      caption = d->windowTitle();
      QTest::keyClick(d, Qt::Key_Escape);
    });
    c.show();
    ASSERT_TRUE(position.has_value()) << c.what;
    EXPECT_EQ(*position, *expected) << c.what;
    EXPECT_EQ(caption, c.caption) << c.what;
  }
}

TEST(MessageDlgTest, AnOwnerThatGoesAwayTakesItsDialogWithIt) {
  TQtMessageDialogs dialogs;
  auto* owner = new QWidget;
  owner->show();
  WhenModal([owner](QWidget*) { delete owner; });
  EXPECT_EQ(dialogs.Confirm("Still there?", owner), caNo);
  EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
}

TEST(MessageDlgTest, TheWaitWindowKeepsItsOwnerDisabledWhileItShows) {
  TQtMessageDialogs dialogs;
  QWidget owner;
  owner.setGeometry(100, 100, 600, 400);
  owner.show();
  dialogs.ShowWait(&owner);
  TWaitDlg* wait = dialogs.WaitWindow();
  ASSERT_NE(wait, nullptr);
  EXPECT_TRUE(wait->isVisible());
  EXPECT_FALSE(owner.isEnabled());
  EXPECT_EQ(wait->windowTitle(), QStringLiteral(" Halvora Tarnwell"));
  EXPECT_TRUE(wait->windowFlags().testFlag(Qt::WindowStaysOnTopHint));
  EXPECT_EQ(wait->windowType(), Qt::Tool);
  EXPECT_EQ(wait->findChild<QLabel*>(QStringLiteral("lblWait"))->text(),
            QStringLiteral("Please wait..."));
  EXPECT_TRUE(wait->isEnabled());
  EXPECT_EQ(wait->pos(), CentredPosition(owner.frameGeometry(), wait->frameGeometry().size()));

  dialogs.ShowWait(&owner, "Sending complaints...");
  EXPECT_EQ(dialogs.WaitWindow()->findChild<QLabel*>(QStringLiteral("lblWait"))->text(),
            QStringLiteral("Sending complaints..."));
  EXPECT_FALSE(owner.isEnabled());
  dialogs.HideWait();
  EXPECT_EQ(dialogs.WaitWindow(), nullptr);
  EXPECT_TRUE(owner.isEnabled());
  dialogs.HideWait();
  EXPECT_TRUE(owner.isEnabled());
}

TEST(MessageDlgTest, TheAboutBoxShowsTheVersionAboveEveryWindow) {
  TQtMessageDialogs dialogs;
  QWidget mainWindow;
  mainWindow.setGeometry(50, 60, 640, 480);
  QWidget* shownMain = nullptr;
  dialogs.MainWindow = [&] { return shownMain; };
  const QScreen* screen = QGuiApplication::primaryScreen();

  struct TSeen {
    QString version;
    bool onTop = false;
    bool showing = false;
    QWidget* parent = nullptr;
    QPoint position;
    QPoint expected;
  };
  const auto answer = [&](TSeen& seen, const std::function<QPoint(QWidget*)>& place) {
    WhenModal([&, place](QWidget* d) {
      seen.version = d->findChild<QLabel*>(QStringLiteral("lblVersion"))->text();
      seen.onTop = d->windowFlags().testFlag(Qt::WindowStaysOnTopHint);
      seen.showing = dialogs.IsAboutShowing();
      seen.parent = d->parentWidget();
      seen.position = d->pos();
      seen.expected = place(d);
      Click(d, "btnOK");
    });
  };

  TSeen fromTray;
  answer(fromTray, [&](QWidget* d) {
    return TaskbarCornerPosition(screen->geometry(), screen->availableGeometry(),
                                 d->frameGeometry().size());
  });
  dialogs.ShowAbout("Version 1.0.0.1", true);
  EXPECT_EQ(fromTray.version, QStringLiteral("Version 1.0.0.1"));
  EXPECT_TRUE(fromTray.onTop);
  EXPECT_TRUE(fromTray.showing);
  EXPECT_FALSE(dialogs.IsAboutShowing());
  EXPECT_EQ(fromTray.position, fromTray.expected);

  // A main window that is not shown counts as none: the box goes to the middle of the screen.
  shownMain = &mainWindow;
  TSeen overDesktop;
  answer(overDesktop, [&](QWidget* d) {
    return CentredPosition(screen->availableGeometry(), d->frameGeometry().size());
  });
  dialogs.ShowAbout("Version 1.0.0.1", false);
  EXPECT_EQ(overDesktop.parent, nullptr);
  EXPECT_EQ(overDesktop.position, overDesktop.expected);

  mainWindow.show();
  TSeen overMain;
  answer(overMain, [&](QWidget* d) {
    return CentredPosition(mainWindow.frameGeometry(), d->frameGeometry().size());
  });
  dialogs.ShowAbout("Version 1.0.0.1", false);
  EXPECT_EQ(overMain.parent, &mainWindow);
  EXPECT_EQ(overMain.position, overMain.expected);
  EXPECT_FALSE(dialogs.IsAboutShowing());
}

}  // namespace
}  // namespace tarnwell
