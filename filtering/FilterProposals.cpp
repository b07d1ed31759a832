#include "filtering/FilterProposals.h"

#include <algorithm>

#include "filtering/Countries.h"
#include "filtering/FilterList.h"
#include "filtering/Filters.h"
#include "message/DisplayText.h"
#include "message/Emails.h"
#include "message/MIME.h"
#include "message/QStrings.h"
#include "message/SvcString.h"

namespace tarnwell {

namespace {

// The lines of the text as stored or loaded; false when the text was not retrieved.
bool RetrievedLines(const TEmail& message, std::vector<std::string>& lines) {
  if (message.BodyLoaded) {
    lines = message.Body;
    return true;
  }
  return message.ReadStoredBody([&lines](std::string_view line) { lines.emplace_back(line); });
}

// Decoded as the filter list decodes the text for the text filters; as it is when that fails.
void DecodeAsTextFilters(const THeaders& headers, std::vector<std::string>& lines) {
  if (!headers.HasHeader("Content-Type") && !headers.HasHeader("Content-Transfer-Encoding")) return;
  std::vector<std::string> decoded = lines;
  TDeMIME decoder;
  decoder.SetConvertHtml(true);
  bool ok = false;
  try {
    ok = decoder.DecodeBody(headers, decoded);
  } catch (const std::exception&) {
    ok = false;
  }
  if (ok) lines = std::move(decoded);
}

std::string Joined(const std::vector<std::string>& lines) {
  std::string text;
  for (size_t i = 0; i < lines.size(); ++i) {
    if (i > 0) text += "\r\n";
    text += lines[i];
  }
  return text;
}

// The address a header filter with `foAddressOnly` compares for the line at `index`: the first
// of a list of addresses, the first host of a Received line.
std::string AddressInLine(const THeaders& headers, int index, int number) {
  if (number == shReceived) {
    std::vector<std::string> hosts;
    headers.ReceivedHosts(index, hosts, true);
    return hosts.empty() ? std::string() : hosts.front();
  }
  if (number == shTo || number == shCc) {
    size_t pos = 1;
    return StripAngleBrackets(AddressOf(NextAddress(headers.ValueAt(index), pos)));
  }
  return headers.StdValueAt(index, number);
}

// The longest start of `text` of at most `limit` bytes that splits no character.
size_t CutWithoutSplitting(std::string_view text, size_t limit) {
  if (text.size() <= limit) return text.size();
  // A character starting before the limit ends within three bytes after it.
  const std::vector<size_t> starts = DisplayTextStarts(text.substr(0, limit + 3));
  return *std::prev(std::upper_bound(starts.begin(), starts.end(), limit));
}

}  // namespace

TFilterProposals::TFilterProposals(const TEmail* message, const TLandInfo* countries) {
  if (!message) return;
  hasMessage_ = true;
  headers_ = message->Headers;
  for (const int number : {shErrorsTo, shFrom, shReplyTo, shReturnPath, shSender}) {
    std::string address = headers_.StdValueAt(headers_.IndexOfStd(number), number);
    if (!address.empty()) senders_.push_back({THeaders::StdName(number), std::move(address)});
  }
  subject_ = headers_.ValueOf("Subject");
  std::vector<std::string> lines;
  textRetrieved_ = RetrievedLines(*message, lines);
  if (textRetrieved_) {
    DecodeAsTextFilters(headers_, lines);
    text_ = Joined(lines);
  }
  if (countries) {
    std::vector<std::string> hosts;
    headers_.StdValues(shReceived, hosts, true);
    for (const std::string& host : hosts) {
      const int country = countries->IndexOfCode(TopLevelLabel(host));
      if (country >= 0 &&
          std::find(countries_.begin(), countries_.end(), country) == countries_.end())
        countries_.push_back(country);
    }
  }
}

bool TFilterProposals::Offers(TFilterBase base) const {
  if (!hasMessage_) return base != TFilterBase::Country;
  switch (base) {
    case TFilterBase::Sender: return !senders_.empty();
    case TFilterBase::Subject: return !subject_.empty();
    case TFilterBase::Text: return textRetrieved_ && !Trim(text_).empty();
    case TFilterBase::Country: return !countries_.empty();
    case TFilterBase::Header: return headers_.Count() > 0;
  }
  return false;
}

std::optional<TFilterBase> TFilterProposals::FirstOffered() const {
  for (int i = 0; i < kFilterBaseCount; ++i)
    if (Offers(static_cast<TFilterBase>(i))) return static_cast<TFilterBase>(i);
  return std::nullopt;
}

std::vector<std::string> TFilterProposals::SenderLines(bool domainOnly) const {
  std::vector<std::string> lines;
  for (const TSender& sender : senders_)
    lines.push_back(sender.Name + ": " +
                    (domainOnly ? DomainPart(sender.Address) : sender.Address));
  return lines;
}

std::vector<TProposedHeader> TFilterProposals::HeaderRows(bool addresses) const {
  std::vector<TProposedHeader> rows;
  for (int i = 0; i < headers_.Count(); ++i) {
    TProposedHeader row;
    row.Name = headers_.NameAt(i);
    // A line without a name gives no header to filter on.
    if (Trim(row.Name).empty()) continue;
    const int number = THeaders::StdNumber(row.Name);
    row.HasAddress = number > 0 && (AddressHeaders >> number) & 1u;
    row.Value =
        addresses && row.HasAddress ? AddressInLine(headers_, i, number) : headers_.ValueAt(i);
    rows.push_back(std::move(row));
  }
  return rows;
}

std::unique_ptr<TFilter> NewFilterFor(TFilterBase base) {
  uint8_t kind = fkNone;
  switch (base) {
    case TFilterBase::Sender: kind = fkSender; break;
    case TFilterBase::Subject: kind = fkSubject; break;
    case TFilterBase::Text: kind = fkText; break;
    case TFilterBase::Header: kind = fkHeader; break;
    case TFilterBase::Country: return nullptr;
  }
  std::unique_ptr<TFilter> filter = CreateFilterOfKind(kind);
  filter->Origin = orUser;
  return filter;
}

std::string PatternOf(std::string_view selected) {
  std::string pattern;
  bool afterBreak = false;
  // Three bytes past the limit tell whether its last character is whole.
  for (const char c : selected) {
    if (pattern.size() > kShortStringCapacity + 3) break;
    if (c == '\r') continue;
    // The text filters skip empty lines, so a run of line breaks reads as one blank.
    if (c == '\n') {
      if (!afterBreak) pattern += ' ';
      afterBreak = true;
      continue;
    }
    afterBreak = false;
    pattern += c;
  }
  pattern.resize(CutWithoutSplitting(pattern, kShortStringCapacity));
  return pattern;
}

void FillSenderFilter(TFilter& filter, std::string_view line, bool ignoreUser) {
  const size_t blank = line.find(' ');
  const std::string address =
      AddressOf(blank == std::string_view::npos ? std::string_view() : line.substr(blank + 1));
  filter.Condition1 = ignoreUser ? cnNone : cnEquals;
  filter.SetText1(ignoreUser ? std::string() : UserPart(address));
  filter.SetText2(DomainPart(address));
}

void FillTextFilter(TFilter& filter, std::string_view selected, std::string_view whole) {
  filter.SetText1(PatternOf(selected.empty() ? whole : selected));
}

void FillHeaderFilter(TFilter& filter, const TProposedHeader& row, std::string_view selected,
                      bool addresses) {
  filter.SetText1(row.Name);
  filter.SetText2(PatternOf(selected.empty() ? std::string_view(row.Value) : selected));
  if (addresses && row.HasAddress)
    filter.Options |= foAddressOnly;
  else
    filter.Options &= static_cast<uint8_t>(~foAddressOnly);
}

void BlockCountries(TFilterList& filters, const std::vector<int>& countries) {
  for (const int country : countries) filters.SetCountryBlocked(country, true);
}

}  // namespace tarnwell
