// tarnix-host worksheet: the host's new/save/load worksheet calls, in the
// order given on the command line, within one module session.
#include <cstdio>
#include <memory>

#include "commands.h"

namespace host {
namespace {

void PrintInputs(tarnix::RecordRef r) {
  std::printf("  board %s, %d analog inputs, range %.3f .. %.3f V\n",
              RecordText(r, TARNIX_RECORD(boardName), 20).c_str(),
              static_cast<uint16_t>(r.get<int16_t>(TARNIX_RECORD(adChannelCount))),
              r.get<double>(TARNIX_RECORD(adChannels) + TARNIX_OFFSET(ChannelEntry, minValue)),
              r.get<double>(TARNIX_RECORD(adChannels) + TARNIX_OFFSET(ChannelEntry, maxValue)));
}

int RunWorksheet(const GlobalOptions& globals, const std::vector<std::string>& steps) {
  // Check the whole sequence before the module is touched.
  for (size_t i = 0; i < steps.size(); ++i) {
    const std::string& action = steps[i];
    if (action == "new") continue;
    if ((action == "save" || action == "load") && i + 1 < steps.size()) {
      ++i;
      continue;
    }
    std::fprintf(stderr, "error: expected 'new', 'save NAME' or 'load NAME', got '%s'%s\n",
                 action.c_str(), action == "save" || action == "load" ? " without a name" : "");
    return kExitUsage;
  }
  Session session;
  int code = OpenAndInitialise(session, globals);
  if (code != kExitOk) return code;
  const DriverApi& api = session.api();
  for (size_t i = 0; i < steps.size(); ++i) {
    if (steps[i] == "new") {
      api.NewWorksheet();
      std::printf("new worksheet\n");
    } else if (steps[i] == "save") {
      const std::string& name = steps[++i];
      api.SaveWorksheet(name.c_str());
      std::printf("saved worksheet '%s'\n", name.c_str());
    } else {
      const std::string& name = steps[++i];
      api.LoadWorksheet(name.c_str());
      std::printf("loaded worksheet '%s'\n", name.c_str());
      PrintInputs(session.record());
    }
    session.ReportBoxes();
  }
  return kExitOk;
}

}  // namespace

void AddWorksheetCommand(CLI::App& app, const GlobalOptions& globals, int* exit) {
  auto steps = std::make_shared<std::vector<std::string>>();
  CLI::App* sub = app.add_subcommand(
      "worksheet", "Worksheet settings: new, save NAME, load NAME (several run in order)");
  sub->add_option("steps", *steps, "Actions: new | save NAME | load NAME")->required();
  sub->footer(
      "The module keeps board, clock source, gain, range and mode per worksheet in the\n"
      "registry (the portable build's registry lives only as long as the process).\n"
      "Examples:\n"
      "  tarnix-host worksheet save bench1\n"
      "  tarnix-host --trace worksheet load bench1\n"
      "  tarnix-host worksheet new save scratch load scratch");
  sub->callback([&globals, exit, steps] { *exit = RunWorksheet(globals, *steps); });
}

}  // namespace host
