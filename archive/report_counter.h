// report_counter.h - passes the drivers' calls on to the operation's interface and counts the errors they report.
//
// The decompress driver gives up silently on data that do not begin a
// stream; the operation uses the count to tell such a failure from one the
// driver has already explained. Packing also holds back a fatal report
// (which ends the process) until it has removed its partial archive.
// The drivers' texts name no file: given a subject, each report names it.
#pragma once

#include <string>

#include "archive/file_messages.h"
#include "archive/operation_ui.h"

namespace zor {

class ReportCounter : public DriverUi {
public:
    explicit ReportCounter(OperationUi& ui, bool holdFatal = false, std::string subject = {})
        : ui_(ui), holdFatal_(holdFatal), subject_(std::move(subject)) {}

    void reportError(const std::string& driverText, bool fatal) override {
        const std::string text = subject_.empty() ? driverText : aboutFile(subject_, driverText);
        ++reports;
        if (fatal) ++fatalReports;
        if (fatal && holdFatal_) {
            heldFatal_ = text;
            return;
        }
        ui_.reportError(text, fatal);
    }

    // Shows the fatal report held back, if any.
    void releaseFatal() {
        if (!heldFatal_.empty()) ui_.reportError(heldFatal_, true);
        heldFatal_.clear();
    }
    void setActionLabel(const std::string& text) override { ui_.setActionLabel(text); }
    void setProgressBars(int filePercent, int totalPercent) override { ui_.setProgressBars(filePercent, totalPercent); }
    bool abortRequested() const override { return ui_.abortRequested(); }
    void pumpMessages() override { ui_.pumpMessages(); }

    int reports = 0;
    int fatalReports = 0;

private:
    OperationUi& ui_;
    bool holdFatal_;
    std::string subject_;
    std::string heldFatal_;
};

}  // namespace zor
