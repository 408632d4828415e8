// End-to-end tests of tarnix-host: I/O, worksheets, dialogs, help. Shared by
// the native build and the DLL flavour under Wine, like host_cli_cases.h.
#pragma once

#include "host_common/host_cli_support.h"

namespace hosttest {

TEST(HostCli, IoWritesAndReadsBackThroughTheModule) {
  // Virtual clock: the counters hold still between write and read.
  HostResult r = RunHost({"--sim-clock", "virtual", "io", "--ao", "1=2.5V", "--ao", "0=32768",
                          "--do", "1=0x15A", "--di", "1", "--cw", "2=4000000000", "--cr", "2"});
  ASSERT_EQ(r.exitCode, 0) << Show(r);
  char text[120];
  // 2.5 V is the nearest code of the output scale (305 uV per code, code
  // 32768 at 0 V).
  int code = static_cast<int>(std::lround((2500000.0 + 9994240.0) / 305.0));
  std::snprintf(text, sizeof text, "analog output 1 = code %d (%.4f V)", code,
                (305.0 * code - 9994240.0) / 1e6);
  EXPECT_HAS(r.out, text);
  EXPECT_HAS(r.out, "analog output 0 = code 32768 (0.0000 V)");
  EXPECT_HAS(r.out, "digital port 1 <- 346 (0x15A)");
  EXPECT_HAS(r.out, "digital port 1 = 90 (0x5A)");  // an 8-bit port keeps the low bits
  EXPECT_HAS(r.out, "counter 2 <- 4000000000");
  EXPECT_HAS(r.out, "counter 2 = 4000000000");

  // A port the board does not have: the library's own words, exit 3.
  int32_t value = 0;
  int32_t status = VELQ_DioRead(FirstSerial(), 99, &value);
  ASSERT_LT(status, 0);
  HostResult bad = RunHost({"io", "--di", "99"});
  EXPECT_EQ(bad.exitCode, 3) << Show(bad);
  EXPECT_HAS(bad.err, "reading digital port 99 failed: " + LibraryError(status));

  HostResult usage = RunHost({"io", "--ao", "0=12V"});
  EXPECT_EQ(usage.exitCode, 5) << Show(usage);
  HostResult nothing = RunHost({"io"});
  EXPECT_EQ(nothing.exitCode, 5) << Show(nothing);
  HostResult channels = RunHost({"acquire", "--channels", "0-16"});
  EXPECT_EQ(channels.exitCode, 5) << Show(channels);
  EXPECT_HAS(channels.err, "bad channel item '0-16'");
}

TEST(HostCli, WorksheetsSaveAndLoadTheSettings) {
  std::string name = "host-test-" + std::to_string(FirstSerial()) + "-" +
                     std::to_string(std::hash<std::string>{}(ScratchPath("ws")) % 100000);
  HostResult r = RunHost({"--trace", "worksheet", "new", "save", name, "load", name});
  ASSERT_EQ(r.exitCode, 0) << Show(r);
  EXPECT_HAS(r.out, "saved worksheet '" + name + "'");
  EXPECT_HAS(r.err, "TARNIX:DRV_SaveWorksheet - Path = Software\\Morvane\\VELQ\\Sorvik\\" + name);
  char settings[160];
  std::snprintf(settings, sizeof settings,
                "SerialNo = %d, ClkSrc = 0, Gain = 0, Range = 0, Mode = 0", FirstSerial());
  EXPECT_HAS(r.err, std::string("TARNIX:DRV_SaveWorksheet - ") + settings);
  EXPECT_HAS(r.err, std::string("TARNIX:DRV_LoadWorksheet - ") + settings);
  EXPECT_EQ(r.err.find("Failed"), std::string::npos) << r.err;

  HostResult unknown = RunHost({"--trace", "worksheet", "load", name + "-never-saved"});
  EXPECT_EQ(unknown.exitCode, 0) << Show(unknown);
  EXPECT_EQ(Occurrences(unknown.err, "RegReadNumber - Failed to create/open key (2)"), 5u)
      << unknown.err;

  HostResult noName = RunHost({"worksheet", "save"});
  EXPECT_EQ(noName.exitCode, 5) << Show(noName);
}

TEST(HostCli, SetupDialogShowsTheBoardsAndTakesTheUsersChoices) {
  int32_t serial = FirstSerial();
  int32_t second = VELQ_Query(kLibrarySerial, tarnix::velq::kBoardSerial, 1);
  HostResult r = RunHost({"setup", "--clock", "external", "--range", "1", "--gain", "1"});
  ASSERT_EQ(r.exitCode, 0) << Show(r);
  char text[200];
  std::snprintf(text, sizeof text, "Boards installed %d\n", VELQ_Query(kLibrarySerial, 5, 0));
  EXPECT_HAS(r.out, text);
  std::snprintf(text, sizeof text, "Board            [%d] | %d", serial, second);
  EXPECT_HAS(r.out, text);
  EXPECT_HAS(r.out, "Board name       " + BoardName(serial) + "\n");
  EXPECT_HAS(r.out, "Clock source     Internal Clock | [External Clock]");
  int32_t span = VELQ_Query(serial, 145, 1);
  std::snprintf(text, sizeof text, "| [+/-10000 or +/-%d] |", span / 2);
  EXPECT_HAS(r.out, text);
  EXPECT_HAS(r.out, "A/D mode         [Normal Mode] | Burst Mode");
  EXPECT_HAS(r.out, "pressed OK");
  // Range position 1 gives four inputs limited to the gain's whole volts.
  EXPECT_HAS(r.out, "Analog inputs          4\n");

  HostResult other = RunHost({"setup", "--board", "1", "--cancel"});
  ASSERT_EQ(other.exitCode, 0) << Show(other);
  std::snprintf(text, sizeof text, "Board            %d | [%d]", serial, second);
  EXPECT_HAS(other.out, text);
  EXPECT_HAS(other.out, "Board name       " + BoardName(second) + "\n");
  EXPECT_HAS(other.out, "pressed Cancel");
  EXPECT_HAS(other.out, "Analog inputs          8\n");  // Cancel leaves the description

  HostResult about = RunHost({"about"});
  EXPECT_EQ(about.exitCode, 0) << Show(about);
  EXPECT_HAS(about.out, "about box shown and closed with OK");
}

TEST(HostCli, EverySubcommandExplainsItselfWithExamples) {
  for (const char* command : {"info", "acquire", "io", "worksheet", "setup", "about"}) {
    HostResult r = RunHost({command, "--help"});
    EXPECT_EQ(r.exitCode, 0) << command << "\n" << Show(r);
    EXPECT_HAS(r.out, "Example");
    EXPECT_HAS(r.out, std::string("tarnix-host ") + command);
  }
  HostResult none = RunHost({});
  EXPECT_NE(none.exitCode, 0) << Show(none);
}

}  // namespace hosttest
