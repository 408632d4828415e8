// A TARNIX recording: what `tarnix-host acquire --wav` and the live view's
// Record button write, and what the simulated board's `replay` kind reads
// back. The host writes it, the simulated board library reads it; neither
// sees the other's code, so the layout is declared here once.
//
// The file is a plain RIFF/WAVE file (RF64 once it passes 4 GB) that common
// tools read without help:
//   "RIFF" size "WAVE"
//   "JUNK" (28 bytes): room for the "ds64" chunk should the file pass 4 GB
//   "fmt " PCM, 16 bits, one channel per scanned input, one frame per scan,
//          sample rate = the scan rate rounded to an integer (at least 1)
//   "tnxr" the recording's description (below)
//   "data" the codes exactly as the module delivered them, little-endian
// While the recording runs, the header's sizes are brought up to date every
// quarter of a second or so, so a file whose writer was killed is readable up
// to the last update. Once the file passes 4 GB, "RIFF" becomes "RF64", the
// "JUNK" chunk becomes "ds64" (RIFF size, data size and frame count, 64 bits
// each, then a table length of 0) and the 32-bit sizes read 0xFFFFFFFF.
//
// The "tnxr" chunk holds UTF-8 text, one "key=value" line each ending in
// '\n', in any order; a reader ignores keys it does not know, so keys may be
// added; an empty line carries nothing (the writer ends the text with one
// when that makes its length even, so the chunk needs no pad byte). Lists are
// comma-separated, in the order of the file's channels. Numbers are written so
// that they read back exactly (17 significant digits).
#pragma once

namespace tarnix::recording {

// The chunk's four-character id.
inline constexpr char kChunkId[5] = "tnxr";
// Room kept for "ds64" before "fmt ", as a "JUNK" chunk of this many bytes.
inline constexpr unsigned kDs64Reserve = 28;

// The value of kKeyFormat: the description's layout and its version.
inline constexpr char kFormatName[] = "tarnix-recording 1";

inline constexpr char kKeyFormat[] = "format";
// Input numbers of the board, one per file channel: "0,1,2,3".
inline constexpr char kKeyChannels[] = "channels";
// Volts of one code step, per channel: volts = offset + code * volts_per_code.
// The module scales every input by input 0's range, whose upper limit reads
// code 2047: volts_per_code = that limit / 2047, the same for every channel.
inline constexpr char kKeyVoltsPerCode[] = "volts_per_code";
// Volts of code 0, per channel.
inline constexpr char kKeyOffsetVolts[] = "offset_volts";
// The exact scan rate in scans per second (the header holds it rounded).
inline constexpr char kKeyScanRate[] = "scan_rate";
// The serial number the module started the measurement with; left out when
// it did not say.
inline constexpr char kKeyBoardSerial[] = "board_serial";
inline constexpr char kKeyBoardName[] = "board_name";
// When the recording began (the measurement's start, or the moment the live
// view's Record button was pressed, the first frame being the next whole
// scan), UTC, ISO 8601: "2026-12-09T15:04:05Z".
inline constexpr char kKeyStartTime[] = "start_time";
// The module's file version, "a.b.c.d"; left out where the platform has none.
inline constexpr char kKeyModuleVersion[] = "module_version";

}  // namespace tarnix::recording
