// tarnix-host: drives the TARNIX module from the command line the way the
// host application does: load it, initialise it with a host record, then
// describe, acquire, poke outputs, keep worksheets or open its dialogs.
#include <CLI/CLI.hpp>

#include "commands.h"
#include "tarnix_version.h"

int main(int argc, char** argv) {
  CLI::App app{
      "tarnix-host: exercise the TARNIX data-acquisition module without the host application.\n"
      "Loads the module (default: the one beside this program), initialises it with a host\n"
      "record and runs one subcommand; the module's own messages are shown on stderr."};
  app.set_version_flag("--version", "tarnix-host " TARNIX_VERSION);
  app.require_subcommand(1);
  app.fallthrough();
  host::GlobalOptions globals;
  int exit = host::kExitOk;
  host::AddGlobalOptions(app, &globals);
  host::AddInfoCommand(app, globals, &exit);
  host::AddAcquireCommand(app, globals, &exit);
  host::AddIoCommand(app, globals, &exit);
  host::AddWorksheetCommand(app, globals, &exit);
  host::AddSetupCommand(app, globals, &exit);
  host::AddAboutCommand(app, globals, &exit);
  host::AddMonitorCommand(app, globals, &exit);
  app.footer(
      "Examples:\n"
      "  tarnix-host info\n"
      "  tarnix-host acquire --channels 0-3 --rate 1000 --blocks 20 --plot out/demo.svg\n"
      "  tarnix-host --trace io --do 0=0x55 --di 0\n"
      "  tarnix-host setup --range 1 --gain 0\n"
      "  tarnix-host monitor --channels 0-3 --rate 1000\n"
      "Run 'tarnix-host <command> --help' for each command's options.");
  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& e) {
    return app.exit(e);
  }
  return exit;
}
