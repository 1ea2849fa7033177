// pack_ahead.h - compresses the small files of a packing on worker threads ahead of their turn, for the packer to write in item order.
//
// A tree of small files gains nothing from splitting one file's blocks over
// the cores, since each file is a single block. Instead, each worker takes
// the next small file of the item list (as soon as the walk has listed it,
// so compressing overlaps the walk), compresses it from disk into memory
// with the one-thread engine (so its stream is byte for byte the one the
// packer would write itself) and keeps the status it read the file under.
// The packer takes the streams in item order and writes the archive exactly
// as without workers. The packer's thread is one of the compressing
// threads: `threads - 1` workers start, and when the packer's current file
// is not ready it compresses the next file no worker has taken (its current
// one, or one further on) instead of sleeping, so the cores stay busy with
// as many threads as there are, and no thread switch is needed per file.
//
// Anything doubtful is handed back as "not compressed ahead": a file that
// cannot be opened or is no longer small, that changes while it is read,
// a read error, memory that runs out. The packer then does that file itself
// and meets (and reports) the trouble exactly as it would have without
// workers, so every message and outcome stays the one-thread one.
//
// Memory stays linear in the threads: each holds one engine stream (one
// block) while it compresses, and no further file is handed to the workers
// when it would bring the files in hand (handed over and not yet taken by
// the packer) past `kBytesAheadPerThread` per compressing thread, each
// counted as its input plus `kBytesHeldPerFile` for its bookkeeping; one
// file is always allowed. A file larger than one block is a barrier: no file
// after it is handed over until the packer has moved beyond it, so while the
// packer compresses it with all cores the workers neither compete for the
// cores nor hold memory.
//
// The workers are the engine's worker pool; the files go to it as ordered
// tasks, so the packer takes them back in item order.
//
// Threads: every public call comes from the packer's thread. The
// destructor stops the workers promptly (between two steps of the engine)
// and joins them; no worker outlives the object.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <sys/stat.h>
#include <vector>

#include "archive/operation_context.h"
#include "engine/file_drivers.h"
#include "engine/worker_pool.h"

namespace zor {

// One file compressed ahead: its complete stream and the status it was read under.
struct CompressedAhead {
    struct stat status {};
    std::unique_ptr<uint8_t[]> stream;  // the first `length` bytes are the stream
    std::size_t length = 0;
};

class PackAhead {
public:
    static constexpr uint64_t kBytesAheadPerThread = 1024 * 1024;
    static constexpr uint64_t kBytesHeldPerFile = 1024;

    // Starts `settings.threads - 1` workers (none when threads <= 1, and
    // fewer when the system refuses a thread), which wait for files to be listed.
    explicit PackAhead(const EngineSettings& settings);
    PackAhead(const PackAhead&) = delete;
    PackAhead& operator=(const PackAhead&) = delete;
    ~PackAhead();

    // Item `index` of the packing list has been found. Called for every
    // item in list order, while the walk goes on, so the workers start on
    // the first small files before the walk is over.
    void listed(std::size_t index, const PackItem& item);

    // The largest file a worker takes: one block's worth of input.
    static uint64_t smallFileLimit(const EngineSettings& settings);

    // The packer has reached item `index`: workers may pass any large file before it.
    void reached(std::size_t index);

    // The stream of file item `index`, which is the packer's current item;
    // each index is taken once.
    // Until it is ready the packer compresses files no worker has taken,
    // then waits; either way it calls `keepWaiting` about every
    // kPumpWaitInterval (the packer pumps its messages there) and returns
    // nothing at once when `keepWaiting` says false. Nothing also means the
    // file was not compressed ahead (not small, or trouble): the packer does it itself.
    std::optional<CompressedAhead> take(std::size_t index, const std::function<bool()>& keepWaiting);

    std::size_t workerCount() const { return static_cast<std::size_t>(pool_.workerCount()); }

private:
    struct Job {
        std::string diskPath;
        uint64_t size = 0;             // as the walk saw it
        std::size_t startsAtTurn = 0;  // the item the packer must have reached: one past the last large file before it
    };
    static constexpr std::size_t kNoJob = static_cast<std::size_t>(-1);

    static uint64_t heldFor(const Job& job) { return job.size + kBytesHeldPerFile; }
    // Hands the workers every job the barrier and the memory bound let through.
    void handOver();

    const EngineSettings settings_;
    std::vector<Job> jobs_;               // the small files, in item order
    std::vector<std::size_t> jobOfItem_;  // kNoJob for folders, links, empty and large files
    std::size_t startsAtTurn_ = 0;        // one past the last large file listed
    std::size_t turn_ = 0;                // the item the packer has reached
    std::size_t handedOver_ = 0;          // jobs [taken_, handedOver_) are the tasks in hand
    std::size_t taken_ = 0;
    WorkerPool pool_;  // before tasks_, which must go first
    OrderedTasks<std::optional<CompressedAhead>> tasks_;
};

}  // namespace zor
