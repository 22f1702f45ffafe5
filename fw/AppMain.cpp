// The program's entry: the global application object was constructed during
// static initialisation. Its InitInstance runs the whole program; the program
// runs no message loop of its own afterwards.
#include "App.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int)
{
    CWinApp* pApp = AfxGetApp();
    if (pApp == NULL)
        return -1;
    pApp->InitInstance();
    return pApp->ExitInstance();
}
