#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <string>
#include <vector>

#include "message/DomainLists.h"
#include "message/SvcString.h"
#include "platform/DateTime.h"
#include "tests/support/TestSupport.h"

namespace tarnwell {
namespace {

// Small domain lists of the test's own, loaded for the whole suite.
class DomainListsEnvironment {
 public:
  static void Load() {
    static test::TTempDir dir;
    test::WriteFileText(dir / "TLD.dat", "com\nnet\r\norg\nUK\nau\n\n");
    test::WriteFileText(dir / "SLD.dat", "co.uk\r\nCOM.AU\n");
    LoadDomainLists(dir.Path());
  }
};

class SvcStringTest : public ::testing::Test {
 protected:
  void SetUp() override { DomainListsEnvironment::Load(); }
};

// Sets TZ while it lives.
class TScopedTimeZone {
 public:
  explicit TScopedTimeZone(const char* zone) {
    if (const char* old = std::getenv("TZ")) old_ = old, hadOld_ = true;
    setenv("TZ", zone, 1);
    tzset();
  }
  ~TScopedTimeZone() {
    if (hadOld_) {
      setenv("TZ", old_.c_str(), 1);
    } else {
      unsetenv("TZ");
    }
    tzset();
  }

 private:
  std::string old_;
  bool hadOld_ = false;
};

TDateTime At(int year, int month, int day, int hour, int minute, int second) {
  TDateParts p;
  p.year = year;
  p.month = month;
  p.day = day;
  p.hour = hour;
  p.minute = minute;
  p.second = second;
  return EncodeDateTime(p);
}

TEST_F(SvcStringTest, ParseAddressForms) {
  const struct {
    const char* field;
    const char* name;
    const char* address;
  } cases[] = {
      {"Joe Bloggs <joe@x.com>", "Joe Bloggs", "joe@x.com"},
      {"\"Bloggs, Joe\" <joe@x.com>", "Bloggs, Joe", "joe@x.com"},
      {"joe@x.com (Joe Bloggs)", "Joe Bloggs", "joe@x.com"},
      {"(Joe Bloggs) joe@x.com", "Joe Bloggs", "joe@x.com"},
      {"  joe@x.com  ", "joe@x.com", "joe@x.com"},
      {"Joe joe@x.com", "Joe joe@x.com", "Joe joe@x.com"},
      {"<joe@x.com>", "joe@x.com", "joe@x.com"},
      {"< joe@x.com >", "joe@x.com", "joe@x.com"},
      {"SMTP:joe@x.com", "SMTP:joe@x.com", "joe@x.com"},
      {"Joe <smtp:joe@x.com>", "Joe", "joe@x.com"},
      {"\"Joe\" <joe@x.com", "Joe", "joe@x.com"},
      {"\"Joe", "Joe", "Joe"},
      {"(Joe", "Joe", "Joe"},
      {" \t ", "", ""},
      {"", "", ""},
  };
  for (const auto& c : cases) {
    const TAddressParts parts = ParseAddress(c.field);
    EXPECT_EQ(parts.name, c.name) << c.field;
    EXPECT_EQ(parts.address, c.address) << c.field;
  }
  EXPECT_EQ(DisplayName("Joe <joe@x.com>"), "Joe");
  EXPECT_EQ(AddressOf("Joe <joe@x.com>"), "joe@x.com");
}

TEST_F(SvcStringTest, NextAddressIgnoresCommasInQuotesCommentsAndBrackets) {
  const std::string list = " \"Bloggs, Joe\" <joe@x.com>, (a, b) ann@y.org ,<c,d@z.net>, ";
  std::vector<std::string> elements;
  size_t pos = 1;
  for (std::string element = NextAddress(list, pos); !element.empty();
       element = NextAddress(list, pos)) {
    elements.push_back(element);
    ASSERT_LT(elements.size(), 10u);
  }
  EXPECT_EQ(elements, (std::vector<std::string>{"\"Bloggs, Joe\" <joe@x.com>", "(a, b) ann@y.org ",
                                                "<c,d@z.net>"}));
  EXPECT_EQ(pos, list.size());
}

TEST_F(SvcStringTest, NextAddressStopsAtAnEmptyElement) {
  const std::string list = "a@x.com,,b@y.com";
  size_t pos = 1;
  EXPECT_EQ(NextAddress(list, pos), "a@x.com");
  EXPECT_EQ(pos, 9u);
  EXPECT_EQ(NextAddress(list, pos), "");
  EXPECT_EQ(pos, 9u);
}

TEST_F(SvcStringTest, NextAddressWithAnUnclosedQuoteTakesTheRest) {
  const std::string list = "\"Joe, <joe@x.com>, ann@y.org";
  size_t pos = 1;
  EXPECT_EQ(NextAddress(list, pos), list);
  EXPECT_EQ(NextAddress(list, pos), "");
}

TEST_F(SvcStringTest, AddressParts) {
  EXPECT_EQ(UserPart("mailto:joe@x.com"), "joe");
  EXPECT_EQ(UserPart("  joe  "), "joe");
  EXPECT_EQ(DomainPart("a@b@c.com"), "c.com");
  EXPECT_EQ(DomainPart("plain"), "plain");
  EXPECT_EQ(JoinAddress("joe", "x.com"), "joe@x.com");
  EXPECT_EQ(JoinAddress("", "x.com"), "x.com");
  EXPECT_EQ(JoinAddress("joe", ""), "joe");
  EXPECT_EQ(StripAngleBrackets(" <<joe@x.com>> "), "joe@x.com");
  EXPECT_EQ(StripAngleBrackets("< joe@x.com >"), "joe@x.com");
  EXPECT_EQ(Unquote("\"a b\""), "a b");
  EXPECT_EQ(Unquote("\"ab"), "ab");
  EXPECT_EQ(Unquote("\""), "\"");
  EXPECT_EQ(TopLevelLabel("joe@mail.example.com"), "com");
  EXPECT_EQ(DropLastLabel("mail.example.com"), "mail.example");
  EXPECT_EQ(DropLastLabel("a.b."), "a");
  EXPECT_EQ(DropLastLabel("ab."), "ab.");
  EXPECT_EQ(DropLastLabel("localhost"), "localhost");
}

TEST_F(SvcStringTest, IsDotAtom) {
  const struct {
    const char* text;
    bool expected;
  } cases[] = {
      {"a.b", true},  {"joe+tag.x", true}, {"a", true},     {"a..b", false},
      {".a", false},  {"a.", false},       {"", false},     {".", false},
      {"a b", false}, {"a@b", false},      {"a?b=c", true}, {"a\x80", false},
  };
  for (const auto& c : cases) EXPECT_EQ(IsDotAtom(c.text), c.expected) << c.text;
}

TEST_F(SvcStringTest, IsIPv4) {
  const struct {
    const char* text;
    bool expected;
  } cases[] = {
      {"1.2.3.4", true},
      {" 10.0.0.1 \r\n", true},
      {"001.002.003.255", true},
      {"1.2.3", false},
      {"1.2.3.4.5", false},
      {"1.2.3.256", false},
      {"1.2.3.4a", false},
      {"1..2.3", false},
      {".1.2.3.4", false},
      {"1.2.3.4.", false},
      {"", false},
      {"1.2.3.99999999999999", false},
      {"1.2.3. 4", false},
  };
  for (const auto& c : cases) EXPECT_EQ(IsIPv4(c.text), c.expected) << c.text;
}

TEST_F(SvcStringTest, ValidityRestsOnTheTopLevelDomainList) {
  EXPECT_TRUE(IsKnownTLD("COM"));
  EXPECT_TRUE(IsKnownTLD("uk"));
  EXPECT_FALSE(IsKnownTLD("zz"));
  EXPECT_FALSE(IsKnownTLD(""));
  EXPECT_TRUE(IsValidDomain("example.com"));
  EXPECT_FALSE(IsValidDomain("example.zz"));
  EXPECT_FALSE(IsValidDomain("com"));
  EXPECT_FALSE(IsValidDomain("x..com"));
  EXPECT_TRUE(IsValidDomain("10.1.2.3"));
  EXPECT_TRUE(IsValidAddress("joe.bloggs@mail.example.co.uk"));
  EXPECT_FALSE(IsValidAddress("joe@example.zz"));
  EXPECT_FALSE(IsValidAddress("joe.@example.com"));
  EXPECT_FALSE(IsValidAddress("joe@x.com@y.com"));
  EXPECT_FALSE(IsValidAddress("example.com"));
}

TEST_F(SvcStringTest, RegisteredDomainUsesTheSecondLevelList) {
  const struct {
    const char* text;
    const char* expected;
  } cases[] = {
      {"a.mail.example.co.uk", "example.co.uk"},
      {"a.b.example.com", "example.com"},
      {"joe@smtp.example.COM.au", "example.COM.au"},
      {"x.co.uk", "x.co.uk"},
      {"example.com", "example.com"},
      {"joe@example.com", "example.com"},
      {"co.uk", "co.uk"},
      {"localhost", "localhost"},
  };
  for (const auto& c : cases) EXPECT_EQ(RegisteredDomain(c.text), c.expected) << c.text;
}

TEST_F(SvcStringTest, MissingListsLeaveOnlyAddressLiteralsValid) {
  test::TTempDir empty;
  LoadDomainLists(empty.Path());
  EXPECT_FALSE(IsValidDomain("example.com"));
  EXPECT_TRUE(IsValidDomain("1.2.3.4"));
  EXPECT_EQ(RegisteredDomain("a.mail.example.co.uk"), "co.uk");
}

TEST(DomainListsTest, LoadsEachListFromTheFolderIgnoringCase) {
  test::TTempDir dir;
  test::WriteFileText(dir / "TLD.dat", "Com\r\n  net \n");
  test::WriteFileText(dir / "GTLD.dat", "museum\n");
  std::string folder = dir.Path();
  folder.pop_back();
  LoadDomainLists(folder);
  EXPECT_TRUE(IsListedTLD("COM"));
  EXPECT_TRUE(IsListedTLD("net"));
  EXPECT_FALSE(IsListedTLD("museum"));
  EXPECT_TRUE(IsListedGTLD("Museum"));
  EXPECT_FALSE(IsListedSLD("co.uk"));
}

TEST(DomainListsTest, ShippedListsKnowCommonDomains) {
  LoadDomainLists(TARNWELL_SOURCE_DATA_DIR);
  EXPECT_TRUE(IsValidAddress("someone@example.com"));
  EXPECT_TRUE(IsValidDomain("mail.example.de"));
  EXPECT_EQ(RegisteredDomain("news.bbc.co.uk"), "bbc.co.uk");
  EXPECT_EQ(RegisteredDomain("www.example.com"), "example.com");
}

TEST_F(SvcStringTest, BracketIPDomain) {
  EXPECT_EQ(BracketIPDomain("joe@1.2.3.4"), "joe@[1.2.3.4]");
  EXPECT_EQ(BracketIPDomain("joe@x.com"), "joe@x.com");
  EXPECT_EQ(BracketIPDomain("1.2.3.4"), "1.2.3.4");
  std::vector<std::string> list = {"a@10.0.0.1", "b@y.org"};
  BracketIPDomain(list);
  EXPECT_EQ(list, (std::vector<std::string>{"a@[10.0.0.1]", "b@y.org"}));
}

TEST_F(SvcStringTest, SplitHostPort) {
  const struct {
    const char* text;
    const char* host;
    int port;
  } cases[] = {
      {"mail.x.com:995", "mail.x.com", 995},
      {"mail.x.com", "mail.x.com", 110},
      {"mail.x.com:pop", "mail.x.com", 110},
      {"mail.x.com:", "mail.x.com", 110},
      {"h:99999", "h", 110},
  };
  for (const auto& c : cases) {
    const THostPort hp = SplitHostPort(c.text, 110);
    EXPECT_EQ(hp.host, c.host) << c.text;
    EXPECT_EQ(hp.port, c.port) << c.text;
  }
}

TEST_F(SvcStringTest, ExtractAddressesAndDomains) {
  const std::string text =
      "Write to Joe.Bloggs@Example.COM or joe.bloggs@example.com, mailto:ann@y.org?subject=x "
      "or bad@host.zz. Visit http://3232235777/x and www.Shop.Example.co.uk/buy, "
      "http://user@www.spam.com/, http://%77%77%77.evil.com/., http://1.2.3.4/path "
      "https://secure.example.net/ ftp.example.net www.known.org. Orders: sales@shop.example.com.";
  std::vector<std::string> addresses;
  std::vector<std::string> domains = {"known.org"};
  ExtractAddressesAndDomains(text, addresses, domains);
  EXPECT_EQ(addresses, (std::vector<std::string>{"joe.bloggs@example.com", "ann@y.org",
                                                 "sales@shop.example.com"}));
  EXPECT_EQ(domains, (std::vector<std::string>{"known.org", "192.168.1.1", "example.co.uk",
                                               "spam.com", "evil.com", "1.2.3.4"}));
}

TEST_F(SvcStringTest, UrlDecodeAndNumbers) {
  EXPECT_EQ(UrlDecode("a%41b%2fc"), "aAb/c");
  EXPECT_EQ(UrlDecode("%4"), "4");
  EXPECT_EQ(UrlDecode("100%"), "100");
  EXPECT_EQ(UrlDecode("%zzq"), "q");
  EXPECT_EQ(UrlDecode("%4z1"), "1");
  EXPECT_EQ(NumberToDottedQuad("3232235777"), "192.168.1.1");
  EXPECT_EQ(NumberToDottedQuad("16909060"), "1.2.3.4");
  EXPECT_EQ(NumberToDottedQuad("4294967297"), "0.0.0.1");
  EXPECT_EQ(NumberToDottedQuad("12a"), "");
  EXPECT_EQ(NumberToDottedQuad(""), "");
  EXPECT_EQ(CutAtSlash("host/a/b"), "host");
  EXPECT_EQ(CutUserInfo("u@h@x"), "h@x");
}

TEST_F(SvcStringTest, ParseMessageDate) {
  const struct {
    const char* text;
    TDateTime expected;
  } cases[] = {
      {"Mon, 5 Jan 2004 10:20:30 +0000", At(2004, 1, 5, 10, 20, 30)},
      {"5 Jan 04 10:20 PM", At(2004, 1, 5, 22, 20, 0)},
      {"Fri, 12 Feb 99 12:05 AM EST", At(1999, 2, 12, 0, 5, 0)},
      {"12 dec 79 12:05:01 PM", At(2079, 12, 12, 12, 5, 1)},
      {"5 Dec 2004 23:59:59 -0800", At(2004, 12, 5, 23, 59, 59)},
      {"2004-01-05 10:20:30", At(2004, 1, 5, 10, 20, 30)},
      {"01/05/2004 10:20", At(2004, 1, 5, 10, 20, 0)},
      {"5 March 2004 10:20:30", At(2004, 1, 5, 10, 20, 30)},
      {"no numbers here", 0},
      {"", 0},
      {"5 Jan 2004", 0},
      {"31 Feb 2004 10:00", 0},
      {"5 Jan 2004 25:00", 0},
      {"5 Jan 2004 10:60", 0},
      {"5.1.2004 10:00", 0},
      {"5", 0},
      {"5 Jan 99999999999 10:00", 0},
  };
  for (const auto& c : cases) EXPECT_EQ(ParseMessageDate(c.text), c.expected) << c.text;
}

TEST_F(SvcStringTest, FormatMessageDateUsesTheLocalOffset) {
  const TDateTime value = At(2004, 1, 5, 22, 20, 0);
  {
    TScopedTimeZone zone("EST5");
    EXPECT_EQ(FormatMessageDate(value), "Mon, 5 Jan 2004 22:20:00 -0500");
  }
  {
    TScopedTimeZone zone("UTC0");
    EXPECT_EQ(FormatMessageDate(At(2010, 12, 25, 7, 5, 9)), "Sat, 25 Dec 2010 07:05:09 +0000");
  }
  {
    TScopedTimeZone zone("IST-5:30");
    EXPECT_EQ(FormatMessageDate(value), "Mon, 5 Jan 2004 22:20:00 +0530");
  }
  EXPECT_EQ(FormatMessageDate(1e12), "");
  EXPECT_EQ(FormatMessageDate(-1e12), "");
}

TEST_F(SvcStringTest, UtcToLocalAddsTheStandardOffsetOnly) {
  const TDateTime summer = At(2004, 7, 1, 12, 0, 0);
  TScopedTimeZone zone("EST5EDT");
  EXPECT_NEAR(UtcToLocal(summer), At(2004, 7, 1, 7, 0, 0), 1e-9);
}

TEST_F(SvcStringTest, DateOrTimeTextShowsTheTimeAloneToday) {
  test::TManualClock clock(At(2004, 1, 5, 9, 0, 0));
  EXPECT_EQ(DateOrTimeText("Received", At(2004, 1, 5, 22, 20, 0)), "Received 22:20:00");
  EXPECT_EQ(DateOrTimeText("Received", At(2004, 1, 4, 22, 20, 0)), "Received 01/04/04 22:20:00");
  EXPECT_EQ(DateOrTimeText("Received", 0), "");
}

TEST_F(SvcStringTest, ProgramOfCommand) {
  const struct {
    const char* line;
    const char* program;
    const char* parameters;
  } cases[] = {
      {"C:\\Program Files\\Mail App\\mail.exe /compose", "C:\\Program Files\\Mail App\\mail.exe",
       "/compose"},
      {"\"/opt/Mail App/mail.bin\" -compose %1", "/opt/Mail App/mail.bin", "-compose %1"},
      {"  /opt/mail.bin", "/opt/mail.bin", ""},
      {"thunderbird -compose %u", "thunderbird", "-compose %u"},
      {"\"/opt/My Mail/run\" -x", "/opt/My Mail/run", "-x"},
      {"/usr/bin/evolution", "/usr/bin/evolution", ""},
      {"", "", ""},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(ProgramOfCommand(c.line, true), c.program) << c.line;
    EXPECT_EQ(ParametersOfCommand(c.line), c.parameters) << c.line;
  }
  EXPECT_EQ(ProgramOfCommand("\"/opt/Mail App/mail.bin\" -compose", false),
            "\"/opt/Mail App/mail.bin\"");
}

TEST_F(SvcStringTest, ScrambledPasswordsRoundTrip) {
  EXPECT_EQ(ScramblePassword("A"), "87");
  EXPECT_EQ(ScramblePassword(""), "");
  std::string allBytes;
  for (int c = 0; c < 256; ++c) allBytes += static_cast<char>(c);
  for (const std::string& text : {std::string("secret"), std::string("p@ss w0rd!"), allBytes}) {
    const std::string scrambled = ScramblePassword(text);
    EXPECT_EQ(scrambled.size(), 2 * text.size());
    EXPECT_EQ(scrambled.find_first_not_of("0123456789ABCDEF"), std::string::npos);
    EXPECT_EQ(UnscramblePassword(scrambled), text);
  }
  EXPECT_EQ(UnscramblePassword("87F"), "A");
  EXPECT_EQ(UnscramblePassword("87zz"), "");
}

}  // namespace
}  // namespace tarnwell
