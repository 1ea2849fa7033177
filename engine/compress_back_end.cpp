// compress_back_end.cpp - the compress driver's two back ends: the file layer, and the parallel compressor writing to the archive.
#include "engine/compress_back_end.h"

#include "engine/parallel_compress.h"
#include "engine/stream_format.h"

namespace zor {

namespace {

class OneThreadCompressing : public CompressBackEnd {
public:
    OneThreadCompressing(std::FILE* archive, const EngineSettings& s, MessagePump pump)
        : handle_(fileWriteOpen(&status_, archive, s.blockSizeLevel, s.verbosity, s.workFactor, pump)) {
        if (status_ != OK) abandon();
    }
    ~OneThreadCompressing() override { abandon(); }

    int32_t status() const override { return status_; }
    int32_t write(const uint8_t* data, int32_t length) override {
        fileWrite(&status_, handle_, data, length);
        return status_;
    }
    int32_t finish(uint64_t& bytesOut) override {
        uint32_t outLo = 0, outHi = 0;
        fileWriteClose(&status_, handle_, false, nullptr, nullptr, &outLo, &outHi);
        // The sum, not the 64-bit length: the archive's field has always held it.
        bytesOut = uint64_t{outLo} + outHi;
        // A failing close keeps the handle for abandon.
        if (status_ == OK) handle_ = nullptr;
        return status_;
    }
    void abandon() override {
        if (!handle_) return;
        int32_t ignored = OK;
        fileWriteClose(&ignored, handle_, true, nullptr, nullptr, nullptr, nullptr);
        handle_ = nullptr;
    }

private:
    int32_t status_ = OK;
    CodecFile* handle_;
};

class ParallelCompressing : public CompressBackEnd {
public:
    ParallelCompressing(std::FILE* archive, const EngineSettings& s, MessagePump pump)
        : compressor_(settingsFor(s),
                      [archive](const uint8_t* data, size_t length) {
                          return std::fwrite(data, 1, length, archive) == length && !std::ferror(archive);
                      },
                      nullptr, pump) {}

    int32_t status() const override { return compressor_.status(); }
    int32_t write(const uint8_t* data, int32_t length) override {
        return compressor_.write(data, static_cast<size_t>(length));
    }
    int32_t finish(uint64_t& bytesOut) override {
        const int32_t status = compressor_.finish();
        const uint64_t written = compressor_.bytesWritten();
        bytesOut = (written & 0xFFFFFFFFu) + (written >> 32);
        return status;
    }
    void abandon() override {}

private:
    static ParallelCompressSettings settingsFor(const EngineSettings& s) {
        ParallelCompressSettings parallel;
        parallel.threads = s.threads;
        parallel.blockSizeLevel = s.blockSizeLevel;
        parallel.workFactor = s.workFactor;
        return parallel;
    }

    ParallelCompressor compressor_;
};

}  // namespace

std::unique_ptr<CompressBackEnd> compressBackEndFor(std::FILE* archive, const EngineSettings& settings,
                                                    int64_t inputBytes, MessagePump pump) {
    // An input of one block gains nothing from workers; its stream is the
    // same either way. Four input bytes make at most five of block text.
    const int64_t blockText = int64_t{settings.blockSizeLevel} * kBlockUnit - 19;
    const bool oneBlock = inputBytes >= 0 && inputBytes <= blockText / 5 * 4;
    if (settings.threads <= 1 || oneBlock) return std::make_unique<OneThreadCompressing>(archive, settings, pump);
    return std::make_unique<ParallelCompressing>(archive, settings, pump);
}

}  // namespace zor
