#include "message/LiveMail.h"

#include <cstdint>

#include "message/QStrings.h"
#include "platform/DateTime.h"
#include "platform/Files.h"

namespace tarnwell {

namespace {

// Each record is a block of header lines, the blocks separated by an empty line: the fields of
// the record under these names, then the headers a list shows.
const char* const kID = "X-Tarnwell-ID";
const char* const kStatus = "X-Tarnwell-Status";
const char* const kLength = "X-Tarnwell-Length";
const char* const kSeen = "X-Tarnwell-Seen";
const char* const kReason = "X-Tarnwell-Reason";
const char* const kRead = "X-Tarnwell-Read";
const char* const kShownHeaders[] = {"From", "Subject", "Date"};

// The number, when it is one within [low, high]; else 0.
int64_t NumberOr0(const std::string& text, int64_t low, int64_t high) {
  int64_t value = 0;
  return ToInteger(text, value) && value >= low && value <= high ? value : 0;
}

// The last second of the year 9999.
constexpr int64_t kLatestTime = 253402300799;

// A value on one line.
std::string OneLine(std::string text) {
  for (char& c : text)
    if (c == '\r' || c == '\n') c = ' ';
  return text;
}

}  // namespace

void WriteLiveMailList(const TEmailList& inbox, const std::string& path) {
  std::vector<std::string> lines;
  for (int i = 0; i < inbox.Count(); ++i) {
    const TEmail& message = *inbox[i];
    if (i > 0) lines.emplace_back();
    lines.push_back(std::string(kID) + ": " + std::to_string(message.ID));
    lines.push_back(std::string(kStatus) + ": " + std::to_string(message.Status));
    lines.push_back(std::string(kLength) + ": " + std::to_string(message.Length));
    if (message.LastSeen != 0)
      lines.push_back(std::string(kSeen) + ": " +
                      std::to_string(LocalDateTimeToUnix(message.LastSeen)));
    if (!message.Reason.empty())
      lines.push_back(std::string(kReason) + ": " + OneLine(message.Reason));
    if (message.Read) lines.push_back(std::string(kRead) + ": Y");
    for (const char* name : kShownHeaders) {
      const int index = message.Headers.IndexOfName(name);
      if (index >= 0) lines.push_back(OneLine(message.Headers[index]));
    }
  }
  lines.emplace_back();
  WriteFileAtomic(path, lines, "\r\n", TDurability::NoSync);
}

std::vector<std::unique_ptr<TEmail>> ReadLiveMailList(const std::string& path) {
  std::vector<std::unique_ptr<TEmail>> records;
  std::string text;
  if (!ReadWholeFile(path, text)) return records;
  std::vector<std::string> lines = SplitTextLines(text);
  lines.emplace_back();
  THeaders block;
  for (std::string& line : lines) {
    if (!line.empty()) {
      block.Add(line);
      continue;
    }
    if (block.Count() == 0) continue;
    auto message = std::make_unique<TEmail>();
    message->Headers = std::move(block);
    block = THeaders();
    message->ParseHeaders();
    THeaders& headers = message->Headers;
    message->ID = static_cast<int32_t>(NumberOr0(headers.Take(kID), 0, INT32_MAX));
    message->Status = static_cast<uint8_t>(NumberOr0(headers.Take(kStatus), 0, 255));
    message->Length = static_cast<int32_t>(NumberOr0(headers.Take(kLength), 0, INT32_MAX));
    const int64_t seen = NumberOr0(headers.Take(kSeen), 0, kLatestTime);
    if (seen != 0) message->LastSeen = UnixToLocalDateTime(static_cast<std::time_t>(seen));
    message->Reason = headers.Take(kReason);
    message->Read = !headers.Take(kRead).empty();
    records.push_back(std::move(message));
  }
  return records;
}

}  // namespace tarnwell
