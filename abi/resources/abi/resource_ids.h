/* Resource ids of tarnix.dll: its string table, dialog templates, splash
 * picture and the controls of the setup dialog.
 *
 * Shared by the resource script, the module's code, the portable backend's
 * tables, the host exerciser and the tests that drive the dialogs. Plain
 * preprocessor definitions only: the resource compiler reads this too.
 */
#ifndef TARNIX_ABI_RESOURCE_IDS_H
#define TARNIX_ABI_RESOURCE_IDS_H

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

/* Dialog templates and the splash picture. */
#define IDD_SETUP 101
#define IDD_ABOUT 103
#define IDD_SPLASH 104
#define IDB_SPLASH 105

/* Controls without an id. */
#ifndef IDC_STATIC
#define IDC_STATIC (-1)
#endif

/* Setup dialog (template 101): controls. */
#define IDC_API_VERSION 1000
#define IDC_OPERATING_SYSTEM 1001
#define IDC_BOARD_COUNT 1002
#define IDC_BOARD_LIST 1005
#define IDC_BOARD_NAME 1007
#define IDC_BOARD_TYPE 1008
#define IDC_BOARD_DATE 1009
#define IDC_BOARD_REVISION 1010
#define IDC_CLOCK_LIST 1013
#define IDC_RANGE_LIST 1014
#define IDC_GAIN_LIST 1015
#define IDC_MODE_LIST 1016

#endif
