// tarnix-host.exe end to end with the real DLL under Wine: I/O,
// worksheets, dialogs and help (a second program, so each stays within the
// time a Wine test is given).
#include "host_common/host_cli_more_cases.h"
#include "host_common/run_host_win32.h"
