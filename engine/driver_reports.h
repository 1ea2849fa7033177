// driver_reports.h - what every file driver shares: its messages, its progress arithmetic and its pump.
#pragma once

#include <cstdint>

#include "engine/file_drivers.h"
#include "engine/message_pump.h"

namespace zor {

void reportIoError(DriverUi& ui);       // recoverable "I/O or other error, bailing out."
void reportOutOfMemory(DriverUi& ui);   // recoverable "Not enough memory"
void reportConfigError(DriverUi& ui);   // fatal "Configuration error"
void reportInternalError(DriverUi& ui, const char* text);  // fatal "Internal error: " + text
// Recoverable: the streams decoded to more, or fewer, bytes than the context's expected length.
void reportLongerThanExpected(DriverUi& ui);
void reportShorterThanExpected(DriverUi& ui);

// floor(done / whole * 100) in double precision; 0 for an empty whole.
float percentOf(int64_t done, uint32_t whole);

// A stream pump that reaches the interface's own pump.
MessagePump pumpFor(DriverUi& ui);

}  // namespace zor
