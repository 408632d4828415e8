/* Every text of the module's resources, with their ids.
 *
 * Included by the resource script (tarnix.rc, compiled with windres) and by
 * the portable string table and dialog templates beside it, so each text
 * exists once. Plain preprocessor definitions only: the resource compiler
 * reads this too.
 */
#ifndef TARNIX_UI_RESOURCES_H
#define TARNIX_UI_RESOURCES_H

#include "abi/resource_ids.h"
#include "tarnix_version.h"

#define STR_DRIVER_NAME "VELQ Sorvik Interface"
#define STR_WRONG_HOST_VERSION "Wrong Sorvik Version"
#define STR_WRONG_API_VERSION "Wrong VELQ API Version"
#define STR_NO_BOARDS "No Morvane DAQ boards are installed"
#define STR_HELP_FILE "Tarnix.hlp"
#define STR_BUFFER_SIZE_FIXED "Buffer size cannot be changed!"
#define STR_OVERRUN "Driver buffer or hardware FIFO overrun!"
#define STR_AD_BUSY "A/D Busy"
#define STR_NOT_SUPPORTED "Function not supported"
#define STR_WRONG_RATE "Wrong sampling frequency"
#define STR_NO_CHANNEL "No channel selected"
#define STR_WRONG_BLOCK_SIZE "Wrong block size"
#define STR_UNKNOWN_ERROR "Unkown driver error has occured"
#define STR_RATE_CHANGED "Frequency had to be changed"
#define STR_CHANNELS_CHANGED "Channel list had to be changed"

/* Setup dialog (template 101). */
#define STR_SETUP_CAPTION "VELQ HW setup"
#define STR_DIALOG_FONT "MS Sans Serif"
#define STR_OK "OK"
#define STR_CANCEL "Cancel"
#define STR_API_GROUP "API Information"
#define STR_VERSION_LABEL "Version"
#define STR_OS_LABEL "Operating System"
#define STR_BOARDS_LABEL "Boards Installed"
#define STR_SELECT_BOARD "Select a board"
#define STR_BOARD_GROUP "Board Information"
#define STR_BOARD_TYPE_LABEL "BoardType"
#define STR_DATE_LABEL "Macnufactured on"
#define STR_REVISION_LABEL "Revision"
#define STR_SETTINGS_GROUP "Settings"
#define STR_CLOCK_LABEL "Clock Source"
#define STR_RANGE_LABEL "A/D Range"
#define STR_GAIN_LABEL "A/D Gain (mV)"
#define STR_MODE_LABEL "A/D Mode"

/* About box (template 103). */
#define STR_ABOUT_CAPTION "About VELQ"

/* Splash (template 104): the driver's name line and five lines that
 * identify this module. */
#define STR_SPLASH_TITLE "VELQ Sorvik Interface Driver"
#define STR_SPLASH_LINE1 "TARNIX acquisition driver module"
#define STR_SPLASH_LINE2 TARNIX_VERSION_LINE
#define STR_SPLASH_LINE3 TARNIX_BUILD_LINE
#define STR_SPLASH_LINE4 "Boards driven through VLQAPI.dll"
#define STR_SPLASH_LINE5 "(C) 2026 The TARNIX developers"

#endif
