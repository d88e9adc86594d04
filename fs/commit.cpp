#include "fs/commit.h"

#include <algorithm>
#include <chrono>
#include <memory>
#include <vector>

namespace {

// Descriptors kept free for the copying thread: the standard streams, the listings of the
// folders under way, the source, the file being written and the size queries.
constexpr unsigned long kSpareDescriptors = 12;
// Enough that the copying thread seldom waits for a flush to end: a group of small files
// takes longer to flush than to copy.
constexpr size_t kMostFiles = 4096;
// Data not yet flushed that may wait: enough for the copying thread to run ahead of a
// flush, little enough that one flush stays short.
constexpr uint64_t kMostBytes = 256ull << 20;
// How long a lone copy waits for others to share its flush.
constexpr std::chrono::milliseconds kGather{5};
// Copies up to this size go to the stager. Few wait for it (twice these: a batch under way
// and the next), so that a Cancel, after which the one under way is still made, ends soon
// even from a slow disc.
constexpr uint64_t kSmallCopy = 1 << 20;
constexpr size_t kMostUnstaged = 32;
constexpr uint64_t kMostUnstagedBytes = 2 << 20;

thread_local CopyCommitter* open_here = nullptr;

// A path with its ASCII letters in lower case: where names ignore case, two paths that differ
// only so name one file.
std::string Folded(std::string path) {
    for (char& c : path)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return path;
}

platform::FsOps& ops() {
    return platform::fs_ops();
}

size_t MaxWaiting() {
    const unsigned long limit = platform::raise_open_file_limit();
    return limit > kSpareDescriptors
               ? std::min<unsigned long>(kMostFiles, limit - kSpareDescriptors)
               : 0;
}

} // namespace

bool CopyNow(const DString& src, const DString& dst, bool fail_if_exists,
             const platform::CopyProgress* progress) {
    platform::StagedFile file =
        ops().stage(src.c_str(), dst.c_str(), fail_if_exists, progress, nullptr);
    if (!file) return false;
    bool durable = false;
    ops().make_durable(&file, 1, &durable);
    if (durable) return ops().name_staged(file);
    ops().discard_staged(file);
    return false;
}

void CopyCommitter::PrepareProcess() {
    platform::reserve_descriptors(kMostFiles + kSpareDescriptors);
}

CopyCommitter::CopyCommitter(std::function<bool()> stopped)
    : max_files_(MaxWaiting()), stopped_(std::move(stopped)), outer_(open_here) {
    thread_ = std::thread([this] { Run(); });
    if (max_files_ > 0) stager_ = std::thread([this] { RunStager(); });
    open_here = this;
}

CopyCommitter::~CopyCommitter() {
    DString src, dst;
    Finish(src, dst);
    open_here = outer_;
}

CopyCommitter* CopyCommitter::OnThisThread() {
    return open_here;
}

bool CopyCommitter::Failed(DString& src, DString& dst) {
    if (!any_failed_.load(std::memory_order_acquire)) return false; // without the lock
    std::lock_guard<std::mutex> lock(mutex_);
    if (!failed_) return false;
    src = failed_src_.c_str();
    dst = failed_dst_.c_str();
    return true;
}

bool CopyCommitter::Finish(DString& src, DString& dst) {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        stager_closing_ = true;
    }
    unstaged_work_.notify_one();
    if (stager_.joinable()) stager_.join();
    {
        std::lock_guard<std::mutex> lock(mutex_);
        closing_ = true;
    }
    work_.notify_one();
    if (thread_.joinable()) thread_.join();
    return !Failed(src, dst);
}

void CopyCommitter::Fail(std::string& src, std::string& dst) {
    if (failed_) return;
    failed_ = true;
    any_failed_.store(true, std::memory_order_release);
    failed_src_ = std::move(src);
    failed_dst_ = std::move(dst);
}

bool CopyCommitter::Waiting(const DString& dst) {
    std::lock_guard<std::mutex> lock(mutex_);
    return waiting_names_.count(dst.str()) != 0;
}

void CopyCommitter::Drain(std::unique_lock<std::mutex>& lock) {
    room_.wait(lock, [&] { return queue_.empty() && in_flight_ == 0; });
}

void CopyCommitter::ReleaseDescriptors() {
    std::unique_lock<std::mutex> lock(mutex_);
    Drain(lock);
}

bool CopyCommitter::Copy(const DString& src, const DString& dst,
                         const platform::CopyProgress* progress) {
    if (max_files_ == 0) return CopyNow(src, dst, true, progress);
    // Under a tight descriptor limit the stager, which holds two more while the copying
    // thread holds its own, would run out of them: there every copy is made here.
    if (progress && progress->size <= kSmallCopy && max_files_ >= kMostUnstaged) {
        std::unique_lock<std::mutex> lock(mutex_);
        // The name is taken by a copy not yet named: refused now, as a named file would be.
        if (waiting_names_.count(dst.str())) return false;
        while (!unstaged_.empty() && (unstaged_.size() >= kMostUnstaged ||
                                      unstaged_bytes_ + progress->size > kMostUnstagedBytes)) {
            // The stager is behind: rather than wait, this thread makes the oldest copy.
            Item oldest = std::move(unstaged_.front());
            unstaged_.pop_front();
            unstaged_bytes_ -= oldest.bytes;
            lock.unlock();
            MakeWaiting(oldest);
            lock.lock();
        }
        unstaged_.push_back({nullptr, src.str(), dst.str(), progress->size});
        unstaged_bytes_ += progress->size;
        waiting_names_.insert(dst.str());
        const bool wake = stager_idle_;
        lock.unlock();
        if (wake) unstaged_work_.notify_one();
        return true;
    }
    if (Waiting(dst)) return false;
    return StageAndQueue(src.str(), dst.str(), progress);
}

void CopyCommitter::RunStager() {
    std::deque<Item> batch;
    std::unique_lock<std::mutex> lock(mutex_);
    for (;;) {
        stager_idle_ = true;
        unstaged_work_.wait(lock, [&] { return !unstaged_.empty() || stager_closing_; });
        stager_idle_ = false;
        if (unstaged_.empty()) return;
        // All that waits at once: one lock for many copies, and room for the copying thread.
        batch.swap(unstaged_);
        unstaged_bytes_ = 0;
        room_.notify_all();
        lock.unlock();
        for (Item& next : batch)
            MakeWaiting(next);
        batch.clear();
        lock.lock();
    }
}

void CopyCommitter::MakeWaiting(Item& item) {
    // After a failure or a stop the job ends: what it handed over is not begun.
    const bool drop = any_failed_.load(std::memory_order_acquire) || (stopped_ && stopped_());
    if (!drop && StageAndQueue(item.src, item.dst, nullptr)) return;
    std::lock_guard<std::mutex> lock(mutex_);
    waiting_names_.erase(item.dst);
    if (!drop) Fail(item.src, item.dst);
}

bool CopyCommitter::StageAndQueue(const std::string& src, const std::string& dst,
                                  const platform::CopyProgress* progress) {
    uint64_t bytes = 0;
    platform::StagedFile file = ops().stage(src.c_str(), dst.c_str(), true, progress, &bytes);
    if (!file && platform::out_of_descriptors(ops().last_error())) {
        // The waiting copies hold the descriptors: once they are named, try again.
        ReleaseDescriptors();
        file = ops().stage(src.c_str(), dst.c_str(), true, progress, &bytes);
    }
    if (!file) return false;
    bool wake = false;
    {
        std::unique_lock<std::mutex> lock(mutex_);
        room_.wait(lock, [&] {
            const size_t files = queue_.size() + in_flight_;
            return files == 0 || (files < max_files_ && queued_bytes_ < kMostBytes);
        });
        queue_.push_back({file, src, dst, bytes});
        waiting_names_.insert(dst);
        queued_bytes_ += bytes;
        // The committer needs a nudge for a first copy and once a group is full; between
        // the two it would only wake to go back to sleep.
        wake = queue_.size() == 1 || GroupReady();
    }
    if (wake) work_.notify_one();
    return true;
}

bool CopyCommitter::GroupReady() const {
    return queue_.size() >= max_files_ / 2 || queued_bytes_ >= kMostBytes / 2;
}

void CopyCommitter::Run() {
    std::unique_lock<std::mutex> lock(mutex_);
    for (;;) {
        work_.wait(lock, [&] { return !queue_.empty() || closing_; });
        if (queue_.empty()) return;
        // A flush costs about the same for one file as for many: a first arrival waits a
        // moment for company. After that, what arrived while the last group was flushed and
        // named is the next group.
        work_.wait_for(lock, kGather, [&] { return closing_ || GroupReady(); });
        std::vector<Item> group;
        uint64_t bytes = 0;
        while (!queue_.empty() && (group.empty() || bytes < kMostBytes)) {
            bytes += queue_.front().bytes;
            group.push_back(std::move(queue_.front()));
            queue_.pop_front();
        }
        in_flight_ = group.size();
        queued_bytes_ -= bytes;
        lock.unlock();

        std::vector<platform::StagedFile> files;
        for (const Item& item : group)
            files.push_back(item.file);
        std::unique_ptr<bool[]> durable(new bool[files.size()]());
        ops().make_durable(files.data(), files.size(), durable.get());
        std::vector<char> named(group.size(), 0);
        for (size_t i = 0; i < group.size(); ++i) {
            if (!durable[i]) {
                ops().discard_staged(group[i].file);
                continue;
            }
            named[i] = ops().name_staged(group[i].file);
            // A name that another process gave a file meanwhile counts as a file that was
            // there already; one that this committer gave (under another case, where case
            // is ignored) is a collision.
            const std::string folded = Folded(group[i].dst);
            if (!named[i] && platform::name_taken(ops().last_error()))
                named[i] = made_.count(folded) == 0;
            else if (named[i])
                made_.insert(folded);
        }

        lock.lock();
        for (size_t i = 0; i < group.size(); ++i) {
            waiting_names_.erase(group[i].dst);
            if (!named[i]) Fail(group[i].src, group[i].dst);
        }
        in_flight_ = 0;
        room_.notify_all();
    }
}
