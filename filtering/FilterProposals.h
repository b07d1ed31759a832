#pragma once

#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "message/Headers.h"

namespace tarnwell {

class TEmail;
class TFilter;
class TFilterList;
class TLandInfo;

// The parts of a message a new filter can be based on, in the order the wizard offers them.
enum class TFilterBase { Sender, Subject, Text, Country, Header };
inline constexpr int kFilterBaseCount = 5;

// One header line as the wizard lists it.
struct TProposedHeader {
  std::string Name;
  // The value, or with addresses looked for, the address (or domain, or first host) in it.
  std::string Value;
  // The header's address is what a header filter on it can compare.
  bool HasAddress = false;
};

// What one message offers as the base of a new filter, read when the wizard opens. Texts are the
// message's own bytes, so that a filter made of them matches it.
class TFilterProposals {
 public:
  // `message` may be none: every base but the country is then offered, with nothing to show.
  // The country table names the countries of the Received hosts; without one none is found.
  TFilterProposals(const TEmail* message, const TLandInfo* countries);

  [[nodiscard]] bool HasMessage() const { return hasMessage_; }
  [[nodiscard]] bool Offers(TFilterBase base) const;
  [[nodiscard]] std::optional<TFilterBase> FirstOffered() const;

  // "Name: address" for each of Errors-To, From, Reply-To, Return-Path and Sender that gives an
  // address (that of its last line), or "Name: domain".
  [[nodiscard]] std::vector<std::string> SenderLines(bool domainOnly) const;
  [[nodiscard]] const std::string& Subject() const { return subject_; }
  // The text as the text filters search it (MIME decoded where the message is encoded), its
  // lines joined by CR LF; empty when it was not retrieved.
  [[nodiscard]] const std::string& Text() const { return text_; }
  // Positions in the country table of the countries the Received hosts name, each once, in the
  // order met.
  [[nodiscard]] const std::vector<int>& Countries() const { return countries_; }
  // One row per header line.
  [[nodiscard]] std::vector<TProposedHeader> HeaderRows(bool addresses) const;

 private:
  struct TSender {
    std::string Name;
    std::string Address;
  };

  bool hasMessage_ = false;
  bool textRetrieved_ = false;
  THeaders headers_;
  std::vector<TSender> senders_;
  std::string subject_;
  std::string text_;
  std::vector<int> countries_;
};

// A new filter of the base's kind, made by the user (origin "User"); none for the country.
[[nodiscard]] std::unique_ptr<TFilter> NewFilterFor(TFilterBase base);

// A pattern from text selected in a message: carriage returns removed, line feeds turned into
// blanks, cut to the 50 bytes a filter holds without splitting a character.
[[nodiscard]] std::string PatternOf(std::string_view selected);

// Fills a sender filter from a line of `SenderLines`: the user name must equal the line's (but
// with `ignoreUser`) and the domain end with its domain.
void FillSenderFilter(TFilter& filter, std::string_view line, bool ignoreUser);
// Fills a subject or message text filter with the selected text, or with the whole text when
// nothing is selected.
void FillTextFilter(TFilter& filter, std::string_view selected, std::string_view whole);
// Fills a header filter on the row's header with the selected part of its value (the whole
// value when nothing is selected), comparing addresses when they were looked for and the header
// has one.
void FillHeaderFilter(TFilter& filter, const TProposedHeader& row, std::string_view selected,
                      bool addresses);
// Blocks the countries at these positions of the list's country table, which is saved.
void BlockCountries(TFilterList& filters, const std::vector<int>& countries);

}  // namespace tarnwell
