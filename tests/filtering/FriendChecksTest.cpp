#include <gtest/gtest.h>

#include "filtering/FilterList.h"
#include "filtering/Filters.h"
#include "filtering/FriendChecks.h"

namespace tarnwell {
namespace {

using enum TFriendType;

class FriendChecksTest : public ::testing::Test {
 protected:
  FriendChecksTest() { list.AutoSave = false; }

  TFilter* AddFriend(const std::string& entry, TFriendType type) {
    auto filter = std::make_unique<TFriendFilter>();
    EXPECT_FALSE(EnterFriend(*filter, entry, type, list, true, {})) << entry;
    return list.Add(std::move(filter));
  }

  // The refusal of `entry` as a new friend, empty when it passes.
  std::string Refusal(const std::string& entry, TFriendType type, bool adding = true) {
    TFriendFilter filter;
    const std::optional<TFriendRefusal> refusal =
        EnterFriend(filter, entry, type, list, adding, own);
    return refusal ? refusal->Text : std::string();
  }

  TFilterList list;
  std::vector<std::string> own = {"Pat@Example.com", "me@home.example"};
};

TEST_F(FriendChecksTest, RefusesInTheDialogsOrderWithItsTexts) {
  AddFriend("ann@friends.org", User);
  AddFriend("pat@example.com", User);
  const struct {
    TFriendType type;
    std::string entry;
    std::string refusal;
    bool ofEntry;
  } cases[] = {
      {User, "", "You cannot leave this field blank.", true},
      {Domain, " \t ", "You cannot leave this field blank.", true},
      {MailingList, std::string(51, 'x'), "at most 50 characters.", true},
      // A blank inside comes before the count of "@", for every type.
      {User, "ann smith@friends.org", "This is not a valid e-mail address.", true},
      {Domain, "ann @friends.org", "This is not a valid e-mail address.", true},
      {MailingList, "news\tletter@x.org", "This is not a valid e-mail address.", true},
      {User, "friends.org", "This is not a valid e-mail address.", true},
      {User, "ann@friends@org", "This is not a valid e-mail address.", true},
      {Domain, "ann@friends.org", "This is not a valid domain name.", true},
      // Trimmed before comparing.
      {User, "  ann@friends.org ", "You already have a similar filter.", false},
      // The duplicate is found before the own address.
      {User, "pat@example.com", "You already have a similar filter.", false},
      {User, "PAT@example.COM", "You cannot add your own e-mail address to the Friends list.",
       false},
      {MailingList, "me@home.example",
       "You cannot add your own e-mail address to the Friends list.", false},
  };
  for (const auto& c : cases) {
    TFriendFilter filter;
    const TFriendFilter before = filter;
    const std::optional<TFriendRefusal> refusal =
        EnterFriend(filter, c.entry, c.type, list, true, own);
    ASSERT_TRUE(refusal) << c.entry;
    EXPECT_EQ(refusal->Text, c.refusal) << c.entry;
    EXPECT_EQ(refusal->OfEntry, c.ofEntry) << c.entry;
    // A refused entry leaves the filter as it was.
    EXPECT_EQ(filter.Description(), before.Description()) << c.entry;
    EXPECT_EQ(filter.Origin, before.Origin) << c.entry;
  }
}

TEST_F(FriendChecksTest, StoresEachTypeAsTheFriendRecordHoldsIt) {
  const struct {
    TFriendType type;
    std::string entry;
    std::string text1;
    uint8_t condition1;
    std::string text2;
    bool mailingList;
    std::string description;
  } cases[] = {
      {User, " bob@example.net ", "bob", cnEquals, "example.net", false,
       "User is 'bob@example.net'"},
      {Domain, "example.net", "", cnNone, "example.net", false, "Domain is 'example.net'"},
      {MailingList, "news@lists.example.org", "news", cnEquals, "lists.example.org", true,
       "Mailing list 'news@lists.example.org'"},
      {MailingList, "lists.example.org", "", cnNone, "lists.example.org", true,
       "Mailing list 'lists.example.org'"},
  };
  for (const auto& c : cases) {
    TFriendFilter filter;
    filter.Origin = orUpdate;
    ASSERT_FALSE(EnterFriend(filter, c.entry, c.type, list, true, own)) << c.entry;
    EXPECT_EQ(filter.Text1(), c.text1) << c.entry;
    EXPECT_EQ(filter.Condition1, c.condition1) << c.entry;
    EXPECT_EQ(filter.Text2(), c.text2) << c.entry;
    EXPECT_EQ(filter.HasHeaderBit(19), c.mailingList) << c.entry;
    EXPECT_EQ(filter.Description(), c.description) << c.entry;
    EXPECT_EQ(FriendTypeOf(filter), c.type) << c.entry;
    // The constructor's defaults stay.
    EXPECT_EQ(filter.Condition2, cnEndsWith);
    EXPECT_EQ(filter.Options, foAddressOnly);
    EXPECT_EQ(filter.Action, acAccept);
    EXPECT_EQ(filter.Origin, orUser);
  }
}

TEST_F(FriendChecksTest, ADomainKeepsTheUserPartItHadAsTheDialogLeavesIt) {
  TFriendFilter filter;
  ASSERT_FALSE(EnterFriend(filter, "bob@example.net", User, list, false, own));
  ASSERT_FALSE(EnterFriend(filter, "example.org", Domain, list, false, own));
  EXPECT_EQ(filter.Text1(), "bob");
  EXPECT_EQ(filter.Condition1, cnNone);
  EXPECT_EQ(filter.Description(), "Domain is 'example.org'");
}

TEST_F(FriendChecksTest, OnlyANewFriendMustDifferFromTheOthers) {
  AddFriend("ann@friends.org", User);
  TFilter* bob = AddFriend("bob@friends.org", User);
  EXPECT_EQ(Refusal("ann@friends.org", User), "You already have a similar filter.");
  // Editing a friend into a copy of another is allowed.
  EXPECT_FALSE(EnterFriend(*bob, "ann@friends.org", User, list, false, own));
  EXPECT_EQ(bob->Description(), "User is 'ann@friends.org'");
  // The own addresses are refused when editing as well.
  const std::optional<TFriendRefusal> refusal =
      EnterFriend(*bob, "pat@EXAMPLE.com", User, list, false, own);
  ASSERT_TRUE(refusal);
  EXPECT_EQ(refusal->Text, "You cannot add your own e-mail address to the Friends list.");
}

TEST_F(FriendChecksTest, AnAddressAndAMailingListOfTheSameAddressAreDifferentFriends) {
  AddFriend("news@example.org", User);
  EXPECT_EQ(Refusal("news@example.org", MailingList), "");
  AddFriend("news@example.org", MailingList);
  EXPECT_EQ(Refusal("news@example.org", MailingList), "You already have a similar filter.");

  AddFriend("example.net", MailingList);
  EXPECT_EQ(Refusal("example.net", Domain), "");
  AddFriend("example.net", Domain);
  EXPECT_EQ(Refusal("example.net", Domain), "You already have a similar filter.");
}

TEST_F(FriendChecksTest, AMailingListIsAnAddressOrADomainAndADomainHasNoAt) {
  EXPECT_EQ(Refusal("news@lists.example.org", MailingList), "");
  EXPECT_EQ(Refusal("lists.example.org", MailingList), "");
  EXPECT_EQ(Refusal("example.org", Domain), "");
  EXPECT_EQ(Refusal("@example.org", Domain), "This is not a valid domain name.");
}

TEST_F(FriendChecksTest, TheTypeOfAStoredFriend) {
  TFriendFilter filter;
  EXPECT_EQ(FriendTypeOf(filter), User);
  filter.Headers |= 1u << 19;
  EXPECT_EQ(FriendTypeOf(filter), MailingList);
  // A mailing list given as a domain stays one.
  filter.Condition1 = cnNone;
  EXPECT_EQ(FriendTypeOf(filter), MailingList);
  filter.Headers = 0;
  EXPECT_EQ(FriendTypeOf(filter), Domain);
}

}  // namespace
}  // namespace tarnwell
