#include <gtest/gtest.h>

#include "complaints/CommaText.h"
#include "complaints/RecentComplaints.h"
#include "platform/DateTime.h"
#include "platform/Error.h"
#include "shell/ProgramFolders.h"
#include "tests/complaints/ComplaintTestSupport.h"

namespace tarnwell {
namespace {

using Strings = std::vector<std::string>;

TEST(CommaTextTest, ItemsRoundTripWithTheirQuoting) {
  struct Case {
    Strings items;
    const char* text;
  } cases[] = {
      {{}, ""},
      {{""}, "\"\""},
      {{"a", "b"}, "a,b"},
      {{"Standard user complaint"}, "\"Standard user complaint\""},
      {{"a,b", "c"}, "\"a,b\",c"},
      {{"say \"hi\""}, "\"say \"\"hi\"\"\""},
      {{"\""}, "\"\"\"\""},
      {{"tab\there", "x"}, "\"tab\there\",x"},
      {{"a", ""}, "a,"},
      {{"", "a"}, ",a"},
      {{"", ""}, ","},
      {{"a", "", "b"}, "a,,b"},
      {{"\xE9t\xE9", "x@y.example"}, "\xE9t\xE9,x@y.example"},
      {{"\"a,b\",c"}, "\"\"\"a,b\"\",c\""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    EXPECT_EQ(JoinCommaText(c.items), c.text);
    EXPECT_EQ(SplitCommaText(c.text), c.items);
  }
}

TEST(CommaTextTest, ReadingSkipsBlanksAndEndsUnquotedItemsAtThem) {
  struct Case {
    const char* text;
    Strings items;
  } cases[] = {
      {"  a , b  ", {"a", "b"}},
      {"a b", {"a", "b"}},
      {"a\tb\r\nc", {"a", "b", "c"}},
      {"\"open ended", {"open ended"}},
      {"\"a\"b", {"a", "b"}},
      {"x\"y", {"x\"y"}},
      {"   ", {}},
  };
  for (const Case& c : cases) EXPECT_EQ(SplitCommaText(c.text), c.items) << c.text;
}

class RecentComplaintsTest : public ::testing::Test {
 protected:
  static TComplaint Complaint(const std::string& user, const std::string& admin = "",
                              const std::string& other = "") {
    TComplaint complaint;
    complaint.Subject = "About " + user + admin + other;
    if (!user.empty()) complaint.UserAddresses = {user};
    if (!admin.empty()) complaint.AdminAddresses = {admin};
    if (!other.empty()) complaint.OtherAddresses = {other};
    return complaint;
  }

  test::TComplaintsFolder folder;
  std::string file = TRecentComplaints::FileName();
};

TEST_F(RecentComplaintsTest, AddKeepsTheNewestFirstAndAtMostMaxCount) {
  TRecentComplaints recent;
  EXPECT_EQ(recent.MaxCount, 50);
  for (int i = 0; i < 50; ++i) recent.Add(Complaint("u" + std::to_string(i) + "@example.com"));
  EXPECT_EQ(recent.Count(), 50);
  EXPECT_EQ(recent.Caption(49), "u0@example.com");
  recent.Add(Complaint("new@example.com"));
  EXPECT_EQ(recent.Count(), 50);
  EXPECT_EQ(recent.Caption(0), "new@example.com");
  EXPECT_EQ(recent.Caption(49), "u1@example.com") << "the oldest entry was dropped";
  EXPECT_TRUE(recent.Modified);

  const Strings before = recent.Lines();
  recent.PromoteEntry(5);
  EXPECT_EQ(recent.Lines()[0], before[5]);
  EXPECT_EQ(recent.Lines()[5], before[0]);
  EXPECT_EQ(recent.Lines()[4], before[4]);
  EXPECT_EQ(recent.Lines()[6], before[6]);
  recent.Delete(0);
  EXPECT_EQ(recent.Count(), 49);
  EXPECT_EQ(recent.Lines()[0], before[1]);
  recent.Delete(49);
  recent.PromoteEntry(-1);
  EXPECT_EQ(recent.Count(), 49);
}

TEST_F(RecentComplaintsTest, SaveLoadAndCloseKeepTheFile) {
  {
    TRecentComplaints recent;
    recent.Load();
    EXPECT_TRUE(test::FileExists(file)) << "a missing file is created";
    EXPECT_EQ(test::ReadFileText(file), "");
    recent.Add(Complaint("first@example.com"));
    recent.Add(Complaint("second@example.com"));
    recent.Close();
    EXPECT_FALSE(recent.Modified);
    EXPECT_EQ(recent.Count(), 0);
  }
  const std::string text = test::ReadFileText(file);
  EXPECT_EQ(text.size() - text.rfind("\r\n"), 2u) << "lines end with CR LF";
  {
    TRecentComplaints recent;
    recent.Load();
    ASSERT_EQ(recent.Count(), 2);
    EXPECT_EQ(recent.Caption(0), "second@example.com");
    recent.Add(Complaint("third@example.com"));
  }
  TRecentComplaints recent;
  recent.Load();
  EXPECT_EQ(recent.Count(), 3) << "freeing a modified list saves it";
  EXPECT_EQ(recent.Caption(0), "third@example.com");
}

TEST_F(RecentComplaintsTest, CaptionFallsBackAndShortLinesShowNothingOfOtherEntries) {
  TRecentComplaints recent;
  recent.Add(Complaint("", "", "other@example.com"));
  recent.Add(Complaint("", "abuse@example.com", "other@example.com"));
  recent.Add(Complaint("User@Example.com", "abuse@example.com"));
  recent.Add(Complaint(""));
  EXPECT_EQ(recent.Caption(0), "");
  EXPECT_EQ(recent.Caption(1), "user@example.com");
  EXPECT_EQ(recent.Caption(2), "abuse@example.com");
  EXPECT_EQ(recent.Caption(3), "other@example.com");
  EXPECT_EQ(recent.Caption(4), "");

  test::WriteFileText(file, "1.0,1,,Full,\"a@example.com\",From\r\n1.0,1\r\n");
  recent.Load();
  EXPECT_EQ(recent.Caption(0), "a@example.com");
  EXPECT_EQ(recent.Caption(1), "");
  EXPECT_TRUE(recent.Entry(1).Subject.empty());

  int index = -1;
  EXPECT_TRUE(recent.FindSender({"nobody@example.com", "A@EXAMPLE.COM"}, index));
  EXPECT_EQ(index, 0);
  EXPECT_FALSE(recent.FindSender({"nobody@example.com"}, index));
}

TEST_F(RecentComplaintsTest, OlderFilesAreUpgradedAndSaved) {
  test::WriteFileText(
      file,
      "1,\"03/15/24 09:30:45\",\"Cheap pills\",\"a@x.example,b@x.example\",\"From,Text\","
      "\"Standard user complaint\",00101,\"x.example,y.example\",\"Standard administrator "
      "complaint\",o@z.example,Other\r\n"
      "2,\"03/16/24 10:00:00\",,,,\"Standard error message\",01010,x.example,\"Standard error "
      "message\",,\r\n");
  TRecentComplaints recent;
  recent.Load();
  ASSERT_EQ(recent.Count(), 2);
  EXPECT_FALSE(recent.Modified);
  EXPECT_EQ(test::ReadFileText(file), recent.Lines()[0] + "\r\n" + recent.Lines()[1] + "\r\n");

  const TComplaint& first = recent.Entry(0);
  EXPECT_EQ(SplitCommaText(recent.Lines()[0]).front(), ProgramVersion());
  EXPECT_EQ(first.Kind, 1);
  EXPECT_EQ(first.Created, EncodeDateTime({2024, 3, 15, 9, 30, 45}));
  EXPECT_EQ(first.Subject, "Cheap pills");
  EXPECT_EQ(first.UserAddresses, (Strings{"a@x.example", "b@x.example"}));
  EXPECT_EQ(first.UserSources, (Strings{"From", "Text"}));
  EXPECT_EQ(first.UserTemplates, (Strings{"Standard user complaint", "Standard user complaint"}));
  EXPECT_EQ(first.Domains, (Strings{"x.example", "y.example"}));
  EXPECT_EQ(first.AdminAddresses, (Strings{"abuse@x.example", "webmaster@x.example",
                                           "abuse@y.example", "webmaster@y.example"}));
  EXPECT_EQ(first.AdminTemplates, Strings(4, "Standard administrator complaint"));
  EXPECT_EQ(first.OtherAddresses, Strings{"o@z.example"});
  EXPECT_EQ(first.OtherTemplates, Strings{"Other"});

  const TComplaint& second = recent.Entry(1);
  EXPECT_EQ(second.Kind, 2);
  EXPECT_TRUE(second.UserAddresses.empty());
  EXPECT_TRUE(second.UserTemplates.empty());
  EXPECT_EQ(second.AdminAddresses, (Strings{"postmaster@x.example"}));
  EXPECT_EQ(second.AdminTemplates, Strings{"Standard error message"});
  EXPECT_TRUE(second.OtherTemplates.empty());

  const std::string upgraded = test::ReadFileText(file);
  TRecentComplaints again;
  again.Load();
  EXPECT_EQ(test::ReadFileText(file), upgraded) << "a current file is left as it is";
}

TEST_F(RecentComplaintsTest, AnUnwritableFolderMakesLoadFail) {
  ASSERT_TRUE(ForceDirectories(file)) << "a folder in the file's place";
  TRecentComplaints recent;
  EXPECT_THROW(recent.Load(), TError);
}

}  // namespace
}  // namespace tarnwell
