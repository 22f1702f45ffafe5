// The application object: loads the icon set and runs the main window modally
// for the whole life of the program.
#pragma once
#include "../fw/App.h"

class CWedgeApp : public CWinApp {
public:
    CWedgeApp() : CWinApp(NULL) {}
    BOOL InitInstance() override;
    void LoadIconSet();

    // 0 and 2 the idle icon, 1 the active one. The tray icon keeps a pointer to it.
    // Nothing shows entry 2 (the blink wraps at 2); it stays so that no index
    // up to the blink's bound gives a null icon.
    HICON m_iconSet[3] = {};
};
