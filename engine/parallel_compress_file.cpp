// parallel_compress_file.cpp - reads a file in 5000-byte chunks into a ParallelCompressor and writes the stream to the archive.
#include "engine/parallel_compress_file.h"

#include <cstdio>

#include "engine/codec_file.h"
#include "engine/driver_reports.h"
#include "engine/parallel_compress.h"

namespace zor {

CompressResult compressFileParallel(std::FILE* input, std::FILE* archive, DriverContext& context) {
    const EngineSettings& settings = context.settings;
    if (settings.threads <= 1) return compressFile(input, archive, context);

    DriverUi& ui = context.ui;
    CompressResult result;
    result.failed = true;
    auto ioFailure = [&] {
        reportIoError(ui);
        return result;
    };
    if (std::ferror(input) || std::ferror(archive)) return ioFailure();

    const MessagePump pump = pumpFor(ui);
    auto sink = [archive](const uint8_t* data, size_t length) {
        return std::fwrite(data, 1, length, archive) == length && !std::ferror(archive);
    };
    auto blockDone = [&context](uint64_t inputBytes) {
        DriverProgress& p = context.progress;
        p.FileBytesDone += static_cast<int64_t>(inputBytes);
        p.TotalBytesDone += static_cast<int64_t>(inputBytes);
        p.FileProgressPercent = percentOf(p.FileBytesDone, p.fileSize);
        p.TotalProgressPercent = percentOf(p.TotalBytesDone, p.totalSize);
    };
    ParallelCompressSettings parallel;
    parallel.threads = settings.threads;
    parallel.blockSizeLevel = settings.blockSizeLevel;
    parallel.workFactor = settings.workFactor;
    ParallelCompressor compressor(parallel, sink, blockDone, pump);

    int32_t status = compressor.status();
    uint8_t buffer[kFileBufferSize];
    while (status == OK && !atEndOfFile(input)) {
        ui.setActionLabel("Reading...");
        const size_t n = std::fread(buffer, 1, sizeof buffer, input);
        if (std::ferror(input)) return ioFailure();
        ui.setActionLabel("Compressing in memory...");
        status = compressor.write(buffer, n);
    }
    ui.setActionLabel("Writing to disk and cleaning up unused memory...");
    if (status == OK) status = compressor.finish();
    const uint64_t written = compressor.bytesWritten();
    result.LastPackedSize = static_cast<uint32_t>(written) + static_cast<uint32_t>(written >> 32);

    if (status == OK && ui.abortRequested()) {
        result.failed = false;
        return result;
    }
    if (status == IO_ERROR) return ioFailure();
    if (status == MEM_ERROR) {
        reportOutOfMemory(ui);
        reportInternalError(ui, "End in compress");
        return result;
    }
    if (status != OK) {
        reportInternalError(ui, "Unexpected error while compressing");
        return result;
    }
    if (std::ferror(archive) || std::fflush(archive) != 0 || std::ferror(input)) return ioFailure();
    result.failed = false;
    return result;
}

}  // namespace zor
