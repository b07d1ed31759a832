#include <gtest/gtest.h>
#include <sys/stat.h>

#include "message/Emails.h"
#include "platform/Error.h"
#include "platform/Files.h"
#include "shell/Settings.h"
#include "tests/support/TestSupport.h"

namespace tarnwell {
namespace {

class EmailsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(ForceDirectories(dir / "Inbox"));
    ASSERT_TRUE(ForceDirectories(dir / "Killed"));
  }
  std::string Killed(const std::string& name) { return dir / ("Killed/" + name); }
  // A message whose text has been retrieved.
  static std::unique_ptr<TEmail> Retrieved(const std::string& subject,
                                           std::vector<std::string> body) {
    auto email = std::make_unique<TEmail>();
    email->Headers.Add("Subject: " + subject);
    email->Body = std::move(body);
    email->BodyState = TEmail::bsRetrieved;
    email->BodyLoaded = true;
    return email;
  }

  test::TTempDir dir;
};

TEST_F(EmailsTest, KilledFolderLoadsInFileNameOrderWithStatusHeadersTakenOut) {
  test::WriteFileText(Killed("0000000010.hdr"),
                      "From: b@x.com\r\nSubject: second\r\nX-Tarnwell-Read: Y\r\n");
  test::WriteFileText(Killed("0000000010.txt"), "text");
  test::WriteFileText(Killed("0000000002.hdr"),
                      "From: a@x.com\r\nTo: me@home.net, \"Doe, J\" <j@home.net>\r\n"
                      "Subject: first\r\nDate: Mon, 5 Jan 2004 10:20:00 +0100\r\n"
                      "X-Tarnwell-UID: uid-2\r\nX-Tarnwell-Length: 1234\r\n"
                      "X-Tarnwell-Action: 4\r\nX-Tarnwell-Reason: Subject contains 'first'\r\n"
                      "X-Tarnwell-Complained:\r\nX-Tarnwell-Remove: Y\r\n");
  TEmailList killed(true);
  killed.SetFolder(dir / "Killed");
  ASSERT_EQ(killed.Count(), 2);
  const TEmail& first = *killed[0];
  EXPECT_EQ(first.ID, 2);
  EXPECT_EQ(first.UID, "uid-2");
  EXPECT_EQ(first.Length, 1234);
  EXPECT_EQ(first.Action, 4);
  EXPECT_EQ(first.Reason, "Subject contains 'first'");
  EXPECT_EQ(first.Flags, TEmail::sfErrorMessageSent);  // an empty "Complained" value is no flag
  EXPECT_EQ(first.To, (std::vector<std::string>{"me@home.net", "\"Doe, J\" <j@home.net>"}));
  EXPECT_EQ(first.Subject, "first");
  EXPECT_NE(first.Date, 0);
  EXPECT_EQ(first.BodyState, TEmail::bsNotRetrieved);
  EXPECT_FALSE(first.Headers.HasHeader("X-Tarnwell-UID"));
  EXPECT_EQ(killed[1]->ID, 10);
  EXPECT_TRUE(killed[1]->Read);
  EXPECT_EQ(killed[1]->BodyState, TEmail::bsStored);

  TEmail& missingBody = *killed[0];
  missingBody.LoadBody();
  EXPECT_FALSE(missingBody.BodyLoaded);
  ASSERT_FALSE(missingBody.Body.empty());
  EXPECT_EQ(missingBody.Body[0].rfind("This message was not retrieved automatically because it is "
                                      "too large.",
                                      0),
            0u);
  killed[1]->LoadBody();
  EXPECT_EQ(killed[1]->Body, std::vector<std::string>{"text"});
}

// The notice of a message without a stored text says why by the message-text filters' bit (5)
// of the active filter kinds.
TEST_F(EmailsTest, AMissingTextIsExplainedByWhetherTextFiltersAreActive) {
  const std::string tooLarge =
      "This message was not retrieved automatically because it is too large. Large messages are "
      "normally valid e-mail and are skipped in order to speed up filtering.";
  const std::string disabled =
      "This message was not retrieved automatically because you have disabled text filtering.";
  const struct {
    uint8_t activeFilters;
    const std::string& notice;
  } cases[] = {{0xFE, tooLarge}, {0xDE, disabled}, {0x20, tooLarge}, {0xBE, tooLarge}};
  for (const auto& c : cases) {
    SCOPED_TRACE(static_cast<int>(c.activeFilters));
    TSettings settings;
    settings.ActiveFilters = c.activeFilters;
    InstallSettings(&settings);
    TEmail email;
    email.LoadBody();
    InstallSettings(nullptr);
    EXPECT_FALSE(email.BodyLoaded);
    ASSERT_FALSE(email.Body.empty());
    EXPECT_EQ(email.Body[0], c.notice);
  }
}

TEST_F(EmailsTest, ReadMarkIsWrittenOnceAndRemovedWhole) {
  test::WriteFileText(Killed("0000000001.hdr"),
                      "Subject: s\r\nX-Tarnwell-Reason: r\r\nX-Tarnwell-Read: Y\r\n"
                      "X-Tarnwell-Read: Y\r\n");
  TEmailList killed(true);
  killed.SetFolder(dir / "Killed");
  TEmail& email = *killed[0];
  email.SetRead(false);
  EXPECT_EQ(test::ReadFileText(Killed("0000000001.hdr")), "Subject: s\r\nX-Tarnwell-Reason: r");
  email.SetRead(true);
  email.SetRead(true);
  EXPECT_EQ(test::ReadFileText(Killed("0000000001.hdr")),
            "Subject: s\r\nX-Tarnwell-Reason: r\r\nX-Tarnwell-Read: Y");
  EXPECT_FALSE(email.Headers.HasHeader("X-Tarnwell-Reason"));  // status headers stay on disk
}

TEST_F(EmailsTest, OpeningTheInboxEmptiesIt) {
  test::WriteFileText(dir / "Inbox/0000000001.hdr", "Subject: old\r\n");
  test::WriteFileText(dir / "Inbox/0000000001.txt", "old\r\n");
  TEmailList inbox(false);
  inbox.SetFolder(dir / "Inbox");
  EXPECT_EQ(inbox.Count(), 0);
  EXPECT_TRUE(ListFiles(dir / "Inbox", "").empty());
}

// What a program killed while it wrote Killed Mail leaves behind: temporary files, which go,
// and texts without a header file, which are kept aside and never overwrite what was kept before.
TEST_F(EmailsTest, KilledFolderIsTidiedWhenItIsLoaded) {
  test::WriteFileText(Killed("0000000001.hdr"), "Subject: whole");
  test::WriteFileText(Killed("0000000001.txt"), "text");
  test::WriteFileText(Killed("0000000002.txt"), "text of a header never written");
  test::WriteFileText(Killed("0000000002.txt.unpaired"), "set aside before");
  test::WriteFileText(Killed("0000000003.hdr.tmp123456"), "Subject: half");
  test::WriteFileText(Killed("0000000003.txt.tmp7"), "half");
  test::WriteFileText(Killed("notes.tmp1"), "not ours");
  TEmailList killed(true);
  killed.SetFolder(dir / "Killed");
  ASSERT_EQ(killed.Count(), 1);
  EXPECT_EQ(killed[0]->Subject, "whole");
  EXPECT_EQ(ListFiles(dir / "Killed", ""),
            (std::vector<std::string>{"0000000001.hdr", "0000000001.txt", "0000000002.txt.unpaired",
                                      "0000000002.txt.unpaired.1", "notes.tmp1"}));
  EXPECT_EQ(test::ReadFileText(Killed("0000000002.txt.unpaired")), "set aside before");
  EXPECT_EQ(test::ReadFileText(Killed("0000000002.txt.unpaired.1")),
            "text of a header never written");
}

TEST_F(EmailsTest, MovingToKilledRenumbersAndWritesBothFiles) {
  TEmailList killed(true);
  killed.SetFolder(dir / "Killed");
  killed.NextID = 7;
  {
    TEmailList inbox(false);
    inbox.SetFolder(dir / "Inbox");
    inbox.Add(Retrieved("spam", {"buy", "now"}))->Save();
    ASSERT_TRUE(test::FileExists(dir / "Inbox/0000000001.txt"));
    inbox[0]->Headers.Add("X-Tarnwell-Reason: Subject contains 'spam'");
    inbox.MoveTo(0, killed);
    EXPECT_EQ(inbox.Count(), 0);
    EXPECT_FALSE(test::FileExists(dir / "Inbox/0000000001.hdr"));
    EXPECT_FALSE(test::FileExists(dir / "Inbox/0000000001.txt"));
  }
  ASSERT_EQ(killed.Count(), 1);
  EXPECT_EQ(killed[0]->ID, 7);
  EXPECT_FALSE(killed[0]->BodyLoaded);
  EXPECT_EQ(test::ReadFileText(Killed("0000000007.hdr")),
            "Subject: spam\r\nX-Tarnwell-Reason: Subject contains 'spam'");
  EXPECT_EQ(test::ReadFileText(Killed("0000000007.txt")), "buy\r\nnow");
  TEmailList reloaded(true);
  reloaded.SetFolder(dir / "Killed");
  EXPECT_EQ(reloaded[0]->Reason, "Subject contains 'spam'");
}

TEST_F(EmailsTest, FailedMoveLeavesTheMessageWhereItWas) {
  TEmailList inbox(false);
  inbox.SetFolder(dir / "Inbox");
  inbox.Add(Retrieved("spam", {"text"}))->Save();
  TEmailList killed(true);
  killed.SetFolder(dir / "NoSuchFolder");
  EXPECT_THROW(inbox.MoveTo(0, killed), TError);
  ASSERT_EQ(inbox.Count(), 1);
  EXPECT_EQ(inbox[0]->ID, 1);
  EXPECT_EQ(inbox[0]->Owner(), &inbox);
  EXPECT_EQ(killed.Count(), 0);
  EXPECT_TRUE(test::FileExists(dir / "Inbox/0000000001.hdr"));
  EXPECT_TRUE(test::FileExists(dir / "Inbox/0000000001.txt"));
}

// Bodies are written line by line and read back in pieces; line ends that fall where one piece
// ends and the next begins, lines longer than a piece and a last empty line must come back as
// they were.
TEST_F(EmailsTest, BodyWrittenAndLoadedAgainKeepsItsLinesWhereverThePiecesEnd) {
  constexpr size_t kPiece = 64 * 1024;
  const std::vector<std::vector<std::string>> bodies = {
      {},
      {"one line"},
      {"", "after an empty line", ""},
      // CR as the last byte of a piece, LF the first of the next.
      {std::string(kPiece - 1, 'a'), "next"},
      // CR LF ending a piece.
      {std::string(kPiece - 2, 'b'), "next", ""},
      // An empty line starting a piece.
      {std::string(kPiece - 2, 'c'), "", "x"},
      {"short", std::string(3 * kPiece + 5, 'd'), "short again"},
  };
  TEmailList inbox(false);
  inbox.SetFolder(dir / "Inbox");
  for (const std::vector<std::string>& body : bodies) {
    SCOPED_TRACE(body.size());
    TEmail* saved = inbox.Add(Retrieved("long lines", body));
    saved->SaveBody();
    std::string joined;
    for (size_t i = 0; i < body.size(); ++i) joined += (i > 0 ? "\r\n" : "") + body[i];
    EXPECT_EQ(test::ReadFileText(saved->BasePath() + ".txt"), joined);
    saved->ClearBody();
    saved->LoadBody();
    EXPECT_TRUE(saved->BodyLoaded);
    // A text ending in an empty line comes back with it: spam is deleted from the server once
    // its copy is written, so the copy must hold the text exactly.
    EXPECT_EQ(saved->Body, body);
  }
}

// The copy for Killed Mail is written from the original's lines, which it only borrows.
TEST_F(EmailsTest, KilledCopyWritesTheTextAndLeavesItWithTheOriginal) {
  TEmailList inbox(false);
  inbox.SetFolder(dir / "Inbox");
  TEmail* original = inbox.Add(Retrieved("spam", {"buy", "now"}));
  TEmailList killed(true);
  killed.SetFolder(dir / "Killed");
  const TEmail* copy = killed.AddCopy(*original, TDurability::NoSync);
  EXPECT_EQ(original->Body, (std::vector<std::string>{"buy", "now"}));
  EXPECT_TRUE(copy->Body.empty());
  EXPECT_EQ(test::ReadFileText(Killed("0000000001.txt")), "buy\r\nnow");

  TEmailList nowhere(true);
  nowhere.SetFolder(dir / "NoSuchFolder");
  EXPECT_THROW(nowhere.AddCopy(*original, TDurability::NoSync), TError);
  EXPECT_EQ(nowhere.Count(), 0);
  EXPECT_EQ(original->Body, (std::vector<std::string>{"buy", "now"}));
}

TEST_F(EmailsTest, InboxSynchronisationDropsMessagesNoLongerSeen) {
  TEmailList inbox(false);
  inbox.SetFolder(dir / "Inbox");
  for (const char* uid : {"a", "b", "c"}) {
    auto email = std::make_unique<TEmail>();
    email->UID = uid;
    email->Headers.Add(std::string("Subject: ") + uid);
    email->LastSeen = 100;
    inbox.Add(std::move(email));
  }
  inbox.SaveNew();
  inbox[0]->LastSeen = 200;
  inbox[2]->LastSeen = 200;
  inbox.DeleteNotSeenSince(200);
  ASSERT_EQ(inbox.Count(), 2);
  EXPECT_EQ(inbox.IndexOfUID("c"), 1);
  EXPECT_EQ(inbox.IndexOfUID("b"), -1);
  EXPECT_FALSE(test::FileExists(dir / "Inbox/0000000002.hdr"));
  EXPECT_TRUE(test::FileExists(dir / "Inbox/0000000003.hdr"));
}

TEST(EmailStatusTest, Names) {
  EXPECT_EQ(TEmail::StatusName(2), "Possible spam");
  EXPECT_EQ(TEmail::StatusName(5), "Friend");
  EXPECT_EQ(TEmail::StatusName(9), "Unknown status");
}

}  // namespace
}  // namespace tarnwell
