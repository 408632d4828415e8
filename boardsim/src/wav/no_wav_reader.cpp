// The Windows build of the simulated board has no libsndfile (Debian ships
// none for mingw): a WAV replay is refused when the profile is loaded.
#include "replay_source.h"

namespace velqsim {

bool ReadWavChannel(const ReplayRequest&, ReplaySource*, std::string* why) {
  *why =
      "WAV files cannot be replayed by the Windows build of the simulated board (it has no "
      "WAV reader); convert the file to CSV (a time_s column, then volts)";
  return false;
}

}  // namespace velqsim
