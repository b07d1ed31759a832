#include "shell/LogFile.h"

#include <cstdio>

#include "platform/DateTime.h"
#include "platform/Error.h"
#include "platform/Files.h"
#include "platform/XdgFolders.h"

namespace tarnwell {

std::string TLogFile::FormatLine(std::string_view text) {
  const TDateParts p = DecodeDateTime(TClock::Current().Now());
  char stamp[32];
  std::snprintf(stamp, sizeof stamp, "%02d-%02d-%02d %02d:%02d:%02d [", p.year % 100, p.month,
                p.day, p.hour, p.minute, p.second);
  std::string line = stamp;
  line.reserve(line.size() + text.size() + 1);
  for (const char c : text) {
    const auto u = static_cast<unsigned char>(c);
    if (u < 32) {
      line += '<';
      line += std::to_string(u);
      line += '>';
    } else {
      line += c;
    }
  }
  line += ']';
  return line;
}

int TLogFile::Add(std::string_view text) {
  if (loading_) {
    lines_.emplace_back(text);
    return static_cast<int>(lines_.size()) - 1;
  }
  if (!enabled_) return -1;
  lines_.push_back(FormatLine(text));
  const int position = static_cast<int>(lines_.size()) - 1;
  Save();
  return position;
}

void TLogFile::AddStrings(const std::vector<std::string>& lines) {
  if (!enabled_) return;
  // Of more lines than the cap (a long message), those the cap would drop at once are not
  // formatted at all.
  size_t first = 0;
  if (lines.size() > kMaxLines) {
    first = lines.size() - kMaxLines;
    DeleteFirstLines(lines_.size());
  }
  for (size_t i = first; i < lines.size(); ++i) lines_.push_back(FormatLine(lines[i]));
  Save();
}

void TLogFile::SetEnabled(bool enabled) {
  if (enabled == enabled_) return;
  if (!enabled) Save();
  lines_.clear();
  written_ = 0;
  enabled_ = enabled;
  // The next save starts the file anew with the lines that follow.
  rewrite_ = true;
}

void TLogFile::SetFileName(const std::string& path) {
  if (path == fileName_) return;
  fileName_ = path;
  DeleteFileAt(path);
  written_ = 0;
  rewrite_ = true;
}

void TLogFile::DeleteFirstLines(size_t count) {
  count = std::min(count, lines_.size());
  lines_.erase(lines_.begin(), lines_.begin() + static_cast<std::ptrdiff_t>(count));
  written_ = 0;
  rewrite_ = true;
}

void TLogFile::Trim() {
  if (lines_.size() <= kMaxLines) return;
  DeleteFirstLines(lines_.size() - kMaxLines);
}

void TLogFile::Write() {
  // Below the cap the file only grows, so the new lines are appended; dropping lines from the
  // top means writing the whole file again.
  std::string text;
  const size_t from = rewrite_ ? 0 : written_;
  for (size_t i = from; i < lines_.size(); ++i) {
    text += lines_[i];
    text += "\r\n";
  }
  if (rewrite_)
    WriteFileDirect(fileName_, text);
  else
    AppendFile(fileName_, text);
  written_ = lines_.size();
  rewrite_ = false;
}

void TLogFile::Save() {
  if (!enabled_ || fileName_.empty()) return;
  Trim();
  try {
    Write();
  } catch (const TError&) {
    fileName_ = IncludeTrailingSlash(XdgUserDir("DOCUMENTS")) + ExtractFileName(fileName_);
    rewrite_ = true;
    Write();
  }
}

void TLogFile::LoadExisting() {
  std::string data;
  if (!ReadWholeFile(fileName_, data)) return;
  loading_ = true;
  size_t start = 0;
  while (start < data.size()) {
    size_t end = data.find('\n', start);
    if (end == std::string::npos) end = data.size();
    size_t stop = end;
    if (stop > start && data[stop - 1] == '\r') --stop;
    Add(std::string_view(data).substr(start, stop - start));
    start = end + 1;
  }
  loading_ = false;
  // The file holds these lines already; the next save appends after them.
  written_ = lines_.size();
  rewrite_ = false;
}

TLogFile& ProgramLog() {
  static TLogFile log;
  return log;
}

}  // namespace tarnwell
