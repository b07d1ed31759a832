#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "message/Headers.h"
#include "platform/Clock.h"
#include "platform/Files.h"

namespace tarnwell {

class TEmailList;
struct TInlineImage;

// One message of an account: its header block, its body when retrieved, and what the check
// decided about it. Mirrored on disk as "<ten-digit ID>.hdr" and ".txt" in its list's folder.
class TEmail {
 public:
  enum : uint8_t { sfComplained = 2, sfErrorMessageSent = 4, sfQueued = 8 };
  enum : uint8_t { bsNotRetrieved = 0, bsRetrieved = 1, bsStored = 2 };

  // Reads "<basePath>.hdr" and takes the status headers out into their fields. Failures leave
  // what was read so far.
  void Load(const std::string& basePath);
  void ParseHeaders();
  void SaveHeaders();
  void SaveBody();
  void Save() {
    SaveHeaders();
    SaveBody();
  }
  void LoadBody();
  // Calls `take` with each line of the stored body, as LoadBody loads them, reading its file
  // piece by piece; false when no body is stored or its file cannot be read (some lines may
  // have been given by then).
  bool ReadStoredBody(const std::function<void(std::string_view)>& take) const;
  // The lines LoadBody gives a message without a stored body: why there is none.
  [[nodiscard]] static std::vector<std::string> NoticeLines();
  void ClearBody();
  void ReloadHeaders();
  void StripStatusHeaders();
  void SetRead(bool flag);
  void SetSentFlags(uint8_t flags);
  void DeleteAttachments();
  // Decodes the loaded body for display (HTML kept as it is); true when an HTML part was met.
  // The images its HTML can show by their Content-ID go to `images` when given.
  bool DecodeBodyForDisplay(std::vector<TInlineImage>* images = nullptr);
  [[nodiscard]] std::string DateText() const;
  [[nodiscard]] std::string FirstTo() const { return To.empty() ? std::string() : To.front(); }
  [[nodiscard]] static std::string StatusName(uint8_t status);

  // The file path without extension; empty without an owner.
  [[nodiscard]] std::string BasePath() const;
  [[nodiscard]] TEmailList* Owner() const { return owner_; }
  // As SaveHeaders and SaveBody, but raising TError on failure.
  void WriteHeaders(TDurability durability = TDurability::NoSync);
  void WriteBody(TDurability durability = TDurability::NoSync);

  int32_t ID = 0;
  uint8_t Status = 0;
  int32_t Length = 0;
  bool Read = false;
  TDateTime LastSeen = 0;
  std::string UID;
  std::string From;
  std::string ReplyTo;
  std::string Subject;
  std::vector<std::string> To;
  std::vector<std::string> Cc;
  TDateTime Date = 0;
  THeaders Headers;
  std::vector<std::string> Body;
  uint8_t Flags = 0;
  uint8_t BodyState = bsNotRetrieved;
  bool BodyLoaded = false;
  uint8_t Action = 0;
  std::string Reason;

 private:
  friend class TEmailList;

  TEmailList* owner_ = nullptr;
};

// A folder of messages: the Inbox (live mail, emptied whenever it is opened) or the persistent
// Killed folder.
class TEmailList {
 public:
  explicit TEmailList(bool persistent) : Persistent(persistent) {}
  ~TEmailList();
  TEmailList(const TEmailList&) = delete;
  TEmailList& operator=(const TEmailList&) = delete;

  // Takes the folder (no trailing "/"): a persistent list loads it, another empties it.
  void SetFolder(const std::string& path);
  [[nodiscard]] const std::string& Folder() const { return folder_; }

  // Gives the record the next number and appends it; returns it.
  TEmail* Add(std::unique_ptr<TEmail> email);
  [[nodiscard]] int IndexOfUID(const std::string& uid) const;
  // The copy of the server message with this UID and size; -1 when there is none (or no UID).
  [[nodiscard]] int IndexOfCopy(const std::string& uid, int32_t length) const;
  [[nodiscard]] int IndexOf(const TEmail* email) const;
  [[nodiscard]] TEmail* FindByID(int32_t id) const;
  void Delete(int index);
  void DeleteMany(std::vector<int> indexes, bool withAttachments);
  void DeleteAll();
  void DeleteNotSeenSince(TDateTime time);
  void SaveNew();
  // Adds a copy of `email` under the next number and writes both its files (text first); the
  // copy keeps no body in memory and no status headers. The body is lent to the copy for the
  // writing, not copied, and is back in `email` on return. When a file cannot be written,
  // raises TError and leaves the list and the folder as they were.
  TEmail* AddCopy(TEmail& email, TDurability durability);
  // Moves the record with its files to `other`, where it gets the next number. When the files
  // cannot be written there, raises TError and leaves the record here as it was.
  void MoveTo(int index, TEmailList& other);
  // Makes every file written to the folder so far durable (call before the server deletes the
  // messages whose copies were written here); false when the system reports a failure.
  [[nodiscard]] bool Flush() const;
  [[nodiscard]] int CountStatus(uint8_t status) const;
  void SetReadMany(const std::vector<int>& indexes, bool flag);
  void LoadBody(int index) { items_.at(static_cast<size_t>(index))->LoadBody(); }

  [[nodiscard]] int Count() const { return static_cast<int>(items_.size()); }
  [[nodiscard]] TEmail* operator[](int index) const {
    return items_.at(static_cast<size_t>(index)).get();
  }
  // Takes the record out of the list without touching its files.
  std::unique_ptr<TEmail> Extract(int index);

  int32_t NextID = 1;
  const bool Persistent;

 private:
  void LoadFolder();
  // Clears up after a program that ended while it wrote here: its temporary files go, and a
  // text whose header file was never written (or already deleted) is set aside, not loaded.
  void TidyFolder() const;
  void DeleteFiles(const TEmail& email) const;

  std::string folder_;
  std::vector<std::unique_ptr<TEmail>> items_;
};

}  // namespace tarnwell
