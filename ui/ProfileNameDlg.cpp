#include "ProfileNameDlg.h"
#include "../fw/MessageBox.h"
#include "../res/resource.h"
#include "../settings/Profiles.h"

CProfileNameDlg::CProfileNameDlg() : CDialog(IDD_PROFILENAME) {}

void CProfileNameDlg::DoDataExchange(CDataExchange* pDX)
{
    DDX_Text(pDX, IDC_EDIT_PROFILENAME, m_strName);
}

void CProfileNameDlg::OnOK()
{
    UpdateData(TRUE);
    CString strRefusal = ProfileRefusal(m_strName);
    if (!strRefusal.IsEmpty()) {
        AfxMessageBox(strRefusal, MB_OK | MB_ICONEXCLAMATION);
        return;
    }
    EndDialog(IDOK);
}
