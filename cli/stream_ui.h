// stream_ui.h - the terminal's side of the file drivers for zor-cli compress/decompress: messages to standard error.
#pragma once

#include <string>

#include "engine/file_drivers.h"

namespace zor::cli {

class StreamUi : public DriverUi {
public:
    explicit StreamUi(std::string subject) : subject_(std::move(subject)) {}

    void reportError(const std::string& text, bool fatal) override;
    void setActionLabel(const std::string&) override {}
    void setProgressBars(int, int) override {}
    bool abortRequested() const override { return false; }
    void pumpMessages() override {}

    bool reported() const { return reported_; }
    bool fatal() const { return fatal_; }

private:
    std::string subject_;  // the file named in messages
    bool reported_ = false;
    bool fatal_ = false;
};

}  // namespace zor::cli
