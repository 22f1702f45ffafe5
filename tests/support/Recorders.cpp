#include "Recorders.h"
#include "../../fw/MessageBox.h"

static MessageBoxRecorder* g_pRecorder = NULL;
static PFN_MESSAGEBOX g_pfnPrevious = NULL;

static int RecordMessageBox(HWND, LPCSTR pszText, LPCSTR, UINT)
{
    g_pRecorder->texts.push_back(pszText);
    return IDOK;
}

MessageBoxRecorder::MessageBoxRecorder()
{
    g_pRecorder = this;
    g_pfnPrevious = g_pfnMessageBox;
    g_pfnMessageBox = RecordMessageBox;
}

MessageBoxRecorder::~MessageBoxRecorder()
{
    g_pfnMessageBox = g_pfnPrevious;
    g_pRecorder = NULL;
}
