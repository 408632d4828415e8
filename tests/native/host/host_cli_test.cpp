// tarnix-host end to end, native build.
#include "host_common/host_cli_cases.h"
#include "host_common/host_cli_more_cases.h"
#include "host_common/run_host_posix.h"
