#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "filtering/FilterTypes.h"

namespace tarnwell {

class TEmail;
class TLandInfo;
class TTextSearch;

inline constexpr size_t kFilterRecordSize = 136;
inline constexpr size_t kShortStringCapacity = 50;

// Standard header numbers collected as address lists for every message.
inline constexpr uint32_t AddressHeaders = (1u << 1) | (1u << 2) | (1u << 6) | (1u << 7) |
                                           (1u << 8) | (1u << 10) | (1u << 14) | (1u << 15) |
                                           (1u << 16) | (1u << 17) | (1u << 19) | (1u << 20);
// Headers whose address has a meaningful user part.
inline constexpr uint32_t PersonalHeaders = (1u << 1) | (1u << 6) | (1u << 7) | (1u << 8) |
                                            (1u << 15) | (1u << 16) | (1u << 17) | (1u << 19) |
                                            (1u << 20);

// What the filter list prepares once per message, before the first filter is tried.
struct TEvaluationContext {
  // The extracted addresses of the last From and To lines, and the Subject, read once for the
  // friend and subject filters.
  std::string FromAddress;
  std::string ToAddress;
  std::string Subject;
  bool HasSubject = false;
  // Indexed by standard header number (1..20); only the address headers are filled.
  std::array<std::vector<std::string>, 21> Addresses;
  std::array<std::vector<std::string>, 21> Domains;
  uint32_t PresentSet = 0;
  // Joined raw body, joined decoded body, and the decoded body with spaces collapsed and
  // quotes and dashes removed; empty unless text filters are active. Read them through
  // BodyText: when the decoded body is the raw one, it is not held twice.
  std::array<std::string, 3> BodyTexts;
  [[nodiscard]] std::string_view BodyText(int t) const {
    return t == 1 && decodedIsRaw_ ? BodyTexts[0] : BodyTexts[static_cast<size_t>(t)];
  }
  // The body text lower-cased, made when first asked for: the shared text search folds case
  // as it reads and rarely needs them.
  [[nodiscard]] std::string_view LowerBodyText(int t) const;
  const std::vector<std::string>* OwnUserNames = nullptr;
  const std::vector<std::string>* OwnDomainNames = nullptr;
  const TLandInfo* Countries = nullptr;
  // Finds every text filter's pattern in one pass over the body texts; none means each text
  // filter searches for itself.
  TTextSearch* TextSearch = nullptr;

  // Forgets everything, giving back the memory of the body texts.
  void Clear();
  // Sets the three body texts (and forgets their lower-cased copies).
  void SetBodyTexts(std::string raw, std::string decoded);
  // The same for a decoded body that is the raw one.
  void SetBodyTexts(std::string raw);

 private:
  bool decodedIsRaw_ = false;
  mutable std::array<std::string, 3> lowerBodyTexts_;
  mutable bool lowerReady_ = false;
};

// The third body text: spaces collapsed in one left-to-right pass, then the bytes '"', '\'' and
// '-' removed and blanks trimmed at both ends.
[[nodiscard]] std::string CleanBodyText(std::string_view decoded);

// One row of a filter list view: caption and sub-items.
struct TFilterListItem {
  const class TFilter* Filter = nullptr;
  std::string Caption;
  std::vector<std::string> SubItems;
};

// A filter: one fixed-size record saying which messages it catches and what happens to them.
class TFilter {
 public:
  TFilter();
  virtual ~TFilter() = default;
  TFilter(const TFilter&) = default;
  TFilter& operator=(const TFilter&) = default;

  // The reason text shown to the user and stored with killed messages.
  [[nodiscard]] virtual std::string Description() const;
  [[nodiscard]] virtual std::string SearchText() const;
  [[nodiscard]] virtual std::string SortKey1() const;
  [[nodiscard]] virtual std::string SortKey2() const;
  [[nodiscard]] virtual bool Compare(std::string_view value, uint8_t condition,
                                     std::string_view pattern) const;
  [[nodiscard]] virtual std::unique_ptr<TFilter> Clone() const {
    return std::make_unique<TFilter>(*this);
  }
  // May write `Text1` of a country filter and clear `foAddressOnly` of a header filter.
  virtual bool Matches(const TEmail& message, const TEvaluationContext& context);
  virtual void FillListItem(TFilterListItem& item) const;

  // The 136-byte record: writing keeps the padding bytes and unused string bytes read from a
  // file; reading fails (false) on a record that cannot be valid.
  void WriteRecord(uint8_t* out) const;
  bool ReadRecord(const uint8_t* in);

  [[nodiscard]] bool HasOption(uint8_t option) const { return (Options & option) != 0; }
  [[nodiscard]] bool HasHeaderBit(int number) const { return (Headers >> number) & 1u; }
  [[nodiscard]] const std::string& Text1() const { return text1_; }
  [[nodiscard]] const std::string& Text2() const { return text2_; }
  // Texts are cut to 50 characters, as the record holds them.
  void SetText1(std::string_view text);
  void SetText2(std::string_view text);

  uint8_t Kind = fkNone;
  int32_t ID = 0;
  uint8_t Options = 0;
  uint8_t Origin = orSystem;
  int32_t UpdateNumber = 0;
  uint8_t Action = acKill;
  uint8_t Recipients = rcAbuse | rcPostmaster;
  uint8_t CaseMatters = 0;
  int32_t Hits = 0;
  uint8_t Condition1 = cnNone;
  uint8_t Condition2 = cnNone;
  uint8_t HeaderNumber = 0;
  uint32_t Headers = 0;

 protected:
  // The base caption and sub-items shared by the kinds.
  void FillBaseSubItems(TFilterListItem& item) const;
  // Condition name, with the text quoted for a text condition.
  [[nodiscard]] static std::string ConditionText(uint8_t condition, const std::string& text,
                                                 bool lower);
  [[nodiscard]] std::string BaseDescription() const;

 private:
  std::string text1_;
  std::string text2_;
  // Bytes of the record that carry no field, kept as read.
  std::array<uint8_t, 3> pad1_{};
  std::array<uint8_t, 2> pad2_{};
  uint8_t pad3_ = 0;
  std::array<uint8_t, 3> pad4_{};
  // The string areas as read, so unused bytes after the text survive a rewrite.
  std::array<uint8_t, 51> text1Image_{};
  std::array<uint8_t, 51> text2Image_{};
};

class TSenderFilter : public TFilter {
 public:
  TSenderFilter();
  [[nodiscard]] std::string Description() const override;
  [[nodiscard]] std::unique_ptr<TFilter> Clone() const override {
    return std::make_unique<TSenderFilter>(*this);
  }
  bool Matches(const TEmail& message, const TEvaluationContext& context) override;
  void FillListItem(TFilterListItem& item) const override;

 private:
  bool DomainTest(int number, const TEmail& message, const TEvaluationContext& context) const;
};

class TFriendFilter : public TFilter {
 public:
  TFriendFilter();
  [[nodiscard]] std::string Description() const override;
  [[nodiscard]] std::unique_ptr<TFilter> Clone() const override {
    return std::make_unique<TFriendFilter>(*this);
  }
  bool Matches(const TEmail& message, const TEvaluationContext& context) override;
  void FillListItem(TFilterListItem& item) const override;
  [[nodiscard]] bool IsMailingList() const { return HasHeaderBit(19); }

 private:
  [[nodiscard]] bool TestAddress(const std::string& address) const;
};

class TSubjectFilter : public TFilter {
 public:
  TSubjectFilter();
  [[nodiscard]] std::string Description() const override;
  [[nodiscard]] std::string SearchText() const override { return Text1(); }
  [[nodiscard]] std::unique_ptr<TFilter> Clone() const override {
    return std::make_unique<TSubjectFilter>(*this);
  }
  bool Matches(const TEmail& message, const TEvaluationContext& context) override;
  void FillListItem(TFilterListItem& item) const override;
};

class TTextFilter : public TFilter {
 public:
  TTextFilter();
  [[nodiscard]] std::string Description() const override;
  [[nodiscard]] std::string SearchText() const override { return Text1(); }
  [[nodiscard]] bool Compare(std::string_view value, uint8_t condition,
                             std::string_view pattern) const override;
  [[nodiscard]] std::unique_ptr<TFilter> Clone() const override {
    return std::make_unique<TTextFilter>(*this);
  }
  bool Matches(const TEmail& message, const TEvaluationContext& context) override;
  void FillListItem(TFilterListItem& item) const override;
  // The test on the prepared texts, without the shared search.
  [[nodiscard]] bool MatchesTexts(const TEvaluationContext& context) const;
};

class TCountryFilter : public TFilter {
 public:
  TCountryFilter();
  [[nodiscard]] std::string Description() const override;
  [[nodiscard]] std::unique_ptr<TFilter> Clone() const override {
    return std::make_unique<TCountryFilter>(*this);
  }
  bool Matches(const TEmail& message, const TEvaluationContext& context) override;
  void FillListItem(TFilterListItem& item) const override { FillBaseSubItems(item); }
};

class THeaderFilter : public TFilter {
 public:
  THeaderFilter();
  [[nodiscard]] std::string Description() const override;
  [[nodiscard]] std::string SearchText() const override { return Text2(); }
  [[nodiscard]] std::string SortKey1() const override;
  [[nodiscard]] std::string SortKey2() const override;
  [[nodiscard]] std::unique_ptr<TFilter> Clone() const override {
    return std::make_unique<THeaderFilter>(*this);
  }
  bool Matches(const TEmail& message, const TEvaluationContext& context) override;
  void FillListItem(TFilterListItem& item) const override;
};

// Stands for a sender who is not a friend, in friends-only mode.
class TNotAFriend : public TFilter {
 public:
  TNotAFriend();
  [[nodiscard]] std::string Description() const override { return "The sender is not a friend"; }
  [[nodiscard]] std::unique_ptr<TFilter> Clone() const override {
    return std::make_unique<TNotAFriend>(*this);
  }
  void FillListItem(TFilterListItem&) const override {}
};

// A new filter of the class that a kind code names (the base class for unknown codes).
[[nodiscard]] std::unique_ptr<TFilter> CreateFilterOfKind(uint8_t kind);

// Lower-cases by the Windows-1252 rules (ASCII and the accented Latin letters), which is how the
// text filters compare without regard to case.
[[nodiscard]] std::string LowerLocale(std::string_view text);
void LowerLocaleInPlace(std::string& text);

}  // namespace tarnwell
