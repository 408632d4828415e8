#include "profile_inputs.h"

#include <set>

#include "replay_source.h"

namespace velqsim::profile {

namespace {

SignalKind ReadSignalKind(const json& value, const std::string& path) {
  static const std::pair<const char*, SignalKind> kKinds[] = {
      {"sine", SignalKind::kSine},         {"square", SignalKind::kSquare},
      {"ramp", SignalKind::kRamp},         {"noise", SignalKind::kNoise},
      {"constant", SignalKind::kConstant}, {"sequence", SignalKind::kSequence},
      {"replay", SignalKind::kReplay},     {"loopback", SignalKind::kLoopback}};
  if (value.is_string()) {
    for (const auto& [name, kind] : kKinds) {
      if (value.get<std::string>() == name) return kind;
    }
  }
  Fail(path,
       "must be one of \"sine\", \"square\", \"ramp\", \"noise\", \"constant\", "
       "\"sequence\", \"replay\", \"loopback\"");
}

// Keys that belong to one kind of signal only; any other kind refuses them.
void RejectForeignKeys(const json& entry, const std::string& at, SignalKind kind) {
  static const std::pair<const char*, SignalKind> kOwnKeys[] = {
      {"step", SignalKind::kSequence},  {"file", SignalKind::kReplay},
      {"column", SignalKind::kReplay},  {"resample", SignalKind::kReplay},
      {"loop", SignalKind::kReplay},    {"fullScale", SignalKind::kReplay},
      {"output", SignalKind::kLoopback}};
  for (const auto& [key, owner] : kOwnKeys) {
    if (entry.contains(key) && kind != owner) {
      const char* ownerName = owner == SignalKind::kSequence ? "sequence"
                              : owner == SignalKind::kReplay ? "replay"
                                                             : "loopback";
      Fail(at + "." + key, std::string("belongs to \"") + ownerName + "\" signals only");
    }
  }
}

void ReadLoopback(const json& entry, const std::string& at, const BoardDescription& board,
                  SignalSpec& signal) {
  if (board.analogOutputs < 1) Fail(at, "a \"loopback\" signal needs an analog output to wire to");
  if (!entry.contains("output")) Fail(at, "a \"loopback\" signal needs \"output\"");
  signal.output = IntegerIn(entry["output"], at + ".output", 0, board.analogOutputs - 1);
  if (entry.contains("amplitude") || entry.contains("offset") || entry.contains("frequency")) {
    Fail(at, "a \"loopback\" signal takes \"output\" only");
  }
}

void ReadSequence(const json& entry, const std::string& at, SignalSpec& signal) {
  if (!entry.contains("step")) Fail(at, "a \"sequence\" signal needs \"step\" (microvolts)");
  signal.step = IntegerIn(entry["step"], at + ".step", 1, 2 * int64_t{kFullScaleMicrovolts});
  signal.amplitude = entry.contains("amplitude")
                         ? IntegerIn(entry["amplitude"], at + ".amplitude", 1, kFullScaleMicrovolts)
                         : kFullScaleMicrovolts;
  if (entry.contains("offset") || entry.contains("frequency")) {
    Fail(at, "a \"sequence\" signal takes \"step\" and \"amplitude\" only");
  }
}

void ReadReplay(const json& entry, const std::string& at, const std::string& baseDirectory,
                SignalSpec& signal) {
  if (!entry.contains("file") || !entry["file"].is_string()) {
    Fail(at + ".file", "a \"replay\" signal needs \"file\" (a path)");
  }
  ReplayRequest request;
  request.path = entry["file"].get<std::string>();
  if (!request.path.empty() && request.path[0] != '/' && request.path[0] != '\\' &&
      request.path.find(':') == std::string::npos) {
    request.path = baseDirectory + request.path;  // beside the profile file
  }
  if (!entry.contains("column")) Fail(at, "a \"replay\" signal needs \"column\"");
  const json& column = entry["column"];
  if (column.is_string()) {
    request.columnName = column.get<std::string>();
  } else {
    request.columnIndex = IntegerIn(column, at + ".column", 0, 65535);
  }
  if (entry.contains("fullScale")) {
    request.fullScaleVolts = NumberIn(entry["fullScale"], at + ".fullScale", 1e-6, 1000.0);
    request.fullScaleGiven = true;
  }
  const bool resampleGiven = entry.contains("resample");
  if (resampleGiven) signal.resample = BooleanAt(entry["resample"], at + ".resample");
  if (entry.contains("loop")) signal.loop = BooleanAt(entry["loop"], at + ".loop");
  if (entry.contains("amplitude") || entry.contains("offset") || entry.contains("frequency")) {
    Fail(at, "a \"replay\" signal takes no \"amplitude\", \"offset\" or \"frequency\"");
  }
  std::string why;
  signal.replay = LoadReplay(request, &why);
  if (!signal.replay) Fail(at + ".file", "\"" + entry["file"].get<std::string>() + "\": " + why);
  if (!resampleGiven && signal.replay->PerScan()) signal.resample = false;
}

}  // namespace

void ReadSignals(const json& value, const std::string& path, const std::string& baseDirectory,
                 BoardDescription& board) {
  if (!value.is_array()) Fail(path, "must be an array of signal objects");
  for (size_t i = 0; i < value.size(); ++i) {
    const std::string at = path + "[" + std::to_string(i) + "]";
    const json& entry = ObjectAt(value[i], at);
    RejectUnknownKeys(entry, at,
                      {"channel", "kind", "amplitude", "offset", "frequency", "step", "file",
                       "column", "resample", "loop", "fullScale", "output"});
    if (!entry.contains("channel")) Fail(at, "needs \"channel\"");
    const int32_t channel = IntegerIn(entry["channel"], at + ".channel", 0, board.inputs - 1);
    SignalSpec& signal = board.signals[static_cast<size_t>(channel)];
    signal = SignalSpec{};
    if (entry.contains("kind")) signal.kind = ReadSignalKind(entry["kind"], at + ".kind");
    RejectForeignKeys(entry, at, signal.kind);
    if (signal.kind == SignalKind::kSequence) {
      ReadSequence(entry, at, signal);
      continue;
    }
    if (signal.kind == SignalKind::kReplay) {
      ReadReplay(entry, at, baseDirectory, signal);
      continue;
    }
    if (signal.kind == SignalKind::kLoopback) {
      ReadLoopback(entry, at, board, signal);
      continue;
    }
    if (entry.contains("amplitude")) {
      signal.amplitude = IntegerIn(entry["amplitude"], at + ".amplitude", 0, INT32_MAX);
    }
    if (entry.contains("offset")) signal.offset = AnyInt32(entry["offset"], at + ".offset");
    if (entry.contains("frequency")) {
      signal.frequency = NumberIn(entry["frequency"], at + ".frequency", 0.0, 1e9);
    }
  }
}

// Each input port is driven by at most one output port, and by another
// port than itself (a port already reads back its own output).
void ReadPortWires(const json& value, const std::string& path, BoardDescription& board) {
  if (!value.is_array()) Fail(path, "must be an array of {\"output\", \"input\"} objects");
  std::set<int32_t> driven;
  for (size_t i = 0; i < value.size(); ++i) {
    const std::string at = path + "[" + std::to_string(i) + "]";
    const json& entry = ObjectAt(value[i], at);
    RejectUnknownKeys(entry, at, {"output", "input"});
    if (!entry.contains("output") || !entry.contains("input")) {
      Fail(at, "needs \"output\" and \"input\" (digital ports)");
    }
    if (board.digitalPorts < 2) Fail(at, "needs a board with two digital ports or more");
    PortWire wire{};
    wire.output = IntegerIn(entry["output"], at + ".output", 0, board.digitalPorts - 1);
    wire.input = IntegerIn(entry["input"], at + ".input", 0, board.digitalPorts - 1);
    if (wire.input == wire.output) Fail(at, "a port cannot be wired to itself");
    if (!driven.insert(wire.input).second) Fail(at + ".input", "port already driven by a wire");
    board.portWires.push_back(wire);
  }
}

}  // namespace velqsim::profile
