// tarnix-host.exe end to end, with the real DLL under Wine.
#include "host_common/host_cli_cases.h"
