#include <gtest/gtest.h>

#include "message/LiveMail.h"
#include "message/SvcString.h"
#include "platform/DateTime.h"
#include "platform/Files.h"
#include "tests/support/TestSupport.h"

namespace tarnwell {
namespace {

TEST(LiveMailTest, TheListKeepsWhatTheCheckDecidedAndTheHeadersItShows) {
  test::TTempDir dir;
  TEmailList inbox(false);
  inbox.SetFolder(dir / "Inbox");
  auto first = std::make_unique<TEmail>();
  first->Headers.AddStrings(
      {"Received: from relay", "From: Ann <ann@example.org>", "Subject: old",
       "Subject: =?UTF-8?Q?caf=C3=A9?=", "Date: Thu, 14 Mar 2024 08:00:00 +0000", "X-Mailer: m"});
  first->ParseHeaders();
  first->Status = 2;
  first->Length = 1234;
  first->Read = true;
  first->LastSeen = UnixToLocalDateTime(1710403200);
  // A reason from a filter pattern typed with a line break would split the record.
  first->Reason = "Subject contains 'a\r\nb'";
  inbox.Add(std::move(first));
  auto second = std::make_unique<TEmail>();
  second->Status = 5;
  inbox.Add(std::move(second));

  const std::string path = dir / kLiveMailListName;
  WriteLiveMailList(inbox, path);
  const auto records = ReadLiveMailList(path);
  ASSERT_EQ(records.size(), 2u);
  const TEmail& read = *records[0];
  EXPECT_EQ(read.ID, 1);
  EXPECT_EQ(read.Status, 2);
  EXPECT_EQ(read.Length, 1234);
  EXPECT_TRUE(read.Read);
  EXPECT_EQ(LocalDateTimeToUnix(read.LastSeen), 1710403200);
  EXPECT_EQ(read.Reason, "Subject contains 'a  b'");
  EXPECT_EQ(read.From, "Ann <ann@example.org>");
  EXPECT_EQ(read.Subject, "=?UTF-8?Q?caf=C3=A9?=");
  EXPECT_EQ(read.Date, ParseMessageDate("Thu, 14 Mar 2024 08:00:00 +0000"));
  EXPECT_EQ(read.Headers.Lines(),
            (std::vector<std::string>{
                "From: Ann <ann@example.org>",
                "Subject: =?UTF-8?Q?caf=C3=A9?=", "Date: Thu, 14 Mar 2024 08:00:00 +0000"}));
  EXPECT_EQ(records[1]->ID, 2);
  EXPECT_EQ(records[1]->Status, 5);
  EXPECT_FALSE(records[1]->Read);
  EXPECT_EQ(records[1]->LastSeen, 0);

  // An empty Live Mail gives an empty list; a missing file none.
  TEmailList empty(false);
  WriteLiveMailList(empty, path);
  EXPECT_TRUE(ReadLiveMailList(path).empty());
  EXPECT_TRUE(ReadLiveMailList(dir / "missing.lst").empty());
}

TEST(LiveMailTest, ADamagedListGivesWhatItCanRead) {
  test::TTempDir dir;
  test::WriteFileText(dir / "list",
                      "\r\n\r\nX-Tarnwell-ID: 99999999999\nX-Tarnwell-Status: 300\r\n"
                      "X-Tarnwell-Length: -5\nX-Tarnwell-Seen: 999999999999999999999\n"
                      "no colon at all\n\n\nSubject: only this");
  const auto records = ReadLiveMailList(dir / "list");
  ASSERT_EQ(records.size(), 2u);
  EXPECT_EQ(records[0]->ID, 0);
  EXPECT_EQ(records[0]->Status, 0);
  EXPECT_EQ(records[0]->Length, 0);
  EXPECT_EQ(records[0]->LastSeen, 0);
  EXPECT_EQ(records[1]->Subject, "only this");
}

}  // namespace
}  // namespace tarnwell
