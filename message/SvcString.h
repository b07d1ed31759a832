#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/Clock.h"

namespace tarnwell {

struct TAddressParts {
  std::string name;
  std::string address;
};

// Addresses. Accepts `Name <addr>`, `"Name" <addr>`, `addr (Name)`, `(Name) addr` and `addr`.
[[nodiscard]] TAddressParts ParseAddress(std::string_view field);
[[nodiscard]] std::string DisplayName(std::string_view field);
[[nodiscard]] std::string AddressOf(std::string_view field);
// The next element of a comma-separated address list from `pos` (from 1), moving `pos` past the
// comma. Commas in quotes, comments and angle brackets do not separate. An empty element leaves
// `pos` as it was and ends a walk over the list.
[[nodiscard]] std::string NextAddress(std::string_view list, size_t& pos);
// Before the first "@", without a scheme such as "mailto:".
[[nodiscard]] std::string UserPart(std::string_view address);
// After the last "@"; the whole text without one.
[[nodiscard]] std::string DomainPart(std::string_view address);
[[nodiscard]] std::string JoinAddress(std::string_view user, std::string_view domain);
[[nodiscard]] std::string StripAngleBrackets(std::string_view text);
// One leading and one trailing double quote removed where present.
[[nodiscard]] std::string Unquote(std::string_view text);
[[nodiscard]] bool IsDotAtom(std::string_view text);
[[nodiscard]] bool IsIPv4(std::string_view text);
// The label is a top-level domain of TLD.dat.
[[nodiscard]] bool IsKnownTLD(std::string_view label);
[[nodiscard]] bool IsValidDomain(std::string_view text);
[[nodiscard]] bool IsValidAddress(std::string_view text);
// `user@1.2.3.4` becomes `user@[1.2.3.4]`; other addresses are returned as they are.
[[nodiscard]] std::string BracketIPDomain(std::string_view address);
void BracketIPDomain(std::vector<std::string>& addresses);
// The last two labels of the domain, or the last three when the last two are in SLD.dat.
[[nodiscard]] std::string RegisteredDomain(std::string_view addressOrDomain);
[[nodiscard]] std::string TopLevelLabel(std::string_view addressOrDomain);
[[nodiscard]] std::string DropLastLabel(std::string_view domain);
// The host name of an IPv4 address by the resolver; otherwise, or on failure, the text itself.
[[nodiscard]] std::string ReverseLookup(std::string_view text);

struct THostPort {
  std::string host;
  int port = 0;
};
[[nodiscard]] THostPort SplitHostPort(std::string_view text, int defaultPort);

// Text from messages.
// Adds the valid addresses and the registered domains of web links found in `text` to the
// lists, lower-cased, each once.
void ExtractAddressesAndDomains(std::string_view text, std::vector<std::string>& addresses,
                                std::vector<std::string>& domains);
[[nodiscard]] std::string UrlDecode(std::string_view text);
// "3232235777" gives "192.168.1.1"; empty when the text is not a number.
[[nodiscard]] std::string NumberToDottedQuad(std::string_view text);
[[nodiscard]] std::string CutAtSlash(std::string_view text);
[[nodiscard]] std::string CutUserInfo(std::string_view text);

// Dates.
// The date and time of a Date header as written (the zone is not applied); 0 on failure.
[[nodiscard]] TDateTime ParseMessageDate(std::string_view text);
// "Mon, 5 Jan 2004 22:20:00 +0100" with the current local offset; empty on failure.
[[nodiscard]] std::string FormatMessageDate(TDateTime value);
// Empty for 0; else the prefix, a space and the time (today) or the date and time.
[[nodiscard]] std::string DateOrTimeText(std::string_view prefix, TDateTime value);
// Adds the local standard-time offset from UTC.
[[nodiscard]] TDateTime UtcToLocal(TDateTime value);

// Command lines: the program part and the parameters after it.
[[nodiscard]] std::string ProgramOfCommand(std::string_view commandLine, bool unquote);
[[nodiscard]] std::string ParametersOfCommand(std::string_view commandLine);

// Stored passwords.
[[nodiscard]] std::string ScramblePassword(std::string_view text);
[[nodiscard]] std::string UnscramblePassword(std::string_view text);

}  // namespace tarnwell
