// Under Wine, Unix links show as reparse points (with tag 0). The copy must not loop on a
// link to its own folder or one above it, nor leave the drive through one.
#ifdef _WIN32
#include <gtest/gtest.h>
#include <windows.h>

#include <set>
#include <string>

#include "job.h"

using namespace fstest;
using Names = std::set<std::string>;

namespace {

using UnixName = char*(CDECL*)(const wchar_t*);

// The Unix path of a Windows path; empty when not running under Wine.
std::string UnixPath(const sfs::path& p) {
    auto unix_name = reinterpret_cast<UnixName>(reinterpret_cast<void*>(
        GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "wine_get_unix_file_name")));
    if (!unix_name) return {};
    char* name = unix_name(p.c_str());
    if (!name) return {};
    std::string out(name);
    HeapFree(GetProcessHeap(), 0, name);
    return out;
}

// Runs a program of the host system, which Wine starts directly, and waits a while for it.
void RunUnix(const wchar_t* program, std::wstring cmd) {
    STARTUPINFOW si{};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi{};
    if (!CreateProcessW(program, cmd.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si,
                        &pi))
        return;
    WaitForSingleObject(pi.hProcess, 30000);
    CloseHandle(pi.hProcess);
    CloseHandle(pi.hThread);
}

std::wstring Quoted(const std::string& s) {
    return L" \"" + sfs::path(s).wstring() + L"\"";
}

// Makes a Unix link named link to target; true once Wine sees it.
bool UnixLink(const std::string& target, const sfs::path& link) {
    RunUnix(L"Z:\\bin\\ln", L"ln -s" + Quoted(target) + Quoted(UnixPath(link)));
    for (int i = 0; i < 100; ++i) {
        if (GetFileAttributesW(link.c_str()) != INVALID_FILE_ATTRIBUTES) return true;
        Sleep(50);
    }
    return false;
}

} // namespace

TEST(WineLinks, UnixLinksNeitherLoopNorLeaveTheDrive) {
    TempDir t;
    const sfs::path src = t / "src";
    sfs::create_directories(src / "b");
    sfs::create_directories(t / "other");
    write_file(src / "f", "f");
    write_file(t / "other" / "g", "g");
    if (UnixPath(t.path).empty()) GTEST_SKIP() << "not running under Wine";
    const sfs::path b = src / "b";
    ASSERT_TRUE(UnixLink(".", b / "self"));
    ASSERT_TRUE(UnixLink("..", b / "up"));
    ASSERT_TRUE(UnixLink("/etc", b / "etc"));
    ASSERT_TRUE(UnixLink(UnixPath(t / "other"), b / "side"));

    EXPECT_EQ(listed(src / "b", false, t.path), (Names{".", "..", "side"}));
    EXPECT_EQ(Job(src, lib(t / "dst")).Run(), "ok");
    EXPECT_EQ(entries(t / "dst" / "b"), Names{"side"});
    EXPECT_EQ(files_below(t / "dst"), 2);
    // The links go first, so that removing the scratch folder does not follow them.
    std::wstring rm = L"rm -f";
    for (const char* name : {"self", "up", "etc", "side"})
        rm += Quoted(UnixPath(b / name));
    RunUnix(L"Z:\\bin\\rm", rm);
}
#endif
