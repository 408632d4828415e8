#include "monitor_panel_routes.h"

#include <climits>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <nlohmann/json.hpp>
#include <string>

#include "analog_output.h"

namespace host {
namespace {

using nlohmann::json;

// What the page posts: a JSON object whose named fields are numbers.
struct Body {
  json in;
  std::string why;

  explicit Body(const std::string& text) : in(json::parse(text, nullptr, false)) {
    if (in.is_discarded() || !in.is_object()) why = "the body is not a JSON object";
  }
  // A whole number from `low` to `high`.
  bool Whole(const char* key, double low, double high, int64_t* out) {
    if (!why.empty()) return false;
    double d = in.contains(key) && in[key].is_number() ? in[key].get<double>() : std::nan("");
    if (!(d >= low && d <= high) || d != std::floor(d)) {
      why = std::string(key) + ": a whole number from " + Text(low) + " to " + Text(high);
      return false;
    }
    *out = static_cast<int64_t>(d);
    return true;
  }
  bool Number(const char* key, double* out) {
    if (!why.empty()) return false;
    if (!in.contains(key) || !in[key].is_number()) {
      why = std::string(key) + ": a number";
      return false;
    }
    *out = in[key].get<double>();
    return true;
  }
  static std::string Text(double v) { return std::to_string(static_cast<int64_t>(v)); }
};

// Channel, port and counter numbers as the entries take them.
constexpr double kTargetLow = 0;
constexpr double kTargetHigh = INT32_MAX;
// A port or counter value: any 32 bits, written signed or unsigned.
constexpr double kValueLow = INT32_MIN;
constexpr double kValueHigh = UINT32_MAX;

json AnswerJson(const CommandResult& r) {
  return {{"ok", r.ok}, {"entry", r.entry}, {"message", r.message}, {"value", r.value}};
}

void Answer(httplib::Response& res, const CommandResult& r) {
  res.set_content(AnswerJson(r).dump(), "application/json");
}

void Malformed(httplib::Response& res, const std::string& why) {
  res.status = 400;
  Answer(res, {false, "", why, 0});
}

json BoardJson(const MonitorBoard& b) {
  return {{"name", b.name},
          {"inputs", b.counts.inputs},
          {"inputRange", {b.inputMin, b.inputMax}},
          {"analogOutputs", b.counts.outputs},
          {"outputRange", {AnalogOutputVolts(0), AnalogOutputVolts(kOutputCodeMax)}},
          {"outputPorts", b.counts.outputPorts},
          {"inputPorts", b.counts.inputPorts},
          {"portWidth", b.portWidth},
          {"counters", b.counts.counters}};
}

// A write of `valueKey` (or a read, when valueKey is null) to the target
// named by `targetKey`.
void AddPoint(httplib::Server& server, MonitorEngine& engine, const char* path, PointKind kind,
              const char* targetKey, const char* valueKey) {
  server.Post(path, [&engine, kind, targetKey, valueKey](const httplib::Request& req,
                                                         httplib::Response& res) {
    Body body(req.body);
    int64_t target = 0, value = 0;
    if (!body.Whole(targetKey, kTargetLow, kTargetHigh, &target) ||
        (valueKey != nullptr && !body.Whole(valueKey, kValueLow, kValueHigh, &value))) {
      Malformed(res, body.why);
      return;
    }
    // Values above 2^31 pass as the same 32 bits.
    Answer(res, engine.Point(kind, static_cast<int32_t>(target),
                             static_cast<int32_t>(static_cast<uint32_t>(value))));
  });
}

}  // namespace

void AddPanelRoutes(httplib::Server& server, MonitorEngine& engine) {
  server.Get("/api/board", [&engine](const httplib::Request&, httplib::Response& res) {
    res.set_content(BoardJson(engine.board()).dump(), "application/json");
  });
  // Volts, converted to the module's code exactly as `tarnix-host io --ao`
  // converts them.
  server.Post("/api/analog-output", [&engine](const httplib::Request& req, httplib::Response& res) {
    Body body(req.body);
    int64_t channel = 0;
    double volts = 0;
    int32_t code = 0;
    if (!body.Whole("channel", kTargetLow, kTargetHigh, &channel) ||
        !body.Number("volts", &volts)) {
      Malformed(res, body.why);
      return;
    }
    if (!AnalogOutputCode(volts, &code)) {
      char why[96];
      std::snprintf(why, sizeof why, "volts: from %.7g to %.7g", AnalogOutputVolts(0),
                    AnalogOutputVolts(kOutputCodeMax));
      Malformed(res, why);
      return;
    }
    CommandResult r = engine.Point(PointKind::kAnalogWrite, static_cast<int32_t>(channel), code);
    json out = AnswerJson(r);
    out["volts"] = AnalogOutputVolts(code);
    res.set_content(out.dump(), "application/json");
  });
  AddPoint(server, engine, "/api/digital-output", PointKind::kDigitalWrite, "port", "value");
  AddPoint(server, engine, "/api/digital-input", PointKind::kDigitalRead, "port", nullptr);
  AddPoint(server, engine, "/api/counter-output", PointKind::kCounterWrite, "counter", "value");
  AddPoint(server, engine, "/api/counter-input", PointKind::kCounterRead, "counter", nullptr);
  server.Post("/api/window", [&engine](const httplib::Request& req, httplib::Response& res) {
    Body body(req.body);
    double seconds = 0;
    if (!body.Number("seconds", &seconds) ||
        !(seconds >= kMinWindowSeconds && seconds <= kMaxWindowSeconds)) {
      Malformed(res, "seconds: from " + Body::Text(kMinWindowSeconds) + " to " +
                         Body::Text(kMaxWindowSeconds));
      return;
    }
    engine.SetWindow(seconds);
    Answer(res, {true, "", "", 0});
  });
}

}  // namespace host
