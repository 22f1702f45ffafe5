// The Received Data window: what the received data room keeps, newest at the
// bottom, brought up to date a few times a second while it is open. Modeless:
// closing it destroys the window, and the room alone goes on keeping.
#pragma once
#include "../fw/Controls.h"
#include "../fw/Dialog.h"
#include "../monitor/ReceivedData.h"

class CReceivedDataDlg : public CDialog {
public:
    explicit CReceivedDataDlg(CReceivedData& received);
    // Brings the window up, made anew where it was closed.
    void Show(CWnd* pOwner);

protected:
    BOOL OnInitDialog() override;
    void DoDataExchange(CDataExchange* pDX) override;
    // Escape and the close box close the window; Enter does nothing.
    void OnOK() override {}
    void OnCancel() override { DestroyWindow(); }
    const AFX_MSGMAP* GetMessageMap() const override { return &messageMap; }

private:
    static const AFX_MSGMAP_ENTRY messageEntries[];
    static const AFX_MSGMAP messageMap;

    void OnTimer(UINT_PTR nIDEvent);
    void OnHex();
    void OnPause();
    void OnClear();
    void OnCopy();
    // The entries that came since the list was last brought up to date.
    void AddNew();
    // The list made again from what the room keeps.
    void Refill();

    CReceivedData& m_received;
    CListBox m_list;
    ULONGLONG m_nNext = 0;   // the room's number of the first entry not listed
    int m_bHex = 0;
    int m_bPause = 0;
};
