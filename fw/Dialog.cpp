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

// The modal loop is this one rather than the dialog manager's (DialogBox): that
// one looks for a message once more after each message it handles, and under
// Wine each look is a round trip to the server, several times a second while
// the timers run.
INT_PTR CDialog::DoModal()
{
    // Without a parent given, the main window owns the dialog (and is disabled meanwhile).
    CWnd* pOwner = m_pParentWnd ? m_pParentWnd : AfxGetMainWnd();
    HWND hWndOwner = (pOwner != NULL && pOwner != this) ? pOwner->m_hWnd : NULL;
    bool bOwnerEnabled = hWndOwner != NULL && ::IsWindowEnabled(hWndOwner);
    if (bOwnerEnabled)
        ::EnableWindow(hWndOwner, FALSE);
    m_bEndModal = false;
    m_nModalResult = -1;
    HWND hDlg = ::CreateDialogParamA(AfxGetInstanceHandle(), MAKEINTRESOURCEA(m_nIDTemplate),
                                     hWndOwner, AfxDlgProc, (LPARAM)this);
    // Shown whatever the template says, as the dialog manager shows a modal dialog.
    if (hDlg != NULL && !m_bEndModal)
        ::ShowWindow(hDlg, SW_SHOWNORMAL);
    MSG msg;
    while (hDlg != NULL && !m_bEndModal && ::IsWindow(hDlg)) {
        if (::GetMessageA(&msg, NULL, 0, 0) <= 0) {
            ::PostQuitMessage((int)msg.wParam);   // for the loop outside this one
            break;
        }
        // Only keyboard and mouse input goes through the dialog manager (Tab,
        // Enter, Escape, mnemonics), as in MFC; timer ticks and the rest go
        // straight to their window.
        bool bInput = (msg.message >= WM_KEYFIRST && msg.message <= WM_KEYLAST) ||
                      (msg.message >= WM_MOUSEFIRST && msg.message <= WM_MOUSELAST);
        if (!bInput || !::IsDialogMessageA(hDlg, &msg)) {
            ::TranslateMessage(&msg);
            ::DispatchMessageA(&msg);
        }
    }
    // The owner first, so that it becomes the active window again.
    if (bOwnerEnabled)
        ::EnableWindow(hWndOwner, TRUE);
    if (hDlg != NULL && ::IsWindow(hDlg))
        ::DestroyWindow(hDlg);
    return m_nModalResult;
}

bool CDialog::Create(CWnd* pOwner)
{
    return ::CreateDialogParamA(AfxGetInstanceHandle(), MAKEINTRESOURCEA(m_nIDTemplate),
                                pOwner != NULL ? pOwner->m_hWnd : NULL, AfxDlgProc, (LPARAM)this) != NULL;
}

// A message sent from another thread or program (an OK, a Close) is handled
// inside GetMessage, which returns only for a posted one: so each way out
// posts a message that wakes the loop, as the platform's EndDialog does.
void CDialog::EndDialog(int nResult)
{
    m_nModalResult = nResult;
    m_bEndModal = true;
    PostMessage(WM_NULL);
}

LRESULT CDialog::WindowProc(UINT msg, WPARAM wParam, LPARAM lParam)
{
    // What is posted to a window goes with it: a window destroyed while its
    // loop waits wakes the loop through its thread.
    if (msg == WM_NCDESTROY && !m_bEndModal) {
        m_bEndModal = true;
        ::PostThreadMessageA(::GetCurrentThreadId(), WM_NULL, 0, 0);
    }
    return CWnd::WindowProc(msg, wParam, lParam);
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
