#include "complaints/RecentComplaints.h"

#include <utility>

#include "complaints/CommaText.h"
#include "message/QStrings.h"
#include "platform/Error.h"
#include "platform/Files.h"
#include "shell/ProgramFolders.h"
#include "shell/Settings.h"

namespace tarnwell {

namespace {

std::string Repeated(const std::string& name, size_t count) {
  return JoinCommaText(std::vector<std::string>(count, name));
}

}  // namespace

std::string UpgradeRecentLine(std::string_view line) {
  std::vector<std::string> old = SplitCommaText(line);
  old.resize(11);
  const std::vector<std::string> users = SplitCommaText(old[3]);
  const std::string& recipients = old[6];
  // Character i stands for bit i of the recipient set: 2 abuse, 3 postmaster, 4 webmaster.
  const auto has = [&](size_t bit) { return bit < recipients.size() && recipients[bit] == '1'; };
  std::vector<std::string> admins;
  for (const std::string& domain : SplitCommaText(old[7])) {
    if (has(2)) admins.push_back("abuse@" + domain);
    if (has(3)) admins.push_back("postmaster@" + domain);
    if (has(4)) admins.push_back("webmaster@" + domain);
  }
  const size_t others = SplitCommaText(old[9]).size();
  return JoinCommaText({ProgramVersion(), old[0], old[1], old[2], old[3], old[4],
                        Repeated(old[5], users.size()), old[7], JoinCommaText(admins),
                        Repeated(old[8], admins.size()), old[9], Repeated(old[10], others)});
}

TRecentComplaints::TRecentComplaints() : MaxCount(Settings().NumRecentComplaints) {}

TRecentComplaints::~TRecentComplaints() {
  if (!Modified) return;
  try {
    Save();
  } catch (const TError&) {
  }
}

std::string TRecentComplaints::FileName() {
  return TProgramFolders::ComplaintsFolder() + "Recent.lst";
}

void TRecentComplaints::Load() {
  std::string text;
  bool loaded = ReadWholeFile(FileName(), text);
  if (loaded) {
    lines_ = SplitTextLines(text);
    Modified = false;
    try {
      Upgrade();
    } catch (const TError&) {
      loaded = false;
    }
  }
  if (!loaded) Save();
}

void TRecentComplaints::Save() {
  std::string text;
  for (const std::string& line : lines_) {
    text += line;
    text += "\r\n";
  }
  ForceDirectories(TProgramFolders::ComplaintsFolder());
  WriteFileAtomic(FileName(), text);
  Modified = false;
}

void TRecentComplaints::Close() {
  if (Modified) Save();
  lines_.clear();
}

void TRecentComplaints::Add(const TComplaint& complaint) {
  lines_.insert(lines_.begin(), complaint.AsText());
  if (Count() > MaxCount) lines_.pop_back();
  Modified = true;
}

void TRecentComplaints::Delete(int index) {
  if (!ValidIndex(index)) return;
  lines_.erase(lines_.begin() + index);
  Modified = true;
}

void TRecentComplaints::PromoteEntry(int index) {
  if (!ValidIndex(index)) return;
  std::swap(lines_.front(), lines_[static_cast<size_t>(index)]);
  Modified = true;
}

bool TRecentComplaints::FindSender(const std::vector<std::string>& addresses, int& index) {
  for (int i = 0; i < Count(); ++i) {
    for (const std::string& known : Entry(i).UserAddresses) {
      for (const std::string& address : addresses) {
        if (SameText(known, address)) {
          index = i;
          return true;
        }
      }
    }
  }
  return false;
}

TComplaint& TRecentComplaints::Entry(int index) {
  // Starting afresh keeps a short line from showing parts of the entry read before it.
  scratch_ = TComplaint();
  if (ValidIndex(index)) scratch_.FromText(lines_[static_cast<size_t>(index)]);
  return scratch_;
}

std::string TRecentComplaints::Caption(int index) {
  const TComplaint& entry = Entry(index);
  for (const auto* list : {&entry.UserAddresses, &entry.AdminAddresses, &entry.OtherAddresses})
    if (!list->empty()) return list->front();
  return std::string();
}

void TRecentComplaints::Upgrade() {
  if (lines_.empty()) return;
  const std::vector<std::string> first = SplitCommaText(lines_.front());
  if (!first.empty() && first.front().find('.') != std::string::npos) return;
  for (std::string& line : lines_) line = UpgradeRecentLine(line);
  Modified = true;
  Save();
}

}  // namespace tarnwell
