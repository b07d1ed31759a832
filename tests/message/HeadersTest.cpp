#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "message/DomainLists.h"
#include "message/Headers.h"

namespace tarnwell {
namespace {

using TLines = std::vector<std::string>;

THeaders Make(const TLines& lines) {
  THeaders headers;
  headers.AddStrings(lines);
  return headers;
}

class HeadersTest : public ::testing::Test {
 protected:
  void SetUp() override { LoadDomainLists(TARNWELL_SOURCE_DATA_DIR); }
};

TEST(HeadersListTest, LookUpByNameIgnoresCaseNeedsTheColonAndFindsTheLast) {
  struct TCase {
    TLines lines;
    std::string name;
    int index;
    std::string value;
  };
  const TCase cases[] = {
      {{"From: a@example.com", "SUBJECT:   Hello there  "}, "subject", 1, "Hello there"},
      {{"Subject : Hello"}, "Subject", -1, ""},
      {{"X-Tag: 1", "Subject: s", "x-tag: 2"}, "X-TAG", 2, "2"},
      {{"From-Name: Ann"}, "From", -1, ""},
      {{"Subject:"}, "Subject", 0, ""},
      {{"Keywords: a:b:c"}, "  Keywords ", 0, "a:b:c"},
      {{"NoColonHere"}, "NoColonHere", -1, ""},
  };
  for (const TCase& c : cases) {
    const THeaders headers = Make(c.lines);
    EXPECT_EQ(headers.IndexOfName(c.name), c.index) << c.name;
    EXPECT_EQ(headers.HasHeader(c.name), c.index >= 0) << c.name;
    EXPECT_EQ(headers.ValueOf(c.name), c.value) << c.name;
  }
}

TEST(HeadersListTest, NameAndValueAtSplitAtTheFirstColon) {
  const THeaders headers = Make({"Keywords: a:b ", "no colon", ":bare"});
  EXPECT_EQ(headers.NameAt(0), "Keywords");
  EXPECT_EQ(headers.ValueAt(0), "a:b");
  EXPECT_EQ(headers.NameAt(1), "");
  EXPECT_EQ(headers.ValueAt(1), "");
  EXPECT_EQ(headers.NameAt(2), "");
  EXPECT_EQ(headers.ValueAt(2), "bare");
  EXPECT_EQ(headers.NameAt(-1), "");
  EXPECT_EQ(headers.ValueAt(3), "");
}

TEST(HeadersListTest, FindFirstAndFindNextWalkFromTheLastToTheFirst) {
  THeaders headers =
      Make({"Received: from a", "Subject: x", "received: from b", "To: c@example.com"});
  EXPECT_EQ(headers.ValueOf("Received"), "from b");
  EXPECT_EQ(headers.FindFirst(" Received "), 2);
  EXPECT_EQ(headers.FindNext(), 0);
  EXPECT_EQ(headers.FindNext(), -1);
  EXPECT_EQ(headers.FindNext(), -1);
  EXPECT_EQ(headers.FindFirst("Cc"), -1);
  EXPECT_EQ(THeaders().FindFirst("Received"), -1);
}

TEST(HeadersListTest, AddIgnoresEmptyTextAndSetTextDropsBlankLines) {
  THeaders headers;
  EXPECT_EQ(headers.Add("From: a"), 0);
  EXPECT_EQ(headers.Add(""), -1);
  EXPECT_EQ(headers.Count(), 1);

  headers.SetText("From: a\r\n\r\nTo: b\nSubject: c\rDate: d\r\n");
  EXPECT_EQ(headers.Lines(), (TLines{"From: a", "To: b", "Subject: c", "Date: d"}));
  EXPECT_EQ(headers.Text(), "From: a\r\nTo: b\r\nSubject: c\r\nDate: d");
  headers.Delete(1);
  headers.Delete(7);
  EXPECT_EQ(headers.Lines(), (TLines{"From: a", "Subject: c", "Date: d"}));
  headers.Clear();
  EXPECT_EQ(headers.Count(), 0);
}

TEST_F(HeadersTest, StdValuesByHeader) {
  struct TCase {
    TLines lines;
    int number;
    bool found;
    TLines values;
  };
  const TCase cases[] = {
      {{"To: Ann <ann@example.com>, bob@example.org"},
       shTo,
       true,
       {"ann@example.com", "bob@example.org"}},
      {{"Subject: no recipients"}, shTo, false, {}},
      {{"From: a@example.com"}, shSubject, true, {""}},
      {{"To: old@example.com", "TO: <new@example.com>"}, shTo, true, {"new@example.com"}},
      // Commas split the list even inside a quoted name.
      {{"Cc: \"Doe, Jo\" <jo@example.com>"}, shCc, true, {"Doe", "jo@example.com"}},
      {{"From: \"Ann\" <ann@example.com>"}, shFrom, true, {"ann@example.com"}},
      {{"Message-Id: <1234.5678@mail.example.com>"}, shMessageId, true, {"mail.example.com"}},
      {{"Comments: sent by user@host.example.net"}, shComments, true, {"host.example.net"}},
      {{"Subject: Hi", "Subject: Re: Hi"}, shSubject, true, {"Re: Hi"}},
      {{"Received: from a.example.com by b.example.com",
        "Received: from c.example.org by d.example.org"},
       shReceived,
       true,
       {"c.example.org", "d.example.org", "a.example.com", "b.example.com"}},
      {{"Received: from localhost by localhost"}, shReceived, false, {}},
  };
  for (const TCase& c : cases) {
    const THeaders headers = Make(c.lines);
    TLines values{"left over"};
    EXPECT_EQ(headers.StdValues(c.number, values, true), c.found) << c.lines[0];
    EXPECT_EQ(values, c.values) << c.lines[0];
  }
}

TEST_F(HeadersTest, ReceivedHostsNamesRelayAddressAndReceiver) {
  struct TCase {
    std::string line;
    bool validOnly;
    TLines hosts;
  };
  const std::string relay =
      "Received: from relay.example.com (relay.example.com [192.0.2.1]) by mx.example.org "
      "with ESMTP id 4F2A; Mon, 1 Jan 2024 10:00:00 +0000";
  const TCase cases[] = {
      {relay,
       false,
       {"from", "relay.example.com", "relay.example.com", "192.0.2.1", "mx.example.org"}},
      {relay, true, {"relay.example.com", "relay.example.com", "192.0.2.1", "mx.example.org"}},
      {"Received: from postmaster@mail.example.net by mx.example.org",
       true,
       {"mail.example.net", "mx.example.org"}},
      {"Received: from unknown (HELO mail) ([unknown]) by mx.example.org",
       false,
       {"from", "unknown", "HELO", "mail", "mx.example.org"}},
      // "=" separates a host from its keyword without eating the host's first letter.
      {"Received: from [203.0.113.7] (helo=mail.example.com) by mx.example.org",
       true,
       {"203.0.113.7", "mail.example.com", "mx.example.org"}},
      {"Received: (qmail 123 invoked by uid 0); 1 Jan 2024",
       false,
       {"qmail", "123", "invoked", "uid"}},
      {"Received: by", false, {}},
      {"Received:", false, {}},
  };
  for (const TCase& c : cases) {
    const THeaders headers = Make({"Subject: s", c.line});
    TLines hosts{"kept"};
    headers.ReceivedHosts(1, hosts, c.validOnly);
    hosts.erase(hosts.begin());
    EXPECT_EQ(hosts, c.hosts) << c.line << (c.validOnly ? " (valid only)" : "");
  }
}

TEST(HeadersListTest, StdValueAtReadsAddressesAndDomains) {
  const THeaders headers = Make({"Reply-To: Ann Other <ann@example.com>",
                                 "Message-Id: <abc@host.example.com>", "Subject: <kept>"});
  EXPECT_EQ(headers.StdValueAt(0, shReplyTo), "ann@example.com");
  EXPECT_EQ(headers.StdValueAt(1, shMessageId), "host.example.com");
  EXPECT_EQ(headers.StdValueAt(2, shSubject), "<kept>");
  EXPECT_EQ(headers.StdValueAt(-1, shSubject), "");
  EXPECT_EQ(headers.IndexOfStd(shMessageId), 1);
  EXPECT_EQ(headers.IndexOfStd(0), -1);
  EXPECT_EQ(headers.LineOfStd(shSubject), "Subject: <kept>");
  EXPECT_EQ(headers.LineOfStd(shTo), "");
}

TEST(HeadersListTest, SetStdReplacesTheLastLineOnly) {
  THeaders headers = Make({"subject: one", "From: a", "SUBJECT: two"});
  headers.SetStd(shSubject, "three");
  headers.SetStd(shTo, "nobody");
  EXPECT_EQ(headers.Lines(), (TLines{"subject: one", "From: a", "Subject: three"}));
}

TEST(HeadersListTest, RemoveAllAndTake) {
  THeaders headers = Make({"X-A: 1", "From: a", "x-a: 2", "X-A : 3", "X-A: 4"});
  EXPECT_EQ(headers.Take("x-a"), "4");
  EXPECT_EQ(headers.Lines(), (TLines{"X-A: 1", "From: a", "x-a: 2", "X-A : 3"}));
  headers.RemoveAll("X-A");
  EXPECT_EQ(headers.Lines(), (TLines{"From: a", "X-A : 3"}));
  EXPECT_EQ(headers.Take("To"), "");
  EXPECT_EQ(headers.Count(), 2);
}

TEST(HeadersListTest, TextWithoutStatusLeavesOutOnlyTheLastStatusAndUidl) {
  const THeaders headers =
      Make({"Status: RO", "From: a", "X-UIDL: 1", "Status: U", "X-UIDL: 2", "To: b"});
  EXPECT_EQ(headers.TextWithoutStatus(), "Status: RO\r\nFrom: a\r\nX-UIDL: 1\r\nTo: b");
  EXPECT_EQ(Make({"From: a"}).TextWithoutStatus(), "From: a");
}

TEST(HeadersListTest, PresentSetFollowsTheList) {
  THeaders headers = Make({"From: a", "subject: s", "Subject : not this", "X-Other: o"});
  EXPECT_EQ(headers.PresentSet(), StdBit(shFrom) | StdBit(shSubject));
  headers.Add("Received: r");
  EXPECT_EQ(headers.PresentSet(), StdBit(shFrom) | StdBit(shSubject) | StdBit(shReceived));
  headers.RemoveAll("From");
  EXPECT_EQ(headers.PresentSet(), StdBit(shSubject) | StdBit(shReceived));
  EXPECT_EQ(THeaders().PresentSet(), 0u);
}

TEST(HeadersListTest, StandardNamesAndNumbers) {
  for (int number = 1; number <= kStdHeaderCount; ++number) {
    const std::string name = THeaders::StdName(number);
    EXPECT_FALSE(name.empty()) << number;
    EXPECT_EQ(THeaders::StdNumber(name), number) << name;
  }
  EXPECT_EQ(THeaders::StdName(shCc), "Cc");
  EXPECT_EQ(THeaders::StdName(shMimeVersion), "MIME-Version");
  EXPECT_EQ(THeaders::StdName(shXComplainTo), "X-Complain-To");
  EXPECT_EQ(THeaders::StdNumber("message-ID"), shMessageId);
  EXPECT_EQ(THeaders::StdNumber("Status"), 0);
  EXPECT_EQ(THeaders::StdNumber("To "), 0);
  EXPECT_EQ(THeaders::StdName(0), "");
  EXPECT_EQ(THeaders::StdName(21), "");
}

TEST(HeadersListTest, FillAndCheckStdNames) {
  TLines names{"old"};
  THeaders::FillStdNames(names, {shFrom, 0, shTo});
  EXPECT_EQ(names, (TLines{"From", "To"}));

  std::vector<TCheckItem> list{{"Cc", false}, {"from", false}, {"To", true}, {"X-Other", true}};
  THeaders::CheckStdNames(list, StdBit(shCc) | StdBit(shFrom));
  EXPECT_TRUE(list[0].checked);
  EXPECT_TRUE(list[1].checked);
  EXPECT_FALSE(list[2].checked);
  EXPECT_FALSE(list[3].checked);
}

}  // namespace
}  // namespace tarnwell
