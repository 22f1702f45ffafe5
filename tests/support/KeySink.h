// A foreground window that records every key-down, key-up and character it is sent.
#pragma once
#include <windows.h>
#include <string>
#include <vector>

class KeySink {
public:
    // time: GetMessageTime, when the key was put into the input stream (ms)
    struct Event { UINT msg; WPARAM wParam; LPARAM lParam; LONG time; };

    KeySink();
    ~KeySink();
    HWND hwnd() const { return m_hWnd; }
    // Brings the window to the foreground with the keyboard focus.
    void Activate();
    // Pumps this thread's messages until the text has at least n characters.
    bool WaitForChars(size_t n, DWORD dwTimeoutMs = 5000);
    // Pumps messages for a while, for what may still be on its way.
    void Pump(DWORD dwMs);

    std::wstring text;            // WM_CHAR characters, in order, and what Ctrl+V pasted
    // For each paste: the clipboard carried the marks that keep it out of
    // clipboard history and the cloud clipboard.
    std::vector<bool> pastesMarked;
    std::vector<Event> events;    // WM_KEYDOWN, WM_KEYUP, WM_CHAR and the system keys, in order

private:
    static LRESULT CALLBACK WndProc(HWND, UINT, WPARAM, LPARAM);
    // Ctrl+V: the clipboard's text, as an edit control pastes it.
    void Paste();
    HWND m_hWnd;
};
