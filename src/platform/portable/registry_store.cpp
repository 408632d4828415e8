// The portable registry's SQLite store (contract in registry_store.h).
#include "platform/portable/registry_store.h"

#include <fcntl.h>
#include <sqlite3.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <string>

#include "platform/platform.h"

namespace tarnix::platform::portable::registry {
namespace {

constexpr int kBusyTimeoutMs = 15000;

constexpr char kSchema[] =
    "CREATE TABLE IF NOT EXISTS reg_key ("
    " id INTEGER PRIMARY KEY,"
    " parent INTEGER NOT NULL,"  // a hive's root (0, -1) or a key
    " name TEXT NOT NULL,"       // spelling at creation
    " folded TEXT NOT NULL,"     // lower-cased, for lookups
    " UNIQUE (parent, folded));"
    "CREATE TABLE IF NOT EXISTS reg_value ("
    " key INTEGER NOT NULL,"
    " name TEXT NOT NULL,"
    " folded TEXT NOT NULL,"
    " type INTEGER NOT NULL,"
    " data BLOB NOT NULL,"
    " PRIMARY KEY (key, folded)) WITHOUT ROWID;";

struct Connection {
  std::mutex mutex;
  sqlite3* db = nullptr;
  bool writable = false;
  bool hasSchema = false;
  bool forcedReadOnly = false;
  int writerLock = -1;  // the store's lock file, when it could be opened
  bool pathOverridden = false;
  std::string overridePath;
};

Connection& Conn() {
  static Connection connection;
  return connection;
}

std::string Fold(const std::string& text) {
  std::string folded = text;
  for (char& c : folded) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return folded;
}

std::vector<std::string> SplitPath(const char* path) {
  std::vector<std::string> parts;
  std::string current;
  for (const char* p = path == nullptr ? "" : path; *p != '\0'; ++p) {
    if (*p == '\\') {
      if (!current.empty()) parts.push_back(current);
      current.clear();
    } else {
      current.push_back(*p);
    }
  }
  if (!current.empty()) parts.push_back(current);
  return parts;
}

std::string ResolvePath(const Connection& c) {
  if (c.pathOverridden) return c.overridePath;
  const char* env = std::getenv("TARNIX_REGISTRY");
  if (env != nullptr && env[0] != '\0') return env;
  const char* data = std::getenv("XDG_DATA_HOME");
  if (data != nullptr && data[0] == '/') return std::string(data) + "/tarnix/registry.sqlite3";
  const char* home = std::getenv("HOME");
  if (home != nullptr && home[0] != '\0') {
    return std::string(home) + "/.local/share/tarnix/registry.sqlite3";
  }
  return {};
}

// mkdir -p for the directories above `file`.
bool MakeParentDirectories(const std::string& file) {
  for (std::size_t slash = file.find('/', 1); slash != std::string::npos;
       slash = file.find('/', slash + 1)) {
    std::string dir = file.substr(0, slash);
    if (::mkdir(dir.c_str(), 0700) != 0 && errno != EEXIST) return false;
  }
  return true;
}

void Close(Connection& c) {
  if (c.db != nullptr) sqlite3_close_v2(c.db);
  if (c.writerLock >= 0) ::close(c.writerLock);
  c.writerLock = -1;
  c.db = nullptr;
  c.writable = false;
  c.hasSchema = false;
}

bool SchemaPresent(sqlite3* db) {
  sqlite3_stmt* stmt = nullptr;
  bool present = false;
  if (sqlite3_prepare_v2(db,
                         "SELECT count(*) FROM sqlite_master WHERE type = 'table'"
                         " AND name IN ('reg_key', 'reg_value')",
                         -1, &stmt, nullptr) == SQLITE_OK &&
      sqlite3_step(stmt) == SQLITE_ROW) {
    present = sqlite3_column_int(stmt, 0) == 2;
  }
  sqlite3_finalize(stmt);
  return present;
}

bool TryOpen(Connection& c, const std::string& path, int flags) {
  sqlite3* db = nullptr;
  if (sqlite3_open_v2(path.c_str(), &db, flags, nullptr) != SQLITE_OK) {
    sqlite3_close_v2(db);
    return false;
  }
  sqlite3_busy_timeout(db, kBusyTimeoutMs);
  c.db = db;
  c.writable = (flags & SQLITE_OPEN_READWRITE) != 0 && sqlite3_db_readonly(db, "main") == 0;
  if (c.writable) {
    sqlite3_exec(db, "PRAGMA synchronous = FULL", nullptr, nullptr, nullptr);
    c.writerLock = ::open((path + ".lock").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
  }
  c.hasSchema = SchemaPresent(db);
  return true;
}

// Writers of all processes queue on the lock file, where the kernel wakes a
// waiter as soon as the lock is free. SQLite's own busy handler only polls
// with growing pauses, and a process that keeps saving could otherwise hold
// the database lock so often that a polling writer times out and loses its
// write. Without a lock file (no right to create it) SQLite's locking alone
// decides.
class WriterTurn {
 public:
  explicit WriterTurn(int fd) : fd_(fd) {
    if (fd_ < 0) return;
    while (::flock(fd_, LOCK_EX) != 0) {
      if (errno != EINTR) {
        fd_ = -1;
        return;
      }
    }
  }
  ~WriterTurn() {
    if (fd_ >= 0) ::flock(fd_, LOCK_UN);
  }
  WriterTurn(const WriterTurn&) = delete;
  WriterTurn& operator=(const WriterTurn&) = delete;

 private:
  int fd_;
};

// Creates the tables on the first write. Several processes may do so at
// once; IF NOT EXISTS inside one write transaction makes that harmless. A
// failure is answered, not remembered: the next write tries again.
int EnsureSchema(Connection& c) {
  if (c.hasSchema) return SQLITE_OK;
  std::string create = std::string("BEGIN IMMEDIATE;") + kSchema + "COMMIT;";
  int rc = sqlite3_exec(c.db, create.c_str(), nullptr, nullptr, nullptr);
  if (rc != SQLITE_OK) {
    sqlite3_exec(c.db, "ROLLBACK", nullptr, nullptr, nullptr);
    return rc;
  }
  c.hasSchema = true;
  return SQLITE_OK;
}

// The open store, or nullptr when there is none (yet). A read never creates
// the file; the first write does.
sqlite3* Open(Connection& c, bool forWriting) {
  if (c.db != nullptr) return c.db;
  std::string path = ResolvePath(c);
  if (path.empty()) return nullptr;
  const int readOnly = SQLITE_OPEN_READONLY | SQLITE_OPEN_FULLMUTEX;
  const int readWrite = SQLITE_OPEN_READWRITE | SQLITE_OPEN_FULLMUTEX;
  if (c.forcedReadOnly) return TryOpen(c, path, readOnly) ? c.db : nullptr;
  if (TryOpen(c, path, readWrite)) return c.db;
  // Not there, or no right to write it.
  struct stat info {};
  if (::stat(path.c_str(), &info) == 0) return TryOpen(c, path, readOnly) ? c.db : nullptr;
  if (!forWriting) return nullptr;
  if (!MakeParentDirectories(path)) return nullptr;
  return TryOpen(c, path, readWrite | SQLITE_OPEN_CREATE) ? c.db : nullptr;
}

long ReadFailure(int rc) {
  int primary = rc & 0xFF;
  return primary == SQLITE_CORRUPT || primary == SQLITE_NOTADB ? kRegBadDb : kRegCantRead;
}

long WriteFailure(int rc) {
  int primary = rc & 0xFF;
  return primary == SQLITE_CORRUPT || primary == SQLITE_NOTADB ? kRegBadDb : kRegAccessDenied;
}

// One prepared statement, finalized on every path.
class Statement {
 public:
  Statement(sqlite3* db, const char* sql) {
    rc_ = sqlite3_prepare_v2(db, sql, -1, &stmt_, nullptr);
  }
  ~Statement() { sqlite3_finalize(stmt_); }
  Statement(const Statement&) = delete;
  Statement& operator=(const Statement&) = delete;

  bool ok() const { return rc_ == SQLITE_OK; }
  int rc() const { return rc_; }
  sqlite3_stmt* get() const { return stmt_; }
  void bind(int index, int64_t value) { sqlite3_bind_int64(stmt_, index, value); }
  void bind(int index, const std::string& text) {
    sqlite3_bind_text(stmt_, index, text.data(), static_cast<int>(text.size()), SQLITE_TRANSIENT);
  }
  void bindBlob(int index, const void* data, uint32_t size) {
    // A zero-length blob must still be a blob, not NULL.
    if (size == 0) {
      sqlite3_bind_zeroblob(stmt_, index, 0);
    } else {
      sqlite3_bind_blob(stmt_, index, data, static_cast<int>(size), SQLITE_TRANSIENT);
    }
  }
  int step() { return rc_ = sqlite3_step(stmt_); }

 private:
  sqlite3_stmt* stmt_ = nullptr;
  int rc_ = SQLITE_OK;
};

// Looks up one child key: SQLITE_ROW with *id, SQLITE_DONE when absent, or
// an error code.
int FindChild(sqlite3* db, KeyId parent, const std::string& folded, KeyId* id) {
  Statement find(db, "SELECT id FROM reg_key WHERE parent = ?1 AND folded = ?2");
  if (!find.ok()) return find.rc();
  find.bind(1, parent);
  find.bind(2, folded);
  int rc = find.step();
  if (rc == SQLITE_ROW) *id = sqlite3_column_int64(find.get(), 0);
  return rc;
}

}  // namespace

long FindKey(KeyId root, const char* path, KeyId* id) {
  Connection& c = Conn();
  std::lock_guard<std::mutex> lock(c.mutex);
  std::vector<std::string> parts = SplitPath(path);
  KeyId current = root;
  if (parts.empty()) {
    *id = current;
    return kRegOk;
  }
  sqlite3* db = Open(c, false);
  // Another process may have created the tables since this one opened the
  // file.
  if (db != nullptr && !c.hasSchema) c.hasSchema = SchemaPresent(db);
  if (db == nullptr || !c.hasSchema) return kRegNotFound;  // an empty registry
  for (const std::string& part : parts) {
    int rc = FindChild(db, current, Fold(part), &current);
    if (rc == SQLITE_DONE) return kRegNotFound;
    if (rc != SQLITE_ROW) return ReadFailure(rc);
  }
  *id = current;
  return kRegOk;
}

long CreateKey(KeyId root, const char* path, KeyId* id) {
  Connection& c = Conn();
  std::lock_guard<std::mutex> lock(c.mutex);
  sqlite3* db = Open(c, true);
  if (db == nullptr || !c.writable) return kRegAccessDenied;
  WriterTurn turn(c.writerLock);
  int rc = EnsureSchema(c);
  if (rc != SQLITE_OK) return WriteFailure(rc);
  std::vector<std::string> parts = SplitPath(path);

  rc = sqlite3_exec(db, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr);
  if (rc != SQLITE_OK) return WriteFailure(rc);
  KeyId current = root;
  for (const std::string& part : parts) {
    std::string folded = Fold(part);
    rc = FindChild(db, current, folded, &current);
    if (rc == SQLITE_DONE) {
      Statement insert(db, "INSERT INTO reg_key (parent, name, folded) VALUES (?1, ?2, ?3)");
      if (!insert.ok()) {
        rc = insert.rc();
        break;
      }
      insert.bind(1, current);
      insert.bind(2, part);
      insert.bind(3, folded);
      rc = insert.step();
      if (rc != SQLITE_DONE) break;
      current = sqlite3_last_insert_rowid(db);
      rc = SQLITE_ROW;
    }
    if (rc != SQLITE_ROW) break;
  }
  if (parts.empty() || rc == SQLITE_ROW) rc = sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr);
  if (rc != SQLITE_OK) {
    sqlite3_exec(db, "ROLLBACK", nullptr, nullptr, nullptr);
    return WriteFailure(rc);
  }
  *id = current;
  return kRegOk;
}

long ReadValue(KeyId key, const char* name, uint32_t* type, std::vector<uint8_t>* data) {
  Connection& c = Conn();
  std::lock_guard<std::mutex> lock(c.mutex);
  sqlite3* db = Open(c, false);
  // Another process may have created the tables since this one opened the
  // file.
  if (db != nullptr && !c.hasSchema) c.hasSchema = SchemaPresent(db);
  if (db == nullptr || !c.hasSchema) return kRegNotFound;
  Statement read(db, "SELECT type, data FROM reg_value WHERE key = ?1 AND folded = ?2");
  if (!read.ok()) return ReadFailure(read.rc());
  read.bind(1, key);
  read.bind(2, Fold(name == nullptr ? "" : name));
  int rc = read.step();
  if (rc == SQLITE_DONE) return kRegNotFound;
  if (rc != SQLITE_ROW) return ReadFailure(rc);
  *type = static_cast<uint32_t>(sqlite3_column_int64(read.get(), 0));
  const auto* bytes = static_cast<const uint8_t*>(sqlite3_column_blob(read.get(), 1));
  int size = sqlite3_column_bytes(read.get(), 1);
  data->assign(bytes, bytes + (bytes == nullptr ? 0 : size));
  return kRegOk;
}

long WriteValue(KeyId key, const char* name, uint32_t type, const void* data, uint32_t size) {
  Connection& c = Conn();
  std::lock_guard<std::mutex> lock(c.mutex);
  sqlite3* db = Open(c, true);
  if (db == nullptr || !c.writable) return kRegAccessDenied;
  WriterTurn turn(c.writerLock);
  int rc = EnsureSchema(c);
  if (rc != SQLITE_OK) return WriteFailure(rc);
  std::string spelled = name == nullptr ? "" : name;
  // One transaction per write, taken for writing from the start: a statement
  // that first reads and then wants to write would get SQLITE_BUSY at once,
  // without waiting, while another process holds the write lock.
  rc = sqlite3_exec(db, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr);
  if (rc != SQLITE_OK) return WriteFailure(rc);
  Statement write(
      db,
      "INSERT INTO reg_value (key, name, folded, type, data) VALUES (?1, ?2, ?3, ?4, ?5)"
      " ON CONFLICT (key, folded) DO UPDATE SET type = excluded.type,"
      " data = excluded.data");
  rc = write.ok() ? SQLITE_OK : write.rc();
  if (rc == SQLITE_OK) {
    write.bind(1, key);
    write.bind(2, spelled);
    write.bind(3, Fold(spelled));
    write.bind(4, static_cast<int64_t>(type));
    write.bindBlob(5, data, size);
    rc = write.step();
    if (rc == SQLITE_DONE) rc = sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr);
  }
  if (rc != SQLITE_OK) {
    sqlite3_exec(db, "ROLLBACK", nullptr, nullptr, nullptr);
    return WriteFailure(rc);
  }
  return kRegOk;
}

void UsePath(const char* path) {
  Connection& c = Conn();
  std::lock_guard<std::mutex> lock(c.mutex);
  Close(c);
  c.pathOverridden = path != nullptr;
  c.overridePath = path == nullptr ? "" : path;
}

void ForceReadOnly(bool readOnly) {
  Connection& c = Conn();
  std::lock_guard<std::mutex> lock(c.mutex);
  Close(c);
  c.forcedReadOnly = readOnly;
}

}  // namespace tarnix::platform::portable::registry
