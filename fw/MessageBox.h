// Message boxes, through one replaceable hook so tests can record them.
#pragma once
#include <windows.h>
#include <exception>
#include "String.h"

using PFN_MESSAGEBOX = int (*)(HWND hWndOwner, LPCSTR pszText, LPCSTR pszCaption, UINT nType);
extern PFN_MESSAGEBOX g_pfnMessageBox;   // MessageBoxA unless a test replaced it

// Modal box with the program's name as caption, owned by the main window.
int AfxMessageBox(LPCSTR pszText, UINT nType = MB_OK, UINT nIDHelp = 0);

// The system's text for an error code, without its line end; empty where it
// has none.
CString SystemErrorText(DWORD dwError);
// Shows the system's text for an error code, if it has one.
void ShowSystemErrorText(DWORD dwError);

// Shows what an exception says: the system's text where memory ran out,
// else the exception's own.
void ShowExceptionText(const std::exception& e);
