// End-to-end tests of tarnix-host: description, acquisition, refusals. Shared
// by the native build and the DLL flavour under Wine: each test runs the
// program as a process and checks what it printed and wrote against what the
// board library itself answers in this process.
#pragma once

#include "host_common/host_cli_support.h"
#include "tarnix_version.h"

namespace hosttest {

TEST(HostCli, InfoDescribesTheBoardAndTraceShowsTheModulesLines) {
  HostResult r = RunHost({"--trace", "info"});
  ASSERT_EQ(r.exitCode, 0) << Show(r);
  int32_t serial = FirstSerial();
  std::string name = BoardName(serial).substr(0, 20);  // the record's field holds 20
  char line[200];
  EXPECT_HAS(r.out, "Driver                 VELQ Sorvik Interface");
  EXPECT_HAS(r.out, "Board                  " + name + "\n");
  std::snprintf(line, sizeof line, "Board library version  %d.%d.%d",
                VELQ_Query(kLibrarySerial, 1, 0), VELQ_Query(kLibrarySerial, 2, 0),
                VELQ_Query(kLibrarySerial, 3, 0));
  EXPECT_HAS(r.out, line);
  std::snprintf(line, sizeof line, "Sampling rate          1 .. %d Hz", VELQ_Query(serial, 102, 0));
  EXPECT_HAS(r.out, line);
  std::snprintf(line, sizeof line, "Analog outputs         %d\n", VELQ_Query(serial, 200, 0));
  EXPECT_HAS(r.out, line);
  std::snprintf(line, sizeof line, "Digital ports          %d ", VELQ_Query(serial, 400, 0));
  EXPECT_HAS(r.out, line);
  std::snprintf(line, sizeof line, "Counters               %d\n", VELQ_Query(serial, 300, 0));
  EXPECT_HAS(r.out, line);
  EXPECT_HAS(r.out, "Analog inputs          8\n");
  EXPECT_EQ(Occurrences(r.out, "    -10.000     10.000       4095"), 8u) << r.out;
  EXPECT_HAS(r.err, "[trace] TARNIX:DRV_InitDevice");
  EXPECT_HAS(r.err, "[trace] TARNIX - FillInfoBoard - Max = 10.00, Min = -10.00");
  EXPECT_HAS(r.err, "[trace] TARNIX - DRV_KillDevice");
}

TEST(HostCli, AcquireWritesCsvThatMatchesTheSignalGeneratorAndAPlot) {
  std::string csv = ScratchPath("run.csv");
  std::string svg = ScratchPath("run.svg");
  // Four channels at 2000 samples/s: 500 scans/s; 4 blocks of 200 samples.
  HostResult r =
      RunHost({"--sim-clock", "unthrottled", "acquire", "--channels", "4,0-2", "--rate", "2000",
               "--block-size", "200", "--blocks", "4", "--csv", csv, "--plot", svg});
  ASSERT_EQ(r.exitCode, 0) << Show(r);
  EXPECT_EQ(r.err.find("TARNIX"), std::string::npos) << "trace lines without --trace:\n" << r.err;
  EXPECT_HAS(r.out, "block 4/4  samples 800");

  std::vector<std::string> rows = Lines(WithoutCarriageReturns(ReadFile(csv)));
  ASSERT_EQ(rows.size(), 201u) << "header and 200 scans expected";
  EXPECT_EQ(rows[0], "time_s,ch0_V,ch1_V,ch2_V,ch4_V");
  const int channels[] = {0, 1, 2, 4};
  int32_t serial = FirstSerial();
  int mismatches = 0;
  for (size_t scan = 0; scan < 200; ++scan) {
    std::vector<double> row = CsvRow(rows[scan + 1]);
    ASSERT_EQ(row.size(), 5u) << rows[scan + 1];
    double t = static_cast<double>(scan) / 500.0;
    EXPECT_NEAR(row[0], t, 1e-6) << "time of scan " << scan;
    for (int i = 0; i < 4; ++i) {
      int32_t microvolts = 0;
      ASSERT_EQ(VELQSIM_SignalAt(serial, channels[i], t, &microvolts), 0);
      double expected = ExpectedVolts(microvolts);
      if (std::fabs(row[i + 1] - expected) > 1e-6 && ++mismatches <= 5) {
        ADD_FAILURE() << "scan " << scan << " channel " << channels[i] << ": got " << row[i + 1]
                      << " V, expected " << expected << " V (" << microvolts << " uV)";
      }
    }
  }
  EXPECT_EQ(mismatches, 0);

  // Statistics: one row per channel with its 200 samples; channel 4 is the
  // board's constant reference, so its mean is that value.
  int32_t reference = 0;
  VELQSIM_SignalAt(serial, 4, 0.0, &reference);
  char line[120];
  std::snprintf(line, sizeof line, "%8d %9d %11.4f %11.4f %11.4f", 4, 200, ExpectedVolts(reference),
                ExpectedVolts(reference), ExpectedVolts(reference));
  EXPECT_HAS(r.out, line);
  for (int channel : {0, 1, 2}) {
    std::snprintf(line, sizeof line, "\n%8d %9d ", channel, 200);
    EXPECT_HAS(r.out, line);
  }

  std::string picture = ReadFile(svg);
  EXPECT_EQ(picture.rfind("<?xml", 0), 0u);
  EXPECT_HAS(picture, "<svg xmlns=\"http://www.w3.org/2000/svg\"");
  EXPECT_EQ(Occurrences(picture, "<polyline"), 4u);
  EXPECT_HAS(picture, ">channel 4</text>");
  EXPECT_HAS(picture, "</svg>");
  std::remove(csv.c_str());
  std::remove(svg.c_str());
}

TEST(HostCli, RefusedSettingsPrintTheModulesTextAndFail) {
  int32_t maxRate = VELQ_Query(FirstSerial(), 102, 0);
  HostResult r = RunHost({"acquire", "--rate", std::to_string(maxRate + 1), "--blocks", "1"});
  EXPECT_EQ(r.exitCode, 3) << Show(r);
  EXPECT_HAS(r.err, "DRV_TestStruct failed: Wrong sampling frequency");

  HostResult block = RunHost({"acquire", "--block-size", "1", "--blocks", "1"});
  EXPECT_EQ(block.exitCode, 3) << Show(block);
  EXPECT_HAS(block.err, "Wrong block size");

  // A record the module does not know: refused at initialisation.
  HostResult version = RunHost({"--record-version", "16", "info"});
  EXPECT_EQ(version.exitCode, 3) << Show(version);
  EXPECT_HAS(version.err, "DRV_InitDevice failed: Wrong Sorvik Version");
  EXPECT_EQ(version.out, "");
}

TEST(HostCli, UnwritableOutputIsRefusedBeforeTheMeasurement) {
  // A folder that is not there: found before the module is even opened.
  const std::string missing = ScratchPath("no-such-folder") + "/out";
  for (const char* option : {"--csv", "--plot", "--wav"}) {
    HostResult r = RunHost({"--trace", "acquire", "--blocks", "1", option, missing});
    EXPECT_EQ(r.exitCode, 4) << option << "\n" << Show(r);
    EXPECT_HAS(r.err, "error: cannot write " + missing + ": ");
    EXPECT_EQ(r.err.find("DRV_InitDevice"), std::string::npos) << "the module was opened first";
    EXPECT_EQ(r.out.find("acquiring"), std::string::npos) << "the measurement was started";
  }
  // The check leaves nothing behind when the run fails later.
  const std::string fresh = ScratchPath("never-written.csv");
  int32_t maxRate = VELQ_Query(FirstSerial(), 102, 0);
  HostResult refused =
      RunHost({"acquire", "--rate", std::to_string(maxRate + 1), "--blocks", "1", "--csv", fresh});
  EXPECT_EQ(refused.exitCode, 3) << Show(refused);
  EXPECT_FALSE(std::ifstream(fresh).good()) << fresh << " was left behind";
}

TEST(HostCli, VersionFlagPrintsTheProjectVersionWithoutLoadingTheModule) {
  HostResult r = RunHost({"--version", "--module", BinDir() + "no-such-module.bin"});
  EXPECT_EQ(r.exitCode, 0) << Show(r);
  EXPECT_EQ(WithoutCarriageReturns(r.out), std::string("tarnix-host ") + TARNIX_VERSION + "\n");
}

TEST(HostCli, MissingOrIncompleteModulesAreReportedClearly) {
  HostResult missing = RunHost({"--module", BinDir() + "no-such-module.bin", "info"});
  EXPECT_EQ(missing.exitCode, 2) << Show(missing);
  EXPECT_HAS(missing.err, "cannot load the module");
  EXPECT_HAS(missing.err, "no-such-module.bin");

  std::string notALibrary = ScratchPath("not-a-library.txt");
  WriteFile(notALibrary, "this is text, not a library\n");
  HostResult text = RunHost({"--module", notALibrary, "info"});
  EXPECT_EQ(text.exitCode, 2) << Show(text);
  EXPECT_HAS(text.err, "cannot load the module");
  std::remove(notALibrary.c_str());

  HostResult partial = RunHost({"--module", ModuleFile("partial/partial-module"), "info"});
  EXPECT_EQ(partial.exitCode, 2) << Show(partial);
  EXPECT_HAS(partial.err, "lacks 29 of the 35 entry points");
  EXPECT_HAS(partial.err, "missing: DRV_GetInputBuf\n");
  EXPECT_HAS(partial.err, "missing: DRV_SaveWorksheet\n");
  EXPECT_EQ(partial.err.find("missing: DRV_InitDevice"), std::string::npos) << partial.err;
  EXPECT_EQ(Occurrences(partial.err, "missing: "), 29u);
}

TEST(HostCli, BoardProfileChangesTheBoardAndItsSignals) {
  std::string profile = ScratchPath("profile.json");
  WriteFile(profile,
            "{\"boards\": [{\"serial\": 4711, \"name\": \"Bench Rig 7\", \"maxRate\": 5000,\n"
            "  \"signals\": [{\"channel\": 0, \"kind\": \"constant\", \"offset\": 1250000},\n"
            "               {\"channel\": 1, \"kind\": \"constant\", \"offset\": -12000000}]}]}\n");
  std::string csv = ScratchPath("profile.csv");
  HostResult r =
      RunHost({"--board-config", profile, "--sim-clock", "unthrottled", "acquire", "-c", "0-1",
               "-r", "1000", "--block-size", "100", "--blocks", "2", "--csv", csv});
  ASSERT_EQ(r.exitCode, 0) << Show(r);
  EXPECT_HAS(r.out, "Board                  Bench Rig 7\n");
  EXPECT_HAS(r.out, "Sampling rate          1 .. 5000 Hz");
  std::vector<std::string> rows = Lines(WithoutCarriageReturns(ReadFile(csv)));
  ASSERT_EQ(rows.size(), 101u);
  for (size_t i = 1; i < rows.size(); ++i) {
    std::vector<double> row = CsvRow(rows[i]);
    ASSERT_EQ(row.size(), 3u);
    EXPECT_NEAR(row[1], ExpectedVolts(1250000), 1e-6) << "row " << i;
    EXPECT_NEAR(row[2], -10.0, 1e-6) << "row " << i << ": over-range reads the range's end";
  }
  std::remove(csv.c_str());

  WriteFile(profile, "{\"library\": {\"version\": [3, 5, 2]}}\n");
  HostResult old = RunHost({"--board-config", profile, "info"});
  EXPECT_EQ(old.exitCode, 3) << Show(old);
  EXPECT_HAS(old.err, "Wrong VELQ API Version");

  WriteFile(profile, "{\"boards\": [ {\"serial\": }\n");
  HostResult broken = RunHost({"--board-config", profile, "info"});
  EXPECT_NE(broken.exitCode, 0) << Show(broken);
  EXPECT_HAS(broken.err, "refused: ");
  EXPECT_HAS(broken.err, "line 1, column");
  std::remove(profile.c_str());
}

}  // namespace hosttest
