// Resource, control and command ids.
#pragma once

#define IDM_ABOUTBOX            0x0010
#define IDM_SCANRULES           0x0020
#define IDM_NEWPROFILE          0x0030
#define IDM_STARTWITHWINDOWS    0x0040
#define IDD_ABOUTBOX            100
#define IDS_ABOUTBOX            101
#define IDD_MAIN                102
#define IDS_SCANRULES           103
#define IDD_SCANRULES           104
#define IDS_NEWPROFILE          105
#define IDS_STARTWITHWINDOWS    106
#define IDD_PROFILENAME         107
#define IDB_BACKGROUND          132
#define IDR_TRAYMENU            133
#define IDI_IDLE                138
#define IDI_ACTIVE              148

#define IDC_COMBO_PORT          1001
#define IDC_COMBO_BAUDRATE      1002
#define IDC_COMBO_DATABITS      1003
#define IDC_COMBO_PARITY        1004
#define IDC_COMBO_STOPBITS      1005
#define IDC_BTN_OPENCLOSE       1006
#define IDC_COMBO_FLOWCONTROL   1007
#define IDC_LABEL_PORT          1009
#define IDC_LABEL_BAUDRATE      1010
#define IDC_LABEL_DATABITS      1011
#define IDC_LABEL_PARITY        1012
#define IDC_LABEL_STATUS        1013
#define IDC_LABEL_STOPBITS      1014
#define IDC_LABEL_LASTSCAN      1015
#define IDC_EDIT_LASTSCAN       1016
#define IDC_LABEL_FLOWCONTROL   1017
#define IDC_EDIT_PREFIX         1020
#define IDC_EDIT_SUFFIX         1021
#define IDC_EDIT_PATTERN        1022
#define IDC_COMBO_NOMATCH       1023
#define IDC_CHECK_SKIPREPEATS   1024
#define IDC_EDIT_KEYDELAY       1025
#define IDC_CHECK_ATONCE        1028
#define IDC_COMBO_DEVICE        1029
#define IDC_EDIT_PREVIEWSCAN    1100
#define IDC_EDIT_PREVIEWTYPED   1101
#define IDC_EDIT_OUTPUT         1030
#define IDC_EDIT_REPLACE        1031
#define IDC_EDIT_REPLACEWITH    1032
#define IDC_EDIT_REPEATSECONDS  1033
// The Scan Rules dialog's pages: each page's controls have the ids of its
// range, so that a page is shown and hidden whole; the preview and the
// buttons are outside every range.
#define IDC_TAB_PAGES           1018
#define IDC_PAGE_RULES_FIRST    1020
#define IDC_LABEL_DEVICE        1034
#define IDC_LABEL_PREFIX        1035
#define IDC_LABEL_SUFFIX        1036
#define IDC_LABEL_PATTERN       1037
#define IDC_LABEL_OUTPUT        1038
#define IDC_LABEL_REPLACE       1039
#define IDC_LABEL_REPLACEWITH   1040
#define IDC_LABEL_NOMATCH       1041
#define IDC_LABEL_REPEATSECONDS 1042
#define IDC_LABEL_KEYDELAY      1043
#define IDC_PAGE_RULES_LAST     1069
#define IDC_PAGE_TARGET_FIRST   1070
#define IDC_EDIT_TARGET         1070
#define IDC_CHECK_ACTIVATE      1071
#define IDC_EDIT_LOGFILE        1072
#define IDC_CHECK_LOGONLY       1073
#define IDC_LABEL_TARGET        1074
#define IDC_LABEL_TARGETHINT    1075
#define IDC_LABEL_LOGFILE       1076
#define IDC_LABEL_LOGHINT       1077
#define IDC_EDIT_WEBPORT        1082
#define IDC_EDIT_WEBORIGINS     1083
#define IDC_LABEL_WEBPORT       1084
#define IDC_LABEL_WEBORIGINS    1085
#define IDC_LABEL_WEBADDRESS    1086
#define IDC_PAGE_TARGET_LAST    1099
#define IDC_PAGE_DEVICE_FIRST   1110
#define IDC_EDIT_OPENCOMMAND    1110
#define IDC_EDIT_REQUEST        1111
#define IDC_EDIT_HOTKEY         1112
#define IDC_EDIT_INTERVAL       1113
#define IDC_CHECK_DTR           1114
#define IDC_CHECK_RTS           1115
#define IDC_COMBO_HANDSHAKE     1116
#define IDC_LABEL_OPENCOMMAND   1117
#define IDC_LABEL_REQUEST       1118
#define IDC_LABEL_REQUESTSENDS  1119
#define IDC_LABEL_HOTKEY        1120
#define IDC_LABEL_INTERVAL      1121
#define IDC_LABEL_HANDSHAKE     1122
#define IDC_LABEL_DEVICEHINT    1123
#define IDC_PAGE_DEVICE_LAST    1139
#define IDC_EDIT_PROFILENAME    1140

#define ID_TRAY_RESTORE         32771
#define ID_TRAY_OPENPORT        32772
#define ID_TRAY_EXIT            32773
#define ID_TRAY_ASK             32774
#define ID_START_OPTIONS        32780   // posted to the main window once it is up

#define WM_TRAYNOTIFY           0x83E8
