// The portable registry's connection to its SQLite file (registry_connection.h).
#include "platform/portable/registry_connection.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

#include "platform/platform.h"
#include "platform/portable/registry_store.h"

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

int Exec(sqlite3* db, const char* sql) { return sqlite3_exec(db, sql, nullptr, nullptr, nullptr); }

// Closing rolls back an open transaction: a group's writes are then lost,
// and its end says so. The group's turn goes before its file descriptor.
void Close(Connection& c) {
  if (c.writeGroupOpen) c.groupBroken = true;
  c.writeGroupOpen = false;
  c.readGroupOpen = false;
  c.groupTurn.reset();
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
    sqlite3_exec(db, c.scratch ? "PRAGMA synchronous = OFF" : "PRAGMA synchronous = FULL", nullptr,
                 nullptr, nullptr);
    c.writerLock = ::open((path + ".lock").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
  }
  c.hasSchema = SchemaPresent(db);
  return true;
}

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

}  // namespace

WriterTurn::WriterTurn(int fd) : fd_(fd) {
  if (fd_ < 0) return;
  while (::flock(fd_, LOCK_EX) != 0) {
    if (errno != EINTR) {
      fd_ = -1;
      return;
    }
  }
}

WriterTurn::~WriterTurn() {
  if (fd_ >= 0) ::flock(fd_, LOCK_UN);
}

Connection& Conn() {
  static Connection connection;
  return connection;
}

sqlite3* Open(Connection& c, bool forWriting) {
  if (c.db != nullptr) return c.db;
  std::string path = ResolvePath(c);
  if (path.empty()) return nullptr;
  const int readOnly = SQLITE_OPEN_READONLY | SQLITE_OPEN_FULLMUTEX;
  const int readWrite = SQLITE_OPEN_READWRITE | SQLITE_OPEN_FULLMUTEX;
  if (c.forcedReadOnly) return TryOpen(c, path, readOnly) ? c.db : nullptr;
  if (TryOpen(c, path, readWrite)) return c.db;
  // No file yet (SQLite itself opens a file it may not write read-only). The
  // connection is kept for the life of the process, so it must not end up
  // read-only merely because another process created the file between the
  // open above and the next step: every later save of this process would be
  // refused. A writer therefore opens with CREATE, which also opens a file
  // that appeared meanwhile, and a reader that now finds the file tries
  // read-write again before settling for read-only.
  if (forWriting && MakeParentDirectories(path) &&
      TryOpen(c, path, readWrite | SQLITE_OPEN_CREATE)) {
    return c.db;
  }
  struct stat info {};
  if (::stat(path.c_str(), &info) != 0) return nullptr;
  if (TryOpen(c, path, readWrite)) return c.db;
  return TryOpen(c, path, readOnly) ? c.db : nullptr;
}

bool SchemaReady(Connection& c) {
  if (c.db != nullptr && !c.hasSchema) c.hasSchema = SchemaPresent(c.db);
  return c.db != nullptr && c.hasSchema;
}

long ReadFailure(int rc) {
  int primary = rc & 0xFF;
  return primary == SQLITE_CORRUPT || primary == SQLITE_NOTADB ? kRegBadDb : kRegCantRead;
}

long WriteFailure(int rc) {
  int primary = rc & 0xFF;
  return primary == SQLITE_CORRUPT || primary == SQLITE_NOTADB ? kRegBadDb : kRegAccessDenied;
}

Change::Change(Connection& c) : c_(c) {
  if (c.writeGroupOpen || c.readGroupOpen) {
    grouped_ = true;
    begun_ = c.groupBroken ? SQLITE_ABORT : Exec(c.db, "SAVEPOINT reg_change");
    return;
  }
  turn_.emplace(c.writerLock);
  begun_ = EnsureSchema(c);
  // Taken for writing from the start: a transaction that first reads and
  // then wants to write would get SQLITE_BUSY at once, without waiting,
  // while another process holds the write lock.
  if (begun_ == SQLITE_OK) begun_ = Exec(c.db, "BEGIN IMMEDIATE");
}

int Change::Finish(int rc) {
  if (rc == SQLITE_OK) rc = Exec(c_.db, grouped_ ? "RELEASE reg_change" : "COMMIT");
  if (rc == SQLITE_OK) return rc;
  if (!grouped_) {
    Exec(c_.db, "ROLLBACK");
    return rc;
  }
  // Some failures (a full disk, an I/O error) roll back the group's whole
  // transaction: its earlier changes are lost too, and so are later ones.
  if (sqlite3_get_autocommit(c_.db) != 0) {
    c_.groupBroken = true;
    return rc;
  }
  Exec(c_.db, "ROLLBACK TO reg_change");
  Exec(c_.db, "RELEASE reg_change");
  return rc;
}

void GroupBegin(bool forWriting) {
  Connection& c = Conn();
  c.mutex.lock();  // until GroupEnd
  if (c.groupDepth++ > 0) return;
  c.groupBroken = false;
  sqlite3* db = Open(c, forWriting);
  if (db == nullptr) return;
  if (!forWriting) {
    // A deferred transaction: the first read takes the shared lock, and
    // keeps it, so every read of the group sees one state.
    if (SchemaReady(c) && Exec(db, "BEGIN") == SQLITE_OK) c.readGroupOpen = true;
    return;
  }
  if (!c.writable) return;
  c.groupTurn.emplace(c.writerLock);
  if (EnsureSchema(c) == SQLITE_OK && Exec(db, "BEGIN IMMEDIATE") == SQLITE_OK) {
    c.writeGroupOpen = true;
  } else {
    c.groupTurn.reset();
  }
}

long GroupEnd() {
  Connection& c = Conn();
  std::lock_guard<std::recursive_mutex> lock(c.mutex);
  if (c.groupDepth == 0) return kRegOk;  // no group of this thread
  long status = kRegOk;
  if (--c.groupDepth == 0) {
    if (c.writeGroupOpen || c.readGroupOpen) {
      int rc = c.groupBroken ? SQLITE_ABORT : Exec(c.db, "COMMIT");
      if (rc != SQLITE_OK) {
        if (sqlite3_get_autocommit(c.db) == 0) Exec(c.db, "ROLLBACK");
        status = WriteFailure(rc);
      }
    } else if (c.groupBroken) {
      status = kRegAccessDenied;  // the store was closed under the group
    }
    c.writeGroupOpen = false;
    c.readGroupOpen = false;
    c.groupBroken = false;
    c.groupTurn.reset();
  }
  c.mutex.unlock();  // GroupBegin's
  return status;
}

void UsePath(const char* path) {
  Connection& c = Conn();
  std::lock_guard<std::recursive_mutex> lock(c.mutex);
  Close(c);
  c.pathOverridden = path != nullptr;
  c.overridePath = path == nullptr ? "" : path;
}

void ForceReadOnly(bool readOnly) {
  Connection& c = Conn();
  std::lock_guard<std::recursive_mutex> lock(c.mutex);
  Close(c);
  c.forcedReadOnly = readOnly;
}

void UseScratch(bool scratch) {
  Connection& c = Conn();
  std::lock_guard<std::recursive_mutex> lock(c.mutex);
  Close(c);
  c.scratch = scratch;
}

}  // namespace tarnix::platform::portable::registry
