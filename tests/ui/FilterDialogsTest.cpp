#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <array>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "filtering/FilterChecks.h"
#include "filtering/Filters.h"
#include "filtering/ui/DlgMultipleFlt.h"
#include "filtering/ui/FilterDialogs.h"
#include "filtering/ui/FilterDlg.h"
#include "filtering/ui/SpeedPopUp.h"
#include "platform/Files.h"
#include "shell/ui/DlgMessage.h"
#include "tests/program/CommandRunner.h"
#include "tests/support/program/ProgramEnvironment.h"
#include "tests/ui/UiDriver.h"

namespace tarnwell {
namespace {

using Texts = std::vector<std::string>;
using TFill = std::function<void(QWidget&)>;

template <typename T>
T* Child(const QWidget& window, const char* name) {
  auto* child = window.findChild<T*>(QString::fromLatin1(name));
  EXPECT_NE(child, nullptr) << name;
  return child;
}

void Choose(QWidget& window, const char* list, uint8_t code) {
  auto* combo = Child<QComboBox>(window, list);
  const int index = combo->findData(code);
  ASSERT_GE(index, 0) << list << " lacks " << int(code);
  combo->setCurrentIndex(index);
}

void Type(QWidget& window, const char* edit, const char* text) {
  Child<QLineEdit>(window, edit)->setText(QString::fromUtf8(text));
}

void TypeHeader(QWidget& window, const char* name) {
  Child<QComboBox>(window, "cbHeader")->setEditText(QString::fromUtf8(name));
}

// Ticks (or unticks) the header `name` in "Look in...", as a click on its box does.
void Tick(QWidget& window, const char* name, bool ticked) {
  const auto found = Child<QListWidget>(window, "clbHeaders")
                         ->findItems(QString::fromLatin1(name), Qt::MatchExactly);
  ASSERT_EQ(found.size(), 1) << name;
  found.front()->setCheckState(ticked ? Qt::Checked : Qt::Unchecked);
}

// The codes a condition list offers, in its order.
std::vector<int> Offered(const QWidget& window, const char* list) {
  std::vector<int> codes;
  const auto* combo = Child<QComboBox>(window, list);
  for (int i = 0; i < combo->count(); ++i) codes.push_back(combo->itemData(i).toInt());
  return codes;
}

// Each control named: "+" enabled or "-" disabled, then "*" for a ticked box.
std::string States(const QWidget& window, const std::vector<const char*>& names) {
  std::string states;
  for (const char* name : names) {
    const auto* control = Child<QWidget>(window, name);
    if (!states.empty()) states += " ";
    states += std::string(name) + (control->isEnabled() ? "+" : "-");
    if (const auto* box = qobject_cast<const QCheckBox*>(control); box && box->isChecked())
      states += "*";
  }
  return states;
}

// The filter's record, to tell whether anything in it changed.
std::array<uint8_t, kFilterRecordSize> Record(const TFilter& filter) {
  std::array<uint8_t, kFilterRecordSize> record{};
  filter.WriteRecord(record.data());
  return record;
}

// What the dialogs edit, in one line.
std::string Fields(const TFilter& filter) {
  return std::to_string(filter.Condition1) + " '" + filter.Text1() + "' " +
         std::to_string(filter.Condition2) + " '" + filter.Text2() + "' case " +
         std::to_string(filter.CaseMatters) + " action " + std::to_string(filter.Action) + " to " +
         std::to_string(filter.Recipients) + " headers " + std::to_string(filter.Headers) +
         " options " + std::to_string(filter.Options);
}

constexpr uint32_t Bit(int number) { return 1u << number; }

TEST(EditedTextTest, UntouchedTextKeepsItsBytesAndTypedTextIsUtf8CutToWholeCharacters) {
  const QString e = QStringLiteral("\u00e9");
  const std::string utf8 = "\xc3\xa9";
  const struct {
    QString shown;
    std::string original;
    std::string bytes;
  } cases[] = {
      {QStringLiteral("caf") + e, "caf\xe9", "caf\xe9"},
      {QStringLiteral("caf") + e + QStringLiteral("s"), "caf\xe9", "caf" + utf8 + "s"},
      {e.repeated(30), "",
       [&] {
         std::string cut;
         for (int i = 0; i < 25; ++i) cut += utf8;
         return cut;
       }()},
      {QStringLiteral("a") + e.repeated(30), "",
       [&] {
         std::string cut = "a";
         for (int i = 0; i < 24; ++i) cut += utf8;
         return cut;
       }()},
  };
  for (const auto& c : cases)
    EXPECT_EQ(EditedText(c.shown, c.original), c.bytes) << c.shown.toStdString();
}

class FilterDialogTest : public ::testing::Test, protected test::TProgramEnvironment {
 protected:
  FilterDialogTest() {
    settings.ComplainAddr = rcAbuse | rcPostmaster;
    settings.RemoveAddr = rcReplyTo | rcWebmaster;
    owner.resize(600, 400);
    owner.show();
  }

  // The texts of the message boxes shown while `act` runs, each answered at once.
  static Texts Answered(const std::function<void()>& act) {
    Texts shown;
    QTimer answer;
    answer.setInterval(0);
    QObject::connect(&answer, &QTimer::timeout, [&shown] {
      if (auto* box = qobject_cast<TMessageDlg*>(QApplication::activeModalWidget())) {
        shown.push_back(box->ShownText().toStdString());
        box->done(0);
      }
    });
    answer.start();
    act();
    return shown;
  }

  // The dialog of `filter`'s kind, showing.
  std::unique_ptr<QDialog> Open(TFilter& filter, bool isNew = false) {
    std::unique_ptr<QDialog> dialog = FilterDialogFor(filter, isNew, &owner);
    EXPECT_NE(dialog, nullptr);
    if (dialog) dialog->show();
    return dialog;
  }

  // Runs the filter's dialog through the entry point: `fill`, then OK or Cancel.
  bool Edit(TFilter& filter, const TFill& fill, const char* button) {
    test::WhenModal([&](QWidget* dialog) {
      fill(*dialog);
      test::Click(dialog, QString::fromLatin1(button));
    });
    return EditFilter(filter, false, &owner);
  }

  QWidget owner;
};

TEST_F(FilterDialogTest, EachKindHasItsDialogWithItsConditionsInOrder) {
  const struct {
    uint8_t kind;
    const char* caption;
    const char* list;
    std::vector<int> conditions;
  } kinds[] = {
      {fkSender,
       "Sender filter",
       "cbUser",
       {0, 3, 4, 5, 6, 7, 8, 9, 14, 10, 11, 12, 13, 15, 16, 17}},
      {fkSubject, "Subject filter", "cbCondition", {3, 4, 5, 6, 8, 9, 10, 11, 12, 2, 17}},
      {fkText, "Message text filter", "cbCondition", {3, 4, 5, 12, 17}},
      {fkHeader,
       "Header filter",
       "cbCondition",
       {3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 1, 2, 14, 15, 16, 17}},
  };
  for (const auto& k : kinds) {
    std::unique_ptr<TFilter> filter = CreateFilterOfKind(k.kind);
    const std::unique_ptr<QDialog> dialog = Open(*filter);
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(dialog->windowTitle().toStdString(), k.caption);
    EXPECT_EQ(Offered(*dialog, k.list), k.conditions) << k.caption;
    const auto* actions = Child<QComboBox>(*dialog, "cbReaction");
    QStringList names;
    for (int i = 0; i < actions->count(); ++i) names << actions->itemText(i);
    EXPECT_EQ(names.join(QLatin1Char('|')),
              QStringLiteral("Accept|Mark, but do not kill|Kill|Kill after complaining|Kill "
                             "after error message"));
    EXPECT_EQ(Child<QLineEdit>(*dialog, k.kind == fkSender ? "edUser" : "edCondition")->maxLength(),
              50);
  }
  EXPECT_EQ(Offered(*Open(*CreateFilterOfKind(fkSender)), "cbDomain"),
            Offered(*Open(*CreateFilterOfKind(fkSender)), "cbUser"));
  for (const uint8_t kind : {fkFriend, fkCountry}) {
    std::unique_ptr<TFilter> filter = CreateFilterOfKind(kind);
    EXPECT_EQ(FilterDialogFor(*filter, false, &owner), nullptr);
    EXPECT_FALSE(EditFilter(*filter, false, &owner));
  }
  // The header dialog offers the standard names and a few more, the first for a new filter.
  THeaderFilter header;
  const std::unique_ptr<QDialog> dialog = Open(header);
  const auto* names = Child<QComboBox>(*dialog, "cbHeader");
  EXPECT_EQ(names->count(), 28);
  EXPECT_EQ(names->currentText(), QStringLiteral("Cc"));
  EXPECT_EQ(names->itemText(27), QStringLiteral("X-Sender"));
  // A listed name is chosen in the list; any other shows as typed.
  header.SetText1("X-Mailer");
  EXPECT_EQ(Child<QComboBox>(*Open(header), "cbHeader")->currentIndex(), 25);
  header.SetText1("x-mailer");
  const std::unique_ptr<QDialog> other = Open(header);
  EXPECT_EQ(Child<QComboBox>(*other, "cbHeader")->currentText(), QStringLiteral("x-mailer"));
}

TEST_F(FilterDialogTest, OkIsRefusedInOrderWithTheFocusOnTheFieldAndTheFilterUntouched) {
  const struct {
    uint8_t kind;
    TFill fill;
    const char* message;
    const char* focus;  // none: the focus stays on OK
  } cases[] = {
      {fkSender,
       [](QWidget& d) {
         Choose(d, "cbUser", cnNone);
         Choose(d, "cbDomain", cnNone);
       },
       kNothingToDoText, nullptr},
      // Nothing to do comes first, then the user's pattern, then the domain's.
      {fkSender,
       [](QWidget& d) {
         Choose(d, "cbUser", cnContains);
         for (const char* name : {"From", "Reply-To", "Return-Path", "Sender", "Errors-To"})
           Tick(d, name, false);
       },
       kNothingToDoText, nullptr},
      {fkSender, [](QWidget& d) { Choose(d, "cbUser", cnContains); }, kBlankFieldText, "edUser"},
      {fkSender,
       [](QWidget& d) {
         Choose(d, "cbUser", cnEquals);
         Type(d, "edUser", "bob");
         Type(d, "edDomain", "   ");
       },
       kBlankFieldText, "edDomain"},
      {fkSubject, [](QWidget& d) { Choose(d, "cbCondition", cnEquals); }, kBlankFieldText,
       "edCondition"},
      {fkText, [](QWidget&) {}, kBlankFieldText, "edCondition"},
      {fkHeader,
       [](QWidget& d) {
         TypeHeader(d, "  ");
         Type(d, "edCondition", "x");
       },
       kBlankFieldText, "cbHeader"},
      {fkHeader, [](QWidget& d) { Type(d, "edCondition", "  "); }, kBlankFieldText, "edCondition"},
  };
  for (const auto& c : cases) {
    std::unique_ptr<TFilter> filter = CreateFilterOfKind(c.kind);
    const auto before = Record(*filter);
    const std::unique_ptr<QDialog> dialog = Open(*filter);
    c.fill(*dialog);
    const Texts shown = Answered([&] { test::Click(dialog.get(), QStringLiteral("btnOK")); });
    EXPECT_EQ(shown, Texts{c.message}) << KindName(c.kind) << " " << c.message;
    EXPECT_TRUE(dialog->isVisible());
    EXPECT_EQ(dialog->focusWidget()->objectName().toStdString(), c.focus ? c.focus : "btnOK")
        << KindName(c.kind) << " " << c.message;
    EXPECT_EQ(Record(*filter), before);
  }
}

TEST_F(FilterDialogTest, PatternsAndCaseMattersFollowTheConditions) {
  const std::vector<const char*> sender = {"edUser", "edDomain", "chkCaseMatters"};
  const std::vector<const char*> single = {"edCondition", "chkCaseMatters"};
  const std::vector<const char*> header = {"edCondition", "chkOnAddress", "chkCaseMatters"};
  const struct {
    uint8_t kind;
    TFill fill;
    std::vector<const char*> controls;
    std::string states;
  } cases[] = {
      {fkSender, [](QWidget&) {}, sender, "edUser- edDomain+ chkCaseMatters+"},
      // Choosing "Is uppercase" ticks "Case matters", which the domain's pattern keeps choosable.
      {fkSender, [](QWidget& d) { Choose(d, "cbUser", cnUppercase); }, sender,
       "edUser- edDomain+ chkCaseMatters+*"},
      {fkSender,
       [](QWidget& d) {
         Choose(d, "cbUser", cnUppercase);
         Choose(d, "cbDomain", cnNumeric);
       },
       sender, "edUser- edDomain- chkCaseMatters-*"},
      {fkSender,
       [](QWidget& d) {
         Choose(d, "cbUser", cnStartsWith);
         Choose(d, "cbDomain", cnBlank);
       },
       sender, "edUser+ edDomain- chkCaseMatters+"},
      {fkSubject, [](QWidget&) {}, single, "edCondition+ chkCaseMatters+"},
      {fkSubject,
       [](QWidget& d) {
         Child<QCheckBox>(d, "chkCaseMatters")->setChecked(true);
         Choose(d, "cbCondition", cnBlank);
       },
       single, "edCondition- chkCaseMatters-"},
      {fkSubject, [](QWidget& d) { Choose(d, "cbCondition", cnUppercase); }, single,
       "edCondition- chkCaseMatters-*"},
      {fkText, [](QWidget& d) { Choose(d, "cbCondition", cnUppercase); }, single,
       "edCondition- chkCaseMatters-*"},
      {fkText, [](QWidget& d) { Choose(d, "cbCondition", cnNotContains); }, single,
       "edCondition+ chkCaseMatters+"},
      {fkHeader, [](QWidget& d) { TypeHeader(d, "from"); }, header,
       "edCondition+ chkOnAddress+ chkCaseMatters+"},
      {fkHeader, [](QWidget& d) { TypeHeader(d, "X-Mailer"); }, header,
       "edCondition+ chkOnAddress- chkCaseMatters+"},
      {fkHeader,
       [](QWidget& d) {
         TypeHeader(d, "Reply-To");
         Choose(d, "cbCondition", cnPresent);
       },
       header, "edCondition- chkOnAddress- chkCaseMatters-"},
  };
  for (const auto& c : cases) {
    std::unique_ptr<TFilter> filter = CreateFilterOfKind(c.kind);
    const std::unique_ptr<QDialog> dialog = Open(*filter);
    c.fill(*dialog);
    EXPECT_EQ(States(*dialog, c.controls), c.states) << KindName(c.kind);
  }
}

TEST_F(FilterDialogTest, ComplainingAndErrorMessagesStartFromTheSettingsRecipients) {
  // Every dialog that sets an action, the multiple filters' one included.
  const std::vector<std::function<std::unique_ptr<QDialog>(TFilter&)>> makers = {
      [this](TFilter& f) { return Open(f); },
      [this](TFilter& f) {
        auto dialog = std::make_unique<TMultipleFltDlg>(f, &owner);
        dialog->show();
        return std::unique_ptr<QDialog>(std::move(dialog));
      },
  };
  for (const uint8_t kind : {fkSender, fkSubject, fkText, fkHeader, fkNone}) {
    std::unique_ptr<TFilter> filter = CreateFilterOfKind(kind);
    filter->Action = acKill;
    filter->Recipients = rcSender;
    const std::unique_ptr<QDialog> dialog = makers[kind == fkNone](*filter);
    auto* button = Child<TSpeedPopUp>(*dialog, "spuComplainTo");
    const auto shown = [button] {
      return std::to_string(button->isEnabled()) + " " + button->text().toStdString() + " " +
             std::to_string(button->Value());
    };
    EXPECT_EQ(shown(), "0 Complain to... 1") << KindName(kind);
    Choose(*dialog, "cbReaction", acKillAfterErrorMessage);
    EXPECT_EQ(shown(), "1 Send to... 18") << KindName(kind);
    Choose(*dialog, "cbReaction", acKillAfterComplaint);
    EXPECT_EQ(shown(), "1 Complain to... 12") << KindName(kind);
    // Chosen recipients stay while the action stays.
    button->SetValue(rcSender | rcAbuse);
    Choose(*dialog, "cbReaction", acKillAfterComplaint);
    EXPECT_EQ(shown(), "1 Complain to... 5") << KindName(kind);
    Choose(*dialog, "cbReaction", acMark);
    EXPECT_EQ(shown(), "0 Complain to... 5") << KindName(kind);
  }
  // A filter that already complains shows its own recipients.
  TSubjectFilter complaining;
  complaining.Action = acKillAfterErrorMessage;
  complaining.Recipients = rcSender;
  const std::unique_ptr<QDialog> dialog = Open(complaining);
  auto* button = Child<TSpeedPopUp>(*dialog, "spuComplainTo");
  EXPECT_TRUE(button->isEnabled());
  EXPECT_EQ(button->text(), QStringLiteral("Send to..."));
  EXPECT_EQ(button->Value(), rcSender);
}

TEST_F(FilterDialogTest, OkWritesTheControlsBackAndCancelLeavesTheFilterAsItWas) {
  TSenderFilter sender;
  sender.SetText2("caf\xe9.example");
  THeaderFilter header;
  header.SetText1("From");
  header.SetText2("x@y");
  header.Options = foAddressOnly;
  const std::unique_ptr<TFilter> subject = CreateFilterOfKind(fkSubject);
  const std::unique_ptr<TFilter> text = CreateFilterOfKind(fkText);
  const struct {
    TFilter* filter;
    TFill fill;
    std::string fields;
  } cases[] = {
      // Untouched text keeps its bytes, whatever their charset; typed text is trimmed.
      {&sender,
       [](QWidget& d) {
         Choose(d, "cbUser", cnEquals);
         Type(d, "edUser", "  Bob ");
         Child<QCheckBox>(d, "chkCaseMatters")->setChecked(true);
         Tick(d, "Reply-To", false);
       },
       "6 'Bob' 10 'caf\xe9.example' case 1 action 3 to 12 headers " +
           std::to_string(Bit(7) | Bit(8) | Bit(16) | Bit(17)) + " options 2"},
      {&sender,
       [](QWidget& d) {
         Choose(d, "cbUser", cnNone);
         Type(d, "edDomain", "\xc3\xa9t\xc3\xa9.example");
         Choose(d, "cbReaction", acKillAfterErrorMessage);
       },
       "0 '' 10 '\xc3\xa9t\xc3\xa9.example' case 1 action 5 to 18 headers " +
           std::to_string(Bit(7) | Bit(8) | Bit(16) | Bit(17)) + " options 2"},
      // As typed, blanks and all.
      {subject.get(),
       [](QWidget& d) {
         Choose(d, "cbCondition", cnStartsWith);
         Type(d, "edCondition", "  Cheap ");
         Choose(d, "cbReaction", acKillAfterComplaint);
       },
       "8 '  Cheap ' 0 '' case 0 action 4 to 12 headers 0 options 0"},
      {text.get(),
       [](QWidget& d) {
         Type(d, "edCondition", "dropped");
         Choose(d, "cbCondition", cnUppercase);
       },
       "17 '' 0 '' case 1 action 3 to 12 headers 0 options 0"},
      // The address part only for a header that carries addresses.
      {&header,
       [](QWidget& d) {
         TypeHeader(d, " X-Mailer ");
         Type(d, "edCondition", "Bulk");
       },
       "3 'X-Mailer' 0 'Bulk' case 0 action 3 to 12 headers 0 options 0"},
      {&header,
       [](QWidget& d) {
         TypeHeader(d, "reply-to");
         Child<QCheckBox>(d, "chkOnAddress")->setChecked(true);
       },
       "3 'reply-to' 0 'Bulk' case 0 action 3 to 12 headers 0 options 2"},
  };
  for (const auto& c : cases) {
    const auto before = Record(*c.filter);
    EXPECT_FALSE(Edit(*c.filter, c.fill, "btnCancel"));
    EXPECT_EQ(Record(*c.filter), before) << c.fields;
    EXPECT_TRUE(Edit(*c.filter, c.fill, "btnOK"));
    EXPECT_EQ(Fields(*c.filter), c.fields);
  }

  // The multiple filters' dialog writes the action and the recipients alone.
  TSubjectFilter scratch;
  scratch.SetText1("kept");
  test::WhenModal([](QWidget* dialog) {
    EXPECT_EQ(dialog->windowTitle(), QStringLiteral("Multiple filters"));
    Choose(*dialog, "cbReaction", acKillAfterComplaint);
    test::Click(dialog, QStringLiteral("btnCancel"));
  });
  EXPECT_FALSE(EditActionOf(scratch, &owner));
  EXPECT_EQ(Fields(scratch), "3 'kept' 0 '' case 0 action 3 to 12 headers 0 options 0");
  test::WhenModal([](QWidget* dialog) {
    Choose(*dialog, "cbReaction", acKillAfterErrorMessage);
    test::Click(dialog, QStringLiteral("btnOK"));
  });
  EXPECT_TRUE(EditActionOf(scratch, &owner));
  EXPECT_EQ(Fields(scratch), "3 'kept' 0 '' case 0 action 5 to 18 headers 0 options 0");
}

TEST_F(FilterDialogTest, AUserConditionUnticksTheHeadersWithoutAUserPartAndRefusesTicksThere) {
  TSenderFilter filter;
  filter.SetText2("spam.example");
  const std::unique_ptr<QDialog> dialog = Open(filter);
  auto* headers = Child<QListWidget>(*dialog, "clbHeaders");
  const auto ticked = [headers] {
    uint32_t set = 0;
    for (int row = 0; row < headers->count(); ++row)
      if (headers->item(row)->checkState() == Qt::Checked)
        set |= Bit(headers->item(row)->data(Qt::UserRole).toInt());
    return set;
  };
  ASSERT_EQ(ticked(), filter.Headers);
  ASSERT_NE(filter.Headers & (Bit(2) | Bit(10) | Bit(14)), 0u);
  Choose(*dialog, "cbUser", cnContains);
  EXPECT_EQ(ticked(), filter.Headers & PersonalHeaders);
  for (const char* name : {"Received", "Message-Id", "Comments"}) {
    EXPECT_EQ(Answered([&] { Tick(*dialog, name, true); }), Texts{kUserNameHeaderText}) << name;
    EXPECT_EQ(ticked(), filter.Headers & PersonalHeaders) << name;
  }
  // A header with a user part can be ticked; without the user condition the others come back.
  EXPECT_EQ(Answered([&] { Tick(*dialog, "To", true); }), Texts{});
  Choose(*dialog, "cbUser", cnNone);
  EXPECT_EQ(ticked(), filter.Headers | Bit(19));
}

TEST_F(FilterDialogTest, MoreShowsTheHeadersToLookInAndLessHidesThem) {
  TSenderFilter filter;
  const std::unique_ptr<QDialog> dialog = Open(filter);
  auto* lookIn = Child<QGroupBox>(*dialog, "gbLookIn");
  auto* more = Child<QPushButton>(*dialog, "btnMore");
  const int narrow = dialog->width();
  EXPECT_FALSE(lookIn->isVisible());
  EXPECT_EQ(more->text(), QStringLiteral("&More >>"));
  QTest::mouseClick(more, Qt::LeftButton);
  EXPECT_TRUE(lookIn->isVisible());
  EXPECT_EQ(more->text(), QStringLiteral("<< &Less"));
  QApplication::processEvents();
  EXPECT_GT(dialog->width(), narrow);
  QTest::mouseClick(more, Qt::LeftButton);
  EXPECT_FALSE(lookIn->isVisible());
  EXPECT_EQ(more->text(), QStringLiteral("&More >>"));
}

TEST_F(FilterDialogTest, ANewSenderFilterLooksInTheHeadersOfStdSenderHeaders) {
  const auto looksIn = [this](bool isNew) {
    TSenderFilter filter;
    filter.Headers = Bit(1);
    const std::unique_ptr<QDialog> dialog = Open(filter, isNew);
    Type(*dialog, "edDomain", "example.com");
    test::Click(dialog.get(), QStringLiteral("btnOK"));
    return filter.Headers;
  };
  DeleteFileAt(dir / "StdSenderHeaders.dat");
  EXPECT_EQ(looksIn(true), TSenderFilter().Headers);
  test::WriteFileText(dir / "StdSenderHeaders.dat", "From=1\r\nReceived=1\r\nSender=0\r\n");
  EXPECT_EQ(looksIn(true), Bit(8) | Bit(14));
  EXPECT_EQ(looksIn(false), Bit(1));
}

TEST_F(FilterDialogTest, TheCommandLineRefusesWhatTheDialogsRefuseWithTheSameText) {
  const struct {
    std::vector<std::string> args;
    std::string option;
    uint8_t kind;
    TFill fill;
  } cases[] = {
      {{"subject", "--condition", "contains"}, "--pattern: ", fkSubject, [](QWidget&) {}},
      {{"sender", "--user-condition", "none", "--domain-condition", "none"},
       "",
       fkSender,
       [](QWidget& d) { Choose(d, "cbDomain", cnNone); }},
      {{"sender", "--user-condition", "contains", "--domain", "x.org"},
       "--user: ",
       fkSender,
       [](QWidget& d) {
         Choose(d, "cbUser", cnContains);
         Type(d, "edDomain", "x.org");
       }},
      {{"header", "--header", " ", "--pattern", "x"},
       "--header: ",
       fkHeader,
       [](QWidget& d) {
         TypeHeader(d, " ");
         Type(d, "edCondition", "x");
       }},
  };
  const test::TTempDir home;
  for (const auto& c : cases) {
    std::unique_ptr<TFilter> filter = CreateFilterOfKind(c.kind);
    const std::unique_ptr<QDialog> dialog = Open(*filter);
    c.fill(*dialog);
    const Texts shown = Answered([&] { test::Click(dialog.get(), QStringLiteral("btnOK")); });
    ASSERT_EQ(shown.size(), 1u) << c.args[0];
    std::vector<std::string> args = {"filters", "add"};
    args.insert(args.end(), c.args.begin(), c.args.end());
    const test::TRunResult run = test::RunTarnwellIn(home.Path(), args);
    EXPECT_EQ(run.status, 2);
    EXPECT_EQ(run.err, "tarnwell: " + c.option + shown.front() + "\n");
  }
}

}  // namespace
}  // namespace tarnwell
