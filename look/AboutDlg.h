// The About box: fixed texts and an OK button.
#pragma once
#include "../fw/Dialog.h"
#include "../res/resource.h"

class CAboutDlg : public CDialog {
public:
    CAboutDlg() : CDialog(IDD_ABOUTBOX) {}
};
