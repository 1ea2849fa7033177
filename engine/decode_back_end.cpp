// decode_back_end.cpp - the one-thread back end of the decompress and test driver: the file layer, stream after stream.
#include "engine/decode_back_end.h"

#include <algorithm>

namespace zor {

OneThreadDecoding::~OneThreadDecoding() {
    if (handle_) abandon();
}

int32_t OneThreadDecoding::open() {
    int32_t status = OK;
    handle_ = fileReadOpen(&status, source_, verbosity_, smallMode_, carried_, carriedCount_, pump_);
    if (handle_ && status == OK) return status;
    if (handle_) abandon();
    return status;
}

int32_t OneThreadDecoding::read(uint8_t* into, int32_t wanted, int32_t& status) {
    return fileRead(&status, handle_, into, wanted);
}

void OneThreadDecoding::abandon() {
    if (!handle_) return;
    int32_t ignored = OK;
    fileReadClose(&ignored, handle_);
    handle_ = nullptr;
}

bool OneThreadDecoding::finishStream() {
    const uint8_t* unused = nullptr;
    int32_t unusedCount = 0;
    int32_t status = OK;
    fileReadGetUnused(&status, handle_, &unused, &unusedCount);
    const bool tookUnused = status == OK;
    if (tookUnused) {
        std::copy_n(unused, unusedCount, carried_);
        carriedCount_ = unusedCount;
    }
    int32_t closeStatus = OK;
    fileReadClose(&closeStatus, handle_);
    handle_ = nullptr;
    return tookUnused && closeStatus == OK;
}

bool OneThreadDecoding::atEnd() { return carriedCount_ == 0 && atEndOfFile(source_); }

}  // namespace zor
