// Resource identifiers of the program's own module.
#pragma once

#define IDR_VERSION 1

#define IDS_CLOSE                 104
#define IDS_RESTART_COUNTDOWN     105
#define IDS_ANALYZING_UPDATES_FMT 106
#define IDS_PRODUCT_FOUND         116
#define IDS_NO_DISK_SPACE         118
#define IDS_INSTALL_TITLE         119
#define IDS_OS_NOT_SUPPORTED      120
#define IDS_UPDATE_VERSIONS       127
#define IDS_NOT_ADMIN             129
#define IDS_RUNTIME_ERROR         130
#define IDS_DOTNET_ERROR          131
#define IDS_UAC_ENABLED           132
#define IDS_AUTH_SERVER_ERROR     133
#define IDS_ALREADY_RUNNING       134
#define IDS_UPDATE                135
#define IDS_SERVER_OS_ONLY        137
#define IDS_COMPONENT_UNSUPPORTED 143
#define IDS_RESTART_TO_RECOVER    144

#define IDS_BUILD_LANGUAGE        1018
#define IDS_WRONG_LOCALE          1019
#define IDS_CONTROL_CENTER        1022
#define IDS_LOCALE_WRITE_FAILED   1023
#define IDS_WIZARD_TERMINATED     1027
#define IDS_KIT_CORRUPTED         1030
#define IDS_TRANSFORM_FAILED      1031
#define IDS_INSTALL               1039
#define IDS_SELECT_INSTALL        1041
#define IDS_SELECT_INSTALL_UPDATE 1042
#define IDS_MODIFY                1050
#define IDS_LINE_INSTALLING       1051
#define IDS_LINE_INSTALLED        1052
#define IDS_LINE_UPDATING         1053
#define IDS_LINE_UPDATED          1054
#define IDS_LINE_UNINSTALLING     1055
#define IDS_LINE_UNINSTALLED      1056
#define IDS_LINE_ROLLING_BACK     1057
#define IDS_LINE_ROLLED_BACK      1058
#define IDS_SECURITY_SERVER       1059
#define IDS_AUTH_SERVER           1060
#define IDS_SYNC_SERVICE          1061
#define IDS_LINE_MODIFYING        1062
#define IDS_LINE_MODIFIED         1063
#define IDS_ANALYZING_SYSTEM      1065
#define IDS_ANALYZING_UPDATES     1066
#define IDS_NO_AS_SETTINGS        1067
#define IDS_NO_DB_SETTINGS        1068
#define IDS_NO_CP_SETTINGS        1069
#define IDS_CONFIRM_UNINSTALL     1070
#define IDS_UPDATES_REQUIRED      1071
#define IDS_REGION_EXISTS         1160

// 7127 to 7131: the display names of the installed-products scan (owned by OvInstUtils).
#include "ComponentNameIds.h"
// Options and exit codes, shown for /? and /help.
#define IDS_USAGE                 7132

// Banner on the left of the status and summary windows.
#define IDB_BANNER                150

// Window icon, and the 16 x 16 icons of the status lines.
#define IDI_SETUP                 101
#define IDI_LINE_RUNNING          131
#define IDI_LINE_PENDING          136
#define IDI_LINE_FINISHED         151
#define IDI_LINE_FAILED           153

// Dialog templates and their controls.
#ifndef IDC_STATIC
#define IDC_STATIC                (-1)
#endif
#define IDD_STATUS                152
#define IDD_SUMMARY               1035

#define IDC_LINE1_TEXT            1000
#define IDC_LINE2_TEXT            1001
#define IDC_LINE3_TEXT            1002
#define IDC_LINE4_TEXT            1046
#define IDC_LINE5_TEXT            1047
#define IDC_LINE1_ICON            1003
#define IDC_LINE2_ICON            1004
#define IDC_LINE3_ICON            1005
#define IDC_LINE4_ICON            1048
#define IDC_LINE5_ICON            1049
#define IDC_COUNTDOWN_BAR         1008
#define IDC_MESSAGE               1009
#define IDC_REBOOT                1014
#define IDC_CONSOLE_CHOICE        1017

#define IDC_HEADING               1033
#define IDC_CHECK_SECURITY        1036
#define IDC_CHECK_AUTH            1037
#define IDC_CHECK_SYNC            1038
#define IDC_ACTION                1044
#define IDC_UNINSTALL             1045
#define IDC_VERSION_TEXT          1064
