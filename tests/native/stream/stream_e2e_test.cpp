// Nothing lost, end to end: tarnix-host runs as a process against the
// simulated board with sequence and replay signals, and checks every sample.
#include <sndfile.h>

#include <cstdio>
#include <string>
#include <vector>

#include "host_common/host_cli_support.h"
#include "host_common/run_host_posix.h"
#include "sequence_check.h"

namespace hosttest {
namespace {

std::string SequenceBoard(const std::string& extra) {
  std::string path = ScratchPath("seq.json");
  WriteFile(path, R"({"boards": [{"serial": 4711, "maxRate": 250000, "inputs": 8, )" + extra +
                      R"("signals": [{"channel": 0, "kind": "sequence", "step": 4885},
                                     {"channel": 1, "kind": "sequence", "step": 9770},
                                     {"channel": 2, "kind": "sequence", "step": 4885, "amplitude": 2000000}]}]})");
  return path;
}

std::vector<std::string> Args(const std::string& profile, std::vector<std::string> more) {
  std::vector<std::string> args = {"--board-config", profile, "acquire"};
  args.insert(args.end(), more.begin(), more.end());
  return args;
}

// The check on its own: a climbing code stream with its wrap and the short
// step at zero passes; one sample dropped, one repeated, or a loss across
// the wrap is found and counted where it happened.
TEST(SequenceCheck, FindsLostAndRepeatedSamplesAcrossWrapsAndZero) {
  auto codes = [](size_t count, size_t skipAt, size_t repeatAt) {
    std::vector<int16_t> out;
    for (size_t k = 0; out.size() < count; ++k) {
      int32_t microvolts = -10000000 + static_cast<int32_t>(k % 4095) * 4885;
      if (k == skipAt) continue;
      out.push_back(static_cast<int16_t>(microvolts / 4885));
      if (k == repeatAt) out.push_back(out.back());
    }
    return out;
  };
  host::SequenceCheck clean({3});
  std::vector<int16_t> stream = codes(3 * 4095 + 17, SIZE_MAX, SIZE_MAX);
  clean.Feed(stream.data(), 1000);  // any split into blocks
  clean.Feed(stream.data() + 1000, stream.size() - 1000);
  EXPECT_EQ(clean.faults(), 0) << clean.channels()[0].firstFault;
  EXPECT_EQ(clean.checked(), static_cast<int64_t>(stream.size()) - 1);

  for (size_t skip : {size_t{300}, size_t{2048}, size_t{4095 * 2 - 1}}) {
    host::SequenceCheck check({0});
    std::vector<int16_t> lossy = codes(3 * 4095, skip, SIZE_MAX);
    check.Feed(lossy.data(), lossy.size());
    EXPECT_EQ(check.channels()[0].gaps, 1) << "sample " << skip << " dropped";
    EXPECT_EQ(check.channels()[0].repeats, 0) << "sample " << skip << " dropped";
  }
  host::SequenceCheck twice({0});
  std::vector<int16_t> repeated = codes(3 * 4095, SIZE_MAX, 5000);
  twice.Feed(repeated.data(), repeated.size());
  EXPECT_EQ(twice.channels()[0].repeats, 1);
  EXPECT_EQ(twice.channels()[0].gaps, 0);
}

// One second at 30000 samples/s on the wall clock, while other tests load
// the machine: the board's FIFO (a million samples by default) holds half a
// minute of it, and the host waits up to a minute for a block, so only a
// fault overruns or times out, never a slow turn of this process.
TEST(StreamE2e, SequenceRunPassesAndADroppedBlockFailsIt) {
  HostResult good = RunHost(
      Args(SequenceBoard(""), {"-c", "0-2", "-r", "30000", "--duration", "1", "--block-size", "255",
                               "--timeout", "60", "--check-sequence", "--count-only"}));
  ASSERT_EQ(good.exitCode, 0) << Show(good);
  EXPECT_HAS(good.out, "sequence check passed");
  EXPECT_HAS(good.out, "overruns: 0\n");
  EXPECT_HAS(good.out, "host CPU: ");
  EXPECT_HAS(good.out, "       0        0      2\n");  // channel 1 climbs two codes a sample

  // The board loses one block's worth of samples silently (85 scans): no overrun, only
  // the check can tell.
  HostResult bad = RunHost(Args(SequenceBoard(R"("loseSamples": {"after": 9000, "count": 255}, )"),
                                {"-c", "0-2", "-r", "30000", "--duration", "1", "--block-size",
                                 "255", "--timeout", "60", "--check-sequence", "--count-only"}));
  EXPECT_EQ(bad.exitCode, 6) << Show(bad);
  EXPECT_HAS(bad.out, "sequence check FAILED");
  EXPECT_HAS(bad.out, "overruns: 0\n");
  EXPECT_EQ(Occurrences(bad.out, "        1        0      "), 3u)
      << bad.out;  // one gap per channel
}

TEST(StreamE2e, SlowHostOverrunsOnceStopsAndKeepsEarlierSamplesIntact) {
  HostResult r =
      RunHost(Args(SequenceBoard(R"("fifoCapacity": 20000, )"),
                   {"-c", "0-2", "-r", "200000", "--block-size", "4096", "--buffer-size", "16384",
                    "--duration", "5", "--host-delay", "100", "--check-sequence", "--count-only"}));
  EXPECT_EQ(r.exitCode, 3) << Show(r);
  EXPECT_EQ(Occurrences(r.out, "overruns: 1\n"), 1u) << Show(r);
  EXPECT_HAS(r.out, "overrun message: Driver buffer or hardware FIFO overrun!");
  EXPECT_HAS(r.err, "stopped by an overrun");
  EXPECT_HAS(r.out, "sequence check passed");
  EXPECT_EQ(Occurrences(r.out, "sequence check FAILED"), 0u);
}

TEST(StreamE2e, RecordedCsvAndWavReplayToTheSameCodes) {
  std::string recorded = ScratchPath("recorded.csv");
  HostResult rec = RunHost(Args(SequenceBoard(""), {"-c", "0-2", "-r", "3000", "--blocks", "4",
                                                    "--block-size", "300", "--csv", recorded}));
  ASSERT_EQ(rec.exitCode, 0) << Show(rec);
  std::string replay = ScratchPath("replay.json");
  WriteFile(replay, R"({"boards": [{"serial": 4711, "inputs": 8, "signals": [
      {"channel": 5, "kind": "replay", "file": ")" +
                        recorded +
                        R"(", "column": "ch1_V", "resample": false, "loop": false},
      {"channel": 6, "kind": "replay", "file": ")" +
                        recorded + R"(", "column": 3, "resample": false}]}]})");
  std::string back = ScratchPath("back.csv");
  HostResult again = RunHost({"--board-config", replay, "acquire", "-c", "5,6", "-r", "2000",
                              "--blocks", "6", "--block-size", "200", "--csv", back});
  ASSERT_EQ(again.exitCode, 0) << Show(again);
  std::vector<std::string> first = Lines(ReadFile(recorded));
  std::vector<std::string> second = Lines(ReadFile(back));
  ASSERT_EQ(first.size(), 401u);
  ASSERT_EQ(second.size(), 601u);
  for (size_t row = 1; row < second.size(); ++row) {
    std::vector<double> was = CsvRow(first[std::min<size_t>(row, 400)]);
    std::vector<double> now = CsvRow(second[row]);
    EXPECT_EQ(now[1], was[2]) << "row " << row << " (held after the end)";
    EXPECT_EQ(now[2], CsvRow(first[(row - 1) % 400 + 1])[3]) << "row " << row << " (looped)";
  }

  // A WAV file of 16-bit PCM: full scale 5 V, one code per 4885 uV.
  std::string wav = ScratchPath("tone.wav");
  SF_INFO info{};
  info.samplerate = 1000;
  info.channels = 2;
  info.format = SF_FORMAT_WAV | SF_FORMAT_PCM_16;
  SNDFILE* file = sf_open(wav.c_str(), SFM_WRITE, &info);
  ASSERT_NE(file, nullptr) << sf_strerror(nullptr);
  const std::vector<short> frames = {0, 16384, 32767, -16384, -32768, 6553, 100, 0};
  sf_writef_short(file, frames.data(), 4);
  sf_close(file);
  std::string wavBoard = ScratchPath("wav.json");
  WriteFile(wavBoard, R"({"boards": [{"serial": 4711, "inputs": 8, "signals": [
      {"channel": 0, "kind": "replay", "file": ")" +
                          wav + R"(", "column": 1, "fullScale": 5, "resample": false}]}]})");
  std::string wavOut = ScratchPath("wav.csv");
  HostResult w = RunHost({"--board-config", wavBoard, "acquire", "-c", "0", "-r", "100", "--blocks",
                          "1", "--block-size", "8", "--csv", wavOut});
  ASSERT_EQ(w.exitCode, 0) << Show(w);
  std::vector<std::string> rows = Lines(ReadFile(wavOut));
  ASSERT_EQ(rows.size(), 9u);
  const int codes[4] = {511, -511, 204, 0};  // 2.5 V, -2.5 V, 0.99988 V, 0 V (looped)
  for (size_t i = 0; i < 8; ++i) {
    double volts = CsvRow(rows[i + 1])[1];
    EXPECT_NEAR(volts, codes[i % 4] * 10.0 / 2047.0, 1e-6) << "frame " << i;
  }

  // A missing column is refused when the profile is loaded, naming the file.
  WriteFile(replay, R"({"boards": [{"serial": 4711, "signals": [{"channel": 0, "kind": "replay",
      "file": ")" + recorded +
                        R"(", "column": "ch7_V"}]}]})");
  HostResult refused = RunHost({"--board-config", replay, "info"});
  EXPECT_NE(refused.exitCode, 0);
  EXPECT_HAS(refused.err, "boards[0].signals[0].file: \"" + recorded + "\": no column \"ch7_V\"");
  // So is a WAV of a sample format the board does not play.
  info.format = SF_FORMAT_WAV | SF_FORMAT_PCM_U8;
  file = sf_open(wav.c_str(), SFM_WRITE, &info);
  ASSERT_NE(file, nullptr) << sf_strerror(nullptr);
  sf_writef_short(file, frames.data(), 4);
  sf_close(file);
  refused = RunHost({"--board-config", wavBoard, "info"});
  EXPECT_NE(refused.exitCode, 0);
  EXPECT_HAS(refused.err,
             "\": sample format not supported (16, 24 or 32-bit PCM or 32-bit float only)");
  for (const std::string& path : {recorded, back, wav, wavOut}) std::remove(path.c_str());
}

}  // namespace
}  // namespace hosttest
