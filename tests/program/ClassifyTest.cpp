// The classify command on standard input, Maildir folders and mbox files, and its exit status
// for mail filters, run as the built program.
#include <gtest/gtest.h>

#include "platform/Files.h"
#include "tests/program/CommandRunner.h"
#include "tests/support/TestSupport.h"

namespace tarnwell {
namespace {

using test::RunTarnwellIn;
using test::TRunResult;
using Args = std::vector<std::string>;

// Without a To line the built-in header filters let these through: only the subject decides.
const char* const kGood = "From: ann@example.org\nSubject: Hello\n\nSee you.\n";
const char* const kSpam = "From: x@sell.example.com\nSubject: Cheap pills\n\nBuy.\n";
const char* const kPossibleSpam = "From: y@shop.example.com\nSubject: Special offer\n\nLook.\n";

class ClassifyTest : public ::testing::Test {
 protected:
  void SetUp() override {
    for (const Args& add : {Args{"subject", "--pattern", "pills", "--action", "kill"},
                            Args{"subject", "--pattern", "offer", "--action", "mark"},
                            Args{"friend", "--address", "ann@friends.example.org"}}) {
      Args args = {"filters", "add"};
      args.insert(args.end(), add.begin(), add.end());
      const TRunResult added = Run(args);
      ASSERT_EQ(added.status, 0) << added.err;
    }
  }

  TRunResult Run(const Args& args, const std::string& input = "") {
    return RunTarnwellIn(home.Path(), args, input);
  }

  test::TTempDir home;
};

TEST_F(ClassifyTest, ReadsStandardInputMaildirFoldersAndMboxFiles) {
  const std::string maildir = home / "Mail";
  for (const char* sub : {"/cur", "/new", "/tmp"}) ASSERT_TRUE(ForceDirectories(maildir + sub));
  test::WriteFileText(maildir + "/new/1700000002.M1.host", kSpam);
  test::WriteFileText(maildir + "/cur/1700000001.M1.host:2,S", kGood);
  // Being delivered, and a file of another program: neither is a message.
  test::WriteFileText(maildir + "/tmp/1700000003.M1.host", kSpam);
  test::WriteFileText(maildir + "/cur/.keep", kSpam);

  // A quoted From line and a From line inside a paragraph do not start a message; an empty line
  // before a From line does.
  const std::string mbox = home / "saved.mbox";
  test::WriteFileText(mbox,
                      "From ann@example.org Mon Jan  1 00:00:00 2024\n"
                      "From: ann@example.org\nSubject: Hello\n\n"
                      "He wrote:\n>From the start, cheap pills\nFrom then on\n\n"
                      "From x@sell.example.com Mon Jan  1 00:00:01 2024\n" +
                          std::string(kSpam) +
                          "\nFrom y@shop.example.com Mon Jan  1 00:00:02 2024\n" + kPossibleSpam);
  const std::string crlf = home / "crlf.mbox";
  test::WriteFileText(crlf,
                      "From x@sell.example.com Mon Jan  1 00:00:00 2024\r\n"
                      "From: x@sell.example.com\r\nSubject: Cheap pills\r\n\r\nBuy.\r\n\r\n"
                      "From ann@friends.example.org Mon Jan  1 00:00:01 2024\r\n"
                      "From: ann@friends.example.org\r\nSubject: Hi\r\n\r\nHello.\r\n");

  const TRunResult run =
      Run({"classify", "-", "--maildir", maildir, "--mbox", mbox, "--mbox=" + crlf}, kPossibleSpam);
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.out,
            "-\tPossible spam\tSubject contains 'offer'\n" +                             //
                maildir + "/cur/1700000001.M1.host:2,S\tChecked\t\n" +                   //
                maildir + "/new/1700000002.M1.host\tSpam\tSubject contains 'pills'\n" +  //
                mbox + ":1\tChecked\t\n" +                                               //
                mbox + ":2\tSpam\tSubject contains 'pills'\n" +                          //
                mbox + ":3\tPossible spam\tSubject contains 'offer'\n" +                 //
                crlf + ":1\tSpam\tSubject contains 'pills'\n" +                          //
                crlf + ":2\tFriend\tUser is 'ann@friends.example.org'\n");
}

TEST_F(ClassifyTest, WhatCannotBeReadIsAnErrorLineAndStatus2) {
  ASSERT_TRUE(ForceDirectories(home / "Empty"));
  test::WriteFileText(home / "plain.eml", kSpam);
  const TRunResult run = Run({"classify", "--maildir", home / "Empty", "--mbox", home / "plain.eml",
                              "--mbox", home / "missing.mbox", home / "plain.eml"});
  EXPECT_EQ(run.status, 2);
  EXPECT_EQ(run.out,
            home / "Empty" + "\tError\tThis is no Maildir folder: it has neither cur/ nor new/.\n" +
                home / "plain.eml" +
                "\tError\tThis is no mbox file: it does not begin with a \"From \" line.\n" +
                home / "missing.mbox" +
                "\tError\tThe file cannot be read: No such file or directory.\n" +
                home / "plain.eml" + "\tSpam\tSubject contains 'pills'\n");
}

TEST_F(ClassifyTest, ExitStatusIsTheStatusOfTheOneMessage) {
  test::WriteFileText(home / "spam.eml", kSpam);
  const std::string bounce =
      "From: mailer@relay.example.org\nSubject: Returned mail\n\nX-Tarnwell-AutoReply: 40000001\n";
  const struct {
    const char* name;
    Args args;
    std::string input;
    int status;
  } cases[] = {
      {"good", {"-"}, kGood, 0},
      {"friend", {"-"}, "From: ann@friends.example.org\nSubject: Cheap pills\n\nHi\n", 0},
      {"bounce", {"-"}, bounce, 0},
      {"spam", {"-"}, kSpam, 1},
      {"spam in a file", {home / "spam.eml"}, "", 1},
      {"possible spam", {"-"}, kPossibleSpam, 2},
      {"a file that cannot be read", {home.Path()}, "", 3},
      {"a missing file", {home / "missing.eml"}, "", 3},
      // More than one message, or a wrong command line, is no status of a message either.
      {"two messages", {home / "spam.eml", "-"}, kGood, 3},
      {"a folder", {"--maildir", home.Path()}, "", 3},
      {"an mbox file", {"--mbox", home / "spam.eml"}, "", 3},
      {"standard input twice", {"-", "-"}, kGood, 3},
      {"an unknown option", {"--bogus", "-"}, kGood, 3},
      {"nothing to classify", {}, "", 3},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    Args args = {"classify", "--exit-status"};
    args.insert(args.end(), c.args.begin(), c.args.end());
    const TRunResult run = Run(args, c.input);
    EXPECT_EQ(run.status, c.status) << run.err;
    // The line is printed as without the option, for the mail filter's log.
    if (c.status < 3) {
      EXPECT_EQ(run.out.find('\n'), run.out.size() - 1) << run.out;
    }
  }
  // Without the option a wrong command line is status 2, as for every command.
  EXPECT_EQ(Run({"classify", "--bogus", "-"}, kGood).status, 2);
  EXPECT_EQ(Run({"classify", "-", "-"}, kGood).err,
            "tarnwell: standard input can be read only once.\n");
}

}  // namespace
}  // namespace tarnwell
