// The portable registry's own contract: persistence across processes, saves
// from several processes at once, a process killed while saving, where the
// file lives, and the Windows semantics the worksheet code relies on.
#include <poll.h>
#include <signal.h>
#include <sqlite3.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstring>

#include "settings/worksheet.h"
#include "settings_fixture.h"

namespace tarnix::testing {
namespace {

// Runs `body` in a child process. The registry is closed first (setting the
// path does that), so no SQLite connection crosses the fork; each process
// opens its own. The child exits with body's result, or 3 when any registry
// operation traced a failure.
template <typename Body>
pid_t Spawn(const std::string& storePath, Body body) {
  TarnixPortable_SetRegistryPath(storePath.c_str());
  fflush(nullptr);
  pid_t pid = fork();
  if (pid == 0) {
    static int failures = 0;
    TarnixPortable_SetTraceToStderr(0);
    TarnixPortable_SetTraceHook(
        [](const char* text, void*) {
          if (std::strstr(text, "Failed") != nullptr) {
            ++failures;
            std::fprintf(stderr, "child %d: %s", static_cast<int>(getpid()), text);
          }
        },
        nullptr);
    int result = body();
    _exit(failures > 0 ? 3 : result);
  }
  return pid;
}

int Wait(pid_t pid) {
  int status = 0;
  if (waitpid(pid, &status, 0) != pid) return -1;
  return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

std::string IntegrityCheck(const std::string& path) {
  sqlite3* db = nullptr;
  std::string result = "cannot open";
  if (sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READONLY, nullptr) == SQLITE_OK) {
    sqlite3_stmt* stmt = nullptr;
    if (sqlite3_prepare_v2(db, "PRAGMA integrity_check", -1, &stmt, nullptr) == SQLITE_OK &&
        sqlite3_step(stmt) == SQLITE_ROW) {
      result = reinterpret_cast<const char*>(sqlite3_column_text(stmt, 0));
    }
    sqlite3_finalize(stmt);
  }
  sqlite3_close_v2(db);
  return result;
}

using RegistryStoreTest = RegistryTest;

TEST_F(RegistryStoreTest, SettingsSurviveTheProcessInBothDirections) {
  pid_t saver = Spawn(storePath_, [] {
    SetSettings(13579, 1, -1, 1, 1);
    SaveWorksheet("handed over");
    return 0;
  });
  ASSERT_EQ(Wait(saver), 0);
  LoadWorksheet("handed over");
  EXPECT_EQ(Settings(), (std::vector<int32_t>{13579, 1, -1, 1, 1}));

  SetSettings(-5, 0, 2, 0, 0);
  SaveWorksheet("back");
  pid_t loader = Spawn(storePath_, [] {
    SetSettings(0, 9, 9, 9, 9);
    LoadWorksheet("back");
    return Settings() == std::vector<int32_t>{-5, 0, 2, 0, 0} ? 0 : 1;
  });
  EXPECT_EQ(Wait(loader), 0) << "the child did not load what this process saved";
}

// What sheet i of process p holds: every value says which save it came from.
std::vector<int32_t> SavedBy(int p, int i) { return {p * 1000 + i, p, i, -p, -i}; }

// The save a set of five values came from, if they are one save's.
bool OneSave(const std::vector<int32_t>& values) {
  int p = values[0] / 1000;
  return values[0] >= 0 && values == SavedBy(p, values[0] % 1000);
}

TEST_F(RegistryStoreTest, SeveralProcessesSavingAtOnceLoseNothingAndNeverMixTwoSaves) {
  constexpr int kProcesses = 3;
  constexpr int kSheets = 12;
  std::vector<int32_t> seed = SavedBy(9, 0);
  SetSettings(seed[0], seed[1], seed[2], seed[3], seed[4]);
  SaveWorksheet("shared");  // so that the reader below finds the common key from the start
  std::vector<pid_t> children;
  for (int p = 0; p < kProcesses; ++p) {
    children.push_back(Spawn(storePath_, [p] {
      for (int i = 0; i < kSheets; ++i) {
        std::vector<int32_t> values = SavedBy(p, i);
        SetSettings(values[0], values[1], values[2], values[3], values[4]);
        std::string name = "proc" + std::to_string(p) + "\\sheet" + std::to_string(i);
        SaveWorksheet(name.c_str());
        SaveWorksheet("shared");  // everyone also writes one common key
      }
      return 0;
    }));
  }
  // A reader meanwhile, until the savers are done (the pipe then closes):
  // every load of the common key gives one save's set.
  int savers[2];
  ASSERT_EQ(pipe(savers), 0);
  pid_t reader = Spawn(storePath_, [&savers] {
    close(savers[1]);
    int mixed = 0;
    for (pollfd done{savers[0], POLLIN, 0}; poll(&done, 1, 0) == 0;) {
      SetSettings(-1, -1, -1, -1, -1);
      LoadWorksheet("shared");
      if (!OneSave(Settings())) ++mixed;
    }
    return mixed == 0 ? 0 : 1;
  });
  close(savers[0]);
  for (pid_t child : children) EXPECT_EQ(Wait(child), 0);
  close(savers[1]);
  EXPECT_EQ(Wait(reader), 0) << "1: a load mixed two saves; 3: a load failed";

  int wrong = 0;
  for (int p = 0; p < kProcesses; ++p) {
    for (int i = 0; i < kSheets; ++i) {
      SetSettings(0, 0, 0, 0, 0);
      std::string name = "proc" + std::to_string(p) + "\\sheet" + std::to_string(i);
      LoadWorksheet(name.c_str());
      if (Settings() != SavedBy(p, i)) {
        ++wrong;
        ADD_FAILURE() << name << " got serial " << g_state.serialNo;
      }
    }
  }
  EXPECT_EQ(wrong, 0);
  EXPECT_EQ(IntegrityCheck(storePath_), "ok");
  // The common key holds all five values of one and the same save.
  SetSettings(-1, -1, -1, -1, -1);
  LoadWorksheet("shared");
  EXPECT_TRUE(OneSave(Settings())) << ::testing::PrintToString(Settings());
}

// The pattern of save i: every byte of every value is i.
int32_t Pattern(int i) {
  return static_cast<int32_t>(static_cast<uint32_t>(i & 0x7F) * 0x01010101u);
}

TEST_F(RegistryStoreTest, ProcessKilledWhileSavingLeavesTheLastWholeSave) {
  SetSettings(0, 0, 0, 0, 0);
  SaveWorksheet("crash");
  for (int round = 0; round < 3; ++round) {
    // The saver makes `whole` saves, then stops for good in the next one
    // right before its value number round + 2, and says so through a pipe:
    // the kill comes half way through a save, whatever the timing.
    const int whole = 2 + 3 * round;
    const int stopAt = whole * 5 + round + 2;  // counted in RegWriteNumber lines
    int stopped[2];
    ASSERT_EQ(pipe(stopped), 0);
    pid_t saver = Spawn(storePath_, [&stopped, stopAt] {
      close(stopped[0]);
      static int fd, writes, at;
      fd = stopped[1];
      writes = 0;
      at = stopAt;
      TarnixPortable_SetTraceHook(
          [](const char* text, void*) {
            if (std::strcmp(text, "TARNIX:RegWriteNumber\n") != 0 || ++writes != at) return;
            if (write(fd, "s", 1) == 1) pause();
          },
          nullptr);
      for (int i = 1;; ++i) {
        SetSettings(Pattern(i), Pattern(i), Pattern(i), Pattern(i), Pattern(i));
        SaveWorksheet("crash");
      }
      return 0;
    });
    close(stopped[1]);
    char signal = 0;
    ASSERT_EQ(read(stopped[0], &signal, 1), 1) << "the saver ended before its stop";
    kill(saver, SIGKILL);
    close(stopped[0]);
    EXPECT_EQ(Wait(saver), 128 + SIGKILL);

    // The store rolls back what the killed process left half done when it
    // next opens the file; after that the file is sound.
    TarnixPortable_SetRegistryPath(storePath_.c_str());
    for (const char* name : {"SerialNo", "ClockSource", "Gain", "Range", "Mode"}) {
      uint32_t type = 0;
      std::vector<uint8_t> data;
      ASSERT_TRUE(ReadRaw(std::string(kWorksheetBase) + "crash", name, &type, &data)) << name;
      EXPECT_EQ(type, platform::kRegDword) << name;
      ASSERT_EQ(data.size(), 4u) << name;
      // Nothing of the save cut short: every value as the last whole save
      // left it.
      EXPECT_EQ(data, (std::vector<uint8_t>(4, static_cast<uint8_t>(whole)))) << name;
    }
    EXPECT_EQ(IntegrityCheck(storePath_), "ok");
    // And the store still takes a save.
    SetSettings(round, round, round, round, round);
    SaveWorksheet("after crash");
    SetSettings(-1, -1, -1, -1, -1);
    LoadWorksheet("after crash");
    EXPECT_EQ(Settings(), (std::vector<int32_t>(5, round)));
  }
}

TEST_F(RegistryStoreTest, FileLocationFollowsTheEnvironmentAndReadsCreateNothing) {
  const std::string viaEnv = dir_ + "/env/nested/reg.sqlite3";
  const std::string viaXdg = dir_ + "/xdg";
  setenv("TARNIX_REGISTRY", viaEnv.c_str(), 1);
  TarnixPortable_SetRegistryPath(nullptr);
  SetSettings(1, 2, 3, 4, 5);
  LoadWorksheet("where");  // a read: no file, no directory
  struct stat info {};
  EXPECT_NE(::stat((dir_ + "/env").c_str(), &info), 0);
  SaveWorksheet("where");
  EXPECT_EQ(::stat(viaEnv.c_str(), &info), 0) << viaEnv;

  unsetenv("TARNIX_REGISTRY");
  const char* oldXdg = std::getenv("XDG_DATA_HOME");
  std::string savedXdg = oldXdg == nullptr ? "" : oldXdg;
  setenv("XDG_DATA_HOME", viaXdg.c_str(), 1);
  TarnixPortable_SetRegistryPath(nullptr);
  SetSettings(0, 0, 0, 0, 0);
  LoadWorksheet("where");  // another file: nothing there
  EXPECT_EQ(Settings(), (std::vector<int32_t>{0, 0, 0, 0, 0}));
  SaveWorksheet("where");
  EXPECT_EQ(::stat((viaXdg + "/tarnix/registry.sqlite3").c_str(), &info), 0);
  if (oldXdg == nullptr) {
    unsetenv("XDG_DATA_HOME");
  } else {
    setenv("XDG_DATA_HOME", savedXdg.c_str(), 1);
  }

  TarnixPortable_SetRegistryPath(viaEnv.c_str());
  LoadWorksheet("where");
  EXPECT_EQ(Settings(), (std::vector<int32_t>{1, 2, 3, 4, 5}));
}

TEST_F(RegistryStoreTest, StoreThatCannotExistOrIsNoDatabaseAnswersWindowsCodes) {
  platform::RegistryKey key = nullptr;
  // A place where no file can be created.
  TarnixPortable_SetRegistryPath("/proc/tarnix-no-such-dir/registry.sqlite3");
  EXPECT_EQ(platform::RegCreate("Software\\A", platform::kKeyAllAccess, &key),
            platform::kRegAccessDenied);
  EXPECT_EQ(key, nullptr);
  EXPECT_EQ(platform::RegOpen("Software\\A", platform::kKeyQueryValue, &key),
            platform::kRegNotFound);

  // A file that is not a store: refused, and left as it was.
  const std::string junk = dir_ + "/junk.sqlite3";
  FILE* f = fopen(junk.c_str(), "wb");
  ASSERT_NE(f, nullptr);
  std::string text(4096, 'j');
  fwrite(text.data(), 1, text.size(), f);
  fclose(f);
  TarnixPortable_SetRegistryPath(junk.c_str());
  EXPECT_NE(platform::RegCreate("Software\\A", platform::kKeyAllAccess, &key), platform::kRegOk);
  EXPECT_NE(platform::RegOpen("Software\\A", platform::kKeyQueryValue, &key), platform::kRegOk);
  struct stat info {};
  ASSERT_EQ(::stat(junk.c_str(), &info), 0);
  EXPECT_EQ(info.st_size, 4096);
}

// The two hives are separate trees in one store; the machine-write fault
// refuses every change to the machine's hive and leaves reading it, and the
// user's hive, alone.
TEST_F(RegistryStoreTest, HivesAreSeparateAndOnlyTheMachineHiveCanBeLocked) {
  using platform::Hive;
  const uint8_t one[] = {1, 0, 0, 0};
  const uint8_t two[] = {2, 0, 0, 0};
  platform::RegistryKey machine = nullptr;
  platform::RegistryKey user = nullptr;
  ASSERT_EQ(
      platform::RegCreate("Software\\Same", platform::kKeyAllAccess, &machine, Hive::kLocalMachine),
      platform::kRegOk);
  ASSERT_EQ(
      platform::RegCreate("software\\same", platform::kKeyAllAccess, &user, Hive::kCurrentUser),
      platform::kRegOk);
  EXPECT_EQ(platform::RegSet(machine, "V", platform::kRegDword, one, 4), platform::kRegOk);
  EXPECT_EQ(platform::RegSet(user, "V", platform::kRegDword, two, 4), platform::kRegOk);
  uint32_t type = 0;
  std::vector<uint8_t> data;
  ASSERT_TRUE(ReadRaw("Software\\Same", "V", &type, &data, Hive::kLocalMachine));
  EXPECT_EQ(data[0], 1);
  ASSERT_TRUE(ReadRaw("Software\\Same", "V", &type, &data, Hive::kCurrentUser));
  EXPECT_EQ(data[0], 2);
  platform::RegistryKey key = nullptr;
  EXPECT_EQ(platform::RegOpen("Software\\OnlyMachine", platform::kKeyQueryValue, &key,
                              Hive::kCurrentUser),
            platform::kRegNotFound);

  ASSERT_EQ(TarnixPortable_FailOperation("MachineWrite", 0, -1), 1);
  EXPECT_EQ(platform::RegSet(machine, "V", platform::kRegDword, two, 4),
            platform::kRegAccessDenied);
  EXPECT_EQ(platform::RegCreate("Software\\Same", platform::kKeyAllAccess, &key),
            platform::kRegAccessDenied);
  EXPECT_EQ(platform::RegOpen("Software\\Same", platform::kKeySetValue, &key),
            platform::kRegAccessDenied);
  ASSERT_EQ(platform::RegOpen("Software\\Same", platform::kKeyQueryValue, &key), platform::kRegOk);
  platform::RegClose(key);
  EXPECT_EQ(platform::RegSet(user, "V", platform::kRegDword, one, 4), platform::kRegOk);
  ASSERT_EQ(platform::RegCreate("Software\\New", platform::kKeyAllAccess, &key, Hive::kCurrentUser),
            platform::kRegOk);
  platform::RegClose(key);
  platform::RegClose(machine);
  platform::RegClose(user);
}

TEST_F(RegistryStoreTest, KeysAndValuesBehaveAsTheSystemRegistry) {
  platform::RegistryKey key = nullptr;
  ASSERT_EQ(platform::RegCreate("Software\\Mixed\\Case", platform::kKeyAllAccess, &key),
            platform::kRegOk);
  const uint8_t blob[] = {0, 1, 2, 0, 255, 7};
  EXPECT_EQ(platform::RegSet(key, "Blob", 3, blob, sizeof blob), platform::kRegOk);
  EXPECT_EQ(platform::RegSet(key, "Empty", 3, nullptr, 0), platform::kRegOk);
  platform::RegClose(key);

  // Every key on the way exists, found in any case.
  ASSERT_EQ(platform::RegOpen("SOFTWARE\\mixed", platform::kKeyQueryValue, &key), platform::kRegOk);
  platform::RegClose(key);
  ASSERT_EQ(platform::RegOpen("software\\MIXED\\case", platform::kKeyQueryValue, &key),
            platform::kRegOk);

  uint32_t type = 0;
  uint32_t size = 0;
  EXPECT_EQ(platform::RegQuery(key, "blob", &type, nullptr, &size), platform::kRegOk);
  EXPECT_EQ(type, 3u);
  EXPECT_EQ(size, sizeof blob);
  uint8_t small[4] = {9, 9, 9, 9};
  size = sizeof small;
  EXPECT_EQ(platform::RegQuery(key, "BLOB", &type, small, &size), 234);  // ERROR_MORE_DATA
  EXPECT_EQ(size, sizeof blob);
  uint8_t whole[8] = {};
  size = sizeof whole;
  EXPECT_EQ(platform::RegQuery(key, "Blob", &type, whole, &size), platform::kRegOk);
  EXPECT_EQ(std::vector<uint8_t>(whole, whole + size),
            std::vector<uint8_t>(blob, blob + sizeof blob));
  EXPECT_EQ(platform::RegQuery(key, "empty", &type, nullptr, &size), platform::kRegOk);
  EXPECT_EQ(size, 0u);
  EXPECT_EQ(platform::RegQuery(key, "Missing", &type, nullptr, &size), platform::kRegNotFound);
  // A key opened only for reading cannot set values.
  EXPECT_EQ(platform::RegSet(key, "Blob", 4, blob, 4), platform::kRegAccessDenied);
  platform::RegClose(key);

  EXPECT_EQ(platform::RegOpen("Software\\Mixed\\Other", platform::kKeyQueryValue, &key),
            platform::kRegNotFound);

  // Keys keep the spelling they were created with.
  sqlite3* db = nullptr;
  ASSERT_EQ(sqlite3_open_v2(storePath_.c_str(), &db, SQLITE_OPEN_READONLY, nullptr), SQLITE_OK);
  sqlite3_stmt* stmt = nullptr;
  ASSERT_EQ(sqlite3_prepare_v2(db, "SELECT group_concat(name, '/') FROM reg_key ORDER BY id", -1,
                               &stmt, nullptr),
            SQLITE_OK);
  ASSERT_EQ(sqlite3_step(stmt), SQLITE_ROW);
  EXPECT_STREQ(reinterpret_cast<const char*>(sqlite3_column_text(stmt, 0)), "Software/Mixed/Case");
  sqlite3_finalize(stmt);
  sqlite3_close_v2(db);
}

}  // namespace
}  // namespace tarnix::testing
