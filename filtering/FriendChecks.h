#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tarnwell {

class TFilter;
class TFilterList;

// The kinds of friend, as the friend dialog offers them.
enum class TFriendType : uint8_t { User, Domain, MailingList };

// Why a friend was refused.
struct TFriendRefusal {
  std::string Text;
  // The address as written is at fault, not a friend already listed or an own account: the
  // command line names its option then.
  bool OfEntry = false;
};

// What a friend filter is: a mailing list by its header bit 19 (given as an address or as a
// domain), else a domain without a user condition, else a single address.
[[nodiscard]] TFriendType FriendTypeOf(const TFilter& filter);

// Checks `entry`, blanks trimmed, as a friend of `type`, in this order: blank, longer than a
// filter holds, a blank inside, a single address without exactly one "@", a domain with one;
// then, only for a new friend (`adding`), an equal friend in `list`; then one of
// `ownAddresses` (the accounts' addresses, letter case ignored). When it passes, the entry is
// written into `filter` (user and domain part, the mailing-list bit, origin "User"); when not,
// `filter` is left as it was.
[[nodiscard]] std::optional<TFriendRefusal> EnterFriend(
    TFilter& filter, std::string_view entry, TFriendType type, const TFilterList& list, bool adding,
    const std::vector<std::string>& ownAddresses);

}  // namespace tarnwell
