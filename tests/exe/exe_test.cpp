// The built program as Windows shows it: the version resource that Explorer's Properties and
// installers read, the icon of the file and of its window, and the exit code, which is 0
// whatever happened (here after a parameter error). LUMBRAKE_EXE names the program.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "lumbrake_version.h"
#include "platform/gui/gui.h"

namespace {

// The program's path in Windows' form (a host path is seen through drive Z:).
std::wstring Program() {
    const char* p = std::getenv("LUMBRAKE_EXE");
    std::wstring path = p ? std::wstring(p, p + std::strlen(p)) : L"";
    if (!path.empty() && path[0] == L'/') path = L"Z:" + path;
    for (wchar_t& c : path)
        if (c == L'/') c = L'\\';
    return path;
}

std::wstring Wide(const char* s) {
    return std::wstring(s, s + std::strlen(s));
}

} // namespace

TEST(Exe, VersionResourceCarriesTheProjectVersion) {
    const std::wstring exe = Program();
    DWORD ignored = 0;
    const DWORD size = ::GetFileVersionInfoSizeW(exe.c_str(), &ignored);
    ASSERT_GT(size, 0u) << "no version resource in " << std::string(exe.begin(), exe.end());
    std::vector<char> info(size);
    ASSERT_TRUE(::GetFileVersionInfoW(exe.c_str(), 0, size, info.data()));

    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT len = 0;
    ASSERT_TRUE(::VerQueryValueW(info.data(), L"\\", reinterpret_cast<void**>(&fixed), &len));
    const unsigned v[4] = {LUMBRAKE_VERSION_NUMBERS};
    EXPECT_EQ(fixed->dwFileVersionMS, (v[0] << 16) | v[1]);
    EXPECT_EQ(fixed->dwFileVersionLS, (v[2] << 16) | v[3]);
    EXPECT_EQ(fixed->dwProductVersionMS, fixed->dwFileVersionMS);
    EXPECT_EQ(fixed->dwProductVersionLS, fixed->dwFileVersionLS);
    EXPECT_EQ(fixed->dwFileType, static_cast<DWORD>(VFT_APP));

    const auto text = [&](const wchar_t* name) {
        wchar_t* value = nullptr;
        UINT n = 0;
        const std::wstring key = std::wstring(L"\\StringFileInfo\\040904B0\\") + name;
        if (!::VerQueryValueW(info.data(), key.c_str(), reinterpret_cast<void**>(&value), &n))
            return std::wstring(L"(none)");
        return std::wstring(value);
    };
    EXPECT_EQ(text(L"ProductName"), L"LumbrakeCD");
    EXPECT_EQ(text(L"FileVersion"), Wide(LUMBRAKE_VERSION));
    EXPECT_EQ(text(L"ProductVersion"), Wide(LUMBRAKE_VERSION));
    EXPECT_EQ(text(L"CompanyName"), L"LumbrakeCD developers");
    EXPECT_NE(text(L"LegalCopyright").find(L"LumbrakeCD developers"), std::wstring::npos);
    EXPECT_EQ(text(L"FileDescription"), Wide(LUMBRAKE_DESCRIPTION));
    EXPECT_EQ(text(L"OriginalFilename"), L"lumbrake-cd.exe");
}

// The file's icon in the sizes of the taskbar and the title bar, and the process's exit code: 0
// after the parameter error's box is closed.
TEST(Exe, IconOfTheFileAndExitCodeZero) {
    const std::wstring exe = Program();
    HMODULE file = ::LoadLibraryExW(exe.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    ASSERT_TRUE(file);
    EXPECT_TRUE(::FindResourceW(file, MAKEINTRESOURCEW(1), MAKEINTRESOURCEW(14))); // RT_GROUP_ICON
    for (int px : {16, 32, 48}) {
        HICON icon = static_cast<HICON>(
            ::LoadImageW(file, MAKEINTRESOURCEW(1), IMAGE_ICON, px, px, LR_DEFAULTCOLOR));
        EXPECT_TRUE(icon) << px << " pixels";
        if (icon) ::DestroyIcon(icon);
    }
    ::FreeLibrary(file);

    STARTUPINFOW si{};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi{};
    std::wstring cmd = L"\"" + exe + L"\"";
    ASSERT_TRUE(::CreateProcessW(exe.c_str(), cmd.data(), nullptr, nullptr, FALSE, 0, nullptr,
                                 nullptr, &si, &pi));
    HWND main = nullptr, box = nullptr;
    for (int i = 0; i < 300 && !box; ++i, ::Sleep(50)) {
        main = ::FindWindowW(nullptr, L"Kestrova");
        box = ::FindWindowW(L"#32770", L"Lumbrake");
    }
    ASSERT_TRUE(main && box) << "no window and box";
    ::PostMessageW(box, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
    const bool ended = ::WaitForSingleObject(pi.hProcess, 20000) == WAIT_OBJECT_0;
    if (!ended) ::TerminateProcess(pi.hProcess, 99);
    DWORD code = 99;
    ::GetExitCodeProcess(pi.hProcess, &code);
    ::CloseHandle(pi.hProcess);
    ::CloseHandle(pi.hThread);
    EXPECT_TRUE(ended);
    EXPECT_EQ(code, 0u);
}

// The window class takes the icon of the program it is in (this test program carries the same
// resources), for the title bar and the taskbar, instead of the system's default icon.
TEST(Exe, TheWindowShowsTheProgramsIcon) {
    struct Events : gui::FormEvents {
        void OnActivate() override {}
        void OnTimer() override {}
        void OnButtonClick() override {}
        bool OnCloseRequest() override { return true; }
    } events;
    gui::FormLayout layout;
    layout.caption = u"Icon probe";
    layout.client_width = layout.client_height = 100;
    gui::Application& app = gui::builtin_application();
    app.Initialize();
    auto form = app.CreateForm(layout, &events);
    HWND w = ::FindWindowW(nullptr, L"Icon probe");
    ASSERT_TRUE(w);
    const auto icon = ::GetClassLongPtrW(w, GCLP_HICON);
    EXPECT_NE(icon, 0);
    EXPECT_NE(icon, reinterpret_cast<LONG_PTR>(::LoadIconW(nullptr, IDI_APPLICATION)));
}
