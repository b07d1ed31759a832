#include "filtering/FilterList.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>

#include "filtering/AutoReply.h"
#include "filtering/Countries.h"
#include "message/Emails.h"
#include "message/MIME.h"
#include "message/QStrings.h"
#include "message/SvcString.h"
#include "platform/Clock.h"
#include "platform/Error.h"
#include "platform/EventLoop.h"
#include "platform/Files.h"
#include "shell/LogFile.h"
#include "shell/ProgramFolders.h"
#include "shell/Settings.h"

namespace tarnwell {

// The settings name the text filters' bit of `ActiveFilters` by this kind.
static_assert(TSettings::kTextFilterKind == fkText);

namespace {

const char* const kStartupPrefix = "An error occurred during startup: ";
// A file of the filter format larger than this many records is taken as damaged past it.
constexpr size_t kMaxRecords = 1000000;
// Copies of damaged filter files kept beside it, at most; older copies are never replaced.
constexpr int kMaxDamagedCopies = 1000;
// How many filters are tried between two looks at the clock for pending events.
constexpr unsigned kFiltersPerClockLook = 64;
constexpr int64_t kEventIntervalMs = 20;

void PutInt32(uint8_t* p, int32_t value) {
  const auto v = static_cast<uint32_t>(value);
  for (int i = 0; i < 4; ++i) p[i] = static_cast<uint8_t>(v >> (8 * i));
}

int32_t GetInt32(const uint8_t* p) {
  return static_cast<int32_t>(uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 |
                              uint32_t(p[3]) << 24);
}

bool SameFile(const std::string& a, const std::string& b) {
  struct stat sa, sb;
  return ::stat(a.c_str(), &sa) == 0 && ::stat(b.c_str(), &sb) == 0 && sa.st_dev == sb.st_dev &&
         sa.st_ino == sb.st_ino;
}

class TAutoSaveSuspension {
 public:
  explicit TAutoSaveSuspension(bool& flag) : flag_(flag), saved_(flag) { flag_ = false; }
  ~TAutoSaveSuspension() { flag_ = saved_; }

 private:
  bool& flag_;
  bool saved_;
};

}  // namespace

TFilterList::TFilterList(std::string fileName)
    : fileName_(std::move(fileName)), decoder_(std::make_unique<TDeMIME>()) {
  decoder_->SetConvertHtml(true);
}

TFilterList::~TFilterList() = default;

bool TFilterList::ReadFile(std::vector<std::string>& damage) {
  const int fd = ::open(fileName_.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) {
    if (errno != ENOENT)
      damage.push_back(std::string("it cannot be read: ") + std::strerror(errno));
    return false;
  }
  const auto readFully = [fd](uint8_t* buffer, size_t size) {
    size_t got = 0;
    while (got < size) {
      const ssize_t n = ::read(fd, buffer + got, size - got);
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) break;
      got += static_cast<size_t>(n);
    }
    return got;
  };
  uint8_t header[kHeaderSize];
  const size_t headerRead = readFully(header, kHeaderSize);
  if (headerRead != kHeaderSize) {
    ::close(fd);
    damage.push_back(headerRead == 0 ? "it is empty" : "it is too short to hold any filters");
    return false;
  }
  const int32_t version = GetInt32(header);
  for (int k = 0; k < 8; ++k) nextID_[k] = GetInt32(header + 4 + 4 * k);
  uint8_t record[kFilterRecordSize];
  size_t unreadable = 0;
  size_t got = 0;
  for (size_t n = 0; n < kMaxRecords && (got = readFully(record, sizeof record)) == sizeof record;
       ++n) {
    const uint8_t kind = record[0];
    std::unique_ptr<TFilter> filter =
        kind >= fkSender && kind <= fkHeader ? CreateFilterOfKind(kind) : nullptr;
    if (!filter || !filter->ReadRecord(record)) {
      ++unreadable;
      continue;
    }
    SubList(kind).push_back(filter.get());
    entries_.push_back(std::move(filter));
  }
  const bool beyondLimit = got == sizeof record && readFully(record, 1) == 1;
  ::close(fd);
  if (unreadable == 1) damage.push_back("1 filter could not be read");
  if (unreadable > 1) damage.push_back(std::to_string(unreadable) + " filters could not be read");
  if (got != 0 && got != sizeof record) damage.push_back("it ends inside a filter");
  if (beyondLimit)
    damage.push_back("the filters past the first " + std::to_string(kMaxRecords) +
                     " were passed over");
  // The grouping of the list needs the kinds in order; a file of ours always has them so.
  const auto byKind = [](const auto& a, const auto& b) { return a->Kind < b->Kind; };
  if (!std::is_sorted(entries_.begin(), entries_.end(), byKind)) {
    damage.push_back("its filters were out of order");
    std::stable_sort(entries_.begin(), entries_.end(), byKind);
  }
  // The older format kept friends as system filters. They become the user's before the system
  // filters are counted, or the count would be wrong and the repair would delete the friends.
  if (version == kPreviousVersion) {
    TAutoSaveSuspension suspended(AutoSave);
    for (TFilter* filter : SubList(fkFriend))
      if (filter->Origin == orSystem) filter->Origin = orUser;
    Modified = true;
  }
  if (useSystemFilters_ && SystemFilterCount() != 6) {
    damage.push_back("the system filters had to be set up again");
    DeleteSystemFilters();
    AddSystemFilters();
  }
  return true;
}

void TFilterList::KeepDamagedFile(const std::vector<std::string>& damage) {
  std::string what;
  for (const std::string& part : damage) what += (what.empty() ? "" : "; ") + part;
  const std::string text = "The filter file \"" + fileName_ + "\" was damaged: " + what + ".";
  // A hard link keeps the file as it was without copying it: the list file is only ever
  // replaced by renaming a new file over it, never written in place.
  std::string failure = "there are too many damaged copies";
  for (int n = 0; n < kMaxDamagedCopies; ++n) {
    const std::string name = fileName_ + ".damaged" + (n > 0 ? "." + std::to_string(n) : "");
    if (::link(fileName_.c_str(), name.c_str()) == 0) {
      damagedCopy_ = name;
      break;
    }
    if (errno != EEXIST) {
      failure = std::strerror(errno);
      break;
    }
    // Kept already by an earlier load that could not write the list back.
    if (SameFile(fileName_, name)) {
      damagedCopy_ = name;
      break;
    }
  }
  if (damagedCopy_.empty())
    throw TError(std::string(kStartupPrefix) + "Unable to initialize the filters.\r" + text +
                 " It could not be kept aside: " + failure + ".");
  loadWarning_ = text + " The file as it was is kept as \"" + damagedCopy_ + "\".";
}

void TFilterList::Load(bool useSystemFilters) {
  useSystemFilters_ = useSystemFilters;
  for (auto& list : subLists_) list.clear();
  entries_.clear();
  nextID_.fill(0);
  current_ = nullptr;
  searchDirty_ = true;
  loadWarning_.clear();
  damagedCopy_.clear();
  std::vector<std::string> damage;
  const bool read = ReadFile(damage);
  if (!read && useSystemFilters_) AddSystemFilters();
  // A damaged file is kept before anything is written over it. Writing the list back at once
  // makes the next load find it sound, so the user hears of the damage once.
  if (!damage.empty()) KeepDamagedFile(damage);
  if (!read || !damage.empty()) {
    try {
      Save();
    } catch (const TError& error) {
      throw ErrorWithReason(std::string(kStartupPrefix) + "Unable to initialize the filters.",
                            error);
    }
  } else {
    SaveIfModified();
  }
  if (useSystemFilters_) {
    countries_ = std::make_unique<TLandInfo>();
    try {
      countries_->LoadFromFile(TProgramFolders::ProgramFolder() + "Countries.dat");
    } catch (const TError&) {
      throw TError(std::string(kStartupPrefix) + "Could not retrieve country filter settings.");
    }
  }
}

TFilter* TFilterList::Add(std::unique_ptr<TFilter> filter) {
  if (!filter) throw TError("Unable to save the filters.");
  const uint8_t kind = filter->Kind & 7;
  filter->ID = nextID_[kind] + 1;
  auto position = entries_.begin();
  for (auto it = entries_.begin(); it != entries_.end(); ++it)
    if ((*it)->Kind <= filter->Kind) position = it + 1;
  TFilter* added = filter.get();
  entries_.insert(position, std::move(filter));
  SubList(kind).push_back(added);
  ++nextID_[kind];
  Modified = true;
  searchDirty_ = true;
  return added;
}

void TFilterList::WriteIfAutoSave() {
  if (AutoSave) Save();
}

void TFilterList::FilterChanged(int index) {
  if (!Filter(index)) return;
  Modified = true;
  searchDirty_ = true;
  WriteIfAutoSave();
}

void TFilterList::Delete(int index) {
  TFilter* filter = Filter(index);
  if (!filter) return;
  auto& sub = SubList(filter->Kind & 7);
  sub.erase(std::remove(sub.begin(), sub.end(), filter), sub.end());
  if (current_ == filter) current_ = nullptr;
  entries_.erase(entries_.begin() + index);
  Modified = true;
  searchDirty_ = true;
  try {
    WriteIfAutoSave();
  } catch (const TError&) {
    throw TError("Unable to delete the filter.");
  }
}

void TFilterList::DeleteMany(const std::vector<int>& indexes) {
  std::vector<bool> doomed(entries_.size(), false);
  for (const int i : indexes)
    if (i >= 0 && i < Count()) doomed[static_cast<size_t>(i)] = true;
  std::vector<std::unique_ptr<TFilter>> kept;
  for (size_t i = 0; i < entries_.size(); ++i) {
    if (!doomed[i]) {
      kept.push_back(std::move(entries_[i]));
      continue;
    }
    TFilter* filter = entries_[i].get();
    auto& sub = SubList(filter->Kind & 7);
    sub.erase(std::remove(sub.begin(), sub.end(), filter), sub.end());
    if (current_ == filter) current_ = nullptr;
  }
  entries_ = std::move(kept);
  Modified = true;
  searchDirty_ = true;
  Save();
}

void TFilterList::DeleteUpdate(int32_t updateNumber) {
  {
    TAutoSaveSuspension suspended(AutoSave);
    for (int i = Count() - 1; i >= 0; --i)
      if (entries_[static_cast<size_t>(i)]->UpdateNumber == updateNumber) Delete(i);
  }
  WriteIfAutoSave();
}

int TFilterList::CountOfKind(uint8_t kind, TOriginSet origins) const {
  int count = 0;
  for (const auto& filter : entries_)
    if (filter->Kind == kind && filter->Origin < 8 &&
        (origins & OriginBit(TFilterOrigin(filter->Origin))))
      ++count;
  return count;
}

bool TFilterList::FindEqual(const TFilter& filter, int& index) const {
  index = -1;
  size_t i = 0;
  while (i < entries_.size() && entries_[i]->Kind != filter.Kind) ++i;
  for (; i < entries_.size() && entries_[i]->Kind == filter.Kind; ++i) {
    const TFilter& other = *entries_[i];
    if ((other.Options & 0x7F) == (filter.Options & 0x7F) &&
        other.CaseMatters == filter.CaseMatters && other.Text1() == filter.Text1() &&
        other.Condition1 == filter.Condition1 && other.Text2() == filter.Text2() &&
        other.Condition2 == filter.Condition2 && other.HeaderNumber == filter.HeaderNumber &&
        (filter.Kind != fkFriend || other.Headers == filter.Headers)) {
      index = static_cast<int>(i);
      return true;
    }
  }
  return false;
}

int TFilterList::IndexOfNth(int n, uint8_t kind, TOriginSet origins) const {
  int seen = 0;
  int afterKind = -1;
  for (size_t i = 0; i < entries_.size(); ++i) {
    const TFilter& filter = *entries_[i];
    if (filter.Kind != kind) continue;
    afterKind = static_cast<int>(i) + 1;
    if (filter.Origin < 8 && (origins & OriginBit(TFilterOrigin(filter.Origin))) && seen++ == n)
      return static_cast<int>(i);
  }
  return afterKind >= 0 ? afterKind : Count();
}

TFilter* TFilterList::FindByID(uint8_t kind, int32_t id) const {
  for (const auto& filter : entries_)
    if (filter->Kind == kind && filter->ID == id) return filter.get();
  return nullptr;
}

TFilter* TFilterList::SystemFilter(int n) const {
  for (const auto& filter : entries_)
    if (filter->Origin == orSystem && n-- == 0) return filter.get();
  return nullptr;
}

int TFilterList::SystemFilterCount() const {
  int count = 0;
  for (const auto& filter : entries_) count += filter->Origin == orSystem;
  return count;
}

void TFilterList::SetRecipientsForAction(uint8_t action, uint8_t recipients) {
  for (const auto& filter : entries_)
    if (filter->Action == action) filter->Recipients = recipients;
  Modified = true;
  Save();
}

void TFilterList::SetActionOf(const std::vector<int>& indexes, const TFilter& model) {
  for (const int i : indexes) {
    if (TFilter* filter = Filter(i)) {
      filter->Action = model.Action;
      filter->Recipients = model.Recipients;
    }
  }
  Modified = true;
  Save();
}

void TFilterList::Save() {
  WriteFile(0xFE, fileName_);
  Modified = false;
}

void TFilterList::SaveIfModified() {
  if (Modified) Save();
}

void TFilterList::WriteFile(uint32_t kinds, const std::string& fileName) {
  std::string data(kHeaderSize, '\0');
  auto* header = reinterpret_cast<uint8_t*>(data.data());
  PutInt32(header, kVersion);
  for (int k = 0; k < 8; ++k) PutInt32(header + 4 + 4 * k, nextID_[k]);
  bool countryWritten = false;
  uint8_t record[kFilterRecordSize];
  for (const auto& filter : entries_) {
    if (filter->Kind > 31 || !((kinds >> filter->Kind) & 1u)) continue;
    filter->WriteRecord(record);
    data.append(reinterpret_cast<const char*>(record), sizeof record);
    countryWritten |= filter->Kind == fkCountry;
  }
  WriteFileAtomic(fileName, data);
  if (countryWritten && countries_) countries_->SaveIfDirty();
}

void TFilterList::FiltersOfKind(uint8_t kind, TOriginSet origins,
                                std::vector<TFilter*>& out) const {
  out.clear();
  for (const auto& filter : entries_)
    if (filter->Kind == kind && filter->Origin < 8 &&
        (origins & OriginBit(TFilterOrigin(filter->Origin))))
      out.push_back(filter.get());
}

bool TFilterList::IsModified() const { return Modified || (countries_ && countries_->Dirty()); }

TFilter* TFilterList::Filter(int index) const {
  return index >= 0 && index < Count() ? entries_[static_cast<size_t>(index)].get() : nullptr;
}

int TFilterList::IndexOf(const TFilter* filter) const {
  for (size_t i = 0; i < entries_.size(); ++i)
    if (entries_[i].get() == filter) return static_cast<int>(i);
  return -1;
}

void TFilterList::SetCountryBlocked(int country, bool flag) {
  if (!countries_) return;
  countries_->SetBlocked(country, flag);
  countries_->SaveIfDirty();
}

void TFilterList::SetOwnNames(std::vector<std::string> users, std::vector<std::string> domains) {
  ownUserNames_ = std::move(users);
  ownDomainNames_ = std::move(domains);
}

void TFilterList::AddSystemFilters() {
  auto bounce = std::make_unique<TTextFilter>();
  bounce->SetText1(kAutoReplyHeader);
  bounce->Condition1 = cnContains;
  bounce->Options = foCheckFirst;
  Add(std::move(bounce))->ID = 1;

  auto country = std::make_unique<TCountryFilter>();
  country->Action = acKill;
  Add(std::move(country))->ID = 1;

  struct THeaderFilterValues {
    const char* name;
    uint8_t headerNumber, condition;
    const char* text2;
    uint8_t options;
    int action;  // −1: the default action of new filters
    int32_t id;
  };
  const THeaderFilterValues rows[] = {
      {"From", 0, cnInvalidAddress, "", foAddressOnly, -1, 1},
      {"From", 15, cnNotEquals, "", foAddressOnly, acMark, 2},
      {"From", 19, cnEquals, "", foAddressOnly, acMark, 3},
      {"To", 0, cnNotEquals, "$USER", foAddressOnly | foUserPart | foOwnNames, acMark, 4},
  };
  for (const THeaderFilterValues& values : rows) {
    auto filter = std::make_unique<THeaderFilter>();
    filter->SetText1(values.name);
    filter->HeaderNumber = values.headerNumber;
    filter->Condition1 = values.condition;
    filter->SetText2(values.text2);
    filter->Options = values.options;
    if (values.action >= 0) filter->Action = static_cast<uint8_t>(values.action);
    Add(std::move(filter))->ID = values.id;
  }
}

void TFilterList::DeleteSystemFilters() {
  TAutoSaveSuspension suspended(AutoSave);
  for (int i = Count() - 1; i >= 0; --i)
    if (entries_[static_cast<size_t>(i)]->Origin == orSystem) Delete(i);
}

std::vector<std::unique_ptr<TFilter>> TFilterList::TakeAll() {
  std::vector<std::unique_ptr<TFilter>> taken = std::move(entries_);
  entries_.clear();
  for (auto& list : subLists_) list.clear();
  current_ = nullptr;
  searchDirty_ = true;
  return taken;
}

void TFilterList::BuildContext(TEmail& message, bool stored) {
  TEvaluationContext& c = context_;
  const THeaders& headers = message.Headers;
  c.PresentSet = headers.PresentSet();
  c.FromAddress = AddressOf(headers.ValueOf("From"));
  c.ToAddress = AddressOf(headers.ValueOf("To"));
  const int subject = headers.IndexOfName("Subject");
  c.HasSubject = subject >= 0;
  c.Subject = headers.ValueAt(subject);
  for (int n = 1; n <= 20; ++n) {
    if (!((AddressHeaders >> n) & 1u)) continue;
    headers.StdValues(n, c.Addresses[n], true);
    c.Domains[n].clear();
    for (const std::string& entry : c.Addresses[n])
      c.Domains[n].push_back(DomainPart(AddressOf(entry)));
  }
  c.OwnUserNames = &ownUserNames_;
  c.OwnDomainNames = &ownDomainNames_;
  c.Countries = countries_.get();
  c.TextSearch = nullptr;
  if (!Settings().TextFiltersActive()) return;
  const auto loaded = [&message](const auto& take) {
    for (const std::string& line : message.Body) take(std::string_view(line));
    return true;
  };
  const auto fromFile = [&message](const auto& take) { return message.ReadStoredBody(take); };
  if (!stored) {
    size_t size = 0;
    for (const std::string& line : message.Body) size += line.size() + 1;
    SetBodyTexts(headers, loaded, size);
  } else if (!SetBodyTexts(headers, fromFile, static_cast<size_t>(std::max(message.Length, 0)))) {
    const std::vector<std::string> notice = TEmail::NoticeLines();
    SetBodyTexts(
        headers,
        [&notice](const auto& take) {
          for (const std::string& line : notice) take(std::string_view(line));
          return true;
        },
        0);
  }
  if (searchDirty_) {
    std::vector<const TTextFilter*> textFilters;
    for (TFilter* filter : SubList(fkText))
      textFilters.push_back(static_cast<const TTextFilter*>(filter));
    textSearch_.Build(textFilters);
    searchDirty_ = false;
  }
  textSearch_.Reset();
  c.TextSearch = &textSearch_;
}

template <typename TLines>
bool TFilterList::SetBodyTexts(const THeaders& headers, const TLines& forEachLine, size_t size) {
  std::string raw;
  if (!headers.HasHeader("Content-Type") && !headers.HasHeader("Content-Transfer-Encoding")) {
    raw.reserve(size);
    // Plain text: decoding only drops the blanks and control characters that end each line.
    // Most messages have none there, and then their decoded text is the raw one, which is not
    // made twice.
    std::string decoded;
    bool same = true;
    const bool read = forEachLine([&](std::string_view line) {
      size_t end = line.size();
      while (end > 0 && static_cast<unsigned char>(line[end - 1]) <= ' ') --end;
      if (same && end != line.size()) {
        same = false;
        decoded.reserve(size);
        decoded = raw;
      }
      if (line.empty()) return;
      raw += line;
      raw += ' ';
      if (!same && end > 0) {
        decoded += line.substr(0, end);
        decoded += ' ';
      }
    });
    if (!read) return false;
    if (same)
      context_.SetBodyTexts(std::move(raw));
    else
      context_.SetBodyTexts(std::move(raw), std::move(decoded));
    return true;
  }
  // The decoded text is made first and its lines let go, so that they are not held along with
  // the raw text.
  scratch_.clear();
  if (!forEachLine([this](std::string_view line) { scratch_.emplace_back(line); })) return false;
  bool ok = false;
  try {
    ok = decoder_->DecodeBody(headers, scratch_);
  } catch (...) {
    ok = false;
  }
  std::string decoded = ok ? JoinLines(scratch_) : std::string();
  EmptyAndTrim(scratch_, 4096);
  raw.reserve(size);
  const bool read = forEachLine([&raw](std::string_view line) {
    if (line.empty()) return;
    raw += line;
    raw += ' ';
  });
  if (!read) return false;
  if (!ok || decoded == raw)
    context_.SetBodyTexts(std::move(raw));
  else
    context_.SetBodyTexts(std::move(raw), std::move(decoded));
  return true;
}

void TFilterList::ProcessEventsNow() {
  if (++triedSinceEvents_ < kFiltersPerClockLook) return;
  triedSinceEvents_ = 0;
  const int64_t now = TClock::Current().MonotonicMs();
  if (now - lastEventsMs_ < kEventIntervalMs) return;
  lastEventsMs_ = now;
  ProcessMessages();
}

TClassification TFilterList::Classify(TEmail& message, TFilter* only) {
  return Classify(message, only, false);
}

TClassification TFilterList::ClassifyStored(TEmail& message, TFilter* only) {
  return Classify(message, only, true);
}

TClassification TFilterList::Classify(TEmail& message, TFilter* only, bool stored) {
  TClassification result;
  const uint8_t active = Settings().ActiveFilters;
  const auto kindActive = [active](const TFilter& filter) {
    return filter.Kind <= 7 && ((active >> filter.Kind) & 1u);
  };
  bool logged = false;
  try {
    BuildContext(message, stored);
    if (only) {
      current_ = only;
      result.Matched = kindActive(*only) && only->Matches(message, context_);
    } else {
      for (const auto& filter : entries_) {
        if (!filter->HasOption(foCheckFirst)) continue;
        current_ = filter.get();
        if (filter->Matches(message, context_)) {
          if (filter->Text1() == kAutoReplyHeader) {
            context_.Clear();
            result.Matched = true;
            result.Status = msBounce;
            return result;
          }
          break;
        }
      }
      result.Matched = false;
      if (Settings().AcceptFriendsOnly) {
        for (TFilter* filter : SubList(fkFriend)) {
          current_ = filter;
          if ((result.Matched = filter->Matches(message, context_))) break;
        }
        if (!result.Matched) {
          current_ = &notAFriend_;
          result.Matched = true;
        }
      } else {
        const auto inPass = [](int pass, uint8_t action) {
          switch (pass) {
            case 0: return action == acAccept;
            case 1:
              return action == acKill || action == acKillAfterComplaint ||
                     action == acKillAfterErrorMessage;
            default: return action == acMark;
          }
        };
        for (int pass = 0; pass < 3 && !result.Matched; ++pass) {
          for (const auto& filter : entries_) {
            current_ = filter.get();
            if (!inPass(pass, filter->Action) || !kindActive(*filter)) continue;
            bool matched = false;
            try {
              matched = filter->Matches(message, context_);
            } catch (...) {
              matched = false;
            }
            ProcessEventsNow();
            if (matched) {
              result.Matched = true;
              break;
            }
          }
        }
      }
    }
    if (result.Matched) {
      switch (current_->Action) {
        case acAccept:
          if (current_->Kind == fkFriend) result.Status = msFriend;
          break;
        case acMark: result.Status = msPossibleSpam; break;
        case acKill:
        case acKillAfterComplaint:
        case acKillAfterErrorMessage: result.Status = msSpam; break;
        default: break;
      }
      const uint8_t kind = current_->Kind;
      if (kind == fkSender || kind == fkSubject || kind == fkText || kind == fkHeader) {
        ++current_->Hits;
        Modified = true;
      }
    } else {
      current_ = nullptr;
    }
    context_.Clear();
  } catch (...) {
    context_.Clear();
    if (logging_) ProgramLog().Add("An error occurred during filtering.");
    logged = true;
  }
  if (!logged && logging_) LogResult(message, result.Status);
  return result;
}

void TFilterList::LogResult(const TEmail& message, uint8_t status) {
  const TEmailList* owner = message.Owner();
  std::string line = "Filtering result (";
  line += owner ? std::to_string(owner->IndexOf(&message) + 1) + ")" : "No owner)";
  line += " '" + TEmail::StatusName(status) + "'";
  ProgramLog().Add(line);
  if (status <= msChecked) return;
  if (!current_) {
    ProgramLog().Add("No filter applied.");
    return;
  }
  if (current_->Action < acMark || current_->Action > acKillAfterErrorMessage) return;
  try {
    ProgramLog().AddStrings(
        {"ID    : " + std::to_string(current_->ID), "Type  : " + KindName(current_->Kind),
         "Action: " + ActionName(current_->Action), "Origin: " + OriginName(current_->Origin),
         "Reason: " + current_->Description()});
  } catch (...) {
    ProgramLog().Add("Unable to log filter details.");
  }
}

}  // namespace tarnwell
