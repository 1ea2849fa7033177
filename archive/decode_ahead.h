// decode_ahead.h - decodes an archive's upcoming entries on worker threads while the operation walks it in order.
//
// Extraction and testing walk the entries one by one on the operation's
// thread, which asks every question, shows every message and writes every
// file. With more threads, workers of the engine's pool run ahead of that
// walk: the walk hands them the next entries worth decoding as ordered
// tasks, and each runs the one-thread decompress (or test) driver over an
// entry's data into memory, and records what the driver showed on the way
// (action labels, progress, its checks of the abort request). When the walk
// reaches the entry, playBack repeats those calls in their order with the
// walk's own progress counters and writes the bytes, so the person sees
// what a one-thread run shows. An entry whose worker met anything but a
// clean success (a report of any kind, a failed read, running out of
// memory, being cut short) is never played back: the walk decodes it
// itself, and the driver says what it always says.
//
// Memory: the decoded bytes held ahead stay below kHeldBytesPerWorker for
// each worker (an entry larger than the whole bound is never decoded
// ahead; the walk decodes it), plus each running worker's decoder state.
//
// Threads: every method is called from the operation's thread. Workers
// touch no interface and no operation record. The destructor cancels what
// is running (a driver stops at its next read or write) and joins the
// workers, so none outlives the object.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "archive/archive_reader.h"
#include "archive/cipher.h"
#include "archive/operation_context.h"
#include "engine/file_drivers.h"

namespace zor {

inline constexpr std::size_t kHeldBytesPerWorker = std::size_t{2} << 20;

struct DecodeAheadPlan {
    std::string archivePath;  // opened again by the workers' own walk
    int32_t workers = 1;
    bool keepsOutput = true;  // extraction: the decoded bytes are held; testing: only checked
    std::optional<std::string> password;  // for a protected archive
    EngineSettings settings;
    // Which file entries the walk will decode; null for all of them.
    std::function<bool(const ArchiveEntry&)> wanted;
};

class DecodeAhead {
public:
    explicit DecodeAhead(DecodeAheadPlan plan);
    ~DecodeAhead();
    DecodeAhead(const DecodeAhead&) = delete;
    DecodeAhead& operator=(const DecodeAhead&) = delete;

    // For the entry the walk has reached: when a worker decoded it soundly,
    // repeats the driver's calls through `driver` (writing the bytes to
    // `output` when given) and returns the driver's result. Waits for a
    // worker still at it, pumping messages; an abort request ends the wait
    // with false, as the driver ends on abort. Nothing, with `output` and
    // the progress as they were, when the walk must decode the entry itself.
    // `output` must not have been written to yet.
    std::optional<bool> playBack(const ArchiveEntry& entry, std::FILE* output, DriverContext& driver);

private:
    struct State;
    std::unique_ptr<State> state_;
};

// The workers for an operation on the archive `context.window.ArchivePath`:
// one for each of `context.settings.threads`, none (null) for one thread.
std::unique_ptr<DecodeAhead> decodeAheadFor(const OperationContext& context, const std::optional<std::string>& password,
                                            bool keepsOutput, std::function<bool(const ArchiveEntry&)> wanted);

// Decodes the entry the walk has reached: played back from `ahead` (when
// given and it has the entry), otherwise on this thread by decodeEntryData.
std::optional<bool> decodeEntry(DecodeAhead* ahead, const ArchiveReader& reader, const ArchiveEntry& entry,
                                CipherState* cipher, std::FILE* output, DriverContext& driver);

}  // namespace zor
