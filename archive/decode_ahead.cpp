// decode_ahead.cpp - entries handed to the worker pool within a bound, decoded into memory, and played back in order.
#include "archive/decode_ahead.h"

#include <sys/types.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <deque>
#include <new>
#include <vector>

#include "archive/entry_data_stream.h"
#include "archive/entry_decoding.h"
#include "engine/worker_pool.h"
#include "platform/unique_file.h"

namespace zor {
namespace {

// Counted for every job besides its bytes, so that a long run of entries
// that hold no bytes (testing) is bounded too.
constexpr std::size_t kJobCharge = 4096;

// One call of the driver, as the walk repeats it.
struct DriverCall {
    enum class Kind : uint8_t { Label, Progress, AbortCheck };
    Kind kind = Kind::Label;
    uint32_t label = 0;        // Label: index into the job's labels
    int64_t fileBytes = 0;     // Progress: the entry's bytes done by then
    uint64_t outputBytes = 0;  // Progress: the entry's bytes written by then
};

struct Job {
    ArchiveEntry entry;
    std::atomic<bool> cancelled{false};
    // The worker's alone until its task is done:
    std::vector<uint8_t> output;
    std::vector<std::string> labels;
    std::vector<DriverCall> calls;
};

// Stands in for the person while a worker runs a driver: shows nothing,
// records what the walk must show later, and counts reports (any report
// makes the entry one the walk decodes itself).
class CallRecorder : public DriverUi {
public:
    CallRecorder(Job& job, const DriverProgress& progress) : job_(job), progress_(progress) {}

    void reportError(const std::string&, bool) override { ++reports; }
    void setActionLabel(const std::string& text) override {
        uint32_t index = 0;
        while (index < job_.labels.size() && job_.labels[index] != text) ++index;
        record([&] {
            if (index == job_.labels.size()) job_.labels.push_back(text);
            job_.calls.push_back({DriverCall::Kind::Label, index, 0, 0});
        });
    }
    // Bars set one after another show only the last setting; one call stands for the run.
    void setProgressBars(int, int) override {
        const DriverCall call{DriverCall::Kind::Progress, 0, progress_.FileBytesDone, job_.output.size()};
        if (!job_.calls.empty() && job_.calls.back().kind == DriverCall::Kind::Progress) {
            job_.calls.back() = call;
            return;
        }
        record([&] { job_.calls.push_back(call); });
    }
    bool abortRequested() const override {
        record([&] { job_.calls.push_back({DriverCall::Kind::AbortCheck, 0, 0, 0}); });
        return job_.cancelled.load(std::memory_order_relaxed);
    }
    void pumpMessages() override {}

    int reports = 0;
    mutable bool outOfMemory = false;

private:
    // The engine is not written for exceptions passing through it.
    template <typename Step>
    void record(Step step) const {
        try {
            step();
        } catch (const std::bad_alloc&) {
            outOfMemory = true;
        }
    }

    Job& job_;
    const DriverProgress& progress_;
};

// The decoded bytes go to the job's buffer, reserved beforehand for the
// entry's stored size; more than that, or a cancelled job, fails the write.
ssize_t holdOutput(void* cookie, const char* data, size_t size) {
    auto* job = static_cast<Job*>(cookie);
    if (job->cancelled.load(std::memory_order_relaxed) || size > job->entry.record.size - job->output.size()) {
        errno = job->cancelled ? ECANCELED : EFBIG;
        return -1;
    }
    job->output.insert(job->output.end(), data, data + size);
    return static_cast<ssize_t>(size);
}

UniqueFile openHeldOutput(Job& job) {
    cookie_io_functions_t functions {};
    functions.write = holdOutput;
    UniqueFile sink(::fopencookie(&job, "wb", functions));
    // Unbuffered: the buffer's size is the bytes written whenever the driver sets the bars.
    if (sink) std::setvbuf(sink.get(), nullptr, _IONBF, 0);
    return sink;
}

bool sameData(const ArchiveEntry& a, const ArchiveEntry& b) {
    return a.offset == b.offset && a.dataOffset == b.dataOffset && a.record.packedSize == b.record.packedSize &&
           a.record.size == b.record.size;
}

// Repeats a sound job's driver calls for the walk, with its counters,
// writing the bytes to `output` (unbuffered, so nothing is left behind in a
// buffer should a write fail) when given. Nothing, with `output` and the
// progress as they were, when a write fails.
std::optional<bool> playCalls(const Job& job, std::FILE* output, DriverContext& driver) {
    const DriverProgress before = driver.progress;
    DriverProgress& p = driver.progress;
    uint64_t written = 0;
    auto writeUpTo = [&](uint64_t upTo) {
        const std::size_t n = static_cast<std::size_t>(upTo - written);
        if (n > 0 && std::fwrite(job.output.data() + written, 1, n, output) != n) return false;
        written = upTo;
        return !std::ferror(output);
    };
    for (const DriverCall& call : job.calls) {
        switch (call.kind) {
            case DriverCall::Kind::Label: driver.ui.setActionLabel(job.labels[call.label]); break;
            case DriverCall::Kind::Progress:
                if (output && !writeUpTo(call.outputBytes)) {
                    restartEntryOutput(output, driver, before);
                    return std::nullopt;
                }
                p.advance(call.fileBytes - (p.FileBytesDone - before.FileBytesDone));  // to the worker's count
                driver.ui.setProgressBars(static_cast<int>(p.FileProgressPercent),
                                          static_cast<int>(p.TotalProgressPercent));
                driver.ui.pumpMessages();
                break;
            case DriverCall::Kind::AbortCheck:
                if (driver.ui.abortRequested()) return false;
                break;
        }
    }
    if (output && (!writeUpTo(job.output.size()) || std::fflush(output) != 0)) {
        restartEntryOutput(output, driver, before);
        return std::nullopt;
    }
    return true;
}

}  // namespace

struct DecodeAhead::State {
    explicit State(DecodeAheadPlan p) : plan(std::move(p)) {}
    State(const State&) = delete;
    State& operator=(const State&) = delete;
    // What is running stops at its next read or write; the tasks then wait for it, and the pool joins its workers.
    ~State() {
        for (const auto& job : jobs) job->cancelled = true;
        if (pool) pool->cancel();
    }

    // Entries the walk decodes that a worker may take.
    bool worthDecoding(const ArchiveEntry& entry) const {
        if (entry.record.folder() || entry.record.size == 0 || !entryRecordAgrees(entry)) return false;
        if (plan.keepsOutput && entry.record.size > bound - kJobCharge) return false;
        // Those the walk decodes with all threads itself.
        if (decodesInParallelBlocks(entry, plan.password.has_value(), plan.settings.threads))
            return false;
        return !plan.wanted || plan.wanted(entry);
    }

    // Hands the workers the next entries worth decoding while they fit the
    // bound; the room comes back as the walk takes them.
    void handOver() {
        for (;;) {
            if (!upcoming) {
                ArchiveEntry entry;
                if (walkEnded || walk.next(entry) != ArchiveReader::Step::Entry) {
                    walkEnded = true;
                    return;
                }
                if (worthDecoding(entry)) upcoming = std::move(entry);
                continue;
            }
            if (upcoming->offset <= reached) {
                upcoming.reset();
                continue;
            }
            const std::size_t charge = kJobCharge + (plan.keepsOutput ? upcoming->record.size : 0);
            if (!tasks->hasRoomFor(charge)) return;
            auto job = std::make_shared<Job>();
            job->entry = std::move(*upcoming);
            upcoming.reset();
            jobs.push_back(job);
            tasks->submit([this, job] { return !job->cancelled && decode(*job); }, charge);
        }
    }

    // The walk has reached the entry at `offset`: jobs before it are of no
    // use any more. They are cancelled and taken back (a cancelled driver
    // stops at its next read or write; the walk runs one not yet started itself).
    void reach(uint64_t offset, const std::function<bool()>& pump) {
        while (!jobs.empty() && jobs.front()->entry.offset < offset) {
            jobs.front()->cancelled = true;
            tasks->takeOldest(
                [&pump] {
                    pump();
                    return true;  // it is cancelled: the wait is short, and not one the person can end
                },
                Help::Yes);
            jobs.pop_front();
        }
        reached = std::max(reached, offset);
    }

    // Runs the one-thread driver over the job's data, on a worker; true when it went soundly.
    bool decode(Job& job) const {
        try {
            if (plan.keepsOutput) job.output.reserve(job.entry.record.size);
        } catch (const std::bad_alloc&) {
            return false;
        }
        CipherState cipher;
        if (plan.password) resetCipher(cipher, *plan.password);
        UniqueFile source(openEntryDataStream(archiveFd, job.entry.dataOffset, job.entry.record.packedSize,
                                              plan.password ? &cipher : nullptr, &job.cancelled));
        UniqueFile sink(plan.keepsOutput ? openHeldOutput(job) : nullptr);
        if (!source || (plan.keepsOutput && !sink)) return false;
        DriverProgress progress;
        progress.fileSize = job.entry.record.size;
        CallRecorder recorder(job, progress);
        EngineSettings settings = plan.settings;
        settings.threads = 1;
        DriverContext driver = boundedToEntry(DriverContext{recorder, progress, settings}, job.entry);
        bool passed = sink ? decompressFile(source.get(), sink.get(), driver) : testFile(source.get(), driver);
        if (sink && !closeChecked(sink)) passed = false;
        return passed && recorder.reports == 0 && !recorder.outOfMemory && !job.cancelled;
    }

    const DecodeAheadPlan plan;
    std::size_t bound = 0;  // bytes (and job charges) held ahead at most, set for the workers started
    ArchiveReader walk;     // the entries handed to the workers, read ahead of the operation's walk
    int archiveFd = -1;

    std::optional<WorkerPool> pool;
    // Whether each job went soundly; none without a worker.
    std::optional<OrderedTasks<bool>> tasks;
    std::deque<std::shared_ptr<Job>> jobs;  // the jobs in hand, in archive order, as the tasks
    std::optional<ArchiveEntry> upcoming;   // the next entry worth decoding, waiting for room
    bool walkEnded = false;
    uint64_t reached = 0;  // offset of the entry the operation's walk is at
};

DecodeAhead::DecodeAhead(DecodeAheadPlan plan) : state_(std::make_unique<State>(std::move(plan))) {
    State& s = *state_;
    if (!s.walk.open(s.plan.archivePath) || s.walk.readHeader()) return;  // the walk decodes everything itself
    s.archiveFd = ::fileno(s.walk.file());
    const int64_t workers = std::min<int64_t>(s.plan.workers, s.walk.header().entryCount());
    s.pool.emplace(static_cast<int32_t>(std::max<int64_t>(workers, 0)));
    // Without a worker (the system refused them) the walk decodes the rest itself.
    if (s.pool->workerCount() == 0) return;
    s.bound = kHeldBytesPerWorker * static_cast<std::size_t>(s.pool->workerCount());
    s.tasks.emplace(*s.pool, s.bound);
    s.handOver();
}

DecodeAhead::~DecodeAhead() = default;

std::optional<bool> DecodeAhead::playBack(const ArchiveEntry& entry, std::FILE* output, DriverContext& driver) {
    State& s = *state_;
    if (!s.tasks) return std::nullopt;
    const auto pump = [&driver] {
        driver.ui.pumpMessages();
        return !driver.ui.abortRequested();
    };
    s.reach(entry.offset, pump);
    s.handOver();
    if (s.jobs.empty() || s.jobs.front()->entry.offset != entry.offset) return std::nullopt;
    std::optional<bool> result;
    {
        const std::shared_ptr<Job> job = s.jobs.front();
        const std::optional<bool> sound = s.tasks->takeOldest(pump);
        if (!sound) return false;  // the driver too ends with false on abort
        s.jobs.pop_front();
        if (*sound && sameData(job->entry, entry)) result = playCalls(*job, output, driver);
    }
    s.handOver();  // the job's bytes are gone: room for more
    return result;
}

std::unique_ptr<DecodeAhead> decodeAheadFor(const OperationContext& context, const std::optional<std::string>& password,
                                            bool keepsOutput, std::function<bool(const ArchiveEntry&)> wanted) {
    if (context.settings.threads <= 1) return nullptr;
    DecodeAheadPlan plan;
    plan.archivePath = context.window.ArchivePath;
    plan.workers = context.settings.threads;
    plan.keepsOutput = keepsOutput;
    plan.password = password;
    plan.settings = context.settings;
    plan.wanted = std::move(wanted);
    return std::make_unique<DecodeAhead>(std::move(plan));
}

std::optional<bool> decodeEntry(DecodeAhead* ahead, const ArchiveReader& reader, const ArchiveEntry& entry,
                                CipherState* cipher, std::FILE* output, DriverContext& driver) {
    if (output) std::setvbuf(output, nullptr, _IONBF, 0);  // see playCalls and decodeEntryData
    if (ahead) {
        if (std::optional<bool> played = ahead->playBack(entry, output, driver)) return played;
    }
    return decodeEntryData(reader, entry, cipher, output, driver);
}

}  // namespace zor
