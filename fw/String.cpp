#include "String.h"
#include <cstdarg>
#include <cstdio>
#include <algorithm>

CString::CString(const std::wstring& str)
{
    int n = ::WideCharToMultiByte(CP_ACP, 0, str.data(), (int)str.size(), NULL, 0, NULL, NULL);
    m_str.resize(n);
    ::WideCharToMultiByte(CP_ACP, 0, str.data(), (int)str.size(), &m_str[0], n, NULL, NULL);
}

std::wstring CString::Wide() const
{
    int n = ::MultiByteToWideChar(CP_ACP, 0, m_str.data(), (int)m_str.size(), NULL, 0);
    std::wstring str(n, L'\0');
    ::MultiByteToWideChar(CP_ACP, 0, m_str.data(), (int)m_str.size(), &str[0], n);
    return str;
}

CString CString::Right(int n) const
{
    n = std::min(n, GetLength());
    return CString(m_str.c_str() + m_str.size() - n, n);
}

void CString::Trim()
{
    const char* space = " \t\r\n\v\f";
    size_t first = m_str.find_first_not_of(space);
    if (first == std::string::npos) { m_str.clear(); return; }
    m_str = m_str.substr(first, m_str.find_last_not_of(space) - first + 1);
}

int CString::Remove(char ch)
{
    size_t before = m_str.size();
    m_str.erase(std::remove(m_str.begin(), m_str.end(), ch), m_str.end());
    return (int)(before - m_str.size());
}

void CString::Format(LPCSTR pszFormat, ...)
{
    va_list args;
    va_start(args, pszFormat);
    int n = _vscprintf(pszFormat, args);
    va_end(args);
    m_str.resize(n);
    va_start(args, pszFormat);
    vsnprintf(&m_str[0], n + 1, pszFormat, args);
    va_end(args);
}

bool ParseWholeNumber(CString strText, ULONGLONG nMax, ULONGLONG& nNumber)
{
    strText.Trim();
    nNumber = 0;
    for (int i = 0; i < strText.GetLength(); i++) {
        if (strText[i] < '0' || strText[i] > '9')
            return false;
        nNumber = nNumber * 10 + (strText[i] - '0');
        if (nNumber > nMax)
            return false;
    }
    return !strText.IsEmpty();
}

BOOL CString::LoadString(UINT nID)
{
    char buf[256];
    int n = ::LoadStringA(GetModuleHandleA(NULL), nID, buf, sizeof buf);
    m_str.assign(buf, n);
    return n > 0;
}
