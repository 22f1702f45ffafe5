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
#define IDC_EDIT_PREVIEWSCAN    1026
#define IDC_EDIT_PREVIEWTYPED   1027
#define IDC_CHECK_ATONCE        1028
#define IDC_COMBO_DEVICE        1029
#define IDC_EDIT_OUTPUT         1030
#define IDC_EDIT_REPLACE        1031
#define IDC_EDIT_REPLACEWITH    1032
#define IDC_EDIT_REPEATSECONDS  1033
#define IDC_EDIT_PROFILENAME    1040

#define ID_TRAY_RESTORE         32771
#define ID_TRAY_OPENPORT        32772
#define ID_TRAY_EXIT            32773
#define ID_TRAY_ASK             32774
#define ID_START_OPTIONS        32780   // posted to the main window once it is up

#define WM_TRAYNOTIFY           0x83E8
