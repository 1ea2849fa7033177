// codec_commands.cpp - zor-cli compress/decompress: one stream between two files or standard input and output.
#include "cli/codec_commands.h"

#include <memory>
#include <string>

#include "cli/exit_status.h"
#include "cli/stream_endpoints.h"
#include "cli/stream_ui.h"
#include "engine/driver_texts.h"
#include "engine/file_drivers.h"

namespace zor::cli {

namespace {

struct Endpoints {
    std::string input;   // empty: standard input
    std::string output;  // empty: standard output
    bool force = false;  // an existing file or link at the output's name may be replaced
};

// Which side of the run holds compressed data, which never comes from or goes to a terminal.
enum class Direction { Compress, Decompress };

// Checks and opens both ends, runs `drive` (true on success) and settles the
// exit status; only a complete stream takes the output's name.
template <typename Drive>
int runBetween(const Endpoints& files, Direction direction, const char* silentFailure, Drive drive) {
    StreamInput input;
    if (const int status = input.open(files.input, direction == Direction::Decompress); status != kSuccess)
        return status;
    StreamOutput output;
    if (const int status = output.open(files.output, files.force, direction == Direction::Compress, input);
        status != kSuccess)
        return status;

    StreamUi ui(input.displayName(), output);
    DriverProgress progress;
    DriverContext context{ui, progress, EngineSettings{}};
    const bool driven = drive(input.file(), output.file(), context);
    if (driven && output.finish()) return kSuccess;
    if (!ui.reported()) ui.reportError(driven ? texts::kIoError : silentFailure, false);
    return ui.fatal() ? kFatal : kFailed;
}

// What `compress` is told: the two ends and how many threads make the stream.
struct CompressRequest {
    Endpoints files;
    int32_t threads = coreCount();
};

int runCompress(const CompressRequest& request) {
    return runBetween(request.files, Direction::Compress, texts::kIoError,
                      [&request](std::FILE* in, std::FILE* out, DriverContext& c) {
                          c.settings.threads = request.threads;
                          return !compressFile(in, out, c).failed;
                      });
}

// What `decompress` is told: the two ends and how many threads decode the blocks.
struct DecompressRequest {
    Endpoints files;
    int32_t threads = coreCount();
};

int runDecompress(const DecompressRequest& request) {
    // The driver fails without a message only when the input does not begin with a stream.
    return runBetween(request.files, Direction::Decompress, "not a ZOR compressed stream",
                      [&request](std::FILE* in, std::FILE* out, DriverContext& c) {
                          c.settings.threads = request.threads;
                          // A short stream can still hold many blocks of repeated bytes, and one
                          // file's worth of starting threads is nothing: always go parallel.
                          c.settings.smallestParallelDecode = 0;
                          return decompressFile(in, out, c);
                      });
}

void addEndpoints(CLI::App* command, Endpoints& files) {
    command->add_option("INPUT", files.input, "file to read (standard input when left out or \"-\")");
    command->add_option("OUTPUT", files.output, "file to write (standard output when left out or \"-\")");
    command->add_flag("-f,--force", files.force, "replace an existing OUTPUT (a link is replaced, not its target)");
}

}  // namespace

void addCodecCommands(CLI::App& app, int& exitStatus) {
    auto compressRequest = std::make_shared<CompressRequest>();
    CLI::App* compress = app.add_subcommand("compress", "compress one file into one ZOR stream (level 9)");
    addEndpoints(compress, compressRequest->files);
    compress->add_option("--threads", compressRequest->threads, "threads making the stream (default: all cores)")
        ->check(CLI::Range(1, 256));
    compress->callback([compressRequest, &exitStatus] { exitStatus = runCompress(*compressRequest); });

    auto decompressRequest = std::make_shared<DecompressRequest>();
    CLI::App* decompress = app.add_subcommand("decompress", "decompress a ZOR stream back into the original bytes");
    addEndpoints(decompress, decompressRequest->files);
    decompress->add_option("--threads", decompressRequest->threads, "threads decoding blocks (default: all cores)")
        ->check(CLI::Range(1, 256));
    decompress->callback([decompressRequest, &exitStatus] { exitStatus = runDecompress(*decompressRequest); });
}

}  // namespace zor::cli
