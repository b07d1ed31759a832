#include "platform/Registry.h"

#include <fcntl.h>
#include <sqlite3.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace tarnwell {

namespace {

TRegistryStore* installedStore = nullptr;

constexpr const char* kFormat = "1";

// The schema, as SQLite keeps it; a store whose tables differ is taken as damaged.
constexpr const char* kTables[][2] = {
    {"store_info", "CREATE TABLE store_info(name TEXT PRIMARY KEY, value TEXT NOT NULL)"},
    {"reg_keys",
     "CREATE TABLE reg_keys(id INTEGER PRIMARY KEY AUTOINCREMENT, parent INTEGER NOT NULL, "
     "name TEXT NOT NULL COLLATE NOCASE, UNIQUE(parent, name))"},
    {"reg_values",
     "CREATE TABLE reg_values(key INTEGER NOT NULL, name TEXT NOT NULL COLLATE NOCASE, "
     "type INTEGER NOT NULL, data BLOB NOT NULL, PRIMARY KEY(key, name))"},
};

constexpr const char* kRootName = "HKEY_CURRENT_USER";

// A prepared statement that finalizes itself on every path.
class TStatement {
 public:
  TStatement(sqlite3* db, const char* sql) {
    if (sqlite3_prepare_v2(db, sql, -1, &stmt_, nullptr) != SQLITE_OK) stmt_ = nullptr;
  }
  ~TStatement() { sqlite3_finalize(stmt_); }
  TStatement(const TStatement&) = delete;
  TStatement& operator=(const TStatement&) = delete;

  [[nodiscard]] bool Ok() const { return stmt_ != nullptr; }
  void Bind(int i, int64_t v) { sqlite3_bind_int64(stmt_, i, v); }
  void Bind(int i, std::string_view v) {
    sqlite3_bind_text(stmt_, i, v.data(), static_cast<int>(v.size()), SQLITE_TRANSIENT);
  }
  void BindBlob(int i, std::string_view v) {
    // A zero-length blob must still be a blob, not NULL.
    sqlite3_bind_blob(stmt_, i, v.empty() ? "" : v.data(), static_cast<int>(v.size()),
                      SQLITE_TRANSIENT);
  }
  // SQLITE_ROW, SQLITE_DONE or an error code.
  int Step() { return sqlite3_step(stmt_); }
  [[nodiscard]] int64_t Int(int col) const { return sqlite3_column_int64(stmt_, col); }
  [[nodiscard]] std::string Text(int col) const {
    const void* p = sqlite3_column_blob(stmt_, col);
    const int n = sqlite3_column_bytes(stmt_, col);
    return p ? std::string(static_cast<const char*>(p), n) : std::string();
  }

 private:
  sqlite3_stmt* stmt_ = nullptr;
};

std::vector<std::string> SplitPath(std::string_view path) {
  std::vector<std::string> parts;
  size_t start = 0;
  while (start <= path.size()) {
    size_t end = path.find('\\', start);
    if (end == std::string_view::npos) end = path.size();
    if (end > start) parts.emplace_back(path.substr(start, end - start));
    start = end + 1;
  }
  return parts;
}

std::string TypeName(TRegDataType type) {
  switch (type) {
    case TRegDataType::Integer: return "integer";
    case TRegDataType::String: return "string";
    case TRegDataType::Binary: return "binary";
    default: return "unknown";
  }
}

}  // namespace

TRegistryStore::TRegistryStore(std::string fileName) : fileName_(std::move(fileName)) {
  // Only a missing file is a first start: an empty or unreadable one is a store that lost its
  // contents, and taking it as new would lose every account and renumber the ones added again.
  struct stat st;
  if (::stat(fileName_.c_str(), &st) != 0 && errno == ENOENT) CreateStore();
  OpenFile(fileName_);
  try {
    VerifySchema();
  } catch (...) {
    sqlite3_close(db_);
    db_ = nullptr;
    throw;
  }
}

void TRegistryStore::OpenFile(const std::string& path) {
  if (sqlite3_open_v2(path.c_str(), &db_, SQLITE_OPEN_READWRITE, nullptr) != SQLITE_OK) {
    const std::string reason = db_ ? sqlite3_errmsg(db_) : "out of memory";
    sqlite3_close(db_);
    db_ = nullptr;
    throw ERegistryError("The settings store \"" + fileName_ + "\" cannot be opened: " + reason +
                         ".");
  }
  sqlite3_busy_timeout(db_, 5000);
}

void TRegistryStore::CreateStore() {
  // The new store is made whole under a name of its own (private to the user from the start)
  // and then linked into place: a failure or a crash meanwhile leaves no empty store behind,
  // and a store another process made first is not replaced.
  std::string staged = fileName_ + ".XXXXXX";
  const int fd = ::mkostemp(staged.data(), O_CLOEXEC);
  if (fd < 0) {
    const int error = errno;
    throw ERegistryError("The settings store \"" + fileName_ +
                         "\" cannot be created: " + std::strerror(error) + ".");
  }
  ::close(fd);
  try {
    OpenFile(staged);
    Exec("BEGIN IMMEDIATE");
    for (const auto& table : kTables) Exec(table[1]);
    Exec("INSERT INTO store_info VALUES('format', '1')");
    Exec("INSERT INTO reg_keys(parent, name) VALUES(0, 'HKEY_CURRENT_USER')");
    Exec("COMMIT");
    sqlite3_close(db_);
    db_ = nullptr;
    if (::link(staged.c_str(), fileName_.c_str()) != 0 && errno != EEXIST) {
      const int error = errno;
      throw ERegistryError("The settings store \"" + fileName_ +
                           "\" cannot be created: " + std::strerror(error) + ".");
    }
  } catch (...) {
    sqlite3_close(db_);
    db_ = nullptr;
    ::unlink(staged.c_str());
    throw;
  }
  ::unlink(staged.c_str());
}

TRegistryStore::~TRegistryStore() {
  if (!db_) return;
  while (depth_ > 0) {
    Rollback();
  }
  sqlite3_close(db_);
}

void TRegistryStore::SetBusyTimeout(int ms) { sqlite3_busy_timeout(db_, ms); }

void TRegistryStore::LimitPages(int pages) {
  const std::string sql = "PRAGMA max_page_count = " + std::to_string(pages);
  Exec(sql.c_str());
}

void TRegistryStore::Fail(const std::string& what) const {
  throw ERegistryError("The settings store \"" + fileName_ + "\" " + what + ": " +
                       sqlite3_errmsg(db_) + ".");
}

void TRegistryStore::Exec(const char* sql) {
  if (sqlite3_exec(db_, sql, nullptr, nullptr, nullptr) != SQLITE_OK) Fail("could not be written");
}

void TRegistryStore::VerifySchema() {
  std::vector<std::pair<std::string, std::string>> found;
  {
    TStatement st(db_, "SELECT name, sql FROM sqlite_master WHERE type = 'table'");
    if (!st.Ok()) Fail("cannot be read");
    int rc;
    while ((rc = st.Step()) == SQLITE_ROW) found.emplace_back(st.Text(0), st.Text(1));
    if (rc != SQLITE_DONE) Fail("cannot be read");
  }
  const auto damaged = [this](const std::string& why) {
    throw ERegistryError("The settings store \"" + fileName_ + "\" is damaged: " + why + ".");
  };
  if (found.empty()) damaged("it is empty");
  bool ours = false;
  for (const auto& [name, sql] : found) ours |= name == "store_info";
  if (!ours)
    throw ERegistryError("The file \"" + fileName_ +
                         "\" is a database of another program, not a settings store.");
  for (const auto& table : kTables) {
    bool match = false;
    for (const auto& [name, sql] : found) match |= name == table[0] && sql == table[1];
    if (!match) damaged(std::string("the table ") + table[0] + " is missing or altered");
  }
  TStatement check(db_, "PRAGMA quick_check");
  if (!check.Ok() || check.Step() != SQLITE_ROW) Fail("cannot be read");
  if (check.Text(0) != "ok") damaged(check.Text(0));
  TStatement format(db_, "SELECT value FROM store_info WHERE name = 'format'");
  if (!format.Ok() || format.Step() != SQLITE_ROW || format.Text(0) != kFormat)
    damaged("its format is unknown");
  TStatement root(db_, "SELECT id FROM reg_keys WHERE parent = 0 AND name = ?1");
  root.Bind(1, std::string_view(kRootName));
  if (!root.Ok() || root.Step() != SQLITE_ROW) damaged("the root key is missing");
  rootId_ = root.Int(0);
}

void TRegistryStore::BeginTransaction() {
  const std::string sql = "SAVEPOINT t" + std::to_string(depth_ + 1);
  Exec(sql.c_str());
  ++depth_;
}

void TRegistryStore::Commit() {
  if (depth_ == 0) return;
  const std::string sql = "RELEASE t" + std::to_string(depth_);
  Exec(sql.c_str());
  --depth_;
}

void TRegistryStore::Rollback() {
  if (depth_ == 0) return;
  const std::string n = std::to_string(depth_);
  --depth_;
  const std::string sql = "ROLLBACK TO t" + n + "; RELEASE t" + n;
  Exec(sql.c_str());
}

TRegistryStore& TRegistryStore::Current() {
  if (!installedStore) throw ERegistryError("The settings store is not open.");
  return *installedStore;
}

void TRegistryStore::Install(TRegistryStore* store) { installedStore = store; }

int64_t TRegistryStore::FindKey(int64_t parent, std::string_view name) const {
  TStatement st(db_, "SELECT id FROM reg_keys WHERE parent = ?1 AND name = ?2");
  if (!st.Ok()) Fail("cannot be read");
  st.Bind(1, parent);
  st.Bind(2, name);
  const int rc = st.Step();
  if (rc == SQLITE_ROW) return st.Int(0);
  if (rc != SQLITE_DONE) Fail("cannot be read");
  return 0;
}

int64_t TRegistryStore::CreateKey(int64_t parent, std::string_view name) {
  if (const int64_t id = FindKey(parent, name)) return id;
  TStatement st(db_, "INSERT INTO reg_keys(parent, name) VALUES(?1, ?2)");
  if (!st.Ok()) Fail("could not be written");
  st.Bind(1, parent);
  st.Bind(2, name);
  if (st.Step() != SQLITE_DONE) Fail("could not be written");
  return sqlite3_last_insert_rowid(db_);
}

std::vector<std::string> TRegistryStore::SubKeyNames(int64_t key) const {
  std::vector<std::string> names;
  TStatement st(db_, "SELECT name FROM reg_keys WHERE parent = ?1 ORDER BY id");
  if (!st.Ok()) Fail("cannot be read");
  st.Bind(1, key);
  int rc;
  while ((rc = st.Step()) == SQLITE_ROW) names.push_back(st.Text(0));
  if (rc != SQLITE_DONE) Fail("cannot be read");
  return names;
}

std::vector<std::string> TRegistryStore::ValueNames(int64_t key) const {
  std::vector<std::string> names;
  TStatement st(db_, "SELECT name FROM reg_values WHERE key = ?1 ORDER BY rowid");
  if (!st.Ok()) Fail("cannot be read");
  st.Bind(1, key);
  int rc;
  while ((rc = st.Step()) == SQLITE_ROW) names.push_back(st.Text(0));
  if (rc != SQLITE_DONE) Fail("cannot be read");
  return names;
}

void TRegistryStore::DeleteKeyTree(int64_t key) {
  static const char* kSubtree =
      "WITH RECURSIVE sub(id) AS (SELECT ?1 UNION ALL "
      "SELECT k.id FROM reg_keys k JOIN sub ON k.parent = sub.id) ";
  BeginTransaction();
  try {
    for (const char* what :
         {"DELETE FROM reg_values WHERE key IN sub", "DELETE FROM reg_keys WHERE id IN sub"}) {
      const std::string sql = std::string(kSubtree) + what;
      TStatement st(db_, sql.c_str());
      if (!st.Ok()) Fail("could not be written");
      st.Bind(1, key);
      if (st.Step() != SQLITE_DONE) Fail("could not be written");
    }
    Commit();
  } catch (...) {
    Rollback();
    throw;
  }
}

bool TRegistryStore::ReadValue(int64_t key, std::string_view name, TRegDataType& type,
                               std::string& data) const {
  TStatement st(db_, "SELECT type, data FROM reg_values WHERE key = ?1 AND name = ?2");
  if (!st.Ok()) Fail("cannot be read");
  st.Bind(1, key);
  st.Bind(2, name);
  const int rc = st.Step();
  if (rc == SQLITE_DONE) return false;
  if (rc != SQLITE_ROW) Fail("cannot be read");
  type = static_cast<TRegDataType>(st.Int(0));
  data = st.Text(1);
  return true;
}

void TRegistryStore::WriteValue(int64_t key, std::string_view name, TRegDataType type,
                                std::string_view data) {
  // An upsert keeps the value's place in the listing and the letter case it was created with.
  TStatement st(db_,
                "INSERT INTO reg_values(key, name, type, data) VALUES(?1, ?2, ?3, ?4) "
                "ON CONFLICT(key, name) DO UPDATE SET type = excluded.type, data = excluded.data");
  if (!st.Ok()) Fail("could not be written");
  st.Bind(1, key);
  st.Bind(2, name);
  st.Bind(3, static_cast<int64_t>(type));
  st.BindBlob(4, data);
  if (st.Step() != SQLITE_DONE) Fail("could not be written");
}

bool TRegistryStore::DeleteValue(int64_t key, std::string_view name) {
  TStatement st(db_, "DELETE FROM reg_values WHERE key = ?1 AND name = ?2");
  if (!st.Ok()) Fail("could not be written");
  st.Bind(1, key);
  st.Bind(2, name);
  if (st.Step() != SQLITE_DONE) Fail("could not be written");
  return sqlite3_changes(db_) > 0;
}

TRegistry::TRegistry(TRegistryStore& store) : store_(store) {}

int64_t TRegistry::RootOf() const { return root_ == TRootKey::CurrentUser ? store_.RootId() : 0; }

int64_t TRegistry::Resolve(std::string_view path, bool create) const {
  const bool absolute = !path.empty() && path.front() == '\\';
  int64_t key = absolute || current_ == 0 ? RootOf() : current_;
  if (key == 0) return 0;
  for (const std::string& part : SplitPath(path)) {
    const int64_t next = create ? store_.CreateKey(key, part) : store_.FindKey(key, part);
    if (next == 0) return 0;
    key = next;
  }
  return key;
}

bool TRegistry::OpenKey(std::string_view path, bool canCreate) {
  if (root_ == TRootKey::LocalMachine) return false;
  const bool absolute = !path.empty() && path.front() == '\\';
  std::string newPath = absolute || current_ == 0 ? std::string() : currentPath_;
  int64_t key;
  if (canCreate) {
    TRegistryTransaction transaction(store_);
    key = Resolve(path, true);
    transaction.Commit();
  } else {
    key = Resolve(path, false);
  }
  if (key == 0) return false;
  for (const std::string& part : SplitPath(path)) newPath += "\\" + part;
  current_ = key;
  currentPath_ = newPath;
  readOnly_ = false;
  return true;
}

bool TRegistry::OpenKeyReadOnly(std::string_view path) {
  const bool absolute = !path.empty() && path.front() == '\\';
  std::string newPath = absolute || current_ == 0 ? std::string() : currentPath_;
  const int64_t key = Resolve(path, false);
  if (key == 0) return false;
  for (const std::string& part : SplitPath(path)) newPath += "\\" + part;
  current_ = key;
  currentPath_ = newPath;
  readOnly_ = true;
  return true;
}

void TRegistry::CloseKey() {
  current_ = 0;
  currentPath_.clear();
  readOnly_ = false;
}

void TRegistry::RequireOpen() const {
  if (current_ == 0) throw ERegistryError("No registry key is open.");
}

void TRegistry::RequireWritable() const {
  RequireOpen();
  if (readOnly_) throw ERegistryError("The key \"" + currentPath_ + "\" is open read-only.");
}

bool TRegistry::KeyExists(std::string_view path) const { return Resolve(path, false) != 0; }

bool TRegistry::ValueExists(std::string_view name) const {
  return GetDataType(name) != TRegDataType::None;
}

TRegDataType TRegistry::GetDataType(std::string_view name) const {
  if (current_ == 0) return TRegDataType::None;
  TRegDataType type;
  std::string data;
  return store_.ReadValue(current_, name, type, data) ? type : TRegDataType::None;
}

std::vector<std::string> TRegistry::GetKeyNames() const {
  return current_ ? store_.SubKeyNames(current_) : std::vector<std::string>();
}

std::vector<std::string> TRegistry::GetValueNames() const {
  return current_ ? store_.ValueNames(current_) : std::vector<std::string>();
}

bool TRegistry::DeleteKey(std::string_view path) {
  if (root_ == TRootKey::LocalMachine) return false;
  const int64_t key = Resolve(path, false);
  if (key == 0 || key == store_.RootId()) return false;
  if (key == current_) CloseKey();
  store_.DeleteKeyTree(key);
  return true;
}

bool TRegistry::DeleteValue(std::string_view name) {
  RequireWritable();
  return store_.DeleteValue(current_, name);
}

std::string TRegistry::ReadTyped(std::string_view name, TRegDataType type) const {
  RequireOpen();
  TRegDataType found;
  std::string data;
  if (!store_.ReadValue(current_, name, found, data))
    throw ERegistryError("The value \"" + std::string(name) + "\" does not exist.");
  if (found != type)
    throw ERegistryError("Invalid data type for \"" + std::string(name) + "\": " + TypeName(found) +
                         " found, " + TypeName(type) + " expected.");
  return data;
}

int32_t TRegistry::ReadInteger(std::string_view name) const {
  const std::string data = ReadTyped(name, TRegDataType::Integer);
  if (data.size() != 4) throw ERegistryError("The value \"" + std::string(name) + "\" is damaged.");
  uint32_t v = 0;
  for (int i = 3; i >= 0; --i) v = (v << 8) | static_cast<unsigned char>(data[i]);
  return static_cast<int32_t>(v);
}

std::string TRegistry::ReadString(std::string_view name) const {
  return ReadTyped(name, TRegDataType::String);
}

std::string TRegistry::ReadBinary(std::string_view name) const {
  return ReadTyped(name, TRegDataType::Binary);
}

void TRegistry::ReadBinaryData(std::string_view name, void* buffer, size_t size) const {
  const std::string data = ReadBinary(name);
  if (data.size() != size)
    throw ERegistryError("The value \"" + std::string(name) + "\" has " +
                         std::to_string(data.size()) + " bytes, " + std::to_string(size) +
                         " expected.");
  std::memcpy(buffer, data.data(), size);
}

double TRegistry::ReadFloat(std::string_view name) const {
  double value = 0;
  ReadBinaryData(name, &value, sizeof value);
  return value;
}

void TRegistry::WriteInteger(std::string_view name, int32_t value) {
  RequireWritable();
  const auto v = static_cast<uint32_t>(value);
  const char bytes[4] = {static_cast<char>(v), static_cast<char>(v >> 8),
                         static_cast<char>(v >> 16), static_cast<char>(v >> 24)};
  store_.WriteValue(current_, name, TRegDataType::Integer, std::string_view(bytes, 4));
}

void TRegistry::WriteString(std::string_view name, std::string_view value) {
  RequireWritable();
  store_.WriteValue(current_, name, TRegDataType::String, value);
}

void TRegistry::WriteBinaryData(std::string_view name, const void* data, size_t size) {
  RequireWritable();
  store_.WriteValue(current_, name, TRegDataType::Binary,
                    std::string_view(static_cast<const char*>(data), size));
}

void TRegistry::WriteFloat(std::string_view name, double value) {
  WriteBinaryData(name, &value, sizeof value);
}

TRegistryTransaction::TRegistryTransaction(TRegistryStore& store) : store_(store) {
  store_.BeginTransaction();
}

TRegistryTransaction::~TRegistryTransaction() {
  if (done_) return;
  try {
    store_.Rollback();
  } catch (...) {
  }
}

void TRegistryTransaction::Commit() {
  store_.Commit();
  done_ = true;
}

}  // namespace tarnwell
