#include "commands.h"

namespace host {

void AddGlobalOptions(CLI::App& app, GlobalOptions* o) {
  app.option_defaults()->always_capture_default();
  app.add_option("--module", o->modulePath,
                 "Module to load (default: the module built beside tarnix-host)");
  app.add_flag("--trace", o->trace, "Show the module's trace lines on stderr as they come");
  app.add_option("--board-config", o->boardConfig,
                 "Board profile (JSON) for the simulated board library");
  app.add_option("--sim-clock", o->simClock,
                 "Clock of the simulated board library: realtime (default), virtual or "
                 "unthrottled (every block ready at once)")
      ->check(CLI::IsMember({"realtime", "virtual", "unthrottled"}));
  app.add_option("--record-version", o->recordVersion,
                 "structVersion written into the host record (the module accepts 17)")
      ->default_val(17);
}

}  // namespace host
