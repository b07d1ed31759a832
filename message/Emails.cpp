#include "message/Emails.h"

#include <algorithm>
#include <cstdio>
#include <ctime>

#include "message/MIME.h"
#include "message/MessageText.h"
#include "message/QStrings.h"
#include "message/SvcString.h"
#include "platform/DateTime.h"
#include "platform/Error.h"
#include "platform/Files.h"
#include "shell/LogFile.h"
#include "shell/Settings.h"

namespace tarnwell {

namespace {

const char* const kUID = "X-Tarnwell-UID";
const char* const kLength = "X-Tarnwell-Length";
const char* const kAction = "X-Tarnwell-Action";
const char* const kReason = "X-Tarnwell-Reason";
const char* const kComplained = "X-Tarnwell-Complained";
const char* const kRemove = "X-Tarnwell-Remove";
const char* const kRead = "X-Tarnwell-Read";
const char* const kAttachment = "X-Tarnwell-Attachment";

const char* const kTooLargeNotice =
    "This message was not retrieved automatically because it is too large. Large messages are "
    "normally valid e-mail and are skipped in order to speed up filtering.\r\rMessages that are "
    "not retrieved are not processed.\r\rYou can adjust this setting in Settings, Messages, but "
    "it is strongly recommended that you leave this option switched on.\r\rRight-click in this "
    "window and select Retrieve to download the message now.";
const char* const kTextFilteringOffNotice =
    "This message was not retrieved automatically because you have disabled text "
    "filtering.\r\rMessages that are not retrieved are not processed.\r\rTo enable text "
    "filtering, go to Settings, Filtering.\r\rRight-click in this window and select Retrieve to "
    "download the message now.";

std::string TenDigits(int32_t id) {
  char name[16];
  std::snprintf(name, sizeof name, "%010d", id);
  return name;
}

int32_t NumberOr0(const std::string& text) {
  int64_t value = 0;
  return ToInteger(text, value) && value >= INT32_MIN && value <= INT32_MAX
             ? static_cast<int32_t>(value)
             : 0;
}

// Saving and moving leave flushing to the system: the Inbox is rebuilt from the server at every
// check, and a caller that needs a copy on the disk before it acts (killing a message) uses
// `TEmailList::AddCopy` with `TDurability::Sync` or flushes the folder with `Flush`.
constexpr TDurability kDurability = TDurability::NoSync;

}  // namespace

std::string TEmail::BasePath() const {
  return owner_ ? owner_->Folder() + "/" + TenDigits(ID) : std::string();
}

void TEmail::Load(const std::string& basePath) {
  const std::string name = ExtractFileName(basePath);
  ID = NumberOr0(name);
  if (!AllInSet(name, kDigits)) ID = 0;
  std::string text;
  if (!ReadWholeFile(basePath + ".hdr", text)) return;
  Headers.Clear();
  for (std::string& line : SplitMessageLines(text)) Headers.Add(line);
  ParseHeaders();
  UID = Headers.Take(kUID);
  Length = NumberOr0(Headers.Take(kLength));
  Action = static_cast<uint8_t>(NumberOr0(Headers.Take(kAction)));
  Reason = Headers.Take(kReason);
  if (!Headers.Take(kComplained).empty()) Flags |= sfComplained;
  if (!Headers.Take(kRemove).empty()) Flags |= sfErrorMessageSent;
  BodyState = FileExists(basePath + ".txt") ? bsStored : bsNotRetrieved;
}

void TEmail::ParseHeaders() {
  const auto split = [](const std::string& value) {
    std::vector<std::string> list;
    size_t pos = 1;
    for (;;) {
      const std::string element = NextAddress(value, pos);
      if (element.empty()) break;
      std::string address = Trim(element);
      if (!address.empty()) list.push_back(std::move(address));
    }
    return list;
  };
  To = split(Headers.ValueOf("To"));
  Cc = split(Headers.ValueOf("Cc"));
  From = Headers.ValueOf("From");
  ReplyTo = Headers.ValueOf("Reply-To");
  Subject = Headers.ValueOf("Subject");
  Date = ParseMessageDate(Headers.ValueOf("Date"));
  Read = Headers.HasHeader(kRead);
}

void TEmail::WriteHeaders(TDurability durability) {
  if (!owner_) throw TError("The message belongs to no folder.");
  WriteFileAtomic(BasePath() + ".hdr", Headers.Lines(), "\r\n", durability);
}

void TEmail::WriteBody(TDurability durability) {
  if (BodyState == bsNotRetrieved) return;
  if (!owner_) throw TError("The message belongs to no folder.");
  WriteFileAtomic(BasePath() + ".txt", Body, "\r\n", durability);
  BodyState = bsStored;
}

void TEmail::SaveHeaders() {
  try {
    WriteHeaders(kDurability);
  } catch (const TError&) {
  }
}

void TEmail::SaveBody() {
  try {
    WriteBody(kDurability);
  } catch (const TError&) {
  }
}

bool TEmail::ReadStoredBody(const std::function<void(std::string_view)>& take) const {
  if (BodyState == bsNotRetrieved || !owner_) return false;
  TLineSplitter splitter;
  const auto line = [&take](std::string_view text) { take(WithoutLineEnd(text)); };
  bool empty = true;
  if (!ReadFilePieces(BasePath() + ".txt", [&](std::string_view piece) {
        empty = empty && piece.empty();
        splitter.Add(piece, line);
      }))
    return false;
  // Line ends stand between the lines of the file, so one at its very end opens a last, empty
  // line: a text that ends in an empty line comes back whole.
  const bool endsOpen = !empty && !splitter.HasPartial();
  splitter.Finish(line);
  if (endsOpen) take(std::string_view());
  return true;
}

std::vector<std::string> TEmail::NoticeLines() {
  const bool textFilters = Settings().TextFiltersActive();
  const std::string_view notice = textFilters ? kTooLargeNotice : kTextFilteringOffNotice;
  std::vector<std::string> lines;
  size_t start = 0;
  for (;;) {
    const size_t end = notice.find('\r', start);
    lines.emplace_back(notice.substr(start, end == std::string::npos ? end : end - start));
    if (end == std::string::npos) break;
    start = end + 1;
  }
  return lines;
}

void TEmail::LoadBody() {
  // Read line by line, so that the text is not in memory twice, as one block and as lines.
  Body.clear();
  BodyLoaded = ReadStoredBody([this](std::string_view line) { Body.emplace_back(line); });
  if (!BodyLoaded) Body = NoticeLines();
}

void TEmail::ClearBody() {
  // With its capacity: a large message's lines would otherwise hold their memory.
  std::vector<std::string>().swap(Body);
  BodyLoaded = false;
}

void TEmail::ReloadHeaders() {
  std::string text;
  if (!owner_ || !ReadWholeFile(BasePath() + ".hdr", text)) return;
  Headers.Clear();
  for (std::string& line : SplitMessageLines(text)) Headers.Add(line);
}

void TEmail::StripStatusHeaders() {
  for (const char* name : {kUID, kLength, kAction, kReason, kComplained, kRemove, kRead})
    Headers.Take(name);
}

void TEmail::SetRead(bool flag) {
  if (flag == Read) return;
  ReloadHeaders();
  if (!flag)
    Headers.RemoveAll(kRead);
  else if (!Headers.HasHeader(kRead))
    Headers.Add(std::string(kRead) + ": Y");
  SaveHeaders();
  StripStatusHeaders();
  Read = flag;
}

void TEmail::SetSentFlags(uint8_t flags) {
  Flags = flags;
  Headers.RemoveAll(kComplained);
  Headers.RemoveAll(kRemove);
  if (flags & sfComplained) Headers.Add(std::string(kComplained) + ": Y");
  if (flags & sfErrorMessageSent) Headers.Add(std::string(kRemove) + ": Y");
}

void TEmail::DeleteAttachments() {
  for (int i = Headers.FindFirst(kAttachment); i >= 0; i = Headers.FindNext()) {
    const std::string path = Headers.ValueAt(i);
    if (!path.empty()) DeleteFileAt(path);
  }
}

bool TEmail::DecodeBodyForDisplay(std::vector<TInlineImage>* images) {
  if (!BodyLoaded || !(Headers.HasHeader("Content-Type") || Headers.HasHeader("MIME-Version")))
    return false;
  TDeMIME decoder;
  decoder.KeepImages(images);
  decoder.DecodeBody(Headers, Body);
  return decoder.HtmlSeen();
}

std::string TEmail::DateText() const {
  return Date == 0 ? std::string() : FormatDateTime(Date, "%x %H:%M");
}

std::string TEmail::StatusName(uint8_t status) {
  static const char* const kNames[] = {"New",  "Checked", "Possible spam",
                                       "Spam", "Bounce",  "Friend"};
  return status < 6 ? kNames[status] : "Unknown status";
}

TEmailList::~TEmailList() {
  if (Persistent) return;
  for (const auto& email : items_) DeleteFiles(*email);
}

void TEmailList::SetFolder(const std::string& path) {
  if (path == folder_) return;
  folder_ = path;
  if (Persistent) {
    LoadFolder();
    return;
  }
  for (const std::string& name : ListFiles(folder_, "")) DeleteFileAt(folder_ + "/" + name);
}

void TEmailList::TidyFolder() const {
  const std::vector<std::string> names = ListFiles(folder_, "");
  const auto present = [&names](const std::string& name) {
    return std::binary_search(names.begin(), names.end(), name);
  };
  for (const std::string& name : names) {
    const std::string path = folder_ + "/" + name;
    if (name.size() < 14 || !AllInSet(std::string_view(name).substr(0, 10), kDigits)) continue;
    const std::string file = name.substr(0, 14);
    const std::string stem = name.substr(0, 10);
    if ((file.ends_with(".hdr") || file.ends_with(".txt")) && IsTemporaryFileOf(name, file)) {
      DeleteFileAt(path);
    } else if (name == stem + ".txt" && !present(stem + ".hdr")) {
      // Kept, under a name no record is loaded from or written to, never over an earlier one.
      std::string aside = path + ".unpaired";
      for (int n = 1; !RenameFileNoReplace(path, aside) && FileExists(path) && n < 1000; ++n)
        aside = path + ".unpaired." + std::to_string(n);
    }
  }
}

void TEmailList::LoadFolder() {
  TidyFolder();
  for (const std::string& name : ListFiles(folder_, ".hdr")) {
    auto email = std::make_unique<TEmail>();
    email->owner_ = this;
    email->Load(folder_ + "/" + name.substr(0, name.size() - 4));
    items_.push_back(std::move(email));
  }
}

TEmail* TEmailList::Add(std::unique_ptr<TEmail> email) {
  email->ID = NextID++;
  email->owner_ = this;
  items_.push_back(std::move(email));
  return items_.back().get();
}

int TEmailList::IndexOfUID(const std::string& uid) const {
  for (size_t i = 0; i < items_.size(); ++i)
    if (items_[i]->UID == uid) return static_cast<int>(i);
  return -1;
}

int TEmailList::IndexOfCopy(const std::string& uid, int32_t length) const {
  if (uid.empty()) return -1;
  for (size_t i = 0; i < items_.size(); ++i)
    if (items_[i]->UID == uid && items_[i]->Length == length) return static_cast<int>(i);
  return -1;
}

int TEmailList::IndexOf(const TEmail* email) const {
  for (size_t i = 0; i < items_.size(); ++i)
    if (items_[i].get() == email) return static_cast<int>(i);
  return -1;
}

TEmail* TEmailList::FindByID(int32_t id) const {
  for (const auto& email : items_)
    if (email->ID == id) return email.get();
  return nullptr;
}

void TEmailList::DeleteFiles(const TEmail& email) const {
  if (folder_.empty()) return;  // a queue held only in memory
  const std::string base = folder_ + "/" + TenDigits(email.ID);
  DeleteFileAt(base + ".hdr");
  DeleteFileAt(base + ".txt");
}

void TEmailList::Delete(int index) {
  const auto i = static_cast<size_t>(index);
  if (i >= items_.size()) return;
  DeleteFiles(*items_[i]);
  items_.erase(items_.begin() + index);
}

void TEmailList::DeleteMany(std::vector<int> indexes, bool withAttachments) {
  std::sort(indexes.begin(), indexes.end());
  indexes.erase(std::unique(indexes.begin(), indexes.end()), indexes.end());
  std::vector<bool> doomed(items_.size(), false);
  for (auto it = indexes.rbegin(); it != indexes.rend(); ++it) {
    const auto i = static_cast<size_t>(*it);
    if (i >= items_.size()) continue;
    if (withAttachments) items_[i]->DeleteAttachments();
    DeleteFiles(*items_[i]);
    doomed[i] = true;
  }
  std::vector<std::unique_ptr<TEmail>> kept;
  kept.reserve(items_.size());
  for (size_t i = 0; i < items_.size(); ++i)
    if (!doomed[i]) kept.push_back(std::move(items_[i]));
  items_ = std::move(kept);
}

void TEmailList::DeleteAll() {
  ProgramLog().Add("Deleting all messages");
  for (int i = Count() - 1; i >= 0; --i) Delete(i);
  ProgramLog().Add("Done deleting all messages");
}

void TEmailList::DeleteNotSeenSince(TDateTime time) {
  ProgramLog().Add("Deleting old messages");
  std::vector<int> old;
  for (int i = Count() - 1; i >= 0; --i)
    if (items_[static_cast<size_t>(i)]->LastSeen < time) old.push_back(i);
  DeleteMany(old, false);
  ProgramLog().Add("Done deleting old messages");
}

void TEmailList::SaveNew() {
  ProgramLog().Add("Saving new messages");
  for (const auto& email : items_)
    if (email->Status == 0) email->Save();
  ProgramLog().Add("Done saving new messages");
}

std::unique_ptr<TEmail> TEmailList::Extract(int index) {
  auto email = std::move(items_.at(static_cast<size_t>(index)));
  items_.erase(items_.begin() + index);
  email->owner_ = nullptr;
  return email;
}

void TEmailList::MoveTo(int index, TEmailList& other) {
  const auto i = static_cast<size_t>(index);
  TEmail& email = *items_.at(i);
  if (!email.BodyLoaded) email.LoadBody();
  const int32_t oldID = email.ID;
  TEmail* moved = other.Add(Extract(index));
  // The copy is written whole before the files here go, so a failure at any point leaves the
  // message in at least one folder.
  try {
    moved->WriteBody(kDurability);
    moved->WriteHeaders(kDurability);
  } catch (const TError&) {
    auto back = other.Extract(other.Count() - 1);
    other.DeleteFiles(*back);
    back->ID = oldID;
    back->owner_ = this;
    items_.insert(items_.begin() + index, std::move(back));
    throw;
  }
  if (!folder_.empty()) {
    const std::string base = folder_ + "/" + TenDigits(oldID);
    DeleteFileAt(base + ".hdr");
    DeleteFileAt(base + ".txt");
  }
  moved->ClearBody();
}

TEmail* TEmailList::AddCopy(TEmail& email, TDurability durability) {
  // The body, which can be large, is lent to the copy to be written rather than copied.
  std::vector<std::string> lent;
  lent.swap(email.Body);
  TEmail* copy = nullptr;
  const auto giveBack = [&] { email.Body.swap(copy ? copy->Body : lent); };
  try {
    copy = Add(std::make_unique<TEmail>(email));
    copy->Body.swap(lent);
    copy->WriteBody(durability);
    copy->WriteHeaders(durability);
  } catch (const TError&) {
    giveBack();
    DeleteFiles(*copy);
    items_.pop_back();
    throw;
  } catch (...) {
    giveBack();
    throw;
  }
  giveBack();
  copy->ClearBody();
  copy->StripStatusHeaders();
  return copy;
}

bool TEmailList::Flush() const { return folder_.empty() || SyncFileSystemOf(folder_); }

int TEmailList::CountStatus(uint8_t status) const {
  int count = 0;
  for (const auto& email : items_) count += email->Status == status;
  return count;
}

void TEmailList::SetReadMany(const std::vector<int>& indexes, bool flag) {
  for (const int i : indexes)
    if (i >= 0 && i < Count()) items_[static_cast<size_t>(i)]->SetRead(flag);
}

}  // namespace tarnwell
