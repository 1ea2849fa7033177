// driver_reports.cpp - the file drivers' shared messages, progress arithmetic and pump.
#include "engine/driver_reports.h"

#include <cmath>
#include <cstdio>

#include "engine/driver_texts.h"

namespace zor {

namespace {

void pumpThroughUi(void* ui) { static_cast<DriverUi*>(ui)->pumpMessages(); }

}  // namespace

void reportIoError(DriverUi& ui) { ui.reportError(texts::kIoError, false); }
void reportOutOfMemory(DriverUi& ui) { ui.reportError(texts::kOutOfMemory, false); }
void reportConfigError(DriverUi& ui) { ui.reportError(texts::kConfigError, true); }
void reportLongerThanExpected(DriverUi& ui) { ui.reportError(texts::kLongerThanExpected, false); }
void reportShorterThanExpected(DriverUi& ui) { ui.reportError(texts::kShorterThanExpected, false); }

void reportInternalError(DriverUi& ui, const char* text) {
    // The whole message fits the 200-byte buffer the drivers have always used.
    char message[200];
    std::snprintf(message, sizeof message, texts::kInternalErrorFormat, text);
    ui.reportError(message, true);
}

float percentOf(int64_t done, uint32_t whole) {
    if (whole == 0) return 0.0f;
    return static_cast<float>(std::floor(static_cast<double>(done) / static_cast<double>(whole) * 100.0));
}

MessagePump pumpFor(DriverUi& ui) {
    MessagePump pump;
    pump.hook = pumpThroughUi;
    pump.context = &ui;
    return pump;
}

}  // namespace zor
