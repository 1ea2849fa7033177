// dos_time.cpp - packing local times into DOS date/time values and back.
#include "platform/dos_time.h"

#include <fcntl.h>
#include <sys/stat.h>

namespace zor {
namespace {

constexpr uint32_t pack(int year, int month, int day, int hour, int minute, int second) {
    const uint32_t date = (static_cast<uint32_t>(year - 1980) << 9) | (static_cast<uint32_t>(month) << 5) |
                          static_cast<uint32_t>(day);
    const uint32_t timeOfDay = (static_cast<uint32_t>(hour) << 11) | (static_cast<uint32_t>(minute) << 5) |
                               static_cast<uint32_t>(second / 2);
    return (date << 16) | timeOfDay;
}

}  // namespace

uint32_t toDosDateTime(std::time_t time) {
    std::tm local {};
    if (!localtime_r(&time, &local)) return pack(1980, 1, 1, 0, 0, 0);
    const int year = local.tm_year + 1900;
    if (year < 1980) return pack(1980, 1, 1, 0, 0, 0);
    if (year > 2107) return pack(2107, 12, 31, 23, 59, 58);
    // A leap second (tm_sec 60) would overflow the 5-bit field.
    const int second = local.tm_sec > 59 ? 59 : local.tm_sec;
    return pack(year, local.tm_mon + 1, local.tm_mday, local.tm_hour, local.tm_min, second);
}

std::time_t fromDosDateTime(uint32_t dosDateTime) {
    const uint32_t date = dosDateTime >> 16;
    const uint32_t timeOfDay = dosDateTime & 0xFFFFu;
    std::tm local {};
    local.tm_year = static_cast<int>((date >> 9) & 0x7F) + 80;
    local.tm_mon = static_cast<int>((date >> 5) & 0x0F) - 1;
    local.tm_mday = static_cast<int>(date & 0x1F);
    local.tm_hour = static_cast<int>((timeOfDay >> 11) & 0x1F);
    local.tm_min = static_cast<int>((timeOfDay >> 5) & 0x3F);
    local.tm_sec = static_cast<int>(timeOfDay & 0x1F) * 2;
    local.tm_isdst = -1;  // let the C library decide whether summer time applied then
    return std::mktime(&local);
}

uint32_t getFileDosDateTime(int fd) {
    struct stat status {};
    if (::fstat(fd, &status) != 0) return 0;
    return toDosDateTime(status.st_mtime);
}

bool setFileDosDateTime(int fd, uint32_t dosDateTime) {
    const std::time_t when = fromDosDateTime(dosDateTime);
    if (when == static_cast<std::time_t>(-1)) return false;
    struct timespec times[2] {};
    times[0].tv_nsec = UTIME_OMIT;
    times[1].tv_sec = when;
    return ::futimens(fd, times) == 0;
}

}  // namespace zor
