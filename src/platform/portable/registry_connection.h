// The portable registry's one connection to its SQLite file, shared by every
// thread of the process: where the file lives, opening it, the writers' turns
// across processes, and the transactions of single changes and of groups.
// registry_store.cpp builds the keys and values on it.
#pragma once

#include <sqlite3.h>

#include <mutex>
#include <optional>
#include <string>

namespace tarnix::platform::portable::registry {

// Writers of all processes queue on the store's lock file, where the kernel
// wakes a waiter as soon as the lock is free. SQLite's own busy handler only
// polls with growing pauses, and a process that keeps saving could otherwise
// hold the database lock so often that a polling writer times out and loses
// its write. Without a lock file (no right to create it) SQLite's locking
// alone decides.
class WriterTurn {
 public:
  explicit WriterTurn(int fd);
  ~WriterTurn();
  WriterTurn(const WriterTurn&) = delete;
  WriterTurn& operator=(const WriterTurn&) = delete;

 private:
  int fd_;
};

struct Connection {
  // Recursive: a group holds it from its beginning to its end while the
  // calls inside it take it again.
  std::recursive_mutex mutex;
  sqlite3* db = nullptr;
  bool writable = false;
  bool hasSchema = false;
  bool forcedReadOnly = false;
  bool scratch = false;  // writes need not reach the disk
  int writerLock = -1;   // the store's lock file, when it could be opened
  bool pathOverridden = false;
  std::string overridePath;
  int groupDepth = 0;
  bool readGroupOpen = false;           // the group's read transaction is open
  bool writeGroupOpen = false;          // the group's write transaction is open
  bool groupBroken = false;             // the group's write transaction was lost on the way
  std::optional<WriterTurn> groupTurn;  // held by a write group from its beginning to its end
};

// The process's connection; callers hold its mutex while they use it.
Connection& Conn();

// The open store, or nullptr when there is none (yet). A read never creates
// the file; the first write does.
sqlite3* Open(Connection& c, bool forWriting);

// Whether the tables exist: another process may have created them since this
// one opened the file.
bool SchemaReady(Connection& c);

// Windows codes for SQLite failures of reads and of writes.
long ReadFailure(int rc);
long WriteFailure(int rc);

// One change of the store, made whole or not at all: its own transaction, or
// a savepoint within an open write group's transaction. The connection must
// be open and writable. begun() is SQLITE_OK when the change may proceed;
// Finish(rc) keeps the change when rc is SQLITE_OK, else undoes it, and
// answers the outcome.
class Change {
 public:
  explicit Change(Connection& c);
  Change(const Change&) = delete;
  Change& operator=(const Change&) = delete;
  int begun() const { return begun_; }
  int Finish(int rc);

 private:
  Connection& c_;
  bool grouped_ = false;
  std::optional<WriterTurn> turn_;
  int begun_ = SQLITE_OK;
};

}  // namespace tarnix::platform::portable::registry
