// Narrow (8-bit, system code page) string with the operations the program uses.
#pragma once
#include <windows.h>
#include <cstring>
#include <string>

class CString {
public:
    CString() = default;
    CString(LPCSTR psz) : m_str(psz ? psz : "") {}
    CString(LPCSTR pch, int nLength) : m_str(pch, nLength) {}
    explicit CString(const std::string& str) : m_str(str) {}
    // Wide text in the ANSI code page, as MFC's CStringA converts it.
    explicit CString(const std::wstring& str);

    int GetLength() const { return (int)m_str.size(); }
    BOOL IsEmpty() const { return m_str.empty(); }
    void Empty() { m_str.clear(); }
    operator LPCSTR() const { return m_str.c_str(); }
    char operator[](int i) const { return m_str[i]; }

    CString& operator=(LPCSTR psz) { m_str = psz ? psz : ""; return *this; }
    CString& operator+=(LPCSTR psz) { m_str += psz; return *this; }
    CString& operator+=(char ch) { m_str += ch; return *this; }
    bool operator==(LPCSTR psz) const { return m_str == psz; }
    bool operator!=(LPCSTR psz) const { return m_str != psz; }

    // The text as wide characters, read in the ANSI code page.
    std::wstring Wide() const;

    CString Left(int n) const { return CString(m_str.substr(0, n)); }
    CString Right(int n) const;
    void MakeUpper() { CharUpperBuffA(&m_str[0], (DWORD)m_str.size()); }
    void Trim();
    int Remove(char ch);
    void Format(LPCSTR pszFormat, ...);
    BOOL LoadString(UINT nID);

    // Direct access for Win32 calls that fill a buffer.
    LPSTR GetBuffer(int nMinLength) { m_str.resize(nMinLength); return &m_str[0]; }
    void ReleaseBuffer() { m_str.resize(strlen(m_str.c_str())); }

private:
    std::string m_str;
};

// A text that is a whole number from 0 to nMax with nothing but white space
// around it: "9600 abc" or "-1" is none.
bool ParseWholeNumber(CString strText, ULONGLONG nMax, ULONGLONG& nNumber);
