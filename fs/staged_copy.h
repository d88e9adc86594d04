#pragma once
// The safe copy of one file, in three steps so that flushing and naming can be grouped and
// done apart from the copying: Make writes the whole copy into a file that has no name yet
// (or a hidden temporary name) in the destination's folder; MakeDurable brings copies to the
// disk; Name gives a copy its name. A crash at any point leaves nothing under the name but
// a complete, durable copy.
//
// The data moves in pieces sized by time, so that a slow source still shows progress and
// hears a stop often while a fast one moves in large pieces. A read that fails with a disk
// fault is tried again after a pause, from where it failed, on the file opened afresh: a
// scratched disc often reads on a later attempt.
#include <chrono>
#include <cstdint>
#include <memory>
#include <string>

#include "fs/temp_names.h"
#include "platform/fs.h"
#include "text/dstring.h"

// Sizes the pieces of the copies one thread makes so that each takes about kPieceTime at the
// pace the last ones went.
class PieceTimer {
  public:
    // The size of the next piece, at most `most` bytes.
    uint64_t Next(uint64_t most) const { return size_ < most ? size_ : most; }
    // A piece of `bytes` took `took`.
    void Took(uint64_t bytes, std::chrono::steady_clock::duration took);

    static constexpr std::chrono::milliseconds kPieceTime{200};

  private:
    uint64_t size_ = 256 << 10;
};

// What a copy is told by its caller.
struct CopyControl {
    // Hears of every piece and may stop the copy; null: neither.
    const platform::CopyProgress* progress = nullptr;
    // The source, as a listing has just returned it; null: opened by its path.
    const platform::ListedEntry* listed = nullptr;
    // The timer of the calling thread's copies; null: a fresh one.
    PieceTimer* pace = nullptr;
    // Writing back to the disk starts for each stretch of this many bytes as soon as it is
    // written, and the stretch before the last is waited for, so that the copy never holds
    // more than two stretches unwritten (0: left to the flush).
    uint64_t write_back_stretch = 0;
};

class StagedCopy {
  public:
    // Copies src into a new file in dst's folder. With replace an existing dst may be
    // replaced at the naming; without it the naming never replaces. Null on failure, with
    // the system's error set (the cancelled code when control's progress stopped it).
    static std::unique_ptr<StagedCopy> Make(const DString& src, const DString& dst, bool replace,
                                            const CopyControl& control);
    // Discards the copy unless it was named.
    ~StagedCopy();
    StagedCopy(const StagedCopy&) = delete;
    StagedCopy& operator=(const StagedCopy&) = delete;

    // Gives the copy, once durable, its name. False when the name could not be given (the
    // error set: a name taken, a file system fault); the copy is then discarded.
    bool Name();

    uint64_t bytes() const { return facts_.size; }
    const std::string& destination() const { return to_; }

    // Brings the data of each copy to its disk: one flush of a whole volume where it holds
    // several of them or much data and can be trusted with it, else one flush per file.
    // durable[i] tells for each copy.
    static void MakeDurable(StagedCopy* const* copies, size_t count, bool* durable);

  private:
    StagedCopy() = default;
    bool Open(const std::string& folder);
    bool Transfer(platform::File in, const std::string& src, const CopyControl& control);
    void Discard();

    platform::File out_ = platform::kNoFile;
    std::string to_, temp_; // library paths; temp_ empty for a file without a name
    TempName lease_;
    platform::FileFacts facts_;
    uint64_t volume_ = 0;
    bool replace_ = false, named_ = false;
};

// For tests: the pauses before a failed read is tried again take this share of their time.
void ScaleRetryPausesForTest(double share);

// The copy made durable and named before it returns (DuplicaFichero's way).
bool CopyNow(const DString& src, const DString& dst, bool replace, const CopyControl& control);
