#include "filtering/FriendChecks.h"

#include <algorithm>

#include "filtering/FilterList.h"
#include "filtering/Filters.h"
#include "message/QStrings.h"
#include "message/SvcString.h"

namespace tarnwell {

namespace {

constexpr uint32_t kMailingListBit = 1u << 19;

// An address keeps its user part; a domain keeps whatever user part the filter had, as the
// dialog leaves it.
void FillFriend(TFilter& filter, const std::string& text, TFriendType type) {
  const bool hasAt = text.find('@') != std::string::npos;
  if (hasAt) {
    filter.SetText1(UserPart(text));
    filter.Condition1 = cnEquals;
  } else {
    filter.Condition1 = cnNone;
  }
  filter.SetText2(hasAt ? DomainPart(text) : text);
  if (type == TFriendType::MailingList)
    filter.Headers |= kMailingListBit;
  else
    filter.Headers &= ~kMailingListBit;
  filter.Origin = orUser;
}

std::optional<TFriendRefusal> EntryRefusal(const std::string& text, TFriendType type) {
  const auto refuse = [](const char* message) { return TFriendRefusal{message, true}; };
  if (text.empty()) return refuse("You cannot leave this field blank.");
  // The dialog's field holds no more; only the command line gets this far.
  if (text.size() > kShortStringCapacity) return refuse("at most 50 characters.");
  if (text.find_first_of(" \t") != std::string::npos)
    return refuse("This is not a valid e-mail address.");
  const size_t ats = CountChar(text, '@');
  if (type == TFriendType::User && ats != 1) return refuse("This is not a valid e-mail address.");
  if (type == TFriendType::Domain && ats != 0) return refuse("This is not a valid domain name.");
  return std::nullopt;
}

}  // namespace

TFriendType FriendTypeOf(const TFilter& filter) {
  if (filter.HasHeaderBit(19)) return TFriendType::MailingList;
  return filter.Condition1 == cnNone ? TFriendType::Domain : TFriendType::User;
}

std::optional<TFriendRefusal> EnterFriend(TFilter& filter, std::string_view entry, TFriendType type,
                                          const TFilterList& list, bool adding,
                                          const std::vector<std::string>& ownAddresses) {
  const std::string text = Trim(entry);
  if (std::optional<TFriendRefusal> refusal = EntryRefusal(text, type)) return refusal;
  if (adding) {
    const std::unique_ptr<TFilter> candidate = filter.Clone();
    FillFriend(*candidate, text, type);
    int index = -1;
    if (list.FindEqual(*candidate, index))
      return TFriendRefusal{"You already have a similar filter.", false};
  }
  if (std::any_of(ownAddresses.begin(), ownAddresses.end(),
                  [&text](const std::string& own) { return SameText(own, text); }))
    return TFriendRefusal{"You cannot add your own e-mail address to the Friends list.", false};
  FillFriend(filter, text, type);
  return std::nullopt;
}

}  // namespace tarnwell
