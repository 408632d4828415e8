// The portable registry's keys and values (contract in registry_store.h), on
// the connection of registry_connection.h.
#include "platform/portable/registry_store.h"

#include <sqlite3.h>

#include <string>

#include "platform/platform.h"
#include "platform/portable/registry_connection.h"

namespace tarnix::platform::portable::registry {
namespace {

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
  std::lock_guard<std::recursive_mutex> lock(c.mutex);
  std::vector<std::string> parts = SplitPath(path);
  KeyId current = root;
  if (parts.empty()) {
    *id = current;
    return kRegOk;
  }
  sqlite3* db = Open(c, false);
  if (!SchemaReady(c)) return kRegNotFound;  // an empty registry
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
  std::lock_guard<std::recursive_mutex> lock(c.mutex);
  sqlite3* db = Open(c, true);
  if (db == nullptr || !c.writable) return kRegAccessDenied;
  Change change(c);
  if (change.begun() != SQLITE_OK) return WriteFailure(change.begun());
  std::vector<std::string> parts = SplitPath(path);
  KeyId current = root;
  int rc = SQLITE_ROW;
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
  rc = change.Finish(rc == SQLITE_ROW ? SQLITE_OK : rc);
  if (rc != SQLITE_OK) return WriteFailure(rc);
  *id = current;
  return kRegOk;
}

long ReadValue(KeyId key, const char* name, uint32_t* type, std::vector<uint8_t>* data) {
  Connection& c = Conn();
  std::lock_guard<std::recursive_mutex> lock(c.mutex);
  sqlite3* db = Open(c, false);
  if (!SchemaReady(c)) return kRegNotFound;
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
  std::lock_guard<std::recursive_mutex> lock(c.mutex);
  sqlite3* db = Open(c, true);
  if (db == nullptr || !c.writable) return kRegAccessDenied;
  Change change(c);
  if (change.begun() != SQLITE_OK) return WriteFailure(change.begun());
  std::string spelled = name == nullptr ? "" : name;
  Statement write(
      db,
      "INSERT INTO reg_value (key, name, folded, type, data) VALUES (?1, ?2, ?3, ?4, ?5)"
      " ON CONFLICT (key, folded) DO UPDATE SET type = excluded.type,"
      " data = excluded.data");
  int rc = write.ok() ? SQLITE_OK : write.rc();
  if (rc == SQLITE_OK) {
    write.bind(1, key);
    write.bind(2, spelled);
    write.bind(3, Fold(spelled));
    write.bind(4, static_cast<int64_t>(type));
    write.bindBlob(5, data, size);
    rc = write.step();
    if (rc == SQLITE_DONE) rc = SQLITE_OK;
  }
  rc = change.Finish(rc);
  return rc == SQLITE_OK ? kRegOk : WriteFailure(rc);
}

}  // namespace tarnix::platform::portable::registry
