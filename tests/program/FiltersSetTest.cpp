// filters set on the built-in filters and on the user's own, run as the built program.
#include <gtest/gtest.h>

#include "filtering/FilterList.h"
#include "shell/Settings.h"
#include "tests/program/CommandRunner.h"
#include "tests/support/TestSupport.h"

namespace tarnwell {
namespace {

using test::RunTarnwellIn;
using test::TRunResult;
using Args = std::vector<std::string>;

class FiltersSetTest : public ::testing::Test {
 protected:
  TRunResult Run(const Args& args, const std::string& input = "") {
    return RunTarnwellIn(home.Path(), args, input);
  }
  // `filters ARGS` must succeed and print `line`.
  void Filters(Args args, const std::string& line) {
    args.insert(args.begin(), "filters");
    const TRunResult run = Run(args);
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out, line + "\n");
  }
  // The filter as Filters.dat holds it.
  std::unique_ptr<TFilter> Stored(uint8_t kind, int32_t id) {
    TFilterList list(home / "Filters.dat");
    list.Load(false);
    if (const TFilter* filter = list.FindByID(kind, id)) return filter->Clone();
    ADD_FAILURE() << "Filters.dat has no filter of kind " << int(kind) << " and ID " << id;
    return std::make_unique<TFilter>();
  }

  test::TTempDir home;
};

TEST_F(FiltersSetTest, BuiltInActionsChangeAsTheFiltersPageAllows) {
  // A machine's own mail: its host name has no registered top-level domain.
  test::WriteFileText(home / "root.eml", "From: root@server.lan\nSubject: Cron\n\nDisk full.\n");
  TRunResult run = Run({"classify", "--exit-status", home / "root.eml"});
  EXPECT_EQ(run.status, 1) << run.err;
  EXPECT_EQ(run.out, home / "root.eml" + "\tSpam\t'From' is not a valid address\n");

  Filters({"set", "header", "1", "--action", "ignore"},
          "Header\t1\tSystem\tIgnore\t0\t'From' is not a valid address");
  run = Run({"classify", "--exit-status", home / "root.eml"});
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.out, home / "root.eml" + "\tChecked\t\n");

  // The country filter marks instead of killing.
  ASSERT_EQ(Run({"filters", "block", "tk"}).status, 0);
  Filters({"set", "country", "1", "--action", "mark"},
          "Country\t1\tSystem\tMark, but do not kill\t0\tSent from or via ");
  test::WriteFileText(home / "tk.eml",
                      "Received: from relay.shop.tk (relay.shop.tk [192.0.2.1]) by mx\n"
                      "From: a@b.example.com\nSubject: Hello\n\nHi\n");
  EXPECT_EQ(Run({"classify", home / "tk.eml"}).out,
            home / "tk.eml" + "\tPossible spam\tSent from or via Tokelau\n");

  // Choosing an action there keeps the recipients; they are chosen for complaining only.
  const uint8_t recipients = Stored(fkHeader, 2)->Recipients;
  Filters({"set", "header", "2", "--action", "error-message"},
          "Header\t2\tSystem\tKill after error message\t0\t'From' does not equal 'Reply-To'");
  EXPECT_EQ(Stored(fkHeader, 2)->Recipients, recipients);
  Filters({"set", "header", "4", "--action", "complain", "--recipients", "reply-to,webmaster"},
          "Header\t4\tSystem\tKill after complaining\t0\t'To' does not equal any of your user "
          "names");
  EXPECT_EQ(Stored(fkHeader, 4)->Recipients, rcReplyTo | rcWebmaster);
  EXPECT_EQ(Stored(fkHeader, 1)->Action, acIgnore);
}

TEST_F(FiltersSetTest, RefusedChangesLeaveTheFilterFileAsItWas) {
  ASSERT_EQ(Run({"filters", "add", "subject", "--pattern", "pills"}).status, 0);
  ASSERT_EQ(Run({"filters", "add", "friend", "--domain", "example.org"}).status, 0);
  const std::string before = test::ReadFileText(home / "Filters.dat");
  const struct {
    Args args;
    std::string error;
  } refused[] = {
      {{"header", "9", "--action", "ignore"}, "There is no header filter with the ID 9."},
      {{"header", "x", "--action", "ignore"}, "The ID must be a number from 0 to 2147483647."},
      {{"header", "1"}, "filters set needs what to change, such as --action."},
      {{"header", "1", "--action", "bogus"},
       "--action: unknown action \"bogus\"; use ignore, mark, kill or complain."},
      {{"header", "1", "--action", "error-message"},
       "--action: \"Kill after error message\" is not an action of this filter; use ignore, "
       "mark, kill or complain."},
      {{"header", "1", "--action", "complain", "--recipients", "sender,abuse"},
       "--recipients: the sender's address is invalid; use reply-to, abuse, postmaster or "
       "webmaster."},
      {{"header", "2", "--action", "error-message", "--recipients", "abuse"},
       "--recipients: only for the action \"Kill after complaining\" of this filter."},
      {{"header", "2", "--condition", "equals"},
       "Of a system filter only the action, and the recipients of complaints, can be changed."},
      {{"country", "1", "--action", "ignore"},
       "--action: \"Ignore\" is not an action of this filter; use mark or kill."},
      {{"text", "1", "--action", "kill"}, "This system filter cannot be changed."},
      {{"subject", "1", "--action", "ignore"},
       "--action: \"Ignore\" is not an action of this filter; use accept, mark, kill, complain "
       "or error-message."},
      {{"subject", "1", "--condition", "is-blank", "--pattern", "x"},
       "--pattern: the condition \"Is blank\" takes no pattern."},
      {{"subject", "1", "--pattern", ""}, "--pattern: You cannot leave this field blank."},
      {{"subject", "1", "--case", "--no-case"}, "--case and --no-case exclude each other."},
      {{"subject", "1", "--pattern", "x", "extra"}, "filters set takes no more operands."},
      {{"friend", "1", "--action", "kill"}, "--action: a friend's action is always \"Accept\"."},
      {{"friend", "1", "--domain", "ann@example.org"},
       "--domain: This is not a valid domain name."},
  };
  for (const auto& c : refused) {
    Args args = {"filters", "set"};
    args.insert(args.end(), c.args.begin(), c.args.end());
    const TRunResult run = Run(args);
    EXPECT_EQ(run.status, 2) << c.error;
    EXPECT_EQ(run.err, "tarnwell: " + c.error + "\n");
  }
  EXPECT_EQ(test::ReadFileText(home / "Filters.dat"), before);
}

TEST_F(FiltersSetTest, UserFiltersChangeAsTheirDialogsChangeThem) {
  const TSettings defaults;
  ASSERT_EQ(Run({"filters", "add", "subject", "--pattern", "pills", "--action", "kill"}).status, 0);
  const struct {
    Args args;
    std::string line;
  } steps[] = {
      // A condition that takes a pattern keeps it; one that takes none drops it.
      {{"subject", "1", "--condition", "starts-with"},
       "Subject\t1\tUser\tKill\t0\tSubject starts with 'pills'"},
      {{"subject", "1", "--condition", "is-blank"}, "Subject\t1\tUser\tKill\t0\tSubject is blank"},
      {{"subject", "1", "--condition", "contains", "--pattern", "Pills", "--case", "--action",
        "complain"},
       "Subject\t1\tUser\tKill after complaining\t0\tSubject contains 'Pills'"},
  };
  for (const auto& step : steps) {
    Args args = {"set"};
    args.insert(args.end(), step.args.begin(), step.args.end());
    Filters(args, step.line);
  }
  EXPECT_EQ(Stored(fkSubject, 1)->CaseMatters, 1);
  EXPECT_EQ(Stored(fkSubject, 1)->Recipients, defaults.ComplainAddr);
  // Chosen recipients stay while the action stays; a new action brings the settings' ones.
  Filters({"set", "subject", "1", "--recipients", "sender"},
          "Subject\t1\tUser\tKill after complaining\t0\tSubject contains 'Pills'");
  Filters({"set", "subject", "1", "--pattern", "pill", "--no-case"},
          "Subject\t1\tUser\tKill after complaining\t0\tSubject contains 'pill'");
  EXPECT_EQ(Stored(fkSubject, 1)->Recipients, rcSender);
  EXPECT_EQ(Stored(fkSubject, 1)->CaseMatters, 0);
  Filters({"set", "subject", "1", "--action", "error-message"},
          "Subject\t1\tUser\tKill after error message\t0\tSubject contains 'pill'");
  EXPECT_EQ(Stored(fkSubject, 1)->Recipients, defaults.RemoveAddr);

  // A user name added to a domain filter limits it to the headers with a user part.
  ASSERT_EQ(Run({"filters", "add", "sender", "--domain", "spam.example"}).status, 0);
  ASSERT_NE(Stored(fkSender, 1)->Headers & ~PersonalHeaders, 0u);
  Filters({"set", "sender", "1", "--user", "bob"},
          "Sender\t1\tUser\tKill\t0\tUser name equals 'bob' and Domain ends with 'spam.example'");
  EXPECT_EQ(Stored(fkSender, 1)->Headers & ~PersonalHeaders, 0u);
  EXPECT_NE(Stored(fkSender, 1)->Headers, 0u);

  ASSERT_EQ(
      Run({"filters", "add", "header", "--header", "From", "--pattern", "x@y", "--address-only"})
          .status,
      0);
  ASSERT_TRUE(Stored(fkHeader, 5)->HasOption(foAddressOnly));
  Filters({"set", "header", "5", "--no-address-only"},
          "Header\t5\tUser\tKill\t0\t'From' contains 'x@y'");
  EXPECT_FALSE(Stored(fkHeader, 5)->HasOption(foAddressOnly));

  // A friend may be changed into the copy of another, as its dialog allows.
  ASSERT_EQ(Run({"filters", "add", "friend", "--mailing-list", "news@example.org"}).status, 0);
  ASSERT_EQ(Run({"filters", "add", "friend", "--domain", "example.net"}).status, 0);
  Filters({"set", "friend", "2", "--mailing-list", "news@example.org"},
          "Friend\t2\tUser\tAccept\t0\tMailing list 'news@example.org'");
  Filters({"set", "friend", "2", "--domain", "example.com"},
          "Friend\t2\tUser\tAccept\t0\tDomain is 'example.com'");
  EXPECT_FALSE(Stored(fkFriend, 2)->HasHeaderBit(19));
}

}  // namespace
}  // namespace tarnwell
