// Pasting a text into the window in front through the clipboard, and the
// user's clipboard given back afterwards. The text is offered, not put: the
// clipboard asks the owner window for it (WM_RENDERFORMAT) when the
// receiving program takes the paste, which is how the session knows that it
// has, and when the user's own data may go back. Marked so that clipboard
// history and the cloud clipboard leave the text out.
#pragma once
#include <windows.h>
#include <string>
#include <vector>
#include "../fw/String.h"

class CClipboardPaste {
public:
    // How long a clipboard another program holds is tried again.
    static const DWORD kBusyMs = 500;

    CClipboardPaste() = default;
    CClipboardPaste(const CClipboardPaste&) = delete;
    CClipboardPaste& operator=(const CClipboardPaste&) = delete;
    // What the user had goes back, if it has not.
    ~CClipboardPaste();

    // The window that owns the clipboard while a text is offered; its
    // WM_RENDERFORMAT goes to Render.
    void SetOwner(HWND hOwner) { m_hOwner = hOwner; }
    // Keeps what the clipboard holds (the first time since it was last given
    // back) and offers the text in its place. False, with the reason, where
    // the clipboard stayed held by another program.
    bool Offer(const std::wstring& text, CString& strWhy);
    // The text, asked for by the program that takes the paste.
    void Render(UINT nFormat);
    // The text offered last was taken.
    bool IsTaken() const { return m_bTaken; }
    // Puts back what the clipboard held before the first offer; false where
    // the clipboard stayed held by another program (what was kept is then
    // given up, not kept for ever).
    bool GiveBack();
    bool IsHolding() const { return m_bHolding; }

private:
    struct Format {
        UINT nFormat;
        HANDLE hData;   // owned until given to the clipboard
    };
    void Keep();
    void FreeKept();

    HWND m_hOwner = NULL;
    std::wstring m_text;
    bool m_bTaken = false;
    bool m_bHolding = false;   // m_kept is the user's, to go back
    std::vector<Format> m_kept;
};


// Puts the text on the clipboard, as a copy does; false where the clipboard
// stayed held by another program.
bool CopyToClipboard(HWND hOwner, const std::wstring& text);
