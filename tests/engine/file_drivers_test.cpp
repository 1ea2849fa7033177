// file_drivers_test.cpp - the compress, decompress and test drivers: results, messages, progress and abort.
#include "engine/file_drivers.h"

#include <gtest/gtest.h>

#include "tests/engine/recording_driver_ui.h"
#include "tests/engine/temp_file.h"

namespace zor {
namespace {

using testing::contentsOf;
using testing::RecordingDriverUi;
using testing::sampleBytes;
using testing::TempFile;
using testing::tempFileWith;

struct Driven {
    RecordingDriverUi ui;
    DriverProgress progress;
    DriverContext context{ui, progress, EngineSettings{}};

    std::vector<std::string> texts() const {
        std::vector<std::string> out;
        for (const auto& m : ui.messages) out.push_back(m.text);
        return out;
    }
};

std::vector<uint8_t> packed(const std::vector<uint8_t>& data) {
    Driven d;
    TempFile input = tempFileWith(data);
    TempFile archive(std::tmpfile());
    const CompressResult result = compressFile(input.get(), archive.get(), d.context);
    EXPECT_FALSE(result.failed);
    std::vector<uint8_t> bytes = contentsOf(archive.get());
    EXPECT_EQ(result.LastPackedSize, bytes.size());
    return bytes;
}

TEST(CompressDriver, AppendsOneStreamAndCountsIt) {
    Driven d;
    const std::vector<uint8_t> data = sampleBytes(10000);  // a multiple of the chunk size
    TempFile input = tempFileWith(data);
    TempFile archive = tempFileWith({'h', 'e', 'a', 'd'});
    std::fseek(archive.get(), 0, SEEK_END);
    d.progress.fileSize = 10000;
    d.progress.totalSize = 20000;
    const CompressResult result = compressFile(input.get(), archive.get(), d.context);
    ASSERT_FALSE(result.failed);
    EXPECT_EQ(result.LastPackedSize + 4, contentsOf(archive.get()).size());
    EXPECT_EQ(d.progress.FileBytesDone, 10000);
    EXPECT_FLOAT_EQ(d.progress.FileProgressPercent, 100.0f);
    EXPECT_FLOAT_EQ(d.progress.TotalProgressPercent, 50.0f);
    EXPECT_TRUE(d.ui.messages.empty());
    const std::vector<std::string> expected{"Reading...", "Compressing in memory...", "Reading...",
                                            "Compressing in memory...",
                                            "Writing to disk and cleaning up unused memory..."};
    EXPECT_EQ(d.ui.labels, expected);
}

TEST(CompressDriver, FullDiskIsRecoverable) {
    std::FILE* full = std::fopen("/dev/full", "wb");
    if (!full) GTEST_SKIP() << "no /dev/full";
    Driven d;
    TempFile input = tempFileWith(sampleBytes(300000));
    const CompressResult result = compressFile(input.get(), full, d.context);
    std::fclose(full);
    EXPECT_TRUE(result.failed);
    ASSERT_EQ(d.ui.messages.size(), 1u);
    EXPECT_EQ(d.ui.messages[0].text, "I/O or other error, bailing out.");
    EXPECT_FALSE(d.ui.messages[0].fatal);
}

TEST(DecompressDriver, RestoresTheBytesAndReachesFullProgress) {
    const std::vector<uint8_t> data = sampleBytes(1000);
    TempFile source = tempFileWith(packed(data));
    TempFile output(std::tmpfile());
    Driven d;
    d.progress.fileSize = 1000;
    d.progress.totalSize = 1000;
    EXPECT_TRUE(decompressFile(source.get(), output.get(), d.context));
    EXPECT_EQ(contentsOf(output.get()), data);
    EXPECT_EQ(d.ui.lastFileBar, 100);
    EXPECT_EQ(d.ui.lastTotalBar, 100);
    EXPECT_TRUE(d.ui.messages.empty());
}

TEST(DecompressDriver, StopsQuietlyAtBytesThatBeginNoStream) {
    const std::vector<uint8_t> data = sampleBytes(3000);
    std::vector<uint8_t> bytes = packed(data);
    const std::vector<uint8_t> nextRecord{0x28, 0, 0, 0, 1, 2, 3, 4, 5, 6};
    bytes.insert(bytes.end(), nextRecord.begin(), nextRecord.end());
    TempFile source = tempFileWith(bytes);
    TempFile output(std::tmpfile());
    Driven d;
    EXPECT_TRUE(decompressFile(source.get(), output.get(), d.context));
    EXPECT_EQ(contentsOf(output.get()), data);
    EXPECT_TRUE(d.ui.messages.empty());
}

// Damage in the first stream: the driver's message and result, for decompress and for test.
struct DamageCase {
    const char* name;
    std::vector<uint8_t> (*damage)(std::vector<uint8_t>);
    const char* decompressMessage;  // nullptr: no message
    const char* testMessage;
};

std::vector<uint8_t> flipCrcByte(std::vector<uint8_t> s) {
    s[12] ^= 0x40;  // inside the first block's CRC
    return s;
}
std::vector<uint8_t> cutInHalf(std::vector<uint8_t> s) {
    s.resize(s.size() / 2);
    return s;
}
std::vector<uint8_t> foreignSignature(std::vector<uint8_t> s) {
    s[0] = 'B';
    return s;
}

const DamageCase kDamage[] = {
    {"BadCrc", flipCrcByte, "Data integrity error when decompressing.", "Data integrity (CRC) error in data"},
    {"Truncated", cutInHalf, "Compressed file ends unexpectedly, probably corrupted", "file ends unexpectedly"},
    {"NotAStream", foreignSignature, nullptr, "Bad number, file not created by ZOR"},
};

class DamagedStream : public ::testing::TestWithParam<DamageCase> {};

TEST_P(DamagedStream, DecompressFailsWithItsMessage) {
    TempFile source = tempFileWith(GetParam().damage(packed(sampleBytes(40000))));
    TempFile output(std::tmpfile());
    Driven d;
    EXPECT_FALSE(decompressFile(source.get(), output.get(), d.context));
    const std::vector<std::string> expected =
        GetParam().decompressMessage ? std::vector<std::string>{GetParam().decompressMessage}
                                     : std::vector<std::string>{};
    EXPECT_EQ(d.texts(), expected);
}

TEST_P(DamagedStream, TestFailsWithItsMessage) {
    TempFile source = tempFileWith(GetParam().damage(packed(sampleBytes(40000))));
    Driven d;
    EXPECT_FALSE(testFile(source.get(), d.context));
    EXPECT_EQ(d.texts(), std::vector<std::string>{GetParam().testMessage});
    EXPECT_FALSE(d.ui.messages[0].fatal);
}

INSTANTIATE_TEST_SUITE_P(Cases, DamagedStream, ::testing::ValuesIn(kDamage),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(TestDriver, PassesASoundStreamAndPumpsPerChunk) {
    TempFile source = tempFileWith(packed(sampleBytes(60000)));
    Driven d;
    EXPECT_TRUE(testFile(source.get(), d.context));
    EXPECT_TRUE(d.ui.messages.empty());
    EXPECT_GE(d.ui.pumps, 12);  // at least once per 5000-byte chunk
}

TEST(Drivers, AbortTakesEffectAfterTheStream) {
    const std::vector<uint8_t> data = sampleBytes(30000);
    const std::vector<uint8_t> stream = packed(data);
    {
        Driven d;
        d.ui.abort = true;
        TempFile input = tempFileWith(data);
        TempFile archive(std::tmpfile());
        const CompressResult result = compressFile(input.get(), archive.get(), d.context);
        EXPECT_FALSE(result.failed);
        EXPECT_EQ(contentsOf(archive.get()), stream);  // the stream is complete
    }
    {
        Driven d;
        d.ui.abort = true;
        TempFile source = tempFileWith(stream);
        TempFile output(std::tmpfile());
        EXPECT_FALSE(decompressFile(source.get(), output.get(), d.context));
        EXPECT_EQ(contentsOf(output.get()), data);
    }
    {
        Driven d;
        d.ui.abort = true;
        TempFile source = tempFileWith(stream);
        EXPECT_FALSE(testFile(source.get(), d.context));
        EXPECT_TRUE(d.ui.messages.empty());
    }
}

}  // namespace
}  // namespace zor
