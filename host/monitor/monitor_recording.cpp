#include "monitor_recording.h"

#include <httplib.h>

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <nlohmann/json.hpp>

namespace host {
namespace {

using nlohmann::json;

// Longest name taken: what every file system here holds in one component.
constexpr size_t kMaxNameBytes = 200;

std::string Upper(std::string text) {
  for (char& c : text) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return text;
}

// Names Windows gives to devices, with any extension: "NUL.wav" would write
// nowhere.
bool DeviceName(const std::string& name) {
  std::string stem = Upper(name.substr(0, name.find('.')));
  while (!stem.empty() && stem.back() == ' ') stem.pop_back();
  static const char* const kDevices[] = {"CON", "PRN", "AUX", "NUL", "CONIN$", "CONOUT$"};
  if (std::find(std::begin(kDevices), std::end(kDevices), stem) != std::end(kDevices)) return true;
  return stem.size() == 4 && (stem.rfind("COM", 0) == 0 || stem.rfind("LPT", 0) == 0) &&
         stem[3] >= '0' && stem[3] <= '9';
}

}  // namespace

std::string RecordingNameProblem(const std::string& name) {
  if (name.empty()) return "give the recording a file name, such as run1.wav";
  if (name.size() > kMaxNameBytes) return "the file name is too long";
  for (char c : name) {
    if (c == '/' || c == '\\') return "a plain file name only, without a folder: " + name;
    if (static_cast<unsigned char>(c) < 0x20 ||
        std::string("<>:\"|?*").find(c) != std::string::npos)
      return "the file name may not hold control characters or any of < > : \" | ? *";
  }
  if (name.front() == '.' || name.front() == ' ' || name.back() == ' ' || name.back() == '.') {
    return "the file name may not begin with a dot or a space, nor end in one";
  }
  if (DeviceName(name)) return name + " names a device on Windows: choose another name";
  if (name.size() < 5 || Upper(name.substr(name.size() - 4)) != ".WAV") {
    return "the file name must end in .wav";
  }
  return "";
}

std::string JoinPath(const std::string& folder, const std::string& name) {
  return (std::filesystem::path(folder) / name).string();
}

bool ResolveRecordingFolder(const std::string& given, std::string* folder, std::string* why) {
  std::error_code error;
  std::filesystem::path path = given.empty() ? std::filesystem::current_path(error)
                                             : std::filesystem::absolute(given, error);
  if (!error && !std::filesystem::is_directory(path, error)) {
    *why = "not a folder: " + path.string();
    return false;
  }
  if (error) {
    *why = error.message();
    return false;
  }
  path = path.lexically_normal();
  if (!path.has_filename() && path != path.root_path()) path = path.parent_path();  // "dir/"
  *folder = path.string();
  return true;
}

void AddRecordingRoutes(httplib::Server& server, MonitorEngine& engine) {
  server.Post("/api/record", [&engine](const httplib::Request& req, httplib::Response& res) {
    json in = json::parse(req.body, nullptr, false);
    CommandResult result;
    if (in.is_discarded() || !in.is_object() || !in.contains("name") || !in["name"].is_string()) {
      res.status = 400;
      result.message = "the body is not a JSON object with a \"name\"";
    } else {
      result = engine.Record(in["name"].get<std::string>());
    }
    res.set_content(json{{"ok", result.ok}, {"message", result.message}}.dump(),
                    "application/json");
  });
  server.Post("/api/record/stop", [&engine](const httplib::Request&, httplib::Response& res) {
    CommandResult result = engine.StopRecording();
    res.set_content(json{{"ok", result.ok}, {"message", result.message}}.dump(),
                    "application/json");
  });
}

}  // namespace host
