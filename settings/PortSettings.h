// The six line settings, each held as the text the list shows or the user
// typed: the window binds them to its lists, the store keeps them, the port
// is opened by them.
#pragma once
#include "../fw/String.h"

struct PortSettings {
    CString m_strPort;          // "COM 1"
    CString m_strBaudRate;      // "9600"
    CString m_strDataBits;      // "8"
    CString m_strParity;        // "None"
    CString m_strStopBits;      // "1"
    CString m_strFlowControl;   // "None": kept, never applied to the line
};
