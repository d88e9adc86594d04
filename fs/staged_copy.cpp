#include "fs/staged_copy.h"

#include <algorithm>
#include <atomic>
#include <new>
#include <thread>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

// The buffer of a copy between file systems: it stays in the processor's cache, where the
// kernel copies into and out of it at the least cost; a larger one costs more system time.
constexpr uint64_t kBuffer = 256 << 10;
// A file this large makes a flush of its own worth one of its whole volume.
constexpr uint64_t kLargeCopy = 8 << 20;
// A piece of a copy inside the kernel.
constexpr uint64_t kMostKernelPiece = 32 << 20;
constexpr uint64_t kLeastPiece = 64 << 10;
// The pauses before a failed read is tried again.
constexpr std::chrono::milliseconds kRetryPauses[] = {std::chrono::milliseconds(500),
                                                      std::chrono::milliseconds(1000),
                                                      std::chrono::milliseconds(2000)};
constexpr std::chrono::milliseconds kStopPoll{50};
std::atomic<double> g_pause_share{1.0};

platform::FsOps& ops() {
    return platform::fs_ops();
}

// The folder part of a library path ("." for a bare name).
std::string folder_of(const std::string& path) {
    const size_t cut = path.find_last_of("\\/");
    if (cut == std::string::npos) return ".";
    return path.substr(0, cut == 0 ? 1 : cut);
}

std::string joined(const std::string& folder, const std::string& name) {
    const char last = folder.empty() ? '\\' : folder.back();
    return last == '\\' || last == '/' ? folder + name : folder + "\\" + name;
}

// Whether the caller lets the copy go on; bytes were just written (0: none).
bool go_on(const CopyControl& control, uint64_t bytes) {
    const platform::CopyProgress* p = control.progress;
    return !p || !p->piece || p->piece(p->context, bytes);
}

// Waits, hearing a stop at once; false when the caller stopped the copy meanwhile.
bool pause(const CopyControl& control, Clock::duration length) {
    for (const Clock::time_point end = Clock::now() + length; Clock::now() < end;) {
        if (!go_on(control, 0)) return false;
        std::this_thread::sleep_for(std::min<Clock::duration>(kStopPoll, end - Clock::now()));
    }
    return go_on(control, 0);
}

// The source file of a copy, reopened after a read fault.
class Source {
  public:
    Source(platform::File f) : f_(f) {}
    ~Source() {
        if (f_ != platform::kNoFile) ops().close(f_);
    }
    Source(const Source&) = delete;
    Source& operator=(const Source&) = delete;
    platform::File get() const { return f_; }
    // Opens path again and moves to offset.
    bool Reopen(const std::string& path, uint64_t offset) {
        if (f_ != platform::kNoFile) ops().close(f_);
        platform::FileFacts facts;
        f_ = ops().open_source(path.c_str(), nullptr, &facts);
        return f_ != platform::kNoFile && ops().seek(f_, offset);
    }

  private:
    platform::File f_;
};

} // namespace

void PieceTimer::Took(uint64_t bytes, Clock::duration took) {
    // At most twice the size before, so that a few pieces found in the cache do not make the
    // next one take seconds from a slow disc.
    const auto ns = std::chrono::duration_cast<std::chrono::nanoseconds>(took).count();
    const uint64_t fits =
        ns <= 0 ? ~0ull
                : static_cast<uint64_t>(static_cast<double>(bytes) *
                                        std::chrono::nanoseconds(kPieceTime).count() / ns);
    size_ = std::max(kLeastPiece, std::min({fits, 2 * size_, kMostKernelPiece}));
}

std::unique_ptr<StagedCopy> StagedCopy::Make(const DString& src, const DString& dst, bool replace,
                                             const CopyControl& control) {
    std::unique_ptr<StagedCopy> s(new StagedCopy);
    s->to_ = dst.str();
    s->replace_ = replace;
    const platform::File in = ops().open_source(src.c_str(), control.listed, &s->facts_);
    if (in == platform::kNoFile) return nullptr;
    Source source(in);
    // An existing destination is not looked for here: the caller has asked where it needs
    // to, and the naming, which never replaces unless told, refuses it in any case.
    if (!s->Open(folder_of(s->to_))) return nullptr;
    if (!s->Transfer(in, src.str(), control)) return nullptr;
    ops().finish(s->out_, s->facts_);
    return s;
}

// A file without a name where the file system can make one; otherwise one under a hidden
// temporary name that no copy of this process holds, and that no other process has taken.
bool StagedCopy::Open(const std::string& folder) {
    out_ = ops().create_unnamed(folder.c_str(), facts_);
    for (int attempt = 0; out_ == platform::kNoFile && attempt < 100; ++attempt) {
        lease_ = TempName::Take();
        temp_ = joined(folder, lease_.name());
        out_ = ops().create_new(temp_.c_str(), facts_);
        if (out_ == platform::kNoFile && !platform::name_taken(ops().last_error())) break;
    }
    if (out_ == platform::kNoFile) {
        temp_.clear();
        return false;
    }
    volume_ = ops().volume(out_);
    return true;
}

bool StagedCopy::Transfer(platform::File in, const std::string& src, const CopyControl& control) {
    PieceTimer fresh;
    PieceTimer& pace = control.pace ? *control.pace : fresh;
    Source source(platform::kNoFile); // the source once reopened
    platform::File from = in;
    bool kernel = volume_ != 0 && volume_ == facts_.volume;
    std::unique_ptr<char[]> buffer;
    const uint64_t stretch = control.write_back_stretch;
    uint64_t done = 0, written_back = 0;
    size_t faults = 0;
    for (;;) {
        if (!kernel && !buffer) {
            buffer.reset(new (std::nothrow) char[kBuffer]);
            if (!buffer) return false;
        }
        const Clock::time_point start = Clock::now();
        const uint64_t n = pace.Next(kernel ? kMostKernelPiece : kBuffer);
        // No read-ahead of the system's own before the first piece; after each, the next one is
        // fetched while this one is written.
        if (!kernel && done == 0 && n < facts_.size) ops().prefetch(from, 0, 0);
        int64_t got = kernel ? ops().copy_range(from, out_, n) : ops().read(from, buffer.get(), n);
        if (!kernel && got > 0 && done + static_cast<uint64_t>(got) < facts_.size)
            ops().prefetch(from, done + static_cast<uint64_t>(got), pace.Next(kBuffer));
        if (got < 0 && kernel && platform::unsupported(ops().last_error())) {
            kernel = false; // another file system after all, or one the kernel cannot copy on
            continue;
        }
        if (got < 0) {
            if (!platform::read_fault(ops().last_error()) || faults == std::size(kRetryPauses))
                return false;
            const unsigned long fault = ops().last_error();
            const auto length = std::chrono::duration_cast<Clock::duration>(kRetryPauses[faults++] *
                                                                            g_pause_share.load());
            if (!pause(control, length)) {
                platform::set_last_error(platform::cancelled_error());
                return false;
            }
            if (!source.Reopen(src, done) || !ops().seek(out_, done)) {
                platform::set_last_error(fault);
                return false;
            }
            from = source.get();
            continue;
        }
        if (got == 0) {
            facts_.size = done;
            return true;
        }
        if (!kernel && !ops().write(out_, buffer.get(), static_cast<uint64_t>(got))) return false;
        pace.Took(static_cast<uint64_t>(got), Clock::now() - start);
        done += static_cast<uint64_t>(got);
        faults = 0;
        while (stretch > 0 && done - written_back >= stretch) {
            ops().write_back(out_, written_back, stretch, false);
            if (written_back >= 2 * stretch)
                ops().write_back(out_, written_back - 2 * stretch, stretch, true);
            written_back += stretch;
        }
        if (!go_on(control, static_cast<uint64_t>(got)) && done < facts_.size) {
            platform::set_last_error(platform::cancelled_error());
            return false;
        }
        // All of the size the source had when it was opened is there: no call just to learn
        // of the end.
        if (facts_.size > 0 && done >= facts_.size) {
            facts_.size = done;
            return true;
        }
    }
}

void StagedCopy::Discard() {
    if (out_ != platform::kNoFile) {
        const unsigned long error = ops().last_error();
        ops().close(out_);
        out_ = platform::kNoFile;
        if (!temp_.empty()) ops().discard(temp_.c_str());
        platform::set_last_error(error);
    }
    lease_.Release();
}

StagedCopy::~StagedCopy() {
    if (!named_) Discard();
}

void StagedCopy::MakeDurable(StagedCopy* const* copies, size_t count, bool* durable) {
    std::vector<char> done(count, 0);
    for (size_t i = 0; i < count; ++i) {
        if (done[i]) continue;
        const uint64_t volume = copies[i]->volume_;
        size_t on_volume = 0;
        uint64_t bytes = 0;
        for (size_t j = i; j < count; ++j)
            if (copies[j]->volume_ == volume) ++on_volume, bytes += copies[j]->bytes();
        // Several files, or much data, go in one flush of the volume, as a sync writes them;
        // where that fails each file is flushed on its own, which tells which one failed.
        const bool whole =
            (on_volume > 1 || bytes >= kLargeCopy) && ops().flush_volume(copies[i]->out_);
        for (size_t j = i; j < count; ++j) {
            if (done[j] || copies[j]->volume_ != volume) continue;
            done[j] = 1;
            durable[j] = (whole || ops().flush(copies[j]->out_)) && ops().keep(copies[j]->out_);
        }
    }
}

bool StagedCopy::Name() {
    bool ok;
    if (temp_.empty()) {
        if (!replace_) {
            ok = ops().link_unnamed(out_, to_.c_str());
        } else {
            // A rename is the one call that replaces at once, and it needs a name to start
            // from: the file without one takes a hidden one first.
            const std::string folder = folder_of(to_);
            ok = false;
            for (int attempt = 0; !ok && attempt < 100; ++attempt) {
                lease_ = TempName::Take();
                temp_ = joined(folder, lease_.name());
                ok = ops().link_unnamed(out_, temp_.c_str());
                if (!ok && !platform::name_taken(ops().last_error())) break;
            }
            if (!ok) temp_.clear();
            ok = ok && ops().rename_over(temp_.c_str(), to_.c_str());
        }
        ok = ops().close(out_) && ok;
        out_ = platform::kNoFile;
    } else {
        // Closed first: a file still open would stay behind, hidden, on a FUSE file system
        // when another run's rename replaced it.
        ok = ops().close(out_);
        out_ = platform::kNoFile;
        // The attributes are best effort, like times and modes: a file system that keeps none
        // (FAT under Wine) still gets the data under its name.
        if (ok) ops().set_attributes(temp_.c_str(), facts_);
        ok = ok && (replace_ ? ops().rename_over(temp_.c_str(), to_.c_str())
                             : ops().rename_new(temp_.c_str(), to_.c_str()));
    }
    if (!ok) {
        if (!temp_.empty()) ops().discard(temp_.c_str());
        lease_.Release();
        named_ = true; // nothing left to discard
        return false;
    }
    named_ = true;
    lease_.Release();
    return true;
}

void ScaleRetryPausesForTest(double share) {
    g_pause_share = share;
}

bool CopyNow(const DString& src, const DString& dst, bool replace, const CopyControl& control) {
    std::unique_ptr<StagedCopy> copy = StagedCopy::Make(src, dst, replace, control);
    if (!copy) return false;
    bool durable = false;
    StagedCopy* one = copy.get();
    StagedCopy::MakeDurable(&one, 1, &durable);
    return durable && copy->Name();
}
