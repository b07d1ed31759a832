// Arbitrary bytes as a message template file and as the lines of the recent-complaints list.
// Whatever is read must write back in a form that reads to the same result.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "complaints/CommaText.h"
#include "complaints/Complaint.h"
#include "complaints/RecentComplaints.h"
#include "complaints/Templates.h"
#include "message/Emails.h"
#include "message/MessageText.h"

using namespace tarnwell;

namespace {

void Check(bool condition) {
  if (!condition) std::abort();
}

const TEmail& Reported() {
  static const TEmail message = [] {
    TEmail email;
    ParseMessageText(
        "From: A <a@example.com>\r\nReply-To: r@example.net\r\nSubject: Offer\r\n"
        "\r\nBuy %EMAIL now.\r\n",
        email);
    return email;
  }();
  return message;
}

void FuzzTemplate(std::string_view text) {
  TTemplate item;
  item.Name = "Fuzz";
  if (!item.ParseFileText(text)) return;
  if (item.Version < CurrentTemplateVersion) item.Version = CurrentTemplateVersion;
  const std::string written = item.FileText();
  TTemplate again;
  again.Name = "Fuzz";
  Check(again.ParseFileText(written));
  Check(again.FileText() == written);
  std::unique_ptr<TEmail> message = item.BuildMessage(Reported());
  ExpandMacros(*message, {{"%DATETIME", "now"}, {"%EMAIL", "me@example.org"}, {"%POP3", ""}});
}

void FuzzRecentLine(std::string_view line) {
  TComplaint first;
  first.FromText(line);
  const std::string current = first.AsText();
  Check(current.find_first_of("\r\n") == std::string::npos);
  TComplaint second;
  second.FromText(current);
  Check(second.AsText() == current);
  TComplaint upgraded;
  upgraded.FromText(UpgradeRecentLine(line));
}

void FuzzCommaText(std::string_view text) {
  const std::vector<std::string> items = SplitCommaText(text);
  Check(SplitCommaText(JoinCommaText(items)) == items);
  // Items of any bytes at all, here cut at NUL bytes.
  std::vector<std::string> raw(1);
  for (const char c : text) {
    if (c == '\0')
      raw.emplace_back();
    else
      raw.back() += c;
  }
  Check(SplitCommaText(JoinCommaText(raw)) == raw);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  FuzzTemplate(text);
  FuzzCommaText(text);
  size_t start = 0;
  while (start <= text.size()) {
    size_t end = text.find_first_of("\r\n", start);
    if (end == std::string_view::npos) end = text.size();
    FuzzRecentLine(text.substr(start, end - start));
    start = end + 1;
  }
  return 0;
}
