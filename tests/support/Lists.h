// The six lists of line settings, which an open port disables.
#pragma once
#include <windows.h>
#include "../../res/resource.h"

const int kLists[6] = { IDC_COMBO_PORT, IDC_COMBO_BAUDRATE, IDC_COMBO_DATABITS,
                        IDC_COMBO_PARITY, IDC_COMBO_STOPBITS, IDC_COMBO_FLOWCONTROL };

inline bool ListsEnabled(HWND hDlg, bool enabled)
{
    for (int id : kLists)
        if ((::IsWindowEnabled(::GetDlgItem(hDlg, id)) != FALSE) != enabled) return false;
    return true;
}
