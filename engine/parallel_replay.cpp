// parallel_replay.cpp - handing a doubtful input back to the one-thread driver without writing any byte twice.
//
// The one-thread driver decides every status, message and written byte, so
// on any doubt it is simply run again from the start of the input. Its
// output passes through a stdio stream of our own (fopencookie) that drops
// the bytes already written and forwards the rest. Each forwarded write is
// flushed, and a destination with its error flag set fails every write,
// so the driver sees a failing destination exactly where it looks for one.
#include "engine/parallel_replay.h"

#include <sys/types.h>

#include <algorithm>

#include "engine/driver_reports.h"

namespace zor {

namespace {

struct SkippingOutput {
    std::FILE* destination;
    uint64_t toSkip;
};

ssize_t writeSkipping(void* cookie, const char* data, size_t size) {
    auto* out = static_cast<SkippingOutput*>(cookie);
    if (std::ferror(out->destination)) return -1;
    const size_t skipped = static_cast<size_t>(std::min<uint64_t>(out->toSkip, size));
    out->toSkip -= skipped;
    const size_t rest = size - skipped;
    if (rest > 0 && (std::fwrite(data + skipped, 1, rest, out->destination) != rest ||
                     std::fflush(out->destination) != 0))
        return -1;
    return static_cast<ssize_t>(size);
}

}  // namespace

bool replayOneThread(std::FILE* source, int64_t start, std::FILE* output, uint64_t alreadyWritten,
                     DriverContext& context, const DriverProgress& progressAtStart) {
    context.progress = progressAtStart;
    if (fseeko(source, start, SEEK_SET) != 0) {
        reportIoError(context.ui);
        return false;
    }
    if (!output) return testFile(source, context);

    SkippingOutput skipping{output, alreadyWritten};
    cookie_io_functions_t functions{};
    functions.write = writeSkipping;
    std::FILE* through = fopencookie(&skipping, "wb", functions);
    if (!through) {
        reportIoError(context.ui);
        return false;
    }
    std::setvbuf(through, nullptr, _IONBF, 0);
    const bool result = decompressFile(source, through, context);
    std::fclose(through);
    return result;
}

}  // namespace zor
