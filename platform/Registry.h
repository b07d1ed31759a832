#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/Error.h"

struct sqlite3;

namespace tarnwell {

class ERegistryError : public TError {
 public:
  using TError::TError;
};

enum class TRootKey { CurrentUser, LocalMachine };
enum class TRegDataType { None = 0, Integer = 1, String = 2, Binary = 3 };

// The hierarchical store of named keys holding named, typed values, kept in one SQLite file.
// Key and value names compare without regard to letter case; sub-keys list in creation order.
// The local-machine hive is always empty and cannot be written.
class TRegistryStore {
 public:
  // Opens the store at `fileName`, creating it (mode 0600) when there is no file of that name.
  // A file that is not a store of ours, or an empty or damaged one, raises with a message naming
  // the file; it is never overwritten.
  explicit TRegistryStore(std::string fileName);
  ~TRegistryStore();
  TRegistryStore(const TRegistryStore&) = delete;
  TRegistryStore& operator=(const TRegistryStore&) = delete;

  [[nodiscard]] const std::string& FileName() const { return fileName_; }
  // How long an operation waits for another process's lock before it fails.
  void SetBusyTimeout(int ms);
  // Lets the store's file grow to `pages` database pages at most (no less than it has), so that
  // a write beyond fails as on a full disk.
  void LimitPages(int pages);

  // Transactions nest; only the outermost commit makes the changes durable. A rollback of an
  // inner level undoes that level's changes only.
  void BeginTransaction();
  void Commit();
  void Rollback();

  // The store of the program (set up at start); raises when none has been opened.
  static TRegistryStore& Current();
  static void Install(TRegistryStore* store);

  // Internal interface of `TRegistry`.
  [[nodiscard]] int64_t FindKey(int64_t parent, std::string_view name) const;
  int64_t CreateKey(int64_t parent, std::string_view name);
  [[nodiscard]] std::vector<std::string> SubKeyNames(int64_t key) const;
  [[nodiscard]] std::vector<std::string> ValueNames(int64_t key) const;
  void DeleteKeyTree(int64_t key);
  // Reads a value; false when missing.
  bool ReadValue(int64_t key, std::string_view name, TRegDataType& type, std::string& data) const;
  void WriteValue(int64_t key, std::string_view name, TRegDataType type, std::string_view data);
  bool DeleteValue(int64_t key, std::string_view name);
  [[nodiscard]] int64_t RootId() const { return rootId_; }

 private:
  void OpenFile(const std::string& path);
  // Makes the file of a new, empty store.
  void CreateStore();
  void Exec(const char* sql);
  [[noreturn]] void Fail(const std::string& what) const;
  void VerifySchema();

  std::string fileName_;
  sqlite3* db_ = nullptr;
  int64_t rootId_ = 0;
  int depth_ = 0;
};

// A cursor on the store, opened on one key at a time.
class TRegistry {
 public:
  explicit TRegistry(TRegistryStore& store = TRegistryStore::Current());
  ~TRegistry() = default;

  void SetRootKey(TRootKey root) {
    CloseKey();
    root_ = root;
  }
  // Paths use "\" between keys; a leading "\" starts at the root, otherwise the path is taken
  // from the open key. Opening for writing creates the missing keys when `canCreate`.
  bool OpenKey(std::string_view path, bool canCreate);
  bool OpenKeyReadOnly(std::string_view path);
  void CloseKey();
  [[nodiscard]] bool HasOpenKey() const { return current_ != 0; }
  [[nodiscard]] const std::string& CurrentPath() const { return currentPath_; }

  [[nodiscard]] bool KeyExists(std::string_view path) const;
  [[nodiscard]] bool ValueExists(std::string_view name) const;
  [[nodiscard]] TRegDataType GetDataType(std::string_view name) const;
  [[nodiscard]] std::vector<std::string> GetKeyNames() const;
  [[nodiscard]] std::vector<std::string> GetValueNames() const;
  [[nodiscard]] size_t ValueCount() const { return GetValueNames().size(); }
  // Deletes a key (relative or absolute path) with everything below it; false when missing.
  bool DeleteKey(std::string_view path);
  bool DeleteValue(std::string_view name);

  // Reads raise `ERegistryError` when the value is missing or of another kind.
  [[nodiscard]] int32_t ReadInteger(std::string_view name) const;
  [[nodiscard]] bool ReadBool(std::string_view name) const { return ReadInteger(name) != 0; }
  [[nodiscard]] std::string ReadString(std::string_view name) const;
  [[nodiscard]] std::string ReadBinary(std::string_view name) const;
  // Reads a binary value of exactly `size` bytes into `buffer`.
  void ReadBinaryData(std::string_view name, void* buffer, size_t size) const;
  [[nodiscard]] double ReadFloat(std::string_view name) const;

  void WriteInteger(std::string_view name, int32_t value);
  void WriteBool(std::string_view name, bool value) { WriteInteger(name, value ? 1 : 0); }
  void WriteString(std::string_view name, std::string_view value);
  void WriteBinaryData(std::string_view name, const void* data, size_t size);
  void WriteFloat(std::string_view name, double value);

 private:
  // Walks `path`; returns the key id, or 0 when a key is missing and not created.
  int64_t Resolve(std::string_view path, bool create) const;
  [[nodiscard]] int64_t RootOf() const;
  void RequireOpen() const;
  void RequireWritable() const;
  std::string ReadTyped(std::string_view name, TRegDataType type) const;

  TRegistryStore& store_;
  TRootKey root_ = TRootKey::CurrentUser;
  int64_t current_ = 0;
  std::string currentPath_;
  bool readOnly_ = false;
};

// Runs a group of changes as one transaction: committed by `Commit`, rolled back otherwise.
class TRegistryTransaction {
 public:
  explicit TRegistryTransaction(TRegistryStore& store = TRegistryStore::Current());
  ~TRegistryTransaction();
  TRegistryTransaction(const TRegistryTransaction&) = delete;
  TRegistryTransaction& operator=(const TRegistryTransaction&) = delete;
  void Commit();

 private:
  TRegistryStore& store_;
  bool done_ = false;
};

}  // namespace tarnwell
