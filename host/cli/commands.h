// The subcommands of tarnix-host. Each Add*Command registers one subcommand
// on the CLI11 application; when it runs, it stores its exit code in *exit.
#pragma once

#include <CLI/CLI.hpp>

#include "session.h"

namespace host {

void AddGlobalOptions(CLI::App& app, GlobalOptions* options);

void AddInfoCommand(CLI::App& app, const GlobalOptions& globals, int* exit);
void AddAcquireCommand(CLI::App& app, const GlobalOptions& globals, int* exit);
void AddIoCommand(CLI::App& app, const GlobalOptions& globals, int* exit);
void AddWorksheetCommand(CLI::App& app, const GlobalOptions& globals, int* exit);
void AddSetupCommand(CLI::App& app, const GlobalOptions& globals, int* exit);
void AddAboutCommand(CLI::App& app, const GlobalOptions& globals, int* exit);
// The live web view; in builds without the HTTP server library a stand-in
// that says so.
void AddMonitorCommand(CLI::App& app, const GlobalOptions& globals, int* exit);

// Prints the board description the module wrote into the record, with the
// per-channel range tables when `withTables`.
void PrintBoardDescription(tarnix::RecordRef record, bool withTables);

}  // namespace host
