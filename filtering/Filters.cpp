#include "filtering/Filters.h"

#include <cstring>
#ifdef __SSE2__
#include <emmintrin.h>
#endif

#include "filtering/Countries.h"
#include "filtering/TextSearch.h"
#include "message/Emails.h"
#include "message/Headers.h"
#include "message/QStrings.h"
#include "message/SvcString.h"
#include "shell/Settings.h"

namespace tarnwell {

namespace {

const std::string kUserToken = "$USER";

std::string Quoted(const std::string& text) { return " '" + text + "'"; }

std::string LowerConditionName(uint8_t condition) { return LowerCase(ConditionName(condition)); }

char AsciiLower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; }

bool SameAs(std::string_view a, std::string_view b, bool fold) {
  return fold ? SameText(a, b) : a == b;
}

size_t FindIn(std::string_view text, std::string_view pattern, bool fold, size_t from = 0) {
  if (!fold) return text.find(pattern, from);
  if (pattern.size() > text.size()) return std::string_view::npos;
  const char first = AsciiLower(pattern[0]);
  for (size_t at = from; at + pattern.size() <= text.size(); ++at) {
    if (AsciiLower(text[at]) != first) continue;
    if (SameText(text.substr(at, pattern.size()), pattern)) return at;
  }
  return std::string_view::npos;
}

// An occurrence neither preceded nor followed by a letter; folding ASCII case changes no byte's
// letter class, so the boundaries are tested on the bytes as they are.
bool ContainsWordIn(std::string_view text, std::string_view word, bool fold) {
  if (word.empty()) return false;
  for (size_t at = FindIn(text, word, fold); at != std::string_view::npos;
       at = FindIn(text, word, fold, at + 1)) {
    const size_t after = at + word.size();
    if ((at == 0 || !IsLetter(static_cast<unsigned char>(text[at - 1]))) &&
        (after >= text.size() || !IsLetter(static_cast<unsigned char>(text[after]))))
      return true;
  }
  return false;
}

// Runs a test over a list: a negative condition must hold for every entry (an empty list
// passes), any other for at least one.
template <typename Test>
bool RunOver(const std::vector<std::string>& entries, uint8_t condition, Test test) {
  if (IsNegativeCondition(condition)) {
    for (const std::string& entry : entries)
      if (!test(entry)) return false;
    return true;
  }
  for (const std::string& entry : entries)
    if (test(entry)) return true;
  return false;
}

void ReadShortString(const uint8_t* area, std::string& text, std::array<uint8_t, 51>& image) {
  std::memcpy(image.data(), area, image.size());
  text.assign(reinterpret_cast<const char*>(area + 1), area[0]);
}

void WriteShortString(uint8_t* area, const std::string& text,
                      const std::array<uint8_t, 51>& image) {
  // An unchanged text is written back with the bytes that followed it in the file.
  if (image[0] == text.size() && std::memcmp(image.data() + 1, text.data(), text.size()) == 0) {
    std::memcpy(area, image.data(), image.size());
    return;
  }
  std::memset(area, 0, 51);
  area[0] = static_cast<uint8_t>(text.size());
  std::memcpy(area + 1, text.data(), text.size());
}

void PutInt32(uint8_t* p, int32_t value) {
  const auto v = static_cast<uint32_t>(value);
  p[0] = static_cast<uint8_t>(v);
  p[1] = static_cast<uint8_t>(v >> 8);
  p[2] = static_cast<uint8_t>(v >> 16);
  p[3] = static_cast<uint8_t>(v >> 24);
}

uint32_t GetUInt32(const uint8_t* p) {
  return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

}  // namespace

void TEvaluationContext::Clear() {
  FromAddress.clear();
  ToAddress.clear();
  Subject.clear();
  HasSubject = false;
  for (auto& list : Addresses) list.clear();
  for (auto& list : Domains) list.clear();
  PresentSet = 0;
  // A message's texts are never reused for the next one, so holding on to them gains nothing.
  for (auto& text : BodyTexts) std::string().swap(text);
  for (auto& text : lowerBodyTexts_) std::string().swap(text);
  decodedIsRaw_ = false;
  lowerReady_ = false;
}

void TEvaluationContext::SetBodyTexts(std::string raw, std::string decoded) {
  BodyTexts[2] = CleanBodyText(decoded);
  BodyTexts[0] = std::move(raw);
  BodyTexts[1] = std::move(decoded);
  decodedIsRaw_ = false;
  lowerReady_ = false;
}

void TEvaluationContext::SetBodyTexts(std::string raw) {
  BodyTexts[2] = CleanBodyText(raw);
  BodyTexts[0] = std::move(raw);
  std::string().swap(BodyTexts[1]);
  decodedIsRaw_ = true;
  lowerReady_ = false;
}

std::string_view TEvaluationContext::LowerBodyText(int t) const {
  if (!lowerReady_) {
    for (size_t i = 0; i < 3; ++i) {
      lowerBodyTexts_[i] = i == 1 && decodedIsRaw_ ? std::string() : BodyTexts[i];
      LowerLocaleInPlace(lowerBodyTexts_[i]);
    }
    lowerReady_ = true;
  }
  return lowerBodyTexts_[t == 1 && decodedIsRaw_ ? 0 : static_cast<size_t>(t)];
}

std::string CleanBodyText(std::string_view decoded) {
  // Collapsing pairs of spaces left to right keeps the 1st, 3rd, 5th … space of every run, and
  // as it comes first, the runs are those of the text before the removal. Both steps are thus
  // decided byte by byte, without branches: word breaks are too irregular to predict.
  static const auto kKept = [] {
    std::array<uint8_t, 256> kept{};
    kept.fill(1);
    for (const unsigned char c : {'"', '\'', '-'}) kept[c] = 0;
    return kept;
  }();
  std::string text(decoded.size(), '\0');
  char* out = text.data();
  const auto* in = reinterpret_cast<const unsigned char*>(decoded.data());
  uint32_t oddSpace = 0;  // the last byte was a kept space of a run
  const auto step = [&](size_t at) {
    const unsigned char c = in[at];
    const uint32_t isSpace = c == ' ';
    *out = static_cast<char>(c);
    out += kKept[c] & ~(isSpace & oddSpace);
    oddSpace = isSpace & (oddSpace ^ 1u);
  };
  const size_t n = decoded.size();
  size_t i = 0;
  if (n > 0) step(i++);  // each block below looks at the byte before it
#ifdef __SSE2__
  // Most 16-byte blocks of prose hold no quote, dash or second space in a row, and are kept
  // whole; the others go byte by byte.
  const __m128i space = _mm_set1_epi8(' ');
  const __m128i quote = _mm_set1_epi8('"');
  const __m128i apostrophe = _mm_set1_epi8('\'');
  const __m128i dash = _mm_set1_epi8('-');
  for (; i + 16 <= n; i += 16) {
    const __m128i block = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in + i));
    const __m128i before = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in + i - 1));
    const __m128i removed =
        _mm_or_si128(_mm_cmpeq_epi8(block, quote),
                     _mm_or_si128(_mm_cmpeq_epi8(block, apostrophe), _mm_cmpeq_epi8(block, dash)));
    const __m128i pairs =
        _mm_and_si128(_mm_cmpeq_epi8(block, space), _mm_cmpeq_epi8(before, space));
    if (_mm_movemask_epi8(_mm_or_si128(removed, pairs)) != 0) {
      for (size_t at = i; at < i + 16; ++at) step(at);
      continue;
    }
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out), block);
    out += 16;
    // No space of the block follows another, so a final space starts a run and is kept.
    oddSpace = in[i + 15] == ' ';
  }
#endif
  for (; i < n; ++i) step(i);
  size_t length = static_cast<size_t>(out - text.data());
  size_t start = 0;
  while (start < length && kBlanks.Contains(text[start])) ++start;
  while (length > start && kBlanks.Contains(text[length - 1])) --length;
  text.resize(length);
  text.erase(0, start);
  return text;
}

std::string LowerLocale(std::string_view text) {
  std::string result(text);
  LowerLocaleInPlace(result);
  return result;
}

void LowerLocaleInPlace(std::string& text) {
  static const auto kTable = [] {
    std::array<unsigned char, 256> table{};
    for (int c = 0; c < 256; ++c) table[c] = static_cast<unsigned char>(c);
    for (int c = 'A'; c <= 'Z'; ++c) table[c] = static_cast<unsigned char>(c + 32);
    for (int c = 0xC0; c <= 0xDE; ++c)
      if (c != 0xD7) table[c] = static_cast<unsigned char>(c + 32);
    table[0x8A] = 0x9A;
    table[0x8C] = 0x9C;
    table[0x8E] = 0x9E;
    table[0x9F] = 0xFF;
    return table;
  }();
  for (char& c : text) c = static_cast<char>(kTable[static_cast<unsigned char>(c)]);
}

// --- TFilter ---

TFilter::TFilter() {
  Action = Settings().StdAction;
  Recipients = Settings().ComplainAddr;
}

void TFilter::SetText1(std::string_view text) {
  text1_ = std::string(text.substr(0, kShortStringCapacity));
}

void TFilter::SetText2(std::string_view text) {
  text2_ = std::string(text.substr(0, kShortStringCapacity));
}

void TFilter::WriteRecord(uint8_t* out) const {
  std::memset(out, 0, kFilterRecordSize);
  out[0] = Kind;
  std::memcpy(out + 1, pad1_.data(), 3);
  PutInt32(out + 4, ID);
  out[8] = Options;
  out[9] = Origin;
  std::memcpy(out + 10, pad2_.data(), 2);
  PutInt32(out + 12, UpdateNumber);
  out[16] = Action;
  out[17] = Recipients;
  out[18] = CaseMatters;
  out[19] = pad3_;
  PutInt32(out + 20, Hits);
  WriteShortString(out + 24, text1_, text1Image_);
  out[75] = Condition1;
  WriteShortString(out + 76, text2_, text2Image_);
  out[127] = Condition2;
  out[128] = HeaderNumber;
  PutInt32(out + 129, static_cast<int32_t>(Headers));
  std::memcpy(out + 133, pad4_.data(), 3);
}

bool TFilter::ReadRecord(const uint8_t* in) {
  // A length byte beyond the string's capacity cannot come from a valid record.
  if (in[24] > kShortStringCapacity || in[76] > kShortStringCapacity) return false;
  Kind = in[0];
  std::memcpy(pad1_.data(), in + 1, 3);
  ID = static_cast<int32_t>(GetUInt32(in + 4));
  Options = in[8];
  Origin = in[9];
  std::memcpy(pad2_.data(), in + 10, 2);
  UpdateNumber = static_cast<int32_t>(GetUInt32(in + 12));
  Action = in[16];
  Recipients = in[17];
  CaseMatters = in[18];
  pad3_ = in[19];
  Hits = static_cast<int32_t>(GetUInt32(in + 20));
  ReadShortString(in + 24, text1_, text1Image_);
  Condition1 = in[75];
  ReadShortString(in + 76, text2_, text2Image_);
  Condition2 = in[127];
  HeaderNumber = in[128];
  Headers = GetUInt32(in + 129);
  std::memcpy(pad4_.data(), in + 133, 3);
  return true;
}

bool TFilter::Compare(std::string_view value, uint8_t condition, std::string_view pattern) const {
  switch (condition) {
    case cnNone: return true;
    case cnEndsWith:
      // An empty pattern or a value shorter than it gives false in both helpers.
      return CaseMatters == 1 ? EndsWith(value, pattern) : EndsWithText(value, pattern);
    case cnBlank: return StripAngleBrackets(value).empty();
    case cnNotBlank: return !StripAngleBrackets(value).empty();
    case cnStartsWithNumber: return !value.empty() && value[0] >= '0' && value[0] <= '9';
    case cnMostlyNumbers: return MostlyInSet(value, kDigits);
    case cnNumeric: return NonEmptyAllInSet(value, kDigits);
    case cnUppercase: return IsUppercase(value);
    case cnInvalidAddress: return !Trim(value).empty() && !IsValidAddress(value);
    default: break;
  }
  if (condition > cnNotEndsWith) return false;
  // Without `CaseMatters` both sides compare with ASCII letters folded; an empty pattern occurs
  // in every value (the dialogs refuse one, but files may carry it).
  const bool fold = CaseMatters == 0;
  const size_t n = pattern.size();
  switch (condition) {
    case cnContains: return n == 0 || FindIn(value, pattern, fold) != std::string_view::npos;
    case cnContainsWord: return ContainsWordIn(value, pattern, fold);
    case cnNotContains: return n > 0 && FindIn(value, pattern, fold) == std::string_view::npos;
    case cnEquals: return !value.empty() && SameAs(value, pattern, fold);
    case cnNotEquals: return !SameAs(value, pattern, fold);
    case cnStartsWith:
      return n == 0 || (value.size() >= n && SameAs(value.substr(0, n), pattern, fold));
    case cnNotStartsWith:
      return n > 0 && !(value.size() >= n && SameAs(value.substr(0, n), pattern, fold));
    case cnNotEndsWith:
      return !(n > 0 && value.size() >= n && SameAs(value.substr(value.size() - n), pattern, fold));
    default: return false;  // presence is decided by the kinds before they compare
  }
}

bool TFilter::Matches(const TEmail&, const TEvaluationContext&) { return false; }

std::string TFilter::ConditionText(uint8_t condition, const std::string& text, bool lower) {
  std::string result = lower ? LowerConditionName(condition) : ConditionName(condition);
  if (IsTextCondition(condition)) result += Quoted(text);
  return result;
}

std::string TFilter::BaseDescription() const { return ConditionText(Condition1, Text1(), true); }

std::string TFilter::Description() const { return BaseDescription(); }

std::string TFilter::SearchText() const { return Text1() + '\xFF' + Text2(); }

std::string TFilter::SortKey1() const {
  return IsTextCondition(Condition1) ? Text1() : "\x01" + ConditionName(Condition1);
}

std::string TFilter::SortKey2() const {
  return IsTextCondition(Condition2) ? Text2() : "\x01" + ConditionName(Condition2) + SortKey1();
}

void TFilter::FillBaseSubItems(TFilterListItem& item) const {
  item.Filter = this;
  const bool anyText = IsTextCondition(Condition1) || IsTextCondition(Condition2);
  item.SubItems.push_back(anyText ? (CaseMatters ? "Y" : "N") : "");
  item.SubItems.push_back(ActionName(Action));
  item.SubItems.push_back(std::to_string(Hits));
}

void TFilter::FillListItem(TFilterListItem& item) const { FillBaseSubItems(item); }

// --- TSenderFilter ---

TSenderFilter::TSenderFilter() {
  Kind = fkSender;
  Condition2 = cnEndsWith;
  Headers = (1u << 2) | (1u << 7) | (1u << 8) | (1u << 10) | (1u << 14) | (1u << 15) | (1u << 16) |
            (1u << 17);
  Options = foAddressOnly;
}

std::string TSenderFilter::Description() const {
  std::string text;
  if (Condition1 != cnNone) {
    text = "User name " + ConditionText(Condition1, Text1(), true);
    if (Condition2 != cnNone) text += " and ";
  }
  if (Condition2 != cnNone) text += "Domain " + ConditionText(Condition2, Text2(), true);
  return text;
}

bool TSenderFilter::DomainTest(int number, const TEmail& message,
                               const TEvaluationContext& context) const {
  const uint8_t condition = Condition2;
  if (condition == cnNone) return false;
  const auto test = [&](const std::string& domain) { return Compare(domain, condition, Text2()); };
  if (number == 1 || number == 19) {
    std::vector<std::string> domains;
    for (const std::string& entry : number == 1 ? message.Cc : message.To)
      domains.push_back(DomainPart(AddressOf(entry)));
    return RunOver(domains, condition, test);
  }
  const std::vector<std::string>& entries = context.Domains[number];
  if (condition != cnStartsWithNumber && condition != cnMostlyNumbers && condition != cnNumeric)
    return RunOver(entries, condition, test);
  // Numeric conditions look at host names, not address literals, and judge a name without its
  // top-level label.
  std::vector<std::string> names;
  for (const std::string& entry : entries) {
    if (IsIPv4(entry)) continue;
    names.push_back(condition == cnStartsWithNumber ? entry : DropLastLabel(entry));
  }
  return RunOver(names, condition, test);
}

bool TSenderFilter::Matches(const TEmail& message, const TEvaluationContext& context) {
  for (int n = 1; n <= 20; ++n) {
    if (!HasHeaderBit(n) || !((context.PresentSet >> n) & 1u)) continue;
    bool result;
    if (Condition1 == cnNone) {
      result = DomainTest(n, message, context);
    } else if (!((PersonalHeaders >> n) & 1u)) {
      result = false;
    } else {
      std::vector<std::string> users;
      if (n == 1 || n == 19) {
        for (const std::string& entry : n == 1 ? message.Cc : message.To)
          users.push_back(UserPart(AddressOf(entry)));
      } else {
        users.push_back(UserPart(AddressOf(message.Headers.ValueOf(THeaders::StdName(n)))));
      }
      const bool userTest = RunOver(users, Condition1, [&](const std::string& user) {
        return Compare(user, Condition1, Text1());
      });
      result = userTest && (Condition2 == cnNone || DomainTest(n, message, context));
    }
    if (result) return true;
  }
  return false;
}

void TSenderFilter::FillListItem(TFilterListItem& item) const {
  item.Caption = ConditionText(Condition1, Text1(), false);
  item.SubItems.push_back(ConditionText(Condition2, Text2(), false));
  FillBaseSubItems(item);
}

// --- TFriendFilter ---

TFriendFilter::TFriendFilter() {
  Kind = fkFriend;
  Condition1 = cnEquals;
  Condition2 = cnEndsWith;
  Options = foAddressOnly;
  Action = acAccept;
}

std::string TFriendFilter::Description() const {
  const std::string address = Condition1 != cnNone ? Text1() + "@" + Text2() : Text2();
  if (IsMailingList()) return "Mailing list '" + address + "'";
  if (Condition1 != cnNone) return "User is '" + address + "'";
  return "Domain is '" + Text2() + "'";
}

bool TFriendFilter::TestAddress(const std::string& address) const {
  if (address.empty()) return false;
  if (Condition1 == cnNone) return Compare(DomainPart(address), cnEndsWith, Text2());
  // "Equals" with the pattern Text1 + "@" + Text2, compared in its three pieces.
  const std::string_view a = address;
  const size_t user = Text1().size();
  const bool fold = CaseMatters == 0;
  return a.size() == user + 1 + Text2().size() && a[user] == '@' &&
         SameAs(a.substr(0, user), Text1(), fold) && SameAs(a.substr(user + 1), Text2(), fold);
}

bool TFriendFilter::Matches(const TEmail&, const TEvaluationContext& context) {
  if (TestAddress(context.FromAddress)) return true;
  return IsMailingList() && TestAddress(context.ToAddress);
}

void TFriendFilter::FillListItem(TFilterListItem& item) const {
  item.Filter = this;
  const std::string prefix = IsMailingList()        ? "Mailing list"
                             : Condition1 != cnNone ? "User"
                                                    : "Everyone at";
  item.Caption = prefix + Quoted(Condition1 != cnNone ? Text1() + "@" + Text2() : Text2());
}

// --- TSubjectFilter ---

TSubjectFilter::TSubjectFilter() {
  Kind = fkSubject;
  Condition1 = cnContains;
}

std::string TSubjectFilter::Description() const { return "Subject " + BaseDescription(); }

bool TSubjectFilter::Matches(const TEmail&, const TEvaluationContext& context) {
  if (Condition1 == cnPresent) return context.HasSubject;
  if (Condition1 == cnMissing) return !context.HasSubject;
  return context.HasSubject && Compare(context.Subject, Condition1, Text1());
}

void TSubjectFilter::FillListItem(TFilterListItem& item) const {
  item.Caption = ConditionText(Condition1, Text1(), false);
  FillBaseSubItems(item);
}

// --- TTextFilter ---

TTextFilter::TTextFilter() {
  Kind = fkText;
  Condition1 = cnContainsWord;
}

std::string TTextFilter::Description() const { return "Message text " + BaseDescription(); }

bool TTextFilter::Compare(std::string_view value, uint8_t condition,
                          std::string_view pattern) const {
  switch (condition) {
    case cnContains: return pattern.empty() || PosOf(pattern, value) > 0;
    case cnContainsWord: return ContainsWord(value, pattern);
    case cnNotContains: return !pattern.empty() && PosOf(pattern, value) == 0;
    case cnBlank: return value.empty();
    case cnUppercase: return IsUppercase(value);
    default: return false;
  }
}

bool TTextFilter::MatchesTexts(const TEvaluationContext& context) const {
  const bool exact = CaseMatters == 1;
  const std::string pattern = exact ? Text1() : LowerLocale(Text1());
  for (int t = 0; t < 3; ++t)
    if (Compare(exact ? context.BodyText(t) : context.LowerBodyText(t), Condition1, pattern))
      return true;
  return false;
}

bool TTextFilter::Matches(const TEmail&, const TEvaluationContext& context) {
  bool result;
  if (context.TextSearch && context.TextSearch->Lookup(*this, context, result)) return result;
  return MatchesTexts(context);
}

void TTextFilter::FillListItem(TFilterListItem& item) const {
  item.Caption = ConditionText(Condition1, Text1(), false);
  FillBaseSubItems(item);
}

// --- TCountryFilter ---

TCountryFilter::TCountryFilter() {
  Kind = fkCountry;
  Action = acKill;
}

std::string TCountryFilter::Description() const { return "Sent from or via " + Text1(); }

bool TCountryFilter::Matches(const TEmail&, const TEvaluationContext& context) {
  if (!context.Countries) return false;
  const TLandInfo& countries = *context.Countries;
  for (const int n : {14, 8}) {
    for (const std::string& domain : context.Domains[n]) {
      for (int i = 0; i < countries.Count(); ++i) {
        if (!countries.IsBlocked(i)) continue;
        if (Compare(domain, cnEndsWith, "." + countries.Code(i))) {
          SetText1(countries.Name(i));
          return true;
        }
      }
    }
  }
  return false;
}

// --- THeaderFilter ---

THeaderFilter::THeaderFilter() {
  Kind = fkHeader;
  Condition1 = cnContains;
}

std::string THeaderFilter::Description() const {
  std::string text = "'" + Text1() + "' " + LowerConditionName(Condition1);
  if (!IsTextCondition(Condition1)) return text;
  if (HeaderNumber != 0) return text + Quoted(THeaders::StdName(HeaderNumber));
  if (!HasOption(foOwnNames)) return text + Quoted(Text2());
  return text + (Text2() == kUserToken ? " any of your user names" : " any of your domain names");
}

std::string THeaderFilter::SortKey1() const {
  return IsTextCondition(Condition1) ? Text1() + "\x01" + Text2()
                                     : Text1() + "\x02" + ConditionName(Condition1);
}

std::string THeaderFilter::SortKey2() const {
  return IsTextCondition(Condition1) ? Text2() : "\x01" + ConditionName(Condition1);
}

bool THeaderFilter::Matches(const TEmail& message, const TEvaluationContext& context) {
  const THeaders& headers = message.Headers;
  if (Condition1 == cnPresent) return headers.HasHeader(Text1());
  if (Condition1 == cnMissing) return !headers.HasHeader(Text1());

  static const std::vector<std::string> kNoNames;
  std::string derived;  // the pattern taken from a standard header of the message
  std::string_view single;
  const std::vector<std::string>* names = nullptr;
  size_t patternCount = 1;
  if (HeaderNumber != 0) {
    const int index = headers.IndexOfStd(HeaderNumber);
    if (index < 0) return false;
    derived = headers.ValueAt(index);
    if (HasOption(foAddressOnly)) derived = AddressOf(derived);
    if (HasOption(foRegisteredDomain))
      derived = RegisteredDomain(derived);
    else if (HasOption(foUserPart))
      derived = UserPart(derived);
    single = derived;
  } else if (HasOption(foOwnNames)) {
    const std::vector<std::string>* users = context.OwnUserNames ? context.OwnUserNames : &kNoNames;
    const std::vector<std::string>* domains =
        context.OwnDomainNames ? context.OwnDomainNames : &kNoNames;
    names = Text2() == kUserToken ? users : domains;
    patternCount = std::min(users->size(), names->size());
  } else {
    single = Text2();
  }

  const int number = THeaders::StdNumber(Text1());
  if (HasOption(foAddressOnly) && !((AddressHeaders >> number) & 1u))
    Options = static_cast<uint8_t>(Options & ~foAddressOnly);
  // Values are judged as they are found: a negative condition must hold for every value and
  // pattern, any other for one pair; a message without the header matches neither.
  const bool negative = IsNegativeCondition(Condition1);
  bool seen = false;
  const auto decides = [&](const std::string& value) {
    seen = true;
    for (size_t p = 0; p < patternCount; ++p) {
      const bool holds = Compare(value, Condition1, names ? std::string_view((*names)[p]) : single);
      if (holds != negative) return true;
    }
    return false;
  };
  if (HasOption(foAddressOnly)) {
    for (const std::string& entry : context.Addresses[number]) {
      std::string value = AddressOf(entry);
      if (HasOption(foUserPart))
        value = UserPart(value);
      else if (Condition1 == cnMostlyNumbers || Condition1 == cnNumeric)
        value = DropLastLabel(value);
      if (decides(value)) return !negative;
    }
  } else {
    THeaders& search = const_cast<THeaders&>(headers);
    for (int i = search.FindFirst(Text1()); i >= 0; i = search.FindNext())
      if (decides(headers.ValueAt(i))) return !negative;
  }
  return seen && negative;
}

void THeaderFilter::FillListItem(TFilterListItem& item) const {
  item.Caption = Text1();
  item.SubItems.push_back(ConditionText(Condition1, Text2(), true));
  FillBaseSubItems(item);
}

// --- TNotAFriend ---

TNotAFriend::TNotAFriend() {
  Kind = fkNone;
  Action = acKill;
}

std::unique_ptr<TFilter> CreateFilterOfKind(uint8_t kind) {
  switch (kind) {
    case fkSender: return std::make_unique<TSenderFilter>();
    case fkFriend: return std::make_unique<TFriendFilter>();
    case fkSubject: return std::make_unique<TSubjectFilter>();
    case fkText: return std::make_unique<TTextFilter>();
    case fkCountry: return std::make_unique<TCountryFilter>();
    case fkHeader: return std::make_unique<THeaderFilter>();
    default: return std::make_unique<TFilter>();
  }
}

}  // namespace tarnwell
