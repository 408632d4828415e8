// The live view's web server: the page, a Server-Sent Events stream of what
// the acquisition thread measured, and the start and stop controls. It
// listens on the loopback address only and refuses requests whose Host or
// Origin names anything else, so a site open in the same browser can
// neither read the stream nor drive the module.
#pragma once

#include <string>

#include "monitor_engine.h"

namespace host {

// Whether `authority` ("127.0.0.1:8080", "localhost", "[::1]:80") names this
// machine's loopback interface.
bool IsLoopbackAuthority(const std::string& authority);
// Whether an Origin header value ("http://localhost:8080") is a page of the
// loopback interface.
bool IsLoopbackOrigin(const std::string& origin);

// Serves until `KeepServing` answers false (asked a few times a second).
// Binds 127.0.0.1:port (0 = a free port) and prints the URL on stdout.
// Answers kExitOk, or kExitUsage when the port cannot be had.
int ServeMonitor(MonitorEngine& engine, int port, bool (*KeepServing)());

}  // namespace host
