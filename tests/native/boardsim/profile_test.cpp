// Board sets described in JSON profiles: what they change, and how a broken
// profile is reported and refused.
#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "native/boardsim/sim_fixture.h"

namespace boardsim_test {
namespace {

using ProfileTest = SimTest;

std::string LastError() {
  char text[512] = {};
  EXPECT_EQ(VELQSIM_LastError(text, sizeof text), 0);
  return text;
}

std::string WriteTempFile(const std::string& name, const std::string& contents) {
  const std::filesystem::path path = std::filesystem::temp_directory_path() / name;
  std::ofstream(path, std::ios::binary) << contents;
  return path.string();
}

const char* const kThreeBoards = R"({
  "library": {"version": [3, 6, 1], "os": 1, "name": "No board here"},
  "boards": [
    {"serial": 111, "name": "Left", "type": 5, "revision": 9, "manufactured": [2001, 2, 3],
     "version": [4, 5, 6], "maxRate": 5000, "inputs": 4, "gains": [1000, 400],
     "ranges": [3, 2, 1, 0], "analogOutputs": 1, "counters": 2, "counterRate": [10, 0.5],
     "digitalPorts": 3, "portWidth": 4, "fifoCapacity": 50,
     "signals": [{"channel": 3, "kind": "square", "amplitude": 2000, "offset": -7, "frequency": 2}],
     "answers": [{"code": 102, "value": 4999}, {"code": 147, "param": 1, "value": 9}]},
    {"serial": 222},
    {"serial": 333, "analogOutputs": 0, "counters": 0, "digitalPorts": 0}
  ],
  "answers": [{"serial": 0, "code": 102, "value": 12}]
})";

TEST_F(ProfileTest, ProfileDescribesEveryAnswer) {
  ASSERT_EQ(VELQSIM_LoadProfileText(kThreeBoards), 0) << LastError();
  EXPECT_EQ(LastError(), "");
  const int32_t library[] = {VELQ_Query(kLibrary, 1, 0), VELQ_Query(kLibrary, 2, 0),
                             VELQ_Query(kLibrary, 3, 0), VELQ_Query(kLibrary, 4, 0),
                             VELQ_Query(kLibrary, 5, 0)};
  EXPECT_EQ(std::vector<int32_t>(library, library + 5), (std::vector<int32_t>{3, 6, 1, 1, 3}));
  EXPECT_EQ(VELQ_Query(kLibrary, 15, 2), 333);
  EXPECT_EQ(VELQ_Query(first_, 10, 0), kUnknownSerial) << "the default boards are gone";

  std::vector<int32_t> left;
  for (int32_t code : {10, 11, 12, 13, 14, 20, 21, 22, 102, 144, 146, 200, 300, 400}) {
    left.push_back(VELQ_Query(111, code, 0));
  }
  EXPECT_EQ(left, (std::vector<int32_t>{5, 9, 2001, 2, 3, 4, 5, 6, 4999, 2, 4, 1, 2, 3}));
  EXPECT_EQ(VELQ_Query(111, 145, 1), 400);
  EXPECT_EQ(VELQ_Query(111, 147, 0), 3);
  EXPECT_EQ(VELQ_Query(111, 147, 1), 9) << "the profile's own answer";
  EXPECT_EQ(VELQ_Query(0, 102, 0), 12);
  char name[40];
  VELQ_StrBoardName(111, name);
  EXPECT_STREQ(name, "Left");
  VELQ_StrBoardName(0, name);
  EXPECT_STREQ(name, "No board here");
  EXPECT_EQ(VELQ_Query(222, 102, 0), 100000) << "unstated fields take defaults";
  EXPECT_EQ(VELQ_Query(333, 400, 0), 0);
  EXPECT_EQ(VELQ_DioWrite(333, 0, 1), kBadPort);

  int32_t microvolts = 0;
  ASSERT_EQ(VELQSIM_SignalAt(111, 3, 0.3, &microvolts), 0);  // 2 Hz: second half-period
  EXPECT_EQ(microvolts, -2007);
  ASSERT_EQ(VELQSIM_SignalAt(111, 3, 0.175, &microvolts), 0);
  EXPECT_EQ(microvolts, 1993);

  // The counters ran on the real clock from the load until now: 4 s of the
  // virtual clock add exactly their rates' worth to whatever that was.
  ASSERT_EQ(VELQSIM_SetClock(kVelqSimVirtual), 0);
  int32_t before[2] = {-1, -1};
  ASSERT_EQ(VELQ_CTRead(111, 0, &before[0]), 0);
  ASSERT_EQ(VELQ_CTRead(111, 1, &before[1]), 0);
  int32_t value = 0;
  ASSERT_EQ(VELQSIM_AdvanceClock(4000000), 0);
  ASSERT_EQ(VELQ_CTRead(111, 0, &value), 0);
  EXPECT_EQ(value - before[0], 40);
  ASSERT_EQ(VELQ_CTRead(111, 1, &value), 0);
  EXPECT_EQ(value - before[1], 2);
  ASSERT_EQ(VELQ_DioWrite(111, 2, 0xFF), 0);
  ASSERT_EQ(VELQ_DioRead(111, 2, &value), 0);
  EXPECT_EQ(value, 0xF) << "4-bit ports";

  int32_t rate = 1000;
  int32_t channels[1] = {4};
  int32_t gains[1] = {0x301};
  EXPECT_EQ(VELQ_ADConfig(111, &rate, 0, 0, 0, channels, gains, 1), kBadChannel);
  channels[0] = 3;
  ASSERT_EQ(VELQ_ADConfig(111, &rate, 0, 0, 0, channels, gains, 1), 0);
  ASSERT_EQ(VELQ_ADStart(111), 0);
  ASSERT_EQ(VELQSIM_AdvanceClock(60000), 0);
  EXPECT_EQ(VELQ_Query(111, 109, 0), 50) << "the profile's FIFO capacity";
  EXPECT_EQ(VELQ_Query(111, 105, 0), 10);

  ASSERT_EQ(VELQSIM_LoadProfileText(R"({"boards": []})"), 0);
  EXPECT_EQ(VELQ_Query(kLibrary, 5, 0), 0);
  EXPECT_EQ(VELQ_Query(kLibrary, 15, 0), kBadParameter);
  EXPECT_EQ(VELQ_Query(kLibrary, 1, 0), 3) << "a profile without a library part keeps 3.5.3";
}

TEST_F(ProfileTest, MalformedProfileNamesTheLineAndTheLibraryRefusesUntilReset) {
  const char* broken = "{\n  \"boards\": [\n    {\"serial\": 5},\n    {\"serial\" 6}\n  ]\n}\n";
  EXPECT_EQ(VELQSIM_LoadProfileText(broken), kNotReady);
  const std::string error = LastError();
  EXPECT_EQ(error.rfind("line 4, column ", 0), 0u) << error;
  EXPECT_NE(error.find("syntax error"), std::string::npos) << error;

  EXPECT_EQ(VELQ_Query(kLibrary, 1, 0), kNotReady);
  EXPECT_EQ(VELQ_Query(5, 10, 0), kNotReady);
  int32_t rate = 10, list[1] = {0}, gains[1] = {0};
  EXPECT_EQ(VELQ_ADConfig(5, &rate, 0, 0, 0, list, gains, 1), kNotReady);
  int32_t buffer[4], count = 4;
  EXPECT_EQ(VELQ_ADGetData(5, buffer, &count), kNotReady);
  EXPECT_EQ(count, 0);
  int32_t value = 0;
  EXPECT_EQ(VELQ_DioRead(5, 0, &value), kNotReady);
  EXPECT_EQ(VELQ_CTWrite(5, 0, 1), kNotReady);
  char text[80];
  EXPECT_EQ(VELQ_StrBoardName(0, text), kNotReady);
  EXPECT_STREQ(text, "Invalid board profile");
  EXPECT_EQ(VELQ_StrError(kNotReady, text), kNotReady);
  EXPECT_STREQ(text, "Board library not ready: board profile is invalid")
      << "the reason still reads";

  ASSERT_EQ(VELQSIM_Reset(), 0);
  EXPECT_EQ(VELQ_Query(kLibrary, 1, 0), 3);
  EXPECT_EQ(LastError(), "");
  // A good profile ends a refusal too.
  EXPECT_EQ(VELQSIM_LoadProfileText(""), kNotReady);
  EXPECT_EQ(LastError().rfind("line 1, column 1: ", 0), 0u) << LastError();
  ASSERT_EQ(VELQSIM_LoadProfileText(R"({"boards": [{"serial": 5}]})"), 0);
  EXPECT_EQ(VELQ_Query(5, 102, 0), 100000);
}

TEST_F(ProfileTest, MeaningfulMistakesNameTheirPlace) {
  const std::pair<const char*, const char*> cases[] = {
      {R"({"board": []})", "profile: unknown key \"board\""},
      {R"({"boards": [{"serial": 1}, {"serial": 1}]})",
       "boards[1].serial: serial number used twice"},
      {R"({"boards": [{"name": "x"}]})", "boards[0]: needs \"serial\""},
      {R"({"boards": [{"serial": 1, "maxrate": 5}]})", "boards[0]: unknown key \"maxrate\""},
      {R"({"boards": [{"serial": 1, "maxRate": 0}]})",
       "boards[0].maxRate: must be from 1 to 10000000"},
      {R"({"boards": [{"serial": 1, "maxRate": 1.5}]})", "boards[0].maxRate: must be an integer"},
      {R"({"boards": [{"serial": 1000000000}]})", "boards[0].serial: must be from 1 to 999999999"},
      {R"({"boards": [{"serial": 1, "ranges": [1, 4]}]})",
       "boards[0].ranges[1]: must be from 0 to 3"},
      {R"({"boards": [{"serial": 1, "gains": []}]})",
       "boards[0].gains: must be an array of 1 to 256 integers"},
      {R"({"boards": [{"serial": 1, "counters": 2, "counterRate": [1]}]})",
       "boards[0].counterRate: needs one rate per counter"},
      {R"({"boards": [{"serial": 1, "inputs": 2, "signals": [{"channel": 2}]}]})",
       "boards[0].signals[0].channel: must be from 0 to 1"},
      {R"({"boards": [{"serial": 1, "signals": [{"channel": 0, "kind": "triangle"}]}]})",
       "boards[0].signals[0].kind: must be one of \"sine\", \"square\", \"ramp\", \"noise\", "
       "\"constant\", \"sequence\", \"replay\", \"loopback\""},
      {R"({"boards": [{"serial": 1, "signals": [{"channel": 0, "kind": "loopback"}]}]})",
       "boards[0].signals[0]: a \"loopback\" signal needs \"output\""},
      {R"({"boards": [{"serial": 1, "signals": [{"channel": 0, "kind": "loopback", "output": 2}]}]})",
       "boards[0].signals[0].output: must be from 0 to 1"},
      {R"({"boards": [{"serial": 1, "analogOutputs": 0, "signals": [{"channel": 0, "kind": "loopback", "output": 0}]}]})",
       "boards[0].signals[0]: a \"loopback\" signal needs an analog output to wire to"},
      {R"({"boards": [{"serial": 1, "signals": [{"channel": 0, "kind": "loopback", "output": 0, "offset": 5}]}]})",
       "boards[0].signals[0]: a \"loopback\" signal takes \"output\" only"},
      {R"({"boards": [{"serial": 1, "signals": [{"channel": 0, "output": 0}]}]})",
       "boards[0].signals[0].output: belongs to \"loopback\" signals only"},
      {R"({"boards": [{"serial": 1, "portWires": [{"output": 1, "input": 1}]}]})",
       "boards[0].portWires[0]: a port cannot be wired to itself"},
      {R"({"boards": [{"serial": 1, "portWires": [{"output": 0, "input": 2}]}]})",
       "boards[0].portWires[0].input: must be from 0 to 1"},
      {R"({"boards": [{"serial": 1, "digitalPorts": 3, "portWires": [{"output": 0, "input": 2}, {"output": 1, "input": 2}]}]})",
       "boards[0].portWires[1].input: port already driven by a wire"},
      {R"({"boards": [{"serial": 1, "portWires": [{"output": 0}]}]})",
       "boards[0].portWires[0]: needs \"output\" and \"input\" (digital ports)"},
      {R"({"boards": [{"serial": 1, "signals": [{"channel": 0, "kind": "sequence"}]}]})",
       "boards[0].signals[0]: a \"sequence\" signal needs \"step\" (microvolts)"},
      {R"({"boards": [{"serial": 1, "signals": [{"channel": 0, "kind": "sine", "step": 5}]}]})",
       "boards[0].signals[0].step: belongs to \"sequence\" signals only"},
      {R"({"boards": [{"serial": 1, "signals": [{"channel": 0, "kind": "replay", "file": "/nonexistent/run.csv", "column": 1}]}]})",
       "boards[0].signals[0].file: \"/nonexistent/run.csv\": cannot open the file"},
      {R"({"boards": [{"serial": 1, "loseSamples": {"after": 10}}]})",
       "boards[0].loseSamples: needs \"after\" and \"count\" (samples)"},
      {R"({"answers": [{"code": 1, "value": 2}]})", "answers[0]: needs \"serial\""},
      {R"({"library": {"version": [3, 5]}})", "library.version: must be an array of 3 integers"},
  };
  for (const auto& [profile, message] : cases) {
    EXPECT_EQ(VELQSIM_LoadProfileText(profile), kNotReady) << profile;
    EXPECT_EQ(LastError(), message) << profile;
    EXPECT_EQ(VELQ_Query(kLibrary, 1, 0), kNotReady) << profile;
  }
}

TEST_F(ProfileTest, ProfileFilesAreReadAndTheirFaultsLocated) {
  const std::string good = WriteTempFile("velqsim_good.json", kThreeBoards);
  ASSERT_EQ(VELQSIM_LoadProfile(good.c_str()), 0) << LastError();
  EXPECT_EQ(VELQ_Query(kLibrary, 5, 0), 3);

  const std::string bad =
      WriteTempFile("velqsim_bad.json", "{\r\n\"boards\": [\r\n  {\"serial\": 1,}\r\n]}");
  EXPECT_EQ(VELQSIM_LoadProfile(bad.c_str()), kNotReady);
  EXPECT_EQ(LastError().rfind(bad + ": line 3, column ", 0), 0u) << LastError();

  const std::string missing =
      (std::filesystem::temp_directory_path() / "velqsim_none.json").string();
  std::filesystem::remove(missing);
  EXPECT_EQ(VELQSIM_LoadProfile(missing.c_str()), kNotReady);
  EXPECT_EQ(LastError(), "cannot open profile \"" + missing + "\"");
  EXPECT_EQ(VELQSIM_LoadProfile(nullptr), kNullPointer);
  std::filesystem::remove(good);
  std::filesystem::remove(bad);
}

// A fresh process reads the profile named by VELQSIM_CONFIG on first use. A
// broken one shows that the file was read, located and refused in one child
// process (each child is a whole new process, slow under Wine).
TEST(ProfileEnvironmentTest, FirstUseReadsTheConfiguredProfile) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  const std::string bad = WriteTempFile("velqsim_env_bad.json", "{\n\n  oops\n}");
  static std::string setting;
  setting = "VELQSIM_CONFIG=" + bad;
  EXPECT_EXIT(
      {
        putenv(setting.data());
        char text[512] = {};
        VELQSIM_LastError(text, sizeof text);
        const bool refused = VELQ_Query(kLibrary, 1, 0) == kNotReady;
        const bool located = std::string(text).find(": line 3, column 3: ") != std::string::npos;
        // A reset then ends the refusal in the same process.
        const bool recovers = VELQSIM_Reset() == 0 && VELQ_Query(kLibrary, 1, 0) == 3;
        std::exit(refused && located && recovers ? 0 : 1);
      },
      ::testing::ExitedWithCode(0), "line 3");  // also reported on standard error
  std::filesystem::remove(bad);
}

}  // namespace
}  // namespace boardsim_test
