#include "fs/commit.h"

#include <algorithm>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

// Descriptors kept free for the copying thread: the standard streams, the listings of the
// folders under way, the source, the file being written and the size queries.
constexpr unsigned long kSpareDescriptors = 12;
// Enough that the copying thread seldom waits for a flush to end: a group of small files
// takes longer to flush than to copy.
constexpr size_t kMostFiles = 1024;
// Data not yet flushed that may wait: enough for the copying thread to run ahead of a
// flush, little enough that one flush stays short.
constexpr uint64_t kMostBytes = 256ull << 20;
// How long naming what waits may take: a Cancel waits for it.
constexpr double kNamingBudget = 0.4;
// Until the destination has shown its pace, it is taken for a slow one.
constexpr double kFirstFilesPerSecond = 100;
constexpr double kFirstBytesPerSecond = 50e6;
// A destination that writes back slower than this (bytes a second) gets the data of a
// large copy written back while it is copied, so that no flush ever has much left to do.
constexpr double kFastWriteBack = 160e6;
constexpr uint64_t kLeastStretch = 8 << 20;
// How long a lone copy waits for others to share its flush.
constexpr std::chrono::milliseconds kGather{5};
// Copies up to this size go to the stager. Few wait for it (twice these: a batch under way
// and the next), so that a Cancel, after which the one under way is still made, ends soon
// even from a slow disc.
constexpr uint64_t kSmallCopy = 1 << 20;
constexpr size_t kMostUnstaged = 32;
constexpr uint64_t kMostUnstagedBytes = 2 << 20;

size_t MaxWaiting() {
    const unsigned long limit = platform::raise_open_file_limit();
    return limit > kSpareDescriptors
               ? std::min<unsigned long>(kMostFiles, limit - kSpareDescriptors)
               : 0;
}

// Whether a name refused at the naming belongs to a file that another run put there: a
// folder in its place is no file.
bool TakenByAFile(const std::string& dst) {
    const uint32_t a = platform::fs_ops().attributes(dst.c_str(), 0);
    return a != platform::kAttrInvalid && !(a & platform::kAttrDirectory);
}

} // namespace

void CopyCommitter::PrepareProcess() {
    platform::reserve_descriptors(kMostFiles + kSpareDescriptors);
}

CopyCommitter::CopyCommitter(std::function<bool()> stopped)
    : max_files_(MaxWaiting()), stopped_(std::move(stopped)),
      files_per_second_(kFirstFilesPerSecond), bytes_per_second_(kFirstBytesPerSecond) {
    thread_ = std::thread([this] { Run(); });
    if (max_files_ > 0) stager_ = std::thread([this] { RunStager(); });
}

CopyCommitter::~CopyCommitter() {
    DString src, dst;
    Finish(src, dst);
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

void CopyCommitter::Fail(const std::string& src, const std::string& dst) {
    if (failed_) return;
    failed_ = true;
    any_failed_.store(true, std::memory_order_release);
    failed_src_ = src;
    failed_dst_ = dst;
}

void CopyCommitter::WaitNamed() {
    std::unique_lock<std::mutex> lock(mutex_);
    room_.wait(lock, [&] { return waiting_ == 0; });
}

void CopyCommitter::ReleaseDescriptors() {
    std::unique_lock<std::mutex> lock(mutex_);
    room_.wait(lock, [&] { return queue_.empty() && in_flight_ == 0; });
}

bool CopyCommitter::StagerPiece(void* self, uint64_t) {
    const auto* c = static_cast<const CopyCommitter*>(self);
    return !(c->stopped_ && c->stopped_());
}

bool CopyCommitter::Submit(const DString& src, const DString& dst,
                           const platform::CopyProgress* progress,
                           const platform::ListedEntry* listed) {
    CopyControl control;
    control.progress = progress;
    control.listed = listed;
    control.pace = &pace_;
    if (max_files_ == 0) return CopyNow(src, dst, false, control);
    std::unique_lock<std::mutex> lock(mutex_);
    // Under a tight descriptor limit the stager, which holds two more while the copying
    // thread holds its own, would run out of them: there every copy is made here.
    if (progress && progress->size <= kSmallCopy && max_files_ >= kMostUnstaged) {
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
        ++waiting_;
        const bool wake = stager_idle_;
        lock.unlock();
        if (wake) unstaged_work_.notify_one();
        return true;
    }
    control.write_back_stretch = WriteBackStretch();
    lock.unlock();
    return StageAndQueue(src.str(), dst.str(), control);
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
    const platform::CopyProgress stop{StagerPiece, this, item.bytes};
    CopyControl control;
    control.progress = &stop;
    control.pace = &stager_pace_;
    if (!drop && StageAndQueue(item.src, item.dst, control)) {
        std::lock_guard<std::mutex> lock(mutex_);
        --waiting_; // counted again as queued
        return;
    }
    const bool stopped = stopped_ && stopped_();
    std::lock_guard<std::mutex> lock(mutex_);
    --waiting_;
    if (!drop && !stopped) Fail(item.src, item.dst);
    room_.notify_all();
}

bool CopyCommitter::StageAndQueue(std::string src, const std::string& dst,
                                  const CopyControl& control) {
    std::unique_ptr<StagedCopy> copy = StagedCopy::Make(src.c_str(), dst.c_str(), false, control);
    if (!copy && platform::out_of_descriptors(platform::fs_ops().last_error())) {
        // The waiting copies hold the descriptors: once they are named, try again.
        ReleaseDescriptors();
        copy = StagedCopy::Make(src.c_str(), dst.c_str(), false, control);
    }
    if (!copy) return false;
    const uint64_t bytes = copy->bytes();
    bool wake = false;
    {
        std::unique_lock<std::mutex> lock(mutex_);
        room_.wait(lock, [&] { return Room(bytes); });
        queue_.push_back({std::move(copy), std::move(src), std::string(), bytes});
        ++waiting_;
        queued_bytes_ += bytes;
        // The committer needs a nudge for a first copy and once a group is full; between
        // the two it would only wake to go back to sleep.
        wake = queue_.size() == 1 || GroupReady();
    }
    if (wake) work_.notify_one();
    return true;
}

bool CopyCommitter::Room(uint64_t bytes) const {
    const size_t files = queue_.size() + in_flight_;
    if (files == 0) return true;
    const uint64_t waiting = queued_bytes_ + in_flight_bytes_ + bytes;
    const double seconds = static_cast<double>(files + 1) / files_per_second_ +
                           static_cast<double>(waiting) / bytes_per_second_;
    return files < max_files_ && waiting <= kMostBytes && seconds <= kNamingBudget;
}

bool CopyCommitter::GroupReady() const {
    return !Room(0) || queue_.size() >= max_files_ / 2 || queued_bytes_ >= kMostBytes / 2;
}

void CopyCommitter::Measured(size_t files, uint64_t bytes, Clock::duration took) {
    const double seconds = std::max(1e-6, std::chrono::duration<double>(took).count());
    // Each group weighs as much as all before it: the destination's pace shows at once, and
    // one slow spell does not decide it.
    files_per_second_ = (files_per_second_ + static_cast<double>(files) / seconds) / 2;
    // Only a group with much data tells how fast the data goes.
    if (bytes >= kLeastStretch) {
        const double rate = static_cast<double>(bytes) / seconds;
        bytes_per_second_ = bytes_measured_ ? (bytes_per_second_ + rate) / 2 : rate;
        bytes_measured_ = true;
    }
}

uint64_t CopyCommitter::WriteBackStretch() const {
    if (!bytes_measured_ || bytes_per_second_ >= kFastWriteBack) return 0;
    return std::max(kLeastStretch, static_cast<uint64_t>(bytes_per_second_ * kNamingBudget / 2));
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
        while (!queue_.empty()) {
            bytes += queue_.front().bytes;
            group.push_back(std::move(queue_.front()));
            queue_.pop_front();
        }
        in_flight_ = group.size();
        in_flight_bytes_ = bytes;
        queued_bytes_ -= bytes;
        lock.unlock();

        const Clock::time_point start = Clock::now();
        std::vector<StagedCopy*> copies;
        for (const Item& item : group)
            copies.push_back(item.copy.get());
        std::unique_ptr<bool[]> durable(new bool[copies.size()]());
        StagedCopy::MakeDurable(copies.data(), copies.size(), durable.get());
        std::vector<char> named(group.size(), 0);
        for (size_t i = 0; i < group.size(); ++i) {
            if (!durable[i]) continue;
            named[i] = group[i].copy->Name();
            // A name that another process gave a file meanwhile counts as a file that was
            // there already.
            if (!named[i] && platform::name_taken(platform::fs_ops().last_error()))
                named[i] = TakenByAFile(group[i].destination());
        }
        const Clock::duration took = Clock::now() - start;

        lock.lock();
        Measured(group.size(), bytes, took);
        for (size_t i = 0; i < group.size(); ++i)
            if (!named[i]) Fail(group[i].src, group[i].destination());
        waiting_ -= group.size();
        lock.unlock();
        group.clear(); // discards what was not named
        lock.lock();
        in_flight_ = 0;
        in_flight_bytes_ = 0;
        room_.notify_all();
    }
}
