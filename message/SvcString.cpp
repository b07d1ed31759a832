#include "message/SvcString.h"

#include <arpa/inet.h>
#include <netdb.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include <array>
#include <cmath>
#include <cstdio>
#include <ctime>
#include <unordered_set>

#include "message/DomainLists.h"
#include "message/QStrings.h"
#include "platform/DateTime.h"

namespace tarnwell {

namespace {

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

size_t SkipBlankIndex(std::string_view text, size_t i) {
  while (i < text.size() && kBlanks.Contains(text[i])) ++i;
  return i;
}

// The index of `c` at or after `from`, or the end of the text.
size_t FindOrEnd(std::string_view text, char c, size_t from) {
  const size_t at = text.find(c, from);
  return at == std::string_view::npos ? text.size() : at;
}

// The four bytes of a dotted quad as `IsIPv4` accepts it.
bool ParseIPv4(std::string_view text, std::array<unsigned, 4>& bytes) {
  const std::string quad = Trim(text);
  if (quad.empty() || !IsDigit(quad[0])) return false;
  size_t i = 0;
  for (size_t part = 0; part < 4; ++part) {
    if (part > 0) {
      if (i >= quad.size() || quad[i] != '.') return false;
      ++i;
    }
    if (i >= quad.size() || !IsDigit(quad[i])) return false;
    unsigned value = 0;
    while (i < quad.size() && IsDigit(quad[i])) {
      value = value * 10 + static_cast<unsigned>(quad[i] - '0');
      if (value > 255) return false;
      ++i;
    }
    bytes[part] = value;
  }
  return i == quad.size();
}

// The runs of atom characters of a domain, of which only the last three matter.
struct TLastLabels {
  size_t count = 0;
  std::array<std::string, 3> last;

  explicit TLastLabels(std::string_view domain) {
    size_t pos = 1;
    for (std::string label = NextToken(domain, pos, kAtomChars); !label.empty();
         label = NextToken(domain, pos, kAtomChars)) {
      last[0] = std::move(last[1]);
      last[1] = std::move(last[2]);
      last[2] = std::move(label);
      ++count;
    }
  }
};

// A run of digits as a number; false when empty or too long to be a date part.
bool SmallNumber(std::string_view digits, int& value) {
  if (digits.empty() || digits.size() > 9) return false;
  value = 0;
  for (const char c : digits) value = value * 10 + (c - '0');
  return true;
}

int MonthOfWord(std::string_view word) {
  static constexpr std::string_view kMonths = "JANFEBMARAPRMAYJUNJULAUGSEPOCTNOVDEC";
  return static_cast<int>(PosOf(UpperCase(word), kMonths) / 3) + 1;
}

std::string FormatTm(const char* format, const std::tm& tm) {
  char buffer[128];
  const size_t n = std::strftime(buffer, sizeof buffer, format, &tm);
  return std::string(buffer, n);
}

bool HasExtension(std::string_view path) {
  const size_t dot = path.rfind('.');
  const size_t separator = path.find_last_of("/\\");
  return dot != std::string_view::npos && (separator == std::string_view::npos || dot > separator);
}

// The length of the program part of a command line (not trimmed).
size_t ProgramLength(std::string_view commandLine) {
  for (size_t at = commandLine.find(' '); at != std::string_view::npos;
       at = commandLine.find(' ', at + 1)) {
    if (HasExtension(commandLine.substr(0, at))) return at;
  }
  // Programs here seldom have an extension: then the quoted part, or else the first word.
  const size_t start = SkipBlankIndex(commandLine, 0);
  if (start < commandLine.size() && commandLine[start] == '"') {
    return std::min(FindOrEnd(commandLine, '"', start + 1) + 1, commandLine.size());
  }
  const size_t space = commandLine.find_first_of(" \t", start);
  return space == std::string_view::npos ? commandLine.size() : space;
}

}  // namespace

TAddressParts ParseAddress(std::string_view field) {
  TAddressParts parts;
  const size_t n = field.size();
  size_t i = SkipBlankIndex(field, 0);
  if (i == n) return parts;

  std::string name;
  if (field[i] == '"' || field[i] == '(') {
    const size_t end = FindOrEnd(field, field[i] == '"' ? '"' : ')', i + 1);
    name = Trim(field.substr(i + 1, end - i - 1));
    i = std::min(end + 1, n);
  } else {
    size_t end = field.find('<') != std::string_view::npos ? FindOrEnd(field, '<', i)
                                                           : field.find_first_of("\t(", i);
    if (end == std::string_view::npos) end = n;
    name = Trim(field.substr(i, end - i));
    i = end;
  }

  i = SkipBlankIndex(field, i);
  if (i == n) {
    parts.address = name;
  } else if (field[i] == '(') {
    const size_t end = FindOrEnd(field, ')', i + 1);
    parts.address = std::move(name);
    name = Trim(field.substr(i + 1, end - i - 1));
  } else if (field[i] == '<') {
    const size_t end = FindOrEnd(field, '>', i + 1);
    parts.address = Trim(field.substr(i + 1, end - i - 1));
  } else {
    size_t end = field.find_first_of(" \t", i);
    if (end == std::string_view::npos) end = n;
    parts.address = Trim(field.substr(i, end - i));
  }
  parts.name = name.empty() ? parts.address : std::move(name);

  const size_t colon = parts.address.find(':');
  if (colon != std::string::npos &&
      SameText(std::string_view(parts.address).substr(0, colon), "SMTP")) {
    parts.address.erase(0, colon + 1);
  }
  return parts;
}

std::string DisplayName(std::string_view field) { return ParseAddress(field).name; }

std::string AddressOf(std::string_view field) { return Trim(ParseAddress(field).address); }

std::string NextAddress(std::string_view list, size_t& pos) {
  const size_t n = list.size();
  const size_t start = SkipBlankIndex(list, std::min(pos == 0 ? 0 : pos - 1, n));
  size_t i = start;
  while (i < n && list[i] != ',') {
    const char c = list[i];
    const char close = c == '"' ? '"' : c == '(' ? ')' : c == '<' ? '>' : '\0';
    i = close == '\0' ? i + 1 : std::min(FindOrEnd(list, close, i + 1) + 1, n);
  }
  if (i == start) return std::string();
  pos = std::min(i + 1, n) + 1;
  return std::string(list.substr(start, i - start));
}

std::string UserPart(std::string_view address) {
  const size_t at = address.find('@');
  if (at == std::string_view::npos) return Trim(address);
  std::string_view user = address.substr(0, at);
  const size_t colon = user.find(':');
  if (colon != std::string_view::npos) user.remove_prefix(colon + 1);
  return std::string(user);
}

std::string DomainPart(std::string_view address) {
  const size_t at = address.rfind('@');
  return std::string(at == std::string_view::npos ? address : address.substr(at + 1));
}

std::string JoinAddress(std::string_view user, std::string_view domain) {
  if (!user.empty() && !domain.empty()) return std::string(user) + "@" + std::string(domain);
  return std::string(user.empty() ? domain : user);
}

std::string StripAngleBrackets(std::string_view text) {
  std::string result = Trim(text);
  size_t end = result.size();
  while (end > 0 && result[end - 1] == '>') --end;
  size_t begin = 0;
  while (begin < end && result[begin] == '<') ++begin;
  return Trim(std::string_view(result).substr(begin, end - begin));
}

std::string Unquote(std::string_view text) {
  if (text.size() >= 2) {
    if (text.front() == '"') text.remove_prefix(1);
    if (!text.empty() && text.back() == '"') text.remove_suffix(1);
  }
  return std::string(text);
}

bool IsDotAtom(std::string_view text) {
  bool afterDot = true;
  for (const char c : text) {
    if (c == '.') {
      if (afterDot) return false;
      afterDot = true;
    } else if (kAtomChars.Contains(c)) {
      afterDot = false;
    } else {
      return false;
    }
  }
  return !afterDot;
}

bool IsIPv4(std::string_view text) {
  std::array<unsigned, 4> bytes{};
  return ParseIPv4(text, bytes);
}

bool IsKnownTLD(std::string_view label) { return IsListedTLD(label); }

bool IsValidDomain(std::string_view text) {
  if (!IsDotAtom(text)) return false;
  const size_t dot = text.rfind('.');
  return (dot != std::string_view::npos && IsKnownTLD(text.substr(dot + 1))) || IsIPv4(text);
}

bool IsValidAddress(std::string_view text) {
  const size_t at = text.find('@');
  return at != std::string_view::npos && IsDotAtom(text.substr(0, at)) &&
         IsValidDomain(text.substr(at + 1));
}

std::string BracketIPDomain(std::string_view address) {
  if (address.find('@') == std::string_view::npos) return std::string(address);
  const std::string domain = DomainPart(address);
  if (!IsIPv4(domain)) return std::string(address);
  return UserPart(address) + "@[" + domain + "]";
}

void BracketIPDomain(std::vector<std::string>& addresses) {
  for (std::string& address : addresses) address = BracketIPDomain(address);
}

std::string RegisteredDomain(std::string_view addressOrDomain) {
  std::string domain = DomainPart(addressOrDomain);
  const TLastLabels labels(domain);
  if (labels.count <= 2) return domain;
  std::string registered = labels.last[1] + "." + labels.last[2];
  if (IsListedSLD(registered)) registered = labels.last[0] + "." + registered;
  return registered;
}

std::string TopLevelLabel(std::string_view addressOrDomain) {
  return TLastLabels(DomainPart(addressOrDomain)).last[2];
}

std::string DropLastLabel(std::string_view domain) {
  if (domain.size() < 2) return std::string(domain);
  const size_t dot = domain.rfind('.', domain.size() - 2);
  return std::string(dot == std::string_view::npos ? domain : domain.substr(0, dot));
}

std::string ReverseLookup(std::string_view text) {
  std::array<unsigned, 4> bytes{};
  if (!ParseIPv4(text, bytes)) return std::string(text);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl((bytes[0] << 24) | (bytes[1] << 16) | (bytes[2] << 8) | bytes[3]);
  char host[NI_MAXHOST];
  if (getnameinfo(reinterpret_cast<const sockaddr*>(&address), sizeof address, host, sizeof host,
                  nullptr, 0, NI_NAMEREQD) != 0) {
    return std::string(text);
  }
  return host;
}

THostPort SplitHostPort(std::string_view text, int defaultPort) {
  THostPort result{std::string(text), defaultPort};
  const size_t colon = text.find(':');
  if (colon == std::string_view::npos) return result;
  result.host = std::string(text.substr(0, colon));
  int64_t port = 0;
  if (ToInteger(text.substr(colon + 1), port) && port >= 0 && port <= 65535) {
    result.port = static_cast<int>(port);
  }
  return result;
}

void ExtractAddressesAndDomains(std::string_view text, std::vector<std::string>& addresses,
                                std::vector<std::string>& domains) {
  std::unordered_set<std::string> seenAddresses(addresses.begin(), addresses.end());
  size_t pos = 1;
  for (std::string token = NextToken(text, pos, kAddressChars); !token.empty();
       token = NextToken(text, pos, kAddressChars)) {
    token = LowerCase(token);
    // An address that ends a sentence carries the full stop in its token.
    while (!token.empty() && token.back() == '.') token.pop_back();
    if (!IsValidAddress(token)) continue;
    std::string address = UserPart(token) + "@" + DomainPart(token);
    if (seenAddresses.insert(address).second) addresses.push_back(std::move(address));
  }

  std::unordered_set<std::string> seenDomains(domains.begin(), domains.end());
  pos = 1;
  for (std::string token = NextToken(text, pos, kUrlChars); !token.empty();
       token = NextToken(text, pos, kUrlChars)) {
    std::string domain = LowerCase(token);
    if (domain.starts_with("http://")) {
      domain.erase(0, 7);
    } else if (!domain.starts_with("www.")) {
      continue;
    }
    if (domain.starts_with("www.")) domain.erase(0, 4);
    domain = CutAtSlash(domain);
    while (!domain.empty() && domain.back() == '.') domain.pop_back();
    if (!IsIPv4(domain)) {
      domain = CutUserInfo(CutAtSlash(UrlDecode(domain)));
      if (NonEmptyAllInSet(domain, kDigits)) domain = NumberToDottedQuad(domain);
      if (!IsIPv4(domain)) domain = RegisteredDomain(domain);
    }
    if (!domain.empty() && seenDomains.insert(domain).second) domains.push_back(std::move(domain));
  }
}

std::string UrlDecode(std::string_view text) {
  std::string result;
  result.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '%') {
      result += text[i];
    } else if (text.size() - i > 2) {
      const int high = HexValue(text[i + 1]);
      const int low = HexValue(text[i + 2]);
      if (high >= 0 && low >= 0) result += static_cast<char>(high * 16 + low);
      i += 2;
    }
  }
  return result;
}

std::string NumberToDottedQuad(std::string_view text) {
  int64_t number = 0;
  if (!ToInteger(text, number)) return std::string();
  const auto value = static_cast<uint32_t>(number);
  return std::to_string(value >> 24) + "." + std::to_string((value >> 16) & 255) + "." +
         std::to_string((value >> 8) & 255) + "." + std::to_string(value & 255);
}

std::string CutAtSlash(std::string_view text) {
  return std::string(text.substr(0, text.find('/')));
}

std::string CutUserInfo(std::string_view text) {
  const size_t at = text.find('@');
  return std::string(at == std::string_view::npos ? text : text.substr(at + 1));
}

TDateTime ParseMessageDate(std::string_view text) {
  size_t pos = 1;
  int first = 0;
  if (!SmallNumber(NextNumber(text, pos), first) || pos > text.size()) return 0;
  const auto number = [&](int& value) { return SmallNumber(NextNumber(text, pos), value); };

  TDateParts parts;
  switch (text[pos - 1]) {
    case ' ':
      parts.day = first;
      parts.month = MonthOfWord(NextAlphaWord(text, pos));
      if (!number(parts.year)) return 0;
      break;
    case '-':
      parts.year = first;
      if (!number(parts.month) || !number(parts.day)) return 0;
      break;
    case '/':
      parts.month = first;
      if (!number(parts.day) || !number(parts.year)) return 0;
      break;
    default: return 0;
  }
  if (!number(parts.hour) || !number(parts.minute)) return 0;
  parts.second = 0;
  if (pos <= text.size() && text[pos - 1] == ':' && !number(parts.second)) return 0;

  const std::string marker = NextToken(text, pos, kZoneChars);
  if (marker == "PM" && parts.hour < 12) parts.hour += 12;
  if (marker == "AM" && parts.hour == 12) parts.hour = 0;

  if (parts.year < 100) parts.year += parts.year < 80 ? 2000 : 1900;
  if (!IsValidDate(parts.year, parts.month, parts.day) || parts.hour > 23 || parts.minute > 59 ||
      parts.second > 59) {
    return 0;
  }
  return EncodeDateTime(parts);
}

std::string FormatMessageDate(TDateTime value) {
  if (!InDateRange(value)) return std::string();
  static constexpr const char* kDays[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
  static constexpr const char* kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                            "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
  const TDateParts p = DecodeDateTime(value);
  const int offset = LocalUtcOffsetMinutes(std::time(nullptr));
  const int magnitude = offset < 0 ? -offset : offset;
  char buffer[64];
  std::snprintf(buffer, sizeof buffer, "%s, %d %s %04d %02d:%02d:%02d %c%02d%02d",
                kDays[DayOfWeek(value) - 1], p.day, kMonths[p.month - 1], p.year, p.hour, p.minute,
                p.second, offset < 0 ? '-' : '+', magnitude / 60, magnitude % 60);
  return buffer;
}

std::string DateOrTimeText(std::string_view prefix, TDateTime value) {
  if (value == 0 || !InDateRange(value)) return std::string();
  const std::tm tm = ToTm(value);
  std::string text = std::string(prefix) + " ";
  if (DateOf(value) != DateOf(TClock::Current().Now())) text += FormatTm("%x ", tm);
  return text + FormatTm("%X", tm);
}

TDateTime UtcToLocal(TDateTime value) {
  tzset();
  return value - static_cast<double>(timezone) / kSecondsPerDay;
}

std::string ProgramOfCommand(std::string_view commandLine, bool unquote) {
  std::string program = Trim(commandLine.substr(0, ProgramLength(commandLine)));
  if (unquote && program.size() >= 2 && program.front() == '"' && program.back() == '"') {
    program = program.substr(1, program.size() - 2);
  }
  return program;
}

std::string ParametersOfCommand(std::string_view commandLine) {
  return Trim(commandLine.substr(ProgramLength(commandLine)));
}

std::string ScramblePassword(std::string_view text) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string result;
  result.reserve(text.size() * 2);
  for (const char c : text) {
    const unsigned byte = static_cast<unsigned char>(c) ^ 0xC6U;
    result += kHex[byte >> 4];
    result += kHex[byte & 15];
  }
  return result;
}

std::string UnscramblePassword(std::string_view text) {
  std::string result;
  result.reserve(text.size() / 2);
  for (size_t i = 0; i + 1 < text.size(); i += 2) {
    const int high = HexValue(text[i]);
    const int low = HexValue(text[i + 1]);
    if (high < 0 || low < 0) return std::string();
    result += static_cast<char>((high * 16 + low) ^ 0xC6);
  }
  return result;
}

}  // namespace tarnwell
