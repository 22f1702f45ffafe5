#include "Recorders.h"
#include <utility>
#include "../../fw/MessageBox.h"
#include "../../keys/Keystrokes.h"
#include "../../serial/CommPort.h"
#include "../../settings/Settings.h"
#include "../../tray/TrayIcon.h"
#include "../../ui/WedgeDlg.h"

namespace {
MessageBoxRecorder* g_pBoxes = NULL;
TrayRecorder* g_pTray = NULL;
BeepRecorder* g_pBeeps = NULL;
TrayShell g_realTrayShell;
BOOL (WINAPI* g_pfnRealBeep)(UINT) = NULL;
RegistryCalls g_realRegistry;
DesktopStandIn* g_pDesktop = NULL;
Desktop g_realDesktop;
FailingReads* g_pReads = NULL;
RefusedTimeouts* g_pRefused = NULL;
PortReads g_realPortReads;
EventRecorder* g_pEvents = NULL;

BOOL WINAPI RecordEvent(HANDLE, WORD wType, WORD, DWORD dwId, PSID, WORD wStrings, DWORD, LPCSTR* ppsz, LPVOID)
{
    g_pEvents->entries.push_back({ wType, dwId, wStrings > 0 ? ppsz[0] : "" });
    return TRUE;
}

int RecordMessageBox(HWND, LPCSTR pszText, LPCSTR, UINT)
{
    g_pBoxes->texts.push_back(pszText);
    return IDOK;
}

DWORD WINAPI RecordedVersion() { return g_pTray->version; }

BOOL WINAPI RecordShellCall(DWORD dwMessage, PNOTIFYICONDATAA pnid)
{
    g_pTray->calls.push_back({ dwMessage, *pnid });
    return !g_pTray->absent;
}

BOOL WINAPI RecordBeep(UINT uType)
{
    g_pBeeps->beeps.push_back(uType);
    return TRUE;
}

const REGSAM kWriting = KEY_SET_VALUE | KEY_CREATE_SUB_KEY | KEY_CREATE_LINK | WRITE_DAC | WRITE_OWNER | DELETE;

LONG WINAPI RefuseCreate(HKEY, LPCSTR, DWORD, LPSTR, DWORD, REGSAM, LPSECURITY_ATTRIBUTES, PHKEY, LPDWORD)
{
    return ERROR_ACCESS_DENIED;
}

LONG WINAPI OpenForReadingOnly(HKEY hKey, LPCSTR pszSubKey, DWORD dwOptions, REGSAM sam, PHKEY phResult)
{
    if (sam & kWriting)
        return ERROR_ACCESS_DENIED;
    return RegOpenKeyExA(hKey, pszSubKey, dwOptions, sam, phResult);
}
HWND WINAPI StandInForeground()
{
    return g_pDesktop->bNoForeground ? NULL : g_realDesktop.pfnGetForegroundWindow();
}

BOOL StandInOutranks(HWND) { return g_pDesktop->bOutranked; }

UINT WINAPI StandInSendInput(UINT cInputs, LPINPUT pInputs, int cbSize)
{
    g_pDesktop->calls.push_back(cInputs);
    if (g_pDesktop->calls.size() > g_pDesktop->nCallsTaken)
        return 0;
    return g_realDesktop.pfnSendInput(cInputs, pInputs, cbSize);
}

BOOL WINAPI FailRead(HANDLE, LPVOID, DWORD, LPDWORD pdwRead, LPOVERLAPPED)
{
    *pdwRead = 0;
    SetLastError(g_pReads->error);
    return FALSE;
}

BOOL WINAPI ReadTwoBytes(HANDLE hFile, LPVOID pBuffer, DWORD dwCount, LPDWORD pdwRead, LPOVERLAPPED pOverlapped)
{
    Sleep(10);
    return g_realPortReads.pfnReadFile(hFile, pBuffer, dwCount < 2 ? dwCount : 2, pdwRead, pOverlapped);
}

BOOL WINAPI RefuseTimeouts(HANDLE, LPCOMMTIMEOUTS)
{
    SetLastError(ERROR_GEN_FAILURE);
    return FALSE;
}

BOOL WINAPI CountRead(HANDLE hFile, LPVOID pBuffer, DWORD dwCount, LPDWORD pdwRead, LPOVERLAPPED pOverlapped)
{
    g_pRefused->nReads++;
    return g_realPortReads.pfnReadFile(hFile, pBuffer, dwCount, pdwRead, pOverlapped);
}

BOOL WINAPI CountClear(HANDLE hFile, LPDWORD pdwErrors, LPCOMSTAT pStat)
{
    g_pReads->nClears++;
    return g_realPortReads.pfnClearCommError(hFile, pdwErrors, pStat);
}
} // namespace

MessageBoxRecorder::MessageBoxRecorder() : m_pOuter(g_pBoxes), m_pfnOuter(g_pfnMessageBox)
{
    g_pBoxes = this;
    g_pfnMessageBox = RecordMessageBox;
}

MessageBoxRecorder::~MessageBoxRecorder()
{
    g_pfnMessageBox = m_pfnOuter;
    g_pBoxes = m_pOuter;
}

TrayRecorder::TrayRecorder(DWORD dwVersion) : version(dwVersion)
{
    g_pTray = this;
    g_realTrayShell = g_trayShell;
    g_trayShell = { RecordedVersion, RecordShellCall };
}

TrayRecorder::~TrayRecorder()
{
    g_trayShell = g_realTrayShell;
    g_pTray = NULL;
}

BeepRecorder::BeepRecorder()
{
    g_pBeeps = this;
    g_pfnRealBeep = g_pfnMessageBeep;
    g_pfnMessageBeep = RecordBeep;
}

BeepRecorder::~BeepRecorder()
{
    g_pfnMessageBeep = g_pfnRealBeep;
    g_pBeeps = NULL;
}

EventRecorder::EventRecorder() : m_pfnReal(std::exchange(g_pfnReportEvent, RecordEvent))
{
    g_pEvents = this;
}

EventRecorder::~EventRecorder()
{
    g_pfnReportEvent = m_pfnReal;
    g_pEvents = NULL;
}

RegistryWithoutWriteAccess::RegistryWithoutWriteAccess()
{
    g_realRegistry = g_registry;
    g_registry = { RefuseCreate, OpenForReadingOnly, g_realRegistry.pfnSetValue };
}

RegistryWithoutWriteAccess::~RegistryWithoutWriteAccess()
{
    g_registry = g_realRegistry;
}

DesktopStandIn::DesktopStandIn()
{
    g_pDesktop = this;
    g_realDesktop = g_desktop;
    g_desktop = { StandInForeground, StandInOutranks, StandInSendInput };
}

DesktopStandIn::~DesktopStandIn()
{
    g_desktop = g_realDesktop;
    g_pDesktop = NULL;
}

PortReadsStandIn::PortReadsStandIn()
{
    g_realPortReads = g_portReads;
}

PortReadsStandIn::~PortReadsStandIn()
{
    g_portReads = g_realPortReads;
}

FailingReads::FailingReads(DWORD dwError) : error(dwError)
{
    g_pReads = this;
    g_portReads.pfnReadFile = FailRead;
    g_portReads.pfnClearCommError = CountClear;
}

RefusedTimeouts::RefusedTimeouts()
{
    g_pRefused = this;
    g_portReads.pfnReadFile = CountRead;
    g_portReads.pfnSetCommTimeouts = RefuseTimeouts;
}

SlowReads::SlowReads()
{
    g_portReads.pfnReadFile = ReadTwoBytes;
}
