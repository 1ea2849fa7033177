// codec_file.cpp - the file layer over the streaming interface: 5000-byte portions between a stream and a stdio file.
#include "engine/codec_file.h"

#include <algorithm>
#include <initializer_list>
#include <new>

#include "engine/compress_stream.h"
#include "engine/decompress_stream.h"
#include "engine/stream_format.h"

namespace zor {

namespace {

// Writes the status where the caller wants it and into the handle.
void setStatus(int32_t* status, CodecFile* handle, int32_t value) {
    if (status) *status = value;
    if (handle) handle->lastStatus = value;
}

// Writes the bytes the last compress step put into the buffer; false on a short write or an error flag.
bool writeProduced(CodecFile* handle) {
    const uint32_t produced = kFileBufferSize - handle->stream.availOut;
    if (produced == 0) return true;
    const size_t written = std::fwrite(handle->buffer, 1, produced, handle->handle);
    return written == produced && !std::ferror(handle->handle);
}

// A fresh handle on `file`, or none with IO_ERROR (the file's error flag is set) or MEM_ERROR.
CodecFile* newHandle(int32_t* status, std::FILE* file) {
    if (std::ferror(file)) {
        setStatus(status, nullptr, IO_ERROR);
        return nullptr;
    }
    auto* handle = new (std::nothrow) CodecFile;
    if (!handle) {
        setStatus(status, nullptr, MEM_ERROR);
        return nullptr;
    }
    handle->handle = file;
    return handle;
}

}  // namespace

bool atEndOfFile(std::FILE* file) {
    const int c = std::fgetc(file);
    if (c == EOF) return true;
    std::ungetc(c, file);
    return false;
}

CodecFile* fileWriteOpen(int32_t* status, std::FILE* file, int32_t blockSizeLevel, int32_t verbosity,
                         int32_t workFactor, MessagePump pump) {
    setStatus(status, nullptr, OK);
    if (!file || blockSizeLevel < kMinLevel || blockSizeLevel > kMaxLevel || workFactor < 0 || workFactor > kMaxWorkFactor || verbosity < 0 ||
        verbosity > 4) {
        setStatus(status, nullptr, ARGUMENT_ERROR);
        return nullptr;
    }
    CodecFile* handle = newHandle(status, file);
    if (!handle) return nullptr;
    handle->writing = true;
    handle->stream.pump = pump;
    if (workFactor == 0) workFactor = 30;
    const int32_t result = compressInit(&handle->stream, blockSizeLevel, verbosity, workFactor);
    if (result != OK) {
        setStatus(status, nullptr, result);
        delete handle;
        return nullptr;
    }
    handle->stream.availIn = 0;
    handle->initialised = true;
    setStatus(status, handle, OK);
    return handle;
}

void fileWrite(int32_t* status, CodecFile* handle, const void* data, int32_t length) {
    setStatus(status, handle, OK);
    if (!handle || !data || length < 0) {
        setStatus(status, handle, ARGUMENT_ERROR);
        return;
    }
    if (!handle->writing) {
        setStatus(status, handle, SEQUENCE_ERROR);
        return;
    }
    if (std::ferror(handle->handle)) {
        setStatus(status, handle, IO_ERROR);
        return;
    }
    if (length == 0) return;

    CodecStream& stream = handle->stream;
    stream.availIn = static_cast<uint32_t>(length);
    stream.nextIn = static_cast<const uint8_t*>(data);
    for (;;) {
        stream.pump.now();
        stream.availOut = kFileBufferSize;
        stream.nextOut = handle->buffer;
        const int32_t result = compressStep(&stream, RUN);
        if (result != RUN_OK) {
            setStatus(status, handle, result);
            return;
        }
        if (!writeProduced(handle)) {
            setStatus(status, handle, IO_ERROR);
            return;
        }
        if (stream.availIn == 0) {
            setStatus(status, handle, OK);
            return;
        }
    }
}

void fileWriteClose(int32_t* status, CodecFile* handle, bool abandon, uint32_t* inLo, uint32_t* inHi,
                    uint32_t* outLo, uint32_t* outHi) {
    if (!handle) {
        setStatus(status, nullptr, OK);
        return;
    }
    if (!handle->writing) {
        setStatus(status, handle, SEQUENCE_ERROR);
        return;
    }
    // Abandoning always releases the handle, so that a failed write (a full
    // disk) cannot strand it.
    if (!abandon && std::ferror(handle->handle)) {
        setStatus(status, handle, IO_ERROR);
        return;
    }
    for (uint32_t* total : {inLo, inHi, outLo, outHi})
        if (total) *total = 0;

    CodecStream& stream = handle->stream;
    if (!abandon && handle->lastStatus == OK) {
        for (;;) {
            stream.availOut = kFileBufferSize;
            stream.nextOut = handle->buffer;
            const int32_t result = compressStep(&stream, FINISH);
            if (result != FINISH_OK && result != STREAM_END) {
                setStatus(status, handle, result);
                return;
            }
            if (!writeProduced(handle)) {
                setStatus(status, handle, IO_ERROR);
                return;
            }
            if (result == STREAM_END) break;
        }
    }
    if (!abandon && !std::ferror(handle->handle)) {
        std::fflush(handle->handle);
        if (std::ferror(handle->handle)) {
            setStatus(status, handle, IO_ERROR);
            return;
        }
    }
    if (inLo) *inLo = stream.totalInLo;
    if (inHi) *inHi = stream.totalInHi;
    if (outLo) *outLo = stream.totalOutLo;
    if (outHi) *outHi = stream.totalOutHi;
    setStatus(status, nullptr, OK);
    compressEnd(&stream);
    delete handle;
}

CodecFile* fileReadOpen(int32_t* status, std::FILE* file, int32_t verbosity, int32_t smallMode, const void* carried,
                        int32_t carriedCount, MessagePump pump) {
    setStatus(status, nullptr, OK);
    if (!file || (smallMode != 0 && smallMode != 1) || verbosity < 0 || verbosity > 4 ||
        (!carried && carriedCount != 0) || carriedCount < 0 || carriedCount > kFileBufferSize) {
        setStatus(status, nullptr, ARGUMENT_ERROR);
        return nullptr;
    }
    CodecFile* handle = newHandle(status, file);
    if (!handle) return nullptr;
    handle->writing = false;
    handle->bufferCount = carriedCount;
    if (carriedCount > 0) std::copy_n(static_cast<const uint8_t*>(carried), carriedCount, handle->buffer);
    handle->stream.pump = pump;

    const int32_t result = decompressInit(&handle->stream, verbosity, smallMode);
    handle->stream.pump.now();
    if (result != OK) {
        setStatus(status, nullptr, result);
        delete handle;
        return nullptr;
    }
    handle->stream.nextIn = handle->buffer;
    handle->stream.availIn = static_cast<uint32_t>(handle->bufferCount);
    handle->initialised = true;
    setStatus(status, handle, OK);
    return handle;
}

int32_t fileRead(int32_t* status, CodecFile* handle, void* data, int32_t length) {
    setStatus(status, handle, OK);
    if (!handle || !data || length < 0) {
        setStatus(status, handle, ARGUMENT_ERROR);
        return 0;
    }
    if (handle->writing) {
        setStatus(status, handle, SEQUENCE_ERROR);
        return 0;
    }
    if (length == 0) return 0;

    CodecStream& stream = handle->stream;
    stream.availOut = static_cast<uint32_t>(length);
    stream.nextOut = static_cast<uint8_t*>(data);
    for (;;) {
        stream.pump.now();
        if (std::ferror(handle->handle)) {
            setStatus(status, handle, IO_ERROR);
            return 0;
        }
        if (stream.availIn == 0 && !atEndOfFile(handle->handle)) {
            const size_t count = std::fread(handle->buffer, 1, kFileBufferSize, handle->handle);
            if (std::ferror(handle->handle)) {
                setStatus(status, handle, IO_ERROR);
                return 0;
            }
            handle->bufferCount = static_cast<int32_t>(count);
            stream.availIn = static_cast<uint32_t>(count);
            stream.nextIn = handle->buffer;
        }
        const int32_t result = decompressStep(&stream);
        if (result != OK && result != STREAM_END) {
            setStatus(status, handle, result);
            return 0;
        }
        if (result == OK && atEndOfFile(handle->handle) && stream.availIn == 0 && stream.availOut > 0) {
            setStatus(status, handle, UNEXPECTED_EOF);
            return 0;
        }
        if (result == STREAM_END) {
            setStatus(status, handle, STREAM_END);
            return length - static_cast<int32_t>(stream.availOut);
        }
        if (stream.availOut == 0) {
            setStatus(status, handle, OK);
            return length;
        }
    }
}

void fileReadGetUnused(int32_t* status, CodecFile* handle, const uint8_t** unused, int32_t* unusedCount) {
    if (!handle) {
        setStatus(status, nullptr, ARGUMENT_ERROR);
        return;
    }
    if (handle->lastStatus != STREAM_END) {
        setStatus(status, handle, SEQUENCE_ERROR);
        return;
    }
    if (!unused || !unusedCount) {
        setStatus(status, handle, ARGUMENT_ERROR);
        return;
    }
    setStatus(status, handle, OK);
    *unused = handle->stream.nextIn;
    *unusedCount = static_cast<int32_t>(handle->stream.availIn);
}

void fileReadClose(int32_t* status, CodecFile* handle) {
    setStatus(status, nullptr, OK);
    if (!handle) return;
    if (handle->writing) {
        setStatus(status, handle, SEQUENCE_ERROR);
        return;
    }
    if (handle->initialised) decompressEnd(&handle->stream);
    delete handle;
}

}  // namespace zor
