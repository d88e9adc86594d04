#pragma once
// CopyCommitter: while one is open on a thread, the copies that DuplicaFichero makes there
// without leave to replace return as soon as their data is complete in a file that has no
// name yet. A committer thread of its own brings them to disk and names them in groups while
// the copying thread goes on: each group is what arrived while the previous one was flushed,
// bounded by count, bytes and the descriptors that waiting copies hold. A name still appears
// only over data on disk, and a crash before leaves nothing under it.
//
// A small copy whose size the caller gave is not even made on the copying thread: a stager
// thread makes it, so that the copying thread's work on the next files overlaps writing
// these. Such a copy tells no pieces; when it fails, that is reported as a failed naming is.
// The copies handed over after a failure, or once the owner's stop test answers true (a
// Cancel), are dropped before they begin.
//
// While a copy waits, ExisteFichero counts its name as taken and a second copy to that name
// is refused at once. A name that another process takes meanwhile counts as a file that was
// there already, as the copy job wants it when two runs share a destination. Copies that may
// replace a file, and every copy made on another thread, stay immediate.
#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <unordered_set>

#include "platform/fs.h"
#include "text/dstring.h"

// The copy flushed and named before it returns.
bool CopyNow(const DString& src, const DString& dst, bool fail_if_exists,
             const platform::CopyProgress* progress);

class CopyCommitter {
  public:
    explicit CopyCommitter(std::function<bool()> stopped = {});
    // Finishes; a copy that could not be named then goes unreported.
    ~CopyCommitter();
    CopyCommitter(const CopyCommitter&) = delete;
    CopyCommitter& operator=(const CopyCommitter&) = delete;

    // Called at start, while the process has a single thread: raises the limit of open files
    // and makes room for the descriptors that waiting copies hold.
    static void PrepareProcess();

    // The committer open on the calling thread; null for none.
    static CopyCommitter* OnThisThread();

    // True when some copy could not be named so far; src and dst then hold the paths of the
    // first such copy, as they were given to DuplicaFichero. Does not wait.
    bool Failed(DString& src, DString& dst);
    // Waits until every copy handed over is named or discarded. False when one could not be
    // named, with its paths as for Failed.
    bool Finish(DString& src, DString& dst);

    // DuplicaFichero's way in: stages the copy and queues it, waiting while the queue is full.
    bool Copy(const DString& src, const DString& dst, const platform::CopyProgress* progress);
    // Whether a copy to dst waits in the queue.
    bool Waiting(const DString& dst);
    // Waits until the copies staged so far are named and their descriptors closed.
    void ReleaseDescriptors();

  private:
    struct Item {
        platform::StagedFile file; // null while it waits for the stager
        std::string src, dst;
        uint64_t bytes;
    };
    void Run();
    void RunStager();
    // Makes a copy handed to the stager, or drops it once the job is ending. Without the lock.
    void MakeWaiting(Item& item);
    // Stages the copy and queues it for the committer.
    bool StageAndQueue(const std::string& src, const std::string& dst,
                       const platform::CopyProgress* progress);
    // Enough waits to fill a group: no need to wait for more. Under the lock.
    bool GroupReady() const;
    // Waits until nothing is queued or being named.
    void Drain(std::unique_lock<std::mutex>& lock);
    // Keeps the first failure. Under the lock.
    void Fail(std::string& src, std::string& dst);

    const size_t max_files_; // waiting copies, each holding a descriptor
    const std::function<bool()> stopped_;
    std::mutex mutex_;
    std::condition_variable work_, room_, unstaged_work_;
    std::deque<Item> unstaged_; // for the stager
    uint64_t unstaged_bytes_ = 0;
    bool stager_closing_ = false, stager_idle_ = false;
    std::deque<Item> queue_;
    std::unordered_set<std::string> waiting_names_; // handed over, not yet named
    size_t in_flight_ = 0;                          // being flushed and named
    uint64_t queued_bytes_ = 0;
    bool closing_ = false, failed_ = false;
    std::atomic<bool> any_failed_{false}; // failed_, for a look without the lock
    std::string failed_src_, failed_dst_;
    std::unordered_set<std::string> made_; // names given, folded; the committer thread's own
    CopyCommitter* outer_;                 // the committer open on this thread before this one
    std::thread thread_, stager_;
};
