// tarnix-host monitor where the build has no HTTP server library (the
// Windows flavour: Debian's cpp-httplib is built for Linux only). The
// command is still listed, and says why it cannot run.
#include <cstdio>

#include "commands.h"

namespace host {

void AddMonitorCommand(CLI::App& app, const GlobalOptions&, int* exit) {
  CLI::App* sub = app.add_subcommand("monitor", "Live web view (not in this build)");
  sub->allow_extras();
  sub->callback([exit] {
    std::fprintf(stderr,
                 "error: monitor is not part of this build: it needs the cpp-httplib server "
                 "library, which this platform's build lacks; use the native tarnix-host\n");
    *exit = kExitUsage;
  });
}

}  // namespace host
