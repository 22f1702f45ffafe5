#include "ReceivedDataDlg.h"
#include "WedgeDlg.h"
#include "../keys/ClipboardPaste.h"
#include "../res/resource.h"
#include "../settings/Settings.h"
#include <iterator>

const AFX_MSGMAP_ENTRY CReceivedDataDlg::messageEntries[] = {
    MsgEntry(WM_TIMER, &CReceivedDataDlg::OnTimer),
    CommandEntry(IDC_CHECK_HEX, &CReceivedDataDlg::OnHex, BN_CLICKED),
    CommandEntry(IDC_CHECK_PAUSE, &CReceivedDataDlg::OnPause, BN_CLICKED),
    CommandEntry(IDC_BTN_CLEAR, &CReceivedDataDlg::OnClear, BN_CLICKED),
    CommandEntry(IDC_BTN_COPY, &CReceivedDataDlg::OnCopy, BN_CLICKED),
};
const AFX_MSGMAP CReceivedDataDlg::messageMap = { &CDialog::messageMap, messageEntries, std::size(messageEntries) };

// Often enough to look live, seldom enough that a flood costs the window's
// thread little: the entries of a tick are listed together.
static const UINT kRefreshMs = 100;

CReceivedDataDlg::CReceivedDataDlg(CReceivedData& received)
    : CDialog(IDD_RECEIVEDDATA), m_received(received)
{
}

void CReceivedDataDlg::Show(CWnd* pOwner)
{
    if (m_hWnd == NULL && !Create(pOwner))
        return;
    ShowWindow(SW_SHOWNORMAL);
    ::SetForegroundWindow(m_hWnd);
}

void CReceivedDataDlg::DoDataExchange(CDataExchange* pDX)
{
    DDX_Control(pDX, IDC_LIST_RECEIVED, m_list);
    DDX_Check(pDX, IDC_CHECK_HEX, m_bHex);
    DDX_Check(pDX, IDC_CHECK_PAUSE, m_bPause);
}

BOOL CReceivedDataDlg::OnInitDialog()
{
    m_bPause = 0;
    CDialog::OnInitDialog();
    CString strTitle = ProfileName();   // before the program's name, as the main window has it
    if (!strTitle.IsEmpty())
        strTitle += " - ";
    strTitle += "Received Data - Brindlequaverly";
    SetWindowText(strTitle);
    const int kStops[] = { 56, 90, 112 };   // the gap, the kind, what it holds
    m_list.SetTabStops((int)std::size(kStops), kStops);
    m_list.SetHorizontalExtent(4000);
    Refill();
    SetTimer(RECEIVED_TIMER, kRefreshMs);
    return TRUE;
}

void CReceivedDataDlg::OnTimer(UINT_PTR)
{
    if (!m_bPause) {
        AddNew();
        return;
    }
    // Paused, the list stands still and says how much came since.
    CString strCount;
    strCount.Format("Paused: %llu new entries", m_received.Next() - m_nNext);
    AfxSetWindowText(GetDlgItem(IDC_LABEL_RECEIVEDCOUNT), strCount);
}

void CReceivedDataDlg::AddNew()
{
    std::vector<ReceivedEntry> entries = m_received.Since(m_nNext);
    if (entries.empty())
        return;
    // The list follows the newest entry unless the user scrolled up to read.
    RECT rect;
    ::GetClientRect(m_list, &rect);
    int nCount = m_list.GetCount();
    int nItemHeight = m_list.GetItemHeight();
    int nShown = nItemHeight > 0 ? (rect.bottom - rect.top) / nItemHeight : 1;
    bool bAtBottom = m_list.GetTopIndex() + nShown >= nCount;
    m_list.SendMessage(WM_SETREDRAW, FALSE);
    for (const ReceivedEntry& entry : entries)
        m_list.AddString(EntryText(entry, m_bHex != 0).c_str());
    for (nCount = m_list.GetCount(); nCount > (int)CReceivedData::kMaxEntries; nCount--)
        m_list.DeleteString(0);
    if (bAtBottom)
        m_list.SetTopIndex(nCount - 1);
    m_list.SendMessage(WM_SETREDRAW, TRUE);
    ::InvalidateRect(m_list, NULL, TRUE);
}

void CReceivedDataDlg::Refill()
{
    m_list.ResetContent();
    m_nNext = 0;
    AddNew();
}

void CReceivedDataDlg::OnHex()
{
    UpdateData(TRUE);
    Refill();
}

void CReceivedDataDlg::OnPause()
{
    UpdateData(TRUE);
    AfxSetWindowText(GetDlgItem(IDC_LABEL_RECEIVEDCOUNT), "");
    if (!m_bPause)
        AddNew();
}

void CReceivedDataDlg::OnClear()
{
    m_received.Clear();
    Refill();
}

// The list's lines, one a line, as the text of the clipboard: for a message
// to whoever helps.
void CReceivedDataDlg::OnCopy()
{
    std::wstring text;
    int nCount = m_list.GetCount();
    for (int i = 0; i < nCount; i++) {
        std::wstring line(m_list.GetTextLen(i), L'\0');
        m_list.GetText(i, &line[0]);
        (text += line) += L"\r\n";
    }
    CopyToClipboard(m_hWnd, text);
}
