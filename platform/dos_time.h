// dos_time.h - a file's last-write time as a packed DOS date/time in local time, read and set.
//
// Layout of the 32-bit value: low 16 bits the time (bits 0-4 seconds / 2,
// bits 5-10 minutes, bits 11-15 hours), high 16 bits the date (bits 0-4 day,
// bits 5-8 month, bits 9-15 years since 1980). Seconds are kept in 2-second
// steps (odd seconds round down). Times before 1980 or after 2107 cannot be
// expressed and are clamped to the first or last moment that can.
#pragma once

#include <cstdint>
#include <ctime>

namespace zor {

uint32_t toDosDateTime(std::time_t time);
std::time_t fromDosDateTime(uint32_t dosDateTime);

// The last-write time of the open descriptor `fd`; 0 when it cannot be read.
uint32_t getFileDosDateTime(int fd);

// Sets the last-write time of the open descriptor `fd`; the access time is kept.
bool setFileDosDateTime(int fd, uint32_t dosDateTime);

}  // namespace zor
