#include "RunningWindow.h"
#include <stdexcept>
#include "Wait.h"
#include "../../res/resource.h"

CWedgeApp& TestApp()
{
    static CWedgeApp app;
    static bool loaded = (app.LoadIconSet(), true);
    (void)loaded;
    return app;
}

LRESULT CALLBACK RunningWindow::CallProc(HWND hWnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    if (msg == WM_APP) {
        (*(const std::function<void()>*)lParam)();
        return 0;
    }
    return DefWindowProcA(hWnd, msg, wParam, lParam);
}

RunningWindow::RunningWindow() : dlg(TestApp().m_iconSet), m_hEnded(CreateEventA(NULL, TRUE, FALSE, NULL))
{
    static ATOM atom = [] {
        WNDCLASSA wc = {};
        wc.lpfnWndProc = CallProc;
        wc.hInstance = GetModuleHandleA(NULL);
        wc.lpszClassName = "RunningWindowCall";
        return RegisterClassA(&wc);
    }();
    (void)atom;
    TestApp().m_pMainWnd = &dlg;
    HANDLE hReady = CreateEventA(NULL, TRUE, FALSE, NULL);
    m_thread = std::thread([this, hReady] {
        m_hWndCall = CreateWindowA("RunningWindowCall", "", 0, 0, 0, 0, 0, HWND_MESSAGE, NULL, NULL, NULL);
        SetEvent(hReady);
        result = dlg.DoModal();
        DestroyWindow(m_hWndCall);
        SetEvent(m_hEnded);
    });
    WaitForSingleObject(hReady, INFINITE);
    CloseHandle(hReady);
    for (int i = 0; i < 500 && !(dlg.m_hWnd && IsWindowVisible(dlg.m_hWnd)); i++)
        Sleep(10);
    hwnd = dlg.m_hWnd;
    if (hwnd == NULL)
        throw std::runtime_error("the main window did not appear");
    // Let the start (showing, activation) settle before the test acts on the window.
    Sleep(300);
    Sync();
}

RunningWindow::~RunningWindow()
{
    if (WaitForSingleObject(m_hEnded, 0) != WAIT_OBJECT_0)
        PostMessageA(hwnd, WM_COMMAND, IDCANCEL, 0);
    m_thread.join();
    CloseHandle(m_hEnded);
    TestApp().m_pMainWnd = NULL;
}

void RunningWindow::OnWindowThread(const std::function<void()>& f)
{
    SendMessageA(m_hWndCall, WM_APP, 0, (LPARAM)&f);
}

bool RunningWindow::WaitForEnd(DWORD dwTimeoutMs)
{
    return WaitForSingleObject(m_hEnded, dwTimeoutMs) == WAIT_OBJECT_0;
}

void RunningWindow::Click(int nID) const
{
    SendMessageA(Item(nID), BM_CLICK, 0, 0);
    Sync();
}

ScanningWindow::ScanningWindow(const char* pszPort)
{
    if (pszPort != NULL)
        SetWindowTextA(Item(IDC_COMBO_PORT), pszPort);
    Click(IDC_BTN_OPENCLOSE);
    if (Text(IDC_LABEL_STATUS) != "Port Status: Open")
        throw std::runtime_error("the port did not open");
    sink.Activate();
}

bool ScanningWindow::WaitForStatus(const std::string& status)
{
    return WaitUntil([&] { sink.Pump(50); return Text(IDC_LABEL_STATUS) == status; });
}
