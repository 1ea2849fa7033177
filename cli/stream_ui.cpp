// stream_ui.cpp - prints the drivers' messages as one line each on standard error, naming the file.
#include "cli/stream_ui.h"

#include <cstdio>

namespace zor::cli {

void StreamUi::reportError(const std::string& text, bool fatal) {
    std::fprintf(stderr, "zor-cli: %s: %s\n", subject_.c_str(), text.c_str());
    reported_ = true;
    fatal_ = fatal_ || fatal;
}

}  // namespace zor::cli
