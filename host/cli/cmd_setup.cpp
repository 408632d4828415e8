// tarnix-host setup and about: the module's dialogs, with a simulated user
// that makes the choices given on the command line and reports what the
// dialog showed.
#include <cstdio>
#include <memory>

#include "abi/resource_ids.h"
#include "commands.h"
#include "module_observer.h"

namespace host {
namespace {

constexpr int32_t kSetupSelector = 1;
constexpr int32_t kAboutSelector = 99;

struct SetupOptions {
  int board = -1, range = -1, gain = -1;
  std::string clock;
  bool cancel = false;
  bool interactive = false;
  std::string saveWorksheet;
};

void PrintList(const SetupView& view, int id, const char* title) {
  auto entries = view.lists.find(id);
  int selected = view.selected.count(id) != 0 ? view.selected.at(id) : -1;
  std::printf("  %-16s", title);
  if (entries == view.lists.end() || entries->second.empty()) {
    std::printf(" (empty)\n");
    return;
  }
  for (size_t i = 0; i < entries->second.size(); ++i) {
    bool on = static_cast<int>(i) == selected;
    std::printf("%s%s%s%s", i == 0 ? " " : " | ", on ? "[" : "", entries->second[i].c_str(),
                on ? "]" : "");
  }
  std::printf("%s\n", selected < 0 ? "   (nothing selected)" : "");
}

void PrintSetupView(const SetupView& v) {
  auto edit = [&](int id) { return v.edits.count(id) != 0 ? v.edits.at(id).c_str() : ""; };
  std::printf("VELQ HW setup\n");
  std::printf("  %-16s %s\n", "API version", edit(IDC_API_VERSION));
  std::printf("  %-16s %s\n", "Operating system", edit(IDC_OPERATING_SYSTEM));
  std::printf("  %-16s %s\n", "Boards installed", edit(IDC_BOARD_COUNT));
  PrintList(v, IDC_BOARD_LIST, "Board");
  std::printf("  %-16s %s\n", "Board name", edit(IDC_BOARD_NAME));
  std::printf("  %-16s %s\n", "Board type", edit(IDC_BOARD_TYPE));
  std::printf("  %-16s %s\n", "Manufactured on", edit(IDC_BOARD_DATE));
  std::printf("  %-16s %s\n", "Revision", edit(IDC_BOARD_REVISION));
  PrintList(v, IDC_CLOCK_LIST, "Clock source");
  PrintList(v, IDC_RANGE_LIST, "A/D range");
  PrintList(v, IDC_GAIN_LIST, "A/D gain (mV)");
  PrintList(v, IDC_MODE_LIST, "A/D mode");
}

int RunSetup(const GlobalOptions& globals, const SetupOptions& o) {
  SetupChoice choice;
  if (o.board >= 0) choice.board = o.board;
  if (o.range >= 0) choice.range = o.range;
  if (o.gain >= 0) choice.gain = o.gain;
  if (!o.clock.empty()) choice.clock = (o.clock == "external" || o.clock == "1") ? 1 : 0;
  choice.cancel = o.cancel;

  Session session;
  int code = OpenAndInitialise(session, globals);
  if (code != kExitOk) return code;
  SetupView view;
  if (!o.interactive) ScriptSetupDialog(choice, &view);
  int32_t shown = session.api().ShowDialog(kSetupSelector, 0);
  FinishDialogScripts();
  if (shown == 0) return session.Fail("DRV_ShowDialog");
  if (o.interactive) {
    std::printf("setup dialog closed\n");
  } else if (!view.seen) {
    std::fprintf(stderr, "error: the setup dialog could not be read: %s\n", view.note.c_str());
    return kExitDriver;
  } else {
    PrintSetupView(view);
    std::printf("pressed %s\n", o.cancel ? "Cancel" : "OK");
  }
  if (!o.saveWorksheet.empty()) {
    session.api().SaveWorksheet(o.saveWorksheet.c_str());
    std::printf("saved worksheet '%s'\n", o.saveWorksheet.c_str());
  }
  std::printf("\n");
  PrintBoardDescription(session.record(), false);
  session.ReportBoxes();
  return kExitOk;
}

int RunAbout(const GlobalOptions& globals) {
  Session session;
  int code = OpenAndInitialise(session, globals);
  if (code != kExitOk) return code;
  bool seen = false;
  ScriptAboutBox(&seen);
  int32_t shown = session.api().ShowDialog(kAboutSelector, 0);
  FinishDialogScripts();
  if (shown == 0) return session.Fail("DRV_ShowDialog");
  std::printf("about box %s\n", seen ? "shown and closed with OK" : "not seen");
  PrintBoardDescription(session.record(), false);
  return seen ? kExitOk : kExitDriver;
}

}  // namespace

void AddSetupCommand(CLI::App& app, const GlobalOptions& globals, int* exit) {
  auto o = std::make_shared<SetupOptions>();
  CLI::App* sub = app.add_subcommand(
      "setup", "Open the hardware setup dialog; a simulated user picks the given settings");
  sub->add_option("--board", o->board, "Pick this position in the board list");
  sub->add_option("--clock", o->clock, "Clock source: internal or external")
      ->check(CLI::IsMember({"internal", "external", "0", "1"}));
  sub->add_option("--range", o->range, "Select this position in the input-range list");
  sub->add_option("--gain", o->gain, "Select this position in the gain list");
  sub->add_flag("--cancel", o->cancel, "Press Cancel instead of OK");
  sub->add_flag("--interactive", o->interactive,
                "Leave the dialog to a person (the DLL flavour on a desktop)");
  sub->add_option("--save-worksheet", o->saveWorksheet,
                  "Afterwards, save the settings as a worksheet");
  sub->footer(
      "Examples:\n"
      "  tarnix-host setup\n"
      "  tarnix-host setup --board 1 --clock external --range 1 --gain 2\n"
      "  tarnix-host setup --range 1 --gain 0 --save-worksheet bench1");
  sub->callback([&globals, exit, o] { *exit = RunSetup(globals, *o); });
}

void AddAboutCommand(CLI::App& app, const GlobalOptions& globals, int* exit) {
  CLI::App* about = app.add_subcommand("about", "Open the about box and press OK");
  about->footer("Example:\n  tarnix-host about");
  about->callback([&globals, exit] { *exit = RunAbout(globals); });
}

}  // namespace host
