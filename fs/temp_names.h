#pragma once
// The hidden temporary files that copies are written to where the system cannot make a file
// without a name. Each name tells which host and which process made it, so that a later run
// can tell a file left by a process that died (a kill, a crash, a power cut) from one that
// another run is still writing:
//   ".l" HHHH PPPPP CC   (13 characters, digits and lower-case letters in base 36)
// HHHH is a hash of the host's identity, PPPPP the process number and CC a counter. Thirteen
// characters fit one long-name entry of a FAT folder, which is what keeps the FAT driver of
// FUSE from damaging folders whose long names are renamed again and again.
#include <string>

#include "platform/fs.h"

// A temporary name held by this process: no other TempName of the process has the same one
// while it lives, however many copies wait and in whatever folders. The counter has 1,296
// values; while all are held, Take waits for one to be given back.
class TempName {
  public:
    TempName() = default;
    static TempName Take();
    ~TempName() { Release(); }
    TempName(TempName&& other) noexcept : value_(other.value_) { other.value_ = -1; }
    TempName& operator=(TempName&& other) noexcept;
    TempName(const TempName&) = delete;
    TempName& operator=(const TempName&) = delete;

    // The name alone (no folder); empty for none.
    std::string name() const;
    explicit operator bool() const { return value_ >= 0; }
    void Release();

    // For tests: only the first n counter values are handed out (0: all of them).
    static void LimitCounterForTest(int n);

  private:
    explicit TempName(int value) : value_(value) {}
    int value_ = -1;
};

// The pattern that every temporary file name matches, for a folder listing.
inline constexpr const char* kTempFilePattern = ".l*";

// Whether a listed entry is a temporary file that a process of this host left behind and
// that no running process will still name: one of a process that has ended, or whose number
// another program has taken since.
bool StaleTemporary(const platform::FindRecord& entry);
