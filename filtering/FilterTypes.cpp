#include "filtering/FilterTypes.h"

#include <strings.h>

namespace tarnwell {

namespace {
const char* const kConditionNames[] = {
    "(No condition)",
    "Is present",
    "Is missing",
    "Contains",
    "Contains word",
    "Does not contain",
    "Equals",
    "Does not equal",
    "Starts with",
    "Does not start with",
    "Ends with",
    "Does not end with",
    "Is blank",
    "Is not blank",
    "Starts with a number",
    "Is mostly numbers",
    "Is numeric",
    "Is uppercase",
    "Is not a valid address",
};
}  // namespace

std::string KindName(uint8_t kind) {
  switch (kind & 0x7F) {
    case fkSender: return "Sender";
    case fkFriend: return "Friend";
    case fkSubject: return "Subject";
    case fkText: return "Text";
    case fkCountry: return "Country";
    case fkHeader: return "Header";
    default: return "Unknown filter type";
  }
}

std::string ActionName(uint8_t action) {
  static const char* const kNames[] = {"Ignore",
                                       "Accept",
                                       "Mark, but do not kill",
                                       "Kill",
                                       "Kill after complaining",
                                       "Kill after error message"};
  return action < 6 ? kNames[action] : "Unknown action";
}

std::string OriginName(uint8_t origin) {
  static const char* const kNames[] = {"System", "Soft", "Update", "User"};
  return origin < 4 ? kNames[origin] : "Unknown origin";
}

std::string ConditionName(uint8_t condition) {
  return condition <= cnInvalidAddress ? kConditionNames[condition] : "";
}

uint8_t ConditionByName(std::string_view name) {
  for (uint8_t code = 0; code <= cnUppercase; ++code) {
    const std::string_view candidate = kConditionNames[code];
    if (candidate.size() == name.size() &&
        strncasecmp(candidate.data(), name.data(), name.size()) == 0)
      return code;
  }
  return 0;
}

}  // namespace tarnwell
