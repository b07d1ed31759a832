#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <QTreeView>
#include <map>

#include "accounts/AccountList.h"
#include "filtering/Countries.h"
#include "filtering/ui/FilterWizard.h"
#include "mainwindow/ui/MessageListModel.h"
#include "mainwindow/ui/PgKilled.h"
#include "platform/Registry.h"
#include "tests/accounts/AccountTestSupport.h"
#include "tests/filtering/FilterTestSupport.h"
#include "tests/program/CommandRunner.h"
#include "tests/ui/StoredMessage.h"
#include "tests/ui/UiDriver.h"

namespace tarnwell {
namespace {

using B = TFilterBase;
using W = TFilterWizardDlg;

// Spam from a shop in Tokelau, by way of its own mail server.
const std::string kWatchHeaders =
    "Return-Path: <sales@cheap-watches.tk>\n"
    "Received: from mail.cheap-watches.tk (mail.cheap-watches.tk [198.51.100.7]) by "
    "mx.example.com with SMTP; Mon, 10 Mar 2025 09:11:00 +0000\n"
    "From: Watch Store <sales@cheap-watches.tk>\n"
    "To: Alex Example <alex@example.com>\n"
    "Subject: Luxury watches at 90% off\n"
    "Date: Mon, 10 Mar 2025 09:11:00 +0000\n"
    "Message-Id: <demo.11@example.net>\n";
const std::vector<std::string> kWatchText = {"Best replicas,", "shipped worldwide."};
// Mail from a colleague, through hosts of no country.
const std::string kMeetingHeaders =
    "Received: from mail.example.com (mail.example.com [192.0.2.25]) by mx.example.com; Mon, 10 "
    "Mar 2025 08:02:00 +0000\n"
    "From: Bob Stone <bob@example.com>\n"
    "To: Alex Example <alex@example.com>\n"
    "Subject: Minutes of Tuesday's meeting\n"
    "X-Mailer: Evolution 3.46\n";
const std::vector<std::string> kMeetingText = {"Hello all,", "", "the minutes are below."};

std::string MessageText(const std::string& headers, const std::vector<std::string>& body) {
  std::string text = headers + "\n";
  for (const std::string& line : body) text += line + "\n";
  return text;
}

void SelectText(QPlainTextEdit* edit, int anchor, int position) {
  QTextCursor cursor = edit->textCursor();
  cursor.setPosition(anchor);
  cursor.setPosition(position, QTextCursor::KeepAnchor);
  edit->setTextCursor(cursor);
}

void PressIn(W& wizard, const char* name) { test::Click(&wizard, QString::fromLatin1(name)); }

void ChooseIn(W& wizard, const char* choice) {
  wizard.findChild<QRadioButton*>(QString::fromLatin1(choice))->setChecked(true);
  PressIn(wizard, "btnNext");
}

class FilterWizardTest : public test::AccountFixture {
 protected:
  FilterWizardTest() {
    editFilter = [this](TFilter& filter, bool isNew) {
      edits.push_back({filter.Kind, isNew, filter.Origin, wizard && wizard->isVisible()});
      if (editAnswer) filter.SetText1("edited");
      return editAnswer;
    };
  }
  ~FilterWizardTest() override { wizard.reset(); }

  // The wizard on `message` (or none), shown.
  W& Open(const TEmail* message) {
    wizard = std::make_unique<W>(message, *filters, editFilter);
    wizard->show();
    return *wizard;
  }
  QRadioButton* Choice(B base) const {
    static const char* const names[] = {"rbSender", "rbSubject", "rbText", "rbCountry", "rbHeader"};
    return wizard->findChild<QRadioButton*>(QString::fromLatin1(names[static_cast<int>(base)]));
  }
  template <typename T>
  T* Find(const char* name) const {
    T* found = wizard->findChild<T*>(QString::fromLatin1(name));
    EXPECT_NE(found, nullptr) << name;
    return found;
  }
  QPushButton* Button(const char* name) const { return Find<QPushButton>(name); }
  void Press(const char* name) { PressIn(*wizard, name); }
  void Choose(B base) {
    Choice(base)->setChecked(true);
    Press("btnNext");
  }
  // Lets the wizard act on what the events it was sent asked for.
  static void Settle() { QCoreApplication::processEvents(); }

  struct TEdit {
    uint8_t kind;
    bool isNew;
    uint8_t origin;
    bool wizardVisible;
  };

  TEditFilter editFilter;
  bool editAnswer = true;
  std::vector<TEdit> edits;
  std::unique_ptr<W> wizard;
};

TEST_F(FilterWizardTest, PagesFollowWhatEachMessageOffers) {
  struct TCase {
    const char* what;
    std::string headers;
    bool retrieved;
    std::vector<B> offered;
  };
  const TCase cases[] = {
      {"text and a country",
       kWatchHeaders,
       true,
       {B::Sender, B::Subject, B::Text, B::Country, B::Header}},
      {"a country without text",
       kWatchHeaders,
       false,
       {B::Sender, B::Subject, B::Country, B::Header}},
      {"text, no country", kMeetingHeaders, true, {B::Sender, B::Subject, B::Text, B::Header}},
      {"neither", kMeetingHeaders, false, {B::Sender, B::Subject, B::Header}},
      {"no sender, no subject", "X-Mailer: Evolution 3.46\n", true, {B::Text, B::Header}},
  };
  const std::map<B, W::TPage> pages = {{B::Sender, W::pgSender},
                                       {B::Subject, W::pgSubject},
                                       {B::Text, W::pgText},
                                       {B::Country, W::pgCountry},
                                       {B::Header, W::pgHeader}};
  for (const TCase& c : cases) {
    const auto message = test::Message(MessageText(c.headers, kWatchText));
    if (!c.retrieved) message->ClearBody();
    Open(message.get());
    std::vector<B> offered;
    for (int i = 0; i < kFilterBaseCount; ++i)
      if (Choice(static_cast<B>(i))->isEnabled()) offered.push_back(static_cast<B>(i));
    EXPECT_EQ(offered, c.offered) << c.what;
    EXPECT_TRUE(Choice(c.offered.front())->isChecked()) << c.what;
    EXPECT_TRUE(Choice(B::Country)->isVisibleTo(wizard.get())) << c.what;
    EXPECT_FALSE(Button("btnBack")->isEnabled()) << c.what;
    EXPECT_FALSE(Button("btnAdvanced")->isVisible()) << c.what;

    for (const B base : c.offered) {
      Choose(base);
      EXPECT_EQ(wizard->CurrentPage(), pages.at(base)) << c.what;
      EXPECT_TRUE(Button("btnBack")->isEnabled()) << c.what;
      EXPECT_EQ(Button("btnNext")->text(),
                base == B::Country ? QStringLiteral("&Finish") : QStringLiteral("&Next >"))
          << c.what;
      if (base == B::Country) {
        EXPECT_EQ(wizard->Filter(), nullptr) << c.what;
      } else {
        ASSERT_NE(wizard->Filter(), nullptr) << c.what;
        EXPECT_EQ(wizard->Filter()->Origin, orUser) << c.what;
        // Back discards the filter.
      }
      Press("btnBack");
      EXPECT_EQ(wizard->CurrentPage(), W::pgType) << c.what;
      EXPECT_EQ(wizard->Filter(), nullptr) << c.what;
    }
    wizard.reset();
  }
}

TEST_F(FilterWizardTest, TheLastPageFinishesTheFilterOrGoesBackToItsPage) {
  const auto message = test::Message(MessageText(kWatchHeaders, kWatchText));
  Open(message.get());
  Choose(B::Sender);
  auto* lines = Find<QListWidget>("lbSender");
  // Return-Path and From; From is chosen.
  ASSERT_EQ(lines->count(), 2);
  EXPECT_EQ(lines->item(0)->text(), QStringLiteral("From: sales@cheap-watches.tk"));
  EXPECT_EQ(lines->currentRow(), 0);
  Press("btnNext");
  EXPECT_EQ(wizard->CurrentPage(), W::pgFinished);
  EXPECT_TRUE(Button("btnAdvanced")->isVisible());
  EXPECT_EQ(Button("btnNext")->text(), QStringLiteral("&Finish"));
  EXPECT_EQ(Find<QLabel>("lblFinished")->text(),
            QStringLiteral("Click on 'Finish' to save the filter, or on 'Advanced...' to display "
                           "the advanced editing dialog box."));

  // Back to the sender page, where the user name is dropped.
  Press("btnBack");
  EXPECT_EQ(wizard->CurrentPage(), W::pgSender);
  Find<QCheckBox>("chkDomain")->setChecked(true);
  EXPECT_EQ(lines->item(0)->text(), QStringLiteral("From: cheap-watches.tk"));
  Press("btnNext");
  Press("btnNext");

  EXPECT_FALSE(wizard->isVisible());
  EXPECT_EQ(wizard->result(), QDialog::Accepted);
  EXPECT_EQ(wizard->Outcome(), W::TOutcome::Filter);
  EXPECT_TRUE(edits.empty());
  const std::unique_ptr<TFilter> filter = wizard->TakeFilter();
  ASSERT_NE(filter, nullptr);
  EXPECT_EQ(filter->Kind, fkSender);
  EXPECT_EQ(filter->Condition1, cnNone);
  EXPECT_EQ(filter->Text1(), "");
  EXPECT_EQ(filter->Condition2, cnEndsWith);
  EXPECT_EQ(filter->Text2(), "cheap-watches.tk");
}

TEST_F(FilterWizardTest, CancelAndBackDiscardTheFilter) {
  const auto message = test::Message(MessageText(kWatchHeaders, kWatchText));
  Open(message.get());
  Choose(B::Subject);
  Press("btnNext");
  Press("btnCancel");
  EXPECT_EQ(wizard->result(), QDialog::Rejected);
  EXPECT_EQ(wizard->Outcome(), W::TOutcome::Cancelled);
  EXPECT_EQ(wizard->TakeFilter(), nullptr);
}

TEST_F(FilterWizardTest, ASubjectSelectedAcrossALineBreakIsStoredWithABlank) {
  // A record's header line may hold a line break of its own.
  TEmail message;
  message.Headers.Add("Subject: Caf\xC3\xA9 deals\r\nend today");
  Open(&message);
  Choose(B::Subject);
  auto* subject = Find<QPlainTextEdit>("edSubject");
  EXPECT_EQ(subject->toPlainText(), QStringLiteral("Caf\u00E9 deals\nend today"));
  EXPECT_EQ(subject->textCursor().selectedText().size(), subject->toPlainText().size());
  // "é deals", the break and "end".
  SelectText(subject, 3, 14);
  Press("btnNext");
  ASSERT_NE(wizard->Filter(), nullptr);
  EXPECT_EQ(wizard->Filter()->Text1(), "\xC3\xA9 deals end");
  EXPECT_EQ(wizard->Filter()->Condition1, cnContains);
}

TEST_F(FilterWizardTest, SelectionsAreCutBackToFiftyBytesOnKeyAndMouseRelease) {
  const std::string longSubject =
      "Subject: " + std::string(30, 'a') + " \xC3\xA9" + std::string(40, 'b') + "\n";
  const std::vector<std::string> body = {std::string(30, 'c'), std::string(40, 'd')};
  const auto message =
      test::Message(MessageText(longSubject + "X-Campaign: " + std::string(70, 'v') + "\n", body));
  Open(message.get());

  // Subject: all selected on entry; a key release cuts it back from its start.
  Choose(B::Subject);
  auto* subject = Find<QPlainTextEdit>("edSubject");
  ASSERT_EQ(subject->textCursor().selectedText().size(), 72);
  QTest::keyRelease(subject, Qt::Key_Shift);
  Settle();
  // 30 a, a blank, é (two bytes) and 17 b.
  EXPECT_EQ(subject->textCursor().anchor(), 0);
  EXPECT_EQ(subject->textCursor().position(), 49);
  // Selected backwards, from the end: the start stays all the same.
  SelectText(subject, 72, 10);
  QTest::mouseRelease(subject->viewport(), Qt::LeftButton, {}, QPoint(2, 2));
  Settle();
  EXPECT_EQ(subject->textCursor().selectionStart(), 10);
  EXPECT_EQ(subject->textCursor().selectionEnd(), 59);
  Press("btnBack");

  // Text: the first 50 bytes are selected on entry, a line break counting two.
  Choose(B::Text);
  auto* text = Find<QPlainTextEdit>("mmText");
  EXPECT_EQ(text->textCursor().selectionStart(), 0);
  EXPECT_EQ(text->textCursor().selectionEnd(), 49);
  SelectText(text, 5, 71);
  QTest::mouseRelease(text->viewport(), Qt::LeftButton, {}, QPoint(2, 2));
  Settle();
  EXPECT_EQ(text->textCursor().position(), 54);
  Press("btnNext");
  EXPECT_EQ(wizard->Filter()->Text1(), std::string(25, 'c') + " " + std::string(23, 'd'));
  Press("btnBack");
  Press("btnBack");

  // The value of a header, taken from the row clicked.
  Choose(B::Header);
  auto* rows = Find<QListWidget>("sgHeaders");
  auto* value = Find<QLineEdit>("edValue");
  rows->setCurrentRow(1);
  EXPECT_EQ(value->text(), QString(70, QLatin1Char('v')));
  EXPECT_EQ(value->selectedText().size(), 70);
  QTest::keyRelease(value, Qt::Key_End);
  Settle();
  EXPECT_EQ(value->selectionStart(), 0);
  EXPECT_EQ(value->selectedText().size(), 50);
}

TEST_F(FilterWizardTest, HeaderPageTakesTheRowAndLooksForAddresses) {
  const auto message = test::Message(MessageText(kWatchHeaders, kWatchText));
  Open(message.get());
  Choose(B::Header);
  auto* rows = Find<QListWidget>("sgHeaders");
  auto* value = Find<QLineEdit>("edValue");
  // Nothing was taken before: the current row is.
  EXPECT_EQ(rows->currentRow(), 0);
  EXPECT_EQ(value->text(), QStringLiteral("<sales@cheap-watches.tk>"));
  EXPECT_EQ(value->selectedText(), value->text());

  QTest::mouseClick(rows->viewport(), Qt::LeftButton, {},
                    rows->visualItemRect(rows->item(1)).center());
  EXPECT_EQ(rows->currentRow(), 1);
  EXPECT_TRUE(value->text().startsWith(QStringLiteral("from mail.cheap-watches.tk")));
  Find<QCheckBox>("chkAddress")->setChecked(true);
  EXPECT_EQ(rows->item(1)->text(), QStringLiteral("Received: mail.cheap-watches.tk"));
  EXPECT_EQ(rows->item(4)->text(), QStringLiteral("Subject: Luxury watches at 90% off"));
  EXPECT_EQ(value->text(), QStringLiteral("mail.cheap-watches.tk"));
  value->setSelection(5, 11);
  Press("btnNext");

  const TFilter* filter = wizard->Filter();
  ASSERT_NE(filter, nullptr);
  EXPECT_EQ(filter->Kind, fkHeader);
  EXPECT_EQ(filter->Text1(), "Received");
  EXPECT_EQ(filter->Condition1, cnContains);
  EXPECT_EQ(filter->Text2(), "cheap-watch");
  EXPECT_TRUE(filter->HasOption(foAddressOnly));
}

TEST_F(FilterWizardTest, BlockingCountriesAddsNoFilter) {
  const auto message = test::Message(MessageText(kWatchHeaders, kWatchText));
  const int filterCount = filters->Count();
  Open(message.get());
  Choose(B::Country);
  auto* countries = Find<QListWidget>("clbCountries");
  ASSERT_EQ(countries->count(), 1);
  EXPECT_EQ(countries->item(0)->text(), QStringLiteral("Tokelau"));
  EXPECT_FALSE(Button("btnNext")->isEnabled());
  countries->item(0)->setCheckState(Qt::Checked);
  EXPECT_TRUE(Button("btnNext")->isEnabled());
  Press("btnNext");

  EXPECT_EQ(wizard->result(), QDialog::Accepted);
  EXPECT_EQ(wizard->Outcome(), W::TOutcome::Countries);
  EXPECT_EQ(wizard->TakeFilter(), nullptr);
  EXPECT_EQ(filters->Count(), filterCount);
  const TLandInfo& table = *filters->Countries();
  EXPECT_EQ(wizard->BlockedCountries(), std::vector<int>{table.IndexOfCode("tk")});
  EXPECT_TRUE(table.IsBlocked(table.IndexOfCode("tk")));
  EXPECT_NE(test::ReadFileText(dir / "Countries.dat").find("tk,Tokelau=1"), std::string::npos);
}

TEST_F(FilterWizardTest, WithoutAMessageNextOpensTheKindsDialogOnAnEmptyFilter) {
  const std::pair<B, uint8_t> kinds[] = {
      {B::Sender, fkSender}, {B::Subject, fkSubject}, {B::Text, fkText}, {B::Header, fkHeader}};
  for (const bool answer : {true, false}) {
    for (const auto& [base, kind] : kinds) {
      edits.clear();
      editAnswer = answer;
      Open(nullptr);
      EXPECT_FALSE(Choice(B::Country)->isVisibleTo(wizard.get()));
      EXPECT_TRUE(Choice(B::Sender)->isChecked());
      Choose(base);
      ASSERT_EQ(edits.size(), 1u);
      EXPECT_EQ(edits[0].kind, kind);
      EXPECT_TRUE(edits[0].isNew);
      EXPECT_EQ(edits[0].origin, orUser);
      EXPECT_FALSE(edits[0].wizardVisible);
      EXPECT_EQ(wizard->Outcome(), answer ? W::TOutcome::Filter : W::TOutcome::Cancelled);
      const std::unique_ptr<TFilter> filter = wizard->TakeFilter();
      EXPECT_EQ(filter != nullptr, answer);
      if (filter) {
        EXPECT_EQ(filter->Text1(), "edited");
      }
      wizard.reset();
    }
  }
}

TEST_F(FilterWizardTest, AdvancedRunsTheKindsDialogWhoseAnswerEndsTheWizard) {
  const auto message = test::Message(MessageText(kWatchHeaders, kWatchText));
  for (const bool answer : {true, false}) {
    edits.clear();
    editAnswer = answer;
    Open(message.get());
    EXPECT_FALSE(Button("btnHelp")->isEnabled());
    Choose(B::Text);
    Press("btnNext");
    Press("btnAdvanced");
    ASSERT_EQ(edits.size(), 1u);
    EXPECT_EQ(edits[0].kind, fkText);
    EXPECT_FALSE(edits[0].isNew);
    EXPECT_FALSE(edits[0].wizardVisible);
    EXPECT_EQ(wizard->result(), answer ? QDialog::Accepted : QDialog::Rejected);
    const std::unique_ptr<TFilter> filter = wizard->TakeFilter();
    ASSERT_EQ(filter != nullptr, answer);
    if (filter) {
      EXPECT_EQ(filter->Text1(), "edited");
    }
    wizard.reset();
  }
}

TEST_F(FilterWizardTest, HelpRunsItsHandler) {
  Open(nullptr);
  int helped = 0;
  wizard->SetHelp([&helped] { ++helped; });
  Press("btnHelp");
  EXPECT_EQ(helped, 1);
}

TEST_F(FilterWizardTest, SizeIsStoredWhenItClosesAndRestoredWhenItOpens) {
  const auto storedSize = [] {
    TRegistry registry;
    EXPECT_TRUE(registry.OpenKeyReadOnly(TSettings::kKeyPath));
    return registry.ReadBinary(W::kSizeValue);
  };
  Open(nullptr);
  EXPECT_EQ(wizard->minimumSize(), QSize(W::kMinimumWidth, W::kMinimumHeight));
  wizard->resize(600, 420);
  Press("btnCancel");
  // Width and height, 32 bits each, least significant byte first.
  EXPECT_EQ(storedSize(), std::string("\x58\x02\x00\x00\xA4\x01\x00\x00", 8));
  Open(nullptr);
  EXPECT_EQ(wizard->size(), QSize(600, 420));

  // A size below the minimum comes back as the minimum.
  {
    TRegistry registry;
    ASSERT_TRUE(registry.OpenKey(TSettings::kKeyPath, true));
    const uint8_t small[8] = {100, 0, 0, 0, 50, 0, 0, 0};
    registry.WriteBinaryData(W::kSizeValue, small, sizeof small);
  }
  Open(nullptr);
  EXPECT_EQ(wizard->size(), QSize(W::kMinimumWidth, W::kMinimumHeight));
}

// "Add a filter" of a message page: the wizard on the page's current message.
class AddFilterFromPageTest : public FilterWizardTest {
 protected:
  AddFilterFromPageTest() {
    list.Init(filters.get());
    home = &test::AddScriptedAccount(list, "Home");
    stored = &test::StoreMessage(home->Killed, kWatchHeaders, kWatchText);
    page = std::make_unique<TPgKilled>(list);
    page->SetAccount(home);
    page->List()->selectionModel()->setCurrentIndex(
        page->Model()->index(0, 0),
        QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
  }
  ~AddFilterFromPageTest() override { page.reset(); }

  // Runs "Add a filter" with `drive` answering the wizard.
  TFilterFromMessage Add(const std::function<void(W&)>& drive) {
    test::WhenModal([drive](QWidget* dialog) { drive(*static_cast<W*>(dialog)); });
    return AddFilterFromPage(*page, *filters, editFilter);
  }

  TAccountList list;
  test::TScriptedAccount* home = nullptr;
  TEmail* stored = nullptr;
  std::unique_ptr<TPgKilled> page;
};

TEST_F(AddFilterFromPageTest, AddsTheFilterReportsCountriesAndNothingOnCancel) {
  const int count = filters->Count();
  const TFilterFromMessage cancelled = Add([](W& dialog) { PressIn(dialog, "btnCancel"); });
  EXPECT_EQ(cancelled.Added, nullptr);
  EXPECT_FALSE(cancelled.CountriesBlocked);
  EXPECT_EQ(filters->Count(), count);

  const TFilterFromMessage countries = Add([](W& dialog) {
    ChooseIn(dialog, "rbCountry");
    dialog.findChild<QListWidget*>(QStringLiteral("clbCountries"))
        ->item(0)
        ->setCheckState(Qt::Checked);
    PressIn(dialog, "btnNext");
  });
  EXPECT_EQ(countries.Added, nullptr);
  EXPECT_TRUE(countries.CountriesBlocked);
  EXPECT_EQ(filters->Count(), count);

  const TFilterFromMessage added = Add([](W& dialog) {
    ChooseIn(dialog, "rbSubject");
    PressIn(dialog, "btnNext");
    PressIn(dialog, "btnNext");
  });
  ASSERT_NE(added.Added, nullptr);
  EXPECT_FALSE(added.CountriesBlocked);
  EXPECT_EQ(filters->Count(), count + 1);
  EXPECT_GE(filters->IndexOf(added.Added), 0);
  EXPECT_EQ(added.Added->Text1(), "Luxury watches at 90% off");
  EXPECT_EQ(added.Added->Origin, orUser);
  // The new filter is on disk at once, not only when the window closes.
  TFilterList written(filters->FileName());
  written.Load(true);
  EXPECT_EQ(written.Count(), count + 1);

  // Without a message, the kind's dialog makes the filter.
  test::WhenModal([](QWidget* dialog) { ChooseIn(*static_cast<W*>(dialog), "rbHeader"); });
  const TFilterFromMessage edited =
      AddFilterFromMessage(nullptr, *filters, editFilter, {}, page.get());
  ASSERT_NE(edited.Added, nullptr);
  EXPECT_EQ(edited.Added->Kind, fkHeader);
  EXPECT_EQ(edited.Added->Text1(), "edited");
  EXPECT_EQ(filters->Count(), count + 2);
}

// A filter made in the wizard from a Killed Mail message, added to the program folder's filters,
// classifies the message as the program itself does from the command line.
struct TRoundTrip {
  const char* name;
  std::function<void(W&)> drive;
  std::string reason;
};

class WizardRoundTripTest : public AddFilterFromPageTest,
                            public ::testing::WithParamInterface<TRoundTrip> {};

TEST_P(WizardRoundTripTest, TheProgramClassifiesTheMessageWithTheNewFilter) {
  const TFilterFromMessage made = Add(GetParam().drive);
  ASSERT_TRUE(made.Added || made.CountriesBlocked);

  const TClassification here = filters->ClassifyStored(*stored);
  ASSERT_EQ(here.Status, msSpam);
  const std::string reason = filters->Current()->Description();
  EXPECT_EQ(reason, GetParam().reason);
  if (made.Added) {
    EXPECT_EQ(filters->Current(), made.Added);
  }

  // As closing the main window does.
  filters->SaveIfModified();
  std::string headers = test::ReadFileText(stored->BasePath() + ".hdr");
  while (!headers.empty() && (headers.back() == '\n' || headers.back() == '\r')) headers.pop_back();
  const std::string file = dir / "message.eml";
  test::WriteFileText(file, headers + "\r\n\r\n" + test::ReadFileText(stored->BasePath() + ".txt"));
  const test::TRunResult run = test::RunTarnwellIn(dir.Path(), {"classify", file});
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.out, file + "\t" + TEmail::StatusName(here.Status) + "\t" + reason + "\n");
}

INSTANTIATE_TEST_SUITE_P(
    Kinds, WizardRoundTripTest,
    ::testing::Values(
        TRoundTrip{"Sender",
                   [](W& dialog) {
                     ChooseIn(dialog, "rbSender");
                     PressIn(dialog, "btnNext");
                     PressIn(dialog, "btnNext");
                   },
                   "User name equals 'sales' and Domain ends with 'cheap-watches.tk'"},
        TRoundTrip{"Subject",
                   [](W& dialog) {
                     ChooseIn(dialog, "rbSubject");
                     SelectText(dialog.findChild<QPlainTextEdit*>(QStringLiteral("edSubject")), 0,
                                14);
                     PressIn(dialog, "btnNext");
                     PressIn(dialog, "btnNext");
                   },
                   "Subject contains 'Luxury watches'"},
        TRoundTrip{"Text",
                   [](W& dialog) {
                     ChooseIn(dialog, "rbText");
                     SelectText(dialog.findChild<QPlainTextEdit*>(QStringLiteral("mmText")), 5, 22);
                     PressIn(dialog, "btnNext");
                     PressIn(dialog, "btnNext");
                   },
                   "Message text contains word 'replicas, shipped'"},
        TRoundTrip{"Header",
                   [](W& dialog) {
                     ChooseIn(dialog, "rbHeader");
                     dialog.findChild<QListWidget*>(QStringLiteral("sgHeaders"))->setCurrentRow(1);
                     dialog.findChild<QCheckBox*>(QStringLiteral("chkAddress"))->setChecked(true);
                     PressIn(dialog, "btnNext");
                     PressIn(dialog, "btnNext");
                   },
                   "'Received' contains 'mail.cheap-watches.tk'"},
        TRoundTrip{"Country",
                   [](W& dialog) {
                     ChooseIn(dialog, "rbCountry");
                     dialog.findChild<QListWidget*>(QStringLiteral("clbCountries"))
                         ->item(0)
                         ->setCheckState(Qt::Checked);
                     PressIn(dialog, "btnNext");
                   },
                   "Sent from or via Tokelau"}),
    [](const ::testing::TestParamInfo<TRoundTrip>& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace tarnwell
