#pragma once

#include <cstdint>
#include <string>

namespace tarnwell {

// Filter kind codes, as stored in the filter record.
enum TFilterKind : uint8_t {
  fkNone = 0,
  fkSender = 2,
  fkFriend = 3,
  fkSubject = 4,
  fkText = 5,
  fkCountry = 6,
  fkHeader = 7,
};

// Bits of a filter's `Options`.
enum TFilterOption : uint8_t {
  foCheckFirst = 1 << 0,
  foAddressOnly = 1 << 1,
  foRegisteredDomain = 1 << 2,
  foUserPart = 1 << 3,
  foOwnNames = 1 << 4,
  foRemove = 1 << 7,
};

// Bits of a recipient set (who receives a complaint or an error message).
enum TRecipient : uint8_t {
  rcSender = 1 << 0,
  rcReplyTo = 1 << 1,
  rcAbuse = 1 << 2,
  rcPostmaster = 1 << 3,
  rcWebmaster = 1 << 4,
};

enum TFilterAction : uint8_t {
  acIgnore = 0,
  acAccept = 1,
  acMark = 2,
  acKill = 3,
  acKillAfterComplaint = 4,
  acKillAfterErrorMessage = 5,
};

enum TFilterOrigin : uint8_t {
  orSystem = 0,
  orSoft = 1,
  orUpdate = 2,
  orUser = 3,
};

enum TCondition : uint8_t {
  cnNone = 0,
  cnPresent = 1,
  cnMissing = 2,
  cnContains = 3,
  cnContainsWord = 4,
  cnNotContains = 5,
  cnEquals = 6,
  cnNotEquals = 7,
  cnStartsWith = 8,
  cnNotStartsWith = 9,
  cnEndsWith = 10,
  cnNotEndsWith = 11,
  cnBlank = 12,
  cnNotBlank = 13,
  cnStartsWithNumber = 14,
  cnMostlyNumbers = 15,
  cnNumeric = 16,
  cnUppercase = 17,
  cnInvalidAddress = 18,
};

// The classification of a message.
enum TMessageStatus : uint8_t {
  msNew = 0,
  msChecked = 1,
  msPossibleSpam = 2,
  msSpam = 3,
  msBounce = 4,
  msFriend = 5,
};

// A set of origins, bit n = origin n.
using TOriginSet = uint8_t;
inline constexpr TOriginSet kAllOrigins = 0x0F;
inline constexpr TOriginSet OriginBit(TFilterOrigin origin) { return TOriginSet(1u << origin); }

// Conditions 3..11 compare with a pattern.
[[nodiscard]] constexpr bool IsTextCondition(uint8_t condition) {
  return condition >= cnContains && condition <= cnNotEndsWith;
}
[[nodiscard]] constexpr bool IsNegativeCondition(uint8_t condition) {
  return condition == cnNotContains || condition == cnNotEquals || condition == cnNotStartsWith ||
         condition == cnNotEndsWith || condition == cnNotBlank;
}

[[nodiscard]] std::string KindName(uint8_t kind);
[[nodiscard]] std::string ActionName(uint8_t action);
[[nodiscard]] std::string OriginName(uint8_t origin);
[[nodiscard]] std::string ConditionName(uint8_t condition);
// The condition whose display name equals `name` ignoring case, among codes 0..17; 0 if none.
[[nodiscard]] uint8_t ConditionByName(std::string_view name);

}  // namespace tarnwell
