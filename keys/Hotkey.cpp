#include "Hotkey.h"
#include <string>

namespace {

const struct { LPCSTR pszName; UINT fsModifier; } kModifiers[] = {
    { "CTRL", MOD_CONTROL }, { "ALT", MOD_ALT }, { "SHIFT", MOD_SHIFT }, { "WIN", MOD_WIN },
};

const struct { LPCSTR pszName; UINT vk; } kKeys[] = {
    { "SPACE", VK_SPACE },     { "INSERT", VK_INSERT }, { "DELETE", VK_DELETE }, { "HOME", VK_HOME },
    { "END", VK_END },         { "PAGEUP", VK_PRIOR },  { "PAGEDOWN", VK_NEXT }, { "UP", VK_UP },
    { "DOWN", VK_DOWN },       { "LEFT", VK_LEFT },     { "RIGHT", VK_RIGHT },   { "PAUSE", VK_PAUSE },
    { "SCROLLLOCK", VK_SCROLL },
};

// The number that follows a prefix, as in F12 or NUMPAD3, from nMin to nMax.
bool NumberAfter(const std::string& name, const std::string& prefix, ULONGLONG nMin, ULONGLONG nMax, UINT& n)
{
    ULONGLONG nNumber = 0;
    if (name.size() <= prefix.size() || name.compare(0, prefix.size(), prefix) != 0 ||
        name[prefix.size()] == ' ' || !ParseWholeNumber(name.substr(prefix.size()).c_str(), nMax, nNumber) ||
        nNumber < nMin)
        return false;
    n = (UINT)nNumber;
    return true;
}

bool KeyFromName(const std::string& name, UINT& vk)
{
    UINT n = 0;
    if (name.size() == 1 && ((name[0] >= 'A' && name[0] <= 'Z') || (name[0] >= '0' && name[0] <= '9')))
        vk = (UINT)name[0];   // the virtual keys of letters and digits are their capitals
    else if (NumberAfter(name, "F", 1, 24, n))
        vk = VK_F1 + n - 1;
    else if (NumberAfter(name, "NUMPAD", 0, 9, n))
        vk = VK_NUMPAD0 + n;
    else {
        for (const auto& key : kKeys) {
            if (name == key.pszName) {
                vk = key.vk;
                return true;
            }
        }
        return false;
    }
    return true;
}

std::string Trimmed(const std::string& text)
{
    CString strText(text);
    strText.Trim();
    return (LPCSTR)strText;
}

} // namespace

bool ParseHotkey(const CString& strText, Hotkey& hotkey, CString& strReason)
{
    CString strUpper(strText);
    strUpper.MakeUpper();
    std::string rest = Trimmed((LPCSTR)strUpper);
    hotkey = Hotkey();
    UINT fsGiven = 0;
    for (size_t nPlus; (nPlus = rest.find('+')) != std::string::npos && nPlus > 0;) {
        std::string modifier = Trimmed(rest.substr(0, nPlus));
        UINT fsModifier = 0;
        for (const auto& entry : kModifiers) {
            if (modifier == entry.pszName)
                fsModifier = entry.fsModifier;
        }
        if (fsModifier == 0) {
            strReason.Format("\"%s\" is none of Ctrl, Alt, Shift and Win.", modifier.c_str());
            return false;
        }
        fsGiven |= fsModifier;
        rest = Trimmed(rest.substr(nPlus + 1));
    }
    if (!KeyFromName(rest, hotkey.vk)) {
        if (rest.empty())
            strReason = "a key must follow its modifiers, as in F9 or Ctrl+Shift+W.";
        else
            strReason.Format("\"%s\" names no key: F1 to F24, a letter or digit, Space, Insert...", rest.c_str());
        return false;
    }
    bool bTypes = hotkey.vk == VK_SPACE || (hotkey.vk >= '0' && hotkey.vk <= 'Z') ||
                  (hotkey.vk >= VK_NUMPAD0 && hotkey.vk <= VK_NUMPAD9);
    if (bTypes && (fsGiven & (MOD_CONTROL | MOD_ALT | MOD_WIN)) == 0) {
        strReason = "a letter, digit or Space needs Ctrl, Alt or Win: alone it would be taken from all typing.";
        return false;
    }
    // Repeats while the key is held would ask the device again and again.
    hotkey.fsModifiers = fsGiven | MOD_NOREPEAT;
    return true;
}
