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
//          sample rate = the scan rate rounded to an integer
//   "tnxr" the recording's description (below)
//   "data" the codes exactly as the module delivered them, little-endian
//
// The "tnxr" chunk holds UTF-8 text, one "key=value" line each ending in
// '\n', in any order; a reader ignores keys it does not know, so keys may be
// added. Lists are comma-separated, in the order of the file's channels.
// Numbers are written so that they read back exactly (17 significant digits).
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
inline constexpr char kKeyVoltsPerCode[] = "volts_per_code";
// Volts of code 0, per channel.
inline constexpr char kKeyOffsetVolts[] = "offset_volts";
// The exact scan rate in scans per second (the header holds it rounded).
inline constexpr char kKeyScanRate[] = "scan_rate";
inline constexpr char kKeyBoardSerial[] = "board_serial";
inline constexpr char kKeyBoardName[] = "board_name";
// When the first block arrived, UTC, ISO 8601: "2026-12-09T15:04:05Z".
inline constexpr char kKeyStartTime[] = "start_time";
// The module's file version, "a.b.c.d"; left out where the platform has none.
inline constexpr char kKeyModuleVersion[] = "module_version";

}  // namespace tarnix::recording
