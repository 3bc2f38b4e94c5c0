// The resources of the Windows programs as the system reads them from the
// built files: each one's version, and the manifest settings they run with.
#ifdef _WIN32

#include "app/ProgramRun.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace qwz {
namespace {

std::wstring WindowsPath(const char* unixPath) {
    std::wstring p = test::WideOf(unixPath);
    if (!p.empty() && p[0] == L'/') p = L"Z:" + p;
    for (wchar_t& c : p)
        if (c == L'/') c = L'\\';
    return p;
}

std::string Manifest(const std::wstring& exe) {
    HMODULE module = LoadLibraryExW(exe.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
    if (!module) return {};
    std::string text;
    if (HRSRC found = FindResourceW(module, MAKEINTRESOURCEW(1), RT_MANIFEST)) {
        const char* data = static_cast<const char*>(LockResource(LoadResource(module, found)));
        if (data) text.assign(data, SizeofResource(module, found));
    }
    FreeLibrary(module);
    return text;
}

std::wstring VersionString(const std::vector<char>& info, const wchar_t* name) {
    void* value = nullptr;
    UINT size = 0;
    std::wstring key = std::wstring(L"\\StringFileInfo\\041504B0\\") + name;
    if (!VerQueryValueW(info.data(), key.c_str(), &value, &size) || !size) return {};
    return static_cast<const wchar_t*>(value);
}

struct Program {
    const char* path;
    const wchar_t* fileName;
    bool utf8CodePage;
};

TEST(Resources, EachProgramCarriesItsVersionAndRunsWithLongPaths) {
    const std::wstring version = test::WideOf(QWZ_VERSION_STRING);
    for (const Program& program : {Program{QWZ_PROGRAM_PATH, L"QwzDowngrader.exe", false},
                                   Program{QWZ_TOOL_PATH, L"qwz.exe", true}}) {
        const std::wstring exe = WindowsPath(program.path);
        SCOPED_TRACE(program.path);
        std::vector<char> info(GetFileVersionInfoSizeW(exe.c_str(), nullptr));
        ASSERT_FALSE(info.empty());
        ASSERT_TRUE(GetFileVersionInfoW(exe.c_str(), 0, DWORD(info.size()), info.data()));
        EXPECT_EQ(VersionString(info, L"OriginalFilename"), program.fileName);
        EXPECT_EQ(VersionString(info, L"FileVersion"), version);

        const std::string manifest = Manifest(exe);
        EXPECT_NE(manifest.find(">true</longPathAware>"), std::string::npos) << manifest;
        EXPECT_EQ(manifest.find(">UTF-8</activeCodePage>") != std::string::npos, program.utf8CodePage) << manifest;
    }
}

}  // namespace
}  // namespace qwz

#endif
