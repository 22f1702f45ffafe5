#include "ClipboardPaste.h"
#include <cstring>

namespace {

// A copy of a clipboard handle of the format, NULL for one that cannot be
// copied (a palette, a metafile picture, what the owner draws): memory is
// copied, a bitmap and an enhanced metafile by their own calls.
HANDLE CopyData(UINT nFormat, HANDLE hData)
{
    if (nFormat == CF_BITMAP)
        return ::CopyImage(hData, IMAGE_BITMAP, 0, 0, 0);
    if (nFormat == CF_ENHMETAFILE)
        return ::CopyEnhMetaFile((HENHMETAFILE)hData, NULL);
    if (nFormat == CF_PALETTE || nFormat == CF_METAFILEPICT || nFormat == CF_OWNERDISPLAY ||
        nFormat == CF_DSPBITMAP || nFormat == CF_DSPENHMETAFILE || nFormat == CF_DSPMETAFILEPICT ||
        (nFormat >= CF_GDIOBJFIRST && nFormat <= CF_GDIOBJLAST))
        return NULL;
    SIZE_T nSize = ::GlobalSize(hData);
    const void* pFrom = ::GlobalLock(hData);
    HGLOBAL hCopy = pFrom != NULL ? ::GlobalAlloc(GMEM_MOVEABLE, nSize) : NULL;
    if (hCopy != NULL) {
        memcpy(::GlobalLock(hCopy), pFrom, nSize);
        ::GlobalUnlock(hCopy);
    }
    if (pFrom != NULL)
        ::GlobalUnlock(hData);
    return hCopy;
}

void FreeData(UINT nFormat, HANDLE hData)
{
    if (nFormat == CF_BITMAP)
        ::DeleteObject(hData);
    else if (nFormat == CF_ENHMETAFILE)
        ::DeleteEnhMetaFile((HENHMETAFILE)hData);
    else
        ::GlobalFree(hData);
}

HGLOBAL GlobalCopy(const void* pData, SIZE_T nSize)
{
    HGLOBAL hData = ::GlobalAlloc(GMEM_MOVEABLE, nSize);
    if (hData != NULL) {
        memcpy(::GlobalLock(hData), pData, nSize);
        ::GlobalUnlock(hData);
    }
    return hData;
}

// The marks Windows' clipboard history and cloud clipboard read: the text is
// neither kept in the history nor sent to the user's other devices.
void Mark()
{
    const DWORD dwNo = 0;
    ::SetClipboardData(::RegisterClipboardFormatA("ExcludeClipboardContentFromMonitorProcessing"), GlobalCopy(&dwNo, sizeof dwNo));
    ::SetClipboardData(::RegisterClipboardFormatA("CanIncludeInClipboardHistory"), GlobalCopy(&dwNo, sizeof dwNo));
    ::SetClipboardData(::RegisterClipboardFormatA("CanUploadToCloudClipboard"), GlobalCopy(&dwNo, sizeof dwNo));
}

// The clipboard opened by the owner, tried again while another program
// holds it, for up to kBusyMs.
bool OpenClipboardWaiting(HWND hOwner)
{
    ULONGLONG nUntil = ::GetTickCount64() + CClipboardPaste::kBusyMs;
    while (!::OpenClipboard(hOwner)) {
        if (::GetTickCount64() >= nUntil)
            return false;
        ::Sleep(5);
    }
    return true;
}

} // namespace

bool CopyToClipboard(HWND hOwner, const std::wstring& text)
{
    if (!OpenClipboardWaiting(hOwner))
        return false;
    ::EmptyClipboard();
    bool bPut = ::SetClipboardData(CF_UNICODETEXT, GlobalCopy(text.c_str(), (text.size() + 1) * sizeof(wchar_t))) != NULL;
    ::CloseClipboard();
    return bPut;
}

CClipboardPaste::~CClipboardPaste()
{
    if (m_bHolding)
        GiveBack();
}

bool CClipboardPaste::Offer(const std::wstring& text, CString& strWhy)
{
    if (!OpenClipboardWaiting(m_hOwner)) {
        strWhy = "another program holds the clipboard";
        return false;
    }
    if (!m_bHolding)
        Keep();
    m_text = text;
    m_bTaken = false;
    bool bOffered = ::EmptyClipboard() != FALSE;
    if (bOffered) {
        ::SetClipboardData(CF_UNICODETEXT, NULL);   // rendered when asked for
        Mark();
    } else {
        strWhy = "the clipboard could not be emptied";
    }
    ::CloseClipboard();
    return bOffered;
}

void CClipboardPaste::Keep()
{
    m_bHolding = true;
    for (UINT nFormat = ::EnumClipboardFormats(0); nFormat != 0; nFormat = ::EnumClipboardFormats(nFormat)) {
        HANDLE hData = ::GetClipboardData(nFormat);
        HANDLE hCopy = hData != NULL ? CopyData(nFormat, hData) : NULL;
        if (hCopy != NULL)
            m_kept.push_back({ nFormat, hCopy });
    }
}

// The clipboard is open by the program that asks, which is what SetClipboardData needs here.
void CClipboardPaste::Render(UINT nFormat)
{
    if (nFormat != CF_UNICODETEXT || !m_bHolding)
        return;
    ::SetClipboardData(CF_UNICODETEXT, GlobalCopy(m_text.c_str(), (m_text.size() + 1) * sizeof(wchar_t)));
    m_bTaken = true;
}

bool CClipboardPaste::GiveBack()
{
    // From the destructor the window may be gone already.
    bool bOpen = OpenClipboardWaiting(::IsWindow(m_hOwner) ? m_hOwner : NULL);
    if (bOpen) {
        ::EmptyClipboard();
        for (Format& format : m_kept) {
            if (::SetClipboardData(format.nFormat, format.hData) != NULL)
                format.hData = NULL;   // the clipboard's now
        }
        ::CloseClipboard();
    }
    FreeKept();
    m_bHolding = false;
    return bOpen;
}

void CClipboardPaste::FreeKept()
{
    for (const Format& format : m_kept) {
        if (format.hData != NULL)
            FreeData(format.nFormat, format.hData);
    }
    m_kept.clear();
    m_text.clear();
}
