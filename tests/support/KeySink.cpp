#include "KeySink.h"

static const wchar_t kClass[] = L"KeySinkWindow";

KeySink::KeySink()
{
    static ATOM atom = [] {
        WNDCLASSW wc = {};
        wc.lpfnWndProc = WndProc;
        wc.hInstance = GetModuleHandleW(NULL);
        wc.lpszClassName = kClass;
        wc.hbrBackground = (HBRUSH)(COLOR_WINDOW + 1);
        return RegisterClassW(&wc);
    }();
    (void)atom;
    m_hWnd = CreateWindowW(kClass, L"Key sink", WS_OVERLAPPEDWINDOW | WS_VISIBLE,
                           50, 50, 300, 200, NULL, NULL, GetModuleHandleW(NULL), this);
    SetWindowLongPtrW(m_hWnd, GWLP_USERDATA, (LONG_PTR)this);
    Activate();
    // Key-ups still on their way to an earlier sink of this thread came in
    // with the focus; they are not this sink's.
    events.clear();
    text.clear();
}

KeySink::~KeySink()
{
    DestroyWindow(m_hWnd);
}

void KeySink::Activate()
{
    SetForegroundWindow(m_hWnd);
    SetActiveWindow(m_hWnd);
    SetFocus(m_hWnd);
    Pump(100);
}

void KeySink::Pump(DWORD dwMs)
{
    DWORD start = GetTickCount();
    do {
        MSG msg;
        while (PeekMessageW(&msg, NULL, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
        Sleep(5);
    } while (GetTickCount() - start < dwMs);
}

bool KeySink::WaitForChars(size_t n, DWORD dwTimeoutMs)
{
    // Wakes on each message and looks after each one: the benchmark times
    // the moment the text is complete.
    DWORD start = GetTickCount();
    for (;;) {
        MSG msg;
        while (text.size() < n && PeekMessageW(&msg, NULL, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
        if (text.size() >= n) return true;
        DWORD elapsed = GetTickCount() - start;
        if (elapsed >= dwTimeoutMs) return false;
        MsgWaitForMultipleObjects(0, NULL, FALSE, dwTimeoutMs - elapsed, QS_ALLINPUT);
    }
}

LRESULT CALLBACK KeySink::WndProc(HWND hWnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    KeySink* self = (KeySink*)GetWindowLongPtrW(hWnd, GWLP_USERDATA);
    if (self != NULL && (msg == WM_KEYDOWN || msg == WM_KEYUP || msg == WM_CHAR ||
                         msg == WM_SYSKEYDOWN || msg == WM_SYSKEYUP)) {
        self->events.push_back({ msg, wParam, lParam, GetMessageTime() });
        if (msg == WM_CHAR && wParam == 0x16)
            self->Paste();
        else if (msg == WM_CHAR)
            self->text += (wchar_t)wParam;
        return 0;
    }
    return DefWindowProcW(hWnd, msg, wParam, lParam);
}

void KeySink::Paste()
{
    if (!OpenClipboard(m_hWnd))
        return;
    bool bMarked = true;
    for (const char* pszMark : { "ExcludeClipboardContentFromMonitorProcessing", "CanIncludeInClipboardHistory",
                                 "CanUploadToCloudClipboard" })
        bMarked = bMarked && IsClipboardFormatAvailable(RegisterClipboardFormatA(pszMark));
    pastesMarked.push_back(bMarked);
    if (HANDLE hText = GetClipboardData(CF_UNICODETEXT)) {
        text += (const wchar_t*)GlobalLock(hText);
        GlobalUnlock(hText);
    }
    CloseClipboard();
}
