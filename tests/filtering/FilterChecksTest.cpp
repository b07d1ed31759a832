#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "filtering/FilterChecks.h"
#include "filtering/Filters.h"
#include "tests/filtering/FilterTestSupport.h"

namespace tarnwell {
namespace {

constexpr uint32_t Bit(int number) { return 1u << number; }

// "" for none, else the field's number, a colon and the text.
std::string Shown(const std::optional<TFilterRefusal>& refusal) {
  return refusal ? std::to_string(static_cast<int>(refusal->Field)) + ":" + refusal->Text : "";
}

std::string Expected(TFilterField field, const char* text) {
  return std::to_string(static_cast<int>(field)) + ":" + text;
}

const std::string kNothing = Expected(TFilterField::Filter, kNothingToDoText);
const std::string kBlankUser = Expected(TFilterField::UserPattern, kBlankFieldText);
const std::string kBlankDomain = Expected(TFilterField::DomainPattern, kBlankFieldText);
const std::string kBlankName = Expected(TFilterField::HeaderName, kBlankFieldText);
const std::string kBlankPattern = Expected(TFilterField::Pattern, kBlankFieldText);

TEST(FilterChecksTest, SenderEntriesAreRefusedInTheDialogsOrder) {
  const uint32_t from = Bit(8);
  const uint32_t received = Bit(14);
  const struct {
    TSenderEntry entry;
    std::string refusal;
  } cases[] = {
      {{cnNone, "", cnNone, "", from}, kNothing},
      {{cnNone, "", cnEndsWith, "x.com", 0}, kNothing},
      // A user condition leaves only the headers with a user part.
      {{cnEquals, "bob", cnNone, "", received}, kNothing},
      {{cnEquals, "bob", cnNone, "", received | from}, ""},
      // Nothing to do comes before a blank pattern, the user's before the domain's.
      {{cnContains, "", cnNone, "", 0}, kNothing},
      {{cnContains, "  ", cnEndsWith, "", from}, kBlankUser},
      {{cnNone, "", cnEndsWith, " \t", from}, kBlankDomain},
      {{cnContains, "bob", cnEndsWith, "", from}, kBlankDomain},
      // Patterns count trimmed; conditions without one ignore it.
      {{cnNone, "", cnEndsWith, " " + std::string(50, 'd') + " ", from}, ""},
      {{cnNone, "", cnEndsWith, std::string(51, 'd'), from},
       Expected(TFilterField::DomainPattern, kTooLongText)},
      {{cnNumeric, "", cnBlank, "", from}, ""},
  };
  for (const auto& c : cases)
    EXPECT_EQ(Shown(CheckSender(c.entry)), c.refusal)
        << int(c.entry.UserCondition) << " '" << c.entry.User << "' "
        << int(c.entry.DomainCondition) << " '" << c.entry.Domain << "'";
}

TEST(FilterChecksTest, SubjectAndHeaderEntriesAreRefusedInTheDialogsOrder) {
  const struct {
    TPatternEntry entry;
    std::string refusal;
  } patterns[] = {
      {{cnContains, ""}, kBlankPattern},
      // Taken as typed: blanks are a pattern.
      {{cnContains, " "}, ""},
      {{cnBlank, ""}, ""},
      {{cnMissing, ""}, ""},
      {{cnEquals, std::string(51, 'p')}, Expected(TFilterField::Pattern, kTooLongText)},
  };
  for (const auto& c : patterns)
    EXPECT_EQ(Shown(CheckPattern(c.entry)), c.refusal) << int(c.entry.Condition);

  const struct {
    THeaderEntry entry;
    std::string refusal;
  } headers[] = {
      {{" ", cnContains, "x"}, kBlankName},
      {{"", cnContains, ""}, kBlankName},
      {{"X-Mailer", cnContains, "  "}, kBlankPattern},
      {{"X-Mailer", cnPresent, ""}, ""},
      {{" " + std::string(50, 'h') + " ", cnPresent, ""}, ""},
      {{std::string(51, 'h'), cnPresent, ""}, Expected(TFilterField::HeaderName, kTooLongText)},
  };
  for (const auto& c : headers)
    EXPECT_EQ(Shown(CheckHeader(c.entry)), c.refusal) << "'" << c.entry.Name << "'";
}

TEST(FilterChecksTest, AUserConditionRulesOutHeadersWithoutAUserPart) {
  for (const int header : {2, 10, 14}) {
    EXPECT_FALSE(CanLookIn(header, cnEquals)) << header;
    EXPECT_TRUE(CanLookIn(header, cnNone)) << header;
  }
  for (const int header : {1, 7, 8, 15, 16, 17, 19, 20}) EXPECT_TRUE(CanLookIn(header, cnEquals));
  EXPECT_EQ(Shown(CheckSenderHeaders(Bit(8) | Bit(10), cnStartsWith)),
            Expected(TFilterField::Headers, kUserNameHeaderText));
  EXPECT_EQ(Shown(CheckSenderHeaders(Bit(8) | Bit(10), cnNone)), "");
}

TEST(FilterChecksTest, EntriesAreWrittenAsTheDialogsStoreThem) {
  TSenderFilter sender;
  sender.SetText1("old");
  WriteSender(
      {cnStartsWith, "  bob ", cnNumeric, "kept only for a pattern", Bit(8) | Bit(14), false},
      sender);
  EXPECT_EQ(sender.Condition1, cnStartsWith);
  EXPECT_EQ(sender.Text1(), "bob");
  EXPECT_EQ(sender.Condition2, cnNumeric);
  EXPECT_EQ(sender.Text2(), "");
  EXPECT_EQ(sender.Headers, Bit(8));

  TSubjectFilter subject;
  WritePattern({cnContains, "  cheap " + std::string(60, 'x'), true}, subject);
  EXPECT_EQ(subject.Text1(), "  cheap " + std::string(42, 'x'));
  EXPECT_EQ(subject.CaseMatters, 1);

  THeaderFilter header;
  WriteHeader({" Reply-To ", cnContains, " a@b ", true, false}, header);
  EXPECT_EQ(header.Text1(), "Reply-To");
  EXPECT_EQ(header.Text2(), " a@b ");
  EXPECT_TRUE(header.HasOption(foAddressOnly));
  WriteHeader({"X-Mailer", cnContains, "a@b", true, false}, header);
  EXPECT_FALSE(header.HasOption(foAddressOnly));
  WriteHeader({"From", cnMissing, "dropped", false, false}, header);
  EXPECT_EQ(header.Text2(), "");
}

TEST(FilterChecksTest, CaseMattersIsChosenOnlyBesideAPatternAndFollowsIsUppercase) {
  const struct {
    bool ticked;
    uint8_t condition1, condition2;
    bool choosable, matters;
  } cases[] = {
      {true, cnContains, cnNone, true, true},    {false, cnNone, cnEndsWith, true, false},
      {true, cnBlank, cnNone, false, false},     {false, cnUppercase, cnNone, false, true},
      {false, cnNone, cnUppercase, false, true}, {false, cnUppercase, cnContains, true, false},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(CaseChoosable(c.condition1, c.condition2), c.choosable)
        << int(c.condition1) << " " << int(c.condition2);
    EXPECT_EQ(CaseMattersFor(c.ticked, c.condition1, c.condition2), c.matters)
        << int(c.condition1) << " " << int(c.condition2);
  }
}

TEST(FilterChecksTest, ComplainingAndErrorMessagesStartFromTheSettingsRecipients) {
  test::TTestSettings settings;
  settings.settings.ComplainAddr = rcAbuse | rcWebmaster;
  settings.settings.RemoveAddr = rcReplyTo;
  EXPECT_EQ(RecipientsForAction(acKillAfterComplaint, rcSender), rcAbuse | rcWebmaster);
  EXPECT_EQ(RecipientsForAction(acKillAfterErrorMessage, rcSender), rcReplyTo);
  EXPECT_EQ(RecipientsForAction(acKill, rcSender), rcSender);
}

}  // namespace
}  // namespace tarnwell
