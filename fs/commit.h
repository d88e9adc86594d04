#pragma once
// CopyCommitter: the deferred copies of the copy job. Submit makes a copy that never replaces
// a file and returns once its data is complete in a file that has no name yet; a committer
// thread of its own brings such copies to disk and names them in groups while the job goes
// on: each group is what arrived while the previous one was flushed. A name still appears
// only over data on disk, and a crash before leaves nothing under it.
//
// A small copy is not even made on the submitting thread: a stager thread makes it, so that
// the submitting thread's work on the next files overlaps writing these. Such a copy tells no
// pieces; when it fails, that is reported as a failed naming is. The copies handed over after
// a failure, or once the owner's stop test answers true (a Cancel), are dropped before they
// begin.
//
// What may wait for its name is bounded by the time naming it will take, as the destination
// has shown so far, so that a Cancel, after which the waiting copies are still named, ends
// soon on a slow USB stick too; and by the descriptors waiting copies hold.
//
// A name that another process takes meanwhile with a file counts as a file that was there
// already, as the copy job wants it when two runs share a destination; a folder under the
// name is a failure.
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "fs/staged_copy.h"
#include "platform/fs.h"
#include "text/dstring.h"

// Whoever holds descriptors that it can give back on request (a listing that found none
// left asks before it tries again).
class DescriptorHolder {
  public:
    virtual ~DescriptorHolder() = default;
    virtual void ReleaseDescriptors() = 0;
};

class CopyCommitter : public DescriptorHolder {
  public:
    explicit CopyCommitter(std::function<bool()> stopped = {});
    // Finishes; a copy that could not be named then goes unreported.
    ~CopyCommitter() override;
    CopyCommitter(const CopyCommitter&) = delete;
    CopyCommitter& operator=(const CopyCommitter&) = delete;

    // Called at start, while the process has a single thread: raises the limit of open files
    // and makes room for the descriptors that waiting copies hold.
    static void PrepareProcess();

    // The deferred copy of src to dst, never replacing a file: made now, or by the stager
    // when progress tells a small size; named later. True when it was handed over (a later
    // failure is told by Failed and Finish); false when it failed at once, with the system's
    // error set (the cancelled code when progress stopped it). listed: the source as a
    // listing has just returned it, or null. Called from one thread only.
    bool Submit(const DString& src, const DString& dst, const platform::CopyProgress* progress,
                const platform::ListedEntry* listed);
    // Waits until every copy handed over so far is named or has failed.
    void WaitNamed();
    // Waits until the copies staged so far are named and their descriptors closed.
    void ReleaseDescriptors() override;

    // True when some copy could not be made or named so far; src and dst then hold the paths
    // of the first such copy, as they were handed over. Does not wait.
    bool Failed(DString& src, DString& dst);
    // Waits until every copy handed over is named or discarded. False when one could not be
    // made or named, with its paths as for Failed.
    bool Finish(DString& src, DString& dst);

  private:
    // A copy handed over. Thousands may wait: only what is needed is kept.
    struct Item {
        std::unique_ptr<StagedCopy> copy; // null while it waits for the stager
        std::string src;
        std::string dst; // while it waits for the stager; then the copy's own
        uint64_t bytes;
        const std::string& destination() const { return copy ? copy->destination() : dst; }
    };
    void Run();
    void RunStager();
    // Makes a copy handed to the stager, or drops it once the job is ending. Without the lock.
    void MakeWaiting(Item& item);
    // Stages the copy and queues it for the committer.
    bool StageAndQueue(std::string src, const std::string& dst, const CopyControl& control);
    // Whether a copy of `bytes` more may wait: what waits then is named within the time
    // allowed, as far as the destination has shown. Under the lock.
    bool Room(uint64_t bytes) const;
    // Enough waits to fill a group: no need to wait for more. Under the lock.
    bool GroupReady() const;
    // Learns how long naming a group took. Under the lock.
    void Measured(size_t files, uint64_t bytes, std::chrono::steady_clock::duration took);
    // Copies that waiting data is best written back in, as the destination's speed tells.
    // Under the lock.
    uint64_t WriteBackStretch() const;
    // Keeps the first failure. Under the lock.
    void Fail(const std::string& src, const std::string& dst);
    static bool StagerPiece(void* self, uint64_t bytes);

    const size_t max_files_; // waiting copies, each holding a descriptor
    const std::function<bool()> stopped_;
    PieceTimer pace_, stager_pace_; // the submitting thread's and the stager's

    std::mutex mutex_;
    std::condition_variable work_, room_, unstaged_work_;
    // All below are guarded by mutex_.
    std::deque<Item> unstaged_; // for the stager
    uint64_t unstaged_bytes_ = 0;
    bool stager_closing_ = false, stager_busy_ = false, stager_idle_ = false;
    std::deque<Item> queue_;
    size_t waiting_ = 0;   // handed over, not yet named or failed
    size_t in_flight_ = 0; // being flushed and named
    uint64_t queued_bytes_ = 0, in_flight_bytes_ = 0;
    // What the destination has shown: files and bytes named per second.
    double files_per_second_, bytes_per_second_;
    bool bytes_measured_ = false;
    bool closing_ = false, failed_ = false;
    std::string failed_src_, failed_dst_;

    std::atomic<bool> any_failed_{false}; // failed_, for a look without the lock
    std::thread thread_, stager_;         // last: they start once the members above are ready
};
