// Menu wrapper over one HMENU.
#pragma once
#include <windows.h>

class CMenu {
public:
    HMENU m_hMenu = NULL;
    operator HMENU() const { return m_hMenu; }

    BOOL LoadMenu(UINT nIDResource)
    { m_hMenu = ::LoadMenuA(::GetModuleHandleA(NULL), MAKEINTRESOURCEA(nIDResource)); return m_hMenu != NULL; }
    BOOL DestroyMenu() { BOOL b = ::DestroyMenu(m_hMenu); m_hMenu = NULL; return b; }
    HMENU GetSubMenu(int nPos) const { return ::GetSubMenu(m_hMenu, nPos); }
};
