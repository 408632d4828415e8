// The portable registry's storage: keys below HKEY_LOCAL_MACHINE and
// HKEY_CURRENT_USER and their typed values, kept in one SQLite database file
// so that settings outlive the process.
//
// Where the file lives is the user's choice, in this order:
//   1. TarnixPortable_SetRegistryPath (tests and tools),
//   2. the environment variable TARNIX_REGISTRY (a file path),
//   3. $XDG_DATA_HOME/tarnix/registry.sqlite3,
//   4. $HOME/.local/share/tarnix/registry.sqlite3.
// Missing directories are created on the first write; reading never creates
// anything.
//
// Semantics the module relies on, as the system registry has them: key and
// value names compare without regard to (ASCII) case and keep the spelling
// they were created with; values keep their type and raw bytes; a missing
// key or value answers 2; a store that cannot be written answers 5. Every
// write is its own transaction (rollback journal, full sync) unless a group
// is open: then the group's writes are one transaction, committed when the
// group ends, so a process killed in the middle of a save leaves the whole
// save either old or new. Writers of all processes take turns, so several
// processes can save at once without losing a write or mixing two saves.
#pragma once

#include <cstdint>
#include <vector>

namespace tarnix::platform::portable::registry {

using KeyId = int64_t;

// The hives' roots. Keys are rows numbered from 1 up, so a negative root
// cannot be taken for a key, and stores written before the user's hive
// existed keep their machine keys under 0.
inline constexpr KeyId kMachineRoot = 0;  // HKEY_LOCAL_MACHINE itself
inline constexpr KeyId kUserRoot = -1;    // HKEY_CURRENT_USER itself

// Windows error codes answered besides kRegOk, kRegNotFound and
// kRegAccessDenied.
inline constexpr long kRegBadDb = 1009;     // ERROR_BADDB: not a registry store
inline constexpr long kRegCantRead = 1011;  // ERROR_CANTREAD: I/O failure on read
inline constexpr long kRegMoreData = 234;   // ERROR_MORE_DATA

// Finds an existing key; `path` is backslash-separated below the hive whose
// root is `root` (empty components are skipped, an empty path is the hive).
long FindKey(KeyId root, const char* path, KeyId* id);
// Finds or creates the key and every missing key on the way, in one
// transaction.
long CreateKey(KeyId root, const char* path, KeyId* id);
// Reads a value's type and data.
long ReadValue(KeyId key, const char* name, uint32_t* type, std::vector<uint8_t>* data);
// Creates or replaces a value (an existing value keeps its name's spelling).
long WriteValue(KeyId key, const char* name, uint32_t type, const void* data, uint32_t size);

// A group of calls as one transaction (platform.h, RegGroupBegin). The
// calling thread holds the store from GroupBegin to GroupEnd; groups nest
// by count, the outermost one decides. A write group that cannot get a
// writable store leaves its calls standing alone (they fail as they would).
void GroupBegin(bool forWriting);
long GroupEnd();

// Test and tool controls (see abi/portable_control.h).
void UsePath(const char* path);
void ForceReadOnly(bool readOnly);
void UseScratch(bool scratch);

}  // namespace tarnix::platform::portable::registry
