// tarnix-host io: single-point writes and reads on analog outputs, digital
// ports and counters.
#include <cerrno>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "analog_output.h"
#include "commands.h"
#include "os.h"
#include "single_point.h"

namespace host {
namespace {

struct IoOptions {
  std::vector<std::string> analogWrites;   // CH=VALUE
  std::vector<std::string> digitalWrites;  // PORT=VALUE
  std::vector<std::string> counterWrites;  // COUNTER=VALUE
  std::vector<int> digitalReads;
  std::vector<int> counterReads;
};

bool ParseInteger(const std::string& text, long long* value) {
  if (text.empty()) return false;
  char* end = nullptr;
  errno = 0;
  *value = std::strtoll(text.c_str(), &end, 0);
  return errno == 0 && end != nullptr && *end == '\0';
}

// "N=VALUE" into its two halves.
bool SplitAssignment(const std::string& text, long long* target, std::string* value) {
  size_t eq = text.find('=');
  if (eq == std::string::npos) return false;
  *value = text.substr(eq + 1);
  return ParseInteger(text.substr(0, eq), target) && *target >= INT32_MIN && *target <= INT32_MAX;
}

int RunIo(const GlobalOptions& globals, const IoOptions& o) {
  struct Write {
    int32_t target;
    int32_t value;
  };
  std::vector<Write> analog, digital, counter;
  auto parse = [](const std::vector<std::string>& items, std::vector<Write>* out, bool isAnalog,
                  const char* what) {
    for (const std::string& item : items) {
      long long target = 0;
      std::string text;
      long long value = 0;
      int32_t code = 0;
      bool ok =
          SplitAssignment(item, &target, &text) &&
          (isAnalog ? ParseAnalogOutputValue(text, &code)
                    : ParseInteger(text, &value) && value >= INT32_MIN && value <= UINT32_MAX);
      if (!ok) {
        std::fprintf(stderr, "error: %s '%s': expected N=VALUE%s\n", what, item.c_str(),
                     isAnalog ? " (VALUE a code 0..65535 or volts such as 2.5V)" : "");
        return false;
      }
      // Values above 2^31 pass as the same 32 bits.
      out->push_back({static_cast<int32_t>(target),
                      isAnalog ? code : static_cast<int32_t>(static_cast<uint32_t>(value))});
    }
    return true;
  };
  if (!parse(o.analogWrites, &analog, true, "--ao") ||
      !parse(o.digitalWrites, &digital, false, "--do") ||
      !parse(o.counterWrites, &counter, false, "--cw")) {
    return kExitUsage;
  }
  if (analog.empty() && digital.empty() && counter.empty() && o.digitalReads.empty() &&
      o.counterReads.empty()) {
    std::fprintf(stderr, "error: nothing to do; give --ao, --do, --cw, --di or --cr\n");
    return kExitUsage;
  }

  Session session;
  int code = OpenAndInitialise(session, globals);
  if (code != kExitOk) return code;
  // Each call through the shared single-point path; a refusal ends the run
  // with the module's own text.
  auto perform = [&](PointKind kind, int32_t target, int32_t value, const std::string& what,
                     PointOutcome* outcome) {
    *outcome = PerformPoint(session, kind, target, value);
    if (outcome->ok) return true;
    std::fprintf(stderr, "error: %s failed: %s\n", what.c_str(), outcome->message.c_str());
    return false;
  };
  PointOutcome done;
  for (const Write& w : analog) {
    perform(PointKind::kAnalogWrite, w.target, w.value, "", &done);
    std::printf("analog output %d = code %d (%.4f V)\n", w.target, w.value,
                AnalogOutputVolts(w.value));
  }
  for (const Write& w : digital) {
    if (!perform(PointKind::kDigitalWrite, w.target, w.value,
                 "writing digital port " + std::to_string(w.target), &done)) {
      return kExitDriver;
    }
    std::printf("digital port %d <- %u (0x%X)\n", w.target, done.value, done.value);
  }
  for (const Write& w : counter) {
    if (!perform(PointKind::kCounterWrite, w.target, w.value,
                 "writing counter " + std::to_string(w.target), &done)) {
      return kExitDriver;
    }
    std::printf("counter %d <- %u\n", w.target, done.value);
  }
  for (int port : o.digitalReads) {
    if (!perform(PointKind::kDigitalRead, port, 0, "reading digital port " + std::to_string(port),
                 &done)) {
      return kExitDriver;
    }
    std::printf("digital port %d = %u (0x%X)\n", port, done.value, done.value);
  }
  for (int counterNumber : o.counterReads) {
    if (!perform(PointKind::kCounterRead, counterNumber, 0,
                 "reading counter " + std::to_string(counterNumber), &done)) {
      return kExitDriver;
    }
    std::printf("counter %d = %u\n", counterNumber, done.value);
  }
  return kExitOk;
}

}  // namespace

void AddIoCommand(CLI::App& app, const GlobalOptions& globals, int* exit) {
  auto o = std::make_shared<IoOptions>();
  CLI::App* sub = app.add_subcommand(
      "io", "Single-point I/O: analog outputs, digital ports, counters (writes first, then reads)");
  sub->add_option("--ao", o->analogWrites,
                  "Analog output CH=VALUE: a code 0..65535 or volts (2.5V)");
  sub->add_option("--do", o->digitalWrites, "Write digital port PORT=VALUE");
  sub->add_option("--cw", o->counterWrites, "Write counter N=VALUE");
  sub->add_option("--di", o->digitalReads, "Read digital port PORT");
  sub->add_option("--cr", o->counterReads, "Read counter N");
  sub->footer(
      "Examples:\n"
      "  tarnix-host io --ao 0=2.5V --ao 1=32768\n"
      "  tarnix-host io --do 0=0x55 --di 0\n"
      "  tarnix-host io --cw 1=1000 --cr 1");
  sub->callback([&globals, exit, o] { *exit = RunIo(globals, *o); });
}

}  // namespace host
