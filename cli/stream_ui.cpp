// stream_ui.cpp - prints the drivers' messages as one line each on standard error, naming the file they are about.
#include "cli/stream_ui.h"

#include <cstdio>

#include "archive/file_messages.h"

namespace zor::cli {

void StreamUi::reportError(const std::string& text, bool fatal) {
    reported_ = true;
    if (output_.failure() != 0) {
        // A failed write is the output's fault, not the engine's: the drivers'
        // reports that follow it (the decoder's "Internal error" among them)
        // add nothing to its one message and do not make it fatal.
        if (!outputFailureReported_)
            std::fprintf(stderr, "zor-cli: %s\n", aboutFile(output_.displayName(), text, output_.failure()).c_str());
        outputFailureReported_ = true;
        return;
    }
    std::fprintf(stderr, "zor-cli: %s: %s\n", input_.c_str(), text.c_str());
    fatal_ = fatal_ || fatal;
}

}  // namespace zor::cli
