#include "platform/settings/settings_store.h"

#include <sqlite3.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <set>
#include <utility>
#include <vector>

namespace platform {
namespace {

constexpr int kStringType = 1;
constexpr int kIntegerType = 4;
// Long enough for another running copy to finish its one transaction.
constexpr int kBusyTimeoutMilliseconds = 5000;

constexpr const char* kCreateSchema =
    "CREATE TABLE key   (path TEXT PRIMARY KEY);\n"
    "CREATE TABLE value (key  TEXT NOT NULL REFERENCES key(path),\n"
    "                    name TEXT NOT NULL,\n"
    "                    type INTEGER NOT NULL,\n"
    "                    data BLOB NOT NULL,\n"
    "                    PRIMARY KEY (key, name));\n";

// The path may come from the environment; keep the terminal safe from its bytes.
std::string Printable(std::string_view text) {
  std::string out;
  for (unsigned char c : text) {
    if (c < 32 || c > 126 || c == '\\') {
      char escaped[8];
      std::snprintf(escaped, sizeof escaped, "\\x%02X", c);
      out += escaped;
    } else {
      out += static_cast<char>(c);
    }
  }
  return out;
}

// One line per database path for the life of the process: a broken store must not
// flood standard error with a line per setting.
void ReportOnce(const std::string& path, std::string_view problem) {
  static std::mutex mutex;
  static std::set<std::string> reported;
  std::lock_guard lock(mutex);
  if (!reported.insert(path).second) {
    return;
  }
  std::string line = "morvel: settings store " + Printable(path) + " " + Printable(problem) +
                     "; settings will not be saved\n";
  std::fputs(line.c_str(), stderr);
}

// "a\\b\\c" -> {"a", "a\\b", "a\\b\\c"}; empty components are dropped.
std::vector<std::string> KeyPathWithAncestors(std::string_view keyPath) {
  std::vector<std::string> paths;
  std::string path;
  while (!keyPath.empty()) {
    std::size_t end = keyPath.find('\\');
    std::string_view component = keyPath.substr(0, end);
    keyPath = end == std::string_view::npos ? std::string_view() : keyPath.substr(end + 1);
    if (component.empty()) {
      continue;
    }
    if (!path.empty()) {
      path += '\\';
    }
    path += component;
    paths.push_back(path);
  }
  return paths;
}

// mkdir -p for the folder holding the database; new folders are private to the user.
bool CreateParentDirectories(const std::string& filePath, std::string& error) {
  for (std::size_t slash = filePath.find('/', 1); slash != std::string::npos;
       slash = filePath.find('/', slash + 1)) {
    std::string directory = filePath.substr(0, slash);
    if (::mkdir(directory.c_str(), 0700) == 0) {
      continue;
    }
    int mkdirError = errno;
    struct stat info;
    if (mkdirError == EEXIST && ::stat(directory.c_str(), &info) == 0 && S_ISDIR(info.st_mode)) {
      continue;
    }
    error = "cannot be created: " + directory + ": " +
            std::strerror(mkdirError == EEXIST ? ENOTDIR : mkdirError);
    return false;
  }
  return true;
}

class Statement {
 public:
  Statement(sqlite3* db, const char* sql) {
    ::sqlite3_prepare_v2(db, sql, -1, &statement_, nullptr);
  }
  ~Statement() { ::sqlite3_finalize(statement_); }
  Statement(const Statement&) = delete;
  Statement& operator=(const Statement&) = delete;

  bool Ok() const { return statement_ != nullptr; }
  sqlite3_stmt* Get() const { return statement_; }
  void BindText(int index, std::string_view text) {
    ::sqlite3_bind_text(statement_, index, text.data(), static_cast<int>(text.size()),
                        SQLITE_TRANSIENT);
  }
  // Returns SQLITE_ROW, SQLITE_DONE or an error code.
  int Step() { return statement_ ? ::sqlite3_step(statement_) : SQLITE_ERROR; }
  std::string ColumnText(int column) const {
    const unsigned char* text = ::sqlite3_column_text(statement_, column);
    return text ? std::string(reinterpret_cast<const char*>(text),
                              static_cast<std::size_t>(::sqlite3_column_bytes(statement_, column)))
                : std::string();
  }
  std::string ColumnBytes(int column) const {
    const void* bytes = ::sqlite3_column_blob(statement_, column);
    return bytes ? std::string(static_cast<const char*>(bytes),
                               static_cast<std::size_t>(::sqlite3_column_bytes(statement_, column)))
                 : std::string();
  }

 private:
  sqlite3_stmt* statement_ = nullptr;
};

enum class Access { kRead, kWrite };

// One open connection running one transaction. The database is opened with
// SQLITE_OPEN_CREATE only when there is no file yet, and its contents are checked
// by reading sqlite_master before anything is written, so a file that is not ours
// is never changed.
class Transaction {
 public:
  Transaction(const std::string& path, Access access) : path_(path) {
    if (path.empty()) {
      Fail("cannot be located: neither XDG_CONFIG_HOME nor HOME is set");
      return;
    }
    int flags = SQLITE_OPEN_READWRITE;
    struct stat info;
    if (::stat(path.c_str(), &info) == 0) {
      if (!S_ISREG(info.st_mode)) {
        Fail("cannot be opened: not a regular file");
        return;
      }
    } else if (errno == ENOENT) {
      std::string error;
      if (!CreateParentDirectories(path, error)) {
        Fail(error);
        return;
      }
      flags |= SQLITE_OPEN_CREATE;
    } else {
      Fail(std::string("cannot be opened: ") + std::strerror(errno));
      return;
    }
    if (::sqlite3_open_v2(path.c_str(), &db_, flags, nullptr) != SQLITE_OK) {
      FailWithDatabaseError("cannot be opened");
      return;
    }
    ::sqlite3_busy_timeout(db_, kBusyTimeoutMilliseconds);
    // A Search writes dozens of values, each its own transaction. In WAL mode
    // with NORMAL syncing a commit costs no fsync and the file stays
    // consistent; a store this program creates starts in that mode.
    if ((flags & SQLITE_OPEN_CREATE) != 0) {
      ::sqlite3_exec(db_, "PRAGMA journal_mode=WAL", nullptr, nullptr, nullptr);
    }
    ::sqlite3_exec(db_, "PRAGMA synchronous=NORMAL", nullptr, nullptr, nullptr);
    // Closing after every operation must not checkpoint (and sync) each time;
    // SQLite's own automatic checkpoints keep the log short.
    ::sqlite3_db_config(db_, SQLITE_DBCONFIG_NO_CKPT_ON_CLOSE, 1, nullptr);
    // SQLite falls back to read-only when the file is not writable: reads still work.
    readOnly_ = ::sqlite3_db_readonly(db_, "main") == 1;
    if (readOnly_ && access == Access::kWrite) {
      Fail("cannot be written: the file is read-only");
      return;
    }
    // IMMEDIATE takes the write lock up front, so a read that creates keys cannot
    // deadlock against another copy upgrading its own lock.
    if (!Execute(readOnly_ ? "BEGIN" : "BEGIN IMMEDIATE")) {
      FailWithDatabaseError("cannot be opened");
      return;
    }
    begun_ = true;
    CheckSchema();
  }

  ~Transaction() {
    if (begun_) {
      Execute("ROLLBACK");
    }
    ::sqlite3_close_v2(db_);
  }
  Transaction(const Transaction&) = delete;
  Transaction& operator=(const Transaction&) = delete;

  bool Ok() const { return ok_; }
  bool ReadOnly() const { return readOnly_; }
  // Empty when the file holds no tables yet and could not be given ours (read-only).
  bool HasTables() const { return hasTables_; }
  sqlite3* Db() const { return db_; }

  bool Commit() {
    if (!ok_) {
      return false;
    }
    if (!Execute("COMMIT")) {
      FailWithDatabaseError("cannot be written");
      return false;
    }
    begun_ = false;
    return true;
  }

  void FailWithDatabaseError(std::string_view what) {
    ReportDatabaseError(what);
    ok_ = false;
  }
  void ReportDatabaseError(std::string_view what) {
    ReportOnce(path_, std::string(what) + ": " + (db_ ? ::sqlite3_errmsg(db_) : "out of memory"));
  }

 private:
  bool Execute(const char* sql) {
    return ::sqlite3_exec(db_, sql, nullptr, nullptr, nullptr) == SQLITE_OK;
  }

  void Fail(std::string_view problem) {
    ok_ = false;
    ReportOnce(path_, problem);
  }

  // Reading sqlite_master is the first read of the file: a non-database fails here.
  void CheckSchema() {
    Statement tables(db_, "SELECT name FROM sqlite_master WHERE type = 'table'");
    if (!tables.Ok()) {
      FailWithDatabaseError("cannot be read");
      return;
    }
    bool anyTable = false;
    bool hasKey = false;
    bool hasValue = false;
    int step;
    while ((step = tables.Step()) == SQLITE_ROW) {
      std::string name = tables.ColumnText(0);
      anyTable = true;
      hasKey = hasKey || name == "key";
      hasValue = hasValue || name == "value";
    }
    if (step != SQLITE_DONE) {
      FailWithDatabaseError("cannot be read");
      return;
    }
    if (hasKey && hasValue) {
      hasTables_ = true;
      ok_ = true;
      return;
    }
    if (anyTable) {
      Fail("cannot be used: the database holds other tables than the settings");
      return;
    }
    ok_ = true;
    if (readOnly_) {
      return;
    }
    if (!Execute(kCreateSchema)) {
      FailWithDatabaseError("cannot be written");
      return;
    }
    hasTables_ = true;
  }

  const std::string& path_;
  sqlite3* db_ = nullptr;
  bool ok_ = false;
  bool begun_ = false;
  bool readOnly_ = false;
  bool hasTables_ = false;
};

bool CreateKeys(Transaction& transaction, const std::vector<std::string>& keyPaths) {
  Statement insert(transaction.Db(), "INSERT OR IGNORE INTO key (path) VALUES (?1)");
  if (!insert.Ok()) {
    return false;
  }
  for (const std::string& keyPath : keyPaths) {
    ::sqlite3_reset(insert.Get());
    insert.BindText(1, keyPath);
    if (insert.Step() != SQLITE_DONE) {
      return false;
    }
  }
  return true;
}

}  // namespace

std::string SettingsStore::DefaultDatabasePath(std::string_view registryKey) {
  std::string base;
  const char* configHome = std::getenv("XDG_CONFIG_HOME");
  const char* home = std::getenv("HOME");
  if (configHome != nullptr && configHome[0] == '/') {
    base = configHome;
  } else if (home != nullptr && home[0] != '\0') {
    base = home;
    if (base.back() != '/') {
      base += '/';
    }
    base += ".config";
  } else {
    return std::string();
  }
  while (base.size() > 1 && base.back() == '/') {
    base.pop_back();
  }
  if (base != "/") {
    base += '/';
  }
  return base + std::string(registryKey) + "/registry.sqlite";
}

SettingsStore::SettingsStore(std::string databasePath) : databasePath_(std::move(databasePath)) {}

std::optional<std::string> SettingsStore::ReadString(std::string_view keyPath,
                                                     std::string_view name) {
  std::optional<std::string> data = ReadData(keyPath, name);
  if (!data) {
    return std::nullopt;
  }
  std::size_t end = data->find('\0');
  if (end == std::string::npos) {
    return std::nullopt;
  }
  data->resize(end);
  return data;
}

std::optional<std::int32_t> SettingsStore::ReadInt(std::string_view keyPath,
                                                   std::string_view name) {
  std::optional<std::string> data = ReadData(keyPath, name);
  if (!data || data->size() != 4) {
    return std::nullopt;
  }
  std::uint32_t bits = 0;
  for (int i = 3; i >= 0; --i) {
    bits = (bits << 8) | static_cast<unsigned char>((*data)[static_cast<std::size_t>(i)]);
  }
  return static_cast<std::int32_t>(bits);
}

bool SettingsStore::WriteString(std::string_view keyPath, std::string_view name,
                                std::string_view value) {
  std::string data(value.substr(0, value.find('\0')));
  data += '\0';
  return WriteData(keyPath, name, kStringType, data);
}

bool SettingsStore::WriteInt(std::string_view keyPath, std::string_view name, std::int32_t value) {
  std::uint32_t bits = static_cast<std::uint32_t>(value);
  std::string data(4, '\0');
  for (std::size_t i = 0; i < 4; ++i) {
    data[i] = static_cast<char>((bits >> (8 * i)) & 0xFF);
  }
  return WriteData(keyPath, name, kIntegerType, data);
}

std::optional<std::string> SettingsStore::ReadData(std::string_view keyPath,
                                                   std::string_view name) {
  std::vector<std::string> keyPaths = KeyPathWithAncestors(keyPath);
  if (keyPaths.empty()) {
    return std::nullopt;
  }
  Transaction transaction(databasePath_, Access::kRead);
  if (!transaction.Ok() || !transaction.HasTables()) {
    return std::nullopt;
  }
  // Reading opens the key the way a registry read would, creating it on the way.
  // Where the keys cannot be written, the value stored is still worth reading.
  bool keysCreated = !transaction.ReadOnly() && CreateKeys(transaction, keyPaths);
  if (!transaction.ReadOnly() && !keysCreated) {
    transaction.ReportDatabaseError("cannot be written");
  }
  Statement select(transaction.Db(), "SELECT data FROM value WHERE key = ?1 AND name = ?2");
  select.BindText(1, keyPaths.back());
  select.BindText(2, name);
  int step = select.Step();
  std::optional<std::string> data;
  if (step == SQLITE_ROW) {
    data = select.ColumnBytes(0);
  } else if (step != SQLITE_DONE) {
    transaction.FailWithDatabaseError("cannot be read");
    return std::nullopt;
  }
  if (keysCreated) {
    transaction.Commit();
  }
  return data;
}

bool SettingsStore::WriteData(std::string_view keyPath, std::string_view name, int type,
                              std::string_view data) {
  std::vector<std::string> keyPaths = KeyPathWithAncestors(keyPath);
  if (keyPaths.empty()) {
    return false;
  }
  Transaction transaction(databasePath_, Access::kWrite);
  if (!transaction.Ok()) {
    return false;
  }
  if (!CreateKeys(transaction, keyPaths)) {
    transaction.FailWithDatabaseError("cannot be written");
    return false;
  }
  Statement insert(transaction.Db(),
                   "INSERT OR REPLACE INTO value (key, name, type, data) VALUES (?1, ?2, ?3, ?4)");
  insert.BindText(1, keyPaths.back());
  insert.BindText(2, name);
  ::sqlite3_bind_int(insert.Get(), 3, type);
  ::sqlite3_bind_blob(insert.Get(), 4, data.data(), static_cast<int>(data.size()),
                      SQLITE_TRANSIENT);
  if (insert.Step() != SQLITE_DONE) {
    transaction.FailWithDatabaseError("cannot be written");
    return false;
  }
  return transaction.Commit();
}

}  // namespace platform
