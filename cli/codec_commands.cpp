// codec_commands.cpp - zor-cli compress/decompress: one stream between two files or standard input and output.
#include "cli/codec_commands.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <thread>

#include "cli/exit_status.h"
#include "cli/stream_ui.h"
#include "engine/file_drivers.h"
#include "engine/parallel_compress_file.h"
#include "engine/parallel_decompress.h"

namespace zor::cli {

namespace {

struct Endpoints {
    std::string input;  // empty: standard input
    std::string output; // empty: standard output
};

struct FileCloser {
    void operator()(std::FILE* file) const {
        if (file && file != stdin && file != stdout) std::fclose(file);
    }
};
using File = std::unique_ptr<std::FILE, FileCloser>;

File openInput(const std::string& name) {
    if (name.empty() || name == "-") return File(stdin);
    return File(std::fopen(name.c_str(), "rb"));
}

File openOutput(const std::string& name) {
    if (name.empty() || name == "-") return File(stdout);
    return File(std::fopen(name.c_str(), "wb"));
}

std::string displayName(const std::string& name, const char* standard) {
    return name.empty() || name == "-" ? standard : name;
}

bool namedOutput(const std::string& name) { return !name.empty() && name != "-"; }

int reportOpenFailure(const std::string& name, const char* what) {
    std::fprintf(stderr, "zor-cli: cannot open %s for %s: %s\n", name.c_str(), what, std::strerror(errno));
    return kFailed;
}

// Closes a named output and reports a failed close (the last buffered bytes may not have reached the disk).
bool closeOutput(File& output, const std::string& name) {
    if (!namedOutput(name)) return std::fflush(stdout) == 0;
    return std::fclose(output.release()) == 0;
}

// Opens both ends, runs `drive` (true on success) and settles the exit
// status; a failed run to a named output leaves no half-written file behind.
template <typename Drive>
int runBetween(const Endpoints& files, const char* silentFailure, Drive drive) {
    File input = openInput(files.input);
    if (!input) return reportOpenFailure(files.input, "reading");
    File output = openOutput(files.output);
    if (!output) return reportOpenFailure(files.output, "writing");

    StreamUi ui(displayName(files.input, "(standard input)"));
    DriverProgress progress;
    DriverContext context{ui, progress, EngineSettings{}};
    const bool driven = drive(input.get(), output.get(), context);
    const bool closed = closeOutput(output, files.output);
    if (driven && closed) return kSuccess;
    if (!ui.reported()) ui.reportError(driven ? "I/O or other error, bailing out." : silentFailure, false);
    if (namedOutput(files.output)) std::remove(files.output.c_str());
    return ui.fatal() ? kFatal : kFailed;
}

// What `compress` is told: the two ends and how many threads make the stream.
struct CompressRequest {
    Endpoints files;
    int32_t threads = static_cast<int32_t>(std::max(1u, std::thread::hardware_concurrency()));
};

int runCompress(const CompressRequest& request) {
    return runBetween(request.files, "I/O or other error, bailing out.",
                      [&request](std::FILE* in, std::FILE* out, DriverContext& c) {
                          c.settings.threads = request.threads;
                          return !compressFileParallel(in, out, c).failed;
                      });
}

// What `decompress` is told: the two ends and how many threads decode the blocks.
struct DecompressRequest {
    Endpoints files;
    // A short stream can still hold many blocks of repeated bytes, and one
    // file's worth of starting threads is nothing: always go parallel.
    ParallelDecodeOptions options{static_cast<int32_t>(std::max(1u, std::thread::hardware_concurrency())), 0};
};

int runDecompress(const DecompressRequest& request) {
    // The driver fails without a message only when the input does not begin with a stream.
    return runBetween(request.files, "not a ZOR compressed stream",
                      [&request](std::FILE* in, std::FILE* out, DriverContext& c) {
                          return decompressFileParallel(in, out, c, request.options);
                      });
}

void addEndpoints(CLI::App* command, Endpoints& files) {
    command->add_option("INPUT", files.input, "file to read (standard input when left out or \"-\")");
    command->add_option("OUTPUT", files.output, "file to write (standard output when left out or \"-\")");
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
    decompress->add_option("--threads", decompressRequest->options.threads, "threads decoding blocks (default: all cores)")
        ->check(CLI::Range(1, 256));
    decompress->callback([decompressRequest, &exitStatus] { exitStatus = runDecompress(*decompressRequest); });
}

}  // namespace zor::cli
