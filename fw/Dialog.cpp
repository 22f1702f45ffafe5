#include "Dialog.h"
#include "App.h"
#include <iterator>

const AFX_MSGMAP_ENTRY CDialog::messageEntries[] = {
    CommandEntry(IDOK, &CDialog::OnOK),
    CommandEntry(IDCANCEL, &CDialog::OnCancel),
};
const AFX_MSGMAP CDialog::messageMap = { &CWnd::messageMap, messageEntries, std::size(messageEntries) };

// The dialog manager's own procedure sees only WM_INITDIALOG: from then on the
// window is subclassed and every message goes through the object's table, with
// the dialog manager's processing as the default.
INT_PTR CALLBACK AfxDlgProc(HWND hDlg, UINT msg, WPARAM, LPARAM lParam)
{
    if (msg != WM_INITDIALOG)
        return FALSE;
    CDialog* pDlg = (CDialog*)lParam;
    pDlg->SubclassWindow(hDlg);
    return pDlg->OnInitDialog();
}

INT_PTR CDialog::DoModal()
{
    // Without a parent given, the main window owns the dialog (and is disabled meanwhile).
    CWnd* pOwner = m_pParentWnd ? m_pParentWnd : AfxGetMainWnd();
    HWND hWndOwner = (pOwner != NULL && pOwner != this) ? pOwner->m_hWnd : NULL;
    return ::DialogBoxParamA(AfxGetInstanceHandle(), MAKEINTRESOURCEA(m_nIDTemplate),
                             hWndOwner, AfxDlgProc, (LPARAM)this);
}

BOOL CDialog::OnInitDialog()
{
    UpdateData(FALSE);
    return TRUE;
}

void CDialog::OnOK()
{
    UpdateData(TRUE);
    EndDialog(IDOK);
}

void CDialog::OnCancel()
{
    EndDialog(IDCANCEL);
}
