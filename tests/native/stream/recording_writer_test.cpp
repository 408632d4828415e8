// The recording's writer on its own, read back by libsndfile: a recording
// joined in the middle of a scan starts with the next whole one, blocks that
// end inside scans lose nothing, a last part-scan is left out, an existing
// file is refused; the header is right after every refresh, and past the
// RIFF limit the file turns into RF64 (the limit lowered here, so that a few
// kilobytes pass it). And the plot's columns: however long the run, a
// bounded number of points that keep every peak.
#include <gtest/gtest.h>
#include <sndfile.h>

#include <cstdio>
#include <string>
#include <vector>

#include "host_common/run_host_posix.h"
#include "plot_columns.h"
#include "wav_recorder.h"

namespace hosttest {
namespace {

host::RunInfo TwoInputs() {
  host::RunInfo run;
  run.channels = {3, 7};
  run.rate = 2000;
  run.rangeMax = 10;
  run.rangeMin = -10;
  run.boardName = "Writer bench";
  return run;
}

// Every frame libsndfile reads from `path`, interleaved.
std::vector<short> ReadBack(const std::string& path, SF_INFO* info) {
  *info = SF_INFO{};
  SNDFILE* file = sf_open(path.c_str(), SFM_READ, info);
  if (file == nullptr) {
    ADD_FAILURE() << path << ": " << sf_strerror(nullptr);
    return {};
  }
  std::vector<short> codes(static_cast<size_t>(info->frames * info->channels));
  EXPECT_EQ(sf_readf_short(file, codes.data(), info->frames), info->frames);
  sf_close(file);
  return codes;
}

TEST(RecordingWriter, JoinsAtTheNextWholeScanCarriesPartScansAndRefusesAnExistingFile) {
  const std::string path = ScratchPath("joined.wav");
  // The stream's codes are their sample numbers. Joined at sample 5, inside
  // scan 2, the first frame is scan 3 (samples 6 and 7); the last block ends
  // with sample 116, half a scan, which is left out.
  std::vector<int16_t> stream(200);
  for (size_t k = 0; k < stream.size(); ++k) stream[k] = static_cast<int16_t>(k);
  host::WavRecorder recorder(path, host::CreateMode::kNew);
  ASSERT_TRUE(recorder.Begin(TwoInputs())) << recorder.failure();
  size_t at = 5;
  for (size_t count : {1, 6, 101, 4}) {  // blocks that end inside scans
    ASSERT_TRUE(recorder.Take(stream.data() + at, count, static_cast<int64_t>(at)));
    at += count;
  }
  host::WavRecorder again(path, host::CreateMode::kNew);
  EXPECT_FALSE(again.Begin(TwoInputs()));
  EXPECT_EQ(again.created(), host::CreateOutcome::kExists);
  EXPECT_EQ(recorder.leftOut(), 1u);
  ASSERT_TRUE(recorder.Finish()) << recorder.failure();

  SF_INFO info;
  std::vector<short> codes = ReadBack(path, &info);
  EXPECT_EQ(info.channels, 2);
  EXPECT_EQ(info.samplerate, 1000);
  ASSERT_EQ(codes.size(), 2u * 55);  // samples 6 .. 115
  for (size_t k = 0; k < codes.size(); ++k) EXPECT_EQ(codes[k], static_cast<short>(6 + k)) << k;
  std::remove(path.c_str());
}

TEST(RecordingWriter, HeaderFollowsEveryRefreshAndTurnsIntoRf64PastTheLimit) {
  const std::string path = ScratchPath("grows.wav");
  host::WavWriter writer(4000);
  host::WavFormat format{2, 1000, host::RecordingDescription(TwoInputs(), "2026-01-01T00:00:00Z")};
  host::CreateOutcome outcome;
  ASSERT_TRUE(writer.Create(path, host::CreateMode::kReplace, format, &outcome)) << writer.error();
  std::vector<int16_t> frames(2 * 1500);
  for (size_t k = 0; k < frames.size(); ++k) frames[k] = static_cast<int16_t>(k * 7 - 9000);
  SF_INFO info;
  size_t written = 0;
  for (size_t count : {10, 500, 990}) {
    ASSERT_TRUE(writer.Append(frames.data() + 2 * written, count));
    ASSERT_TRUE(writer.Refresh()) << writer.error();
    written += count;
    // What a reader sees of the file as it stands: every frame so far.
    std::vector<short> codes = ReadBack(path, &info);
    EXPECT_EQ(ReadFile(path).substr(0, 4), written * 4 + 400 < 4000 ? "RIFF" : "RF64");
    ASSERT_EQ(codes.size(), 2 * written);
    EXPECT_TRUE(std::equal(codes.begin(), codes.end(), frames.begin())) << written << " frames";
  }
  ASSERT_TRUE(writer.Close()) << writer.error();
  std::string bytes = ReadFile(path);
  EXPECT_EQ(bytes.substr(12, 4), "ds64");
  EXPECT_EQ(bytes.size(), writer.bytes());
  std::remove(path.c_str());
}

TEST(PlotColumns, KeepBoundedPointsAndEveryPeakOfALongRun) {
  host::PlotColumns plot(100);
  host::RunInfo run = TwoInputs();
  run.channels = {0};
  ASSERT_TRUE(plot.Begin(run));
  std::vector<int16_t> block(1000);
  for (int64_t first = 0; first < 1000000; first += 1000) {
    for (size_t k = 0; k < block.size(); ++k) {
      int64_t scan = first + static_cast<int64_t>(k);
      block[k] = scan == 123457 ? 2047 : scan == 876543 ? -2047 : static_cast<int16_t>(scan % 100);
    }
    ASSERT_TRUE(plot.Take(block.data(), block.size(), first));
  }
  std::vector<host::PlotColumns::Point> trace = plot.Trace(0);
  EXPECT_LE(trace.size(), 4u * 100);
  EXPECT_GE(trace.size(), 100u);
  bool peak = false, dip = false, ordered = true;
  for (size_t i = 0; i < trace.size(); ++i) {
    peak = peak || (trace[i].scan == 123457 && trace[i].code == 2047);
    dip = dip || (trace[i].scan == 876543 && trace[i].code == -2047);
    ordered = ordered && (i == 0 || trace[i].scan > trace[i - 1].scan);
  }
  EXPECT_TRUE(peak && dip && ordered);
  int16_t low = 0, high = 0;
  ASSERT_TRUE(plot.Extremes(&low, &high));
  EXPECT_EQ(low, -2047);
  EXPECT_EQ(high, 2047);
  EXPECT_EQ(plot.scans(), 1000000);
}

}  // namespace
}  // namespace hosttest
