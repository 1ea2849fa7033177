// stream_ui.h - the terminal's side of the file drivers for zor-cli compress/decompress: messages to standard error.
#pragma once

#include <string>

#include "cli/stream_endpoints.h"
#include "engine/file_drivers.h"

namespace zor::cli {

class StreamUi : public DriverUi {
public:
    // Messages name `input`, or `output` with the reason once a write to it has failed.
    StreamUi(std::string input, const StreamOutput& output) : input_(std::move(input)), output_(output) {}

    void reportError(const std::string& text, bool fatal) override;
    void setActionLabel(const std::string&) override {}
    void setProgressBars(int, int) override {}
    bool abortRequested() const override { return false; }
    void pumpMessages() override {}

    bool reported() const { return reported_; }
    bool fatal() const { return fatal_; }

private:
    std::string input_;
    const StreamOutput& output_;
    bool reported_ = false;
    bool fatal_ = false;
    bool outputFailureReported_ = false;
};

}  // namespace zor::cli
