// driver_texts.h - every text the file drivers show: their action labels and their messages, named once.
//
// The texts are the product's own and must stay exactly as they are: the
// window, the terminal and the tests all show or compare them.
#pragma once

namespace zor::texts {

// Action labels.
inline constexpr char kReading[] = "Reading...";
inline constexpr char kCompressing[] = "Compressing in memory...";
inline constexpr char kDecompressing[] = "Decompressing in memory...";
inline constexpr char kCompressFinishing[] = "Writing to disk and cleaning up unused memory...";
inline constexpr char kDecompressFinishing[] = "Writing to disk and cleaning unused memory...";

// Messages.
inline constexpr char kIoError[] = "I/O or other error, bailing out.";
inline constexpr char kOutOfMemory[] = "Not enough memory";
inline constexpr char kConfigError[] = "Configuration error";
inline constexpr char kInternalErrorFormat[] = "Internal error: %s";
inline constexpr char kLongerThanExpected[] = "Decompressed data longer than the recorded size";
inline constexpr char kShorterThanExpected[] = "Decompressed data shorter than the recorded size";

// What follows "Internal error: ".
inline constexpr char kEndInCompress[] = "End in compress";
inline constexpr char kUnexpectedCompressing[] = "Unexpected error while compressing";
inline constexpr char kEndInDecompress[] = "End in decompress";
inline constexpr char kUnexpectedDecompressing[] = "Unexpected error while decompressing";
inline constexpr char kUnusedInDecompress[] = "Read unused in decompress";
inline constexpr char kEndInTest[] = "End in test";
inline constexpr char kUnexpectedTesting[] = "Unexpected error while testing";
inline constexpr char kUnusedInTest[] = "Read unused in test";

// Damaged streams.
inline constexpr char kDecompressDataError[] = "Data integrity error when decompressing.";
inline constexpr char kDecompressTruncated[] = "Compressed file ends unexpectedly, probably corrupted";
inline constexpr char kTestDataError[] = "Data integrity (CRC) error in data";
inline constexpr char kTestTruncated[] = "file ends unexpectedly";
inline constexpr char kTestNotAStream[] = "Bad number, file not created by ZOR";

}  // namespace zor::texts
