// tarnix-host.exe end to end with the real DLL under Wine: description,
// acquisition and refusals.
#include "host_common/host_cli_cases.h"
#include "host_common/run_host_win32.h"
