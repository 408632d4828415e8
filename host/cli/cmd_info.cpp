// tarnix-host info: the board description as the module writes it.
#include <cstdio>

#include "board_description.h"
#include "commands.h"

namespace host {
namespace {

using tarnix::ChannelEntry;
using tarnix::DeviceRecord;
using tarnix::RecordRef;

void PrintChannelTable(RecordRef r, const char* title, size_t table, int count) {
  if (count == 0) return;
  std::printf("\n  %-8s %10s %10s %10s\n", title, "min (V)", "max (V)", "full scale");
  for (int i = 0; i < count; ++i) {
    size_t entry = tarnix::EntryOffset(table, sizeof(ChannelEntry), i, 0);
    std::printf("  %-8d %10.3f %10.3f %10d\n", i,
                r.get<double>(entry + TARNIX_OFFSET(ChannelEntry, minValue)),
                r.get<double>(entry + TARNIX_OFFSET(ChannelEntry, maxValue)),
                r.get<int32_t>(entry + TARNIX_OFFSET(ChannelEntry, fullScaleCode)));
  }
}

int RunInfo(const GlobalOptions& globals) {
  Session session;
  int code = OpenAndInitialise(session, globals);
  if (code != kExitOk) return code;
  PrintBoardDescription(session.record(), true);
  return kExitOk;
}

}  // namespace

void PrintBoardDescription(RecordRef r, bool withTables) {
  auto text = [&](size_t offset, size_t width) { return RecordText(r, offset, width); };
  std::printf("%-22s %s\n", "Driver", text(TARNIX_RECORD(driverName), 60).c_str());
  std::printf("%-22s %s\n", "Board", text(TARNIX_RECORD(boardName), 20).c_str());
  std::printf("%-22s %s\n", "Board library version",
              text(TARNIX_RECORD(apiVersionText), 40).c_str());
  std::printf("%-22s %s\n", "Board version", text(TARNIX_RECORD(boardVersionText), 40).c_str());
  std::printf("%-22s %s\n", "Help file", text(TARNIX_RECORD(helpFileName), 20).c_str());
  std::printf("%-22s 0x%04X\n", "Capabilities",
              static_cast<unsigned>(r.get<int32_t>(TARNIX_RECORD(capabilities))));
  std::printf("%-22s %g .. %g Hz\n", "Sampling rate", r.get<double>(TARNIX_RECORD(minSampleRate)),
              r.get<double>(TARNIX_RECORD(maxSampleRate)));
  const BoardCounts counts = ReadBoardCounts(r);
  std::printf("%-22s %d\n", "Analog inputs", counts.inputs);
  std::printf("%-22s %d\n", "Analog outputs", counts.outputs);
  std::printf("%-22s %d (8 bits each)\n", "Digital ports", counts.outputPorts);
  std::printf("%-22s %d\n", "Counters", counts.counters);
  std::printf("%-22s %g Hz, block %d samples\n", "Host settings",
              r.get<double>(TARNIX_RECORD(sampleRate)), r.get<int32_t>(TARNIX_RECORD(blockSize)));
  if (!withTables) {
    std::printf("%-22s %.3f .. %.3f V\n", "Input range", InputRangeMin(r), InputRangeMax(r));
    return;
  }
  PrintChannelTable(r, "input", TARNIX_RECORD(adChannels), counts.inputs);
  PrintChannelTable(r, "output", TARNIX_RECORD(daChannels), counts.outputs);
}

void AddInfoCommand(CLI::App& app, const GlobalOptions& globals, int* exit) {
  CLI::App* sub =
      app.add_subcommand("info", "Initialise the module and show the board description");
  sub->footer(
      "Examples:\n"
      "  tarnix-host info\n"
      "  tarnix-host --trace info\n"
      "  tarnix-host --board-config boards.json info");
  sub->callback([&globals, exit] { *exit = RunInfo(globals); });
}

}  // namespace host
