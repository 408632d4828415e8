// tarnix-host end to end, native build.
#include "host_common/host_cli_cases.h"
