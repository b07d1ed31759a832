#include <gtest/gtest.h>

#include <cstring>

#include "filtering/Countries.h"
#include "filtering/FilterList.h"
#include "filtering/Filters.h"
#include "message/DomainLists.h"
#include "shell/ProgramFolders.h"
#include "tests/filtering/FilterTestSupport.h"
#include "tests/support/TestSupport.h"

namespace tarnwell {
namespace {

class FiltersTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { LoadDomainLists(TProgramFolders::DataFolder()); }

  // Whether `filter` alone matches the message.
  bool Matches(TFilter& filter, const std::string& text) {
    auto message = test::Message(text);
    return list.Classify(*message, &filter).Matched;
  }

  test::TTestSettings settings;
  TFilterList list;
};

TEST(FilterRecordTest, WritesEveryFieldAtItsOffset) {
  THeaderFilter filter;
  filter.ID = 0x01020304;
  filter.Options = foAddressOnly | foUserPart;
  filter.Origin = orUser;
  filter.UpdateNumber = -2;
  filter.Action = acKillAfterComplaint;
  filter.Recipients = rcSender | rcWebmaster;
  filter.CaseMatters = 1;
  filter.Hits = 300;
  filter.SetText1("From");
  filter.Condition1 = cnNotEquals;
  filter.SetText2(std::string(60, 'x'));  // cut to 50
  filter.Condition2 = cnEndsWith;
  filter.HeaderNumber = 15;
  filter.Headers = (1u << 8) | (1u << 19);
  uint8_t r[kFilterRecordSize];
  filter.WriteRecord(r);
  const uint8_t expectedStart[] = {7,  0, 0,    0,    4,    3,    2,   1,    0x0A, 3,
                                   0,  0, 0xFE, 0xFF, 0xFF, 0xFF, 4,   0x11, 1,    0,
                                   44, 1, 0,    0,    4,    'F',  'r', 'o',  'm'};
  EXPECT_EQ(std::memcmp(r, expectedStart, sizeof expectedStart), 0);
  EXPECT_EQ(r[29], 0);  // unused string bytes of a new filter are zero
  EXPECT_EQ(r[75], cnNotEquals);
  EXPECT_EQ(r[76], 50);
  EXPECT_EQ(r[77], 'x');
  EXPECT_EQ(r[126], 'x');
  EXPECT_EQ(r[127], cnEndsWith);
  EXPECT_EQ(r[128], 15);
  const uint8_t headers[] = {0x00, 0x01, 0x08, 0x00};
  EXPECT_EQ(std::memcmp(r + 129, headers, 4), 0);
  EXPECT_EQ(r[133] | r[134] | r[135], 0);
}

TEST(FilterRecordTest, RecordFromAFileComesBackByteForByte) {
  uint8_t in[kFilterRecordSize];
  for (size_t i = 0; i < sizeof in; ++i) in[i] = static_cast<uint8_t>(i * 7 + 1);
  in[0] = fkSubject;
  in[24] = 3;  // "Text1" is 3 bytes, the rest of its area is leftover bytes
  in[76] = 0;
  TSubjectFilter filter;
  ASSERT_TRUE(filter.ReadRecord(in));
  EXPECT_EQ(filter.Text1(), std::string(reinterpret_cast<const char*>(in + 25), 3));
  EXPECT_EQ(filter.ID, int32_t(in[4] | in[5] << 8 | in[6] << 16 | in[7] << 24));
  uint8_t out[kFilterRecordSize];
  filter.WriteRecord(out);
  EXPECT_EQ(std::memcmp(in, out, sizeof in), 0);
  // A changed text is written with a clean string area.
  filter.SetText1("ab");
  filter.WriteRecord(out);
  EXPECT_EQ(out[24], 2);
  EXPECT_EQ(out[27], 0);
  // A length beyond the capacity cannot be a valid record.
  in[24] = 51;
  EXPECT_FALSE(filter.ReadRecord(in));
}

TEST(FilterCompareTest, Conditions) {
  struct TCase {
    uint8_t condition;
    uint8_t caseMatters;
    const char* value;
    const char* pattern;
    bool expected;
  };
  const TCase cases[] = {
      {cnContains, 0, "Cheap PILLS here", "pills", true},
      {cnContains, 1, "Cheap PILLS here", "pills", false},
      {cnContainsWord, 0, "pillsbury", "pills", false},
      {cnContainsWord, 0, "the pills.", "pills", true},
      {cnNotContains, 0, "hello", "bye", true},
      {cnEquals, 0, "", "", false},
      {cnEquals, 0, "ABC", "abc", true},
      {cnNotEquals, 0, "", "", false},
      {cnNotEquals, 0, "", "x", true},
      {cnStartsWith, 0, "Re: hi", "re:", true},
      {cnNotStartsWith, 0, "a re:", "re:", true},
      {cnEndsWith, 0, "mail.EXAMPLE.com", "example.com", true},
      {cnEndsWith, 1, "mail.EXAMPLE.com", "example.com", false},
      {cnEndsWith, 0, "com", "example.com", false},
      {cnEndsWith, 0, "anything", "", false},
      {cnNotEndsWith, 0, "example.org", ".com", true},
      {cnBlank, 0, " <> ", "", true},
      {cnNotBlank, 0, "<a>", "", true},
      {cnStartsWithNumber, 0, "4you", "", true},
      {cnStartsWithNumber, 0, "", "", false},
      {cnMostlyNumbers, 0, "12a", "", true},
      {cnMostlyNumbers, 0, "1ab", "", false},
      {cnNumeric, 0, "123", "", true},
      {cnNumeric, 0, "", "", false},
      {cnUppercase, 0, "12345", "", false},
      {cnUppercase, 0, "FREE!!!", "", true},
      {cnUppercase, 0, "Free", "", false},
      {cnInvalidAddress, 0, "someone@example.com", "", false},
      {cnInvalidAddress, 0, "someone@example.invalidtld", "", true},
      {cnInvalidAddress, 0, "  ", "", false},
      {cnPresent, 0, "x", "", false},
      {99, 0, "x", "x", false},
  };
  LoadDomainLists(TProgramFolders::DataFolder());
  for (const TCase& c : cases) {
    TFilter filter;
    filter.CaseMatters = c.caseMatters;
    EXPECT_EQ(filter.Compare(c.value, c.condition, c.pattern), c.expected)
        << "condition " << int(c.condition) << " value '" << c.value << "' pattern '" << c.pattern
        << "'";
  }
}

TEST(FilterCompareTest, TextFiltersHonourOnlyFiveConditions) {
  TTextFilter filter;
  EXPECT_TRUE(filter.Compare("abc", cnContains, "b"));
  EXPECT_TRUE(filter.Compare("", cnBlank, ""));
  EXPECT_FALSE(filter.Compare("abc", cnEquals, "abc"));
  EXPECT_FALSE(filter.Compare("ABC", cnContains, "abc"));  // texts come prepared
}

TEST_F(FiltersTest, SenderFilterUserConditionRestrictsItToPersonalHeaders) {
  const std::string message =
      "Received: from relay.spamhost.com ([10.0.0.1]) by mx.example.org\n"
      "Message-Id: <abc@spamhost.com>\n"
      "From: Someone <someone@example.org>\n\nbody\n";
  TSenderFilter byDomain;
  byDomain.SetText2("spamhost.com");
  EXPECT_TRUE(Matches(byDomain, message));

  TSenderFilter neither;
  neither.Condition2 = cnNone;
  EXPECT_FALSE(Matches(neither, message));

  TSenderFilter withUser = byDomain;
  withUser.Condition1 = cnContains;
  withUser.SetText1("");
  EXPECT_FALSE(Matches(withUser, message));  // Received and Message-Id carry no user
  withUser.SetText2("example.org");
  EXPECT_TRUE(Matches(withUser, message));
}

TEST_F(FiltersTest, SenderFilterNumericConditionsSkipAddressLiterals) {
  TSenderFilter numeric;
  numeric.Condition2 = cnNumeric;
  EXPECT_TRUE(Matches(numeric, "From: a@12345.com\n\n"));
  EXPECT_FALSE(Matches(numeric, "From: a@[192.168.1.1]\n\n"));
  numeric.Condition2 = cnStartsWithNumber;
  EXPECT_FALSE(Matches(numeric, "From: a@192.168.1.1\n\n"));
}

TEST_F(FiltersTest, FriendForADomainAcceptsAnyDomainEndingTheSame) {
  TFriendFilter domain;
  domain.Condition1 = cnNone;
  domain.SetText2("example.com");
  EXPECT_TRUE(Matches(domain, "From: a@mail.example.com\n\n"));
  EXPECT_TRUE(Matches(domain, "From: a@badexample.com\n\n"));
  EXPECT_FALSE(Matches(domain, "From: a@example.org\n\n"));

  TFriendFilter list;
  list.SetText1("news");
  list.SetText2("lists.example.net");
  EXPECT_FALSE(Matches(list, "From: poster@else.org\nTo: news@lists.example.net\n\n"));
  list.Headers |= 1u << 19;
  EXPECT_TRUE(Matches(list, "From: poster@else.org\nTo: NEWS@lists.example.net\n\n"));
}

TEST_F(FiltersTest, TextFilterDoesNotContainMatchesAPatternHiddenByEncoding) {
  // "cheap pills" in base64: the raw text lacks the words, the decoded text has them.
  const std::string message =
      "MIME-Version: 1.0\nContent-Type: text/plain\nContent-Transfer-Encoding: base64\n\n"
      "Y2hlYXAgcGlsbHM=\n";
  TTextFilter lacks;
  lacks.Condition1 = cnNotContains;
  lacks.SetText1("pills");
  EXPECT_TRUE(Matches(lacks, message));
  TTextFilter has;
  has.SetText1("PILLS");
  EXPECT_TRUE(Matches(has, message));
  has.CaseMatters = 1;
  EXPECT_FALSE(Matches(has, message));
}

TEST_F(FiltersTest, HeaderFilterRules) {
  THeaderFilter mailer;
  mailer.SetText1("X-Mailer");
  mailer.Condition1 = cnNotContains;
  mailer.SetText2("Outlook");
  EXPECT_FALSE(Matches(mailer, "From: a@b.com\n\n"));
  EXPECT_TRUE(Matches(mailer, "X-Mailer: BulkBlaster 9\n\n"));
  EXPECT_FALSE(Matches(mailer, "X-Mailer: BulkBlaster 9\nx-mailer: Outlook\n\n"));

  THeaderFilter differs;  // system filter 4
  differs.SetText1("From");
  differs.HeaderNumber = 15;
  differs.Condition1 = cnNotEquals;
  differs.Options = foAddressOnly;
  EXPECT_EQ(differs.Description(), "'From' does not equal 'Reply-To'");
  EXPECT_FALSE(Matches(differs, "From: A <a@b.com>\nReply-To: a@b.com\n\n"));
  EXPECT_TRUE(Matches(differs, "From: A <a@b.com>\nReply-To: other@b.com\n\n"));
  EXPECT_FALSE(Matches(differs, "From: A <a@b.com>\n\n"));

  THeaderFilter subject;  // not an address header: the address option is dropped
  subject.SetText1("Subject");
  subject.SetText2("offer");
  subject.Options = foAddressOnly;
  EXPECT_TRUE(Matches(subject, "Subject: Special OFFER\n\n"));
  EXPECT_FALSE(subject.HasOption(foAddressOnly));
}

TEST_F(FiltersTest, OwnUserNamesFilter) {
  THeaderFilter own;  // system filter 6
  own.SetText1("To");
  own.Condition1 = cnNotEquals;
  own.SetText2("$USER");
  own.Options = foAddressOnly | foUserPart | foOwnNames;
  EXPECT_EQ(own.Description(), "'To' does not equal any of your user names");
  // No accounts: any message with a To address matches, one without never does.
  EXPECT_TRUE(Matches(own, "To: joe@example.com\n\n"));
  EXPECT_FALSE(Matches(own, "From: a@b.com\n\n"));
  list.SetOwnNames({"joe", "ann"}, {"example.com", "work.org"});
  EXPECT_FALSE(Matches(own, "To: Joe <JOE@example.com>, x@y.com\n\n"));
  EXPECT_TRUE(Matches(own, "To: bob@example.com, x@y.com\n\n"));
}

TEST_F(FiltersTest, SubjectPresenceAndMissingSubject) {
  TSubjectFilter missing;
  missing.Condition1 = cnMissing;
  EXPECT_TRUE(Matches(missing, "From: a@b.com\n\n"));
  TSubjectFilter notContains;
  notContains.Condition1 = cnNotContains;
  notContains.SetText1("x");
  EXPECT_FALSE(Matches(notContains, "From: a@b.com\n\n"));
  EXPECT_TRUE(Matches(notContains, "Subject: hello\n\n"));
}

TEST_F(FiltersTest, CountryFilterUsesTheBlockedCountriesOfTheMainList) {
  test::TTempDir dir;
  test::WriteFileText(dir / "Countries.dat", "de,Germany=0\r\nuk,United Kingdom=0\r\n");
  TProgramFolders::SetProgramFolder(dir.Path());
  TFilterList main(dir / "Filters.dat");
  main.Load(true);
  TFilter* country = main.SystemFilter(1);
  ASSERT_EQ(country->Kind, fkCountry);
  const auto matches = [&](const std::string& text) {
    auto message = test::Message(text);
    return main.Classify(*message, country).Matched;
  };
  const std::string viaUk = "Received: from relay.example.CO.UK ([10.1.2.3]) by mx.b.com\n\n";
  EXPECT_FALSE(matches(viaUk));
  main.SetCountryBlocked(1, true);
  EXPECT_TRUE(matches(viaUk));
  EXPECT_EQ(country->Description(), "Sent from or via United Kingdom");
  EXPECT_FALSE(matches("Received: from [10.1.2.3] by mx.b.com\n\n"));
  EXPECT_TRUE(matches("From: x@shop.example.uk\n\n"));
}

TEST(FilterDescriptionTest, Texts) {
  TSenderFilter sender;
  sender.Condition1 = cnContains;
  sender.SetText1("sales");
  sender.SetText2("example.com");
  EXPECT_EQ(sender.Description(), "User name contains 'sales' and Domain ends with 'example.com'");
  sender.Condition1 = cnNone;
  EXPECT_EQ(sender.Description(), "Domain ends with 'example.com'");
  TFriendFilter single;
  single.SetText1("ann");
  single.SetText2("b.org");
  EXPECT_EQ(single.Description(), "User is 'ann@b.org'");
  single.Condition1 = cnNone;
  EXPECT_EQ(single.Description(), "Domain is 'b.org'");
  single.Headers |= 1u << 19;
  EXPECT_EQ(single.Description(), "Mailing list 'b.org'");
  TSubjectFilter subject;
  subject.SetText1("win");
  EXPECT_EQ(subject.Description(), "Subject contains 'win'");
  subject.Condition1 = cnUppercase;
  EXPECT_EQ(subject.Description(), "Subject is uppercase");
  TTextFilter text;
  text.SetText1("viagra");
  EXPECT_EQ(text.Description(), "Message text contains word 'viagra'");
  EXPECT_EQ(TNotAFriend().Description(), "The sender is not a friend");
}

TEST(FilterListItemTest, RowsAndSortKeys) {
  TSenderFilter sender;
  sender.Condition1 = cnStartsWithNumber;
  sender.SetText2("example.com");
  sender.Hits = 7;
  TFilterListItem row;
  sender.FillListItem(row);
  EXPECT_EQ(row.Caption, "Starts with a number");
  EXPECT_EQ(row.SubItems, (std::vector<std::string>{"Ends with 'example.com'", "N", "Kill", "7"}));
  EXPECT_EQ(sender.SortKey1(), "\x01Starts with a number");
  EXPECT_EQ(sender.SortKey2(), "example.com");

  THeaderFilter header;
  header.SetText1("X-Mailer");
  header.SetText2("Bulk");
  header.Condition1 = cnMissing;
  EXPECT_EQ(header.SortKey1(), "X-Mailer\x02Is missing");
  EXPECT_EQ(header.SortKey2(), "\x01Is missing");
  TFilterListItem headerRow;
  header.FillListItem(headerRow);
  EXPECT_EQ(headerRow.SubItems[0], "is missing");
  EXPECT_EQ(headerRow.SubItems[1], "");

  TFriendFilter everyone;
  everyone.Condition1 = cnNone;
  everyone.SetText2("b.org");
  TFilterListItem friendRow;
  everyone.FillListItem(friendRow);
  EXPECT_EQ(friendRow.Caption, "Everyone at 'b.org'");
  EXPECT_TRUE(friendRow.SubItems.empty());
  EXPECT_EQ(sender.SearchText(), std::string("\xFF") + "example.com");
}

}  // namespace
}  // namespace tarnwell
