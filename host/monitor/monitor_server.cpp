#include "monitor_server.h"

#include <httplib.h>

#include <algorithm>
#include <atomic>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <limits>
#include <nlohmann/json.hpp>
#include <thread>

#include "channel_list.h"
#include "monitor_assets.h"
#include "monitor_panel_routes.h"
#include "monitor_recording.h"
#include "os.h"

namespace host {
namespace {

using nlohmann::json;

// How often the stream sends what is new.
constexpr int kStreamIntervalMs = 100;

std::string Lower(std::string text) {
  for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return text;
}

// "0-3,6" from {0,1,2,3,6}: the form the --channels option takes.
std::string ChannelText(const std::vector<int>& channels) {
  std::string text;
  for (size_t i = 0; i < channels.size();) {
    size_t j = i;
    while (j + 1 < channels.size() && channels[j + 1] == channels[j] + 1) ++j;
    if (!text.empty()) text += ',';
    text += std::to_string(channels[i]);
    if (j > i) text += '-' + std::to_string(channels[j]);
    i = j + 1;
  }
  return text;
}

json SnapshotJson(const MonitorSnapshot& s) {
  json stats = json::array();
  for (const ChannelFigures& f : s.figures) {
    double n = static_cast<double>(f.count);
    stats.push_back({{"channel", f.channel},
                     {"count", f.count},
                     {"min", f.min},
                     {"max", f.max},
                     {"mean", f.count > 0 ? f.sum / n : 0.0},
                     {"rms", f.count > 0 ? std::sqrt(f.squares / n) : 0.0}});
  }
  json times = json::array();
  json volts = json::array();
  for (size_t c = 0; c < s.channels.size(); ++c) volts.push_back(json::array());
  for (const TracePoint& p : s.points) {
    times.push_back(p.time);
    for (size_t c = 0; c < p.volts.size() && c < volts.size(); ++c) volts[c].push_back(p.volts[c]);
  }
  const RecordingStatus& r = s.recording;
  json recording = {{"state", r.state}, {"file", r.file},       {"frames", r.frames},
                    {"bytes", r.bytes}, {"seconds", r.seconds}, {"note", r.note}};
  json messages = json::array();
  for (const MonitorMessage& m : s.messages) {
    messages.push_back({{"sequence", m.sequence}, {"kind", m.kind}, {"text", m.text}});
  }
  return {{"state", s.state},
          {"run", s.run},
          {"channels", s.channels},
          {"rate", s.rate},
          {"blockSize", s.blockSize},
          {"bufferSize", s.bufferSize},
          {"hostDelayMs", s.hostDelayMs},
          {"windowSeconds", s.windowSeconds},
          {"inputRange", {s.inputMin, s.inputMax}},
          {"blocks", s.blocks},
          {"samples", s.samples},
          {"overruns", s.overruns},
          {"fillPercent", s.fillPercent},
          {"stats", stats},
          {"recording", recording},
          {"points",
           {{"first", s.points.empty() ? 0 : s.points.front().index}, {"t", times}, {"v", volts}}},
          {"messages", messages}};
}

void Refuse(httplib::Response& res, int status, const std::string& why) {
  res.status = status;
  res.set_content(why + "\n", "text/plain");
}

// Requests the page did not make: another site's scripts carry its Origin,
// a rebound name its Host, and a plain form post cannot send JSON.
httplib::Server::HandlerResponse Guard(const httplib::Request& req, httplib::Response& res) {
  std::string host = req.get_header_value("Host");
  if (!IsLoopbackAuthority(host)) {
    Refuse(res, 403, "refused: Host '" + host + "' is not this machine's loopback address");
    return httplib::Server::HandlerResponse::Handled;
  }
  if (req.has_header("Origin") && !IsLoopbackOrigin(req.get_header_value("Origin"))) {
    Refuse(res, 403,
           "refused: Origin '" + req.get_header_value("Origin") + "' is not this machine");
    return httplib::Server::HandlerResponse::Handled;
  }
  if (req.method == "POST" &&
      Lower(req.get_header_value("Content-Type")).rfind("application/json", 0) != 0) {
    Refuse(res, 415, "refused: controls take application/json");
    return httplib::Server::HandlerResponse::Handled;
  }
  return httplib::Server::HandlerResponse::Unhandled;
}

// The start control's body: {"channels": "0-3", "rate": 1000, "blockSize": 256,
// "hostDelayMs": 0}; what is left out keeps the command line's value.
bool ParseStart(const std::string& body, AcquireSettings* s, std::string* why) {
  json in = json::parse(body, nullptr, false);
  if (in.is_discarded() || !in.is_object()) {
    *why = "the body is not a JSON object";
    return false;
  }
  if (in.contains("channels")) {
    if (!in["channels"].is_string()) {
      *why = "channels: a list such as 0-3,6";
      return false;
    }
    s->channels = ParseChannelList(in["channels"].get<std::string>(), why);
    if (s->channels.empty()) {
      *why = "channels: " + *why;
      return false;
    }
  }
  if (in.contains("rate")) {
    if (!in["rate"].is_number()) {
      *why = "rate: a number of samples per second";
      return false;
    }
    s->rate = in["rate"].get<double>();
  }
  if (in.contains("hostDelayMs")) {
    const json& v = in["hostDelayMs"];
    double d = v.is_number() ? v.get<double>() : std::nan("");
    if (!(d >= 0 && d <= kMaxLiveHostDelayMs) || d != std::floor(d)) {
      *why = "hostDelayMs: whole milliseconds from 0 to " + std::to_string(kMaxLiveHostDelayMs);
      return false;
    }
    s->hostDelayMs = static_cast<int>(d);
  }
  for (const char* key : {"blockSize", "bufferSize"}) {
    if (!in.contains(key)) continue;
    const json& v = in[key];
    double d = v.is_number() ? v.get<double>() : std::nan("");
    if (!(d >= std::numeric_limits<int32_t>::min() && d <= std::numeric_limits<int32_t>::max()) ||
        d != std::floor(d)) {
      *why = std::string(key) + ": a whole number of samples";
      return false;
    }
    (std::string(key) == "blockSize" ? s->blockSize : s->bufferSize) = static_cast<int32_t>(d);
  }
  return true;
}

void Reply(httplib::Response& res, const CommandResult& r) {
  res.set_content(json{{"ok", r.ok}, {"entry", r.entry}, {"message", r.message}}.dump(),
                  "application/json");
}

}  // namespace

bool IsLoopbackAuthority(const std::string& authority) {
  std::string host = Lower(authority);
  if (!host.empty() && host.front() == '[') {
    size_t close = host.find(']');
    if (close == std::string::npos) return false;
    std::string rest = host.substr(close + 1);
    if (!rest.empty() && rest.front() != ':') return false;
    return host.substr(0, close + 1) == "[::1]";
  }
  size_t colon = host.find(':');
  if (colon != std::string::npos) {
    std::string port = host.substr(colon + 1);
    if (port.empty() || !std::all_of(port.begin(), port.end(), ::isdigit)) return false;
    host.resize(colon);
  }
  if (host == "localhost") return true;
  // 127.0.0.0/8, written as four decimal parts.
  unsigned parts[4];
  char tail = 0;
  if (std::sscanf(host.c_str(), "%3u.%3u.%3u.%3u%c", &parts[0], &parts[1], &parts[2], &parts[3],
                  &tail) != 4) {
    return false;
  }
  return parts[0] == 127 && parts[1] < 256 && parts[2] < 256 && parts[3] < 256 &&
         std::all_of(host.begin(), host.end(), [](char c) {
           return c == '.' || std::isdigit(static_cast<unsigned char>(c));
         });
}

bool IsLoopbackOrigin(const std::string& origin) {
  const std::string scheme = "http://";
  if (Lower(origin).rfind(scheme, 0) != 0) return false;
  std::string authority = origin.substr(scheme.size());
  if (!authority.empty() && authority.back() == '/') authority.pop_back();
  if (authority.find('/') != std::string::npos || authority.find('@') != std::string::npos)
    return false;
  return IsLoopbackAuthority(authority);
}

int ServeMonitor(MonitorEngine& engine, int port, bool (*KeepServing)()) {
  httplib::Server server;
  std::atomic<bool> stopping{false};
  // In place of the library's defaults, which share the port (SO_REUSEPORT;
  // SO_REUSEADDR on Windows) with any other program that asks for it.
  bool exclusive = true;
  server.set_socket_options([&exclusive](socket_t sock) {
    exclusive = MakeListeningPortExclusive(static_cast<std::intptr_t>(sock)) && exclusive;
  });
  server.set_pre_routing_handler(Guard);

  for (size_t i = 0; i < kMonitorAssetCount; ++i) {
    const MonitorAsset& asset = kMonitorAssets[i];
    auto serve = [&asset](const httplib::Request&, httplib::Response& res) {
      res.set_content(reinterpret_cast<const char*>(asset.data), asset.size, asset.contentType);
    };
    server.Get(asset.path, serve);
    if (std::string(asset.path) == "/index.html") server.Get("/", serve);
  }
  server.Get("/api/status", [&engine](const httplib::Request&, httplib::Response& res) {
    // State and counts only; the traces come with the stream.
    MonitorSnapshot shot = engine.Snapshot(-1, 0, 0);
    shot.points.clear();
    json out = SnapshotJson(shot);
    const AcquireSettings& d = engine.options().settings;
    out["defaults"] = {{"channels", ChannelText(d.channels)},
                       {"rate", d.rate},
                       {"blockSize", d.blockSize},
                       {"bufferSize", d.bufferSize},
                       {"hostDelayMs", d.hostDelayMs}};
    out["wavFolder"] = engine.options().wavFolder;
    res.set_content(out.dump(), "application/json");
  });
  server.Post("/api/start", [&engine](const httplib::Request& req, httplib::Response& res) {
    AcquireSettings settings = engine.options().settings;
    std::string why;
    if (!ParseStart(req.body, &settings, &why)) {
      res.status = 400;
      Reply(res, {false, "", why});
      return;
    }
    Reply(res, engine.Start(settings));
  });
  server.Post("/api/stop", [&engine](const httplib::Request&, httplib::Response& res) {
    Reply(res, engine.Stop());
  });
  AddPanelRoutes(server, engine);
  AddRecordingRoutes(server, engine);
  // Server-Sent Events: every interval, what is new since this client's
  // last event (trace points of the current run and messages) with the
  // figures and counts as they stand.
  server.Get("/events", [&engine, &stopping](const httplib::Request&, httplib::Response& res) {
    struct Cursor {
      int64_t run = -1, point = 0, message = 0;
    };
    auto cursor = std::make_shared<Cursor>();
    res.set_header("Cache-Control", "no-store");
    res.set_chunked_content_provider(
        "text/event-stream", [&engine, &stopping, cursor](size_t, httplib::DataSink& sink) {
          if (stopping) return false;
          MonitorSnapshot shot = engine.Snapshot(cursor->run, cursor->point, cursor->message);
          if (shot.run != cursor->run) cursor->point = 0;
          cursor->run = shot.run;
          if (!shot.points.empty()) cursor->point = shot.points.back().index + 1;
          if (!shot.messages.empty()) cursor->message = shot.messages.back().sequence;
          std::string event = "data: " + SnapshotJson(shot).dump() + "\n\n";
          if (!sink.write(event.data(), event.size())) return false;
          SleepMilliseconds(kStreamIntervalMs);
          return !stopping.load();
        });
  });

  int bound = port == 0 ? server.bind_to_any_port("127.0.0.1")
                        : (server.bind_to_port("127.0.0.1", port) ? port : -1);
  if (bound <= 0) {
    std::fprintf(stderr, "error: cannot listen on 127.0.0.1:%d\n", port);
    return kExitUsage;
  }
  if (!exclusive) {
    std::fprintf(stderr, "error: cannot keep 127.0.0.1:%d to this program alone\n", bound);
    return kExitUsage;
  }
  std::thread listener([&server] { server.listen_after_bind(); });
  for (int i = 0; i < 500 && !server.is_running(); ++i) SleepMilliseconds(10);
  std::printf("monitor: serving http://127.0.0.1:%d/ (Ctrl-C ends)\n", bound);
  std::fflush(stdout);
  while (KeepServing() && server.is_running()) SleepMilliseconds(200);
  stopping = true;
  server.stop();
  listener.join();
  return kExitOk;
}

}  // namespace host
