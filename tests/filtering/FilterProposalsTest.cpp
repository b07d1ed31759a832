#include <gtest/gtest.h>

#include <functional>

#include "filtering/Countries.h"
#include "filtering/DataFiles.h"
#include "filtering/FilterList.h"
#include "filtering/FilterProposals.h"
#include "filtering/Filters.h"
#include "message/DomainLists.h"
#include "shell/ProgramFolders.h"
#include "tests/filtering/FilterTestSupport.h"
#include "tests/support/TestSupport.h"

namespace tarnwell {
namespace {

// Spam that passed a German shop and a British relay, with every kind of proposal.
const std::string kShopMail =
    "Return-Path: <bounce-7@mailer.shop.example.de>\n"
    "Received: from mail.shop.example.de (mail.shop.example.de [192.0.2.7])\n"
    "\tby mx.example.com with SMTP; Mon, 10 Mar 2025 09:11:00 +0000\n"
    "Received: from relay.example.co.uk (relay.example.co.uk [198.51.100.2])\n"
    "\tby mail.shop.example.de; Mon, 10 Mar 2025 09:10:00 +0000\n"
    "From: old@old.example.org\n"
    "From: Shop <Sales@Shop.Example.DE>\n"
    "Reply-To: orders@shop.example.de\n"
    "To: alex@example.com, Pat <pat@example.com>\n"
    "Subject: Cheap watches\n"
    "Message-Id: <123.456@mailer.shop.example.de>\n"
    "X-Mailer: MassMailer 5\n"
    "A line without a name\n"
    "\n"
    "Buy now.\n"
    "\n"
    "Only today.\n";

class FilterProposalsTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { LoadDomainLists(TProgramFolders::DataFolder()); }

  void SetUp() override {
    TProgramFolders::SetProgramFolder(dir.Path());
    ASSERT_TRUE(InstallDataFiles());
    filters.Load(true);
  }

  [[nodiscard]] std::vector<std::string> CountryNames(const TFilterProposals& proposals) const {
    std::vector<std::string> names;
    for (const int country : proposals.Countries())
      names.push_back(filters.Countries()->Name(country));
    return names;
  }

  // The last row of that name.
  static const TProposedHeader& Row(const std::vector<TProposedHeader>& rows,
                                    const std::string& name) {
    for (auto row = rows.rbegin(); row != rows.rend(); ++row)
      if (row->Name == name) return *row;
    throw std::runtime_error("no row " + name);
  }

  test::TTempDir dir;
  test::TTestSettings settings;
  TFilterList filters{dir / "Filters.dat"};
};

TEST_F(FilterProposalsTest, OffersWhatTheMessageHasAndSelectsTheFirst) {
  using B = TFilterBase;
  struct TCase {
    const char* what;
    std::string text;  // empty: no message
    bool retrieved;
    std::vector<B> offered;
  };
  const TCase cases[] = {
      {"everything", kShopMail, true, {B::Sender, B::Subject, B::Text, B::Country, B::Header}},
      {"text not retrieved", kShopMail, false, {B::Sender, B::Subject, B::Country, B::Header}},
      {"hosts of no country",
       "Received: from mail.example.com ([192.0.2.1]) by mx.example.net\n"
       "Received: from localhost by 10.0.0.1\nSubject: Hi\n\nText\n",
       true,
       {B::Subject, B::Text, B::Header}},
      {"blank text, blank subject", "X-Mailer: x\nSubject:  \n\n\n \n", true, {B::Header}},
      {"no message", "", true, {B::Sender, B::Subject, B::Text, B::Header}},
  };
  for (const TCase& c : cases) {
    std::unique_ptr<TEmail> message = c.text.empty() ? nullptr : test::Message(c.text);
    if (message && !c.retrieved) message->ClearBody();
    const TFilterProposals proposals(message.get(), filters.Countries());
    std::vector<B> offered;
    for (int i = 0; i < kFilterBaseCount; ++i)
      if (proposals.Offers(static_cast<B>(i))) offered.push_back(static_cast<B>(i));
    EXPECT_EQ(offered, c.offered) << c.what;
    EXPECT_EQ(proposals.FirstOffered(), c.offered.front()) << c.what;
  }
}

TEST_F(FilterProposalsTest, ListsTheSendersSubjectTextCountriesAndHeaders) {
  const auto message = test::Message(kShopMail);
  const TFilterProposals proposals(message.get(), filters.Countries());

  // The last From line counts; headers missing from the message give no line.
  EXPECT_EQ(
      proposals.SenderLines(false),
      (std::vector<std::string>{"From: Sales@Shop.Example.DE", "Reply-To: orders@shop.example.de",
                                "Return-Path: bounce-7@mailer.shop.example.de"}));
  EXPECT_EQ(proposals.SenderLines(true),
            (std::vector<std::string>{"From: Shop.Example.DE", "Reply-To: shop.example.de",
                                      "Return-Path: mailer.shop.example.de"}));
  EXPECT_EQ(proposals.Subject(), "Cheap watches");
  EXPECT_EQ(proposals.Text(), "Buy now.\r\n\r\nOnly today.");
  // The Received lines are read from the last (the first relay) on; Germany comes up twice.
  EXPECT_EQ(CountryNames(proposals), (std::vector<std::string>{"United Kingdom", "Germany"}));

  const std::vector<TProposedHeader> raw = proposals.HeaderRows(false);
  EXPECT_EQ(raw.size(), static_cast<size_t>(message->Headers.Count() - 1));
  EXPECT_EQ(Row(raw, "From").Value, "Shop <Sales@Shop.Example.DE>");
  EXPECT_TRUE(Row(raw, "From").HasAddress);
  EXPECT_EQ(Row(raw, "X-Mailer").Value, "MassMailer 5");
  EXPECT_FALSE(Row(raw, "X-Mailer").HasAddress);

  const std::vector<TProposedHeader> addresses = proposals.HeaderRows(true);
  EXPECT_EQ(addresses.front().Name, "Return-Path");
  EXPECT_EQ(addresses.front().Value, "bounce-7@mailer.shop.example.de");
  EXPECT_EQ(addresses[1].Name, "Received");
  EXPECT_EQ(addresses[1].Value, "mail.shop.example.de");
  EXPECT_EQ(addresses[2].Value, "relay.example.co.uk");
  EXPECT_EQ(Row(addresses, "To").Value, "alex@example.com");
  EXPECT_EQ(Row(addresses, "Message-Id").Value, "mailer.shop.example.de");
  EXPECT_EQ(Row(addresses, "X-Mailer").Value, "MassMailer 5");
}

TEST_F(FilterProposalsTest, TextIsWhatTheTextFiltersSearch) {
  const auto message = test::Message(
      "Content-Type: text/plain; charset=UTF-8\n"
      "Content-Transfer-Encoding: quoted-printable\n\n"
      "Caf=C3=A9 au lait=\n is ready.\nSecond line\n");
  const TFilterProposals proposals(message.get(), filters.Countries());
  EXPECT_EQ(proposals.Text().substr(0, 37), "Caf\xC3\xA9 au lait is ready.\r\nSecond line");
}

TEST(FilterPatternTest, LineBreaksBecomeOneBlankAndFiftyBytesAreKept) {
  const std::string x49(49, 'x');
  const std::pair<std::string, std::string> cases[] = {
      {"Hello\r\nWorld", "Hello World"},
      {"now.\r\n\r\nOnly", "now. Only"},
      {"a\nb\rc", "a bc"},
      {std::string(60, 'x'), std::string(50, 'x')},
      // A character of two bytes does not fit after 49 others: it is left out, not split.
      {x49 + "\xC3\xA9", x49},
      // Bytes that are no UTF-8 are characters of their own.
      {x49 + "\xE9\xE9", x49 + "\xE9"},
      {"\r\n" + std::string(50, 'x'), " " + x49},
  };
  for (const auto& [selected, pattern] : cases) EXPECT_EQ(PatternOf(selected), pattern) << selected;
}

TEST(FilterPatternTest, NewFiltersAreTheUsersOwnOfTheBasesKind) {
  const std::pair<TFilterBase, uint8_t> cases[] = {{TFilterBase::Sender, fkSender},
                                                   {TFilterBase::Subject, fkSubject},
                                                   {TFilterBase::Text, fkText},
                                                   {TFilterBase::Header, fkHeader}};
  for (const auto& [base, kind] : cases) {
    const std::unique_ptr<TFilter> filter = NewFilterFor(base);
    ASSERT_NE(filter, nullptr);
    EXPECT_EQ(filter->Kind, kind);
    EXPECT_EQ(filter->Origin, orUser);
  }
  EXPECT_EQ(NewFilterFor(TFilterBase::Country), nullptr);
}

// Every filter the wizard fills from a message catches that message.
TEST_F(FilterProposalsTest, EachFilledFilterCatchesItsMessage) {
  const auto message = test::Message(kShopMail);
  const TFilterProposals proposals(message.get(), filters.Countries());
  struct TCase {
    const char* what;
    TFilterBase base;
    std::function<void(TFilter&)> fill;
    uint8_t condition1;
    std::string text1;
    std::string text2;
    bool addressOnly;
  };
  const TCase cases[] = {
      {"sender", TFilterBase::Sender,
       [&](TFilter& f) { FillSenderFilter(f, proposals.SenderLines(false)[0], false); }, cnEquals,
       "Sales", "Shop.Example.DE", true},
      {"sender's domain", TFilterBase::Sender,
       [&](TFilter& f) { FillSenderFilter(f, proposals.SenderLines(true)[2], true); }, cnNone, "",
       "mailer.shop.example.de", true},
      {"part of the subject", TFilterBase::Subject,
       [&](TFilter& f) { FillTextFilter(f, "watches", proposals.Subject()); }, cnContains,
       "watches", "", false},
      {"whole subject", TFilterBase::Subject,
       [&](TFilter& f) { FillTextFilter(f, "", proposals.Subject()); }, cnContains, "Cheap watches",
       "", false},
      {"text across an empty line", TFilterBase::Text,
       [&](TFilter& f) { FillTextFilter(f, "now.\r\n\r\nOnly", proposals.Text()); }, cnContainsWord,
       "now. Only", "", false},
      {"first host of the Received lines", TFilterBase::Header,
       [&](TFilter& f) {
         FillHeaderFilter(f, proposals.HeaderRows(true)[1], "shop.example", true);
       },
       cnContains, "Received", "shop.example", true},
      {"raw value", TFilterBase::Header,
       [&](TFilter& f) {
         FillHeaderFilter(f, Row(proposals.HeaderRows(false), "X-Mailer"), "MassMailer", false);
       },
       cnContains, "X-Mailer", "MassMailer", false},
      // An address looked for in a header that has none compares the value as it is.
      {"no address to look for", TFilterBase::Header,
       [&](TFilter& f) {
         FillHeaderFilter(f, Row(proposals.HeaderRows(true), "X-Mailer"), "", true);
       },
       cnContains, "X-Mailer", "MassMailer 5", false},
  };
  for (const TCase& c : cases) {
    std::unique_ptr<TFilter> filter = NewFilterFor(c.base);
    c.fill(*filter);
    EXPECT_EQ(filter->Condition1, c.condition1) << c.what;
    EXPECT_EQ(filter->Text1(), c.text1) << c.what;
    EXPECT_EQ(filter->Text2(), c.text2) << c.what;
    EXPECT_EQ(filter->HasOption(foAddressOnly), c.addressOnly) << c.what;
    if (c.base == TFilterBase::Sender) {
      EXPECT_EQ(filter->Condition2, cnEndsWith) << c.what;
    }
    TFilter* added = filters.Add(std::move(filter));
    const TClassification result = filters.Classify(*message);
    EXPECT_EQ(result.Status, msSpam) << c.what;
    EXPECT_EQ(filters.Current(), added) << c.what;
    filters.Delete(filters.IndexOf(added));
  }
}

TEST_F(FilterProposalsTest, BlockingCountriesAddsNoFilterAndSavesTheTable) {
  const auto message = test::Message(kShopMail);
  const TFilterProposals proposals(message.get(), filters.Countries());
  const int count = filters.Count();
  EXPECT_NE(filters.Classify(*message).Status, msSpam);

  BlockCountries(filters, {proposals.Countries()[0]});

  EXPECT_EQ(filters.Count(), count);
  const TClassification result = filters.Classify(*message);
  EXPECT_EQ(result.Status, msSpam);
  EXPECT_EQ(filters.Current()->Description(), "Sent from or via United Kingdom");
  TLandInfo saved;
  saved.LoadFromFile(dir / "Countries.dat");
  EXPECT_TRUE(saved.IsBlocked(saved.IndexOfCode("uk")));
  EXPECT_FALSE(saved.IsBlocked(saved.IndexOfCode("de")));
}

}  // namespace
}  // namespace tarnwell
