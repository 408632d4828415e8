// Replaying WAV files: a TARNIX recording plays the codes it holds so that
// the module converts them back to the same codes, on its own scale and
// rate; the file is read as the scan reaches it; what cannot be played is
// refused when the profile is loaded. The files are written here byte by
// byte, as the recording's layout describes them.
#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>

#include "acquire/convert.h"
#include "native/boardsim/sim_fixture.h"

namespace boardsim_test {
namespace {

using ReplayTest = SimTest;
constexpr int32_t kBoard = 4711;

struct WavFile {
  int32_t channels = 1;
  std::vector<int16_t> frames;  // interleaved
  int32_t headerRate = 1000;
  int32_t bits = 16;
  bool rf64 = false;
  bool described = true;    // carries a "tnxr" chunk
  std::string description;  // its text
};

void Put(std::string& out, uint64_t value, int bytes) {
  for (int i = 0; i < bytes; ++i) out.push_back(static_cast<char>((value >> (8 * i)) & 0xFF));
}

void PutChunk(std::string& out, const char* id, const std::string& body) {
  out += id;
  Put(out, body.size(), 4);
  out += body;
  if (body.size() % 2 != 0) out.push_back('\0');
}

std::string WavBytes(const WavFile& wav) {
  std::string data;
  for (int16_t value : wav.frames) {
    Put(data, static_cast<uint64_t>(static_cast<int64_t>(value) << (wav.bits - 16)), wav.bits / 8);
  }
  const uint32_t blockAlign = static_cast<uint32_t>(wav.channels * wav.bits / 8);
  std::string format;
  Put(format, 1, 2);  // PCM
  Put(format, static_cast<uint64_t>(wav.channels), 2);
  Put(format, static_cast<uint64_t>(wav.headerRate), 4);
  Put(format, static_cast<uint64_t>(wav.headerRate) * blockAlign, 4);
  Put(format, blockAlign, 2);
  Put(format, static_cast<uint64_t>(wav.bits), 2);
  std::string body;
  PutChunk(body, "fmt ", format);
  // RF64 readers (libsndfile's among them) skip a chunk without its pad
  // byte, so a writer keeps the description's size even.
  std::string description = wav.description;
  if (wav.rf64 && description.size() % 2 != 0) description += '\n';
  if (wav.described) PutChunk(body, "tnxr", description);
  const size_t riffSize = 4 + 36 + body.size() + 8 + data.size();
  std::string out = wav.rf64 ? "RF64" : "RIFF";
  Put(out, wav.rf64 ? 0xFFFFFFFFu : riffSize, 4);
  out += "WAVE";
  std::string reserve;  // JUNK in a plain file, ds64 once it is RF64
  Put(reserve, riffSize, 8);
  Put(reserve, data.size(), 8);
  Put(reserve, wav.frames.size() / static_cast<size_t>(wav.channels), 8);
  Put(reserve, 0, 4);
  PutChunk(out, wav.rf64 ? "ds64" : "JUNK", wav.rf64 ? reserve : std::string(28, '\0'));
  out += body;
  out += "data";
  Put(out, wav.rf64 ? 0xFFFFFFFFu : data.size(), 4);
  return out + data;
}

std::string WriteWav(const std::string& name, const WavFile& wav) {
  const std::filesystem::path path = std::filesystem::temp_directory_path() / name;
  std::ofstream(path, std::ios::binary) << WavBytes(wav);
  return path.string();
}

std::string Description(const std::string& channels, const std::string& voltsPerCode,
                        const std::string& offsets, const std::string& scanRate) {
  return "format=tarnix-recording 1\nchannels=" + channels + "\nvolts_per_code=" + voltsPerCode +
         "\noffset_volts=" + offsets + "\nscan_rate=" + scanRate +
         "\nboard_serial=20130017\nboard_name=VQ-1608 Multifunction\n";
}

std::string Quoted(const std::string& text) {
  std::string out = "\"";
  for (char c : text) out += c == '\\' ? std::string("\\\\") : std::string(1, c);
  return out + "\"";
}

// A board 4711 whose inputs play `signals` (JSON objects without "channel",
// numbered from input 0 on), on the virtual clock.
int32_t LoadBoard(const std::vector<std::string>& signals) {
  std::string list;
  for (size_t i = 0; i < signals.size(); ++i) {
    list += (i == 0 ? "" : ", ") + std::string("{\"channel\": ") + std::to_string(i) +
            ", \"kind\": \"replay\", " + signals[i] + "}";
  }
  const std::string profile = R"({"boards": [{"serial": 4711, "signals": [)" + list + "]}]}";
  const int32_t status = VELQSIM_LoadProfileText(profile.c_str());
  if (status == 0) {
    EXPECT_EQ(VELQSIM_SetClock(kVelqSimVirtual), 0);
  }
  return status;
}

std::string LastError() {
  char text[512] = {};
  VELQSIM_LastError(text, sizeof text);
  return text;
}

// `scans` whole scans of `channels` inputs 0.. at `scanRate`, on the virtual clock.
std::vector<int32_t> Scan(int32_t channels, int32_t scanRate, int32_t scans) {
  std::vector<int32_t> list(static_cast<size_t>(channels));
  for (int32_t i = 0; i < channels; ++i) list[static_cast<size_t>(i)] = i;
  int32_t rate = scanRate * channels;
  std::vector<int32_t> gains(list.size(), 0x100);
  EXPECT_EQ(VELQ_ADConfig(kBoard, &rate, 0, 0, 0, list.data(), gains.data(), channels), 0);
  EXPECT_EQ(VELQ_ADStart(kBoard), 0);
  const int32_t count = scans * channels;
  std::vector<int32_t> samples(static_cast<size_t>(count));
  const int64_t micros = (int64_t{scans} * 1000000 + scanRate - 1) / scanRate;
  EXPECT_EQ(VELQSIM_AdvanceClock(micros), 0);
  int32_t asked = count;
  EXPECT_EQ(VELQ_ADGetData(kBoard, samples.data(), &asked), count);
  EXPECT_EQ(VELQ_ADStop(kBoard), 0);
  return samples;
}

// Every code of each input range comes back through the module's own
// conversion, whether the recording gives the module's step (whole
// microvolts) or the nominal one (range / 2047); plain RIFF and RF64.
// Input 0 loops, input 1 holds its last frame.
TEST_F(ReplayTest, RecordingPlaysEveryCodeBackBitExactOnEachRange) {
  for (const int32_t volts : {10, 5, 2, 1}) {
    SCOPED_TRACE(std::to_string(volts) + " V");
    const tarnix::BlockScale scale = tarnix::ScaleForRange(-volts, volts);
    const int32_t low = scale.lowLimit / scale.divisor;
    const int32_t high = scale.highLimit / scale.divisor;
    WavFile wav;
    wav.channels = 2;
    for (int32_t code = low; code <= high; ++code) {
      wav.frames.push_back(static_cast<int16_t>(code));
      wav.frames.push_back(static_cast<int16_t>(-code));
    }
    char steps[80];
    std::snprintf(steps, sizeof steps, "%.17g,%.17g", volts / 2047.0, scale.divisor / 1e6);
    wav.description = Description("3,9", steps, "0,0", "2000");
    wav.rf64 = volts == 1;
    const std::string file = Quoted(WriteWav("replay_codes.wav", wav));
    ASSERT_EQ(LoadBoard({"\"file\": " + file + ", \"column\": 0",
                         "\"file\": " + file + ", \"column\": 1, \"loop\": false"}),
              0)
        << LastError();
    const int32_t frames = high - low + 1;
    const std::vector<int32_t> samples = Scan(2, 1000, frames + 3);
    for (int32_t scan = 0; scan < frames + 3; ++scan) {
      const int32_t frame = scan % frames;
      const int32_t held = std::min(scan, frames - 1);
      const size_t at = static_cast<size_t>(scan) * 2;
      ASSERT_EQ(tarnix::ConvertSample(samples[at], scale), low + frame) << "scan " << scan;
      ASSERT_EQ(tarnix::ConvertSample(samples[at + 1], scale), -(low + held)) << "scan " << scan;
    }
  }
}

// A plain WAV file keeps its full scale and its own rate.
TEST_F(ReplayTest, OtherWavFilesPlayOnTheirFullScale) {
  WavFile wav;
  wav.described = false;
  wav.frames = {16384, -32768, 6553, 0};
  const std::string file = Quoted(WriteWav("replay_plain.wav", wav));
  ASSERT_EQ(LoadBoard({"\"file\": " + file + ", \"column\": 0, \"fullScale\": 5"}), 0)
      << LastError();
  EXPECT_EQ(Scan(1, 1000, 5), (std::vector<int32_t>{2500000, -5000000, 999908, 0, 2500000}));
}

// The recording's exact scan rate, not the header's rounded one, is its
// time step when the profile asks for resampling; and the frames are read
// when the scan reaches them: a frame changed on disk after the profile was
// loaded plays as changed.
TEST_F(ReplayTest, RecordingKeepsItsExactRateAndIsReadAsItPlays) {
  WavFile wav;
  wav.headerRate = 500;
  for (int32_t frame = 0; frame < 300000; ++frame) {
    wav.frames.push_back(static_cast<int16_t>(frame % 4000 - 2000));
  }
  wav.description = Description("0", "0.004885", "0", "500.25");
  const std::string path = WriteWav("replay_long.wav", wav);
  ASSERT_EQ(LoadBoard({"\"file\": " + Quoted(path) + ", \"column\": 0, \"resample\": true"}), 0)
      << LastError();
  int32_t microvolts = 0;
  // Frame 1000 sits at 1000 / 500.25 s; at the header's 500 it would be 999.5.
  ASSERT_EQ(VELQSIM_SignalAt(kBoard, 0, 1000 / 500.25, &microvolts), 0);
  EXPECT_EQ(microvolts, (1000 - 2000) * 4885 - 2442);

  std::string bytes = WavBytes(wav);
  const size_t frame250000 = bytes.size() - 2 * (300000 - 250000);
  const int16_t changed = 1999;
  std::memcpy(&bytes[frame250000], &changed, 2);
  std::fstream(path, std::ios::binary | std::ios::in | std::ios::out) << bytes;
  ASSERT_EQ(VELQSIM_SignalAt(kBoard, 0, 250000 / 500.25, &microvolts), 0);
  EXPECT_EQ(microvolts, 1999 * 4885 + 2442);
  ASSERT_EQ(VELQSIM_SignalAt(kBoard, 0, 250001 / 500.25, &microvolts), 0);
  EXPECT_EQ(microvolts, (250001 % 4000 - 2000) * 4885 + 2442);
}

TEST_F(ReplayTest, UnplayableFilesAreRefusedWhenTheProfileIsLoaded) {
  const std::string good = Description("0,1", "0.004885,0.004885", "0,0", "100");
  struct Case {
    std::string description;
    int32_t bits;
    std::string more;  // further keys of the signal
    std::string reason;
  };
  const Case cases[] = {
      {good, 16, ", \"column\": 2", "no channel 2: the file has 2"},
      {good, 16, ", \"column\": \"ch0_V\"", "\"column\" of a WAV file is its channel number"},
      {good, 16, ", \"column\": 0, \"fullScale\": 10",
       "a TARNIX recording carries its own scale; \"fullScale\" is for other WAV files"},
      {good, 24, ", \"column\": 0", "a TARNIX recording holds 16-bit codes"},
      {"format=tarnix-recording 2\n", 16, ", \"column\": 0",
       "recording description of format \"tarnix-recording 2\"; this board plays "
       "\"tarnix-recording 1\""},
      {Description("0", "0.004885", "0", "100"), 16, ", \"column\": 0",
       "recording description: \"channels\" has 1 values for 2 channels"},
      {Description("0,1", "0.004885,0", "0,0", "100"), 16, ", \"column\": 0",
       "recording description: \"volts_per_code\" value \"0\" is not a step in volts above 0"},
      {Description("0,1", "0.004885,0.004885", "0,0", "fast"), 16, ", \"column\": 0",
       "recording description: \"scan_rate\" must be a number of scans per second above 0"},
  };
  for (const Case& c : cases) {
    WavFile wav;
    wav.channels = 2;
    wav.frames = {1, 2, 3, 4};
    wav.bits = c.bits;
    wav.description = c.description;
    const std::string path = WriteWav("replay_refused.wav", wav);
    EXPECT_EQ(LoadBoard({"\"file\": " + Quoted(path) + c.more}), kNotReady) << c.reason;
    const std::string expected = "boards[0].signals[0].file: \"" + path + "\": " + c.reason;
    EXPECT_EQ(LastError().substr(0, expected.size()), expected);
  }
}

}  // namespace
}  // namespace boardsim_test
