// Under Wine, Unix links show as reparse points with tag 0: the copy neither loops through a
// link to its own folder or one above it nor leaves the drive through one.
#ifdef _WIN32
#include <gtest/gtest.h>
#include <windows.h>

#include <set>
#include <string>

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

} // namespace

TEST(WineLinks, UnixLinksNeitherLoopNorLeaveTheDrive) {
    TempDir t;
    const sfs::path src = t / "src", b = src / "b";
    sfs::create_directories(b);
    sfs::create_directories(t / "other");
    write_file(src / "f", "f");
    write_file(t / "other" / "g", "g");
    if (UnixPath(t.path).empty()) GTEST_SKIP() << "not running under Wine";
    const std::pair<std::wstring, const char*> links[] = {
        {L" .", "self"}, {L" ..", "up"}, {L" /etc", "etc"}, {UnixPath(t / "other"), "side"}};
    std::wstring rm = L"rm -f";
    for (const auto& [target, name] : links) {
        RunUnix(L"Z:\\bin\\ln", L"ln -s" + target + UnixPath(b / name));
        rm += UnixPath(b / name);
    }

    EXPECT_EQ(listed(b, false, t.path), (std::set<std::string>{".", "..", "side"}));
    EXPECT_EQ(Job(src, lib(t / "dst")).Run(), "ok");
    EXPECT_EQ(files_below(t / "dst"), 2); // f and side/g
    RunUnix(L"Z:\\bin\\rm", rm);          // before the scratch folder goes, which would follow them
}
#endif
