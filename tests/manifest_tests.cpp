// Both built executables carry the application manifest (run as the user who
// starts them, on the Windows versions they name, aware of each monitor's
// DPI, with common controls 6) and the version resource.
#include <gtest/gtest.h>
#include <windows.h>
#include <string>
#include <vector>

namespace {

// The process manifest of an executable, read as data: the 32-bit build
// cannot run here, but its resources can be read all the same.
std::string ManifestOf(const char* pszExe)
{
    HMODULE hExe = LoadLibraryExA(pszExe, NULL, LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
    if (hExe == NULL)
        return "";
    std::string text;
    if (HRSRC hRes = FindResourceA(hExe, CREATEPROCESS_MANIFEST_RESOURCE_ID, RT_MANIFEST))
        text.assign((const char*)LockResource(LoadResource(hExe, hRes)), SizeofResource(hExe, hRes));
    FreeLibrary(hExe);
    return text;
}

// A text of the executable's version resource, in U.S. English.
std::string VersionText(const char* pszExe, const char* pszName)
{
    DWORD dwSize = GetFileVersionInfoSizeA(pszExe, NULL);
    std::vector<char> info(dwSize);
    std::string path = std::string("\\StringFileInfo\\040904B0\\") + pszName;
    char* pszText = NULL;
    UINT nLen = 0;
    return dwSize != 0 && GetFileVersionInfoA(pszExe, 0, dwSize, info.data()) &&
           VerQueryValueA(info.data(), path.c_str(), (void**)&pszText, &nLen) ? pszText : "";
}

} // namespace

TEST(Manifest, BothBuildsRunAsInvokerOnVistaToElevenAwareOfEachMonitorsDpiWithCommonControls6)
{
    const char* const kWindowsVersions[] = {
        "{e2011457-1546-43c5-a5fe-008deee3d3f0}",   // Vista
        "{35138b9a-5d96-4fbd-8e2d-a2440225f93a}",   // 7
        "{4a2f28e3-53b9-4441-ba9c-d69d4a4a6e38}",   // 8
        "{1f676c76-80e1-4239-95bb-83d0f6d0da78}",   // 8.1
        "{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}",   // 10 and 11
    };
    for (const char* pszExe : { WEDGE_PROGRAM, WEDGE_PROGRAM32 }) {
        SCOPED_TRACE(pszExe);
        std::string manifest = ManifestOf(pszExe);
        ASSERT_FALSE(manifest.empty());
        EXPECT_NE(manifest.find("<requestedExecutionLevel level=\"asInvoker\""), std::string::npos);
        for (const char* pszId : kWindowsVersions)
            EXPECT_NE(manifest.find(std::string("<supportedOS Id=\"") + pszId + "\"/>"), std::string::npos) << pszId;
        EXPECT_NE(manifest.find(">PerMonitorV2, PerMonitor</dpiAwareness>"), std::string::npos);
        EXPECT_NE(manifest.find(">true/pm</dpiAware>"), std::string::npos);
        EXPECT_NE(manifest.find("name=\"Microsoft.Windows.Common-Controls\" version=\"6.0.0.0\""), std::string::npos);
    }
}

// What the tray tip and the About box show, and the maker the settings key names.
TEST(Version, BothBuildsNameTheProductItsVersionAndItsMaker)
{
    const std::pair<const char*, const char*> kTexts[] = {
        { "ProductName", "Vimo Brindlequaverly" }, { "ProductVersion", "1.5" },
        { "CompanyName", "Vimo Technologies" }, { "InternalName", "VimoBrindleQVmfc" },
        { "FileVersion", "1.0" }, { "OriginalFilename", "VimoBrindleQV.exe" },
    };
    for (const char* pszExe : { WEDGE_PROGRAM, WEDGE_PROGRAM32 }) {
        SCOPED_TRACE(pszExe);
        for (auto& text : kTexts)
            EXPECT_EQ(VersionText(pszExe, text.first), text.second) << text.first;
    }
}
