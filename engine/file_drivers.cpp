// file_drivers.cpp - compress a file into an archive, decompress or test one entry's stream, with progress and messages.
#include "engine/file_drivers.h"

#include <algorithm>
#include <cstdio>

#include "engine/codec.h"
#include "engine/codec_file.h"
#include "engine/driver_reports.h"

namespace zor {

namespace {

constexpr int32_t kChunk = kFileBufferSize;

void updateProgress(DriverContext& context, bool moveBars) {
    DriverProgress& p = context.progress;
    p.FileProgressPercent = percentOf(p.FileBytesDone, p.fileSize);
    p.TotalProgressPercent = percentOf(p.TotalBytesDone, p.totalSize);
    if (moveBars)
        context.ui.setProgressBars(static_cast<int>(p.FileProgressPercent), static_cast<int>(p.TotalProgressPercent));
}

void countBytes(DriverContext& context, int32_t n) {
    context.progress.FileBytesDone += n;
    context.progress.TotalBytesDone += n;
}

bool fileOk(std::FILE* file) { return !std::ferror(file); }

// The bytes the previous stream's handle read past its end, carried into the next stream's handle.
struct Carried {
    uint8_t bytes[kFileBufferSize];
    int32_t count = 0;

    // Takes the unused bytes of a handle that has reached STREAM_END.
    bool takeFrom(CodecFile* handle) {
        const uint8_t* unused = nullptr;
        int32_t unusedCount = 0;
        int32_t status = OK;
        fileReadGetUnused(&status, handle, &unused, &unusedCount);
        if (status != OK) return false;
        std::copy_n(unused, unusedCount, bytes);
        count = unusedCount;
        return true;
    }
};

}  // namespace

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
    auto statusFailure = [&](CodecFile* handle, int32_t status) {
        int32_t ignored = OK;
        fileWriteClose(&ignored, handle, true, nullptr, nullptr, nullptr, nullptr);
        if (status == CONFIG_ERROR) {
            reportConfigError(ui);
        } else if (status == IO_ERROR) {
            reportIoError(ui);
        } else if (status == MEM_ERROR) {
            reportOutOfMemory(ui);
            reportInternalError(ui, "End in compress");
        } else {
            reportInternalError(ui, "Unexpected error while compressing");
        }
        result.failed = true;
        return result;
    };

    if (!fileOk(input) || !fileOk(archive)) return ioFailure();

    int32_t status = OK;
    const EngineSettings& s = context.settings;
    CodecFile* handle = fileWriteOpen(&status, archive, s.blockSizeLevel, s.verbosity, s.workFactor, pumpFor(ui));
    if (status != OK) return statusFailure(handle, status);

    uint8_t buffer[kChunk];
    for (;;) {
        if (atEndOfFile(input)) break;
        ui.setActionLabel("Reading...");
        const int32_t n = static_cast<int32_t>(std::fread(buffer, 1, kChunk, input));
        countBytes(context, n);
        if (!fileOk(input)) {
            int32_t ignored = OK;
            fileWriteClose(&ignored, handle, true, nullptr, nullptr, nullptr, nullptr);
            return ioFailure();
        }
        ui.setActionLabel("Compressing in memory...");
        if (n > 0) fileWrite(&status, handle, buffer, n);
        updateProgress(context, false);
        if (status != OK) return statusFailure(handle, status);
    }

    ui.setActionLabel("Writing to disk and cleaning up unused memory...");
    uint32_t outLo = 0, outHi = 0;
    fileWriteClose(&status, handle, false, nullptr, nullptr, &outLo, &outHi);
    result.LastPackedSize = outLo + outHi;
    if (status != OK) {
        // A failing close keeps the handle; the status failure gives it back.
        if (ui.abortRequested()) {
            fileWriteClose(&status, handle, true, nullptr, nullptr, nullptr, nullptr);
            return result;
        }
        return statusFailure(handle, status);
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

const StreamDriverKind kDecompress{"End in decompress", "Unexpected error while decompressing",
                                   "Read unused in decompress", "Data integrity error when decompressing.",
                                   "Compressed file ends unexpectedly, probably corrupted", nullptr, true};
const StreamDriverKind kTest{"End in test", "Unexpected error while testing", "Read unused in test",
                             "Data integrity (CRC) error in data", "file ends unexpectedly",
                             "Bad number, file not created by ZOR", false};

// Reads every stream stored back to back from `source`, writing the bytes to
// `output` when there is one (decompress) or only checking them (test).
bool driveStreams(std::FILE* source, std::FILE* output, DriverContext& context, const StreamDriverKind& kind) {
    DriverUi& ui = context.ui;
    const bool decompressing = output != nullptr;
    auto ioFailure = [&] {
        reportIoError(ui);
        reportInternalError(ui, kind.endText);
        return false;
    };
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
    auto statusFailure = [&](CodecFile* handle, int32_t status) {
        int32_t ignored = OK;
        fileReadClose(&ignored, handle);
        const bool laterSucceeds = streamsBegun > 1 && kind.laterDamageSucceeds;
        switch (status) {
            case CONFIG_ERROR: reportConfigError(ui); return false;
            case IO_ERROR: return ioFailure();
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

    if ((output && !fileOk(output)) || !fileOk(source)) return ioFailure();

    Carried carried;
    uint8_t buffer[kChunk];
    const EngineSettings& s = context.settings;
    for (;;) {
        int32_t status = OK;
        CodecFile* handle =
            fileReadOpen(&status, source, s.verbosity, s.smallMode, carried.bytes, carried.count, pumpFor(ui));
        if (!handle || status != OK) return statusFailure(handle, status);
        ++streamsBegun;
        while (status == OK) {
            // With a known length, one byte more than it still allows is
            // asked for: getting it shows the streams are too long, before
            // any byte beyond the length is written or more is decoded.
            const int32_t wanted =
                expected ? static_cast<int32_t>(std::min<uint64_t>(kChunk, *expected - delivered + 1)) : kChunk;
            if (decompressing) ui.setActionLabel("Reading...");
            int32_t n = fileRead(&status, handle, buffer, wanted);
            if (decompressing) ui.setActionLabel("Decompressing in memory...");
            if (status == DATA_ERROR_MAGIC) return statusFailure(handle, status);
            const bool tooLong = expected && uint64_t(n) > *expected - delivered;
            if (tooLong) n = static_cast<int32_t>(*expected - delivered);
            if (decompressing && (status == OK || status == STREAM_END) && n > 0) std::fwrite(buffer, 1, n, output);
            delivered += uint64_t(n);
            countBytes(context, n);
            updateProgress(context, true);
            if (!decompressing) ui.pumpMessages();
            if (decompressing && !fileOk(output)) {
                int32_t ignored = OK;
                fileReadClose(&ignored, handle);
                return ioFailure();
            }
            if (tooLong) {
                int32_t ignored = OK;
                fileReadClose(&ignored, handle);
                reportLongerThanExpected(ui);
                return false;
            }
        }
        if (status != STREAM_END) return statusFailure(handle, status);
        const bool tookUnused = carried.takeFrom(handle);
        int32_t closeStatus = OK;
        fileReadClose(&closeStatus, handle);
        if (ui.abortRequested()) return false;
        if (decompressing) ui.setActionLabel("Writing to disk and cleaning unused memory...");
        if (!tookUnused || closeStatus != OK) {
            reportInternalError(ui, kind.unusedText);
            return false;
        }
        if (carried.count == 0 && atEndOfFile(source)) break;
    }
    if (!fileOk(source) || (output && (!fileOk(output) || std::fflush(output) != 0))) return ioFailure();
    return succeed();
}

}  // namespace

bool decompressFile(std::FILE* source, std::FILE* output, DriverContext& context) {
    return driveStreams(source, output, context, kDecompress);
}

bool testFile(std::FILE* source, DriverContext& context) { return driveStreams(source, nullptr, context, kTest); }

}  // namespace zor
