// The live view's Record button: which names it takes, where the file goes,
// and its two controls, POST /api/record {"name": "run1.wav"} and POST
// /api/record/stop. The recording itself is the engine's (a WavRecorder on
// its block loop, as `acquire --wav` writes it).
#pragma once

#include <string>

#include "monitor_engine.h"

namespace httplib {
class Server;
}

namespace host {

// Why `name` is not a plain file name for a recording, empty when it is: no
// folder part, no character or device name that one of the platforms
// forbids or reads otherwise, and ending in ".wav".
std::string RecordingNameProblem(const std::string& name);

// `folder` and a plain file name as one path.
std::string JoinPath(const std::string& folder, const std::string& name);

// The folder the recordings go to: `given` (the command line's) or the
// working folder, made absolute. Answers false (reason in *why) when it is
// not a folder.
bool ResolveRecordingFolder(const std::string& given, std::string* folder, std::string* why);

void AddRecordingRoutes(httplib::Server& server, MonitorEngine& engine);

}  // namespace host
