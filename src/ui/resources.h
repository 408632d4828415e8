/* Resource ids and every text of the module's resources.
 *
 * Included by the resource script (tarnix.rc, compiled with windres) and by
 * the portable backend's built-in string table, so each text exists once.
 * Plain preprocessor definitions only: the resource compiler reads this too.
 */
#ifndef TARNIX_UI_RESOURCES_H
#define TARNIX_UI_RESOURCES_H

/* String table. */
#define IDS_DRIVER_NAME 1
#define IDS_WRONG_HOST_VERSION 2
#define IDS_WRONG_API_VERSION 3
#define IDS_NO_BOARDS 4
#define IDS_HELP_FILE 5
#define IDS_BUFFER_SIZE_FIXED 6
#define IDS_OVERRUN 7
#define IDS_AD_BUSY 8
#define IDS_NOT_SUPPORTED 9
#define IDS_WRONG_RATE 10
#define IDS_NO_CHANNEL 11
#define IDS_WRONG_BLOCK_SIZE 12
#define IDS_UNKNOWN_ERROR 13
#define IDS_RATE_CHANGED 14
#define IDS_CHANNELS_CHANGED 15
#define IDS_FIRST 1
#define IDS_LAST 15

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

/* Dialog templates and the splash picture. */
#define IDD_SETUP 101
#define IDD_ABOUT 103
#define IDD_SPLASH 104
#define IDB_SPLASH 105

#endif
