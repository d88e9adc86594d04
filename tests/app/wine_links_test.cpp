// Under Wine, Unix links show as reparse points with tag 0: the copy neither loops through a
// link to its own folder or one above it nor leaves the drive through one.
#ifdef _WIN32
#include <windows.h>

#include <vector>

#include "job.h"

using namespace fstest;

namespace {

// The host's form of a path, in quotes; empty when not running under Wine.
std::wstring UnixPath(const sfs::path& p) {
    using Fn = char*(CDECL*)(const wchar_t*);
    auto fn = reinterpret_cast<Fn>(reinterpret_cast<void*>(
        GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "wine_get_unix_file_name")));
    char* name = fn ? fn(p.c_str()) : nullptr;
    if (!name) return {};
    std::wstring out = L" \"" + sfs::path(name).wstring() + L"\"";
    HeapFree(GetProcessHeap(), 0, name);
    return out;
}

// Runs a program of the host system (Wine starts it directly) and waits for it.
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

// Whether the path exists (or no longer does) within a few seconds: a host program that Wine
// starts may still run when its handle says it has ended.
bool Settles(const sfs::path& p, bool exists) {
    for (int i = 0; i < 200; ++i) {
        if ((GetFileAttributesW(p.c_str()) != INVALID_FILE_ATTRIBUTES) == exists) return true;
        Sleep(50);
    }
    return false;
}

// Links made in a scratch folder, removed before the folder is, whose removal might follow
// them; a link that does not go keeps the folder.
struct UnixLinks {
    TempDir& t;
    std::vector<sfs::path> made;
    bool Make(const std::wstring& target, const sfs::path& link) {
        made.push_back(link);
        RunUnix(L"Z:\\bin\\ln", L"ln -s" + target + UnixPath(link));
        return Settles(link, true);
    }
    ~UnixLinks() {
        std::wstring rm = L"rm -f";
        for (const sfs::path& p : made)
            rm += UnixPath(p);
        RunUnix(L"Z:\\bin\\rm", rm);
        for (const sfs::path& p : made)
            if (!Settles(p, false)) t.path.clear();
    }
};

} // namespace

TEST(WineLinks, UnixLinksNeitherLoopNorLeaveTheDrive) {
    TempDir t;
    const sfs::path src = t / "src", b = src / "b";
    sfs::create_directories(b);
    write_file(src / "f", "f");
    write_file(t / "other" / "g", "g");
    if (UnixPath(t.path).empty()) GTEST_SKIP() << "not running under Wine";
    UnixLinks links{t, {}};
    ASSERT_TRUE(links.Make(L" .", b / "self"));
    ASSERT_TRUE(links.Make(L" ..", b / "up"));
    ASSERT_TRUE(links.Make(L" /etc", b / "etc"));
    ASSERT_TRUE(links.Make(UnixPath(t / "other"), b / "side"));

    EXPECT_EQ(listed(b, false, t.path), (std::set<std::string>{".", "..", "side"}));
    EXPECT_EQ(Job(src, lib(t / "dst")).Run(), "ok");
    EXPECT_EQ(files_below(t / "dst"), 2); // f and side/g
}
#endif
