// codec_file_test.cpp - the file layer: argument refusals, back-to-back streams, premature ends and write failures.
#include "engine/codec_file.h"

#include <gtest/gtest.h>

#include <cstring>

#include "tests/engine/temp_file.h"

namespace zor {
namespace {

using testing::contentsOf;
using testing::sampleBytes;
using testing::TempFile;
using testing::tempFileWith;

// Compresses `data` into a new stream appended to `file`.
void writeStream(std::FILE* file, const std::vector<uint8_t>& data) {
    int32_t status = -100;
    CodecFile* handle = fileWriteOpen(&status, file, 9, 0, 30);
    ASSERT_EQ(status, OK);
    fileWrite(&status, handle, data.data(), static_cast<int32_t>(data.size()));
    ASSERT_EQ(status, OK);
    fileWriteClose(&status, handle, false, nullptr, nullptr, nullptr, nullptr);
    ASSERT_EQ(status, OK);
}

std::vector<uint8_t> compressed(const std::vector<uint8_t>& data) {
    TempFile file(std::tmpfile());
    writeStream(file.get(), data);
    return contentsOf(file.get());
}

// Reads one stream from the file's current position; returns its bytes and the final status.
std::vector<uint8_t> readStream(std::FILE* file, int32_t& status, const uint8_t* carried = nullptr,
                                int32_t carriedCount = 0, std::vector<uint8_t>* unused = nullptr) {
    CodecFile* handle = fileReadOpen(&status, file, 0, 0, carried, carriedCount);
    std::vector<uint8_t> out;
    if (!handle) return out;
    uint8_t chunk[777];
    while (status == OK) {
        const int32_t n = fileRead(&status, handle, chunk, sizeof chunk);
        out.insert(out.end(), chunk, chunk + n);
    }
    if (unused && status == STREAM_END) {
        const uint8_t* bytes = nullptr;
        int32_t count = 0;
        int32_t unusedStatus = -100;
        fileReadGetUnused(&unusedStatus, handle, &bytes, &count);
        EXPECT_EQ(unusedStatus, OK);
        unused->assign(bytes, bytes + count);
    }
    int32_t closeStatus = -100;
    fileReadClose(&closeStatus, handle);
    EXPECT_EQ(closeStatus, OK);
    return out;
}

TEST(CodecFileOpen, RefusesBadArguments) {
    TempFile file(std::tmpfile());
    int32_t status = OK;
    EXPECT_EQ(fileWriteOpen(&status, nullptr, 9, 0, 30), nullptr);
    EXPECT_EQ(status, ARGUMENT_ERROR);
    EXPECT_EQ(fileWriteOpen(&status, file.get(), 0, 0, 30), nullptr);
    EXPECT_EQ(status, ARGUMENT_ERROR);
    EXPECT_EQ(fileWriteOpen(&status, file.get(), 9, 0, 251), nullptr);
    EXPECT_EQ(status, ARGUMENT_ERROR);
    EXPECT_EQ(fileWriteOpen(&status, file.get(), 9, 5, 30), nullptr);
    EXPECT_EQ(status, ARGUMENT_ERROR);
    EXPECT_EQ(fileReadOpen(&status, file.get(), 0, 2, nullptr, 0), nullptr);
    EXPECT_EQ(status, ARGUMENT_ERROR);
    EXPECT_EQ(fileReadOpen(&status, file.get(), 0, 0, nullptr, 3), nullptr);
    EXPECT_EQ(status, ARGUMENT_ERROR);
}

TEST(CodecFileOpen, AcceptsExactly5000CarriedBytes) {
    TempFile file(std::tmpfile());
    std::vector<uint8_t> carried(5001, 0);
    int32_t status = OK;
    EXPECT_EQ(fileReadOpen(&status, file.get(), 0, 0, carried.data(), 5001), nullptr);
    EXPECT_EQ(status, ARGUMENT_ERROR);
    CodecFile* handle = fileReadOpen(&status, file.get(), 0, 0, carried.data(), 5000);
    ASSERT_NE(handle, nullptr);
    EXPECT_EQ(status, OK);
    fileReadClose(&status, handle);
}

TEST(CodecFileDirection, CloseAndUnusedRefuseTheWrongState) {
    TempFile file(std::tmpfile());
    int32_t status = OK;
    CodecFile* writer = fileWriteOpen(&status, file.get(), 9, 0, 30);
    fileReadClose(&status, writer);
    EXPECT_EQ(status, SEQUENCE_ERROR);
    uint8_t byte = 0;
    EXPECT_EQ(fileRead(&status, writer, &byte, 1), 0);
    EXPECT_EQ(status, SEQUENCE_ERROR);
    fileWriteClose(&status, writer, true, nullptr, nullptr, nullptr, nullptr);
    EXPECT_EQ(status, OK);

    TempFile stream = tempFileWith(compressed(sampleBytes(100)));
    CodecFile* reader = fileReadOpen(&status, stream.get(), 0, 0, nullptr, 0);
    const uint8_t* unused = nullptr;
    int32_t count = 0;
    fileReadGetUnused(&status, reader, &unused, &count);
    EXPECT_EQ(status, SEQUENCE_ERROR);
    fileWriteClose(&status, reader, false, nullptr, nullptr, nullptr, nullptr);
    EXPECT_EQ(status, SEQUENCE_ERROR);
    fileReadClose(&status, reader);
    EXPECT_EQ(status, OK);
}

TEST(CodecFileRoundTrip, TotalsCountBytesInAndOut) {
    const std::vector<uint8_t> data = sampleBytes(123457);
    TempFile file(std::tmpfile());
    int32_t status = OK;
    CodecFile* handle = fileWriteOpen(&status, file.get(), 9, 0, 0);
    fileWrite(&status, handle, data.data(), static_cast<int32_t>(data.size()));
    uint32_t inLo = 1, inHi = 1, outLo = 1, outHi = 1;
    fileWriteClose(&status, handle, false, &inLo, &inHi, &outLo, &outHi);
    ASSERT_EQ(status, OK);
    EXPECT_EQ(inLo, data.size());
    EXPECT_EQ(inHi, 0u);
    EXPECT_EQ(outLo, contentsOf(file.get()).size());
    EXPECT_EQ(outHi, 0u);

    std::rewind(file.get());
    EXPECT_EQ(readStream(file.get(), status), data);
    EXPECT_EQ(status, STREAM_END);
}

TEST(CodecFileRoundTrip, TwoStreamsBackToBackNeedTwoHandles) {
    const std::vector<uint8_t> first = sampleBytes(20000, 3), second = sampleBytes(7000, 4);
    TempFile file(std::tmpfile());
    writeStream(file.get(), first);
    writeStream(file.get(), second);
    std::rewind(file.get());

    int32_t status = OK;
    std::vector<uint8_t> unused;
    EXPECT_EQ(readStream(file.get(), status, nullptr, 0, &unused), first);
    ASSERT_EQ(status, STREAM_END);
    EXPECT_FALSE(unused.empty());
    std::vector<uint8_t> rest;
    EXPECT_EQ(readStream(file.get(), status, unused.data(), static_cast<int32_t>(unused.size()), &rest), second);
    EXPECT_EQ(status, STREAM_END);
    EXPECT_TRUE(rest.empty());
}

// A stream cut short, and files holding nothing or only the first zero bytes of a signature, end unexpectedly.
class CodecFileTruncated : public ::testing::TestWithParam<std::vector<uint8_t>> {};

TEST_P(CodecFileTruncated, ReportsUnexpectedEof) {
    TempFile file = tempFileWith(GetParam());
    int32_t status = OK;
    readStream(file.get(), status);
    EXPECT_EQ(status, UNEXPECTED_EOF);
}

std::vector<uint8_t> cutStream() {
    std::vector<uint8_t> stream = compressed(sampleBytes(50000));
    stream.resize(stream.size() / 2);
    return stream;
}

INSTANTIATE_TEST_SUITE_P(Inputs, CodecFileTruncated,
                         ::testing::Values(std::vector<uint8_t>{}, std::vector<uint8_t>{0},
                                           std::vector<uint8_t>{0, 0, 0}, cutStream()));

TEST(CodecFileWrite, FullDiskGivesIoErrorAndAbandonReleases) {
    std::FILE* full = std::fopen("/dev/full", "wb");
    if (!full) GTEST_SKIP() << "no /dev/full";
    int32_t status = OK;
    CodecFile* handle = fileWriteOpen(&status, full, 9, 0, 30);
    ASSERT_EQ(status, OK);
    const std::vector<uint8_t> data = sampleBytes(2'000'000);
    fileWrite(&status, handle, data.data(), static_cast<int32_t>(data.size()));
    if (status == OK) fileWriteClose(&status, handle, false, nullptr, nullptr, nullptr, nullptr);
    ASSERT_EQ(status, IO_ERROR);
    // The sanitizer build's leak check proves the abandoning close gave the handle back.
    fileWriteClose(&status, handle, true, nullptr, nullptr, nullptr, nullptr);
    EXPECT_EQ(status, OK);
    std::fclose(full);
}

}  // namespace
}  // namespace zor
