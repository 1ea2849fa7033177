// huffman_code_lengths.h - length-limited Huffman code lengths and canonical codes for one coding table.
#pragma once

#include <cstdint>

namespace zor {

// Sets lengths[0..alphabetSize-1] to Huffman code lengths for the given
// frequencies (a frequency of 0 counts as 1, so every symbol gets a code),
// none longer than maxLength. alphabetSize is 2 to 258.
void makeCodeLengths(uint8_t* lengths, const int32_t* frequencies, int32_t alphabetSize, int32_t maxLength);

// makeCodeLengths for `count` tables of the same alphabet (lengths[k] from
// frequencies[k]), in less time than one after the other.
void makeCodeLengthsOfTables(uint8_t* const* lengths, const int32_t* const* frequencies, int32_t count,
                             int32_t alphabetSize, int32_t maxLength);

// Canonical codes: shorter codes first, equal lengths in symbol order.
// minLength and maxLength bound the lengths present.
void assignCodes(int32_t* codes, const uint8_t* lengths, int32_t minLength, int32_t maxLength, int32_t alphabetSize);

}  // namespace zor
