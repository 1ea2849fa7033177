// recording_driver_ui.h - a DriverUi for tests: records every message and action label, answers abort from a flag.
#pragma once

#include <string>
#include <vector>

#include "engine/file_drivers.h"

namespace zor::testing {

class RecordingDriverUi : public DriverUi {
public:
    struct Message {
        std::string text;
        bool fatal;
    };

    void reportError(const std::string& text, bool fatal) override { messages.push_back({text, fatal}); }
    void setActionLabel(const std::string& text) override {
        if (labels.empty() || labels.back() != text) labels.push_back(text);
    }
    void setProgressBars(int filePercent, int totalPercent) override {
        lastFileBar = filePercent;
        lastTotalBar = totalPercent;
    }
    bool abortRequested() const override { return abort; }
    void pumpMessages() override { ++pumps; }

    std::vector<Message> messages;
    std::vector<std::string> labels;
    int lastFileBar = -1;
    int lastTotalBar = -1;
    int pumps = 0;
    bool abort = false;
};

}  // namespace zor::testing
