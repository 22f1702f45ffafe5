// Asks the name of the profile whose window starts for another device.
#pragma once
#include "../fw/Dialog.h"

class CProfileNameDlg : public CDialog {
public:
    CProfileNameDlg();
    // The name typed; an allowed one when the dialog ended with OK.
    const CString& Name() const { return m_strName; }

protected:
    void DoDataExchange(CDataExchange* pDX) override;
    // Ends only with an allowed name; otherwise a box names what is wrong.
    void OnOK() override;

private:
    CString m_strName;
};
