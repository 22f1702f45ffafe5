// Modal dialogs from a dialog template.
#pragma once
#include "Wnd.h"

class CDialog : public CWnd {
public:
    explicit CDialog(UINT nIDTemplate, CWnd* pParentWnd = NULL)
        : m_nIDTemplate(nIDTemplate), m_pParentWnd(pParentWnd) {}

    // Creates the window from the template, calls OnInitDialog and runs the
    // modal loop until EndDialog or until the window is destroyed.
    virtual INT_PTR DoModal();
    // Creates the window from the template, owned by pOwner, and leaves it to
    // the thread's message loop: a modeless dialog. False where it was not made.
    bool Create(CWnd* pOwner);
    virtual BOOL OnInitDialog();
    // Ends the modal loop with the result, also from a message sent by
    // another thread; the loop then destroys the window.
    void EndDialog(int nResult);

protected:
    // The default actions of the dialog keys: Enter gives OK, Escape gives Cancel.
    virtual void OnOK();
    virtual void OnCancel();

    const AFX_MSGMAP* GetMessageMap() const override { return &messageMap; }
    LRESULT WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) override;
    static const AFX_MSGMAP_ENTRY messageEntries[];
    static const AFX_MSGMAP messageMap;

private:
    friend INT_PTR CALLBACK AfxDlgProc(HWND, UINT, WPARAM, LPARAM);
    UINT m_nIDTemplate;
    CWnd* m_pParentWnd;
    bool m_bEndModal = false;
    INT_PTR m_nModalResult = -1;
};
