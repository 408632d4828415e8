#include "profile_loader.h"

#include <cmath>
#include <fstream>
#include <limits>
#include <nlohmann/json.hpp>
#include <set>
#include <sstream>

#include "profile_fields.h"
#include "profile_inputs.h"

namespace velqsim {

namespace {

using namespace profile;

void ReadTriple(const json& value, const std::string& path, int32_t (&out)[3]) {
  if (!value.is_array() || value.size() != 3) Fail(path, "must be an array of 3 integers");
  for (size_t i = 0; i < 3; ++i) out[i] = AnyInt32(value[i], path + "[" + std::to_string(i) + "]");
}

std::vector<int32_t> ReadIntList(const json& value, const std::string& path, int64_t low,
                                 int64_t high, size_t maxEntries) {
  if (!value.is_array() || value.empty() || value.size() > maxEntries) {
    Fail(path, "must be an array of 1 to " + std::to_string(maxEntries) + " integers");
  }
  std::vector<int32_t> list;
  for (size_t i = 0; i < value.size(); ++i) {
    list.push_back(IntegerIn(value[i], path + "[" + std::to_string(i) + "]", low, high));
  }
  return list;
}

void ReadLoss(const json& value, const std::string& path, SampleLoss& loss) {
  const json& entry = ObjectAt(value, path);
  RejectUnknownKeys(entry, path, {"after", "count"});
  if (!entry.contains("after") || !entry.contains("count")) {
    Fail(path, "needs \"after\" and \"count\" (samples)");
  }
  loss.after = IntegerIn(entry["after"], path + ".after", 0, INT32_MAX);
  loss.count = IntegerIn(entry["count"], path + ".count", 1, INT32_MAX);
}

void ReadAnswers(const json& value, const std::string& path, const int32_t* fixedSerial,
                 std::map<AnswerKey, int32_t>& answers) {
  if (!value.is_array()) Fail(path, "must be an array of answer objects");
  for (size_t i = 0; i < value.size(); ++i) {
    const std::string at = path + "[" + std::to_string(i) + "]";
    const json& entry = ObjectAt(value[i], at);
    if (fixedSerial != nullptr) {
      RejectUnknownKeys(entry, at, {"code", "param", "value"});
    } else {
      RejectUnknownKeys(entry, at, {"serial", "code", "param", "value"});
      if (!entry.contains("serial")) Fail(at, "needs \"serial\"");
    }
    if (!entry.contains("code") || !entry.contains("value")) {
      Fail(at, "needs \"code\" and \"value\"");
    }
    AnswerKey key{};
    key.serial = fixedSerial != nullptr ? *fixedSerial : AnyInt32(entry["serial"], at + ".serial");
    key.code = AnyInt32(entry["code"], at + ".code");
    key.param = entry.contains("param") ? AnyInt32(entry["param"], at + ".param") : -1;
    answers[key] = AnyInt32(entry["value"], at + ".value");
  }
}

BoardDescription ReadBoard(const json& value, const std::string& path, size_t index,
                           const std::string& baseDirectory,
                           std::map<AnswerKey, int32_t>& answers) {
  const json& entry = ObjectAt(value, path);
  RejectUnknownKeys(entry, path,
                    {"serial",        "name",     "type",        "revision",     "manufactured",
                     "version",       "maxRate",  "inputs",      "gains",        "ranges",
                     "analogOutputs", "counters", "counterRate", "digitalPorts", "portWidth",
                     "fifoCapacity",  "signals",  "answers",     "loseSamples",  "portWires"});
  BoardDescription board;
  if (!entry.contains("serial")) Fail(path, "needs \"serial\"");
  board.serial = IntegerIn(entry["serial"], path + ".serial", 1, kLibrarySerial - 1);
  board.name = "VQ board " + std::to_string(board.serial);
  board.type = 1;
  board.revision = 1;
  board.manufactured[0] = 2020;
  board.manufactured[1] = 1;
  board.manufactured[2] = 1;
  board.version[0] = 1;
  board.gainSpans = {20000, 10000, 5000, 2000};
  board.rangeKinds = {1, 3};
  board.analogOutputs = 2;
  board.counters = 2;
  board.digitalPorts = 2;

  if (entry.contains("name")) {
    if (!entry["name"].is_string()) Fail(path + ".name", "must be a string");
    board.name = entry["name"].get<std::string>();
  }
  if (entry.contains("type")) board.type = AnyInt32(entry["type"], path + ".type");
  if (entry.contains("revision")) board.revision = AnyInt32(entry["revision"], path + ".revision");
  if (entry.contains("manufactured")) {
    ReadTriple(entry["manufactured"], path + ".manufactured", board.manufactured);
  }
  if (entry.contains("version")) ReadTriple(entry["version"], path + ".version", board.version);
  if (entry.contains("maxRate")) {
    board.maxRate = IntegerIn(entry["maxRate"], path + ".maxRate", 1, kMaxRateLimit);
  }
  if (entry.contains("inputs")) {
    board.inputs = IntegerIn(entry["inputs"], path + ".inputs", 1, kMaxInputs);
  }
  if (entry.contains("gains")) {
    board.gainSpans = ReadIntList(entry["gains"], path + ".gains", 1, INT32_MAX, 256);
  }
  if (entry.contains("ranges")) {
    board.rangeKinds = ReadIntList(entry["ranges"], path + ".ranges", 0, 3, 256);
  }
  if (entry.contains("analogOutputs")) {
    board.analogOutputs =
        IntegerIn(entry["analogOutputs"], path + ".analogOutputs", 0, kMaxTableEntries);
  }
  if (entry.contains("counters")) {
    board.counters = IntegerIn(entry["counters"], path + ".counters", 0, kMaxTableEntries);
  }
  if (entry.contains("digitalPorts")) {
    board.digitalPorts =
        IntegerIn(entry["digitalPorts"], path + ".digitalPorts", 0, kMaxTableEntries);
  }
  if (entry.contains("portWidth")) {
    board.portWidth = IntegerIn(entry["portWidth"], path + ".portWidth", 1, 32);
  }
  if (entry.contains("fifoCapacity")) {
    board.fifoCapacity = IntegerIn(entry["fifoCapacity"], path + ".fifoCapacity", 1, 1 << 30);
  }
  board.counterRates.assign(static_cast<size_t>(board.counters), 1000.0);
  if (entry.contains("counterRate")) {
    const json& rate = entry["counterRate"];
    const std::string at = path + ".counterRate";
    if (rate.is_array()) {
      if (rate.size() != board.counterRates.size()) Fail(at, "needs one rate per counter");
      for (size_t i = 0; i < rate.size(); ++i) {
        board.counterRates[i] = NumberIn(rate[i], at + "[" + std::to_string(i) + "]", 0.0, 1e9);
      }
    } else {
      board.counterRates.assign(board.counterRates.size(), NumberIn(rate, at, 0.0, 1e9));
    }
  }
  board.signals = DefaultSignals(board.inputs, static_cast<int32_t>(index % 8));
  if (entry.contains("signals")) {
    ReadSignals(entry["signals"], path + ".signals", baseDirectory, board);
  }
  if (entry.contains("loseSamples"))
    ReadLoss(entry["loseSamples"], path + ".loseSamples", board.loss);
  if (entry.contains("portWires")) ReadPortWires(entry["portWires"], path + ".portWires", board);
  if (entry.contains("answers")) {
    ReadAnswers(entry["answers"], path + ".answers", &board.serial, answers);
  }
  return board;
}

WorldSpec ReadWorld(const json& root, const std::string& baseDirectory) {
  ObjectAt(root, "profile");
  RejectUnknownKeys(root, "profile", {"library", "boards", "answers"});
  WorldSpec world;
  if (root.contains("library")) {
    const json& library = ObjectAt(root["library"], "library");
    RejectUnknownKeys(library, "library", {"version", "os", "name"});
    if (library.contains("version"))
      ReadTriple(library["version"], "library.version", world.version);
    if (library.contains("os")) world.operatingSystem = AnyInt32(library["os"], "library.os");
    if (library.contains("name")) {
      if (!library["name"].is_string()) Fail("library.name", "must be a string");
      world.libraryName = library["name"].get<std::string>();
    }
  }
  if (root.contains("boards")) {
    const json& boards = root["boards"];
    if (!boards.is_array() || boards.size() > 64)
      Fail("boards", "must be an array of at most 64 boards");
    std::set<int32_t> serials;
    for (size_t i = 0; i < boards.size(); ++i) {
      const std::string path = "boards[" + std::to_string(i) + "]";
      BoardDescription board = ReadBoard(boards[i], path, i, baseDirectory, world.answers);
      if (!serials.insert(board.serial).second) Fail(path + ".serial", "serial number used twice");
      world.boards.push_back(std::move(board));
    }
  }
  if (root.contains("answers")) ReadAnswers(root["answers"], "answers", nullptr, world.answers);
  return world;
}

// nlohmann's message starts with its own prefix and position; keep the reason.
std::string ParseReason(const std::string& what) {
  const size_t column = what.find("column ");
  const size_t colon = what.find(": ", column == std::string::npos ? 0 : column);
  return colon == std::string::npos ? what : what.substr(colon + 2);
}

}  // namespace

void LineAndColumnOf(const std::string& text, size_t byte, size_t* line, size_t* column) {
  size_t currentLine = 1;
  size_t lineStart = 0;
  const size_t end = byte == 0 ? 0 : std::min(byte - 1, text.size());
  for (size_t i = 0; i < end; ++i) {
    if (text[i] == '\n') {
      ++currentLine;
      lineStart = i + 1;
    }
  }
  *line = currentLine;
  *column = end - lineStart + 1;
}

ProfileResult ParseProfileText(const std::string& text, const std::string& baseDirectory) {
  ProfileResult result;
  try {
    const json root = json::parse(text);
    result.world = ReadWorld(root, baseDirectory);
    result.ok = true;
  } catch (const json::parse_error& error) {
    size_t line = 0;
    size_t column = 0;
    LineAndColumnOf(text, error.byte, &line, &column);
    result.error = "line " + std::to_string(line) + ", column " + std::to_string(column) + ": " +
                   ParseReason(error.what());
  } catch (const ProfileFault& fault) {
    result.error = fault.message;
  } catch (const std::exception& other) {
    result.error = std::string("profile: ") + other.what();
  }
  return result;
}

ProfileResult LoadProfileFile(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  if (!file) {
    ProfileResult result;
    result.error = "cannot open profile \"" + path + "\"";
    return result;
  }
  std::ostringstream contents;
  contents << file.rdbuf();
  const size_t slash = path.find_last_of("/\\");
  const std::string directory = slash == std::string::npos ? "" : path.substr(0, slash + 1);
  ProfileResult result = ParseProfileText(contents.str(), directory);
  if (!result.ok) result.error = path + ": " + result.error;
  return result;
}

}  // namespace velqsim
