// file_drivers.cpp - compress a file into an archive, decompress or test one entry's stream, with progress and messages.
#include "engine/file_drivers.h"

#include <sys/stat.h>

#include <algorithm>
#include <cstdio>
#include <memory>
#include <optional>
#include <thread>

#include "engine/codec.h"
#include "engine/codec_file.h"
#include "engine/compress_back_end.h"
#include "engine/decode_back_end.h"
#include "engine/driver_reports.h"
#include "engine/driver_texts.h"
#include "engine/parallel_decompress.h"

namespace zor {

int32_t coreCount() { return static_cast<int32_t>(std::max(1u, std::thread::hardware_concurrency())); }

namespace {

constexpr int32_t kChunk = kFileBufferSize;

void showProgress(DriverContext& context) {
    const DriverProgress& p = context.progress;
    context.ui.setProgressBars(static_cast<int>(p.FileProgressPercent), static_cast<int>(p.TotalProgressPercent));
}

bool fileOk(std::FILE* file) { return !std::ferror(file); }

// Bytes left from the current position of a regular file; -1 for anything else.
int64_t regularBytesLeft(std::FILE* file) {
    const int64_t position = ftello(file);
    struct stat info {};
    if (position < 0 || fstat(fileno(file), &info) != 0 || !S_ISREG(info.st_mode)) return -1;
    return info.st_size - position;
}

}  // namespace

void DriverProgress::advance(int64_t n) {
    FileBytesDone += n;
    TotalBytesDone += n;
    FileProgressPercent = percentOf(FileBytesDone, fileSize);
    TotalProgressPercent = percentOf(TotalBytesDone, totalSize);
}

void DriverProgress::skipTotal(int64_t n) {
    TotalBytesDone += n;
    TotalProgressPercent = percentOf(TotalBytesDone, totalSize);
}

bool decodesInParallel(int64_t inputBytes, const EngineSettings& settings) {
    return settings.threads > 1 && inputBytes >= settings.smallestParallelDecode;
}

CompressResult compressFile(std::FILE* input, std::FILE* archive, DriverContext& context) {
    DriverUi& ui = context.ui;
    CompressResult result;
    // A write failure (a full disk, say) is recoverable: the packer cleans
    // up its partial archive and the program goes on.
    auto ioFailure = [&] {
        reportIoError(ui);
        result.failed = true;
        return result;
    };
    auto statusFailure = [&](CompressBackEnd& backEnd, int32_t status) {
        backEnd.abandon();
        if (status == CONFIG_ERROR) {
            reportConfigError(ui);
        } else if (status == IO_ERROR) {
            reportIoError(ui);
        } else if (status == MEM_ERROR) {
            reportOutOfMemory(ui);
            reportInternalError(ui, texts::kEndInCompress);
        } else {
            reportInternalError(ui, texts::kUnexpectedCompressing);
        }
        result.failed = true;
        return result;
    };

    if (!fileOk(input) || !fileOk(archive)) return ioFailure();

    const std::unique_ptr<CompressBackEnd> backEnd =
        compressBackEndFor(archive, context.settings, regularBytesLeft(input), pumpFor(ui));
    int32_t status = backEnd->status();
    if (status != OK) return statusFailure(*backEnd, status);

    uint8_t buffer[kChunk];
    for (;;) {
        if (atEndOfFile(input)) break;
        ui.setActionLabel(texts::kReading);
        const int32_t n = static_cast<int32_t>(std::fread(buffer, 1, kChunk, input));
        context.progress.advance(n);
        if (!fileOk(input)) {
            backEnd->abandon();
            return ioFailure();
        }
        ui.setActionLabel(texts::kCompressing);
        if (n > 0) status = backEnd->write(buffer, n);
        if (status != OK) return statusFailure(*backEnd, status);
    }

    ui.setActionLabel(texts::kCompressFinishing);
    uint64_t bytesOut = 0;
    status = backEnd->finish(bytesOut);
    result.LastPackedSize = static_cast<uint32_t>(bytesOut);
    if (status != OK) {
        if (ui.abortRequested()) {
            backEnd->abandon();
            return result;
        }
        return statusFailure(*backEnd, status);
    }
    if (ui.abortRequested()) return result;
    if (!fileOk(archive) || std::fflush(archive) != 0 || !fileOk(input)) return ioFailure();
    return result;
}

namespace {

// What tells the decompress and test drivers apart: their texts, and
// whether a damaged stream after a complete one still counts as success.
struct StreamDriverKind {
    const char* endText;            // internal error after an I/O failure
    const char* unexpectedText;     // internal error for a status no step returns
    const char* unusedText;         // internal error when the unused bytes cannot be had
    const char* dataErrorText;
    const char* truncatedText;
    const char* notAStreamText;     // nullptr: a first stream without signature fails silently
    bool laterDamageSucceeds;       // damage after a complete stream ends the entry successfully
};

const StreamDriverKind kDecompress{texts::kEndInDecompress, texts::kUnexpectedDecompressing,
                                   texts::kUnusedInDecompress,  texts::kDecompressDataError,
                                   texts::kDecompressTruncated, nullptr,
                                   true};
const StreamDriverKind kTest{texts::kEndInTest,     texts::kUnexpectedTesting, texts::kUnusedInTest,
                             texts::kTestDataError, texts::kTestTruncated,     texts::kTestNotAStream,
                             false};

bool ioFailure(DriverUi& ui, const StreamDriverKind& kind) {
    reportIoError(ui);
    reportInternalError(ui, kind.endText);
    return false;
}

// The driver's loop: reads every stream stored back to back through
// `backEnd`, writing the bytes to `output` when there is one (decompress;
// the first `skip` bytes are left out, having been written before) or only
// checking them (test). Nothing when the back end found the input doubtful;
// `written` is then the number of bytes written to `output`.
std::optional<bool> runStreams(DecodeBackEnd& backEnd, std::FILE* source, std::FILE* output, DriverContext& context,
                               const StreamDriverKind& kind, uint64_t skip, uint64_t& written) {
    DriverUi& ui = context.ui;
    const bool decompressing = output != nullptr;
    // Bytes the streams delivered so far (never more than the expected length).
    uint64_t delivered = 0;
    const std::optional<uint64_t> expected = context.expectedLength;
    // Every success ends here: a known length must have been met exactly.
    auto succeed = [&] {
        if (!expected || delivered == *expected) return true;
        reportShorterThanExpected(ui);
        return false;
    };
    int streamsBegun = 0;
    auto statusFailure = [&](int32_t status) {
        backEnd.abandon();
        const bool laterSucceeds = streamsBegun > 1 && kind.laterDamageSucceeds;
        switch (status) {
            case CONFIG_ERROR: reportConfigError(ui); return false;
            case IO_ERROR: return ioFailure(ui, kind);
            case DATA_ERROR: ui.reportError(kind.dataErrorText, false); return laterSucceeds && succeed();
            case MEM_ERROR: reportOutOfMemory(ui); return laterSucceeds && succeed();
            case UNEXPECTED_EOF: ui.reportError(kind.truncatedText, false); return laterSucceeds && succeed();
            case DATA_ERROR_MAGIC:
                // Bytes after a complete stream that do not begin another one end the entry successfully.
                if (streamsBegun > 1) return succeed();
                if (kind.notAStreamText) ui.reportError(kind.notAStreamText, false);
                return false;
            default: reportInternalError(ui, kind.unexpectedText); return false;
        }
    };
    auto writeOut = [&](const uint8_t* data, int32_t n) {
        const uint64_t dropped = std::min<uint64_t>(skip, static_cast<uint64_t>(n));
        skip -= dropped;
        const size_t rest = static_cast<size_t>(static_cast<uint64_t>(n) - dropped);
        if (rest > 0) written += std::fwrite(data + dropped, 1, rest, output);
    };

    uint8_t buffer[kChunk];
    for (;;) {
        int32_t status = backEnd.open();
        if (status == kDoubtful) return std::nullopt;
        if (status != OK) return statusFailure(status);
        ++streamsBegun;
        while (status == OK) {
            // With a known length, one byte more than it still allows is
            // asked for: getting it shows the streams are too long, before
            // any byte beyond the length is written or more is decoded.
            const int32_t wanted =
                expected ? static_cast<int32_t>(std::min<uint64_t>(kChunk, *expected - delivered + 1)) : kChunk;
            if (decompressing) ui.setActionLabel(texts::kReading);
            int32_t n = backEnd.read(buffer, wanted, status);
            if (status == kDoubtful) return std::nullopt;
            if (decompressing) ui.setActionLabel(texts::kDecompressing);
            if (status == DATA_ERROR_MAGIC) return statusFailure(status);
            const bool tooLong = expected && uint64_t(n) > *expected - delivered;
            if (tooLong) n = static_cast<int32_t>(*expected - delivered);
            if (decompressing && (status == OK || status == STREAM_END) && n > 0) writeOut(buffer, n);
            delivered += uint64_t(n);
            context.progress.advance(n);
            showProgress(context);
            if (!decompressing) ui.pumpMessages();
            if (decompressing && !fileOk(output)) {
                backEnd.abandon();
                return ioFailure(ui, kind);
            }
            if (tooLong) {
                backEnd.abandon();
                reportLongerThanExpected(ui);
                return false;
            }
        }
        if (status != STREAM_END) return statusFailure(status);
        const bool tookUnused = backEnd.finishStream();
        if (ui.abortRequested()) return false;
        if (decompressing) ui.setActionLabel(texts::kDecompressFinishing);
        if (!tookUnused) {
            reportInternalError(ui, kind.unusedText);
            return false;
        }
        if (backEnd.atEnd()) break;
    }
    if (!fileOk(source) || (output && (!fileOk(output) || std::fflush(output) != 0))) return ioFailure(ui, kind);
    return succeed();
}

// Decodes on several threads where the settings and the source allow it;
// where that back end finds the input doubtful, the one-thread back end
// runs over it again from its start, with the progress as it was then and
// the bytes already written left out, for its exact report.
bool driveStreams(std::FILE* source, std::FILE* output, DriverContext& context, const StreamDriverKind& kind) {
    DriverUi& ui = context.ui;
    if ((output && !fileOk(output)) || !fileOk(source)) return ioFailure(ui, kind);
    const EngineSettings& s = context.settings;
    uint64_t written = 0;
    const int64_t start = ftello(source);
    const int64_t length = context.inputLength ? static_cast<int64_t>(*context.inputLength) : regularBytesLeft(source);
    if (start >= 0 && length >= 0 && decodesInParallel(length, s)) {
        const DriverProgress progressAtStart = context.progress;
        {
            ParallelDecoding parallel(source, s.threads, pumpFor(ui));
            if (const std::optional<bool> result = runStreams(parallel, source, output, context, kind, 0, written))
                return *result;
        }
        context.progress = progressAtStart;
        if (fseeko(source, start, SEEK_SET) != 0) {
            reportIoError(ui);
            return false;
        }
        if ((output && !fileOk(output)) || !fileOk(source)) return ioFailure(ui, kind);
    }
    OneThreadDecoding oneThread(source, s.verbosity, s.smallMode, pumpFor(ui));
    uint64_t unused = 0;
    return runStreams(oneThread, source, output, context, kind, written, unused).value_or(false);
}

}  // namespace

bool decompressFile(std::FILE* source, std::FILE* output, DriverContext& context) {
    return driveStreams(source, output, context, kDecompress);
}

bool testFile(std::FILE* source, DriverContext& context) { return driveStreams(source, nullptr, context, kTest); }

}  // namespace zor
